// The command-line account commands against a scripted server and the real Secret Service
// (CTest runs this inside with-keyring.sh): sign in through the printed address, share,
// unshare, sign out.
#include "ServerAnswers.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

using TestSupport::HttpRequest;
using TestSupport::HttpResponse;
using TestSupport::TestHttpServer;

class TestAccountCli : public QObject
{
    Q_OBJECT

    TestSupport::TempFolders m_folders;
    TestHttpServer m_server;
    QNetworkAccessManager m_network;

    struct Run
    {
        int code = -1;
        QString out;
        QString err;
    };

    // Runs scrivel without blocking the event loop (the test server answers from it).
    // `onError` sees standard error as it arrives.
    Run scrivel(const QStringList &arguments,
                const std::function<void(const QString &)> &onError = {})
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("SCRIVEL_TOKEN"));
        env.insert(QStringLiteral("PATH"),
                   m_folders.path(QStringLiteral("no-tools"))); // no browser
        process.setProcessEnvironment(env);
        QString err;
        connect(&process, &QProcess::readyReadStandardError, this, [&] {
            err += QString::fromUtf8(process.readAllStandardError());
            if (onError)
                onError(err);
        });
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(QStringLiteral(SCRIVEL_CLI_PATH),
                      QStringList { QStringLiteral("--notes"), m_folders.notes(),
                                    QStringLiteral("--support"), m_folders.support() }
                          + arguments);
        if (!finished.wait(60000))
            process.kill();
        err += QString::fromUtf8(process.readAllStandardError());
        return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                 QString::fromUtf8(process.readAllStandardOutput()), err };
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        const QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()
            || !bus.interface()
                    ->isServiceRegistered(QStringLiteral("org.freedesktop.secrets"))
                    .value())
            QSKIP("no Secret Service on the session bus (run through with-keyring.sh)");
        if (qEnvironmentVariable("SCRIVEL_IN_KEYRING") != u"1")
            QSKIP("only inside with-keyring.sh: the commands use the user's own keychain and "
                  "settings");
        QVERIFY(m_server.listen());
        m_server.setHandler([](const HttpRequest &request) {
            if (request.path == u"/health")
                return TestSupport::healthAnswer({ .googleClientId = QStringLiteral("cid") });
            if (request.path == u"/v1/auth/google")
                return TestSupport::signInAnswer(
                    QStringLiteral("cli-token"), 0,
                    TestSupport::userJson(QStringLiteral("u1"), QStringLiteral("cli@example.com")));
            if (request.path == u"/v1/sync")
                return TestSupport::syncAnswerAccepting(request, 3);
            if (request.path == u"/v1/shares" && request.method == "POST")
                return HttpResponse::json(TestSupport::shareLinkJson(QStringLiteral("t1")));
            if (request.path == u"/v1/shares")
                return TestSupport::sharesAnswer(
                    QJsonArray { TestSupport::shareLinkJson(QStringLiteral("t1")) });
            return HttpResponse::json({});
        });
    }

    void signInShareUnshareSignOut()
    {
        const Run created = scrivel({ QStringLiteral("new"), QStringLiteral("a note") });
        QCOMPARE(created.code, 0);
        const QString id = created.out.trimmed();

        // Not signed in yet.
        QCOMPARE(
            scrivel({ QStringLiteral("share"), id, QStringLiteral("--server"), m_server.url() })
                .code,
            6);

        // No browser can be started: the address is printed, and "the user" follows it.
        bool followed = false;
        const Run signin = scrivel(
            { QStringLiteral("signin"), QStringLiteral("--server"), m_server.url(),
              QStringLiteral("--accept-terms") },
            [&](const QString &err) {
                const qsizetype at = err.indexOf(QStringLiteral("https://"));
                if (followed || at < 0 || !err.mid(at).contains(u'\n'))
                    return;
                followed = true;
                const QUrl address(err.mid(at).section(u'\n', 0, 0).trimmed());
                const QUrlQuery query(address);
                QUrl back(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
                back.setQuery(QStringLiteral("code=c1&state=")
                              + query.queryItemValue(QStringLiteral("state")));
                QNetworkReply *reply = m_network.get(QNetworkRequest(back));
                connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
            });
        QVERIFY2(followed, qPrintable(signin.err));
        QCOMPARE(signin.code, 0);
        QVERIFY(signin.out.contains(QStringLiteral("signed in: cli@example.com")));
        QCOMPARE(m_server.requests(QStringLiteral("/v1/sync")).last().header("authorization"),
                 QByteArray("Bearer cli-token"));

        // The next commands find the session in the keychain.
        QCOMPARE(scrivel({ QStringLiteral("set"), id, QStringLiteral("a changed note") }).code, 0);
        const Run synced = scrivel(
            { QStringLiteral("sync"), QStringLiteral("--server"), m_server.url(), QStringLiteral("--json") });
        QCOMPARE(synced.code, 0);
        QVERIFY2(synced.out.contains(QStringLiteral("\"pushed\": 1")), qPrintable(synced.out));
        QCOMPARE(m_server.requests(QStringLiteral("/v1/sync")).last().header("authorization"),
                 QByteArray("Bearer cli-token"));
        const Run share
            = scrivel({ QStringLiteral("share"), id, QStringLiteral("--server"), m_server.url() });
        QCOMPARE(share.code, 0);
        QCOMPARE(share.out, QStringLiteral("https://share.example/t1\n"));
        QCOMPARE(
            scrivel({ QStringLiteral("unshare"), id, QStringLiteral("--server"), m_server.url() })
                .code,
            0);
        QCOMPARE(m_server.requests(QStringLiteral("/v1/shares/t1/revoke")).size(), 1);

        const Run signout
            = scrivel({ QStringLiteral("signout"), QStringLiteral("--server"), m_server.url() });
        QCOMPARE(signout.code, 0);
        QCOMPARE(m_server.requests(QStringLiteral("/v1/auth/logout")).size(), 1);
        QCOMPARE(
            scrivel({ QStringLiteral("share"), id, QStringLiteral("--server"), m_server.url() })
                .code,
            6);
    }
};

QTEST_MAIN(TestAccountCli)
#include "tst_accountcli.moc"
