#include "markdown/MarkdownBlock.h"

#include <QStringList>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Only spaces and tabs count: other white space (a form feed, a no-break space) is text.
QStringView trimmed(QStringView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isFence(QStringView t)
{
    return t.startsWith(u"```") || t.startsWith(u"~~~");
}

bool isRule(QStringView t)
{
    if (t.size() < 3)
        return false;
    const QChar first = t[0];
    if (first != u'-' && first != u'*' && first != u'_')
        return false;
    for (const QChar c : t) {
        if (c != first && c != u' ')
            return false;
    }
    return true;
}

std::optional<MarkdownBlock> heading(QStringView t)
{
    qsizetype hashes = 0;
    while (hashes < t.size() && t[hashes] == u'#')
        ++hashes;
    if (hashes < 1 || hashes > 6)
        return std::nullopt;
    if (hashes < t.size() && t[hashes] != u' ')
        return std::nullopt;
    return MarkdownBlock::heading(int(hashes), trimmed(t.mid(hashes)).toString());
}

QString lowerExtension(QStringView path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QStringView name = path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    return name.mid(dot + 1).toString().toLower();
}

std::optional<MarkdownBlock> media(QStringView t)
{
    if (!t.endsWith(u')'))
        return std::nullopt;
    const qsizetype split = t.indexOf(u"](");
    if (split < 0)
        return std::nullopt;
    const QStringView before = t.left(split);
    bool isImage = false;
    QStringView label;
    if (before.startsWith(u"![")) {
        isImage = true;
        label = before.mid(2);
    } else if (before.startsWith(u'[')) {
        label = before.mid(1);
    } else {
        return std::nullopt;
    }
    if (label.contains(u']'))
        return std::nullopt;
    // The path runs up to the final ")", which the check above guarantees.
    const QStringView path = t.mid(split + 2, t.size() - split - 3);
    if (path.isEmpty() || path.contains(u' ') || path.contains(u')'))
        return std::nullopt;
    if (isImage)
        return MarkdownBlock::image(label.toString(), path.toString());
    if (Markdown::audioExtensions().contains(lowerExtension(path)))
        return MarkdownBlock::audio(label.toString(), path.toString());
    return std::nullopt;
}

std::optional<MarkdownBlock> bullet(QStringView t)
{
    if (t.size() < 2 || (t[0] != u'-' && t[0] != u'*' && t[0] != u'+') || t[1] != u' ')
        return std::nullopt;
    const QStringView rest = trimmed(t.mid(2));
    // "[ ]", "[x]" or "[X]", alone or followed by a space; compared without lower-casing the
    // whole text, which could change its length for some scripts.
    const bool boxShape = rest.size() >= 3 && rest[0] == u'[' && rest[2] == u']'
        && (rest.size() == 3 || rest[3] == u' ');
    if (boxShape) {
        const QChar mark = rest[1];
        if (mark == u' ')
            return MarkdownBlock::bullet(trimmed(rest.mid(3)).toString(), false);
        if (mark == u'x' || mark == u'X')
            return MarkdownBlock::bullet(trimmed(rest.mid(3)).toString(), true);
    }
    return MarkdownBlock::bullet(rest.toString());
}

std::optional<MarkdownBlock> ordered(QStringView t)
{
    qsizetype digits = 0;
    while (digits < t.size() && isAsciiDigit(t[digits]))
        ++digits;
    if (digits < 1 || digits > 3)
        return std::nullopt;
    // Delimiter, a space, and at least one character after that space.
    if (t.size() < digits + 3)
        return std::nullopt;
    const QChar delimiter = t[digits];
    if ((delimiter != u'.' && delimiter != u')') || t[digits + 1] != u' ')
        return std::nullopt;
    return MarkdownBlock::ordered(t.left(digits).toString() + u'.',
                                  trimmed(t.mid(digits + 2)).toString());
}

struct Parser
{
    QList<MarkdownBlock> blocks;
    QList<qsizetype> checkboxLines;
    QStringList paragraph;
    QStringList quote;
    QStringList code;
    bool inFence = false;

    void flushParagraph()
    {
        if (paragraph.isEmpty())
            return;
        blocks.append(MarkdownBlock::paragraph(paragraph.join(u'\n')));
        paragraph.clear();
    }

    void flushQuote()
    {
        if (quote.isEmpty())
            return;
        blocks.append(MarkdownBlock::quote(quote.join(u'\n')));
        quote.clear();
    }

    void flushBoth()
    {
        flushParagraph();
        flushQuote();
    }

    void line(QStringView raw, qsizetype index)
    {
        // A CRLF file would otherwise leave "\r" in every block and break rules, fences'
        // code and task boxes at line ends.
        if (raw.endsWith(u'\r'))
            raw.chop(1);
        const QStringView t = trimmed(raw);

        if (isFence(t)) {
            if (inFence) {
                blocks.append(MarkdownBlock::code(code.join(u'\n')));
                code.clear();
                inFence = false;
            } else {
                flushBoth();
                inFence = true;
            }
            return;
        }
        if (inFence) {
            code.append(raw.toString());
            return;
        }
        if (t.isEmpty()) {
            flushBoth();
            return;
        }
        if (isRule(t)) {
            flushBoth();
            blocks.append(MarkdownBlock::rule());
            return;
        }
        if (auto block = heading(t)) {
            flushBoth();
            blocks.append(*block);
            return;
        }
        if (auto block = media(t)) {
            flushBoth();
            blocks.append(*block);
            return;
        }
        if (t.startsWith(u'>')) {
            flushParagraph();
            quote.append(trimmed(t.mid(1)).toString());
            return;
        }
        if (auto block = bullet(t)) {
            flushBoth();
            if (block->hasCheckbox())
                checkboxLines.append(index);
            blocks.append(*block);
            return;
        }
        if (auto block = ordered(t)) {
            flushBoth();
            blocks.append(*block);
            return;
        }
        flushQuote();
        paragraph.append(t.toString());
    }

    void finish()
    {
        if (inFence && !code.isEmpty())
            blocks.append(MarkdownBlock::code(code.join(u'\n')));
        code.clear();
        inFence = false;
        flushBoth();
    }

    void run(const QString &text)
    {
        qsizetype index = 0;
        for (const QStringView raw : QStringView(text).split(u'\n'))
            line(raw, index++);
        finish();
    }
};

} // namespace

