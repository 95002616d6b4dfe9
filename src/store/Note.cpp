#include "store/Note.h"

#include "store/JsonView.h"

#include "base/Localization.h"

#include <QHash>
#include <QJsonArray>
#include <QLocale>
#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include <cmath>
#include <cstring>

namespace TextUtil {

QString trimSpacesAndTabs(QStringView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    auto isBlank = [](QChar c) {
        return c == u' ' || c == u'\t';
    };
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.mid(start, end - start).toString();
}

QString trimWhitespace(QStringView text)
{
    return text.trimmed().toString();
}

QString prefixCharacters(const QString &text, int count)
{
    if (text.size() <= count)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int characters = 0;
    while (characters < count && finder.toNextBoundary() != -1)
        ++characters;
    const qsizetype position = finder.position();
    return position < 0 ? text : text.left(position);
}

} // namespace TextUtil

using TextUtil::trimSpacesAndTabs;
using TextUtil::trimWhitespace;

// ---- Attachment ----

QString Attachment::kindRawValue(Kind kind)
{
    return kind == Kind::Audio ? QStringLiteral("audio") : QStringLiteral("image");
}

std::optional<Attachment::Kind> Attachment::kindFromRawValue(const QString &raw)
{
    if (raw == u"image")
        return Kind::Image;
    if (raw == u"audio")
        return Kind::Audio;
    return std::nullopt;
}

QString Attachment::formatDuration(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        seconds = 0;
    // A damaged value must not overflow the integer conversion below.
    seconds = std::min(seconds, 1.0e9);
    const long long total = std::llround(seconds);
    const long long hours = total / 3600;
    const long long minutes = (total % 3600) / 60;
    const long long secs = total % 60;
    if (total < 3600)
        return QString::asprintf("%lld:%02lld", minutes, secs);
    return QString::asprintf("%lld:%02lld:%02lld", hours, minutes, secs);
}

QJsonObject Attachment::toJson() const
{
    QJsonObject object {
        { QStringLiteral("id"), id },
        { QStringLiteral("kind"), kindRawValue(kind) },
        { QStringLiteral("filename"), filename },
        { QStringLiteral("createdAt"), createdAt.seconds },
    };
    if (duration)
        object.insert(QStringLiteral("duration"), *duration);
    return object;
}

std::optional<Attachment> Attachment::fromJson(const QJsonValue &value)
{
    return readAttachment(QtJsonView(value));
}

// ---- media references ----

std::optional<MediaReference> mediaReference(QStringView line)
{
    const QString t = trimSpacesAndTabs(line);
    if (!t.endsWith(u')'))
        return std::nullopt;
    const qsizetype split = t.indexOf(u"](");
    if (split < 0)
        return std::nullopt;
    const QStringView head = QStringView(t).left(split);
    QStringView label;
    if (head.startsWith(u"!["))
        label = head.mid(2);
    else if (head.startsWith(u"["))
        label = head.mid(1);
    else
        return std::nullopt;
    if (label.contains(u']'))
        return std::nullopt;
    const qsizetype pathStart = split + 2;
    const QStringView path = QStringView(t).mid(pathStart, t.size() - 1 - pathStart);
    if (!path.startsWith(u"attachments/") || path.contains(u' '))
        return std::nullopt;
    return MediaReference { label.toString(), path.toString() };
}

QString stamp(Date date)
{
    static QHash<QString, QString> formats; // one format per locale, as the locale decides it
    const QLocale locale = Localization::locale();
    const QString name = locale.name();
    auto it = formats.find(name);
    if (it == formats.end()) {
        // The time follows the locale's own hour convention (12 or 24 hours).
        QString time = locale.timeFormat(QLocale::ShortFormat);
        time.remove(QStringLiteral(":ss"));
        const bool monthFirst
            = locale.language() == QLocale::English && locale.territory() != QLocale::UnitedKingdom;
        const QString day = monthFirst ? QStringLiteral("MMM d,") : QStringLiteral("d MMM");
        it = formats.insert(name, day + u' ' + time);
    }
    return locale.toString(date.toDateTime().toLocalTime(), *it);
}

// ---- Note ----

bool Note::Tags::contains(Tag tag) const
{
    switch (tag) {
    case Tag::Text:
        return text;
    case Tag::Image:
        return image;
    case Tag::Audio:
        return audio;
    }
    return false;
}

