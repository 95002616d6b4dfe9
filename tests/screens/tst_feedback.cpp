// The feedback form and the server address field, as real widgets offscreen against servers
// on 127.0.0.1.
#include "ScreenFixture.h"

#include "base/Localization.h"
#include "ui/account/AccountView.h"
#include "ui/account/ServerAddressRow.h"
#include "ui/account/SyncSection.h"
#include "ui/feedback/FeedbackView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

namespace {

Diagnostics::Bundle fixedBundle()
{
    return { QStringLiteral("ScrivelBar 1 (1)\nLinux Test\nMachine Box\n\n== Log (last 24 hours)\n"
                            "(nothing logged this session)"),
             2 };
}

// The parts of a multipart body by name.
QHash<QByteArray, QByteArray> parts(const TestSupport::HttpRequest &request)
{
    const QByteArray type = request.header("content-type");
    const QByteArray boundary = "--" + type.mid(type.indexOf("boundary=") + 9);
    QHash<QByteArray, QByteArray> found;
    qsizetype at = 0;
    while ((at = request.body.indexOf(boundary + "\r\n", at)) >= 0) {
        at += boundary.size() + 2;
        const qsizetype headEnd = request.body.indexOf("\r\n\r\n", at);
        const qsizetype next = request.body.indexOf("\r\n" + boundary, headEnd);
        const QByteArray head = request.body.mid(at, headEnd - at);
        const qsizetype nameAt = head.indexOf("name=\"") + 6;
        const QByteArray name = head.mid(nameAt, head.indexOf('"', nameAt) - nameAt);
        found.insert(name, request.body.mid(headEnd + 4, next - headEnd - 4));
    }
    return found;
}

} // namespace

class FeedbackTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenFixture> f;
    int m_dismissed = 0;

    std::unique_ptr<FeedbackView> makeForm(std::optional<QByteArray> picture = QByteArray("PNG!"))
    {
        FeedbackView::Options options;
        options.collect = fixedBundle;
        auto view = std::make_unique<FeedbackView>(f->sync.get(), std::move(picture),
                                                   [this] { ++m_dismissed; }, nullptr, options);
        view->resize(380, 520);
        view->show();
        return view;
    }

    static QPushButton *sendButton(QWidget *view)
    {
        return view->findChild<QPushButton *>(QStringLiteral("feedback.send"));
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }
    void init()
    {
        f = std::make_unique<ScreenFixture>();
        m_dismissed = 0;
    }
    void cleanup() { f.reset(); }

    void sendNeedsAMessage_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("only white space") << "   \n\t " << false;
        QTest::newRow("text") << "  the list is slow " << true;
    }
    void sendNeedsAMessage()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enabled);
        auto view = makeForm();
        view->findChild<QPlainTextEdit *>(QStringLiteral("feedback.message"))->setPlainText(typed);
        QTRY_COMPARE(sendButton(view.get())->isEnabled(), enabled);
        QCOMPARE(view->canSend(), enabled);
        // A blank message cannot be sent by the keyboard either. (Signed out, an attempt
        // fails at once, before any traffic.)
        QSignalSpy finished(view.get(), &FeedbackView::sendingFinished);
        view->send();
        QCOMPARE(view->isSending() || finished.count() > 0, enabled);
    }

    // What goes out, by the switches: the picture only when on, the bundle only when on
    // (even though it was collected).
    void sent_data()
    {
        QTest::addColumn<bool>("withPicture");
        QTest::addColumn<bool>("withDiagnostics");
        QTest::newRow("everything") << true << true;
        QTest::newRow("no picture") << false << true;
        QTest::newRow("no diagnostics") << true << false;
        QTest::newRow("message only") << false << false;
    }
    void sent()
    {
        QFETCH(bool, withPicture);
        QFETCH(bool, withDiagnostics);
        f->signIn();
        f->server->enqueue("POST", QStringLiteral("/v1/feedback"), [] {
            auto answer = TestSupport::HttpResponse::json({});
            answer.delayMs = 300;
            return answer;
        }());
        auto view = makeForm();
        QSignalSpy collected(view.get(), &FeedbackView::diagnosticsCollected);
        QTRY_VERIFY(view->diagnostics().has_value());
        auto *message = view->findChild<QPlainTextEdit *>(QStringLiteral("feedback.message"));
        message->setFocus();
        QTest::keyClicks(message, QStringLiteral("  Search misses accents  "));
        if (!withPicture)
            view->findChild<QAbstractButton *>(QStringLiteral("feedback.picture"))->click();
        if (!withDiagnostics)
            view->findChild<QAbstractButton *>(QStringLiteral("feedback.diagnostics"))->click();
        QTRY_VERIFY(sendButton(view.get())->isEnabled());
        QSignalSpy finished(view.get(), &FeedbackView::sendingFinished);
        sendButton(view.get())->click();

        // Sending: spinner, no second send, the message cannot change meanwhile.
        QVERIFY(view->isSending());
        QTRY_VERIFY(!sendButton(view.get())->isEnabled());
        QVERIFY(message->isReadOnly());
        QVERIFY(finished.wait(5000));
        QVERIFY(view->isSent());
        QVERIFY(view->problem().isEmpty());
        QTRY_VERIFY(view->findChild<QWidget *>(QStringLiteral("feedback.done"))->isVisible());
        QVERIFY(!view->findChild<QWidget *>(QStringLiteral("feedback.form"))->isVisible());
        QCOMPARE(view->findChild<QLabel *>(QStringLiteral("feedback.sent"))->text(),
                 L("feedback.sent"));

        const auto requests = f->server->requests(QStringLiteral("/v1/feedback"));
        QCOMPARE(requests.size(), 1);
        const auto form = parts(requests.first());
        QCOMPARE(form.value("message"), QByteArray("Search misses accents"));
        QCOMPARE(form.contains("picture"), withPicture);
        if (withPicture)
            QCOMPARE(form.value("picture"), QByteArray("PNG!"));
        QCOMPARE(form.contains("diagnostics"), withDiagnostics);
        QCOMPARE(form.contains("crashes"), withDiagnostics);
        if (withDiagnostics) {
            QCOMPARE(form.value("diagnostics"), fixedBundle().text.toUtf8());
            QCOMPARE(form.value("crashes"), QByteArray("2"));
        }
        for (const char *field : { "appVersion", "osVersion", "macModel", "lang" })
            QVERIFY2(form.contains(field), field);

        // OK closes the sheet.
        view->findChild<QPushButton *>(QStringLiteral("feedback.ok"))->click();
        QCOMPARE(m_dismissed, 1);
    }

    void failureIsKept()
    {
        f->signIn();
        f->server->enqueue("POST", QStringLiteral("/v1/feedback"),
                           TestSupport::HttpResponse::json(
                               { { QStringLiteral("error"), QStringLiteral("intake is full") } },
                               500));
        auto view = makeForm();
        view->findChild<QPlainTextEdit *>(QStringLiteral("feedback.message"))
            ->setPlainText(QStringLiteral("hello"));
        QSignalSpy finished(view.get(), &FeedbackView::sendingFinished);
        view->send();
        QVERIFY(finished.wait(5000));
        QVERIFY(!view->isSent());
        QCOMPARE(view->problem(), L("feedback.failed", QStringLiteral("intake is full")));
        auto *problem = view->findChild<QLabel *>(QStringLiteral("feedback.problem"));
        QTRY_VERIFY(problem->isVisible());
        QCOMPARE(problem->text(), view->problem());
        // The message stays for another try, which works.
        QCOMPARE(view->message(), QStringLiteral("hello"));
        QTRY_VERIFY(sendButton(view.get())->isEnabled());
        view->send();
        QVERIFY(view->problem().isEmpty());
        QVERIFY(finished.wait(5000));
        QVERIFY(view->isSent());
    }

    void signedOutSendFails()
    {
        auto view = makeForm();
        view->findChild<QPlainTextEdit *>(QStringLiteral("feedback.message"))
            ->setPlainText(QStringLiteral("hello"));
        QSignalSpy finished(view.get(), &FeedbackView::sendingFinished);
        view->send();
        QVERIFY(finished.count() > 0 || finished.wait(5000));
        QVERIFY(!view->isSent());
        QCOMPARE(view->problem(), L("feedback.failed", L("error.unauthorized")));
    }

    void diagnosticsBox()
    {
        auto view = makeForm(std::nullopt);
        // Without a picture the picture switch has nothing to decide.
        QVERIFY(!view->findChild<QWidget *>(QStringLiteral("feedback.picture"))->isVisible());
        auto *show = view->findChild<QPushButton *>(QStringLiteral("feedback.diagnostics.show"));
        auto *box = view->findChild<QPlainTextEdit *>(QStringLiteral("feedback.bundle"));
        QTRY_VERIFY(show->isEnabled());
        QVERIFY(!box->isVisible());
        show->click();
        QTRY_VERIFY(box->isVisible());
        QCOMPARE(box->toPlainText(), fixedBundle().text);
        QVERIFY(box->height() <= 140);
        QVERIFY(box->isReadOnly());
        show->click();
        QTRY_VERIFY(!box->isVisible());
    }

    void escapeAndCancelClose()
    {
        auto view = makeForm();
        auto *message = view->findChild<QPlainTextEdit *>(QStringLiteral("feedback.message"));
        QApplication::setActiveWindow(view.get());
        message->setFocus();
        QTest::keyClick(message, Qt::Key_Escape);
        QCOMPARE(m_dismissed, 1);
        view->findChild<QPushButton *>(QStringLiteral("feedback.cancel"))->click();
        QCOMPARE(m_dismissed, 2);
    }

    // The account screen's button takes the picture and shows the form in the screen's place.
    void openedFromTheAccountScreen()
    {
        f->signIn();
        AccountView view(f->store.get(), f->sync.get(), f->settings.get(), &f->dialogs, [] {});
        view.resize(380, 700);
        view.show();
        QApplication::setActiveWindow(&view);
        auto *button = view.findChild<QPushButton *>(QStringLiteral("feedback.button"));
        QVERIFY(button);
        QTRY_VERIFY(button->isVisible());
        QCOMPARE(button->text(), L("feedback.button"));
        button->click();
        FeedbackView *form = view.feedbackView();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QVERIFY(!view.findChild<QWidget *>(QStringLiteral("account.scroll"))->isVisible());
        // The panel's picture was taken: the picture switch shows.
        QVERIFY(form->findChild<QWidget *>(QStringLiteral("feedback.picture"))->isVisible());
        form->findChild<QPushButton *>(QStringLiteral("feedback.cancel"))->click();
        QVERIFY(!view.feedbackView());
        QTRY_VERIFY(view.findChild<QWidget *>(QStringLiteral("account.scroll"))->isVisible());
    }
};

