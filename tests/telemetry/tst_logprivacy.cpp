// The log file after a sign-in, syncs and AI jobs (one refused by the provider, whose error
// echoes the key) holds their lines but no token, sign-in code, key or note text.
#include "MemoryKeychain.h"
#include "MemoryLoginItem.h"
#include "RecordingBrowser.h"
#include "ServerAnswers.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "ai/AIService.h"
#include "settings/AppSettings.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "telemetry/AppLog.h"
#include "telemetry/Telemetry.h"

#include <QJsonArray>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

using TestSupport::HttpRequest;
using TestSupport::HttpResponse;

namespace {
const QString kToken = QStringLiteral("sessTOK-9f8e7d6c5b4a");
const QString kCode = QStringLiteral("4/0AcodeXYZ123");
const QString kKey = QStringLiteral("sk-proj-LOGTESTKEY0123456789abcdef");
const QString kNoteText = QStringLiteral("Grandma's recipe QX7 marzipan");
} // namespace

class LogPrivacyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void logHoldsNoSecrets()
    {
        TestSupport::TempFolders folders;
        const QString logFolder = folders.path(QStringLiteral("state"));
        QLoggingCategory::setFilterRules(QStringLiteral("app.scrivelbar.*=true"));
        AppLog::install(logFolder);

        TestSupport::TestHttpServer server, provider;
        QVERIFY(server.listen());
        QVERIFY(provider.listen());
        int syncs = 0;
        server.setHandler([&](const HttpRequest &request) {
            if (request.path == u"/health") {
                TestSupport::HealthOptions options;
                options.googleClientId = QStringLiteral("client-1");
                return TestSupport::healthAnswer(options);
            }
            if (request.path == u"/v1/auth/google")
                return TestSupport::signInAnswer(
                    kToken, 1.8e12,
                    TestSupport::userJson(QStringLiteral("u1"), QStringLiteral("me@example.com")));
            if (request.path == u"/v1/auth/me")
                return TestSupport::meAnswer(
                    TestSupport::userJson(QStringLiteral("u1"), QStringLiteral("me@example.com")),
                    TestSupport::telemetryJson(false, false, true));
            if (request.path == u"/v1/sync") {
                // The second sync fails, with the token in the server's error text.
                if (++syncs == 2)
                    return HttpResponse::json(
                        { { QStringLiteral("error"), QStringLiteral("bad token ") + kToken } },
                        500);
                return TestSupport::syncAnswerAccepting(request, syncs);
            }
            return HttpResponse::json({});
        });
        int asked = 0;
        provider.setHandler([&](const HttpRequest &) {
            // A refused key first, echoed back the way providers do.
            if (++asked == 1)
                return HttpResponse::json(
                    { { QStringLiteral("error"),
                        QJsonObject { { QStringLiteral("message"),
                                        QStringLiteral("Incorrect API key provided: ") + kKey } } } },
                    401);
            return HttpResponse::json(
                { { QStringLiteral("choices"),
                    QJsonArray { QJsonObject {
                        { QStringLiteral("message"),
                          QJsonObject { { QStringLiteral("content"),
                                          QStringLiteral("Summary of ") + kNoteText } } } } } } });
        });
        qputenv("SCRIVEL_OPENAI_URL", provider.url().toUtf8());

        AppSettings settings(folders.path(QStringLiteral("settings.ini")),
                             std::make_unique<MemoryLoginItem>());
        QVERIFY(settings.setServerURL(server.url()));
        NoteStore::Options storeOptions;
        storeOptions.notesFolder = folders.notes();
        storeOptions.supportFolder = folders.support();
        storeOptions.watchFolder = false;
        storeOptions.backgroundIndexWrites = false;
        NoteStore store(storeOptions);
        const QString noteID = store.create(kNoteText).id;

        MemoryKeychain keychain;
        RecordingBrowser browser;
        QNetworkAccessManager network;
        browser.onOpen = [&](const QUrl &url) {
            const QUrlQuery query(url);
            QUrl redirect(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
            QUrlQuery back;
            back.addQueryItem(QStringLiteral("code"), kCode);
            back.addQueryItem(QStringLiteral("state"), query.queryItemValue(QStringLiteral("state")));
            redirect.setQuery(back);
            QNetworkReply *reply = network.get(QNetworkRequest(redirect));
            connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
        };
        Telemetry telemetry;
        SyncEngine::Options options;
        options.browser = &browser;
        options.telemetry = &telemetry;
        options.syncInterval = std::chrono::hours(1);
        options.changeDebounce = std::chrono::hours(1);
        SyncEngine sync(&store, &settings, &keychain, options);
        QTRY_VERIFY(!sync.isRestoringSession());

        // Sign-in, which ends in a first sync.
        QSignalSpy health(&sync, &SyncEngine::healthChanged);
        sync.checkHealth();
        QVERIFY(health.count() > 0 || health.wait(10000));
        QSignalSpy synced(&sync, &SyncEngine::syncFinished);
        sync.signInWithGoogle(true);
        QVERIFY(synced.wait(20000));
        QCOMPARE(sync.state().kind, SyncState::Kind::Idle);
        // A failing sync, then a good one.
        store.setBody(kNoteText + QStringLiteral(" v2"), noteID, false);
        sync.sync();
        QVERIFY(synced.wait(10000));
        QCOMPARE(sync.state().kind, SyncState::Kind::Failed);
        sync.sync();
        QVERIFY(synced.wait(10000));
        QCOMPARE(sync.state().kind, SyncState::Kind::Idle);

        // AI jobs at a cloud provider: refused, then done.
        settings.setAiProvider(AIProvider::OpenAI);
        settings.setSummaryEngine(AIEngine::Provider);
        settings.setAiAskBeforeSending(false);
        keychain.set(AIService::keychainService(), aiProviderRawValue(AIProvider::OpenAI), kKey);
        AIService::Options aiOptions;
        aiOptions.keychain = &keychain;
        aiOptions.browser = &browser;
        AIService ai(&settings, &store, aiOptions);
        for (int job = 0; job < 2; ++job) {
            ai.run(AIService::Action::summarize(), noteID);
            QTRY_VERIFY_WITH_TIMEOUT(!ai.running(), 10000);
        }
        QVERIFY(ai.result().has_value());
        QCOMPARE(asked, 2);
        QTest::qWait(50);

        AppLog::uninstall();
        QLoggingCategory::setFilterRules(QString());
        qunsetenv("SCRIVEL_OPENAI_URL");

        const QString log
            = QString::fromUtf8(TestSupport::readFile(AppLog::filePath(logFolder)));
        // The log really holds the lines of all three.
        QVERIFY2(log.contains(QStringLiteral(" [sync] ")), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("sync failed")), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral(" [ai] ")), qPrintable(log));
        for (const QString &secret : { kToken, kCode, kKey, kKey.right(16),
                                       QStringLiteral("QX7 marzipan"), QStringLiteral("Grandma") }) {
            QVERIFY2(!log.contains(secret),
                     qPrintable(QStringLiteral("'%1' in the log:\n%2").arg(secret, log)));
        }
    }
};

QTEST_GUILESS_MAIN(LogPrivacyTest)
#include "tst_logprivacy.moc"