namespace {

/// Calls `use` with each line of `text` (split at "\n", empty lines kept) until it returns
/// false.
template<typename Use>
void forEachLine(const QByteArray &text, Use use)
{
    const char *p = text.constData();
    const char *const end = p + text.size();
    for (;;) {
        const auto *newline = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *const lineEnd = newline ? newline : end;
        if (!use(QByteArrayView(p, lineEnd - p)) || !newline)
            return;
        p = newline + 1;
    }
}

/// Whether the line may be a media reference, which starts with "![" or "[" after spaces and
/// tabs: a test on bytes, so that the other lines (nearly all) are never decoded.
bool mayBeMediaReference(QByteArrayView line)
{
    qsizetype i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    return i < line.size() && (line[i] == '!' || line[i] == '[');
}

QString decoded(QByteArrayView utf8)
{
    // QString::fromUtf8 drops a byte order mark at the start of what it decodes. In a note's
    // text (a file's own mark is gone by now) it is a character like any other, at the start
    // of the text or of a line alike.
    if (!utf8.startsWith("\xef\xbb\xbf"))
        return QString::fromUtf8(utf8);
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless
                               | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(utf8);
}

} // namespace

QString NoteText::toString() const
{
    return decoded(m_utf8);
}

std::optional<NoteText> NoteText::fromFileBytes(const QByteArray &bytes)
{
    if (!bytes.isValidUtf8())
        return std::nullopt;
    if (bytes.startsWith("\xef\xbb\xbf"))
        return fromValidUtf8(bytes.mid(3));
    return fromValidUtf8(bytes);
}

bool NoteText::isBlank() const
{
    // Most texts show a printable ASCII character at once; only a text of spaces and other
    // characters needs the full test.
    for (const char byte : m_utf8) {
        if (byte & 0x80)
            return toString().trimmed().isEmpty();
        if (byte != ' ' && (byte < '\t' || byte > '\r'))
            return false;
    }
    return true;
}

QStringList Note::textLines() const
{
    QStringList lines;
    forEachLine(body.toUtf8(), [&](QByteArrayView line) {
        QString text = decoded(line);
        if (!mayBeMediaReference(line) || !mediaReference(text))
            lines.append(std::move(text));
        return true;
    });
    return lines;
}

std::optional<QString> Note::textTitle() const
{
    std::optional<QString> title;
    // Line by line, so that only the lines up to the title are ever decoded.
    forEachLine(body.toUtf8(), [&](QByteArrayView line) {
        QString text = trimSpacesAndTabs(decoded(line));
        if (text.isEmpty())
            return true;
        if (mayBeMediaReference(line) && mediaReference(text))
            return true;
        while (!text.isEmpty()) {
            const QChar first = text.front();
            if (first != u'#' && first != u'>' && first != u'-' && first != u'*' && first != u'+')
                break;
            text = trimSpacesAndTabs(QStringView(text).mid(1));
        }
        if (text.isEmpty())
            return true;
        title = TextUtil::prefixCharacters(text, 120);
        return false;
    });
    return title;
}

QString Note::title() const
{
    if (auto text = textTitle())
        return *text;
    if (!images().isEmpty()) {
        if (auto label = firstImageLabel())
            return *label;
        return L("note.image.dated", stamp(createdAt));
    }
    if (!recordings().isEmpty())
        return L("note.audio.dated", stamp(createdAt));
    return L("note.untitled");
}

QString Note::preview() const
{
    const QStringList lines = textLines();
    qsizetype first = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!trimSpacesAndTabs(lines[i]).isEmpty()) {
            first = i;
            break;
        }
    }
    if (first < 0)
        return {};
    const QString joined = lines.mid(first + 1).join(u' ');
    return TextUtil::prefixCharacters(trimWhitespace(joined), 160);
}

Note::Tags Note::tags() const
{
    Tags tags;
    tags.text = textTitle().has_value();
    const QList<Attachment> referenced = referencedAttachments();
    for (const Attachment &attachment : referenced) {
        if (attachment.kind == Attachment::Kind::Image)
            tags.image = true;
        else
            tags.audio = true;
    }
    return tags;
}

QList<Attachment> Note::referencedAttachments() const
{
    QList<Attachment> result;
    if (attachments.isEmpty())
        return result;
    QList<bool> taken(attachments.size(), false);
    forEachLine(body.toUtf8(), [&](QByteArrayView line) {
        if (!mayBeMediaReference(line))
            return true;
        const auto reference = mediaReference(decoded(line));
        if (!reference)
            return true;
        for (qsizetype i = 0; i < attachments.size(); ++i) {
            if (!taken[i] && mediaPath(attachments[i]) == reference->path) {
                taken[i] = true;
                result.append(attachments[i]);
                break;
            }
        }
        return true;
    });
    return result;
}

