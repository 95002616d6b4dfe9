#include "TestSupport.h"
#include "ScriptedDialogs.h"
#include "ScriptedHotKeys.h"

#include "app/AppDelegate.h"
#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "store/NoteStore.h"
#include "ui/shell/Dialogs.h"
#include "platform/HotKeyManager.h"
#include "ui/shell/Panel.h"
#include "platform/linux/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QSettings>

#include <QAction>
#include <QSystemTrayIcon>
#include <QtTest>

#include <chrono>

using namespace std::chrono_literals;

class TestPanel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempFolders> m_folders;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QStringList m_hotKeyLog;
    std::function<void()> m_press;
    int m_exits = 0;
    bool m_shutdownDone = true;
    int m_shutdownStarts = 0;

    std::unique_ptr<AppDelegate> makeDelegate(std::chrono::milliseconds quitWait = 1500ms,
                                              const QList<HotKeyCombo> &takenKeys = {},
                                              bool tray = true)
    {
        AppDelegate::Options options;
        options.settingsFile = m_folders->path(QStringLiteral("settings.ini"));
        options.supportFolder = m_folders->support();
        auto desktopKeys = std::make_unique<ScriptedHotKeys>(&m_hotKeyLog, &m_press);
        desktopKeys->alsoTaken = takenKeys;
        options.hotKeyBackend = std::move(desktopKeys);
        options.trayAvailable = tray;
        options.dialogs = m_dialogs.get();
        options.quitWait = quitWait;
        options.startShutdownWork = [this] { ++m_shutdownStarts; };
        options.shutdownWorkDone = [this] {
            return m_shutdownDone;
        };
        options.exit = [this] {
            ++m_exits;
        };
        return std::make_unique<AppDelegate>(std::move(options));
    }

    QString onDisk(NoteStore *store, const QString &id)
    {
        const auto path = store->filePath(id);
        return path ? QString::fromUtf8(TestSupport::readFile(*path)) : QString();
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void init()
    {
        m_folders = std::make_unique<TestSupport::TempFolders>();
        AppSettings(m_folders->path(QStringLiteral("settings.ini")))
            .setNotesFolder(m_folders->notes());
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_hotKeyLog.clear();
        m_press = nullptr;
        m_exits = 0;
        m_shutdownDone = true;
    }

    void cleanup() { Localization::setLanguage(AppLanguage::En); }

    // ---- the panel on its own ----

    void storedHeight_data()
    {
        QTest::addColumn<int>("dragged");
        QTest::addColumn<int>("stored");
        QTest::newRow("above the maximum") << 1000 << 900;
        QTest::newRow("rounded up to 20") << 637 << 640;
        QTest::newRow("below the minimum") << 350 << 380;
        QTest::newRow("just below the minimum") << 379 << 380;
        QTest::newRow("the minimum") << 380 << 380;
        QTest::newRow("rounded down to 20") << 389 << 380;
        QTest::newRow("half way rounds up") << 390 << 400;
        QTest::newRow("near the maximum") << 891 << 900;
        QTest::newRow("the maximum") << 900 << 900;
        QTest::newRow("nothing") << 0 << 380;
        QTest::newRow("negative") << -40 << 380;
    }

    void storedHeight()
    {
        QFETCH(int, dragged);
        QFETCH(int, stored);
        QCOMPARE(Panel::storedHeight(dragged), stored);
    }

    void placement_data()
    {
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QPoint>("topLeft");
        const QRect screen(0, 24, 1280, 776);
        Q_UNUSED(screen);
        QTest::newRow("unknown icon: top-right") << QRect() << QPoint(1280 - 380 - 8, 24 + 8);
        QTest::newRow("icon in a top bar: centred below")
            << QRect(1000, 0, 24, 24) << QPoint(1012 - 190, 24 + 4);
        QTest::newRow("icon at the right edge: kept on screen")
            << QRect(1256, 0, 24, 24) << QPoint(1280 - 380, 28);
        QTest::newRow("icon at the left edge") << QRect(0, 0, 24, 24) << QPoint(0, 28);
        QTest::newRow("icon in a bottom bar: above")
            << QRect(600, 776, 24, 24) << QPoint(612 - 190, 776 - 4 - 500);
    }

    void placement()
    {
        QFETCH(QRect, anchor);
        QFETCH(QPoint, topLeft);
        QCOMPARE(Panel::placement(anchor, QRect(0, 24, 1280, 776), QSize(380, 500)), topLeft);
    }

    void heightIsClampedAndWidthFixed()
    {
        Panel panel(Panel::Kind::Popup);
        panel.setPanelHeight(2000);
        QCOMPARE(panel.size(), QSize(380, 900));
        panel.setPanelHeight(10);
        QCOMPARE(panel.size(), QSize(380, 380));
    }

    void closesOnFocusLossUnlessHeld_data()
    {
        QTest::addColumn<int>("holds");
        QTest::addColumn<int>("releases");
        QTest::addColumn<bool>("staysOpen");
        QTest::newRow("transient") << 0 << 0 << false;
        QTest::newRow("held") << 1 << 0 << true;
        QTest::newRow("held then released") << 1 << 1 << false;
        QTest::newRow("nested holds, one released") << 2 << 1 << true;
        QTest::newRow("extra release does not leave it held later") << 0 << 3 << false;
    }

    void closesOnFocusLossUnlessHeld()
    {
        QFETCH(int, holds);
        QFETCH(int, releases);
        QFETCH(bool, staysOpen);
        Panel panel(Panel::Kind::Popup);
        QSignalSpy closed(&panel, &Panel::closed);
        for (int i = 0; i < holds; ++i)
            panel.hold();
        for (int i = 0; i < releases; ++i)
            panel.release();
        panel.open(QRect());
        QTRY_VERIFY(panel.isActiveWindow());

        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QTRY_VERIFY(elsewhere.isActiveWindow());
        QTest::qWait(20); // let the deferred focus-loss check run
        QCOMPARE(panel.isVisible(), staysOpen);
        QCOMPARE(closed.size(), staysOpen ? 0 : 1);
    }

    void toggleRightAfterFocusLossKeepsItClosed()
    {
        // Clicking the tray icon while the panel is open first takes the focus away (the
        // panel closes), then reports the click: that click must not reopen it.
        Panel panel(Panel::Kind::Popup);
        panel.open(QRect());
        QTRY_VERIFY(panel.isActiveWindow());
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QTRY_VERIFY(!panel.isVisible());
        panel.toggle(QRect());
        QVERIFY(!panel.isVisible());
        panel.toggle(QRect());
        QVERIFY(panel.isVisible());
    }

    void ordinaryWindowWithoutTray()
    {
        Panel panel(Panel::Kind::Window);
        QVERIFY(!(panel.windowFlags() & Qt::FramelessWindowHint));
        panel.open(QRect());
        QTRY_VERIFY(panel.isActiveWindow());
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QTRY_VERIFY(elsewhere.isActiveWindow());
        QTest::qWait(20);
        QVERIFY(panel.isVisible()); // an ordinary window does not vanish on focus loss
        panel.close(); // the window manager's close button hides it
        QVERIFY(!panel.isVisible());
    }

    // ---- the composition root ----

    void launchBuildsThePanelFromSettings()
    {
        auto delegate = makeDelegate();
        QVERIFY2(delegate->launch(), qPrintable(delegate->launchError()));
        QCOMPARE(delegate->panel()->size(), QSize(380, 520));
        QCOMPARE(delegate->store()->notesFolder(), m_folders->notes());
        QVERIFY(!delegate->panel()->isVisible());
        QVERIFY(delegate->trayIcon());
        QVERIFY(!delegate->trayIcon()->icon().isNull());
        // The hot key is registered at launch with the stored combination.
        QCOMPARE(m_hotKeyLog, QStringList({ "install", "register optionSpace" }));
    }

    void secondLaunchOnTheSameFolderFails()
    {
        auto first = makeDelegate();
        QVERIFY(first->launch());
        auto second = makeDelegate();
        QVERIFY(!second->launch());
        QVERIFY2(second->launchError().contains(m_folders->support()),
                 qPrintable(second->launchError()));
    }

    void panelHeightSubscription()
    {
        auto delegate = makeDelegate();
        QVERIFY(delegate->launch());
        delegate->settings()->setPanelHeight(700);
        QCOMPARE(delegate->panel()->height(), 700);
    }

    void userResizeIsStoredWithoutSnapping_data()
    {
        QTest::addColumn<int>("dragged");
        QTest::addColumn<int>("stored");
        QTest::newRow("637") << 637 << 640;
        QTest::newRow("1000") << 1000 << 900;
        QTest::newRow("350") << 350 << 380;
    }

    void userResizeIsStoredWithoutSnapping()
    {
        QFETCH(int, dragged);
        QFETCH(int, stored);
        auto delegate = makeDelegate();
        QVERIFY(delegate->launch());
        Panel *panel = delegate->panel();
        panel->resize(380, std::clamp(dragged, 380, 900));
        const int before = panel->height();
        Q_EMIT panel->userResized(dragged);
        QCOMPARE(delegate->settings()->panelHeight(), stored);
        // While the user's own height was stored the subscription left the panel alone.
        QCOMPARE(panel->height(), before);
        QVERIFY(!delegate->isLiveResizing());
        // A later change from elsewhere (the account screen's slider) resizes it again.
        delegate->settings()->setPanelHeight(500);
        QCOMPARE(panel->height(), 500);
    }

    void hotKeySubscription()
    {
        auto delegate = makeDelegate();
        QVERIFY(delegate->launch());
        m_hotKeyLog.clear();
        delegate->settings()->setHotKey(HotKeyCombo::ControlOptionN);
        QCOMPARE(m_hotKeyLog, QStringList({ "unregister", "register controlOptionN" }));
        m_hotKeyLog.clear();
        delegate->settings()->setHotKey(HotKeyCombo::None);
        QCOMPARE(m_hotKeyLog, QStringList({ "unregister" }));
        QVERIFY(!delegate->hotKeys()->registered());
    }

    // A first start whose default another program holds takes the first free combination,
    // stores it and says so; a stored choice is kept even when it is taken.
    void firstStartTakesAFreeHotKey_data()
    {
        QTest::addColumn<QString>("stored"); // empty: nothing stored
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QStringList>("registers");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("storedAfter"); // empty: still nothing stored
        QTest::addColumn<bool>("notice");
        QTest::newRow("default free")
            << "" << QStringList {} << QStringList { "optionSpace" } << "optionSpace" << ""
            << false;
        QTest::newRow("default taken")
            << "" << QStringList { "optionSpace" }
            << QStringList { "optionSpace", "controlSpace" } << "controlSpace" << "controlSpace"
            << true;
        QTest::newRow("first two taken")
            << "" << QStringList { "optionSpace", "controlSpace" }
            << QStringList { "optionSpace", "controlSpace", "commandShiftSpace" }
            << "commandShiftSpace" << "commandShiftSpace" << true;
        QTest::newRow("unreadable stored value counts as nothing")
            << "f13" << QStringList { "optionSpace" }
            << QStringList { "optionSpace", "controlSpace" } << "controlSpace" << "controlSpace"
            << true;
        QTest::newRow("stored choice kept though taken")
            << "optionSpace" << QStringList { "optionSpace" } << QStringList { "optionSpace" }
            << "" << "optionSpace" << false;
        QTest::newRow("all taken keeps the default")
            << ""
            << QStringList { "optionSpace", "controlSpace", "commandShiftSpace", "controlOptionN" }
            << QStringList { "optionSpace", "controlSpace", "commandShiftSpace", "controlOptionN",
                             "optionSpace" }
            << "" << "" << false;
    }

    void firstStartTakesAFreeHotKey()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, taken);
        QFETCH(QStringList, registers);
        QFETCH(QString, chosen);
        QFETCH(QString, storedAfter);
        QFETCH(bool, notice);
        const QString file = m_folders->path(QStringLiteral("settings.ini"));
        if (!stored.isEmpty()) {
            QSettings ini(file, QSettings::IniFormat);
            ini.setValue("hotKey", stored);
        }
        QList<HotKeyCombo> takenKeys;
        for (const QString &raw : taken)
            takenKeys << hotKeyComboFromRawValue(raw, HotKeyCombo::None);
        auto delegate = makeDelegate(1500ms, takenKeys);
        QVERIFY(delegate->launch());

        QStringList registered;
        for (const QString &call : std::as_const(m_hotKeyLog))
            if (call.startsWith(u"register "))
                registered << call.mid(9);
        QCOMPARE(registered, registers);
        HotKeyManager *hotKeys = delegate->hotKeys();
        if (chosen.isEmpty()) {
            QVERIFY(!hotKeys->registered());
            QCOMPARE(hotKeys->status(), HotKeyManager::Status::Taken);
            QCOMPARE(delegate->settings()->hotKey(), HotKeyCombo::OptionSpace);
        } else {
            const HotKeyCombo combo = hotKeyComboFromRawValue(chosen, HotKeyCombo::None);
            QVERIFY(hotKeys->registered() == globalHotKey(combo));
            QCOMPARE(hotKeys->status(), HotKeyManager::Status::Active);
            QCOMPARE(delegate->settings()->hotKey(), combo);
        }
        QCOMPARE(hotKeys->replacedHotKey().has_value(), notice);
        if (notice)
            QVERIFY(hotKeys->replacedHotKey() == globalHotKey(HotKeyCombo::OptionSpace));
        delegate.reset();
        QSettings ini(file, QSettings::IniFormat);
        QCOMPARE(ini.value("hotKey").toString(), storedAfter);
    }

    void hotKeyTogglesThePanel()
    {
        auto delegate = makeDelegate();
        QVERIFY(delegate->launch());
        QVERIFY(m_press);
        m_press();
        QTRY_VERIFY(delegate->panel()->isVisible());
        m_press();
        QTRY_VERIFY(!delegate->panel()->isVisible());
    }

    void argumentsOfALaterStart()
    {
        auto delegate = makeDelegate();
        QVERIFY(delegate->launch());
        delegate->handleArguments({ QStringLiteral("--toggle") });
        QVERIFY(delegate->panel()->isVisible());
        delegate->handleArguments({ QStringLiteral("--toggle") });
        QVERIFY(!delegate->panel()->isVisible());
        delegate->handleArguments({});
        QVERIFY(delegate->panel()->isVisible());
        delegate->handleArguments({}); // a plain start never closes it
        QVERIFY(delegate->panel()->isVisible());
    }

    // Whether the first start opens the panel: without a tray there is nothing to click, so
    // the window shows, unless the login entry asked for a hidden start.
    void firstStartOpensThePanel_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("open");
        QTest::newRow("tray") << true << QStringList() << false;
        QTest::newRow("tray, toggle") << true << QStringList { "--toggle" } << true;
        QTest::newRow("tray, hidden") << true << QStringList { "--hidden" } << false;
        QTest::newRow("no tray") << false << QStringList() << true;
        QTest::newRow("no tray, hidden") << false << QStringList { "--hidden" } << false;
        QTest::newRow("no tray, hidden wins over toggle")
            << false << QStringList { "--toggle", "--hidden" } << false;
    }
    void firstStartOpensThePanel()
    {
        QFETCH(bool, tray);
        QFETCH(QStringList, arguments);
        QFETCH(bool, open);
        auto delegate = makeDelegate(1500ms, {}, tray);
        QVERIFY(delegate->launch(arguments));
        QCOMPARE(delegate->panel()->isVisible(), open);
        // A hidden start of a second copy (a login while it runs) leaves the panel alone.
        delegate->handleArguments({ QStringLiteral("--hidden") });
        QCOMPARE(delegate->panel()->isVisible(), open);
    }

    // The launched app answers the scrivel tool's note commands on its socket, from its live
    // store.
    void launchedAppRunsToolCommands()
    {
        AppDelegate::Options options;
        options.settingsFile = m_folders->path(QStringLiteral("settings.ini"));
        options.supportFolder = m_folders->support();
        options.hotKeyBackend = std::make_unique<ScriptedHotKeys>(&m_hotKeyLog, &m_press);
        options.trayAvailable = true;
        options.dialogs = m_dialogs.get();
        options.instanceServer = SingleInstance::serverNameFor(m_folders->support());
        options.exit = [this] { ++m_exits; };
        AppDelegate delegate(std::move(options));
        QVERIFY(delegate.launch());
        const QString id = delegate.store()->create(QStringLiteral("Live text")).id;

        QLocalSocket tool;
        tool.connectToServer(SingleInstance::serverNameFor(m_folders->support()));
        QVERIFY(tool.waitForConnected(2000));
        tool.write(SingleInstance::encodeRequest(
            { { QStringLiteral("show"), id }, QDir::tempPath(), QString() }));
        QByteArray answer;
        QTRY_VERIFY((answer += tool.readAll()).size() > SingleInstance::frameHeaderSize
                    && tool.state() == QLocalSocket::UnconnectedState);
        const auto reply = SingleInstance::decodeReply(answer.mid(SingleInstance::frameHeaderSize));
        QVERIFY(reply);
        QCOMPARE(reply->exitCode, 0);
        QCOMPARE(reply->out, QStringLiteral("Live text"));
    }

    void dialogsHoldThePanel()
    {
        auto delegate = makeDelegate();
        QVERIFY(delegate->launch());
        Q_EMIT m_dialogs->holdPanel();
        QVERIFY(delegate->panel()->isHeld());
        Q_EMIT m_dialogs->releasePanel();
        QVERIFY(!delegate->panel()->isHeld());
    }

    void closingThePanelWritesEditsAtOnce()
    {
        auto delegate = makeDelegate();
        QVERIFY(delegate->launch());
        delegate->togglePanel();
        QVERIFY(delegate->panel()->isVisible());
        NoteStore *store = delegate->store();
        const Note note = store->create(QStringLiteral("# Draft"));
        store->setBody(QStringLiteral("# Draft\nclose me"), note.id, true);
        QVERIFY(!onDisk(store, note.id).contains(QLatin1String("close me")));
        delegate->togglePanel();
        QVERIFY(!delegate->panel()->isVisible());
        QVERIFY(onDisk(store, note.id).contains(QLatin1String("close me")));
    }

    void quitWritesEditsThenWaitsBounded()
    {
        m_shutdownDone = false; // shutdown work that never completes
        auto delegate = makeDelegate(300ms);
        QVERIFY(delegate->launch());
        NoteStore *store = delegate->store();
        const Note note = store->create(QStringLiteral("# Draft"));
        store->setBody(QStringLiteral("# Draft\nquit me"), note.id, true);
        QVERIFY(!onDisk(store, note.id).contains(QLatin1String("quit me")));
        QElapsedTimer clock;
        clock.start();
        m_shutdownStarts = 0;
        delegate->terminate();
        // Edits are on disk before the wait begins, and the process has not ended yet.
        QVERIFY(onDisk(store, note.id).contains(QLatin1String("quit me")));
        QCOMPARE(m_shutdownStarts, 1);
        QCOMPARE(m_exits, 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_exits, 1, 3000);
        QVERIFY(clock.elapsed() >= 290);
        delegate->terminate(); // a second quit request changes nothing
        QTest::qWait(100);
        QCOMPARE(m_exits, 1);
        QCOMPARE(m_shutdownStarts, 1);
    }

    void quitEndsAsSoonAsShutdownWorkIsDone()
    {
        m_shutdownDone = false;
        auto delegate = makeDelegate(10s);
        QVERIFY(delegate->launch());
        delegate->terminate();
        QCOMPARE(m_exits, 0);
        m_shutdownDone = true;
        QTRY_COMPARE_WITH_TIMEOUT(m_exits, 1, 1000);
    }

    void undoGoesToTheStore()
    {
        auto delegate = makeDelegate();
        QVERIFY(delegate->launch());
        NoteStore *store = delegate->store();
        const Note note = store->create(QStringLiteral("# A\none"));
        store->setBody(QStringLiteral("# A\ntwo"), note.id, true);
        QAction *undo = delegate->menuActions().at(1);
        QCOMPARE(undo->shortcut(), QKeySequence(QKeySequence::Undo));
        undo->trigger();
        QCOMPARE(store->note(note.id)->body, QStringLiteral("# A\none"));
        delegate->menuActions().at(2)->trigger();
        QCOMPARE(store->note(note.id)->body, QStringLiteral("# A\ntwo"));
    }

    void languageChangeRetitlesTheMenu()
    {
        auto delegate = makeDelegate();
        QVERIFY(delegate->launch());
        QAction *undo = delegate->menuActions().at(1);
        const QString english = undo->text();
        QCOMPARE(english, L("menu.undo"));
        delegate->settings()->setLanguage(AppLanguage::Es);
        QCOMPARE(undo->text(), L("menu.undo"));
        QVERIFY(undo->text() != english);
    }
};

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
