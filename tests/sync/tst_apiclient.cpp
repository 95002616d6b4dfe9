// The API client against a real HTTP server on 127.0.0.1: requests, statuses, limits.
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "base/AppInfo.h"
#include "base/Localization.h"
#include "sync/APIClient.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonArray>
#include <QTest>
#include <QUrlQuery>

using TestSupport::HttpResponse;
using TestSupport::TestHttpServer;

Q_DECLARE_METATYPE(APIError::Kind)

namespace {

template<typename T> T await(QCoro::Task<T> task)
{
    return QCoro::waitFor(std::move(task));
}

QJsonObject healthJson()
{
    return QJsonObject {
        { QStringLiteral("ok"), true },
        { QStringLiteral("version"), QStringLiteral("1.0") },
        { QStringLiteral("db"), QStringLiteral("ok") },
        { QStringLiteral("capabilities"),
          QJsonObject { { QStringLiteral("signup"), true },
                        { QStringLiteral("media"), true },
                        { QStringLiteral("google"), true } } },
    };
}

QJsonObject userJson()
{
    return QJsonObject { { QStringLiteral("user"),
                           QJsonObject { { QStringLiteral("id"), QStringLiteral("u1") },
                                         { QStringLiteral("email"), QStringLiteral("a@b.c") } } } };
}

} // namespace