MarkdownBlock MarkdownBlock::heading(int level, const QString &text)
{
    MarkdownBlock block;
    block.kind = Kind::Heading;
    block.level = level;
    block.text = text;
    return block;
}

MarkdownBlock MarkdownBlock::paragraph(const QString &text)
{
    MarkdownBlock block;
    block.kind = Kind::Paragraph;
    block.text = text;
    return block;
}

MarkdownBlock MarkdownBlock::bullet(const QString &text, std::optional<bool> checked)
{
    MarkdownBlock block;
    block.kind = Kind::Bullet;
    block.text = text;
    block.checked = checked;
    return block;
}

MarkdownBlock MarkdownBlock::ordered(const QString &marker, const QString &text)
{
    MarkdownBlock block;
    block.kind = Kind::Ordered;
    block.marker = marker;
    block.text = text;
    return block;
}

MarkdownBlock MarkdownBlock::quote(const QString &text)
{
    MarkdownBlock block;
    block.kind = Kind::Quote;
    block.text = text;
    return block;
}

MarkdownBlock MarkdownBlock::code(const QString &text)
{
    MarkdownBlock block;
    block.kind = Kind::Code;
    block.text = text;
    return block;
}

MarkdownBlock MarkdownBlock::image(const QString &alt, const QString &path)
{
    MarkdownBlock block;
    block.kind = Kind::Image;
    block.alt = alt;
    block.path = path;
    return block;
}

