// The sync engine end to end: a real note store on temporary folders, the real API client,
// and a scripted HTTP server on 127.0.0.1.
#include "ServerAnswers.h"
#include "MemoryLoginItem.h"
#include "MemoryKeychain.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "platform/Keychain.h"
#include "platform/LoginItem.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "telemetry/Telemetry.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using TestSupport::changeIds;
using TestSupport::HttpRequest;
using TestSupport::HttpResponse;
using TestSupport::TestHttpServer;

Q_DECLARE_METATYPE(SyncState::Kind)

namespace {

const QString kSync = QStringLiteral("/v1/sync");

QJsonObject remoteNote(const QString &id, const QString &body, double updatedAtMs,
                       const QJsonArray &attachments = {})
{
    return QJsonObject { { QStringLiteral("id"), id },
                         { QStringLiteral("body"), body },
                         { QStringLiteral("createdAt"), 1.0e12 },
                         { QStringLiteral("updatedAt"), updatedAtMs },
                         { QStringLiteral("attachments"), attachments } };
}

QJsonObject wireAttachment(const QString &filename)
{
    return QJsonObject { { QStringLiteral("id"), filename.toUpper() },
                         { QStringLiteral("kind"), QStringLiteral("image") },
                         { QStringLiteral("filename"), filename },
                         { QStringLiteral("createdAt"), 1.0e12 } };
}

struct Answer
{
    qint64 cursor = 1;
    bool hasMore = false;
    QJsonArray notes;
    QJsonArray accepted;
    QJsonArray rejected;
    std::optional<QJsonArray> mediaWanted;

    HttpResponse response() const
    {
        QJsonObject object {
            { QStringLiteral("cursor"), cursor },     { QStringLiteral("hasMore"), hasMore },
            { QStringLiteral("serverTime"), 1.7e12 }, { QStringLiteral("notes"), notes },
            { QStringLiteral("accepted"), accepted }, { QStringLiteral("rejected"), rejected }
        };
        if (mediaWanted)
            object.insert(QStringLiteral("mediaWanted"), *mediaWanted);
        return HttpResponse::json(object);
    }
};

// Every file below `root`, relative to it.
QStringList filesUnder(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    return files;
}

} // namespace

