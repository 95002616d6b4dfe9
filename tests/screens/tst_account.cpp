// The account screen against real parts: a note store on temporary folders, settings in a
// temporary INI file with an in-memory login item, and a sync engine talking to a scripted
// HTTP server on 127.0.0.1 (signed in = a session token in the keychain and an e-mail in the
// settings). Confirmations and the folder chooser are answered by ScriptedDialogs.
#include "ServerAnswers.h"
#include "ScriptedDialogs.h"
#include "RecordingBrowser.h"
#include "MemoryLoginItem.h"
#include "MemoryKeychain.h"
#include "ScriptedHotKeys.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "platform/Browser.h"
#include "platform/HotKeyManager.h"
#include "platform/Keychain.h"
#include "platform/LoginItem.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "telemetry/Telemetry.h"
#include "ui/account/AccountView.h"
#include "ui/account/NotesFolderSection.h"
#include "ui/widgets/Avatar.h"
#include "ui/shell/Dialogs.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

using TestSupport::HttpRequest;
using TestSupport::HttpResponse;

namespace {

QString fullText(const QLabel *label)
{
    return label->property("fullText").toString();
}

QByteArray png()
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class TestAccountView : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSupport::TempFolders> m_folders;
    std::unique_ptr<TestSupport::TestHttpServer> m_server;
    std::unique_ptr<MemoryKeychain> m_keychain;
    MemoryLoginItem *m_loginItem = nullptr; // owned by the settings
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<NoteStore> m_store;
    std::unique_ptr<RecordingBrowser> m_browser;
    std::unique_ptr<Telemetry> m_telemetry;
    std::unique_ptr<SyncEngine> m_sync;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QStringList m_hotKeyLog;
    std::function<void()> m_hotKeyPress;
    ScriptedHotKeys *m_desktopKeys = nullptr; // owned by the hot-key manager
    std::unique_ptr<HotKeyManager> m_hotKeys;
    std::unique_ptr<AccountView> m_view;
    // What the scripted server says about itself; a status other than 200 fails the check.
    int m_healthStatus = 200;
    TestSupport::HealthOptions m_health;
    std::optional<QJsonObject> m_usage;
    QJsonObject m_telemetryState;
    int m_syncStatus = 200;
    int m_showTrash = 0;
    int m_backs = 0;

    HttpResponse answer(const HttpRequest &request)
    {
        const QString path = request.path;
        if (path == u"/health") {
            if (m_healthStatus != 200)
                return HttpResponse::text("{}", m_healthStatus);
            return TestSupport::healthAnswer(m_health);
        }
        if (path == u"/v1/auth/me")
            return TestSupport::meAnswer(
                TestSupport::userJson(QStringLiteral("u1"), QStringLiteral("me@example.com")),
                m_telemetryState);
        if (path == u"/v1/media/usage" && m_usage)
            return HttpResponse::json(*m_usage);
        if (path == u"/v1/telemetry/choice")
            return HttpResponse::json(
                { { QStringLiteral("beta"), false },
                  { QStringLiteral("required"), false },
                  { QStringLiteral("enabled"), request.json().value(QStringLiteral("enabled")) } });
        if (path == u"/v1/sync") {
            if (m_syncStatus != 200)
                return HttpResponse::text("{}", m_syncStatus);
            return TestSupport::syncAnswerAccepting(request, 1);
        }
        return HttpResponse::json({});
    }

    // A new engine: signed in when `signedIn` (it names the account before this returns).
    void startEngine(bool signedIn)
    {
        m_view.reset();
        m_sync.reset();
        m_keychain = std::make_unique<MemoryKeychain>();
        if (signedIn)
            m_keychain->set(Keychain::syncService(), Keychain::sessionTokenAccount(),
                            QStringLiteral("tok"));
        m_settings->setEmail(signedIn ? QStringLiteral("me@example.com") : QString());
        SyncEngine::Options options;
        options.serverURL = m_server->url();
        options.syncInterval = std::chrono::hours(1);
        options.changeDebounce = std::chrono::hours(1);
        options.browser = m_browser.get();
        options.telemetry = m_telemetry.get();
        m_sync = std::make_unique<SyncEngine>(m_store.get(), m_settings.get(), m_keychain.get(),
                                              options);
        if (signedIn)
            QTRY_VERIFY(m_sync->account() && m_sync->account()->id == u"u1");
    }

    // Shows the screen and waits for the health check it starts.
    AccountView *show()
    {
        m_view = std::make_unique<AccountView>(m_store.get(), m_sync.get(), m_settings.get(),
                                               m_dialogs.get(), [this] { ++m_backs; },
                                               [this] { ++m_showTrash; },
                                               m_telemetry.get(), m_hotKeys.get());
        m_view->resize(380, 800);
        QSignalSpy checked(m_sync.get(), &SyncEngine::healthChanged);
        m_view->show();
        if (!checked.wait(10000))
            qWarning("no health answer");
        QCoreApplication::processEvents();
        return m_view.get();
    }