MarkdownBlock MarkdownBlock::audio(const QString &label, const QString &path)
{
    MarkdownBlock block;
    block.kind = Kind::Audio;
    block.label = label;
    block.path = path;
    return block;
}

MarkdownBlock MarkdownBlock::rule()
{
    MarkdownBlock block;
    block.kind = Kind::Rule;
    return block;
}

bool MarkdownBlock::operator==(const MarkdownBlock &other) const
{
    if (kind != other.kind)
        return false;
    switch (kind) {
    case Kind::Heading:
        return level == other.level && text == other.text;
    case Kind::Paragraph:
    case Kind::Quote:
    case Kind::Code:
        return text == other.text;
    case Kind::Bullet:
        return text == other.text && checked == other.checked;
    case Kind::Ordered:
        return marker == other.marker && text == other.text;
    case Kind::Image:
        return alt == other.alt && path == other.path;
    case Kind::Audio:
        return label == other.label && path == other.path;
    case Kind::Rule:
        return true;
    }
    return false;
}

namespace Markdown {

QList<MarkdownBlock> parse(const QString &text)
{
    Parser parser;
    parser.run(text);
    return parser.blocks;
}

QList<qsizetype> checkboxLines(const QString &text)
{
    Parser parser;
    parser.run(text);
    return parser.checkboxLines;
}

const QSet<QString> &audioExtensions()
{
    static const QSet<QString> extensions {
        QStringLiteral("m4a"), QStringLiteral("mp3"), QStringLiteral("wav"),
        QStringLiteral("aac"), QStringLiteral("caf"), QStringLiteral("aiff"),
    };
    return extensions;
}

QString kindName(MarkdownBlock::Kind kind)
{
    using Kind = MarkdownBlock::Kind;
    switch (kind) {
    case Kind::Heading:
        return QStringLiteral("heading");
    case Kind::Paragraph:
        return QStringLiteral("paragraph");
    case Kind::Bullet:
        return QStringLiteral("bullet");
    case Kind::Ordered:
        return QStringLiteral("ordered");
    case Kind::Quote:
        return QStringLiteral("quote");
    case Kind::Code:
        return QStringLiteral("code");
    case Kind::Image:
        return QStringLiteral("image");
    case Kind::Audio:
        return QStringLiteral("audio");
    case Kind::Rule:
        return QStringLiteral("rule");
    }
    return {};
}

QJsonObject toJson(const MarkdownBlock &block)
{
    using Kind = MarkdownBlock::Kind;
    QJsonObject object { { QStringLiteral("type"), kindName(block.kind) } };
    switch (block.kind) {
    case Kind::Heading:
        object.insert(QStringLiteral("level"), block.level);
        object.insert(QStringLiteral("text"), block.text);
        break;
    case Kind::Paragraph:
    case Kind::Quote:
    case Kind::Code:
        object.insert(QStringLiteral("text"), block.text);
        break;
    case Kind::Bullet:
        object.insert(QStringLiteral("text"), block.text);
        object.insert(QStringLiteral("checked"),
                      block.checked ? QJsonValue(*block.checked) : QJsonValue(QJsonValue::Null));
        break;
    case Kind::Ordered:
        object.insert(QStringLiteral("marker"), block.marker);
        object.insert(QStringLiteral("text"), block.text);
        break;
    case Kind::Image:
        object.insert(QStringLiteral("alt"), block.alt);
        object.insert(QStringLiteral("path"), block.path);
        break;
    case Kind::Audio:
        object.insert(QStringLiteral("label"), block.label);
        object.insert(QStringLiteral("path"), block.path);
        break;
    case Kind::Rule:
        break;
    }
    return object;
}

QJsonArray toJson(const QList<MarkdownBlock> &blocks)
{
    QJsonArray array;
    for (const MarkdownBlock &block : blocks)
        array.append(toJson(block));
    return array;
}

} // namespace Markdown