class TestAPIClient : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<APIClient> m_client;

    APIClient &client(const APIClient::Options &options = {})
    {
        m_client = std::make_unique<APIClient>(options);
        m_client->configure(m_server->url(), QStringLiteral("tok"));
        return *m_client;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void init()
    {
        m_server = std::make_unique<TestHttpServer>();
        QVERIFY(m_server->listen());
        client();
    }

    void cleanup()
    {
        m_client.reset();
        m_server.reset();
    }

    void configureTrims_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("stored"); // empty: none
        QTest::newRow("spaces and slashes") << QStringLiteral("  https://api.example.com/v///\n")
                                            << QStringLiteral("https://api.example.com/v");
        QTest::newRow("plain") << QStringLiteral("http://127.0.0.1:8080")
                               << QStringLiteral("http://127.0.0.1:8080");
        QTest::newRow("only spaces and slashes") << QStringLiteral("  ///  ") << QString();
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("no scheme") << QStringLiteral("example.com") << QString();
        QTest::newRow("file scheme") << QStringLiteral("file:///etc") << QString();
        QTest::newRow("not a url") << QStringLiteral("http://exa mple.com") << QString();
    }

    void configureTrims()
    {
        QFETCH(QString, address);
        QFETCH(QString, stored);
        APIClient client;
        client.configure(address, QStringLiteral("t"));
        if (stored.isEmpty()) {
            QVERIFY(!client.baseURL());
            const auto answer = await(client.health());
            QVERIFY(!answer);
            QCOMPARE(asAPIError(answer.error())->kind, APIError::Kind::NoServer);
            QCOMPARE(describe(answer.error()), L("error.noServer"));
        } else {
            QCOMPARE(client.baseURL()->toString(), stored);
        }
    }

    void healthCarriesNoToken()
    {
        m_server->enqueue("GET", QStringLiteral("/health"), HttpResponse::json(healthJson()));
        const auto answer = await(m_client->health());
        QVERIFY(answer);
        QVERIFY(answer->capabilities.media);
        QCOMPARE(m_server->requests().size(), 1);
        const auto &request = m_server->requests().first();
        QCOMPARE(request.method, QByteArray("GET"));
        QVERIFY(request.header("authorization").isEmpty());
        QCOMPARE(request.header("content-type"), QByteArray("application/json"));
        QCOMPARE(request.header("x-scrivelbar-version"), AppInfo::version().toUtf8());
    }

    void authenticatedWithoutTokenSendsNothing()
    {
        m_client->configure(m_server->url(), std::nullopt);
        const auto answer = await(m_client->me());
        QVERIFY(!answer);
        QCOMPARE(asAPIError(answer.error())->kind, APIError::Kind::Unauthorized);
        QCOMPARE(m_server->requests().size(), 0);
    }

    void statusMapping_data()
    {
        QTest::addColumn<bool>("authenticated");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<APIError::Kind>("kind");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("description");
        using K = APIError::Kind;
        QTest::newRow("401 on health is a server error")
            << false << 401 << QByteArray("{}") << K::Server << QString() << L("error.server", 401);
        QTest::newRow("401 on me signs out") << true << 401 << QByteArray("{}") << K::Unauthorized
                                             << QString() << L("error.unauthorized");
        QTest::newRow("500 with error text")
            << true << 500 << QByteArray("{\"error\":\"database down\"}") << K::Server
            << QStringLiteral("database down") << QStringLiteral("database down");
        QTest::newRow("500 with html") << true << 500 << QByteArray("<html>bad</html>") << K::Server
                                       << QString() << L("error.server", 500);
        QTest::newRow("500 with a non-string member")
            << true << 500 << QByteArray("{\"error\":\"x\",\"code\":5}") << K::Server << QString()
            << L("error.server", 500);
        QTest::newRow("402") << true << 402 << QByteArray("{\"error\":\"pay\"}") << K::Server
                             << QStringLiteral("pay") << L("error.syncNotIncluded");
        QTest::newRow("429") << true << 429 << QByteArray() << K::Server << QString()
                             << L("error.tooManyRequests");
        QTest::newRow("507 notes")
            << true << 507 << QByteArray("{\"error\":\"note storage is full\"}") << K::Server
            << QStringLiteral("note storage is full") << L("error.notesFull");
        QTest::newRow("507 media") << true << 507 << QByteArray("{\"error\":\"quota\"}")
                                   << K::Server << QStringLiteral("quota") << L("error.mediaFull");
        QTest::newRow("404 without body")
            << true << 404 << QByteArray() << K::Server << QString() << L("error.server", 404);
    }

    void statusMapping()
    {
        QFETCH(bool, authenticated);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(APIError::Kind, kind);
        QFETCH(QString, message);
        QFETCH(QString, description);
        HttpResponse response = HttpResponse::text(body, status);
        m_server->setHandler([response](const auto &) { return response; });
        std::optional<ClientError> failure;
        if (authenticated) {
            const auto answer = await(m_client->mediaUsage());
            if (!answer)
                failure = answer.error();
        } else {
            const auto answer = await(m_client->health());
            if (!answer)
                failure = answer.error();
        }
        QVERIFY(failure);
        const APIError *error = asAPIError(*failure);
        QVERIFY(error);
        QCOMPARE(error->kind, kind);
        if (kind == APIError::Kind::Server) {
            QCOMPARE(error->status, status);
            QCOMPARE(error->message, message);
        }
        QCOMPARE(error->description(), description);
    }

    void hugeServerMessageIsCut()
    {
        const QByteArray text(100000, 'x');
        m_server->setHandler(
            [&](const auto &) { return HttpResponse::text("{\"error\":\"" + text + "\"}", 500); });
        const auto answer = await(m_client->me());
        QVERIFY(!answer);
        QVERIFY(describe(answer.error()).size() <= 500);
    }

    void transportFailures_data()
    {
        QTest::addColumn<HttpResponse>("response");
        HttpResponse garbage;
        garbage.raw = "this is not http\r\n\r\n";
        QTest::newRow("not http") << garbage;
        HttpResponse dropped;
        dropped.drop = true;
        QTest::newRow("connection dropped") << dropped;
        HttpResponse slow = HttpResponse::json(healthJson());
        slow.delayMs = 3000;
        QTest::newRow("too slow") << slow;
    }

    void transportFailures()
    {
        QFETCH(HttpResponse, response);
        APIClient::Options options;
        options.requestTimeout = std::chrono::milliseconds(300);
        client(options);
        m_server->setHandler([response](const auto &) { return response; });
        const auto answer = await(m_client->health());
        QVERIFY(!answer);
        const APIError *error = asAPIError(answer.error());
        QVERIFY(error);
        QCOMPARE(error->kind, APIError::Kind::Transport);
        QVERIFY(error->description().size() > 0);
    }

    void connectionRefused()
    {
        const QString address = m_server->url();
        m_server.reset(); // nothing listens there any more
        m_client->configure(address, QStringLiteral("tok"));
        const auto answer = await(m_client->health());
        QVERIFY(!answer);
        QCOMPARE(asAPIError(answer.error())->kind, APIError::Kind::Transport);
        m_server = std::make_unique<TestHttpServer>();
    }

    void oversizedAnswersAreRefused()
    {
        APIClient::Options options;
        options.maxAnswerBytes = 1000;
        options.maxMediaBytes = 2000;
        client(options);
        m_server->setHandler([](const TestSupport::HttpRequest &request) {
            if (request.path.startsWith(u"/v1/media/"))
                return HttpResponse::text(QByteArray(5000, 'm'), 200);
            QJsonObject big = healthJson();
            big.insert(QStringLiteral("padding"), QString(5000, u'p'));
            return HttpResponse::json(big);
        });
        const auto health = await(m_client->health());
        QVERIFY(!health);
        QVERIFY(std::holds_alternative<DecodeError>(health.error()));
        QCOMPARE(describe(health.error()), L("error.invalidResponse"));
        const auto media
            = await(m_client->downloadMedia(QStringLiteral("n"), QStringLiteral("f.png")));
        QVERIFY(!media);
        QVERIFY(std::holds_alternative<DecodeError>(media.error()));
    }

    void undecodableAnswerIsADecodeError()
    {
        m_server->enqueue("GET", QStringLiteral("/v1/auth/me"),
                          HttpResponse::text("{\"user\":{\"id\":1,\"email\":\"x\"}}", 200));
        const auto answer = await(m_client->me());
        QVERIFY(!answer);
        QVERIFY(std::holds_alternative<DecodeError>(answer.error()));
    }

    void meAndTelemetryState()
    {
        m_server->enqueue("GET", QStringLiteral("/v1/auth/me"), HttpResponse::json(userJson()));
        m_server->enqueue("GET", QStringLiteral("/v1/auth/me"), HttpResponse::json(userJson()));
        const auto user = await(m_client->me());
        QVERIFY(user);
        QCOMPARE(user->email, QStringLiteral("a@b.c"));
        const auto state = await(m_client->telemetryState());
        QVERIFY(state);
        QCOMPARE(*state, TelemetryState {});
        QCOMPARE(m_server->requests().first().header("authorization"), QByteArray("Bearer tok"));
    }

    void basePathIsKept()
    {
        m_client->configure(m_server->url() + QStringLiteral("/api/"), QStringLiteral("tok"));
        m_server->setHandler([](const auto &) { return HttpResponse::json(healthJson()); });
        QVERIFY(await(m_client->health()));
        QCOMPARE(m_server->requests().first().path, QStringLiteral("/api/health"));
    }

    void syncRequestBody()
    {
        m_server->enqueue("POST", QStringLiteral("/v1/sync"),
                          HttpResponse::json(QJsonObject {
                              { QStringLiteral("cursor"), 9 },
                              { QStringLiteral("hasMore"), false },
                              { QStringLiteral("serverTime"), 1 },
                              { QStringLiteral("notes"), QJsonArray() },
                              { QStringLiteral("accepted"), QJsonArray { QStringLiteral("n1") } },
                              { QStringLiteral("rejected"), QJsonArray() } }));
        WireNote note;
        note.id = QStringLiteral("n1");
        note.body = QStringLiteral("hello");
        const auto answer = await(m_client->sync(42, { note }));
        QVERIFY(answer);
        QCOMPARE(answer->cursor, 9);
        const QJsonObject body = m_server->requests().first().json();
        QCOMPARE(body.value(QStringLiteral("cursor")).toInteger(), 42);
        QCOMPARE(body.value(QStringLiteral("changes")).toArray().size(), 1);
        QCOMPARE(body.value(QStringLiteral("changes"))
                     .toArray()
                     .at(0)
                     .toObject()
                     .value(QStringLiteral("body"))
                     .toString(),
                 QStringLiteral("hello"));
    }

    void identifiersInPathAndQuery()
    {
        m_server->setHandler([](const auto &) {
            return HttpResponse::json(QJsonObject { { QStringLiteral("shares"), QJsonArray() } });
        });
        QVERIFY(await(m_client->shareLinks(QStringLiteral("a&b c=d"))));
        QCOMPARE(QUrlQuery(m_server->requests().first().query)
                     .queryItemValue(QStringLiteral("noteId"), QUrl::FullyDecoded),
                 QStringLiteral("a&b c=d"));
        m_server->clearRequests();
        QVERIFY(await(m_client->revokeShare(QStringLiteral("to ken"))));
        QCOMPARE(m_server->requests().first().path, QStringLiteral("/v1/shares/to ken/revoke"));
        // A token that is not a plain name never reaches the wire as a path.
        const int before = int(m_server->requests().size());
        for (const QString &hostile : {QStringLiteral(".."), QStringLiteral("../auth/me"), QStringLiteral("a/b")})
            QVERIFY(!await(m_client->revokeShare(hostile)));
        QCOMPARE(int(m_server->requests().size()), before);
        QVERIFY(m_server->requests().first().rawPath.contains("%20"));
    }

    void bodiesOfSmallOperations()
    {
        m_server->setHandler([](const auto &) { return HttpResponse::json({}); });
        QVERIFY(await(m_client->deleteAccount()));
        QVERIFY(await(m_client->logout()));
        QCOMPARE(m_server->requests().at(0).body, QByteArray("{}"));
        QCOMPARE(m_server->requests().at(1).body, QByteArray());
    }

    void dashboardLinkMustBeAUrl()
    {
        m_server->enqueue(
            "POST", QStringLiteral("/v1/auth/web-code"),
            HttpResponse::json({ { QStringLiteral("url"), QStringLiteral("::not a url") } }));
        const auto answer = await(m_client->dashboardLink());
        QVERIFY(!answer);
        QCOMPARE(asAPIError(answer.error())->kind, APIError::Kind::Transport);
        QCOMPARE(asAPIError(answer.error())->message, L("error.invalidResponse"));
    }

    void uploadStreamsTheFile()
    {
        TestSupport::TempFolders folders;
        const QString path = folders.path(QStringLiteral("f.png"));
        QByteArray data(300000, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7);
        QVERIFY(TestSupport::writeFile(path, data));
        m_server->setHandler([](const auto &) { return HttpResponse::json({}); });
        QVERIFY(await(m_client->uploadMedia(QStringLiteral("n1"), QStringLiteral("f.png"), path)));
        const auto &request = m_server->requests().first();
        QCOMPARE(request.method, QByteArray("PUT"));
        QCOMPARE(request.path, QStringLiteral("/v1/media/n1/f.png"));
        QCOMPARE(request.header("content-type"), QByteArray("application/octet-stream"));
        QCOMPARE(request.header("content-length"), QByteArray::number(data.size()));
        QCOMPARE(request.body, data);
    }

    // A media file on a slow line takes as long as it takes while bytes keep moving; only a
    // transfer that stalls fails. A JSON request keeps its total limit.
    void timeLimits_data()
    {
        QTest::addColumn<QString>("operation"); // "download", "upload" or "json"
        QTest::addColumn<bool>("stalls");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("download longer than the total limit")
            << QStringLiteral("download") << false << true;
        QTest::newRow("download that stalls") << QStringLiteral("download") << true << false;
        QTest::newRow("upload answered longer than the total limit")
            << QStringLiteral("upload") << false << true;
        QTest::newRow("upload whose answer stalls") << QStringLiteral("upload") << true << false;
        QTest::newRow("json answer longer than the total limit")
            << QStringLiteral("json") << false << false;
    }

    void timeLimits()
    {
        QFETCH(QString, operation);
        QFETCH(bool, stalls);
        QFETCH(bool, succeeds);
        APIClient::Options options;
        options.requestTimeout = std::chrono::milliseconds(300);
        options.idleTimeout = std::chrono::milliseconds(500);
        client(options);
        // About 1.2 s in pieces 40 ms apart: four times the total limit, never idle for long.
        const QByteArray payload = operation == u"json"
            ? QJsonDocument(healthJson()).toJson(QJsonDocument::Compact)
            : QByteArray(300, 'm');
        HttpResponse slow = HttpResponse::text(payload, 200);
        slow.trickleBytes = int(payload.size() / 30) + 1;
        slow.trickleIntervalMs = 40;
        if (stalls)
            slow.stallAfterBytes = payload.size() / 3;
        m_server->setHandler([slow](const auto &) { return slow; });
        TestSupport::TempFolders folders;
        const QString file = folders.path(QStringLiteral("f.png"));
        QVERIFY(TestSupport::writeFile(file, QByteArray(1000, 'u')));

        QElapsedTimer clock;
        clock.start();
        bool ok = false;
        ClientError error = APIError::noServer();
        if (operation == u"download") {
            const auto answer = await(m_client->downloadMedia(QStringLiteral("n"),
                                                              QStringLiteral("f.png")));
            ok = bool(answer);
            if (answer)
                QCOMPARE(*answer, payload);
            else
                error = answer.error();
        } else if (operation == u"upload") {
            const auto answer = await(
                m_client->uploadMedia(QStringLiteral("n"), QStringLiteral("f.png"), file));
            ok = bool(answer);
            if (!answer)
                error = answer.error();
        } else {
            const auto answer = await(m_client->health());
            ok = bool(answer);
            if (!answer)
                error = answer.error();
        }
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(ok == succeeds, qPrintable(ok ? QStringLiteral("succeeded")
                                               : describe(error)));
        if (succeeds) {
            QVERIFY(elapsed >= 1000); // it really outlasted the total limit
        } else {
            QCOMPARE(asAPIError(error)->kind, APIError::Kind::Transport);
            QVERIFY(elapsed < 5000); // a stalled line is given up, not waited on forever
        }
    }

    void feedbackForm()
    {
        m_server->setHandler([](const auto &) { return HttpResponse::json({}); });
        QVERIFY(await(m_client->sendFeedback(QStringLiteral("Hi ✓"),
                                             { { QStringLiteral("version"), QStringLiteral("1") } },
                                             QByteArray("PNG"), std::nullopt)));
        const auto &request = m_server->requests().first();
        const QByteArray type = request.header("content-type");
        QVERIFY(type.startsWith("multipart/form-data; boundary=scrivelbar-"));
        const QByteArray boundary = type.mid(type.indexOf('=') + 1);
        QVERIFY(request.body.startsWith(
            "--" + boundary
            + "\r\nContent-Disposition: form-data; name=\"message\"\r\n\r\nHi \xe2\x9c\x93\r\n"));
        QVERIFY(request.body.contains("name=\"version\"\r\n\r\n1\r\n"));
        QVERIFY(request.body.contains(
            "name=\"picture\"; filename=\"panel.png\"\r\nContent-Type: image/png\r\n\r\nPNG\r\n"));
        QVERIFY(!request.body.contains("diagnostics"));
        QVERIFY(request.body.endsWith("--" + boundary + "--\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestAPIClient)
#include "tst_apiclient.moc"