class TestSyncEngine : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSupport::TempFolders> m_folders;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<NoteStore> m_store;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<MemoryKeychain> m_keychain;
    std::unique_ptr<SyncEngine> m_engine;
    QList<QPair<QString, QVariantMap>> m_events;
    double m_now = 700000000;

    void makeEngine(SyncEngine::Options options = {})
    {
        m_engine.reset();
        if (options.serverURL.isNull())
            options.serverURL = m_server->url();
        if (options.syncInterval == std::chrono::milliseconds(300000))
            options.syncInterval = std::chrono::hours(1);
        m_engine = std::make_unique<SyncEngine>(m_store.get(), m_settings.get(), m_keychain.get(),
                                                options);
    }

    // Runs one sync to its end.
    bool runSync()
    {
        QSignalSpy finished(m_engine.get(), &SyncEngine::syncFinished);
        m_engine->sync();
        return finished.count() > 0 || finished.wait(20000);
    }

    QList<HttpRequest> syncRequests() const { return m_server->requests(kSync); }

    // A server that stores whatever it is sent and answers with nothing new.
    void acceptEverything()
    {
        m_server->setHandler([](const HttpRequest &request) {
            return TestSupport::syncAnswerAccepting(request, 1);
        });
    }

    QString token() const
    {
        return m_keychain->value(Keychain::syncService(), Keychain::sessionTokenAccount())
            .value_or(QString());
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        connect(&Telemetry::shared(), &Telemetry::recorded, this,
                [this](const QString &name, const QVariantMap &properties) {
                    m_events.append({ name, properties });
                });
        // Every call a little later than the one before, so edits are ordered.
        Clock::setNowFunction([this] { return Date { m_now += 0.001 }; });
    }

    void cleanupTestCase() { Clock::setNowFunction({}); }

    void init()
    {
        m_folders = std::make_unique<TestSupport::TempFolders>();
        m_server = std::make_unique<TestHttpServer>();
        QVERIFY(m_server->listen());
        m_server->setHandler([](const HttpRequest &) { return Answer {}.response(); });
        m_server->enqueue("GET", QStringLiteral("/v1/auth/me"),
                          TestSupport::meAnswer(TestSupport::userJson(
                              QStringLiteral("u1"), QStringLiteral("me@example.com"))));
        NoteStore::Options options;
        options.notesFolder = m_folders->notes();
        options.supportFolder = m_folders->support();
        options.noteWriteDelay = std::chrono::milliseconds(5);
        options.indexWriteDelay = std::chrono::milliseconds(5);
        options.watchFolder = false;
        options.backgroundIndexWrites = false;
        m_store = std::make_unique<NoteStore>(options);
        m_store->movesToSystemTrash = false;
        m_settings = std::make_unique<AppSettings>(m_folders->path(QStringLiteral("settings.ini")),
                                                   std::make_unique<MemoryLoginItem>());
        m_settings->setEmail(QStringLiteral("me@example.com"));
        m_keychain = std::make_unique<MemoryKeychain>();
        m_keychain->set(Keychain::syncService(), Keychain::sessionTokenAccount(),
                        QStringLiteral("tok"));
        makeEngine();
        m_events.clear();
    }

    void cleanup()
    {
        m_engine.reset();
        m_store.reset();
        m_settings.reset();
        m_server.reset();
        m_folders.reset();
    }

    // ---- start-up and triggers ------------------------------------------------------------

    void startState_data()
    {
        QTest::addColumn<bool>("hasToken");
        QTest::addColumn<QString>("email");
        QTest::addColumn<SyncState::Kind>("kind");
        QTest::newRow("token and e-mail")
            << true << QStringLiteral("me@example.com") << SyncState::Kind::Idle;
        QTest::newRow("token without e-mail") << true << QString() << SyncState::Kind::SignedOut;
        QTest::newRow("no token") << false << QStringLiteral("me@example.com")
                                  << SyncState::Kind::SignedOut;
    }

    void startState()
    {
        QFETCH(bool, hasToken);
        QFETCH(QString, email);
        QFETCH(SyncState::Kind, kind);
        m_engine.reset();
        m_keychain = std::make_unique<MemoryKeychain>();
        if (hasToken)
            m_keychain->set(Keychain::syncService(), Keychain::sessionTokenAccount(),
                            QStringLiteral("tok"));
        m_settings->setEmail(email);
        makeEngine();
        QCOMPARE(m_engine->state().kind, kind);
        QCOMPARE(m_engine->account().has_value(), kind == SyncState::Kind::Idle);
        if (kind == SyncState::Kind::Idle) {
            QVERIFY(!m_engine->state().lastSync);
            // The real user replaces the provisional one.
            QTRY_COMPARE(m_engine->account()->id, QStringLiteral("u1"));
        } else {
            m_engine->sync();
            QCOMPARE(m_engine->state().kind, SyncState::Kind::SignedOut);
            QTest::qWait(20);
            QCOMPARE(syncRequests().size(), 0);
        }
    }

    void emptyServerAddressFails()
    {
        SyncEngine::Options options;
        options.serverURL = QStringLiteral("  ");
        makeEngine(options);
        m_engine->sync();
        QCOMPARE(m_engine->state(), SyncState::failed(L("error.noServer")));
        m_engine->syncIfPossible(); // automatic syncs do not even try
        QCOMPARE(syncRequests().size(), 0);
    }

    void emptySyncSendsOneRequest()
    {
        QTest::ignoreMessage(
            QtInfoMsg,
            QRegularExpression(QStringLiteral("^sync ok: 0 up, 0 down, 0 files, \\d+ ms$")));
        QVERIFY(runSync());
        QCOMPARE(syncRequests().size(), 1);
        QCOMPARE(syncRequests().first().json().value(QStringLiteral("changes")).toArray().size(),
                 0);
        QCOMPARE(syncRequests().first().json().value(QStringLiteral("cursor")).toInteger(), 0);
        QCOMPARE(syncRequests().first().header("authorization"), QByteArray("Bearer tok"));
        QCOMPARE(m_engine->state().kind, SyncState::Kind::Idle);
        QVERIFY(m_engine->state().lastSync.has_value());
        QCOMPARE(m_store->cursor(), 1);
        for (const auto &event : m_events)
            QVERIFY2(!event.first.startsWith(u"sync_"), qPrintable(event.first));
    }

    void secondTriggerWhileSyncingIsDropped()
    {
        m_server->setHandler([](const HttpRequest &) {
            HttpResponse response = Answer {}.response();
            response.delayMs = 100;
            return response;
        });
        QSignalSpy finished(m_engine.get(), &SyncEngine::syncFinished);
        m_engine->sync();
        m_engine->sync();
        m_engine->syncIfPossible();
        QVERIFY(finished.wait(10000));
        QTest::qWait(150);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(syncRequests().size(), 1);
    }

    void debounceAfterStoreChanges_data()
    {
        QTest::addColumn<bool>("autoSync");
        QTest::newRow("auto sync on") << true;
        QTest::newRow("auto sync off") << false;
    }

    void debounceAfterStoreChanges()
    {
        QFETCH(bool, autoSync);
        SyncEngine::Options options;
        options.changeDebounce = std::chrono::milliseconds(50);
        makeEngine(options);
        m_settings->setAutoSync(autoSync);
        acceptEverything();
        m_store->create(QStringLiteral("one"));
        m_store->create(QStringLiteral("two"));
        QTest::qWait(300);
        QCOMPARE(syncRequests().size(), autoSync ? 1 : 0);
        if (autoSync)
            QCOMPARE(changeIds(syncRequests().first()).size(), 2); // one sync for both edits
    }

    void timerSyncsUntilLocalOnly()
    {
        SyncEngine::Options options;
        options.syncInterval = std::chrono::milliseconds(40);
        makeEngine(options);
        QTRY_VERIFY(syncRequests().size() >= 2);
        m_server->setHandler([](const HttpRequest &) { return HttpResponse::text("{}", 402); });
        QTRY_COMPARE(m_engine->state().kind, SyncState::Kind::LocalOnly);
        const auto before = syncRequests().size();
        QTest::qWait(200);
        QCOMPARE(syncRequests().size(), before); // automatic syncs skip localOnly
        QVERIFY(runSync()); // a button tries again
        QCOMPARE(syncRequests().size(), before + 1);
    }

    // ---- the push/pull loop -----------------------------------------------------------------

    void batchesOfAHundred()
    {
        for (int i = 0; i < 250; ++i)
            m_store->create(QStringLiteral("note %1").arg(i));
        acceptEverything();
        QVERIFY(runSync());
        const auto requests = syncRequests();
        QCOMPARE(requests.size(), 3);
        QCOMPARE(changeIds(requests[0]).size(), 100);
        QCOMPARE(changeIds(requests[1]).size(), 100);
        QCOMPARE(changeIds(requests[2]).size(), 50);
        QCOMPARE(m_engine->lastReport().pushed, 250);
        QCOMPARE(m_store->dirtyCount(), 0);
        QCOMPARE(m_engine->state().kind, SyncState::Kind::Idle);
        // Oldest change first.
        const QString first = changeIds(requests[0]).at(0).toString();
        QCOMPARE(m_store->note(first)->body, QStringLiteral("note 0"));
        bool completed = false;
        for (const auto &event : m_events) {
            if (event.first == u"sync_completed") {
                completed = true;
                QCOMPARE(event.second.value(QStringLiteral("pushed")).toInt(), 250);
                QVERIFY(event.second.contains(QStringLiteral("ms")));
            }
        }
        QVERIFY(completed);
    }

    void loopBounds_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("dirty");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("stillDirty");
        QTest::newRow("always more notes: capped at 50") << QStringLiteral("more") << 0 << 50 << 0;
        QTest::newRow("hasMore without notes: nothing moved")
            << QStringLiteral("empty-more") << 0 << 1 << 0;
        QTest::newRow("neither accepted nor rejected: 50 tries")
            << QStringLiteral("ignore") << 3 << 50 << 3;
    }

    void loopBounds()
    {
        QFETCH(QString, server);
        QFETCH(int, dirty);
        QFETCH(int, requests);
        QFETCH(int, stillDirty);
        for (int i = 0; i < dirty; ++i)
            m_store->create(QStringLiteral("local %1").arg(i));
        int counter = 0;
        m_server->setHandler([&](const HttpRequest &) {
            Answer answer;
            answer.cursor = ++counter;
            answer.hasMore = server != u"ignore";
            if (server == u"more")
                answer.notes.append(
                    remoteNote(QStringLiteral("%1").arg(counter, 12, 10, QChar(u'0')),
                               QStringLiteral("r"), 1.6e12));
            return answer.response();
        });
        QVERIFY(runSync());
        QCOMPARE(syncRequests().size(), requests);
        QCOMPARE(m_store->dirtyCount(), stillDirty);
        QCOMPARE(m_engine->state().kind, SyncState::Kind::Idle);
    }

    void failureInSecondExchange_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<SyncState>("state");
        QTest::addColumn<QString>("reason"); // the "sync_failed" event, empty for none
        QTest::newRow("401 signs out")
            << 401 << QByteArray("{}") << SyncState::signedOut() << QString();
        QTest::newRow("402 stays local")
            << 402 << QByteArray("{}") << SyncState::localOnly() << QString();
        QTest::newRow("500 with message")
            << 500 << QByteArray("{\"error\":\"db down\"}")
            << SyncState::failed(QStringLiteral("db down")) << QStringLiteral("http_500");
        QTest::newRow("429") << 429 << QByteArray() << SyncState::failed(L("error.tooManyRequests"))
                             << QStringLiteral("http_429");
        QTest::newRow("507 media") << 507 << QByteArray() << SyncState::failed(L("error.mediaFull"))
                                   << QStringLiteral("http_507");
        QTest::newRow("html instead of json")
            << 200 << QByteArray("<html>") << SyncState::failed(L("error.invalidResponse"))
            << QStringLiteral("other");
        QTest::newRow("wrong member type")
            << 200
            << QByteArray("{\"cursor\":\"x\",\"hasMore\":false,\"serverTime\":1,\"notes\":[],"
                          "\"accepted\":[],\"rejected\":[]}")
            << SyncState::failed(L("error.invalidResponse")) << QStringLiteral("other");
        QTest::newRow("note of wrong type")
            << 200
            << QByteArray("{\"cursor\":3,\"hasMore\":false,\"serverTime\":1,\"notes\":[5],"
                          "\"accepted\":[],\"rejected\":[]}")
            << SyncState::failed(L("error.invalidResponse")) << QStringLiteral("other");
    }

    void failureInSecondExchange()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(SyncState, state);
        QFETCH(QString, reason);
        const Note local = m_store->create(QStringLiteral("mine"));
        Answer first;
        first.cursor = 5;
        first.hasMore = true;
        first.notes.append(
            remoteNote(QStringLiteral("aaaaaaaaaaaa"), QStringLiteral("from the server"), 1.6e12));
        m_server->enqueue("POST", kSync, first.response());
        m_server->enqueue("POST", kSync, HttpResponse::text(body, status));
        if (status != 200 || reason != u"other")
            QTest::ignoreMessage(status == 402 ? QtInfoMsg : QtCriticalMsg,
                                 QRegularExpression(QStringLiteral("^sync")));
        else
            QTest::ignoreMessage(QtCriticalMsg,
                                 QRegularExpression(QStringLiteral("^sync failed: other")));
        QVERIFY(runSync());
        QCOMPARE(syncRequests().size(), 2);
        QCOMPARE(m_engine->state(), state);
        // What the first exchange merged stays; the local note is intact and still dirty.
        QCOMPARE(m_store->note(QStringLiteral("aaaaaaaaaaaa"))->body,
                 QStringLiteral("from the server"));
        QCOMPARE(m_store->note(local.id)->body, QStringLiteral("mine"));
        QCOMPARE(m_store->meta(local.id)->dirty, true);
        QCOMPARE(m_engine->account().has_value(), status != 401);
        QCOMPARE(token().isEmpty(), status == 401);
        // A refused session ends as a sign-out does: everything goes to the next account.
        QCOMPARE(m_store->cursor(), status == 401 ? 0 : 5);
        QCOMPARE(m_store->meta(QStringLiteral("aaaaaaaaaaaa"))->dirty, status == 401);
        QCOMPARE(m_settings->email().isEmpty(), status == 401);
        QString recorded;
        for (const auto &event : m_events) {
            if (event.first == u"sync_failed")
                recorded = event.second.value(QStringLiteral("reason")).toString();
        }
        QCOMPARE(recorded, reason);
    }

    void editDuringPushStaysDirty()
    {
        const Note note = m_store->create(QStringLiteral("first text"));
        // The first push is accepted (slowly); later pushes are neither accepted nor refused.
        m_server->setHandler([this](const HttpRequest &request) {
            Answer answer;
            HttpResponse response;
            if (syncRequests().size() == 1) {
                answer.accepted = changeIds(request);
                response = answer.response();
                response.delayMs = 100;
            } else {
                response = answer.response();
            }
            return response;
        });
        connect(m_server.get(), &TestHttpServer::requestReceived, this,
                [&](const HttpRequest &request) {
                    if (request.path == kSync && syncRequests().size() == 1)
                        m_store->setBody(QStringLiteral("second text"), note.id, true);
                });
        QVERIFY(runSync());
        QCOMPARE(m_store->meta(note.id)->dirty, true);
        QCOMPARE(m_store->note(note.id)->body, QStringLiteral("second text"));
        const auto requests = syncRequests();
        QVERIFY(requests.size() >= 2);
        auto pushedBody = [](const HttpRequest &request) {
            return request.json()
                .value(QStringLiteral("changes"))
                .toArray()
                .at(0)
                .toObject()
                .value(QStringLiteral("body"))
                .toString();
        };
        QCOMPARE(pushedBody(requests[0]), QStringLiteral("first text"));
        QCOMPARE(pushedBody(requests[1]), QStringLiteral("second text"));
    }

    void conflictCopies_data()
    {
        QTest::addColumn<QString>("member");
        QTest::newRow("received in notes") << QStringLiteral("notes");
        QTest::newRow("refused and returned in rejected") << QStringLiteral("rejected");
    }

    void conflictCopies()
    {
        QFETCH(QString, member);
        const Note note = m_store->create(QStringLiteral("my version"));
        Answer answer;
        const QJsonObject theirs = remoteNote(note.id, QStringLiteral("their version"),
                                              note.updatedAt.unixMilliseconds() + 60000);
        (member == u"notes" ? answer.notes : answer.rejected).append(theirs);
        m_server->enqueue("POST", kSync, answer.response());
        acceptEverything();
        QVERIFY(runSync());
        QCOMPARE(m_store->note(note.id)->body, QStringLiteral("their version"));
        QCOMPARE(m_engine->lastConflicts().size(), 1);
        QVERIFY(m_engine->lastConflicts().first().body.toString().startsWith(QStringLiteral("my version")));
        const QString copy = m_engine->lastConflicts().first().id;
        QVERIFY(m_store->note(copy).has_value());

        // Dismissing the banner empties the list for every later view; the copy stays.
        QSignalSpy changed(m_engine.get(), &SyncEngine::lastConflictsChanged);
        m_engine->dismissConflicts();
        QVERIFY(m_engine->lastConflicts().isEmpty());
        QCOMPARE(changed.count(), 1);
        QVERIFY(m_store->note(copy).has_value());
    }

    // The copy that the first exchange made is in the store whatever the second one brings:
    // the user must hear of it (the list keeps copies not yet dismissed).
    void conflictCopiesOfAFailingSyncArePublished_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("401") << 401;
        QTest::newRow("402") << 402;
        QTest::newRow("500") << 500;
    }

    void conflictCopiesOfAFailingSyncArePublished()
    {
        QFETCH(int, status);
        // A copy from an earlier sync that the user has not dismissed yet.
        const Note older = m_store->create(QStringLiteral("older mine"));
        Answer before;
        before.notes.append(remoteNote(older.id, QStringLiteral("older theirs"),
                                       older.updatedAt.unixMilliseconds() + 60000));
        m_server->enqueue("POST", kSync, before.response());
        QVERIFY(runSync());
        QCOMPARE(m_engine->lastConflicts().size(), 1);

        const Note note = m_store->create(QStringLiteral("my version"));
        Answer first;
        first.hasMore = true;
        first.notes.append(remoteNote(note.id, QStringLiteral("their version"),
                                      note.updatedAt.unixMilliseconds() + 60000));
        m_server->enqueue("POST", kSync, first.response());
        m_server->enqueue("POST", kSync, HttpResponse::text("{}", status));
        QTest::ignoreMessage(status == 402 ? QtInfoMsg : QtCriticalMsg,
                             QRegularExpression(QStringLiteral("^sync")));
        m_server->clearRequests();
        QSignalSpy changed(m_engine.get(), &SyncEngine::lastConflictsChanged);
        QVERIFY(runSync());
        QCOMPARE(syncRequests().size(), 2);
        QVERIFY(m_engine->state().kind != SyncState::Kind::Idle);
        QCOMPARE(m_store->note(note.id)->body, QStringLiteral("their version"));
        QCOMPARE(changed.count(), 1);
        const QList<Note> copies = m_engine->lastConflicts();
        QCOMPARE(copies.size(), 2);
        QVERIFY(copies.at(0).body.toString().startsWith(QStringLiteral("older mine")));
        QVERIFY(copies.at(1).body.toString().startsWith(QStringLiteral("my version")));
        QVERIFY(m_store->note(copies.at(1).id).has_value());
    }

    // ---- hostile answers ------------------------------------------------------------------

    void hostileNamesAreSkipped_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("parent folder") << QStringLiteral("..");
        QTest::newRow("climbing path") << QStringLiteral("../../escaped");
        QTest::newRow("absolute path") << QStringLiteral("/tmp/escaped");
        QTest::newRow("slash") << QStringLiteral("a/b");
        QTest::newRow("nul") << QString(QStringLiteral("ab") + QChar(0) + QStringLiteral("cd"));
        QTest::newRow("too long") << QString(400, u'a');
    }

    void hostileNamesAreSkipped()
    {
        QFETCH(QString, id);
        const Note local = m_store->create(QStringLiteral("keep me"));
        m_store->flush();
        Answer answer;
        answer.accepted.append(local.id);
        answer.notes.append(remoteNote(id, QStringLiteral("evil"), 1.9e12,
                                       { wireAttachment(QStringLiteral("x.png")) }));
        // A usable note whose attachment names a file outside its folder.
        answer.notes.append(remoteNote(
            QStringLiteral("bbbbbbbbbbbb"),
            QStringLiteral("fine\n![p](attachments/bbbbbbbbbbbb/../../../../outside.png)"), 1.9e12,
            { wireAttachment(QStringLiteral("../../../../outside.png")) }));
        answer.mediaWanted = QJsonArray {
            QJsonObject { { QStringLiteral("noteId"), id },
                          { QStringLiteral("filename"), QStringLiteral("x.png") } },
            QJsonObject { { QStringLiteral("noteId"), local.id },
                          { QStringLiteral("filename"), QStringLiteral("/etc/passwd") } }
        };
        m_server->enqueue("POST", kSync, answer.response());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("skipped")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("skipped")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("skipped")));
        QVERIFY(runSync());
        QCOMPARE(m_engine->state().kind, SyncState::Kind::Idle);
        QCOMPARE(m_engine->lastReport().skipped, 3);
        QCOMPARE(m_store->note(local.id)->body, QStringLiteral("keep me"));
        QVERIFY(m_store->note(QStringLiteral("bbbbbbbbbbbb")).has_value());
        QVERIFY(m_store->note(QStringLiteral("bbbbbbbbbbbb"))->attachments.isEmpty());
        m_store->flush();
        for (const QString &file : filesUnder(m_folders->root())) {
            QVERIFY2(file.startsWith(u"notes/") || file.startsWith(u"support/")
                         || file == u"settings.ini",
                     qPrintable(file));
            QVERIFY2(!file.contains(u"escaped") && !file.contains(u"outside")
                         && !file.contains(u"evil"),
                     qPrintable(file));
        }
        QVERIFY(m_server->requestsUnder(QStringLiteral("/v1/media/")).isEmpty());
    }

    void oversizedOrHugeAnswersFail_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<qint64>("limit");
        QTest::newRow("too many accepted identifiers")
            << int(Wire::maxArrayItems + 1) << qint64(64 * 1024 * 1024);
        QTest::newRow("answer larger than the limit") << 2000 << qint64(10000);
    }

    void oversizedOrHugeAnswersFail()
    {
        QFETCH(int, entries);
        QFETCH(qint64, limit);
        SyncEngine::Options options;
        options.client.maxAnswerBytes = limit;
        makeEngine(options);
        const Note local = m_store->create(QStringLiteral("keep me"));
        Answer answer;
        for (int i = 0; i < entries; ++i)
            answer.accepted.append(QStringLiteral("id%1").arg(i));
        m_server->enqueue("POST", kSync, answer.response());
        QTest::ignoreMessage(QtCriticalMsg,
                             QRegularExpression(QStringLiteral("^sync failed: other")));
        QVERIFY(runSync());
        QCOMPARE(m_engine->state(), SyncState::failed(L("error.invalidResponse")));
        QCOMPARE(m_store->note(local.id)->body, QStringLiteral("keep me"));
        QCOMPARE(m_store->meta(local.id)->dirty, true);
    }

    // ---- media ----------------------------------------------------------------------------

    void mediaPass_data()
    {
        QTest::addColumn<bool>("mediaWanted");
        QTest::addColumn<int>("failing"); // downloads answered with 500
        QTest::addColumn<int>("downloads"); // media requests expected
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("pending");
        QTest::newRow("no mediaWanted: no pass") << false << 0 << 0 << 0 << 0;
        QTest::newRow("empty mediaWanted: three downloads") << true << 0 << 3 << 3 << 0;
        QTest::newRow("one of three fails") << true << 1 << 3 << 2 << 1;
    }

    void mediaPass()
    {
        QFETCH(bool, mediaWanted);
        QFETCH(int, failing);
        QFETCH(int, downloads);
        QFETCH(int, files);
        QFETCH(int, pending);
        const QString n1 = QStringLiteral("111111111111");
        const QString n2 = QStringLiteral("222222222222");
        Answer answer;
        answer.notes.append(remoteNote(
            n1,
            QStringLiteral("one\n![a](attachments/%1/a.png)\n![b](attachments/%1/b.png)").arg(n1),
            1.6e12,
            { wireAttachment(QStringLiteral("a.png")), wireAttachment(QStringLiteral("b.png")) }));
        answer.notes.append(remoteNote(n2,
                                       QStringLiteral("two\n![c](attachments/%1/c.png)").arg(n2),
                                       1.6e12, { wireAttachment(QStringLiteral("c.png")) }));
        if (mediaWanted)
            answer.mediaWanted = QJsonArray();
        m_server->enqueue("POST", kSync, answer.response());
        int served = 0;
        m_server->setHandler([&](const HttpRequest &request) {
            if (request.path.startsWith(u"/v1/media/")) {
                if (served++ < failing)
                    return HttpResponse::text("{}", 500);
                return HttpResponse::text("bytes of " + request.path.toUtf8(), 200);
            }
            return Answer {}.response();
        });
        if (failing)
            QTest::ignoreMessage(
                QtWarningMsg,
                QRegularExpression(QStringLiteral("media download failed: http_500")));
        QVERIFY(runSync());
        QCOMPARE(m_engine->state().kind, SyncState::Kind::Idle);
        QCOMPARE(m_server->requestsUnder(QStringLiteral("/v1/media/")).size(), downloads);
        QCOMPARE(m_engine->lastReport().files, files);
        QCOMPARE(m_engine->mediaPending(), pending);
        if (files == 3)
            QCOMPARE(TestSupport::readFile(m_store->liveMediaPath(n2, QStringLiteral("c.png"))),
                     QByteArray("bytes of /v1/media/") + n2.toUtf8() + "/c.png");
    }

    void uploadsWhatTheServerWants()
    {
        const QString source = m_folders->path(QStringLiteral("photo.png"));
        QVERIFY(TestSupport::writeFile(source, QByteArray("PNGDATA")));
        const Note note = m_store->create(QStringLiteral("with a photo"));
        const auto attachment = m_store->importAttachment(source, Attachment::Kind::Image, note.id);
        QVERIFY(attachment);
        const auto gone = m_store->importAttachment(source, Attachment::Kind::Image, note.id);
        QVERIFY(gone);
        QVERIFY(QFile::remove(m_store->liveMediaPath(note.id, gone->filename)));

        Answer answer;
        answer.accepted.append(note.id);
        auto ref = [&](const QString &file) {
            return QJsonObject { { QStringLiteral("noteId"), note.id },
                                 { QStringLiteral("filename"), file } };
        };
        // Asked twice (the set keeps one), plus a file deleted locally meanwhile.
        answer.mediaWanted = QJsonArray { ref(attachment->filename), ref(attachment->filename),
                                          ref(gone->filename) };
        m_server->enqueue("POST", kSync, answer.response());
        m_server->setHandler([](const HttpRequest &) { return HttpResponse::json({}); });
        QVERIFY(runSync());
        const auto uploads = m_server->requestsUnder(QStringLiteral("/v1/media/"));
        QCOMPARE(uploads.size(), 1);
        QCOMPARE(uploads.first().method, QByteArray("PUT"));
        QCOMPARE(uploads.first().body, QByteArray("PNGDATA"));
        QCOMPARE(m_engine->lastReport().files, 1);
        QCOMPARE(m_engine->mediaPending(), 0); // the missing file is neither moved nor failed
    }

    void downloadThatCannotBeWrittenStaysPending()
    {
        const QString n1 = QStringLiteral("111111111111");
        // A file where the note's attachment folder belongs: the write must fail.
        QVERIFY(TestSupport::writeFile(m_folders->notes() + QStringLiteral("/attachments/") + n1,
                                       "blocker"));
        Answer answer;
        answer.mediaWanted = QJsonArray();
        answer.notes.append(remoteNote(n1, QStringLiteral("x\n![a](attachments/%1/a.png)").arg(n1),
                                       1.6e12, { wireAttachment(QStringLiteral("a.png")) }));
        m_server->enqueue("POST", kSync, answer.response());
        m_server->setHandler([](const HttpRequest &) { return HttpResponse::text("data", 200); });
        QVERIFY(runSync());
        QCOMPARE(m_engine->state().kind, SyncState::Kind::Idle);
        QCOMPARE(m_engine->lastReport().files, 0);
        QCOMPARE(m_engine->mediaPending(), 1);
        QVERIFY(!m_store->lastError().isEmpty());
    }

    void unreachableKeychainDoesNotSignOut()
    {
        m_keychain->setFailure(QStringLiteral("keyring locked"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("keyring locked")));
        QVERIFY(runSync());
        QCOMPARE(m_engine->state().kind, SyncState::Kind::Failed);
        // The keychain's own words: this is not a network failure.
        QCOMPARE(m_engine->state().message, QStringLiteral("keyring locked"));
        QVERIFY(m_engine->account().has_value());
        QCOMPARE(syncRequests().size(), 0);
    }

    void usageRefreshRules_data()
    {
        QTest::addColumn<bool>("serverStoresMedia");
        QTest::addColumn<bool>("movesFiles");
        QTest::addColumn<int>("usageRequests");
        QTest::newRow("media server, files moved") << true << true << 2; // after health, after sync
        QTest::newRow("media server, nothing moved") << true << false << 1;
        QTest::newRow("server without media") << false << true << 0;
    }

    void usageRefreshRules()
    {
        QFETCH(bool, serverStoresMedia);
        QFETCH(bool, movesFiles);
        QFETCH(int, usageRequests);
        const QString n1 = QStringLiteral("111111111111");
        m_server->setHandler([&](const HttpRequest &request) {
            if (request.path == u"/health")
                return TestSupport::healthAnswer({ .media = serverStoresMedia });
            if (request.path == u"/v1/media/usage")
                return HttpResponse::json(TestSupport::mediaUsageJson(512, 1024, 100));
            if (request.path.startsWith(u"/v1/media/"))
                return HttpResponse::text("data", 200);
            Answer answer;
            answer.mediaWanted = QJsonArray();
            if (movesFiles && m_server->requests(kSync).size() == 1)
                answer.notes.append(
                    remoteNote(n1, QStringLiteral("x\n![a](attachments/%1/a.png)").arg(n1), 1.6e12,
                               { wireAttachment(QStringLiteral("a.png")) }));
            return answer.response();
        });
        QSignalSpy health(m_engine.get(), &SyncEngine::healthChanged);
        m_engine->checkHealth();
        QVERIFY(health.count() > 0 || health.wait(5000));
        QVERIFY(m_engine->health() && m_engine->health()->has_value());
        QTRY_COMPARE(m_engine->mediaUsage().has_value(), serverStoresMedia);
        QVERIFY(runSync());
        QTest::qWait(20);
        QCOMPARE(m_server->requests(QStringLiteral("/v1/media/usage")).size(), usageRequests);
        if (serverStoresMedia)
            QCOMPARE(m_engine->mediaUsage()->percent(), 50);
    }

    void healthFailureIsKept()
    {
        m_server->setHandler([](const HttpRequest &) { return HttpResponse::text("<html>", 503); });
        QSignalSpy health(m_engine.get(), &SyncEngine::healthChanged);
        m_engine->checkHealth();
        QVERIFY(health.wait(5000));
        QVERIFY(m_engine->health() && !m_engine->health()->has_value());
        QCOMPARE(m_engine->health()->error().status, 503);
        QVERIFY(!m_engine->mediaUsage());
    }

    // ---- small functions --------------------------------------------------------------------

    void reasons_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("reason");
        QTest::newRow("server") << 0 << QStringLiteral("http_503");
        QTest::newRow("transport") << 1 << QStringLiteral("offline");
        QTest::newRow("no server") << 2 << QStringLiteral("no_server");
        QTest::newRow("unauthorized") << 3 << QStringLiteral("unauthorized");
        QTest::newRow("decoding") << 4 << QStringLiteral("other");
    }

    void reasons()
    {
        QFETCH(int, which);
        QFETCH(QString, reason);
        const ClientError errors[]
            = { APIError::server(503, {}), APIError::transport(QStringLiteral("down")),
                APIError::noServer(), APIError::unauthorized(),
                DecodeError { QStringLiteral("x") } };
        QCOMPARE(SyncEngine::reason(errors[which]), reason);
        QVERIFY(!describe(errors[which]).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSyncEngine)
#include "tst_syncengine.moc"
