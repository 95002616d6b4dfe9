// The X11 key grab against a real window manager: openbox on a private Xvfb display binds
// Alt+Space to its window menu, as most desktops do. The display and the window manager are
// started before the application, which then runs on the xcb platform against them. Without
// Xvfb or openbox every test is skipped.
#include "settings/SettingsTypes.h"
#include "platform/HotKeyManager.h"
#include "platform/linux/X11HotKey.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

#include <X11/Xlib.h>
#include <unistd.h>
// Xlib's macros collide with Qt's names.
#undef Status
#undef None
#undef KeyPress
#undef KeyRelease

Q_DECLARE_METATYPE(HotKeyCombo)

namespace {

QString g_skipReason;

int g_grabError = 0;
int recordError(Display *, XErrorEvent *event)
{
    g_grabError = event->error_code;
    return 0;
}

// True once another client (the window manager) holds Alt+Space on `display`. Polled, within
// `timeoutMs`, because openbox grabs its keys some time after it starts.
bool windowManagerHoldsAltSpace(const QByteArray &display, int timeoutMs)
{
    Display *connection = XOpenDisplay(display.constData());
    if (!connection)
        return false;
    XErrorHandler previous = XSetErrorHandler(recordError);
    const KeyCode space = XKeysymToKeycode(connection, XStringToKeysym("space"));
    const Window root = DefaultRootWindow(connection);
    bool held = false;
    const QDeadlineTimer deadline(timeoutMs);
    while (!held && !deadline.hasExpired()) {
        g_grabError = 0;
        XGrabKey(connection, space, Mod1Mask, root, True, GrabModeAsync, GrabModeAsync);
        XSync(connection, False);
        held = g_grabError == BadAccess;
        if (!held) {
            XUngrabKey(connection, space, Mod1Mask, root);
            XSync(connection, False);
            QThread::msleep(50);
        }
    }
    XSetErrorHandler(previous);
    XCloseDisplay(connection);
    return held;
}

// The private display and its window manager, for the life of the test run.
struct PrivateDesktop
{
    QProcess xvfb;
    QProcess windowManager;

    ~PrivateDesktop()
    {
        for (QProcess *process : { &windowManager, &xvfb }) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            if (!process->waitForFinished(3000))
                process->kill();
            process->waitForFinished(1000);
        }
    }

    // Starts both; on failure says why in g_skipReason.
    bool start()
    {
        const QString xvfbPath = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString openboxPath = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (xvfbPath.isEmpty() || openboxPath.isEmpty()) {
            g_skipReason = QStringLiteral("needs Xvfb and openbox");
            return false;
        }
        // A display number of our own: free of a socket, different for parallel runs.
        int number = 300 + int(getpid() % 600);
        while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
            ++number;
        const QString display = QStringLiteral(":%1").arg(number);
        xvfb.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        xvfb.start(xvfbPath, { display, QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("800x600x24"), QStringLiteral("-nolisten"),
                               QStringLiteral("tcp") });
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
        const QDeadlineTimer up(10000);
        while (!QFile::exists(socket) && !up.hasExpired() && xvfb.state() != QProcess::NotRunning)
            QThread::msleep(50);
        Display *probe = QFile::exists(socket) ? XOpenDisplay(qPrintable(display)) : nullptr;
        if (!probe) {
            g_skipReason = QStringLiteral("Xvfb did not start");
            return false;
        }
        XCloseDisplay(probe);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display);
        windowManager.setProcessEnvironment(environment);
        windowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        windowManager.start(openboxPath, { QStringLiteral("--sm-disable") });
        if (!windowManagerHoldsAltSpace(display.toLocal8Bit(), 10000)) {
            g_skipReason = QStringLiteral("openbox did not take Alt+Space");
            return false;
        }
        qputenv("DISPLAY", display.toLocal8Bit());
        return true;
    }
};

QString statusName(HotKeyManager::Status status)
{
    return QString::fromLatin1(
        QMetaEnum::fromType<HotKeyManager::Status>().valueToKey(int(status)));
}

} // namespace

class TestX11HotKey : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (!g_skipReason.isEmpty())
            QSKIP(qPrintable(g_skipReason));
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }

    void grabReportsTheWindowManagersKeys_data()
    {
        QTest::addColumn<HotKeyCombo>("combo");
        QTest::addColumn<QString>("status");
        QTest::newRow("Alt+Space, the window menu") << HotKeyCombo::OptionSpace << "Taken";
        QTest::newRow("Ctrl+Space") << HotKeyCombo::ControlSpace << "Active";
        QTest::newRow("Ctrl+Alt+N") << HotKeyCombo::ControlOptionN << "Active";
    }

    void grabReportsTheWindowManagersKeys()
    {
        QFETCH(HotKeyCombo, combo);
        QFETCH(QString, status);
        HotKeyManager manager; // the desktop's facility: the X11 grab
        manager.apply(globalHotKey(combo), [] {});
        QCOMPARE(statusName(manager.status()), status);
        QCOMPARE(manager.registered().has_value(), status == u"Active");
        manager.apply(std::nullopt, {});
        QCOMPARE(statusName(manager.status()), QStringLiteral("Off"));
    }

    void firstFreePassesOverTheWindowMenu()
    {
        HotKeyManager manager;
        const QList<GlobalHotKey> candidates { *globalHotKey(HotKeyCombo::OptionSpace),
                                               *globalHotKey(HotKeyCombo::ControlSpace) };
        QCOMPARE(manager.applyFirstFree(candidates, [] {}), qsizetype(1));
        QVERIFY(manager.replacedHotKey() == candidates.first());
        QVERIFY(manager.registered() == candidates.at(1));
    }
};

int main(int argc, char **argv)
{
    PrivateDesktop desktop;
    if (desktop.start())
        qputenv("QT_QPA_PLATFORM", "xcb");
    else
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TestX11HotKey test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_x11hotkey.moc"
