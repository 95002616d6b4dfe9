// Real crashes of the real programs: scrivelbar started with its crash test hook really
// crashes, the handler writes the report and the process still ends by the signal; the next
// start (scrivel diagnostics) lists the report. Also the tool's diagnostics and feedback
// commands against a server on 127.0.0.1.
#include "ServerAnswers.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QString program(const char *name)
{
    return QStringLiteral(SCRIVEL_BINARY_DIR "/src/") + QLatin1String(name);
}

} // namespace

class CrashReportsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;

    QString stateFolder() const { return m_home->filePath(QStringLiteral("state/ScrivelBar")); }
    QString crashFolder() const { return stateFolder() + QStringLiteral("/crashes"); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home->path());
        env.insert(QStringLiteral("XDG_STATE_HOME"), m_home->filePath(QStringLiteral("state")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home->filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("SCRIVEL_DEV_SERVER"));
        env.remove(QStringLiteral("SCRIVEL_TOKEN"));
        env.remove(QStringLiteral("SCRIVELBAR_CRASH_TEST"));
        // No core files from the crashes we cause on purpose.
        return env;
    }

    // Runs `name` with `arguments` while the event loop keeps turning (a test server may have
    // to answer it).
    void run(QProcess &process, const char *name, const QStringList &arguments,
             const QProcessEnvironment &env)
    {
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_home->path());
        process.start(program(name), arguments);
        QVERIFY2(process.waitForStarted(10000), qPrintable(process.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 60000);
    }

    QStringList reports() const
    {
        return QDir(crashFolder()).entryList({ QStringLiteral("*.crash") }, QDir::Files);
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        QVERIFY(QFile::exists(program("scrivelbar")));
        QVERIFY(QFile::exists(program("scrivel")));
    }
    void init() { m_home = std::make_unique<QTemporaryDir>(); }

    void crash_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("name");
        QTest::newRow("segmentation fault") << "segv" << SIGSEGV << "SIGSEGV";
        QTest::newRow("abort") << "abort" << SIGABRT << "SIGABRT";
        QTest::newRow("division by zero") << "fpe" << SIGFPE << "SIGFPE";
        QTest::newRow("illegal instruction") << "ill" << SIGILL << "SIGILL";
        QTest::newRow("bus error") << "bus" << SIGBUS << "SIGBUS";
    }
    void crash()
    {
        QFETCH(QString, how);
        QFETCH(int, signal);
        QFETCH(QString, name);
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("SCRIVELBAR_CRASH_TEST"), how);
        QProcess app;
        // A core dump of each deliberate crash would only fill the disk.
        app.setChildProcessModifier([] {
            struct rlimit none = { 0, 0 };
            ::setrlimit(RLIMIT_CORE, &none);
        });
        run(app, "scrivelbar", {}, env);
        // The signal still ended the process: the desktop's crash tooling sees the crash.
        QCOMPARE(app.exitStatus(), QProcess::CrashExit);
        QCOMPARE(app.exitCode(), signal);

        const QStringList found = reports();
        QCOMPARE(found.size(), 1);
        QVERIFY(found.first().startsWith(QStringLiteral("ScrivelBar-")));
        const QString report = QString::fromUtf8(
            TestSupport::readFile(QDir(crashFolder()).filePath(found.first())));
        QVERIFY2(report.startsWith(QStringLiteral("ScrivelBar ")), qPrintable(report));
        QVERIFY2(report.contains(QStringLiteral("Signal: %1 (%2)").arg(signal).arg(name)),
                 qPrintable(report));
        QVERIFY(report.contains(QStringLiteral("\nAddress: 0x")));
        const QString backtrace = report.section(QStringLiteral("Backtrace:\n"), 1);
        // Our own frames are named: the function that crashed and main.
        QVERIFY2(backtrace.contains(QStringLiteral("CrashHandler")), qPrintable(backtrace));
        QVERIFY2(backtrace.contains(QStringLiteral("(main+")), qPrintable(backtrace));
        QVERIFY(app.readAllStandardError().contains(found.first().toUtf8()));

        // The next start lists the report in its bundle, and keeps it.
        QProcess tool;
        run(tool, "scrivel", { QStringLiteral("diagnostics") }, environment());
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
        const QString bundle = QString::fromUtf8(tool.readAllStandardOutput());
        QVERIFY2(bundle.contains(QStringLiteral("\n\n== Crash reports (1)\n\n--- ") + found.first()),
                 qPrintable(bundle));
        QVERIFY(bundle.contains(QStringLiteral("Signal: %1 (%2)").arg(signal).arg(name)));
        QCOMPARE(reports(), found);
    }

    // A damaged report (binary garbage, a folder in its place) neither breaks the next start
    // nor hides the good reports.
    void damagedReports()
    {
        QVERIFY(QDir().mkpath(crashFolder() + QStringLiteral("/ScrivelBar-dir.crash")));
        QVERIFY(TestSupport::writeFile(crashFolder() + QStringLiteral("/ScrivelBar-bad.crash"),
                                       QByteArray("\xff\xfe\xfd\x00\x01", 5)));
        QVERIFY(TestSupport::writeFile(crashFolder() + QStringLiteral("/ScrivelBar-good.crash"),
                                       "Signal: 11 (SIGSEGV)\n"));
        QProcess tool;
        run(tool, "scrivel", { QStringLiteral("diagnostics") }, environment());
        QCOMPARE(tool.exitCode(), 0);
        const QString bundle = QString::fromUtf8(tool.readAllStandardOutput());
        QVERIFY2(bundle.contains(QStringLiteral("== Crash reports (1)\n\n--- ScrivelBar-good.crash")),
                 qPrintable(bundle));
        QVERIFY(QFile::exists(crashFolder() + QStringLiteral("/ScrivelBar-bad.crash")));
    }

    // `scrivel feedback` sends the multipart form with the session of SCRIVEL_TOKEN.
    void feedbackCommand_data()
    {
        QTest::addColumn<bool>("withDiagnostics");
        QTest::newRow("with diagnostics") << true;
        QTest::newRow("--no-diagnostics") << false;
    }
    void feedbackCommand()
    {
        QFETCH(bool, withDiagnostics);
        TestSupport::TestHttpServer server;
        QVERIFY(server.listen());
        server.setHandler([](const TestSupport::HttpRequest &request) {
            if (request.path == u"/v1/auth/me")
                return TestSupport::meAnswer(
                    TestSupport::userJson(QStringLiteral("u1"), QStringLiteral("me@example.com")));
            if (request.path == u"/v1/feedback")
                return TestSupport::HttpResponse::json({});
            return TestSupport::HttpResponse::text("no", 404);
        });
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("SCRIVEL_TOKEN"), QStringLiteral("tok-123"));
        QStringList arguments { QStringLiteral("--notes"), m_home->filePath(QStringLiteral("notes")),
                                QStringLiteral("--support"),
                                m_home->filePath(QStringLiteral("support")),
                                QStringLiteral("feedback"), QStringLiteral("The list is slow"),
                                QStringLiteral("--server"), server.url() };
        if (!withDiagnostics)
            arguments << QStringLiteral("--no-diagnostics");
        QProcess tool;
        run(tool, "scrivel", arguments, env);
        QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
        const auto sent = server.requests(QStringLiteral("/v1/feedback"));
        QCOMPARE(sent.size(), 1);
        const TestSupport::HttpRequest &request = sent.first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.header("authorization"), QByteArray("Bearer tok-123"));
        const QByteArray type = request.header("content-type");
        QVERIFY(type.startsWith("multipart/form-data; boundary=scrivelbar-"));
        const QByteArray boundary = type.mid(type.indexOf("boundary=") + 9);
        QVERIFY(request.body.startsWith("--" + boundary + "\r\nContent-Disposition: form-data; "
                                        "name=\"message\"\r\n\r\nThe list is slow\r\n"));
        QVERIFY(request.body.endsWith("--" + boundary + "--\r\n"));
        QCOMPARE(request.body.contains("name=\"crashes\""), withDiagnostics);
        QCOMPARE(request.body.contains("name=\"diagnostics\"; filename=\"diagnostics.txt\"\r\n"
                                       "Content-Type: text/plain\r\n\r\nScrivelBar "),
                 withDiagnostics);
        QVERIFY(request.body.contains("name=\"macModel\"\r\n\r\n"));
        QVERIFY(!request.body.contains("name=\"picture\""));
    }

    void feedbackUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no message") << QStringList { "feedback" };
        QTest::newRow("blank message") << QStringList { "feedback", "   " };
        QTest::newRow("two messages") << QStringList { "feedback", "a", "b" };
        QTest::newRow("--no-diagnostics elsewhere") << QStringList { "diagnostics",
                                                                     "--no-diagnostics" };
        QTest::newRow("diagnostics takes no argument") << QStringList { "diagnostics", "x" };
    }
    void feedbackUsage()
    {
        QFETCH(QStringList, arguments);
        QProcess tool;
        run(tool, "scrivel", arguments, environment());
        QCOMPARE(tool.exitCode(), 2);
        QVERIFY(!tool.readAllStandardError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(CrashReportsTest)
#include "tst_crashreports.moc"
