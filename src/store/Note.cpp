#include "store/Note.h"

#include "store/JsonView.h"

#include "base/Localization.h"

#include <QHash>
#include <QJsonArray>
#include <QLocale>
#include <QTextBoundaryFinder>

#include <cmath>

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

QStringList Note::textLines() const
{
    QStringList lines;
    for (const QStringView line : QStringView(body).split(u'\n')) {
        if (!mediaReference(line))
            lines.append(line.toString());
    }
    return lines;
}

std::optional<QString> Note::textTitle() const
{
    for (const QStringView line : QStringView(body).split(u'\n')) {
        // Cheap test first: most lines are not media references.
        QString text = trimSpacesAndTabs(line);
        if (text.isEmpty())
            continue;
        if (mediaReference(text))
            continue;
        while (!text.isEmpty()) {
            const QChar first = text.front();
            if (first != u'#' && first != u'>' && first != u'-' && first != u'*' && first != u'+')
                break;
            text = trimSpacesAndTabs(QStringView(text).mid(1));
        }
        if (!text.isEmpty())
            return TextUtil::prefixCharacters(text, 120);
    }
    return std::nullopt;
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
    for (const QStringView line : QStringView(body).split(u'\n')) {
        const auto reference = mediaReference(line);
        if (!reference)
            continue;
        for (qsizetype i = 0; i < attachments.size(); ++i) {
            if (!taken[i] && mediaPath(attachments[i]) == reference->path) {
                taken[i] = true;
                result.append(attachments[i]);
                break;
            }
        }
    }
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
    for (const QStringView line : QStringView(body).split(u'\n', Qt::SkipEmptyParts)) {
        const auto reference = mediaReference(line);
        if (!reference || !trimSpacesAndTabs(line).startsWith(u'!'))
            continue;
        const QString label = trimSpacesAndTabs(reference->label);
        if (!label.isEmpty())
            return label;
    }
    return std::nullopt;
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
    const QString b = trimWhitespace(body);
    body = (b.isEmpty() ? t : b + QStringLiteral("\n\n") + t) + u'\n';
}

void Note::appendReference(const Attachment &attachment, const std::optional<QString> &label)
{
    const QString b = trimWhitespace(body);
    const QString reference = markdownReference(attachment, label);
    body = (b.isEmpty() ? reference : b + QStringLiteral("\n\n") + reference) + u'\n';
}

void Note::removeReference(const Attachment &attachment)
{
    const QString path = mediaPath(attachment);
    QStringList kept;
    for (const QStringView line : QStringView(body).split(u'\n')) {
        const auto reference = mediaReference(line);
        if (reference && reference->path == path)
            continue;
        kept.append(line.toString());
    }
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
    QStringList lines = body.split(u'\n');
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
        { QStringLiteral("body"), body },
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
