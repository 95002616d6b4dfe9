// Sign-in, sign-out, account deletion and share links of the sync engine, end to end: a real
// note store on temporary folders, the real API client, a scripted HTTP server, and a
// "browser" that follows the sign-in redirect with a real request to the loopback listener.
#include "ServerAnswers.h"
#include "RecordingBrowser.h"
#include "MemoryLoginItem.h"
#include "MemoryKeychain.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "platform/Browser.h"
#include "platform/Keychain.h"
#include "platform/LoginItem.h"
#include "store/NoteStore.h"
#include "sync/LoopbackRedirect.h"
#include "sync/SyncEngine.h"
#include "telemetry/Telemetry.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

using TestSupport::HttpRequest;
using TestSupport::HttpResponse;
using TestSupport::shareLinkJson;
using TestSupport::TestHttpServer;
using TestSupport::userJson;

namespace {

// Google sign-in offered with the client id "client-1", or not offered at all.
HttpResponse health(bool withClient)
{
    TestSupport::HealthOptions options;
    options.google = withClient;
    if (withClient)
        options.googleClientId = QStringLiteral("client-1");
    return TestSupport::healthAnswer(options);
}

} // namespace

class TestAccountOperations : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSupport::TempFolders> m_folders;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<NoteStore> m_store;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<MemoryKeychain> m_keychain;
    std::unique_ptr<RecordingBrowser> m_browser;
    std::unique_ptr<Telemetry> m_telemetry;
    std::unique_ptr<SyncEngine> m_engine;
    QNetworkAccessManager m_network;
    QString m_serverURL;

    void makeEngine()
    {
        m_engine.reset();
        SyncEngine::Options options;
        options.serverURL = m_serverURL;
        options.syncInterval = std::chrono::hours(1);
        options.changeDebounce = std::chrono::hours(1);
        options.signInTimeout = std::chrono::seconds(20);
        options.browser = m_browser.get();
        options.telemetry = m_telemetry.get();
        m_engine = std::make_unique<SyncEngine>(m_store.get(), m_settings.get(), m_keychain.get(),
                                                options);
    }

    void signIn(bool withToken)
    {
        m_keychain = std::make_unique<MemoryKeychain>();
        if (withToken)
            m_keychain->set(Keychain::syncService(), Keychain::sessionTokenAccount(),
                            QStringLiteral("tok"));
        m_settings->setEmail(withToken ? QStringLiteral("me@example.com") : QString());
        makeEngine();
    }

    QString storedToken() const
    {
        return m_keychain->value(Keychain::syncService(), Keychain::sessionTokenAccount())
            .value_or(QString());
    }

    bool waitForAccountOperation(const std::function<void()> &start)
    {
        QSignalSpy done(m_engine.get(), &SyncEngine::accountOperationFinished);
        start();
        return done.count() > 0 || done.wait(20000);
    }

    // A browser that follows the redirect the way Google would after the user agreed.
    void browserRedirects(const QString &extra = {}, bool keepState = true)
    {
        m_browser->onOpen = [this, extra, keepState](const QUrl &url) {
            const QUrlQuery query(url);
            QUrl redirect(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
            QUrlQuery back;
            if (extra.isEmpty())
                back.addQueryItem(QStringLiteral("code"), QStringLiteral("auth-code"));
            else
                back.setQuery(extra);
            if (keepState)
                back.addQueryItem(QStringLiteral("state"),
                                  query.queryItemValue(QStringLiteral("state")));
            redirect.setQuery(back);
            QNetworkReply *reply = m_network.get(QNetworkRequest(redirect));
            connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
        };
    }

    bool checkHealth()
    {
        QSignalSpy changed(m_engine.get(), &SyncEngine::healthChanged);
        m_engine->checkHealth();
        return changed.count() > 0 || changed.wait(10000);
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void init()
    {
        m_folders = std::make_unique<TestSupport::TempFolders>();
        m_server = std::make_unique<TestHttpServer>();
        QVERIFY(m_server->listen());
        m_serverURL = m_server->url();
        m_server->setHandler([](const HttpRequest &request) {
            if (request.path == u"/v1/sync")
                return TestSupport::syncAnswerAccepting(request, 7);
            if (request.path == u"/v1/auth/me")
                return TestSupport::meAnswer(
                    userJson(QStringLiteral("u1"), QStringLiteral("me@example.com")));
            return HttpResponse::json({});
        });
        NoteStore::Options options;
        options.notesFolder = m_folders->notes();
        options.supportFolder = m_folders->support();
        options.noteWriteDelay = std::chrono::milliseconds(5);
        options.indexWriteDelay = std::chrono::milliseconds(5);
        options.watchFolder = false;
        options.backgroundIndexWrites = false;
        m_store = std::make_unique<NoteStore>(options);
        m_settings = std::make_unique<AppSettings>(m_folders->path(QStringLiteral("settings.ini")),
                                                   std::make_unique<MemoryLoginItem>());
        m_browser = std::make_unique<RecordingBrowser>();
        m_telemetry = std::make_unique<Telemetry>();
        signIn(true);
    }

    void cleanup()
    {
        m_engine.reset();
        m_store.reset();
        m_server.reset();
        m_folders.reset();
    }

    // ---- sign-in ----------------------------------------------------------------------------

    void signInRunsThroughToAFirstSync()
    {
        signIn(false);
        m_store->create(QStringLiteral("one"));
        m_store->create(QStringLiteral("two"));
        m_server->enqueue("GET", QStringLiteral("/health"), health(true));
        m_server->enqueue("POST", QStringLiteral("/v1/auth/google"),
                          TestSupport::signInAnswer(
                              QStringLiteral("new-token"), 1.8e12,
                              userJson(QStringLiteral("u9"), QStringLiteral("new@example.com"))));
        QVERIFY(checkHealth());
        browserRedirects();
        QSignalSpy synced(m_engine.get(), &SyncEngine::syncFinished);
        QVERIFY(waitForAccountOperation([&] {
            m_engine->signInWithGoogle(true);
            m_engine->signInWithGoogle(true); // a second click while the browser is open
        }));
        QVERIFY(synced.count() > 0 || synced.wait(10000));
        QCOMPARE(m_browser->opened.size(), 1);

        const QUrl opened = m_browser->opened.value(0);
        QCOMPARE(opened.host(), QStringLiteral("accounts.google.com"));
        QCOMPARE(QUrlQuery(opened).queryItemValue(QStringLiteral("client_id")),
                 QStringLiteral("client-1"));

        const auto auth = m_server->requests(QStringLiteral("/v1/auth/google"));
        QCOMPARE(auth.size(), 1);
        const QJsonObject body = auth.first().json();
        QCOMPARE(body.value(QStringLiteral("code")).toString(), QStringLiteral("auth-code"));
        QCOMPARE(
            body.value(QStringLiteral("redirectUri")).toString(),
            QUrlQuery(opened).queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
        QCOMPARE(
            QUrlQuery(opened).queryItemValue(QStringLiteral("code_challenge")),
            LoopbackRedirect::codeChallenge(body.value(QStringLiteral("codeVerifier")).toString()));
        QCOMPARE(body.value(QStringLiteral("acceptedTerms")).toBool(), true);
        QVERIFY(!body.value(QStringLiteral("device")).toString().isEmpty());
        QVERIFY(auth.first().header("authorization").isEmpty());

        QCOMPARE(storedToken(), QStringLiteral("new-token"));
        QCOMPARE(m_settings->email(), QStringLiteral("new@example.com"));
        QCOMPARE(m_engine->account()->id, QStringLiteral("u9"));
        const auto syncs = m_server->requests(QStringLiteral("/v1/sync"));
        QCOMPARE(syncs.size(), 1);
        QCOMPARE(syncs.first().header("authorization"), QByteArray("Bearer new-token"));
        QCOMPARE(syncs.first().json().value(QStringLiteral("changes")).toArray().size(), 2);
        QCOMPARE(m_engine->state().kind, SyncState::Kind::Idle);
        QCOMPARE(m_store->dirtyCount(), 0);
    }

    // The new account's storage is known right after sign-in, not only at the next check.
    void signInFetchesMediaUsage()
    {
        signIn(false);
        TestSupport::HealthOptions options;
        options.media = true;
        options.googleClientId = QStringLiteral("client-1");
        m_server->enqueue("GET", QStringLiteral("/health"), TestSupport::healthAnswer(options));
        m_server->enqueue("POST", QStringLiteral("/v1/auth/google"),
                          TestSupport::signInAnswer(
                              QStringLiteral("new-token"), 0,
                              userJson(QStringLiteral("u9"), QStringLiteral("new@example.com"))));
        m_server->enqueue("GET", QStringLiteral("/v1/media/usage"),
                          HttpResponse::json(TestSupport::mediaUsageJson(512, 1024, 100)));
        QVERIFY(checkHealth());
        QVERIFY(!m_engine->mediaUsage());
        browserRedirects();
        QVERIFY(waitForAccountOperation([&] { m_engine->signInWithGoogle(true); }));
        QTRY_VERIFY(m_engine->mediaUsage().has_value());
        QCOMPARE(m_engine->mediaUsage()->percent(), 50);
        QCOMPARE(m_server->requests(QStringLiteral("/v1/media/usage")).first().header("authorization"),
                 QByteArray("Bearer new-token"));
    }

    void signInFailures_data()
    {
        QTest::addColumn<bool>("clientInHealth");
        QTest::addColumn<QString>("redirect"); // empty: no browser redirect is scripted
        QTest::addColumn<bool>("keepState");
        QTest::addColumn<int>("exchangeStatus");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("browserStarts");
        QTest::newRow("no client id")
            << false << QString() << true << 0 << L("account.google.unavailable") << true;
        // Nobody could open the page: the flow ends at once instead of waiting out the timeout.
        QTest::newRow("no browser")
            << true << QString() << true << 0
            << L("account.google.failed", L("error.noBrowser")) << false;
        QTest::newRow("denied") << true << QStringLiteral("error=access_denied") << true << 0
                                << L("account.google.failed", QStringLiteral("access_denied"))
                                << true;
        QTest::newRow("state missing") << true << QStringLiteral("code=c") << false << 0
                                       << L("account.google.cancelled") << true;
        QTest::newRow("server refuses")
            << true << QStringLiteral("code=c") << true << 403
            << APIError::server(403, QStringLiteral("nope")).description() << true;
    }

    void signInFailures()
    {
        QFETCH(bool, clientInHealth);
        QFETCH(QString, redirect);
        QFETCH(bool, keepState);
        QFETCH(int, exchangeStatus);
        QFETCH(QString, message);
        QFETCH(bool, browserStarts);
        signIn(false);
        m_browser->succeeds = browserStarts;
        m_server->enqueue("GET", QStringLiteral("/health"), health(clientInHealth));
        if (exchangeStatus)
            m_server->enqueue(
                "POST", QStringLiteral("/v1/auth/google"),
                HttpResponse::json({ { QStringLiteral("error"), QStringLiteral("nope") } },
                                   exchangeStatus));
        QVERIFY(checkHealth());
        if (!redirect.isEmpty())
            browserRedirects(redirect, keepState);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(waitForAccountOperation([&] { m_engine->signInWithGoogle(false); }));
        QVERIFY(clock.elapsed() < 10000); // never the 20-second timeout of this fixture
        QCOMPARE(m_engine->state(), SyncState::failed(message));
        QCOMPARE(m_browser->opened.size(), clientInHealth ? 1 : 0);
        QVERIFY(!m_engine->account());
        QVERIFY(storedToken().isEmpty());
        QCOMPARE(m_server->requests(QStringLiteral("/v1/auth/google")).size(),
                 exchangeStatus ? 1 : 0);
    }

    // A session that cannot be kept is no session: the keychain's failure is the sign-in's,
    // and the server's new session is ended again.
    void signInWithoutAKeychainFails()
    {
        signIn(false);
        m_server->enqueue("GET", QStringLiteral("/health"), health(true));
        m_server->enqueue("POST", QStringLiteral("/v1/auth/google"),
                          TestSupport::signInAnswer(
                              QStringLiteral("new-token"), 0,
                              userJson(QStringLiteral("u9"), QStringLiteral("new@example.com"))));
        QVERIFY(checkHealth());
        browserRedirects();
        m_keychain->setFailure(QStringLiteral("No keychain is available."));
        QVERIFY(waitForAccountOperation([&] { m_engine->signInWithGoogle(true); }));
        QCOMPARE(m_engine->state(),
                 SyncState::failed(L("account.google.failed", QStringLiteral("No keychain is available."))));
        QVERIFY(!m_engine->account());
        QVERIFY(m_settings->email().isEmpty());
        const auto logout = m_server->requests(QStringLiteral("/v1/auth/logout"));
        QCOMPARE(logout.size(), 1);
        QCOMPARE(logout.first().header("authorization"), QByteArray("Bearer new-token"));
        QVERIFY(m_server->requests(QStringLiteral("/v1/sync")).isEmpty());
    }

    // ---- sign-out and deletion --------------------------------------------------------------

    void signOutOfflineStillEndsSignedOut()
    {
        m_store->create(QStringLiteral("one"));
        m_store->create(QStringLiteral("two"));
        QSignalSpy synced(m_engine.get(), &SyncEngine::syncFinished);
        m_engine->sync();
        QVERIFY(synced.wait(10000));
        QCOMPARE(m_store->dirtyCount(), 0);
        QCOMPARE(m_store->cursor(), 7);

        m_server.reset(); // offline: the logout request cannot reach anyone
        QVERIFY(waitForAccountOperation([&] { m_engine->signOut(); }));
        QCOMPARE(m_engine->state().kind, SyncState::Kind::SignedOut);
        QVERIFY(!m_engine->account());
        QVERIFY(!m_engine->mediaUsage());
        QVERIFY(storedToken().isEmpty());
        QVERIFY(m_settings->email().isEmpty());
        QCOMPARE(m_store->dirtyCount(), 2);
        QCOMPARE(m_store->cursor(), 0);

        // A new engine (the next start) stays signed out.
        makeEngine();
        QCOMPARE(m_engine->state().kind, SyncState::Kind::SignedOut);
    }

    // A session the server refuses (401) ends locally exactly like a sign-out, minus the
    // logout request: a later sign-in, here to another account, receives every note again.
    void serverEndedSessionPushesEverythingToTheNextAccount()
    {
        const QString one = m_store->create(QStringLiteral("one")).id;
        const QString two = m_store->create(QStringLiteral("two")).id;
        QSignalSpy synced(m_engine.get(), &SyncEngine::syncFinished);
        m_engine->sync();
        QVERIFY(synced.wait(10000));
        QCOMPARE(m_store->dirtyCount(), 0);
        QCOMPARE(m_store->cursor(), 7);

        m_server->enqueue("POST", QStringLiteral("/v1/sync"),
                          HttpResponse::json({ { QStringLiteral("error"), QStringLiteral("expired") } },
                                             401));
        QTest::ignoreMessage(QtCriticalMsg, "sync: signed out by the server");
        m_engine->sync();
        QVERIFY(synced.wait(10000));
        QCOMPARE(m_engine->state().kind, SyncState::Kind::SignedOut);
        QVERIFY(!m_engine->account());
        QVERIFY(storedToken().isEmpty());
        QVERIFY(m_settings->email().isEmpty());
        QCOMPARE(m_store->cursor(), 0);
        QCOMPARE(m_store->dirtyCount(), 2);
        QCOMPARE(m_store->note(one)->body, QStringLiteral("one"));
        QCOMPARE(m_store->note(two)->body, QStringLiteral("two"));
        QVERIFY(m_server->requests(QStringLiteral("/v1/auth/logout")).isEmpty());
        // The next start does not bring the refused session back.
        makeEngine();
        QCOMPARE(m_engine->state().kind, SyncState::Kind::SignedOut);

        m_server->clearRequests();
        m_server->enqueue("GET", QStringLiteral("/health"), health(true));
        m_server->enqueue("POST", QStringLiteral("/v1/auth/google"),
                          TestSupport::signInAnswer(
                              QStringLiteral("other-token"), 0,
                              userJson(QStringLiteral("u2"), QStringLiteral("other@example.com"))));
        QVERIFY(checkHealth());
        browserRedirects();
        QSignalSpy nextSync(m_engine.get(), &SyncEngine::syncFinished);
        QVERIFY(waitForAccountOperation([&] { m_engine->signInWithGoogle(true); }));
        QVERIFY(nextSync.count() > 0 || nextSync.wait(10000));
        const auto syncs = m_server->requests(QStringLiteral("/v1/sync"));
        QCOMPARE(syncs.size(), 1);
        QCOMPARE(syncs.first().header("authorization"), QByteArray("Bearer other-token"));
        QCOMPARE(syncs.first().json().value(QStringLiteral("cursor")).toInteger(), 0);
        QCOMPARE(TestSupport::changeIds(syncs.first()).size(), 2);
        QCOMPARE(m_store->dirtyCount(), 0);
    }

    // Queued usage events leave with the still valid session before the logout, and nothing
    // is recorded after it.
    void signOutFlushesTelemetryFirst()
    {
        m_server->setHandler([](const HttpRequest &request) {
            if (request.path == u"/v1/auth/me")
                return TestSupport::meAnswer(
                    userJson(QStringLiteral("u1"), QStringLiteral("me@example.com")),
                    TestSupport::telemetryJson(false, false, true));
            return HttpResponse::json({});
        });
        QSignalSpy recorded(m_telemetry.get(), &Telemetry::recorded);
        makeEngine();
        QTRY_VERIFY(m_telemetry->state().enabled);
        QTRY_COMPARE(recorded.count(), 1);
        QCOMPARE(recorded.first().first().toString(), QStringLiteral("app_launched"));
        m_telemetry->record(QStringLiteral("note_created"));

        QVERIFY(waitForAccountOperation([&] { m_engine->signOut(); }));
        QStringList order;
        for (const HttpRequest &request : m_server->requests())
            order << request.path;
        const qsizetype upload = order.indexOf(QStringLiteral("/v1/telemetry"));
        QVERIFY2(upload >= 0 && upload < order.indexOf(QStringLiteral("/v1/auth/logout")),
                 qPrintable(order.join(u' ')));
        const HttpRequest sent = m_server->requests(QStringLiteral("/v1/telemetry")).first();
        QCOMPARE(sent.header("authorization"), QByteArray("Bearer tok"));
        QCOMPARE(sent.json().value(QStringLiteral("events")).toArray().size(), 3); // launched, created, active

        QVERIFY(!m_telemetry->state().enabled);
        m_telemetry->record(QStringLiteral("note_created"));
        QVERIFY(m_telemetry->queue().isEmpty());
    }

    void signOutTellsTheServer()
    {
        QVERIFY(waitForAccountOperation([&] { m_engine->signOut(); }));
        const auto logout = m_server->requests(QStringLiteral("/v1/auth/logout"));
        QCOMPARE(logout.size(), 1);
        QCOMPARE(logout.first().header("authorization"), QByteArray("Bearer tok"));
        QCOMPARE(m_engine->state().kind, SyncState::Kind::SignedOut);
    }

    // The session ends while a sync request is still out: its late answer (which accepts every
    // note) must neither mark notes clean nor bring the state back to idle.
    void sessionEndingDuringASyncDropsItsAnswer_data()
    {
        QTest::addColumn<bool>("deleting");
        QTest::newRow("sign-out") << false;
        QTest::newRow("account deletion") << true;
    }

    void sessionEndingDuringASyncDropsItsAnswer()
    {
        QFETCH(bool, deleting);
        const QString one = m_store->create(QStringLiteral("one")).id;
        const QString two = m_store->create(QStringLiteral("two")).id;
        HttpResponse late = TestSupport::syncAnswerAccepting(QJsonArray { one, two }, 9);
        late.delayMs = 400;
        m_server->enqueue("POST", QStringLiteral("/v1/sync"), late);

        QSignalSpy finished(m_engine.get(), &SyncEngine::syncFinished);
        QSignalSpy states(m_engine.get(), &SyncEngine::stateChanged);
        m_engine->sync();
        QTRY_COMPARE(m_server->requests(QStringLiteral("/v1/sync")).size(), 1);
        QVERIFY(waitForAccountOperation(
            [&] { deleting ? m_engine->deleteAccount() : m_engine->signOut(); }));
        QCOMPARE(m_engine->state().kind, SyncState::Kind::SignedOut);
        QCOMPARE(finished.count(), 1); // waiters on the sync are released with the session
        QVERIFY(!m_engine->isSyncing());

        const qsizetype changes = states.count();
        QTest::qWait(late.delayMs + 400); // the late answer arrives and is dropped
        QCOMPARE(states.count(), changes);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_engine->state().kind, SyncState::Kind::SignedOut);
        QCOMPARE(m_store->dirtyCount(), 2);
        QCOMPARE(m_store->cursor(), 0);
    }

    // An operation started from a screen the user has since left is still the one running:
    // a second sign-out or a deletion meanwhile is refused, not run against an ended session.
    void oneAccountOperationAtATime()
    {
        HttpResponse slow = HttpResponse::json({});
        slow.delayMs = 200;
        m_server->enqueue("POST", QStringLiteral("/v1/auth/logout"), slow);
        QSignalSpy finished(m_engine.get(), &SyncEngine::accountOperationFinished);
        m_engine->signOut();
        QVERIFY(m_engine->isAccountOperationRunning());
        m_engine->signOut();
        m_engine->deleteAccount();
        QVERIFY(finished.wait(10000));
        QTest::qWait(100);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!m_engine->isAccountOperationRunning());
        QCOMPARE(m_engine->state().kind, SyncState::Kind::SignedOut);
        QCOMPARE(m_server->requests(QStringLiteral("/v1/auth/logout")).size(), 1);
        QVERIFY(m_server->requests(QStringLiteral("/v1/auth/delete-account")).isEmpty());
    }

    void deleteAccount_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("deleted") << 200;
        QTest::newRow("server fails") << 500;
    }

    void deleteAccount()
    {
        QFETCH(int, status);
        m_store->create(QStringLiteral("one"));
        m_store->markAccepted(
            { m_store->notes().first().id },
            { { m_store->notes().first().id, m_store->notes().first().updatedAt } });
        m_server->enqueue("POST", QStringLiteral("/v1/auth/delete-account"),
                          status == 200 ? HttpResponse::json({})
                                        : HttpResponse::text("{}", status));
        QSignalSpy states(m_engine.get(), &SyncEngine::stateChanged);
        QVERIFY(waitForAccountOperation([&] { m_engine->deleteAccount(); }));
        QCOMPARE(states.first().first().value<SyncState>().kind, SyncState::Kind::Syncing);
        QCOMPARE(m_server->requests(QStringLiteral("/v1/auth/delete-account")).size(), 1);
        if (status == 200) {
            QCOMPARE(m_engine->state().kind, SyncState::Kind::SignedOut);
            QVERIFY(!m_engine->account());
            QVERIFY(storedToken().isEmpty());
            QCOMPARE(m_store->dirtyCount(), 1); // the local note stays and is pushed again later
            QCOMPARE(m_store->notes().size(), 1);
        } else {
            QCOMPARE(m_engine->state(), SyncState::failed(APIError::server(500, {}).description()));
            QVERIFY(m_engine->account());
            QCOMPARE(storedToken(), QStringLiteral("tok"));
            QCOMPARE(m_store->dirtyCount(), 0);
        }
    }

    // ---- share links ------------------------------------------------------------------------

    void publicLinkSyncsADirtyNoteFirst_data()
    {
        QTest::addColumn<bool>("dirty");
        QTest::newRow("never synced") << true;
        QTest::newRow("clean") << false;
    }

    void publicLinkSyncsADirtyNoteFirst()
    {
        QFETCH(bool, dirty);
        const QString id = m_store->create(QStringLiteral("shared")).id;
        if (!dirty) {
            QSignalSpy synced(m_engine.get(), &SyncEngine::syncFinished);
            m_engine->sync();
            QVERIFY(synced.wait(10000));
            m_server->clearRequests();
        }
        m_server->enqueue("POST", QStringLiteral("/v1/shares"),
                          HttpResponse::json(shareLinkJson(QStringLiteral("s1"))));
        const auto link = QCoro::waitFor(m_engine->publicLink(id));
        QVERIFY(link);
        QCOMPARE(*link, QUrl(QStringLiteral("https://share.example/s1")));
        QList<HttpRequest> requests = m_server->requests();
        requests.removeIf(
            [](const HttpRequest &r) { return r.path == u"/v1/auth/me"; }); // start-up
        QCOMPARE(requests.size(), dirty ? 2 : 1);
        if (dirty)
            QCOMPARE(requests.first().path, QStringLiteral("/v1/sync"));
        QCOMPARE(requests.last().path, QStringLiteral("/v1/shares"));
        QCOMPARE(requests.last().json().value(QStringLiteral("noteId")).toString(), id);
    }

    void shareOperationsNeedAnAccount()
    {
        signIn(false);
        const auto link = QCoro::waitFor(m_engine->publicLink(QStringLiteral("abc")));
        QVERIFY(!link);
        QVERIFY(std::holds_alternative<SignedOutError>(link.error()));
        QCOMPARE(describe(link.error()), L("editor.shareLink.signedOut"));
        const auto stopped = QCoro::waitFor(m_engine->stopSharing(QStringLiteral("abc")));
        QVERIFY(!stopped);
        QVERIFY(std::holds_alternative<SignedOutError>(stopped.error()));
        QVERIFY(QCoro::waitFor(m_engine->liveLinks(QStringLiteral("abc"))).isEmpty());
        QVERIFY(m_server->requests().isEmpty());
    }

    void stopSharing_data()
    {
        QTest::addColumn<int>("links");
        QTest::addColumn<int>("failingRevoke"); // 0: none fails
        QTest::addColumn<int>("revokeRequests");
        QTest::newRow("no links") << 0 << 0 << 0;
        QTest::newRow("three revoked") << 3 << 0 << 3;
        QTest::newRow("second of three fails") << 3 << 2 << 2;
    }

    void stopSharing()
    {
        QFETCH(int, links);
        QFETCH(int, failingRevoke);
        QFETCH(int, revokeRequests);
        QJsonArray shares;
        for (int i = 1; i <= links; ++i)
            shares.append(shareLinkJson(QStringLiteral("s%1").arg(i)));
        m_server->enqueue("GET", QStringLiteral("/v1/shares"), TestSupport::sharesAnswer(shares));
        if (failingRevoke)
            m_server->enqueue("POST", QStringLiteral("/v1/shares/s%1/revoke").arg(failingRevoke),
                              HttpResponse::text("{}", 500));
        const auto stopped = QCoro::waitFor(m_engine->stopSharing(QStringLiteral("n1")));
        QCOMPARE(bool(stopped), failingRevoke == 0);
        if (!stopped)
            QCOMPARE(describe(stopped.error()), APIError::server(500, {}).description());
        const auto revokes = m_server->requestsUnder(QStringLiteral("/v1/shares/"));
        QCOMPARE(revokes.size(), revokeRequests);
        for (int i = 0; i < revokes.size(); ++i)
            QCOMPARE(revokes[i].path, QStringLiteral("/v1/shares/s%1/revoke").arg(i + 1));
        QCOMPARE(m_server->requests(QStringLiteral("/v1/shares")).size(), 1);
    }

    void liveLinksFailureIsEmpty()
    {
        m_server->enqueue("GET", QStringLiteral("/v1/shares"), HttpResponse::text("{}", 500));
        QVERIFY(QCoro::waitFor(m_engine->liveLinks(QStringLiteral("n1"))).isEmpty());
        m_server->enqueue(
            "GET", QStringLiteral("/v1/shares"),
            TestSupport::sharesAnswer(QJsonArray { shareLinkJson(QStringLiteral("s1")) }));
        QCOMPARE(QCoro::waitFor(m_engine->liveLinks(QStringLiteral("n1"))).size(), 1);
    }

    void dashboardFailureEndsFailed()
    {
        m_server->enqueue("POST", QStringLiteral("/v1/auth/web-code"),
                          HttpResponse::text("{}", 500));
        QVERIFY(waitForAccountOperation([&] { m_engine->openDashboard(); }));
        QCOMPARE(m_engine->state(), SyncState::failed(APIError::server(500, {}).description()));
        QVERIFY(m_browser->opened.isEmpty());
        m_server->enqueue("POST", QStringLiteral("/v1/auth/web-code"),
                          HttpResponse::json({ { QStringLiteral("url"),
                                                 QStringLiteral("https://dash.example/x") } }));
        QVERIFY(waitForAccountOperation([&] { m_engine->openDashboard(); }));
        QCOMPARE(m_browser->opened.value(0), QUrl(QStringLiteral("https://dash.example/x")));
    }

    void feedbackWithoutDiagnostics()
    {
        const auto sent = QCoro::waitFor(
            m_engine->sendFeedback(QStringLiteral("hi"), std::nullopt, std::nullopt));
        QVERIFY(sent);
        const auto requests = m_server->requests(QStringLiteral("/v1/feedback"));
        QCOMPARE(requests.size(), 1);
        const QByteArray body = requests.first().body;
        QVERIFY(body.contains("name=\"appVersion\""));
        QVERIFY(body.contains("name=\"lang\""));
        QVERIFY(!body.contains("name=\"crashes\""));
        QVERIFY(!body.contains("diagnostics.txt"));
    }
};

QTEST_MAIN(TestAccountOperations)
#include "tst_accountops.moc"
