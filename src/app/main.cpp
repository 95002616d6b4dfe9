#include "app/AppDelegate.h"
#include "base/AppInfo.h"
#include "store/NoteStore.h"
#include "platform/linux/SingleInstance.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QPalette>
#include <QSocketNotifier>
#include <QStyleFactory>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// A logout or `kill` sends SIGTERM: it takes the same path as Quit, so pending edits are
// written before the process ends.
void routeTerminationSignals(AppDelegate &delegate)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &delegate);
    QObject::connect(notifier, &QSocketNotifier::activated, &delegate, [&delegate] {
        char byte;
        [[maybe_unused]] const auto read = ::read(signalPipe[0], &byte, 1);
        delegate.terminate();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

// SCRIVELBAR_PALETTE=dark forces a dark Fusion palette: for checking and screenshotting the
// dark look on a desktop that is light.
void applyPaletteOverride()
{
    if (qEnvironmentVariable("SCRIVELBAR_PALETTE") != QLatin1String("dark"))
        return;
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2e));
    dark.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xea));
    dark.setColor(QPalette::Base, QColor(0x1f, 0x1f, 0x22));
    dark.setColor(QPalette::AlternateBase, QColor(0x2f, 0x2f, 0x33));
    dark.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xea));
    dark.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0xa0));
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x39));
    dark.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xea));
    dark.setColor(QPalette::Mid, QColor(0x4a, 0x4a, 0x50));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0x8b, 0xf2));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, QColor(0x35, 0x35, 0x39));
    dark.setColor(QPalette::ToolTipText, QColor(0xe8, 0xe8, 0xea));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x70, 0x70, 0x76));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x70, 0x70, 0x76));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x70, 0x70, 0x76));
    QApplication::setPalette(dark);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppInfo::name());
    QApplication::setApplicationVersion(AppInfo::version());
    QApplication::setDesktopFileName(QString::fromLatin1(AppInfo::identifier));
    // A tray app: closing the panel never ends the process.
    QApplication::setQuitOnLastWindowClosed(false);
    applyPaletteOverride();

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const QString server = SingleInstance::serverNameFor(NoteStore::defaultSupportFolder());
    // A running instance takes the arguments and this start ends at once.
    if (SingleInstance::sendToRunning(server, arguments))
        return 0;

    AppDelegate delegate;
    if (!delegate.launch(arguments)) {
        // Two starts at the same moment: the other one won the lock and is about to listen.
        const QDeadlineTimer deadline(2000);
        while (!deadline.hasExpired()) {
            if (SingleInstance::sendToRunning(server, arguments, 200))
                return 0;
            QThread::msleep(100);
        }
        std::fprintf(stderr, "scrivelbar: %s\n", qPrintable(delegate.launchError()));
        return 1;
    }
    routeTerminationSignals(delegate);
    return app.exec();
}
