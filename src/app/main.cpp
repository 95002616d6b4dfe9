#include "app/AppDelegate.h"
#include "app/DesktopIdentity.h"
#include "base/AppInfo.h"
#include "store/NoteStore.h"
#include "platform/linux/SingleInstance.h"
#include "telemetry/AppLog.h"
#include "telemetry/CrashHandler.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QPalette>
#include <QSocketNotifier>
#include <QStyleFactory>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Like the command-line tool's help, in English.
constexpr const char kHelp[] = R"(Usage: scrivelbar [--toggle | --hidden]

ScrivelBar keeps short Markdown notes in a panel under its tray icon. Starting it while it
runs opens the running one's panel.

Options:
  --toggle                    open the panel, or close it when it is open (bind this to a
                              desktop shortcut where the hot key cannot be grabbed, as on
                              Wayland)
  --hidden                    start without opening the panel, even where there is no
                              tray yet (the login entry starts it this way)
  -h, --help                  show this help
  -v, --version               show the version

Qt's own options (-platform, -style, ...) are accepted too.

Environment:
  SCRIVELBAR_PALETTE=dark     use the dark palette whatever the desktop's is
)";

constexpr int usageError = 2;

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int usage(const QString &problem)
{
    print(stderr, QStringLiteral("scrivelbar: %1 (see scrivelbar --help)\n").arg(problem));
    return usageError;
}

// Help, version and bad usage are answered by this process alone, before it looks for a
// running instance (which would otherwise take the arguments and end this start silently).
// Returns the exit status when the command line is answered; nothing when the app should run.
// `qtOptionsRemoved` is false for the raw command line: help and version then need no display,
// and anything the parser does not know may still be one of Qt's own options.
std::optional<int> answerCommandLine(const QStringList &arguments, bool qtOptionsRemoved)
{
    QCommandLineParser parser;
    // Qt's options are single-dash words (-style): "-bogus" is one unknown option, not five.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption toggle(QStringLiteral("toggle"));
    const QCommandLineOption hidden(QStringLiteral("hidden"));
    const QCommandLineOption help(QStringList { QStringLiteral("h"), QStringLiteral("help") });
    const QCommandLineOption version(
        QStringList { QStringLiteral("v"), QStringLiteral("version") });
    parser.addOptions({ toggle, hidden, help, version });

    if (!parser.parse(arguments)) {
        if (!qtOptionsRemoved)
            return std::nullopt;
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty())
            return usage(parser.errorText());
        // Named as the user wrote it ("-x", "--x", "--x=1").
        QString written = QStringLiteral("--") + unknown.constFirst();
        for (const QString &argument : arguments.mid(1)) {
            const QString name = argument.section(QLatin1Char('='), 0, 0);
            if (name == QStringLiteral("-") + unknown.constFirst()
                || name == QStringLiteral("--") + unknown.constFirst()) {
                written = name;
                break;
            }
        }
        return usage(QStringLiteral("unknown option '%1'").arg(written));
    }
    if (!parser.positionalArguments().isEmpty()) {
        if (!qtOptionsRemoved)
            return std::nullopt;
        return usage(QStringLiteral("unexpected argument '%1'")
                         .arg(parser.positionalArguments().constFirst()));
    }
    if (parser.isSet(help)) {
        print(stdout, QString::fromUtf8(kHelp));
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout,
              QStringLiteral("scrivelbar %1 (%2)\n").arg(AppInfo::version(), AppInfo::build()));
        return 0;
    }
    return std::nullopt;
}

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
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    if (const auto status = answerCommandLine(raw, false))
        return *status;

    // Before anything else can fail: our crash reports and the log file diagnostics read.
    CrashHandler::install();
    AppLog::install();
    CrashHandler::crashIfAsked();

    QApplication app(argc, argv);
    QApplication::setApplicationName(AppInfo::name());
    QApplication::setApplicationVersion(AppInfo::version());
    // The installed desktop entry's id: Wayland's app id, and how the desktop finds its icon.
    QApplication::setDesktopFileName(QString::fromLatin1(AppInfo::identifier));
    QApplication::setWindowIcon(DesktopIdentity::applicationIcon());
    // A tray app: closing the panel never ends the process.
    QApplication::setQuitOnLastWindowClosed(false);
    applyPaletteOverride();

    // Qt has taken its own options out of the arguments: what is left must be ours.
    if (const auto status = answerCommandLine(QApplication::arguments(), true))
        return *status;
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