// The server address field: kept only after /health answered, asking first while signed in.
class ServerAddressTest : public QObject
{
    Q_OBJECT

    TestSupport::TempFolders m_folders;

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void change_data()
    {
        QTest::addColumn<QString>("target"); // "new", "closed", or an address
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("note"); // the expected note: "", "invalid", "failed"
        QTest::addColumn<bool>("switched");
        QTest::newRow("signed out: a healthy server is kept") << "new" << false << true << ""
                                                              << true;
        QTest::newRow("signed in, accepted: signs out, then switches")
            << "new" << true << true << "" << true;
        QTest::newRow("signed in, declined: nothing changes") << "new" << true << false << ""
                                                              << false;
        QTest::newRow("nobody answers") << "closed" << false << true << "failed" << false;
        QTest::newRow("plain http over the network") << "http://192.168.1.20:8080" << false
                                                     << true << "invalid" << false;
        QTest::newRow("not an address") << "scrivel server" << false << true << "invalid"
                                        << false;
    }
    void change()
    {
        QFETCH(QString, target);
        QFETCH(bool, signedIn);
        QFETCH(bool, accept);
        QFETCH(QString, note);
        QFETCH(bool, switched);

        TestSupport::TestHttpServer oldServer, newServer;
        QVERIFY(oldServer.listen());
        QVERIFY(newServer.listen());
        for (auto *server : { &oldServer, &newServer }) {
            server->setHandler([](const TestSupport::HttpRequest &request) {
                if (request.path == u"/health")
                    return TestSupport::healthAnswer();
                if (request.path == u"/v1/auth/me")
                    return TestSupport::meAnswer(TestSupport::userJson(
                        QStringLiteral("u1"), QStringLiteral("me@example.com")));
                return TestSupport::HttpResponse::json({});
            });
        }
        QString address = target;
        if (target == u"new") {
            address = newServer.url();
        } else if (target == u"closed") {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            address = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
        }

        QTemporaryDir dir;
        AppSettings settings(dir.filePath(QStringLiteral("settings.ini")));
        QVERIFY(settings.setServerURL(oldServer.url()));
        NoteStore::Options storeOptions;
        storeOptions.notesFolder = dir.filePath(QStringLiteral("notes"));
        storeOptions.supportFolder = dir.filePath(QStringLiteral("support"));
        storeOptions.watchFolder = false;
        storeOptions.backgroundIndexWrites = false;
        NoteStore store(storeOptions);
        MemoryKeychain keychain;
        if (signedIn) {
            keychain.set(Keychain::syncService(), Keychain::sessionTokenAccount(),
                         QStringLiteral("tok"));
            settings.setEmail(QStringLiteral("me@example.com"));
        }
        SyncEngine::Options options;
        options.syncInterval = std::chrono::hours(1);
        options.changeDebounce = std::chrono::hours(1);
        SyncEngine sync(&store, &settings, &keychain, options);
        QTRY_VERIFY(!sync.isRestoringSession());
        QCOMPARE(sync.account().has_value(), signedIn);
        ScriptedDialogs dialogs;
        dialogs.confirmAnswer = accept;

        AccountView view(&store, &sync, &settings, &dialogs, [] {});
        view.resize(380, 700);
        view.show();
        ServerAddressRow *row = view.syncSection()->serverAddress();
        auto *field = row->findChild<QLineEdit *>(QStringLiteral("account.server.field"));
        QCOMPARE(field->text(), oldServer.url());
        QSignalSpy checked(row, &ServerAddressRow::checkFinished);
        field->setText(address);
        row->findChild<QPushButton *>(QStringLiteral("account.server.apply"))->click();
        QVERIFY(checked.count() > 0 || checked.wait(10000));
        if (switched)
            QTRY_COMPARE(settings.serverURL(), newServer.url());
        QTRY_VERIFY(!view.isBusy());

        QCOMPARE(dialogs.confirmations.size(), signedIn ? 1 : 0);
        if (signedIn)
            QCOMPARE(dialogs.confirmations.first().acceptText, L("account.server.change.action"));
        QCOMPARE(settings.serverURL(), switched ? newServer.url() : oldServer.url());
        // Kept in the settings file for the next start.
        QCOMPARE(AppSettings(dir.filePath(QStringLiteral("settings.ini"))).serverURL(),
                 settings.serverURL());
        if (note == u"invalid")
            QCOMPARE(row->status(), L("account.server.invalid"));
        else if (note == u"failed")
            QVERIFY(row->status().startsWith(L("account.server.checkFailed", QString()).left(10)));
        else
            QVERIFY(row->status().isEmpty());
        // A new address was checked at the new server before it was kept; an invalid one
        // reached no server at all.
        QCOMPARE(newServer.requests(QStringLiteral("/health")).isEmpty(), target != u"new");
        if (signedIn && switched) {
            // Signed out at the old server, with the old session; now signed out here.
            QCOMPARE(oldServer.requests(QStringLiteral("/v1/auth/logout")).size(), 1);
            QVERIFY(!sync.account());
            QCOMPARE(sync.state().kind, SyncState::Kind::SignedOut);
        } else if (signedIn) {
            QVERIFY(sync.account().has_value());
            QCOMPARE(field->text(), oldServer.url());
        }
        if (switched)
            QTRY_VERIFY(!newServer.requests(QStringLiteral("/health")).isEmpty());
    }