    template<typename T> T *child(const char *name) const
    {
        T *widget = m_view->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no child %s", name);
        return widget;
    }
    bool shown(const char *name) const { return child<QWidget>(name)->isVisibleTo(m_view.get()); }

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void init()
    {
        m_folders = std::make_unique<TestSupport::TempFolders>();
        m_server = std::make_unique<TestSupport::TestHttpServer>();
        QVERIFY(m_server->listen());
        m_server->setHandler([this](const HttpRequest &request) { return answer(request); });
        m_healthStatus = 200;
        m_health
            = { .version = QStringLiteral("2.1"), .googleClientId = QStringLiteral("client-1") };
        m_usage.reset();
        m_telemetryState = {};
        m_syncStatus = 200;
        m_showTrash = 0;
        m_backs = 0;
        auto loginItem = std::make_unique<MemoryLoginItem>();
        m_loginItem = loginItem.get();
        m_settings = std::make_unique<AppSettings>(m_folders->path(QStringLiteral("settings.ini")),
                                                   std::move(loginItem));
        NoteStore::Options options;
        options.notesFolder = m_folders->notes();
        options.supportFolder = m_folders->support();
        options.noteWriteDelay = std::chrono::milliseconds(5);
        options.indexWriteDelay = std::chrono::milliseconds(5);
        options.watchFolder = false;
        options.backgroundIndexWrites = false;
        m_store = std::make_unique<NoteStore>(options);
        m_store->movesToSystemTrash = false;
        m_browser = std::make_unique<RecordingBrowser>();
        m_telemetry = std::make_unique<Telemetry>();
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_hotKeyLog.clear();
        auto desktopKeys = std::make_unique<ScriptedHotKeys>(&m_hotKeyLog, &m_hotKeyPress);
        m_desktopKeys = desktopKeys.get();
        m_hotKeys = std::make_unique<HotKeyManager>(std::move(desktopKeys));
        startEngine(false);
    }

    void cleanup()
    {
        Localization::setLanguage(AppLanguage::En);
        m_view.reset();
        m_hotKeys.reset();
        m_sync.reset();
        m_store.reset();
        m_settings.reset();
        m_server.reset();
        m_folders.reset();
    }

    // ---- signed out -------------------------------------------------------------------------

