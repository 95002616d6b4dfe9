// scrivel-server as a program: its command line, a server configured from the environment
// alone (as a service manager starts it) met by the `scrivel` tool, graceful shutdown, and two
// server processes on one PostgreSQL database under concurrent pushes.
#include "ServerFixture.h"

#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTcpServer>
#include <QTest>

#include <httplib.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>

using namespace ServerFixture;

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run runProgram(const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
             QString::fromUtf8(process.readAllStandardError()) };
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QProcessEnvironment serverEnvironment(const QString &data, quint16 port, const QString &database = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &key : env.keys())
        if (key.startsWith(QStringLiteral("SCRIVEL_SERVER_")))
            env.remove(key);
    env.insert(QStringLiteral("SCRIVEL_SERVER_LISTEN"), QStringLiteral("127.0.0.1:%1").arg(port));
    env.insert(QStringLiteral("SCRIVEL_SERVER_DATA"), data);
    if (!database.isEmpty())
        env.insert(QStringLiteral("SCRIVEL_SERVER_DATABASE"), database);
    return env;
}

// Waits until the server at `port` answers its health check.
bool healthy(quint16 port)
{
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(1);
    for (int i = 0; i < 100; ++i) {
        if (auto reply = client.Get("/health"); reply && reply->status == 200)
            return true;
        QThread::msleep(50);
    }
    return false;
}

} // namespace

class TestServerProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("output"); // expected in standard output or error
        QTest::newRow("version") << QStringList { "--version" } << 0 << "scrivel-server 0.";
        QTest::newRow("help") << QStringList { "--help" } << 0 << "SCRIVEL_SERVER_LISTEN";
        QTest::newRow("starter file") << QStringList { "--init" } << 0 << "#database = sqlite";
        QTest::newRow("unknown option") << QStringList { "--colour" } << 2 << "unknown option";
        QTest::newRow("unknown command") << QStringList { "users" } << 2 << "unknown command";
        QTest::newRow("not an e-mail") << QStringList { "user", "add", "nobody" } << 2 << "not an e-mail";
        QTest::newRow("token for nobody") << QStringList { "token", "nobody@example.com" } << 1 << "no account";
        QTest::newRow("missing config") << QStringList { "--config", "/nonexistent/x.conf" } << 1 << "cannot read";
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, output);
        QTemporaryDir data;
        const Run run = runProgram(QStringLiteral(SCRIVEL_SERVER_PATH), arguments, serverEnvironment(data.path(), freePort()));
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(output), qPrintable(run.out + run.err));
    }

    // Configured by the environment only; the `scrivel` tool syncs and shares through it with
    // a token from `scrivel-server token`; SIGTERM stops it cleanly.
    void environmentOnlyServerMeetsTheTool()
    {
        QTemporaryDir data;
        TestSupport::TempFolders folders;
        const quint16 port = freePort();
        const QProcessEnvironment env = serverEnvironment(data.path(), port);
        QCOMPARE(runProgram(QStringLiteral(SCRIVEL_SERVER_PATH), { "user", "add", "Me@Example.com" }, env).code, 0);
        const Run token = runProgram(QStringLiteral(SCRIVEL_SERVER_PATH), { "token", "me@example.com" }, env);
        QCOMPARE(token.code, 0);
        QProcess server;
        server.setProcessEnvironment(env);
        server.start(QStringLiteral(SCRIVEL_SERVER_PATH), QStringList {});
        QVERIFY(server.waitForStarted());
        QVERIFY(healthy(port));

        QProcessEnvironment tool = QProcessEnvironment::systemEnvironment();
        tool.insert(QStringLiteral("SCRIVEL_TOKEN"), token.out.trimmed());
        tool.insert(QStringLiteral("HOME"), folders.path(QStringLiteral("home")));
        tool.insert(QStringLiteral("XDG_CONFIG_HOME"), folders.path(QStringLiteral("config")));
        tool.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + folders.path(QStringLiteral("no-bus")));
        const QStringList where { QStringLiteral("--notes"), folders.notes(), QStringLiteral("--support"), folders.support() };
        const QString address = QStringLiteral("http://127.0.0.1:%1").arg(port);
        const Run created = runProgram(QStringLiteral(SCRIVEL_CLI_PATH), where + QStringList { "new", "# Hello\nfrom the tool" }, tool);
        QCOMPARE(created.code, 0);
        const Run synced = runProgram(QStringLiteral(SCRIVEL_CLI_PATH), where + QStringList { "sync", "--server", address, "--json" }, tool);
        QCOMPARE(synced.code, 0);
        const QJsonObject result = QJsonDocument::fromJson(synced.out.toUtf8()).object();
        QCOMPARE(result.value(QStringLiteral("state")).toString(), QStringLiteral("idle"));
        QCOMPARE(result.value(QStringLiteral("pushed")).toInt(), 1);
        const Run shared = runProgram(QStringLiteral(SCRIVEL_CLI_PATH), where + QStringList { "share", created.out.trimmed(), "--server", address }, tool);
        QCOMPARE(shared.code, 0);
        const QUrl link(shared.out.trimmed());
        httplib::Client client("127.0.0.1", port);
        const auto page = client.Get(link.path().toStdString());
        QVERIFY(page);
        QCOMPARE(page->status, 200);
        QVERIFY(QByteArray::fromStdString(page->body).contains("<h1>Hello</h1>"));

        ::kill(pid_t(server.processId()), SIGTERM);
        QVERIFY(server.waitForFinished(10000));
        QCOMPARE(server.exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.exitCode(), 0);
        // One JSON object per log line, the requests among them.
        int requests = 0;
        for (const QByteArray &line : server.readAllStandardError().split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            QVERIFY2(!entry.isEmpty(), line.constData());
            QVERIFY(!line.contains(link.path().section(u'/', 2, 2).toUtf8())); // no share token in the log
            requests += entry.contains(QStringLiteral("status")) ? 1 : 0;
        }
        QVERIFY(requests >= 3);
    }

    // Two server processes on one database; writers push through both at once, readers pull
    // through both. Every reader sees every note: no cursor ever passes a change that
    // commits later.
    void twoProcessesOnePostgres()
    {
        auto &postgres = Postgres::shared();
        if (!postgres.available())
            QSKIP(qPrintable(QStringLiteral("PostgreSQL tests skipped: ") + postgres.reason()));
        const QString database = postgres.newDatabase();
        QTemporaryDir data1, data2;
        const quint16 ports[2] = { freePort(), freePort() };
        const QProcessEnvironment env1 = serverEnvironment(data1.path(), ports[0], database);
        const QProcessEnvironment env2 = serverEnvironment(data2.path(), ports[1], database);
        QProcess servers[2];
        servers[0].setProcessEnvironment(env1);
        servers[1].setProcessEnvironment(env2);
        // Both start (and migrate) at the same moment.
        servers[0].start(QStringLiteral(SCRIVEL_SERVER_PATH), QStringList {});
        servers[1].start(QStringLiteral(SCRIVEL_SERVER_PATH), QStringList {});
        QVERIFY(healthy(ports[0]) && healthy(ports[1]));
        QCOMPARE(runProgram(QStringLiteral(SCRIVEL_SERVER_PATH), { "user", "add", "team@example.com" }, env1).code, 0);
        const QString token = runProgram(QStringLiteral(SCRIVEL_SERVER_PATH), { "token", "team@example.com" }, env2).out.trimmed();
        QVERIFY(!token.isEmpty());
        const httplib::Headers auth { { "Authorization", "Bearer " + token.toStdString() } };

        constexpr int writers = 4;
        constexpr int perWriter = 30;
        std::atomic<int> writing { writers };
        std::atomic<int> failures { 0 };
        std::vector<std::thread> threads;
        for (int w = 0; w < writers; ++w) {
            threads.emplace_back([&, w] {
                httplib::Client clients[2] = { httplib::Client("127.0.0.1", ports[0]), httplib::Client("127.0.0.1", ports[1]) };
                for (int i = 0; i < perWriter; ++i) {
                    WireNote note;
                    note.id = QStringLiteral("w%1n%2").arg(w).arg(i);
                    note.body = note.id;
                    note.createdAt = note.updatedAt = 1.0e12 + i;
                    const SyncRequest request { 0, { note } };
                    const auto reply = clients[i % 2].Post("/v1/sync", auth,
                        QJsonDocument(request.toJson()).toJson(QJsonDocument::Compact).toStdString(), "application/json");
                    if (!reply || reply->status != 200)
                        ++failures;
                }
                --writing;
            });
        }
        constexpr int readers = 2;
        std::vector<QSet<QString>> seen(readers);
        for (int r = 0; r < readers; ++r) {
            threads.emplace_back([&, r] {
                httplib::Client clients[2] = { httplib::Client("127.0.0.1", ports[0]), httplib::Client("127.0.0.1", ports[1]) };
                qint64 cursor = 0;
                int turn = r;
                bool last = false;
                for (int round = 0; round < 5000; ++round) {
                    const bool done = writing.load() == 0;
                    const auto reply = clients[turn++ % 2].Post("/v1/sync", auth,
                        QJsonDocument(SyncRequest { cursor, {} }.toJson()).toJson().toStdString(), "application/json");
                    if (!reply || reply->status != 200) {
                        ++failures;
                        return;
                    }
                    const auto answer = SyncResponse::fromJson(QJsonDocument::fromJson(QByteArray::fromStdString(reply->body)).object());
                    if (!answer) {
                        ++failures;
                        return;
                    }
                    for (const WireNote &note : answer->notes)
                        seen[size_t(r)].insert(note.id);
                    cursor = answer->cursor;
                    // After the writers end, read on until an answer says there is no more.
                    if (last && !answer->hasMore)
                        return;
                    last = done;
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(failures.load(), 0);
        for (int r = 0; r < readers; ++r)
            QCOMPARE(seen[size_t(r)].size(), writers * perWriter);
        for (QProcess &server : servers) {
            ::kill(pid_t(server.processId()), SIGTERM);
            QVERIFY(server.waitForFinished(10000));
            QCOMPARE(server.exitCode(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestServerProcess)
#include "tst_serverprocess.moc"
