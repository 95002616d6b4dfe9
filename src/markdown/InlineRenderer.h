#pragma once

#include <QString>

namespace Markdown {

/// Replaces "&" by "&amp;", then "<" by "&lt;", ">" by "&gt;" and the double quote by
/// "&quot;". Everything else, line breaks included, is kept.
QString escapeHtml(const QString &text);

/// Renders one block's inline Markdown (the text of a heading, paragraph, bullet, ordered item
/// or quote) as HTML spans, for the preview and the PDF export.
///
/// The text is read as inline-only Markdown: block syntax ("# ", "> ", "- ", "1. ", fences,
/// rules, setext underlines, indentation) has no meaning and stays as written, as does all
/// white space; line breaks come out as "\n" characters (callers replace them). Each run of
/// text is escaped and wrapped, innermost first, in <code>, <strong>, <em>, <s> and, outermost,
/// <a href="…">. Links (including autolinks and bare http(s)/www/e-mail addresses) become
/// anchors only for the schemes http, https and mailto; any other link shows as its plain
/// text. Raw HTML and character references in the input are shown as text, never passed
/// through. Inline images show their alternative text. If parsing fails the result is
/// `escapeHtml(text)`.
QString inlineHtml(const QString &text);

} // namespace Markdown