    void signInButtonEnabling_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("google");
        QTest::addColumn<bool>("clientId");
        QTest::addColumn<bool>("terms");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("health failed, terms accepted") << 503 << true << true << true << false;
        QTest::newRow("no Google sign-in") << 200 << false << true << true << false;
        QTest::newRow("Google without a client id") << 200 << true << false << true << false;
        QTest::newRow("terms not accepted") << 200 << true << true << false << false;
        QTest::newRow("all good") << 200 << true << true << true << true;
    }

    void signInButtonEnabling()
    {
        QFETCH(int, status);
        QFETCH(bool, google);
        QFETCH(bool, clientId);
        QFETCH(bool, terms);
        QFETCH(bool, enabled);
        m_healthStatus = status;
        m_health.google = google;
        if (!clientId)
            m_health.googleClientId.reset();
        show();
        auto *signIn = child<QPushButton>("account.google");
        QVERIFY(shown("account.signedOut"));
        QVERIFY(!shown("account.signedIn"));
        QVERIFY(!signIn->isEnabled()); // the terms start unaccepted
        if (terms)
            child<QAbstractButton>("account.terms")->click();
        QCOMPARE(m_view->acceptedTerms(), terms);
        QCOMPARE(signIn->isEnabled(), enabled);
        QCOMPARE(m_view->canSignIn(), enabled);

        // A click on a disabled button starts no browser; an enabled one starts one flow, and
        // a second click while it runs does nothing.
        signIn->click();
        signIn->click();
        m_view->signIn();
        QCOMPARE(m_browser->opened.size(), enabled ? 1 : 0);
        QCOMPARE(m_view->isBusy(), enabled);
        QCOMPARE(shown("account.spinner"), enabled);
    }

    // The browser never comes back: the wait can be ended from the screen, also from a new
    // visit of the screen, and it ends as cancelled without asking the server for anything.
    void signInCanBeCancelled()
    {
        show();
        child<QAbstractButton>("account.terms")->click();
        m_view->signIn();
        QCOMPARE(m_browser->opened.size(), 1);
        QTRY_VERIFY(shown("account.google.cancel"));

        // Back to the screen later: it still shows the sign-in as running.
        show();
        QVERIFY(m_sync->isSigningIn());
        QVERIFY(shown("account.spinner"));
        QVERIFY(shown("account.google.cancel"));
        child<QAbstractButton>("account.terms")->click();
        QVERIFY(!child<QPushButton>("account.google")->isEnabled());

        QSignalSpy ended(m_sync.get(), &SyncEngine::accountOperationFinished);
        child<QPushButton>("account.google.cancel")->click();
        QVERIFY(ended.count() > 0 || ended.wait(2000)); // not the five-minute timeout
        QCOMPARE(m_sync->state(), SyncState::failed(L("account.google.cancelled")));
        QVERIFY(!m_sync->isSigningIn());
        QTRY_VERIFY(!shown("account.google.cancel"));
        QVERIFY(!shown("account.spinner"));
        QVERIFY(child<QPushButton>("account.google")->isEnabled());
        QVERIFY(m_server->requests(QStringLiteral("/v1/auth/google")).isEmpty());
    }

    void termsLinkOnlyForWebAddresses_data()
    {
        QTest::addColumn<QString>("terms");
        QTest::addColumn<bool>("shown");
        QTest::newRow("none") << QString() << false;
        QTest::newRow("https") << QStringLiteral("https://example.org/terms") << true;
        QTest::newRow("script") << QStringLiteral("javascript:alert(1)") << false;
        QTest::newRow("file") << QStringLiteral("file:///etc/passwd") << false;
    }

    void termsLinkOnlyForWebAddresses()
    {
        QFETCH(QString, terms);
        QFETCH(bool, shown);
        m_health.termsUrl = terms;
        show();
        QTRY_COMPARE(this->shown("account.terms.link"), shown);
        if (shown)
            QVERIFY(child<QLabel>("account.terms.link")->text().contains(terms));
    }

    // ---- the server status line -------------------------------------------------------------

    void serverStatusLine_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("media");
        QTest::addColumn<bool>("signup");
        QTest::addColumn<QStringList>("parts");
        const QString usage = L("account.server.usage", 25,
                                Localization::locale().formattedDataSize(
                                    qint64(1) << 30, 1, QLocale::DataSizeIecFormat));
        QTest::newRow("unreachable")
            << false << 503 << false << true
            << QStringList { L("account.server.unreachable",
                               APIError::server(503, {}).description()) };
        QTest::newRow("ok, media on, usage")
            << true << 200 << true << true
            << QStringList { L("account.server.ok", QStringLiteral("2.1")),
                             L("account.server.media.on"), usage };
        QTest::newRow("ok, media on, signed out: no usage")
            << false << 200 << true << true
            << QStringList { L("account.server.ok", QStringLiteral("2.1")),
                             L("account.server.media.on") };
        QTest::newRow("media off")
            << true << 200 << false << true
            << QStringList { L("account.server.ok", QStringLiteral("2.1")),
                             L("account.server.media.off") };
        QTest::newRow("sign-ups closed")
            << false << 200 << false << false
            << QStringList { L("account.server.ok", QStringLiteral("2.1")),
                             L("account.server.media.off"), L("account.server.signup.off") };
    }

    void serverStatusLine()
    {
        QFETCH(bool, signedIn);
        QFETCH(int, status);
        QFETCH(bool, media);
        QFETCH(bool, signup);
        QFETCH(QStringList, parts);
        m_healthStatus = status;
        m_health.media = media;
        m_health.signup = signup;
        m_usage = TestSupport::mediaUsageJson(qint64(1) << 28, qint64(1) << 30, 1000000);
        startEngine(signedIn);
        show();
        QTRY_COMPARE(m_view->serverStatusLine(), parts.join(QStringLiteral(" · ")));
    }

    // Usage known from a server with media goes away when the server stops storing media.
    void mediaOffHidesKnownUsage()
    {
        m_health.media = true;
        m_usage = TestSupport::mediaUsageJson(10, 100, 100);
        startEngine(true);
        show();
        QTRY_VERIFY(m_sync->mediaUsage());
        QTRY_COMPARE(m_view->serverStatusLine().split(QStringLiteral(" · ")).size(), 3);
        m_health.media = false;
        m_sync->checkHealth();
        QTRY_COMPARE(m_view->serverStatusLine(),
                     L("account.server.ok", QStringLiteral("2.1")) + QStringLiteral(" · ")
                         + L("account.server.media.off"));
    }

    // ---- signed in --------------------------------------------------------------------------

    void signedInShowsAccountAndPending()
    {
        startEngine(true);
        m_store->create(QStringLiteral("one"));
        m_store->create(QStringLiteral("two"));
        show();
        QVERIFY(shown("account.signedIn"));
        QVERIFY(!shown("account.signedOut"));
        QCOMPARE(fullText(child<QLabel>("account.email")), QStringLiteral("me@example.com"));
        auto *line = child<QLabel>("account.syncLine");
        QCOMPARE(line->text(), L("account.pending", 2));
        QVERIFY(!shown("account.sync.notIncluded"));

        child<QPushButton>("account.syncNow")->click();
        QVERIFY(m_view->isBusy());
        QVERIFY(!child<QPushButton>("account.syncNow")->isEnabled());
        QTRY_VERIFY(!m_view->isBusy());
        QTRY_COMPARE(line->text(), L("account.allUploaded"));
        QCOMPARE(m_server->requests(QStringLiteral("/v1/sync")).size(), 1);

        // An account without sync: the caption and the local-only line.
        m_syncStatus = 402;
        m_store->create(QStringLiteral("three"));
        child<QPushButton>("account.syncNow")->click();
        QTRY_VERIFY(!m_view->isBusy());
        QTRY_VERIFY(shown("account.sync.notIncluded"));
        QCOMPARE(line->text(), L("account.sync.localOnlyLine"));
    }

    // A sync that cannot start announces no end: the screen must not stay busy.
    void syncNowThatStartsNothingIsNotBusy()
    {
        show();
        m_view->syncNow();
        QVERIFY(!m_view->isBusy());
        m_view->openDashboard(); // ends with the engine's signal
        QTRY_VERIFY(!m_view->isBusy());
    }

    void signOutConfirmation_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("cancel") << false;
        QTest::newRow("accept") << true;
    }

    void signOutConfirmation()
    {
        QFETCH(bool, accept);
        startEngine(true);
        show();
        HttpResponse slow = HttpResponse::json({});
        slow.delayMs = 500;
        m_server->enqueue("POST", QStringLiteral("/v1/auth/logout"), slow);
        m_dialogs->confirmAnswer = accept;
        auto *signOut = child<QPushButton>("account.signOut");
        signOut->click();
        QCOMPARE(m_dialogs->confirmations.size(), 1);
        QCOMPARE(m_dialogs->confirmations.first().title, L("account.signOut.title"));
        QCOMPARE(m_dialogs->confirmations.first().acceptText, L("account.signOut"));
        if (!accept) {
            QVERIFY(!m_view->isBusy());
            QTest::qWait(50);
            QVERIFY(m_server->requests(QStringLiteral("/v1/auth/logout")).isEmpty());
            QVERIFY(m_sync->account());
            return;
        }
        // While the server takes its time, the operations are off and a second tap is ignored.
        QTRY_COMPARE(m_server->requests(QStringLiteral("/v1/auth/logout")).size(), 1);
        QVERIFY(m_view->isBusy());
        for (const char *name : { "account.syncNow", "account.dashboard", "account.signOut",
                                  "account.deleteAccount" })
            QVERIFY2(!child<QPushButton>(name)->isEnabled(), name);
        signOut->click();
        m_view->confirmSignOut();
        child<QPushButton>("account.syncNow")->click();
        m_view->syncNow();
        QCOMPARE(m_dialogs->confirmations.size(), 1);

        QTRY_VERIFY(!m_view->isBusy());
        QTRY_VERIFY(shown("account.signedOut"));
        QCOMPARE(m_server->requests(QStringLiteral("/v1/auth/logout")).size(), 1);
        QVERIFY(m_server->requests(QStringLiteral("/v1/sync")).isEmpty());
        QVERIFY(!shown("account.deleteAccount"));
        QVERIFY(shown("account.deleteAccount.signedOut"));
    }

    void deleteAccount_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<bool>("accept");
        QTest::newRow("signed out") << false << false;
        QTest::newRow("signed in, cancel") << true << false;
        QTest::newRow("signed in, accept") << true << true;
    }

    void deleteAccount()
    {
        QFETCH(bool, signedIn);
        QFETCH(bool, accept);
        startEngine(signedIn);
        show();
        QCOMPARE(shown("account.deleteAccount"), signedIn);
        QCOMPARE(shown("account.deleteAccount.signedOut"), !signedIn);
        m_dialogs->confirmAnswer = accept;
        m_view->confirmDeleteAccount();
        QCOMPARE(m_dialogs->confirmations.size(), signedIn ? 1 : 0);
        if (signedIn) {
            QCOMPARE(m_dialogs->confirmations.first().title, L("account.deleteAccount.title"));
            QCOMPARE(m_dialogs->confirmations.first().message, L("account.deleteAccount.message"));
            QVERIFY(m_dialogs->confirmations.first().destructive);
        }
        QTRY_VERIFY(!m_view->isBusy());
        QCOMPARE(m_server->requests(QStringLiteral("/v1/auth/delete-account")).size(), accept ? 1 : 0);
        QCOMPARE(bool(m_sync->account()), signedIn && !accept);
    }

    void telemetryRow_data()
    {
        QTest::addColumn<bool>("required");
        QTest::newRow("optional") << false;
        QTest::newRow("required") << true;
    }

    void telemetryRow()
    {
        QFETCH(bool, required);
        m_telemetryState = TestSupport::telemetryJson(false, required, required);
        startEngine(true);
        QTRY_COMPARE(m_telemetry->state().required, required);
        show();
        QCOMPARE(shown("telemetry.required"), required);
        QCOMPARE(shown("telemetry.optional"), !required);
        QVERIFY(child<QLabel>("telemetry.privacy")->text().contains(
            m_settings->serverURL() + QStringLiteral("/privacy")));
        if (required)
            return;
        auto *toggle = child<QAbstractButton>("telemetry.optional");
        QVERIFY(!toggle->isChecked());
        toggle->click();
        QTRY_VERIFY(m_telemetry->state().enabled);
        QCOMPARE(m_server->requests(QStringLiteral("/v1/telemetry/choice")).size(), 1);
        QVERIFY(toggle->isChecked());
    }

    // Everything fits the panel's width: no control reaches past the column in any language.
    void fitsThePanelWidth_data()
    {
        QTest::addColumn<AppLanguage>("language");
        QTest::addColumn<bool>("signedIn");
        for (const auto &[name, language] : { std::pair { "en", AppLanguage::En },
                                              std::pair { "es", AppLanguage::Es },
                                              std::pair { "pt", AppLanguage::Pt } }) {
            QTest::addRow("%s, signed out", name) << language << false;
            QTest::addRow("%s, signed in", name) << language << true;
        }
    }

    void fitsThePanelWidth()
    {
        QFETCH(AppLanguage, language);
        QFETCH(bool, signedIn);
        m_settings->setLanguage(language);
        m_store->setLastError(QStringLiteral("A long problem text that has to wrap onto several lines "
                                             "instead of widening the column of the screen"));
        startEngine(signedIn);
        show();
        QCoreApplication::processEvents();
        auto *content = child<QWidget>("account.content");
        auto *scroll = child<QScrollArea>("account.scroll");
        QVERIFY(content->width() <= scroll->viewport()->width());
        for (QWidget *widget : content->findChildren<QWidget *>()) {
            if (!widget->isVisibleTo(m_view.get()) || widget->width() == 0)
                continue;
            const QRect area(widget->mapTo(content, QPoint(0, 0)), widget->size());
            QVERIFY2(area.right() < content->width() - 8,
                     qPrintable(widget->objectName() + u' ' + widget->metaObject()->className()));
        }
    }

    // ---- preferences ------------------------------------------------------------------------

    void preferencesWriteThrough()
    {
        show();
        // Every slider position is a height in steps of 20, and so is every key press.
        auto *slider = child<QSlider>("account.panelHeight");
        QCOMPARE(slider->value(), (AppSettings::defaultPanelHeight - 380) / 20);
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(m_settings->panelHeight(), AppSettings::defaultPanelHeight + 20);
        slider->setValue(slider->maximum());
        QCOMPARE(m_settings->panelHeight(), 900);
        slider->setValue(1);
        QCOMPARE(m_settings->panelHeight(), 400);
        QTRY_COMPARE(child<QLabel>("account.panelHeight.value")->text(), QStringLiteral("400"));

        auto *language = child<QComboBox>("account.language");
        QCOMPARE(language->count(), 4);
        QCOMPARE(language->itemText(0), L("account.language.system"));
        const QString english = child<QPushButton>("account.google")->text();
        language->setCurrentIndex(2);
        QCOMPARE(m_settings->language(), AppLanguage::Es);
        // The screen speaks the new language at once.
        QCOMPARE(child<QPushButton>("account.google")->text(), L("account.google"));
        QVERIFY(child<QPushButton>("account.google")->text() != english);
        m_settings->setLanguage(AppLanguage::System);
        Localization::setLanguage(AppLanguage::En);
        QTRY_COMPARE(language->currentIndex(), 0);

        auto *hotKey = child<QComboBox>("account.hotkey");
        QCOMPARE(hotKey->itemText(0), L("hotkey.off"));
        hotKey->setCurrentIndex(hotKey->findData(int(HotKeyCombo::ControlOptionN)));
        QCOMPARE(m_settings->hotKey(), HotKeyCombo::ControlOptionN);
        m_settings->setHotKey(HotKeyCombo::None); // and back from the settings
        QTRY_COMPARE(hotKey->currentIndex(), 0);

        child<QAbstractButton>("account.icon.rectangle.stack")->click();
        QCOMPARE(m_settings->menuBarIcon(), MenuBarIcon::Stack);

        child<QAbstractButton>("account.launchAtLogin")->click();
        QVERIFY(m_settings->launchAtLogin());
        QCOMPARE(m_loginItem->registerCalls(), 1);
    }

    // A hot key that does not work is never shown as if it did: the row says why and offers
    // the desktop shortcut, whose command the button copies.
    void hotKeyRowSaysWhenItDoesNotWork_data()
    {
        QTest::addColumn<QString>("combo");
        QTest::addColumn<QString>("taken");
        QTest::addColumn<bool>("unavailable");
        QTest::addColumn<QString>("problem"); // the key of the text shown; empty: none
        QTest::newRow("active") << "optionSpace" << "" << false << "";
        QTest::newRow("off") << "none" << "" << false << "";
        QTest::newRow("taken") << "optionSpace" << "optionSpace" << false << "account.hotkey.taken";
        QTest::newRow("unsupported") << "controlSpace" << "" << true << "account.hotkey.unsupported";
    }

    void hotKeyRowSaysWhenItDoesNotWork()
    {
        QFETCH(QString, combo);
        QFETCH(QString, taken);
        QFETCH(bool, unavailable);
        QFETCH(QString, problem);
        const HotKeyCombo chosen = hotKeyComboFromRawValue(combo, HotKeyCombo::None);
        if (!taken.isEmpty())
            m_desktopKeys->taken = hotKeyComboFromRawValue(taken, HotKeyCombo::None);
        m_desktopKeys->unavailable = unavailable;
        m_settings->setHotKey(chosen);
        m_hotKeys->apply(globalHotKey(chosen), [] {});
        show();

        const auto *problemLine = child<QLabel>("account.hotkey.problem");
        QCOMPARE(shown("account.hotkey.problem"), !problem.isEmpty());
        QCOMPARE(shown("account.hotkey.fallback"), !problem.isEmpty());
        QVERIFY(!shown("account.hotkey.notice"));
        if (problem == u"account.hotkey.taken")
            QCOMPARE(problemLine->text(), L("account.hotkey.taken", hotKeyComboLabel(chosen)));
        else if (!problem.isEmpty())
            QCOMPARE(problemLine->text(), L(qPrintable(problem)));
        if (problem.isEmpty())
            return;

        QCOMPARE(child<QLabel>("account.hotkey.command")->text(),
                 QStringLiteral("scrivelbar --toggle"));
        QGuiApplication::clipboard()->clear();
        auto *copy = child<QPushButton>("account.hotkey.copy");
        QCOMPARE(copy->text(), L("account.hotkey.copy"));
        copy->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("scrivelbar --toggle"));

        // A free combination chosen afterwards clears the warning.
        if (!unavailable) {
            m_settings->setHotKey(HotKeyCombo::ControlOptionN);
            m_hotKeys->apply(globalHotKey(HotKeyCombo::ControlOptionN), [] {});
            QTRY_VERIFY(!shown("account.hotkey.problem"));
            QVERIFY(!shown("account.hotkey.fallback"));
        }
    }

    // The first start's replacement for a taken default is said on the screen, until the user
    // picks a hot key.
    void replacedDefaultIsSaidOnce()
    {
        m_desktopKeys->taken = HotKeyCombo::OptionSpace;
        const QList<GlobalHotKey> candidates { *globalHotKey(HotKeyCombo::OptionSpace),
                                               *globalHotKey(HotKeyCombo::ControlSpace) };
        QCOMPARE(m_hotKeys->applyFirstFree(candidates, [] {}), qsizetype(1));
        m_settings->setHotKey(HotKeyCombo::ControlSpace);
        show();
        QVERIFY(shown("account.hotkey.notice"));
        QCOMPARE(child<QLabel>("account.hotkey.notice")->text(),
                 L("account.hotkey.replaced", hotKeyComboLabel(HotKeyCombo::OptionSpace),
                   hotKeyComboLabel(HotKeyCombo::ControlSpace)));
        QVERIFY(!shown("account.hotkey.problem"));
        m_hotKeys->apply(globalHotKey(HotKeyCombo::ControlOptionN), [] {});
        m_settings->setHotKey(HotKeyCombo::ControlOptionN);
        QTRY_VERIFY(!shown("account.hotkey.notice"));
    }

    // Escape on an open drop-down closes the drop-down and nothing else; once it is closed,
    // Escape leaves the screen as usual. The keys go where the window system sends them: to
    // the focus widget, which is the open list.
    void escapeClosesOnlyTheDropDown_data()
    {
        QTest::addColumn<QString>("picker");
        QTest::newRow("hot key") << QStringLiteral("account.hotkey");
        QTest::newRow("language") << QStringLiteral("account.language");
    }

    void escapeClosesOnlyTheDropDown()
    {
        QFETCH(QString, picker);
        show();
        m_view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
        auto *combo = m_view->findChild<QComboBox *>(picker);
        QVERIFY(combo);
        const int index = combo->currentIndex();
        // The back button reacts to its shortcut by pressing itself at once and clicking a
        // moment later.
        QSignalSpy pressed(child<QAbstractButton>("account.back"), &QAbstractButton::pressed);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_F4);
        QTRY_VERIFY(combo->view()->isVisible());
        QVERIFY(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!combo->view()->isVisible());
        QCOMPARE(pressed.count(), 0);
        QCOMPARE(m_backs, 0);
        QCOMPARE(combo->currentIndex(), index);

        QTest::keyClick(m_view.get(), Qt::Key_Escape);
        QCOMPARE(pressed.count(), 1);
        QTRY_COMPARE(m_backs, 1);
    }

    // Each tray icon choice names what it shows, with the group it belongs to, in the
    // interface language.
    void trayIconChoicesHaveTheirOwnNames_data()
    {
        QTest::addColumn<AppLanguage>("language");
        QTest::newRow("en") << AppLanguage::En;
        QTest::newRow("es") << AppLanguage::Es;
        QTest::newRow("pt") << AppLanguage::Pt;
    }

    void trayIconChoicesHaveTheirOwnNames()
    {
        QFETCH(AppLanguage, language);
        show();
        m_settings->setLanguage(language);
        const std::pair<const char *, const char *> meanings[] = {
            { "list.bullet.below.rectangle", "account.icon.list" },
            { "textformat.abc.dottedunderline", "account.icon.dotted" },
            { "pencil.and.outline", "account.icon.pencil" },
            { "doc.append", "account.icon.append" },
            { "rectangle.stack", "account.icon.stack" },
        };
        QSet<QString> names;
        for (const auto &[symbol, meaning] : meanings) {
            const QString name = QStringLiteral("account.icon.") + QLatin1String(symbol);
            auto *choice = m_view->findChild<QAbstractButton *>(name);
            QVERIFY2(choice, qPrintable(name));
            const QString spoken = choice->accessibleName();
            QCOMPARE(spoken, L("account.icon.choice", L(meaning)));
            QVERIFY2(spoken.contains(L(meaning)), qPrintable(spoken));
            QVERIFY2(spoken.contains(L("account.icon")), qPrintable(spoken));
            QCOMPARE(choice->toolTip(), spoken);
            names.insert(spoken);
        }
        QCOMPARE(names.size(), 5);
        if (language != AppLanguage::En)
            QVERIFY(!names.contains(QStringLiteral("Tray icon: List")));
    }

    // The login item is read again each time the screen shows.
    void showingRereadsTheLoginItem()
    {
        m_loginItem->setStatus(LoginItem::Status::RequiresApproval);
        show();
        QVERIFY(shown("account.launchAtLogin.problem"));
        QCOMPARE(child<QLabel>("account.launchAtLogin.problem")->text(),
                 L("account.launchAtLogin.blocked"));
        QVERIFY(!m_server->requests(QStringLiteral("/health")).isEmpty());
    }

    void installedLocation_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<bool>("installed");
        QTest::newRow("system") << QStringLiteral("/usr/bin/scrivelbar") << true;
        QTest::newRow("local prefix") << QStringLiteral("/usr/local/bin/scrivelbar") << true;
        QTest::newRow("opt") << QStringLiteral("/opt/ScrivelBar/scrivelbar") << true;
        QTest::newRow("flatpak") << QStringLiteral("/app/bin/scrivelbar") << true;
        QTest::newRow("user prefix") << QStringLiteral("/home/ann/.local/bin/scrivelbar") << true;
        QTest::newRow("build folder") << QStringLiteral("/home/ann/src/build/scrivelbar") << false;
        QTest::newRow("downloads") << QStringLiteral("/tmp/scrivelbar") << false;
        QTest::newRow("prefix look-alike") << QStringLiteral("/usrx/bin/scrivelbar") << false;
    }

    void installedLocation()
    {
        QFETCH(QString, executable);
        QFETCH(bool, installed);
        QCOMPARE(AccountView::isInstalledLocation(executable, QStringLiteral("/home/ann")), installed);
    }

    // ---- notes folder -----------------------------------------------------------------------

    void displayPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("shown");
        QTest::newRow("inside home") << "/home/ann/Documents/ScrivelBar" << "/home/ann"
                                     << "~/Documents/ScrivelBar";
        QTest::newRow("home itself") << "/home/ann" << "/home/ann/" << "~";
        QTest::newRow("outside home") << "/srv/notes" << "/home/ann" << "/srv/notes";
        QTest::newRow("sibling with the same prefix") << "/home/anna/notes" << "/home/ann"
                                                      << "/home/anna/notes";
        QTest::newRow("home is the root") << "/srv/notes" << "/" << "/srv/notes";
    }

    void displayPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, home);
        QFETCH(QString, shown);
        QCOMPARE(AccountView::displayPath(path, home), shown);
    }

    void changeFolder_data()
    {
        QTest::addColumn<bool>("choose");
        QTest::newRow("cancelled") << false;
        QTest::newRow("chosen") << true;
    }

    void changeFolder()
    {
        QFETCH(bool, choose);
        const QString note = m_store->create(QStringLiteral("moving")).id;
        show();
        const QString before = m_store->notesFolder();
        const QString storedBefore = m_settings->notesFolder();
        QCOMPARE(fullText(child<QLabel>("account.folder.path")),
                 AccountView::displayPath(before, QDir::homePath()));
        const QString target = m_folders->path(QStringLiteral("elsewhere"));
        if (choose)
            m_dialogs->folderAnswer = target;
        QSignalSpy held(m_dialogs.get(), &Dialogs::holdPanel);
        QSignalSpy released(m_dialogs.get(), &Dialogs::releasePanel);
        child<QPushButton>("account.folder.change")->click();
        QCOMPARE(held.count(), 1);
        QCOMPARE(released.count(), 1);
        const QString now = choose ? QDir::cleanPath(target) : before;
        QCOMPARE(m_store->notesFolder(), now);
        QCOMPARE(m_settings->notesFolder(), choose ? now : storedBefore);
        QVERIFY(m_store->filePath(note)->startsWith(now));
        QTRY_COMPARE(fullText(child<QLabel>("account.folder.path")),
                     AccountView::displayPath(now, QDir::homePath()));
    }

    void lastErrorShownAndCleared()
    {
        show();
        QVERIFY(!shown("account.folder.error"));
        m_store->setLastError(QStringLiteral("The disk is full"));
        QTRY_VERIFY(shown("account.folder.error"));
        QVERIFY(m_view->findChild<QWidget *>(QStringLiteral("account.folder.error"))
                    ->findChildren<QLabel *>()
                    .last()
                    ->text()
                    .contains(QStringLiteral("The disk is full")));
        child<QPushButton>("account.folder.error.ok")->click();
        QVERIFY(m_store->lastError().isEmpty());
        QTRY_VERIFY(!shown("account.folder.error"));
    }

    // Open Folder writes pending changes first; when nothing can open the folder, an alert
    // says so in words instead of nothing happening.
    void openFolderTellsWhenNothingOpensIt_data()
    {
        QTest::addColumn<bool>("opens");
        QTest::newRow("a handler opens it") << true;
        QTest::newRow("no handler") << false;
    }

    void openFolderTellsWhenNothingOpensIt()
    {
        QFETCH(bool, opens);
        const QString id = m_store->create(QStringLiteral("pending")).id;
        show();
        QStringList asked;
        bool writtenFirst = false;
        m_view->notesFolderSection()->setFolderOpener([&](const QString &folder) {
            asked << folder;
            const auto file = m_store->filePath(id);
            writtenFirst = file && QFile::exists(*file);
            return opens;
        });
        child<QPushButton>("account.folder.reveal")->click();
        QCOMPARE(asked, QStringList { m_store->notesFolder() });
        QVERIFY(writtenFirst);
        if (opens) {
            QVERIFY(m_dialogs->alerts.isEmpty());
            return;
        }
        QCOMPARE(m_dialogs->alerts.size(), 1);
        const QString alert = m_dialogs->alerts.first();
        QVERIFY2(alert.startsWith(L("account.folder.reveal.failed") + u'\n'), qPrintable(alert));
        QVERIFY2(alert.contains(QDir::toNativeSeparators(m_store->notesFolder())), qPrintable(alert));
    }

    // ---- trash and danger zone --------------------------------------------------------------

    void emptyTrash_data()
    {
        QTest::addColumn<QString>("content");
        QTest::newRow("nothing") << QString();
        QTest::newRow("a trashed note") << QStringLiteral("note");
        QTest::newRow("parked media only") << QStringLiteral("media");
    }

    void emptyTrash()
    {
        QFETCH(QString, content);
        if (content == u"note") {
            m_store->deleteNote(m_store->create(QStringLiteral("gone")).id);
        } else if (content == u"media") {
            QImage picture(20, 20, QImage::Format_RGB32);
            picture.fill(Qt::red);
            const QString source = m_folders->path(QStringLiteral("pic.png"));
            QVERIFY(picture.save(source));
            const auto note = m_store->createWithAttachment(source, Attachment::Kind::Image);
            QVERIFY(note);
            m_store->setBody(QStringLiteral("text only"), note->id, true);
            QVERIFY(m_store->trashHoldsParkedMedia());
        }
        show();
        auto *empty = child<QPushButton>("account.trash.empty");
        const bool enabled = !content.isEmpty();
        QCOMPARE(empty->isEnabled(), enabled);
        QCOMPARE(child<QLabel>("account.trash.count")->text(),
                 content == u"note" ? L("account.trash.count", 1) : L("list.empty.trash"));
        if (!enabled)
            return;
        m_dialogs->confirmAnswer = false;
        empty->click();
        QCOMPARE(m_dialogs->confirmations.size(), 1);
        QVERIFY(m_store->trashHoldsParkedMedia() || !m_store->trashedNotes().isEmpty());
        m_dialogs->confirmAnswer = true;
        empty->click();
        QVERIFY(m_store->trashedNotes().isEmpty());
        QVERIFY(!m_store->trashHoldsParkedMedia());
        QVERIFY(!empty->isEnabled());
        child<QPushButton>("account.trash.show")->click();
        QCOMPARE(m_showTrash, 1);
    }

    void deleteAllNotes_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("cancel") << false;
        QTest::newRow("accept") << true;
    }

    void deleteAllNotes()
    {
        QFETCH(bool, accept);
        m_store->create(QStringLiteral("one"));
        m_store->create(QStringLiteral("two"));
        show();
        m_dialogs->confirmAnswer = accept;
        child<QPushButton>("account.deleteNotes")->click();
        QCOMPARE(m_dialogs->confirmations.size(), 1);
        QCOMPARE(m_dialogs->confirmations.first().acceptText, L("account.deleteNotes.action"));
        QCOMPARE(m_store->notes().size(), accept ? 0 : 2);
    }

    // ---- avatar -----------------------------------------------------------------------------

    void avatar_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("picture");
        QTest::newRow("picture") << QStringLiteral("/a.png") << png() << true;
        QTest::newRow("not a picture") << QStringLiteral("/a.png") << QByteArray("<html>") << false;
        QTest::newRow("not a web address") << QStringLiteral("file:///etc/hostname") << QByteArray() << false;
    }

    void avatar()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(bool, picture);
        m_server->enqueue("GET", QStringLiteral("/a.png"), HttpResponse::text(body, 200));
        Avatar avatar;
        QSignalSpy loaded(&avatar, &Avatar::loaded);
        avatar.setUrl(QUrl(path.startsWith(u'/') ? m_server->url() + path : path));
        QVERIFY(loaded.count() == 1 || loaded.wait(10000));
        QCOMPARE(avatar.hasPicture(), picture);
    }
};

QTEST_MAIN(TestAccountView)
#include "tst_account.moc"
