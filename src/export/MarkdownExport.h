#pragma once

#include <QList>
#include <QString>

#include <expected>

/// Writes a note's Markdown to a chosen file together with its media, so that the
/// references "attachments/<id>/<file>" resolve next to the exported file.
namespace MarkdownExport {

struct Media
{
    QString source;   ///< the attachment file in the notes folder
    QString relative; ///< "attachments/<note id>/<file name>"
};

/// Writes `text` (UTF-8, atomically) to `target`, then copies each media file to the
/// target's folder joined with its relative path, replacing what is there. Stops at the first
/// failure, whose localized message names the file; files already copied stay. A relative
/// path that would leave the target's folder is refused, and a file is never replaced by
/// itself (exporting into the notes folder must not delete the attachment).
std::expected<void, QString> write(const QString &text, const QString &target,
                                   const QList<Media> &media);

} // namespace MarkdownExport
