#include "platform/FileReveal.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace FileReveal {

bool openFolder(const QString &folder)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool reveal(const QStringList &paths)
{
    if (paths.isEmpty())
        return false;
    const QString folder = QFileInfo(paths.first()).absolutePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    if (!bus.isConnected() || !bus.interface()
        || !bus.interface()->isServiceRegistered(service).value())
        return openFolder(folder);
    QStringList uris;
    for (const QString &path : paths)
        uris << QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                       service, QStringLiteral("ShowItems"));
    call << uris << QString();
    // Asynchronous, so a slow file manager never freezes the panel; a failure falls back.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [folder](QDBusPendingCallWatcher *self) {
                         if (self->isError())
                             openFolder(folder);
                         self->deleteLater();
                     });
    // A running file manager took the request; should it fail, the folder opens instead.
    return true;
}

} // namespace FileReveal
