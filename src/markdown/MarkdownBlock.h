#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

/// One block element of a note body, as the line-based parser produces it.
///
/// A tagged value: `kind` says which case it is, and only the payload fields of that case
/// carry meaning (the others stay empty). Build values with the named constructors so that
/// unused fields stay at their defaults.
///
/// | kind      | payload                                   |
/// |-----------|-------------------------------------------|
/// | Heading   | `level` (1…6), `text`                     |
/// | Paragraph | `text` (lines joined with "\n")           |
/// | Bullet    | `text`, `checked` (set for task items)    |
/// | Ordered   | `marker` (digits + "."), `text`           |
/// | Quote     | `text` (lines joined with "\n")           |
/// | Code      | `text` (raw lines joined with "\n")       |
/// | Image     | `alt`, `path`                             |
/// | Audio     | `label`, `path`                           |
/// | Rule      | —                                         |
struct MarkdownBlock
{
    enum class Kind { Heading, Paragraph, Bullet, Ordered, Quote, Code, Image, Audio, Rule };

    Kind kind = Kind::Paragraph;
    int level = 0;
    QString text;
    std::optional<bool> checked;
    QString marker;
    QString alt;
    QString label;
    QString path;

    static MarkdownBlock heading(int level, const QString &text);
    static MarkdownBlock paragraph(const QString &text);
    static MarkdownBlock bullet(const QString &text, std::optional<bool> checked = std::nullopt);
    static MarkdownBlock ordered(const QString &marker, const QString &text);
    static MarkdownBlock quote(const QString &text);
    static MarkdownBlock code(const QString &text);
    static MarkdownBlock image(const QString &alt, const QString &path);
    static MarkdownBlock audio(const QString &label, const QString &path);
    static MarkdownBlock rule();

    /// True for a bullet that carries a task-list box (checked or not).
    bool hasCheckbox() const { return kind == Kind::Bullet && checked.has_value(); }

    /// Equal when the case and the payload of that case are equal; fields that do not belong
    /// to the case are ignored.
    bool operator==(const MarkdownBlock &other) const;
};

/// The Markdown subsystem's pure functions: block parsing, its JSON form and inline rendering
/// (the latter in markdown/InlineRenderer.h).
namespace Markdown {

/// Splits a note body into its flat list of blocks, in text order. Lines are split at "\n";
/// a "\r" right before a line end (CRLF files) is dropped, so such files parse like LF ones.
/// Never fails: every line ends up in some block or is a blank separator.
QList<MarkdownBlock> parse(const QString &text);

/// For each task-list bullet that `parse(text)` yields, in order, the index of its source line
/// (lines split at "\n", counting from 0). Entry n is the line of checkbox ordinal n, so a
/// checkbox click can be mapped back to the line it came from with exactly the parser's rules.
QList<qsizetype> checkboxLines(const QString &text);

/// The lower-case file extensions that make a `[label](path)` line an audio block:
/// "m4a", "mp3", "wav", "aac", "caf", "aiff".
const QSet<QString> &audioExtensions();

/// The "type" name of a case: "heading", "paragraph", "bullet", "ordered", "quote", "code",
/// "image", "audio", "rule".
QString kindName(MarkdownBlock::Kind kind);

/// One object: "type" plus the payload members of that case only — "level", "text",
/// "checked" (true, false or null; always present for bullets), "marker", "alt", "label",
/// "path".
QJsonObject toJson(const MarkdownBlock &block);
/// One object per block, in order.
QJsonArray toJson(const QList<MarkdownBlock> &blocks);

} // namespace Markdown
