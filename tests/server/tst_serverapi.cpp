// The server's whole interface as the app uses it: the app's own sync engine, API client and
// note store against the real server on 127.0.0.1, once over SQLite and once over a
// PostgreSQL started by the test; then hostile requests sent by hand.
#include "ServerFixture.h"

#include "RecordingBrowser.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "base/Localization.h"
#include "sync/APIError.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QUrlQuery>

#include <httplib.h>

using namespace ServerFixture;

namespace {

struct Reply
{
    int status = 0;
    QByteArray body;
    httplib::Headers headers;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QString header(const char *name) const
    {
        const auto it = headers.find(name);
        return it == headers.end() ? QString() : QString::fromStdString(it->second);
    }
};

// One request by hand (no client rules in the way).
Reply call(const QString &base, const std::string &method, const std::string &path,
           const QString &token = {}, const QByteArray &body = {},
           const std::string &type = "application/json", httplib::Headers headers = {})
{
    httplib::Client client(base.toStdString());
    client.set_read_timeout(20);
    if (!token.isEmpty())
        headers.emplace("Authorization", "Bearer " + token.toStdString());
    httplib::Result result = method == "GET"  ? client.Get(path, headers)
        : method == "PUT"                     ? client.Put(path, headers, body.toStdString(), type)
                                              : client.Post(path, headers, body.toStdString(), type);
    if (!result)
        return {};
    return Reply { result->status, QByteArray::fromStdString(result->body), result->headers };
}

QByteArray syncBody(qint64 cursor, const QList<WireNote> &changes)
{
    return QJsonDocument(SyncRequest { cursor, changes }.toJson()).toJson(QJsonDocument::Compact);
}

WireNote wire(const QString &id, const QString &body, double updatedAt, bool deleted = false)
{
    WireNote note;
    note.id = id;
    note.body = body;
    note.createdAt = 1.0e12;
    note.updatedAt = updatedAt;
    note.deleted = deleted;
    return note;
}

SyncResponse decodeSync(const Reply &reply)
{
    return SyncResponse::fromJson(reply.json()).value_or(SyncResponse {});
}

// Every file under `root`, relative to it.
QStringList filesUnder(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}


} // namespace

class TestServerApi : public QObject
{
    Q_OBJECT

    std::map<QString, std::unique_ptr<Running>> m_servers;
    Running *m_running = nullptr;
    QString m_engine;

