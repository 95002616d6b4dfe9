#include "platform/linux/DesktopBrowser.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>

bool DesktopBrowser::open(const QUrl &url)
{
    // Only web addresses leave the program: a redirect or server answer must not be able to
    // make us launch a local file or another URL handler.
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"https" && scheme != u"http"))
        return false;
    // QDesktopServices needs a platform integration, which only a GUI application has.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QDesktopServices::openUrl(url);
    return QProcess::startDetached(QStringLiteral("xdg-open"),
                                   { url.toString(QUrl::FullyEncoded) });
}
