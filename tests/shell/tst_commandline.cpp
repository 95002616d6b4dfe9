// The tray app's own command line, run as a real process of the built scrivelbar.
#include "TestSupport.h"

#include "base/AppInfo.h"
#include "platform/linux/SingleInstance.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    bool finished = false;
    int code = -1;
    QString out;
    QString err;
};

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

    QProcessEnvironment environment(bool display) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The app's folders, and so its instance socket, live in this test's home only.
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), m_home.filePath(QStringLiteral("state")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        if (display) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        } else {
            for (const char *name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
                env.remove(QString::fromLatin1(name));
        }
        return env;
    }

    Run scrivelbar(const QStringList &arguments, bool display = true) const
    {
        QProcess process;
        process.setProcessEnvironment(environment(display));
        process.start(QStringLiteral(SCRIVELBAR_PATH), arguments);
        Run run;
        run.finished = process.waitForFinished(15000);
        if (!run.finished) {
            process.kill();
            process.waitForFinished();
        }
        run.code = process.exitCode();
        run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        QVERIFY(m_home.isValid());
        for (const char *folder : { "data/ScrivelBar", "config", "state", "run" })
            QVERIFY(QDir(m_home.path()).mkpath(QString::fromLatin1(folder)));
        QFile::setPermissions(m_home.filePath(QStringLiteral("run")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Help, version and mistakes are answered by the new process itself, even while another
    // instance runs (which would otherwise take the arguments and end this start silently).
    void answersBeforeTheRunningInstance_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<bool>("handedOver");
        const QStringList help { "--toggle", "--hidden", "--help", "--version",
                                 "Usage: scrivelbar" };
        const QStringList version { QStringLiteral("scrivelbar ") + AppInfo::version() };
        QTest::newRow("help") << QStringList { "--help" } << 0 << help << QString() << false;
        QTest::newRow("short help") << QStringList { "-h" } << 0 << help << QString() << false;
        QTest::newRow("help after a Qt option")
            << QStringList { "-platform", "offscreen", "--help" } << 0 << help << QString()
            << false;
        QTest::newRow("version") << QStringList { "--version" } << 0 << version << QString()
                                 << false;
        QTest::newRow("short version")
            << QStringList { "-v" } << 0 << version << QString() << false;
        QTest::newRow("unknown option") << QStringList { "--bogus" } << 2 << QStringList()
                                        << "unknown option '--bogus'" << false;
        QTest::newRow("unknown single-dash option")
            << QStringList { "-bogus" } << 2 << QStringList() << "unknown option '-bogus'" << false;
        QTest::newRow("unknown after toggle") << QStringList { "--toggle", "--frobnicate" } << 2
                                              << QStringList() << "'--frobnicate'" << false;
        QTest::newRow("unknown with a value")
            << QStringList { "--colour=red" } << 2 << QStringList() << "'--colour'" << false;
        QTest::newRow("a value for toggle")
            << QStringList { "--toggle=yes" } << 2 << QStringList() << "toggle" << false;
        QTest::newRow("unexpected argument") << QStringList { "notes.md" } << 2 << QStringList()
                                             << "unexpected argument 'notes.md'" << false;
        // What the running instance is for still reaches it.
        QTest::newRow("toggle") << QStringList { "--toggle" } << 0 << QStringList() << QString()
                                << true;
        QTest::newRow("no arguments") << QStringList() << 0 << QStringList() << QString() << true;
        QTest::newRow("hidden") << QStringList { "--hidden" } << 0 << QStringList() << QString()
                                << true;
        QTest::newRow("a value for hidden")
            << QStringList { "--hidden=1" } << 2 << QStringList() << "hidden" << false;
    }
    void answersBeforeTheRunningInstance()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QStringList, out);
        QFETCH(QString, err);
        QFETCH(bool, handedOver);

        SingleInstance running;
        QVERIFY(running.listen(
            SingleInstance::serverNameFor(m_home.filePath(QStringLiteral("data/ScrivelBar")))));
        QSignalSpy received(&running, &SingleInstance::argumentsReceived);

        // The new process waits for the running one's answer: let this loop give it.
        QProcess process;
        process.setProcessEnvironment(environment(true));
        process.start(QStringLiteral(SCRIVELBAR_PATH), arguments);
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 15000);
        const QString stdoutText = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString stderrText = QString::fromLocal8Bit(process.readAllStandardError());

        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), code);
        for (const QString &piece : out)
            QVERIFY2(stdoutText.contains(piece), qPrintable(stdoutText));
        if (out.isEmpty())
            QVERIFY2(stdoutText.isEmpty(), qPrintable(stdoutText));
        if (err.isEmpty()) {
            QVERIFY2(stderrText.isEmpty(), qPrintable(stderrText));
        } else {
            QVERIFY2(stderrText.contains(err), qPrintable(stderrText));
            QVERIFY2(stderrText.contains(QLatin1String("scrivelbar --help")),
                     qPrintable(stderrText));
        }
        QCoreApplication::processEvents();
        QCOMPARE(received.size(), handedOver ? 1 : 0);
        if (handedOver)
            QCOMPARE(received.first().first().toStringList(), arguments);
    }

    // Help and version are printed with no display to show a panel on, as over ssh.
    void helpNeedsNoDisplay_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected");
        QTest::newRow("help") << "--help"
                              << "--toggle";
        QTest::newRow("version") << "--version" << AppInfo::version();
    }
    void helpNeedsNoDisplay()
    {
        QFETCH(QString, option);
        QFETCH(QString, expected);
        const Run run = scrivelbar({ option }, false);
        QVERIFY(run.finished);
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains(expected), qPrintable(run.out + run.err));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
