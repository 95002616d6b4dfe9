#include "markdown/InlineRenderer.h"

#include <QList>
#include <QUrl>

#include <md4c.h>

#include <vector>

namespace {

// md4c is a block parser; inline-only reading is obtained by shaping its input. Every line is
// framed by a form feed on both sides:
// - at the start, it is neither indentation nor a block marker, so no line can open a heading,
//   list, quote, fence, rule, setext underline, indented code, HTML block or link reference
//   definition, and the line's own leading white space is ordinary text;
// - at the end, md4c no longer trims trailing spaces or turns them (or a final backslash)
//   into a hard break;
// - md4c counts it as white space for emphasis flanking and autolink boundaries, so styling
//   at line edges behaves as at a real line start or end.
// The added bytes are recorded and never reach the output.
constexpr char frame = '\f';

enum class Origin : quint8 {
    Source, // a byte of the caller's text
    Inserted, // added for md4c only; dropped from the output
    CarriageReturn, // first byte of "&#13;", which stands for a "\r" of the caller's text
};

struct Prepared
{
    QByteArray buffer;
    std::vector<Origin> origins;

    void append(const QByteArray &bytes, Origin origin)
    {
        buffer.append(bytes);
        origins.insert(origins.end(), size_t(bytes.size()), origin);
    }

    void append(char byte, Origin origin)
    {
        buffer.append(byte);
        origins.push_back(origin);
    }

    bool contains(const char *text, size_t size) const
    {
        const char *begin = buffer.constData();
        return text >= begin && text + size <= begin + buffer.size();
    }

    // The caller's own bytes among [text, text + size) of the buffer.
    QByteArray original(const char *text, size_t size) const
    {
        QByteArray out;
        out.reserve(qsizetype(size));
        const size_t offset = size_t(text - buffer.constData());
        for (size_t i = 0; i < size; ++i) {
            switch (origins[offset + i]) {
            case Origin::Source:
                out.append(text[i]);
                break;
            case Origin::CarriageReturn:
                out.append('\r');
                break;
            case Origin::Inserted:
                break;
            }
        }
        return out;
    }
};

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

void appendLine(Prepared &prepared, QStringView line)
{
    prepared.append(frame, Origin::Inserted);

    // A backtick run that opens a line and is not closed on it is fence syntax: it is escaped
    // so that it stays literal instead of pairing with a run on a later line.
    qsizetype lead = 0;
    while (lead < line.size() && isBlank(line[lead]))
        ++lead;
    qsizetype run = 0;
    while (lead + run < line.size() && line[lead + run] == u'`')
        ++run;
    const bool fence = run >= 3 && !line.mid(lead + run).contains(u'`');

    qsizetype pending = 0;
    auto flushPending = [&](qsizetype end) {
        if (end > pending)
            prepared.append(line.mid(pending, end - pending).toUtf8(), Origin::Source);
        pending = end + 1;
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (fence && i >= lead && i < lead + run) {
            flushPending(i);
            prepared.append('\\', Origin::Inserted);
            prepared.append('`', Origin::Source);
        } else if (line[i] == u'\r') {
            // md4c ends a line at a bare "\r"; a character reference keeps it a character.
            flushPending(i);
            prepared.append('&', Origin::CarriageReturn);
            prepared.append(QByteArrayLiteral("#13;"), Origin::Inserted);
        }
    }
    flushPending(line.size());

    prepared.append(frame, Origin::Inserted);
}

Prepared prepare(const QString &text)
{
    Prepared prepared;
    prepared.buffer.reserve(text.size() + 16);
    prepared.origins.reserve(size_t(text.size()) + 16);
    bool first = true;
    for (const QStringView line : QStringView(text).split(u'\n')) {
        if (!first)
            prepared.append('\n', Origin::Source);
        first = false;
        appendLine(prepared, line);
    }
    return prepared;
}

// Only addresses a browser or mail program can open safely become anchors.
QString safeHref(const QString &address)
{
    const QUrl url(address.trimmed(), QUrl::TolerantMode);
    if (!url.isValid() || url.isRelative())
        return {};
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http" || scheme == u"https") {
        if (url.host().isEmpty())
            return {};
    } else if (scheme == u"mailto") {
        if (url.path().isEmpty())
            return {};
    } else {
        return {};
    }
    return url.toString(QUrl::FullyEncoded);
}

struct Style
{
    int code = 0;
    int strong = 0;
    int em = 0;
    int del = 0;
    QString href;
    bool operator==(const Style &) const = default;
};

struct Renderer
{
    const Prepared &prepared;
    QList<QString> links; // the safe address of each open link, empty when unsafe
    Style current;
    Style runStyle;
    QByteArray run;
    QString html;
    int paragraphs = 0;

    explicit Renderer(const Prepared &p)
        : prepared(p)
    {
    }

    QByteArray bytes(const char *text, size_t size) const
    {
        if (prepared.contains(text, size))
            return prepared.original(text, size);
        return QByteArray(text, qsizetype(size));
    }

