#include "export/MarkdownExport.h"

#include "base/Localization.h"
#include "base/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace MarkdownExport {

std::expected<void, QString> write(const QString &text, const QString &target,
                                   const QList<Media> &media)
{
    if (auto written = DurableFile::write(target, text.toUtf8()); !written)
        return std::unexpected(L("editor.export.error.write", target) + u' ' + written.error());
    const QDir base = QFileInfo(target).absoluteDir();
    for (const Media &item : media) {
        const QString clean = QDir::cleanPath(item.relative);
        if (clean.isEmpty() || QDir::isAbsolutePath(clean) || clean == u".."
            || clean.startsWith(QStringLiteral("../")))
            return std::unexpected(L("editor.export.error.copy", item.relative));
        const QString destination = base.filePath(clean);
        const QFileInfo from(item.source);
        const QFileInfo to(destination);
        if (to.exists() && from.exists() && from.canonicalFilePath() == to.canonicalFilePath())
            continue; // already in place: removing it first would lose it
        if (!QDir().mkpath(to.absolutePath()))
            return std::unexpected(L("editor.export.error.copy", destination));
        if (to.exists() || to.isSymLink())
            QFile::remove(destination);
        if (!QFile::copy(item.source, destination))
            return std::unexpected(L("editor.export.error.copy", destination));
    }
    return {};
}

} // namespace MarkdownExport