    Storage &storage() { return m_running->server->storage(); }
    QString url() const { return m_running->url; }

private Q_SLOTS:
    void initTestCase_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }

    void initTestCase() { TestSupport::initTestEnvironment(); }

    void init()
    {
        QFETCH_GLOBAL(QString, engine);
        m_engine = engine;
        auto &slot = m_servers[engine];
        if (!slot) {
            QString why;
            slot = start(engine, &why, [](ServerConfig &c) {
                c.syncPageSize = 3;
                c.mediaMaxFile = 4096;
                c.mediaQuota = 10000;
                c.telemetry = QStringLiteral("optional");
            });
            if (!slot && engine == u"postgresql" && !Postgres::shared().available())
                QSKIP(qPrintable(why));
            if (!slot)
                QFAIL(qPrintable(why));
        }
        m_running = slot.get();
    }

    void cleanupTestCase()
    {
        for (auto &[engine, running] : m_servers)
            if (running)
                running->server->stop();
        m_servers.clear();
    }

    // ---- the app against the server -----------------------------------------------------

    void devicesConvergeThroughTheServer()
    {
        const Session session = newAccount(storage());
        Device a(url(), session.token, session.email);
        Device b(url(), session.token, session.email);
        QTRY_COMPARE(a.engine().account()->id, session.accountId); // me() answered the real user

        const Note note = a.store().create(QStringLiteral("# Groceries\nmilk"));
        QVERIFY(a.sync());
        QCOMPARE(a.engine().state().kind, SyncState::Kind::Idle);
        QCOMPARE(a.store().dirtyCount(), 0);
        QVERIFY(b.sync());
        QCOMPARE(b.store().note(note.id)->body, QStringLiteral("# Groceries\nmilk"));

        b.store().setBody(QStringLiteral("# Groceries\nmilk\neggs"), note.id, false);
        QVERIFY(b.sync());
        QVERIFY(a.sync());
        QCOMPARE(a.store().note(note.id)->body, QStringLiteral("# Groceries\nmilk\neggs"));

        // A deletion travels as a tombstone and stays on the server.
        a.store().deleteNote(note.id);
        QVERIFY(a.sync());
        QVERIFY(b.sync());
        QVERIFY(!b.store().note(note.id) || b.store().note(note.id)->deleted);
        const auto stored = storage().note(session.accountId, note.id);
        QVERIFY(stored && *stored);
        QVERIFY((*stored)->deleted);
    }

    void olderOfflineEditBecomesAConflictCopy()
    {
        const Session session = newAccount(storage());
        Device a(url(), session.token, session.email);
        Device b(url(), session.token, session.email);
        const Note note = a.store().create(QStringLiteral("shared"));
        QVERIFY(a.sync());
        QVERIFY(b.sync());
        b.store().setBody(QStringLiteral("shared, edited on b first"), note.id, false);
        QTest::qWait(5);
        a.store().setBody(QStringLiteral("shared, edited on a later"), note.id, false);
        QVERIFY(a.sync());
        QVERIFY(b.sync()); // b's older push is rejected: b keeps its text as a copy
        QVERIFY(a.sync());
        QCOMPARE(b.engine().lastConflicts().size(), 1);
        QCOMPARE(b.store().note(note.id)->body, QStringLiteral("shared, edited on a later"));
        const auto bodies = [](Device &d) {
            QStringList list;
            for (const Note &n : d.store().notes())
                list << n.body;
            list.sort();
            return list;
        };
        QCOMPARE(bodies(a), bodies(b));
        QVERIFY(bodies(a).filter(QStringLiteral("edited on b first")).size() == 1);
    }

    void longAnswersArePaged()
    {
        const Session session = newAccount(storage());
        Device a(url(), session.token, session.email);
        for (int i = 0; i < 10; ++i)
            a.store().create(QStringLiteral("note %1").arg(i));
        QVERIFY(a.sync());
        const Reply first = call(url(), "POST", "/v1/sync", session.token, syncBody(0, {}));
        QCOMPARE(first.status, 200);
        const SyncResponse page = decodeSync(first);
        QCOMPARE(page.notes.size(), 3);
        QVERIFY(page.hasMore);
        Device b(url(), session.token, session.email);
        QVERIFY(b.sync());
        QCOMPARE(b.store().notes().size(), 10);
        QCOMPARE(b.engine().lastReport().pulled, 10);
    }

    void mediaTravelsBetweenDevices()
    {
        const Session session = newAccount(storage());
        Device a(url(), session.token, session.email);
        Device b(url(), session.token, session.email);
        const QString picture = a.notesFolder() + QStringLiteral("/../picture.png");
        QVERIFY(TestSupport::writeFile(picture, QByteArray(1500, 'p')));
        const auto note = a.store().createWithAttachment(picture, Attachment::Kind::Image, std::nullopt);
        QVERIFY(note);
        QVERIFY(a.sync());
        QCOMPARE(a.engine().lastReport().files, 1);
        QCOMPARE(a.engine().mediaPending(), 0);
        QVERIFY(b.sync());
        QCOMPARE(b.engine().lastReport().files, 1);
        const Attachment attachment = note->attachments.first();
        const auto path = b.store().localMediaPath(note->id, attachment.filename);
        QVERIFY(path);
        QCOMPARE(TestSupport::readFile(*path), QByteArray(1500, 'p'));
        const auto usage = a.await(a.engine().client()->mediaUsage());
        QVERIFY(usage);
        QCOMPARE(usage->usedBytes, 1500);
        QCOMPARE(usage->quotaBytes, 10000);
        QCOMPARE(usage->maxFileBytes, 4096);
        // The public page shows the picture, served from the link's own address.
        const auto link = a.await(a.engine().publicLink(note->id));
        QVERIFY(link);
        const Reply page = call(url(), "GET", link->path().toStdString());
        const QString image = link->path() + QStringLiteral("/media/") + attachment.filename;
        QVERIFY2(page.body.contains(("<img src=\"" + image + "\"").toUtf8()), page.body.constData());
        const Reply file = call(url(), "GET", image.toStdString());
        QCOMPARE(file.status, 200);
        QCOMPARE(file.body, QByteArray(1500, 'p'));
        QCOMPARE(file.header("Content-Type"), QStringLiteral("image/png"));
        // A file of the note that its text does not show is not served through the link.
        QCOMPARE(call(url(), "GET", (link->path() + QStringLiteral("/media/other.png")).toStdString()).status, 404);
        // Nothing more is wanted once the server has the file.
        QVERIFY(decodeSync(call(url(), "POST", "/v1/sync", session.token, syncBody(0, {}))).mediaWanted->isEmpty());
    }

    void mediaLimits_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("description");
        QTest::newRow("within limits") << 3000 << 200 << QString();
        QTest::newRow("larger than one file may be") << 5000 << 413 << QString();
        QTest::newRow("over the account's quota") << 4000 << 507 << L("error.mediaFull");
    }

    void mediaLimits()
    {
        QFETCH(int, size);
        QFETCH(int, status);
        QFETCH(QString, description);
        const Session session = newAccount(storage());
        // Two earlier files leave 10000 - 2 × 3000 = 4000 minus one byte of room.
        QCOMPARE(call(url(), "PUT", "/v1/media/n1/one.png", session.token, QByteArray(3000, 'x'),
                      "application/octet-stream").status, 200);
        QCOMPARE(call(url(), "PUT", "/v1/media/n1/two.png", session.token, QByteArray(3001, 'x'),
                      "application/octet-stream").status, 200);
        const Reply reply = call(url(), "PUT", "/v1/media/n2/three.png", session.token,
                                 QByteArray(size, 'y'), "application/octet-stream");
        if (status == 200 && size == 3000) {
            // 3000 + 3001 + 3000 fits in 10000.
            QCOMPARE(reply.status, 200);
            return;
        }
        QCOMPARE(reply.status, status);
        QVERIFY(!reply.json().value(QStringLiteral("error")).toString().isEmpty());
        if (!description.isEmpty())
            QCOMPARE(describe(APIError::server(status, reply.json().value(QStringLiteral("error")).toString())),
                     description);
        QVERIFY(!QFile::exists(m_running->data->path() + QStringLiteral("/media/") + session.accountId
                               + QStringLiteral("/n2/three.png")));
        QCOMPARE(filesUnder(m_running->data->path() + QStringLiteral("/media/.incoming")), QStringList());
    }

    void shareLinks()
    {
        const Session session = newAccount(storage());
        Device a(url(), session.token, session.email);
        const Note note = a.store().create(QStringLiteral("# Plan <b>bold</b>\n\n<script>alert(1)</script>\n\n- [x] done\n- **strong**"));
        const auto link = a.await(a.engine().publicLink(note.id)); // syncs the new note first
        QVERIFY2(link, qPrintable(link ? QString() : describe(link.error())));
        QCOMPARE(a.store().dirtyCount(), 0);
        const auto again = a.await(a.engine().publicLink(note.id));
        QCOMPARE(*again, *link); // the live link is returned again
        QCOMPARE(a.await(a.engine().liveLinks(note.id)).size(), 1);

        const Reply page = call(url(), "GET", link->path().toStdString());
        QCOMPARE(page.status, 200);
        QVERIFY(page.header("Content-Security-Policy").contains(QStringLiteral("default-src 'none'")));
        QVERIFY(!page.body.contains("<script"));
        QVERIFY(page.body.contains("&lt;script&gt;"));
        QVERIFY(page.body.contains("<strong>strong</strong>"));
        QVERIFY(page.body.contains("&lt;b&gt;bold&lt;/b&gt;"));

        // Another account can neither revoke nor share it.
        const Session other = newAccount(storage());
        const QString token = link->path().section(u'/', 2, 2);
        QCOMPARE(call(url(), "POST", "/v1/shares/" + token.toStdString() + "/revoke", other.token).status, 404);
        QCOMPARE(call(url(), "POST", "/v1/shares", other.token,
                      QJsonDocument(QJsonObject { { QStringLiteral("noteId"), note.id } }).toJson()).status, 404);
        QCOMPARE(call(url(), "GET", link->path().toStdString()).status, 200);

        const auto stopped = a.await(a.engine().stopSharing(note.id));
        QVERIFY(stopped);
        QCOMPARE(call(url(), "GET", link->path().toStdString()).status, 404);
        QCOMPARE(a.await(a.engine().liveLinks(note.id)).size(), 0);
    }

    void telemetryFeedbackAndAccount()
    {
        const Session session = newAccount(storage());
        Device a(url(), session.token, session.email);
        APIClient &client = *a.engine().client();
        const auto off = a.await(client.telemetryState());
        QVERIFY(off && !off->enabled && !off->required);
        const auto on = a.await(client.setTelemetryChoice(true));
        QVERIFY(on && on->enabled);
        QVERIFY(a.await(client.sendTelemetry(R"({"context":{},"events":[{"name":"app_launched","at":1,"props":{}}]})")));
        QCOMPARE(*storage().count(QStringLiteral("telemetry"), session.accountId), 1);

        const auto sent = a.await(a.engine().sendFeedback(QStringLiteral("It works"), QByteArray("PNGDATA"),
                                                          FeedbackDiagnostics { QStringLiteral("log lines"), 2 }));
        QVERIFY2(sent, qPrintable(sent ? QString() : describe(sent.error())));
        QCOMPARE(*storage().count(QStringLiteral("feedback"), session.accountId), 1);
        const QString feedback = m_running->data->path() + QStringLiteral("/feedback/") + session.accountId;
        const QStringList files = filesUnder(feedback);
        QCOMPARE(files.size(), 2);
        QVERIFY(files.filter(QStringLiteral("diagnostics.txt")).size() == 1);

        // The dashboard link works once.
        const auto dashboard = a.await(client.dashboardLink());
        QVERIFY(dashboard);
        const std::string open = (dashboard->path() + u'?' + dashboard->query(QUrl::FullyEncoded)).toStdString();
        const Reply opened = call(url(), "GET", open);
        QCOMPARE(opened.status, 303);
        const QString cookie = opened.header("Set-Cookie").section(u';', 0, 0);
        const Reply board = call(url(), "GET", "/dashboard", {}, {}, "", { { "Cookie", cookie.toStdString() } });
        QCOMPARE(board.status, 200);
        QVERIFY(board.body.contains(session.email.toUtf8()));
        QCOMPARE(call(url(), "GET", open).status, 403);

        // Deleting the account removes every row and file of it.
        QSignalSpy done(&a.engine(), &SyncEngine::accountOperationFinished);
        a.store().create(QStringLiteral("to be deleted"));
        QVERIFY(a.sync());
        a.engine().deleteAccount();
        QVERIFY(done.wait(10000));
        QCOMPARE(a.engine().state().kind, SyncState::Kind::SignedOut);
        for (const char *table : { "notes", "sessions", "telemetry", "feedback", "shares", "media" })
            QCOMPARE(*storage().count(QString::fromLatin1(table), session.accountId), 0);
        QVERIFY(!QFileInfo::exists(feedback));
        QVERIFY(!*storage().accountByEmail(session.email));
        QCOMPARE(call(url(), "GET", "/v1/auth/me", session.token).status, 401);
    }

    void logoutEndsTheSession()
    {
        const Session session = newAccount(storage());
        Device a(url(), session.token, session.email);
        QSignalSpy done(&a.engine(), &SyncEngine::accountOperationFinished);
        a.engine().signOut();
        QVERIFY(done.wait(10000));
        QCOMPARE(call(url(), "GET", "/v1/auth/me", session.token).status, 401);
    }

    // ---- the sync rules, request by request -----------------------------------------------

    void pushRules_data()
    {
        QTest::addColumn<QString>("storedBody");
        QTest::addColumn<double>("storedAt");
        QTest::addColumn<QString>("pushedBody");
        QTest::addColumn<double>("pushedAt");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("finalBody");
        QTest::addColumn<double>("finalAt");
        QTest::newRow("new note") << QString() << 0.0 << "hello" << 2000.0 << true << "hello" << 2000.0;
        QTest::newRow("newer wins") << "old" << 1000.0 << "new" << 2000.0 << true << "new" << 2000.0;
        QTest::newRow("older is rejected with the stored one")
            << "new" << 2000.0 << "old" << 1000.0 << false << "new" << 2000.0;
        QTest::newRow("a repeated push is accepted") << "same" << 1000.0 << "same" << 1000.0 << true << "same" << 1000.0;
        // Equal times: the stored text stays, a millisecond later, so the sender adopts it
        // and keeps its own as a conflict copy.
        QTest::newRow("equal times keep both sides")
            << "theirs" << 1000.0 << "mine" << 1000.0 << false << "theirs" << 1001.0;
    }

    void pushRules()
    {
        QFETCH(QString, storedBody);
        QFETCH(double, storedAt);
        QFETCH(QString, pushedBody);
        QFETCH(double, pushedAt);
        QFETCH(bool, accepted);
        QFETCH(QString, finalBody);
        QFETCH(double, finalAt);
        const Session session = newAccount(storage());
        const QString id = QStringLiteral("aaaabbbbcccc");
        if (!storedBody.isNull())
            QCOMPARE(call(url(), "POST", "/v1/sync", session.token, syncBody(0, { wire(id, storedBody, storedAt) })).status, 200);
        const Reply reply = call(url(), "POST", "/v1/sync", session.token, syncBody(0, { wire(id, pushedBody, pushedAt) }));
        QCOMPARE(reply.status, 200);
        const SyncResponse answer = decodeSync(reply);
        QCOMPARE(answer.accepted.contains(id), accepted);
        QCOMPARE(answer.rejected.size(), accepted ? 0 : 1);
        QVERIFY(answer.notes.isEmpty()); // the note is answered once, not twice
        const auto stored = storage().note(session.accountId, id);
        QCOMPARE((*stored)->body, finalBody);
        QCOMPARE((*stored)->updatedAt, finalAt);
        if (!accepted)
            QCOMPARE(answer.rejected.first().updatedAt, finalAt);
    }

    void cursorNeverRepeatsOrSkips()
    {
        const Session session = newAccount(storage());
        const Session other = newAccount(storage());
        QCOMPARE(call(url(), "POST", "/v1/sync", session.token,
                      syncBody(0, { wire("n1", "1", 1), wire("n2", "2", 1), wire("n3", "3", 1), wire("n4", "4", 1) })).status, 200);
        call(url(), "POST", "/v1/sync", other.token, syncBody(0, { wire("n1", "someone else's", 5) }));
        QSet<QString> seen;
        qint64 cursor = 0;
        for (int round = 0; round < 5; ++round) {
            const SyncResponse page = decodeSync(call(url(), "POST", "/v1/sync", session.token, syncBody(cursor, {})));
            for (const WireNote &n : page.notes) {
                QVERIFY2(!seen.contains(n.id), qPrintable(n.id));
                QVERIFY(n.body != u"someone else's");
                seen.insert(n.id);
            }
            cursor = page.cursor;
            if (!page.hasMore)
                break;
        }
        QCOMPARE(seen.size(), 4);
        // A cursor this account never reached starts over instead of skipping everything.
        QCOMPARE(decodeSync(call(url(), "POST", "/v1/sync", session.token, syncBody(999999, {}))).notes.size(), 3);
    }

    // ---- hostile requests -----------------------------------------------------------------

    void hostileRequests_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("who"); // "none", "bad", "me", "other"
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const QByteArray empty = syncBody(0, {});
        QTest::newRow("no token") << "POST" << "/v1/sync" << "none" << empty << 401;
        QTest::newRow("wrong token") << "POST" << "/v1/sync" << "bad" << empty << 401;
        QTest::newRow("malformed JSON") << "POST" << "/v1/sync" << "me" << QByteArray("{\"cursor\": 0,") << 400;
        QTest::newRow("JSON array") << "POST" << "/v1/sync" << "me" << QByteArray("[]") << 400;
        QTest::newRow("cursor missing") << "POST" << "/v1/sync" << "me" << QByteArray(R"({"changes":[]})") << 400;
        QTest::newRow("note id with a path")
            << "POST" << "/v1/sync" << "me" << syncBody(0, { wire("../../etc", "x", 1) }) << 400;
        QTest::newRow("media: dot-dot") << "PUT" << "/v1/media/n1/.." << "me" << QByteArray("x") << 400;
        QTest::newRow("media: encoded slash") << "PUT" << "/v1/media/n1/..%2F..%2Fescape" << "me" << QByteArray("x") << 404;
        QTest::newRow("media: hidden name") << "PUT" << "/v1/media/n1/.profile" << "me" << QByteArray("x") << 400;
        QTest::newRow("media: backslash") << "PUT" << "/v1/media/n1/a%5C..%5Cb" << "me" << QByteArray("x") << 400;
        QTest::newRow("media: dot-dot note") << "PUT" << "/v1/media/../f.png" << "me" << QByteArray("x") << 400;
        QTest::newRow("media: another account's file") << "GET" << "/v1/media/theirs/secret.png" << "other" << QByteArray() << 404;
        QTest::newRow("share: another account's note")
            << "POST" << "/v1/shares" << "other" << QByteArray(R"({"noteId":"theirs"})") << 404;
        QTest::newRow("share: no note id") << "POST" << "/v1/shares" << "me" << QByteArray("{}") << 400;
        QTest::newRow("share page: unknown token") << "GET" << "/s/nothing-here" << "none" << QByteArray() << 404;
        QTest::newRow("telemetry: not JSON") << "POST" << "/v1/telemetry" << "me" << QByteArray("events") << 400;
        QTest::newRow("feedback: not a form") << "POST" << "/v1/feedback" << "me" << QByteArray("{}") << 400;
        QTest::newRow("choice: not a bool")
            << "POST" << "/v1/telemetry/choice" << "me" << QByteArray(R"({"enabled":"yes"})") << 400;
        QTest::newRow("google: not offered here") << "POST" << "/v1/auth/google" << "none" << QByteArray("{}") << 404;
        QTest::newRow("unknown endpoint") << "GET" << "/v1/nothing" << "me" << QByteArray() << 404;
    }

    void hostileRequests()
    {
        QFETCH(QString, method);
        QFETCH(QString, path);
        QFETCH(QString, who);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        const Session me = newAccount(storage());
        const Session other = newAccount(storage());
        // The victim's data: a note and a media file.
        QCOMPARE(call(url(), "POST", "/v1/sync", me.token, syncBody(0, { wire("theirs", "private", 1) })).status, 200);
        QCOMPARE(call(url(), "PUT", "/v1/media/theirs/secret.png", me.token, "data", "application/octet-stream").status, 200);
        const auto files = [this] {
            QStringList list = filesUnder(m_running->data->path());
            list.removeIf([](const QString &f) { return f.contains(QStringLiteral(".sqlite")); });
            return list;
        };
        const QStringList before = files();
        const QString token = who == u"me" ? me.token : who == u"other" ? other.token
            : who == u"bad" ? QStringLiteral("not-a-token") : QString();
        const Reply reply = call(url(), method.toStdString(), path.toStdString(), token, body,
                                 method == u"PUT" ? "application/octet-stream" : "application/json");
        QCOMPARE(reply.status, status);
        QVERIFY2(!reply.json().value(QStringLiteral("error")).toString().isEmpty() || path.startsWith(u"/s/"),
                 reply.body.constData());
        QVERIFY(!reply.body.contains("private"));
        // Nothing was written in the data folder, nor beside it.
        QCOMPARE(files(), before);
        const QString beside = QFileInfo(m_running->data->path()).path();
        for (const char *name : { "escape", "f.png", ".profile", "b" })
            QVERIFY(!QFileInfo::exists(beside + u'/' + QLatin1String(name)));
    }

    void oversizedBodies_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("size");
        QTest::newRow("sync") << "/v1/sync" << 33 * 1024 * 1024;
        QTest::newRow("telemetry") << "/v1/telemetry" << 2 * 1024 * 1024;
        QTest::newRow("media file") << "/v1/media/n1/big.png" << 5000;
    }

    // Refused on the announced length, before the body is sent (as a proxy or client that
    // waits for the answer would see it).
    void oversizedBodies()
    {
        QFETCH(QString, path);
        QFETCH(int, size);
        const Session me = newAccount(storage());
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, QUrl(url()).port());
        QVERIFY(socket.waitForConnected(5000));
        const QByteArray method = path.startsWith(u"/v1/media") ? "PUT" : "POST";
        socket.write(method + ' ' + path.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer "
                     + me.token.toUtf8() + "\r\nContent-Type: application/json\r\nContent-Length: "
                     + QByteArray::number(size) + "\r\n\r\n");
        QByteArray answer;
        while (!answer.contains("\r\n\r\n{") && socket.waitForReadyRead(5000))
            answer += socket.readAll();
        while (socket.waitForReadyRead(200))
            answer += socket.readAll();
        QVERIFY2(answer.startsWith("HTTP/1.1 413"), answer.left(200).constData());
        QVERIFY(answer.contains(R"({"error":"the request is too large"})"));
    }

    void limitsReachTheUserInWords_data()
    {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("message");
        QTest::newRow("note storage full") << "notes" << L("error.notesFull");
        QTest::newRow("too many requests") << "rate" << L("error.tooManyRequests");
    }

    void limitsReachTheUserInWords()
    {
        QFETCH(QString, limit);
        QFETCH(QString, message);
        QString why;
        auto running = start(m_engine, &why, [&](ServerConfig &c) {
            if (limit == u"notes")
                c.notesQuota = 100;
            else
                c.rateLimit = 3;
        });
        QVERIFY2(running, qPrintable(why));
        const Session session = newAccount(running->server->storage());
        {
            Device a(running->url, session.token, session.email); // one request: me()
            a.store().create(QString(limit == u"notes" ? 500 : 5, u'x'));
            QVERIFY(a.sync());
            // Three requests a minute: one of the next few syncs runs out.
            for (int i = 0; i < 5 && a.engine().state().kind == SyncState::Kind::Idle; ++i)
                QVERIFY(a.sync());
            QCOMPARE(a.engine().state().kind, SyncState::Kind::Failed);
            QCOMPARE(a.engine().state().message, message);
        } // its idle connections close before the server stops
        running->server->stop();
    }

    // ---- Google sign-in against a stand-in token endpoint ----------------------------------

    void googleSignInCreatesTheAccount()
    {
        TestSupport::TestHttpServer google;
        QVERIFY(google.listen());
        google.setHandler([](const TestSupport::HttpRequest &request) {
            const QUrlQuery form(QString::fromUtf8(request.body));
            const bool good = form.queryItemValue(QStringLiteral("code")) == u"auth-code"
                && form.queryItemValue(QStringLiteral("client_secret")) == u"secret-1"
                && form.queryItemValue(QStringLiteral("code_verifier")).size() == 64
                && form.queryItemValue(QStringLiteral("grant_type")) == u"authorization_code";
            if (!good)
                return TestSupport::HttpResponse::json({ { QStringLiteral("error"), QStringLiteral("invalid_grant") } }, 400);
            const QJsonObject claims { { QStringLiteral("iss"), QStringLiteral("https://accounts.google.com") },
                                       { QStringLiteral("aud"), QStringLiteral("client-1") },
                                       { QStringLiteral("sub"), QStringLiteral("g-123") },
                                       { QStringLiteral("email"), QStringLiteral("New.Person@Example.com") },
                                       { QStringLiteral("email_verified"), true },
                                       { QStringLiteral("picture"), QStringLiteral("https://example.com/me.png") },
                                       { QStringLiteral("exp"), double(QDateTime::currentSecsSinceEpoch() + 600) } };
            return TestSupport::HttpResponse::json({ { QStringLiteral("id_token"), QString::fromLatin1(ServerFixture::idToken(claims)) },
                                                     { QStringLiteral("access_token"), QStringLiteral("at") } });
        });
        QString why;
        auto running = start(m_engine, &why, [&](ServerConfig &c) {
            c.googleClientId = QStringLiteral("client-1");
            c.googleClientSecret = QStringLiteral("secret-1");
            c.googleTokenEndpoint = google.url() + QStringLiteral("/token");
        });
        QVERIFY2(running, qPrintable(why));
        RecordingBrowser browser;
        QNetworkAccessManager network;
        browser.onOpen = [&](const QUrl &opened) {
            const QUrlQuery query(opened);
            QUrl redirect(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
            redirect.setQuery(QStringLiteral("code=auth-code&state=") + query.queryItemValue(QStringLiteral("state")));
            QNetworkReply *reply = network.get(QNetworkRequest(redirect));
            connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
        };
        auto owned = std::make_unique<Device>(running->url, QString(), QString(),
                                              [&](SyncEngine::Options &o) { o.browser = &browser; });
        Device &device = *owned;
        device.store().create(QStringLiteral("written before signing in"));
        QSignalSpy health(&device.engine(), &SyncEngine::healthChanged);
        device.engine().checkHealth();
        QVERIFY(health.wait(10000));
        QSignalSpy synced(&device.engine(), &SyncEngine::syncFinished);
        device.engine().signInWithGoogle(true);
        QVERIFY(synced.wait(20000));
        QCOMPARE(device.engine().state().kind, SyncState::Kind::Idle);
        QCOMPARE(device.engine().account()->email, QStringLiteral("new.person@example.com"));
        QCOMPARE(device.engine().account()->avatarUrl.value_or(QString()), QStringLiteral("https://example.com/me.png"));
        const auto account = running->server->storage().accountByEmail(QStringLiteral("new.person@example.com"));
        QVERIFY(account && *account);
        QCOMPARE(*running->server->storage().count(QStringLiteral("notes"), (*account)->id), 1);
        QVERIFY(!device.storedToken().isEmpty());
        owned.reset();
        running->server->stop();
    }

    void healthNamesTheEngine()
    {
        const Reply reply = call(url(), "GET", "/health");
        QCOMPARE(reply.status, 200);
        const auto health = ServerHealth::fromJson(reply.json());
        QVERIFY(health);
        QVERIFY(health->ok);
        QVERIFY(health->db.startsWith(m_engine));
        QVERIFY(health->capabilities.media);
        QVERIFY(!health->capabilities.google); // no Google client configured
        QVERIFY(health->capabilities.termsUrl->endsWith(QStringLiteral("/terms")));
        QCOMPARE(call(url(), "GET", "/privacy").status, 200);
        QCOMPARE(call(url(), "GET", "/terms").status, 200);
    }
};

QTEST_GUILESS_MAIN(TestServerApi)
#include "tst_serverapi.moc"