    void updateHref()
    {
        current.href.clear();
        for (auto it = links.crbegin(); it != links.crend(); ++it) {
            if (!it->isEmpty()) {
                current.href = *it;
                break;
            }
        }
    }

    void flush()
    {
        if (run.isEmpty())
            return;
        QString piece = Markdown::escapeHtml(QString::fromUtf8(run));
        run.clear();
        if (runStyle.code > 0)
            piece = QStringLiteral("<code>") + piece + QStringLiteral("</code>");
        if (runStyle.strong > 0)
            piece = QStringLiteral("<strong>") + piece + QStringLiteral("</strong>");
        if (runStyle.em > 0)
            piece = QStringLiteral("<em>") + piece + QStringLiteral("</em>");
        if (runStyle.del > 0)
            piece = QStringLiteral("<s>") + piece + QStringLiteral("</s>");
        if (!runStyle.href.isEmpty()) {
            piece = QStringLiteral("<a href=\"") + Markdown::escapeHtml(runStyle.href)
                + QStringLiteral("\">") + piece + QStringLiteral("</a>");
        }
        html += piece;
    }

    void append(const QByteArray &bytes)
    {
        if (bytes.isEmpty())
            return;
        if (!(runStyle == current)) {
            flush();
            runStyle = current;
        }
        run.append(bytes);
    }

    int enterBlock(MD_BLOCKTYPE type)
    {
        // Framed lines can only form one paragraph; anything else means the input was not
        // read as inline text, and the caller gets the escaped source instead.
        if (type == MD_BLOCK_DOC)
            return 0;
        if (type == MD_BLOCK_P && ++paragraphs == 1)
            return 0;
        return 1;
    }

    int enterSpan(MD_SPANTYPE type, void *detail)
    {
        switch (type) {
        case MD_SPAN_EM:
            ++current.em;
            break;
        case MD_SPAN_STRONG:
            ++current.strong;
            break;
        case MD_SPAN_CODE:
            ++current.code;
            break;
        case MD_SPAN_DEL:
            ++current.del;
            break;
        case MD_SPAN_A: {
            const auto *a = static_cast<const MD_SPAN_A_DETAIL *>(detail);
            links.append(safeHref(QString::fromUtf8(bytes(a->href.text, a->href.size))));
            updateHref();
            break;
        }
        default:
            // Images show their alternative text, which md4c reports as ordinary text.
            break;
        }
        return 0;
    }

    int leaveSpan(MD_SPANTYPE type)
    {
        switch (type) {
        case MD_SPAN_EM:
            --current.em;
            break;
        case MD_SPAN_STRONG:
            --current.strong;
            break;
        case MD_SPAN_CODE:
            --current.code;
            break;
        case MD_SPAN_DEL:
            --current.del;
            break;
        case MD_SPAN_A:
            if (!links.isEmpty())
                links.removeLast();
            updateHref();
            break;
        default:
            break;
        }
        return 0;
    }

    int text(MD_TEXTTYPE type, const char *text, size_t size)
    {
        switch (type) {
        case MD_TEXT_NULLCHAR:
            append(QByteArrayLiteral("\xEF\xBF\xBD"));
            break;
        case MD_TEXT_BR:
        case MD_TEXT_SOFTBR:
            append(QByteArrayLiteral("\n"));
            break;
        case MD_TEXT_CODE:
            // Inside a code span md4c reports a line end as a space of its own.
            if (!prepared.contains(text, size) && size == 1 && text[0] == ' ')
                append(QByteArrayLiteral("\n"));
            else
                append(bytes(text, size));
            break;
        default:
            // Character references stay as written: they are text, like raw HTML.
            append(bytes(text, size));
            break;
        }
        return 0;
    }
};

} // namespace

namespace Markdown {

QString escapeHtml(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

QString inlineHtml(const QString &text)
{
    const Prepared prepared = prepare(text);
    Renderer renderer(prepared);

    MD_PARSER parser {};
    parser.abi_version = 0;
    parser.flags = MD_FLAG_STRIKETHROUGH | MD_FLAG_PERMISSIVEAUTOLINKS | MD_FLAG_NOHTML;
    parser.enter_block = [](MD_BLOCKTYPE type, void *, void *self) {
        return static_cast<Renderer *>(self)->enterBlock(type);
    };
    parser.leave_block = [](MD_BLOCKTYPE, void *, void *) {
        return 0;
    };
    parser.enter_span = [](MD_SPANTYPE type, void *detail, void *self) {
        return static_cast<Renderer *>(self)->enterSpan(type, detail);
    };
    parser.leave_span = [](MD_SPANTYPE type, void *, void *self) {
        return static_cast<Renderer *>(self)->leaveSpan(type);
    };
    parser.text = [](MD_TEXTTYPE type, const MD_CHAR *chars, MD_SIZE size, void *self) {
        return static_cast<Renderer *>(self)->text(type, chars, size);
    };

    const int status = md_parse(prepared.buffer.constData(), MD_SIZE(prepared.buffer.size()),
                                &parser, &renderer);
    if (status != 0)
        return escapeHtml(text);
    renderer.flush();
    return renderer.html;
}

} // namespace Markdown
