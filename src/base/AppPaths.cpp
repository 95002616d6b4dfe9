#include "base/AppPaths.h"

#include "base/AppInfo.h"

#include <QDir>
#include <QStandardPaths>

namespace {

// A desktop without a configured Documents or data folder still needs somewhere to keep
// notes; the home folder's conventional names are what the XDG defaults would have been.
QString locationOr(QStandardPaths::StandardLocation location, const QString &homeRelative)
{
    const QString path = QStandardPaths::writableLocation(location);
    if (!path.isEmpty())
        return path;
    return QDir::home().filePath(homeRelative);
}

} // namespace

namespace AppPaths {

QString folderName()
{
    return AppInfo::devServer() ? QStringLiteral("ScrivelBar Dev") : QStringLiteral("ScrivelBar");
}

QString defaultNotesFolder()
{
    return QDir(locationOr(QStandardPaths::DocumentsLocation, QStringLiteral("Documents")))
        .filePath(folderName());
}

QString defaultSupportFolder()
{
    return QDir(locationOr(QStandardPaths::GenericDataLocation, QStringLiteral(".local/share")))
        .filePath(folderName());
}

} // namespace AppPaths
