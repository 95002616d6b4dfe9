// `scrivel health` and `scrivel sync`, run as real processes against the scripted server.
#include "ServerAnswers.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using TestSupport::HttpRequest;
using TestSupport::HttpResponse;
using TestSupport::TestHttpServer;

namespace {

struct Run
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

class TestSyncCli : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestSupport::TempFolders> m_folders;
    std::unique_ptr<TestHttpServer> m_server;

    // The event loop keeps running while the tool works, so the server can answer it.
    Run scrivel(const QStringList &arguments, const QString &token)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           m_folders->path(QStringLiteral("config")));
        environment.insert(QStringLiteral("HOME"), m_folders->path(QStringLiteral("home")));
        environment.remove(QStringLiteral("SCRIVEL_TOKEN"));
        // Without a token the tool asks the desktop keychain: never the developer's own.
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=") + m_folders->path(QStringLiteral("no-bus")));
        if (!token.isEmpty())
            environment.insert(QStringLiteral("SCRIVEL_TOKEN"), token);
        process.setProcessEnvironment(environment);
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(QStringLiteral(SCRIVEL_CLI_PATH),
                      QStringList { QStringLiteral("--notes"), m_folders->notes(),
                                    QStringLiteral("--support"), m_folders->support() }
                          + arguments);
        if (!finished.wait(30000))
            return {};
        return { process.exitCode(), process.readAllStandardOutput(),
                 process.readAllStandardError() };
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void init()
    {
        m_folders = std::make_unique<TestSupport::TempFolders>();
        m_server = std::make_unique<TestHttpServer>();
        QVERIFY(m_server->listen());
    }

    void syncExitCodes_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("token");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("state");
        QTest::newRow("idle") << 200 << QStringLiteral("tok") << 0 << QStringLiteral("idle");
        QTest::newRow("failed") << 500 << QStringLiteral("tok") << 5 << QStringLiteral("failed");
        QTest::newRow("rejected token")
            << 401 << QStringLiteral("tok") << 6 << QStringLiteral("signedOut");
        QTest::newRow("no token") << 200 << QString() << 6 << QStringLiteral("signedOut");
        QTest::newRow("local only")
            << 402 << QStringLiteral("tok") << 7 << QStringLiteral("localOnly");
    }

    void syncExitCodes()
    {
        QFETCH(int, status);
        QFETCH(QString, token);
        QFETCH(int, code);
        QFETCH(QString, state);
        QCOMPARE(scrivel({ QStringLiteral("new"), QStringLiteral("hello") }, {}).code, 0);
        m_server->setHandler([status](const HttpRequest &request) {
            if (status != 200)
                return HttpResponse::text("{}", status);
            return TestSupport::syncAnswerAccepting(request, 3);
        });
        const Run run = scrivel({ QStringLiteral("sync"), QStringLiteral("--server"),
                                  m_server->url(), QStringLiteral("--json") },
                                token);
        QCOMPARE(run.code, code);
        const QJsonObject result = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(result.value(QStringLiteral("state")).toString(), state);
        if (code == 0) {
            QCOMPARE(result.value(QStringLiteral("pushed")).toInt(), 1);
            QCOMPARE(m_server->requests(QStringLiteral("/v1/sync")).first().header("authorization"),
                     QByteArray("Bearer tok"));
            // The accepted note is clean in the index the tool wrote.
            const Run list = scrivel({ QStringLiteral("list"), QStringLiteral("--json") }, {});
            QCOMPARE(QJsonDocument::fromJson(list.out)
                         .array()
                         .at(0)
                         .toObject()
                         .value(QStringLiteral("dirty"))
                         .toBool(),
                     false);
        }
    }

    void health_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("code");
        QTest::newRow("healthy") << 200 << 0;
        QTest::newRow("server error") << 500 << 5;
    }

    void health()
    {
        QFETCH(int, status);
        QFETCH(int, code);
        m_server->setHandler([status](const HttpRequest &) {
            if (status != 200)
                return HttpResponse::text("{\"error\":\"down for maintenance\"}", status);
            return TestSupport::healthAnswer({ .version = QStringLiteral("2.1") });
        });
        const Run run = scrivel(
            { QStringLiteral("health"), QStringLiteral("--server"), m_server->url() }, {});
        QCOMPARE(run.code, code);
        if (code == 0)
            QVERIFY(run.out.contains("version: 2.1"));
        else
            QVERIFY(run.err.contains("down for maintenance"));
    }

    void healthNeedsAServer() { QCOMPARE(scrivel({ QStringLiteral("health") }, {}).code, 2); }
};

QTEST_GUILESS_MAIN(TestSyncCli)
#include "tst_synccli.moc"