    // The development override still decides, and the field says so instead of offering a
    // change.
    void developmentOverrideWins()
    {
        qputenv("SCRIVEL_DEV_SERVER", "http://127.0.0.1:9/");
        QTemporaryDir dir;
        AppSettings settings(dir.filePath(QStringLiteral("settings.ini")));
        QVERIFY(settings.setServerURL(QStringLiteral("https://notes.example.org")));
        QCOMPARE(settings.serverURL(), QStringLiteral("http://127.0.0.1:9"));
        QCOMPARE(settings.chosenServerURL(), QStringLiteral("https://notes.example.org"));
        NoteStore::Options storeOptions;
        storeOptions.notesFolder = dir.filePath(QStringLiteral("notes"));
        storeOptions.supportFolder = dir.filePath(QStringLiteral("support"));
        storeOptions.watchFolder = false;
        NoteStore store(storeOptions);
        SyncEngine sync(&store, &settings, nullptr, SyncEngine::Options {});
        ScriptedDialogs dialogs;
        AccountView view(&store, &sync, &settings, &dialogs, [] {});
        view.resize(380, 700);
        view.show();
        ServerAddressRow *row = view.syncSection()->serverAddress();
        auto *field = row->findChild<QLineEdit *>(QStringLiteral("account.server.field"));
        QVERIFY(field->isReadOnly());
        QCOMPARE(field->text(), QStringLiteral("http://127.0.0.1:9"));
        QCOMPARE(row->status(), L("account.server.devOverride", QStringLiteral("http://127.0.0.1:9")));
        QVERIFY(!row->findChild<QPushButton *>(QStringLiteral("account.server.apply"))->isVisible());
        qunsetenv("SCRIVEL_DEV_SERVER");
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int status = 0;
    {
        FeedbackTest feedback;
        status |= QTest::qExec(&feedback, argc, argv);
    }
    {
        ServerAddressTest server;
        status |= QTest::qExec(&server, argc, argv);
    }
    return status;
}

#include "tst_feedback.moc"