QList<Attachment> Note::images() const
{
    QList<Attachment> result;
    for (const Attachment &attachment : referencedAttachments())
        if (attachment.kind == Attachment::Kind::Image)
            result.append(attachment);
    return result;
}

QList<Attachment> Note::recordings() const
{
    QList<Attachment> result;
    for (const Attachment &attachment : referencedAttachments())
        if (attachment.kind == Attachment::Kind::Audio)
            result.append(attachment);
    return result;
}

std::optional<QString> Note::firstImageLabel() const
{
    std::optional<QString> found;
    forEachLine(body.toUtf8(), [&](QByteArrayView line) {
        if (!mayBeMediaReference(line))
            return true;
        const QString text = decoded(line);
        const auto reference = mediaReference(text);
        if (!reference || !trimSpacesAndTabs(text).startsWith(u'!'))
            return true;
        const QString label = trimSpacesAndTabs(reference->label);
        if (label.isEmpty())
            return true;
        found = label;
        return false;
    });
    return found;
}

QString Note::mediaPath(const Attachment &attachment) const
{
    return QStringLiteral("attachments/") + id + u'/' + attachment.filename;
}

QString Note::markdownReference(const Attachment &attachment,
                                const std::optional<QString> &label) const
{
    if (attachment.kind == Attachment::Kind::Image) {
        QString text = label.value_or(QString());
        text.remove(u']');
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(u'\n', u' ');
        text.replace(u'\r', u' ');
        return QStringLiteral("![") + text + QStringLiteral("](") + mediaPath(attachment) + u')';
    }
    QString head = QStringLiteral("[audio");
    if (attachment.duration)
        head += u' ' + Attachment::formatDuration(*attachment.duration);
    return head + QStringLiteral("](") + mediaPath(attachment) + u')';
}

void Note::appendText(const QString &text)
{
    const QString t = trimWhitespace(text);
    if (t.isEmpty())
        return;
    const QString b = trimWhitespace(body.toString());
    body = (b.isEmpty() ? t : b + QStringLiteral("\n\n") + t) + u'\n';
}

void Note::appendReference(const Attachment &attachment, const std::optional<QString> &label)
{
    const QString b = trimWhitespace(body.toString());
    const QString reference = markdownReference(attachment, label);
    body = (b.isEmpty() ? reference : b + QStringLiteral("\n\n") + reference) + u'\n';
}

void Note::removeReference(const Attachment &attachment)
{
    const QString path = mediaPath(attachment);
    QStringList kept;
    forEachLine(body.toUtf8(), [&](QByteArrayView line) {
        const QString text = decoded(line);
        const auto reference = mayBeMediaReference(line) ? mediaReference(text) : std::nullopt;
        if (!reference || reference->path != path)
            kept.append(text);
        return true;
    });
    QString text = kept.join(u'\n');
    while (text.endsWith(QStringLiteral("\n\n")))
        text.chop(1);
    body = text;
}

void Note::insertText(const QString &text, const QString &afterMediaPath)
{
    const QString t = trimWhitespace(text);
    if (t.isEmpty())
        return;
    QStringList lines = body.toString().split(u'\n');
    qsizetype found = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto reference = mediaReference(lines[i]);
        if (reference && reference->path == afterMediaPath) {
            found = i;
            break;
        }
    }
    if (found < 0) {
        appendText(t);
        return;
    }
    lines.insert(found + 1, QString());
    lines.insert(found + 2, t);
    lines.insert(found + 3, QString());
    QString joined = lines.join(u'\n');
    while (joined.contains(QStringLiteral("\n\n\n")))
        joined.replace(QStringLiteral("\n\n\n"), QStringLiteral("\n\n"));
    if (!joined.endsWith(u'\n'))
        joined += u'\n';
    body = joined;
}

QJsonObject Note::toJson() const
{
    QJsonArray list;
    for (const Attachment &attachment : attachments)
        list.append(attachment.toJson());
    return QJsonObject {
        { QStringLiteral("id"), id },
        { QStringLiteral("body"), body.toString() },
        { QStringLiteral("createdAt"), createdAt.seconds },
        { QStringLiteral("updatedAt"), updatedAt.seconds },
        { QStringLiteral("deleted"), deleted },
        { QStringLiteral("attachments"), list },
    };
}

std::optional<Note> Note::fromJson(const QJsonValue &value)
{
    return readNote(QtJsonView(value));
}
