#pragma once

#include "ServerAnswers.h"
#include "ScriptedDialogs.h"
#include "MemoryKeychain.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "settings/AppSettings.h"
#include "platform/Keychain.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "telemetry/Telemetry.h"
#include "ui/shell/Dialogs.h"

#include <QColor>
#include <QImage>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>

#include <chrono>
#include <functional>
#include <memory>

/// A note store on temporary folders with short delays, settings in a temporary INI file, a
/// signed-out sync engine, scripted dialogs and a telemetry object of its own (its `recorded`
/// signal tells what a screen recorded): everything a screen is built from.
/// `signIn()` swaps in an engine signed in against a scripted server on 127.0.0.1.
struct ScreenFixture
{
    TestSupport::TempFolders folders;
    // Declared before the engine, so they outlive it.
    std::unique_ptr<TestSupport::TestHttpServer> server;
    MemoryKeychain keychain;
    /// The share links the server holds, as {"token", "url"} objects: POST /v1/shares adds
    /// one, GET /v1/shares lists them, a revoke removes one.
    QJsonArray links;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<NoteStore> store;
    std::unique_ptr<SyncEngine> sync;
    ScriptedDialogs dialogs;
    Telemetry telemetry;

    ScreenFixture()
    {
        using namespace std::chrono_literals;
        settings = std::make_unique<AppSettings>(folders.path(QStringLiteral("settings.ini")));
        NoteStore::Options options;
        options.notesFolder = folders.notes();
        options.supportFolder = folders.support();
        options.noteWriteDelay = 20ms;
        options.indexWriteDelay = 10ms;
        options.rescanDelay = 30ms;
        options.watchFolder = false;
        options.backgroundIndexWrites = false;
        store = std::make_unique<NoteStore>(options);
        store->movesToSystemTrash = false;
        sync = std::make_unique<SyncEngine>(store.get(), settings.get());
    }

    /// Replaces the engine with one holding a session token for "me@example.com" and waits
    /// until the server has named the account. Build screens after this.
    void signIn()
    {
        using namespace std::chrono_literals;
        server = std::make_unique<TestSupport::TestHttpServer>();
        QVERIFY(server->listen());
        server->setHandler(
            [this](const TestSupport::HttpRequest &request) { return answer(request); });
        keychain.set(Keychain::syncService(), Keychain::sessionTokenAccount(),
                     QStringLiteral("tok"));
        settings->setEmail(QStringLiteral("me@example.com"));
        SyncEngine::Options options;
        options.serverURL = server->url();
        options.syncInterval = 1h;
        options.changeDebounce = 1h;
        sync.reset();
        sync = std::make_unique<SyncEngine>(store.get(), settings.get(), &keychain, options);
        QTRY_VERIFY(sync->account() && sync->account()->id == QStringLiteral("u1"));
    }

    /// The rows of the editor's and the list's share-link entry tests: the entry is offered
    /// only to a signed-in account, for a note with text or a picture to show.
    static void shareLinkEntryRows()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("withImage");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("signed out") << false << "text" << false << false;
        QTest::newRow("blank text") << true << " \n\t\n" << false << false;
        QTest::newRow("text") << true << "text" << false << true;
        QTest::newRow("only an image reference") << true << "" << true << true;
    }

    /// Sets up the current row of `shareLinkEntryRows()`: signs in when the row asks for it
    /// and returns the note to share, one holding only an image reference or one made from the
    /// row's body by `create` (by the store when not given). Empty when signing in failed.
    QString shareLinkEntryNote(const std::function<QString(const QString &)> &create = {})
    {
        QFETCH(bool, signedIn);
        QFETCH(QString, body);
        QFETCH(bool, withImage);
        if (signedIn)
            signIn();
        if (QTest::currentTestFailed())
            return {};
        if (withImage)
            return store
                ->createWithAttachment(image(QStringLiteral("i.png")), Attachment::Kind::Image)
                ->id;
        return create ? create(body) : store->create(body).id;
    }

    /// Counts the answers the engine's client receives to `method` requests for `path`
    /// (tests wait on it with QTRY_* before checking that a late answer changed nothing).
    std::shared_ptr<int> countAnswers(const QByteArray &method, const QString &path)
    {
        auto count = std::make_shared<int>(0);
        auto *network = sync->client()->findChild<QNetworkAccessManager *>();
        QObject::connect(network, &QNetworkAccessManager::finished, network,
                         [count, method, path](QNetworkReply *reply) {
                             // The client sends every request as a custom one.
                             if (reply->url().path() == path
                                 && reply->request()
                                         .attribute(QNetworkRequest::CustomVerbAttribute)
                                         .toByteArray()
                                     == method)
                                 ++*count;
                         });
        return count;
    }

    TestSupport::HttpResponse answer(const TestSupport::HttpRequest &request)
    {
        using TestSupport::HttpResponse;
        const QString path = request.path;
        if (path == u"/v1/auth/me")
            return TestSupport::meAnswer(
                TestSupport::userJson(QStringLiteral("u1"), QStringLiteral("me@example.com")));
        if (path == u"/v1/sync")
            return TestSupport::syncAnswerAccepting(request, 1);
        if (path == u"/v1/shares" && request.method == "POST") {
            const QJsonObject link
                = TestSupport::shareLinkJson(QStringLiteral("s%1").arg(links.size() + 1));
            links.append(link);
            return HttpResponse::json(link);
        }
        if (path == u"/v1/shares")
            return TestSupport::sharesAnswer(links);
        if (path.startsWith(u"/v1/shares/") && path.endsWith(u"/revoke")) {
            const QString token = path.section(u'/', 3, 3);
            for (qsizetype i = 0; i < links.size(); ++i)
                if (links.at(i).toObject().value(QStringLiteral("token")).toString() == token)
                    links.removeAt(i--);
            return HttpResponse::json({});
        }
        return HttpResponse::json({});
    }

    /// Writes a PNG of `size` in one colour and returns its path.
    QString image(const QString &name, QSize size = { 200, 100 }, QColor color = Qt::red) const
    {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(color);
        const QString path = folders.path(name);
        picture.save(path);
        return path;
    }
};
