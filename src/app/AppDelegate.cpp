#include "app/AppDelegate.h"
#include "app/BenchHook.h"

#include "app/CommandServer.h"
#include "app/DesktopIdentity.h"

#include "telemetry/Telemetry.h"

#include "ai/AIService.h"
#include "ai/local/LocalEngine.h"

#include "base/AppInfo.h"
#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "platform/Keychain.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "ui/shell/Dialogs.h"
#include "platform/HotKeyManager.h"
#include "ui/style/Icons.h"
#include "ui/shell/Panel.h"
#include "platform/linux/SingleInstance.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUndoStack>

namespace {
Q_LOGGING_CATEGORY(lcApp, "app.scrivelbar.app.shell")

constexpr auto quitPollInterval = std::chrono::milliseconds(50);
} // namespace

AppDelegate::AppDelegate(QObject *parent)
    : AppDelegate(productionOptions(), parent)
{
    m_options.instanceServer = SingleInstance::serverNameFor(NoteStore::defaultSupportFolder());
}

AppDelegate::Options AppDelegate::productionOptions()
{
    Options options;
    options.screens = ScreenFactories::standard();
    // The last events go out with the still valid session, within the bounded quit wait.
    options.startShutdownWork = [] {
        auto flushing = Telemetry::shared().flush();
        Q_UNUSED(flushing);
    };
    options.shutdownWorkDone = [] { return !Telemetry::shared().isFlushing(); };
    return options;
}

AppDelegate::AppDelegate(Options options, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
{
    m_settings = m_options.settingsFile.isEmpty()
        ? std::make_unique<AppSettings>()
        : std::make_unique<AppSettings>(m_options.settingsFile);
    if (m_options.dialogs) {
        m_dialogs = m_options.dialogs;
    } else {
        m_ownDialogs = std::make_unique<SystemDialogs>();
        m_dialogs = m_ownDialogs.get();
    }
    const bool tray = m_options.trayAvailable.value_or(QSystemTrayIcon::isSystemTrayAvailable());
    m_panel = std::make_unique<Panel>(tray ? Panel::Kind::Popup : Panel::Kind::Window);
    m_panel->setWindowTitle(AppInfo::name());
    m_panel->setWindowIcon(DesktopIdentity::applicationIcon());
    m_hotKeys = std::make_unique<HotKeyManager>(std::move(m_options.hotKeyBackend));
}

AppDelegate::~AppDelegate()
{
    // The screens hold pointers to the services: they go first.
    m_panel.reset();
    if (qApp)
        qApp->removeEventFilter(this);
}

bool AppDelegate::launch(const QStringList &arguments)
{
    if (m_launched)
        return true;

    // One process at a time may use the support folder (and its index file). The folder of
    // the product's previous name moves first, so the lock lands in the folder in use.
    const QString support = m_options.supportFolder.isEmpty() ? NoteStore::defaultSupportFolder()
                                                              : m_options.supportFolder;
    NoteStore::migrateFromPreviousAppName(support);
    auto lock = StoreLock::acquire(support);
    if (!lock) {
        m_launchError = lock.error();
        return false;
    }
    m_lock.emplace(std::move(*lock));
    m_launched = true;

    if (!m_options.instanceServer.isEmpty()) {
        m_instance = std::make_unique<SingleInstance>();
        if (!m_instance->listen(m_options.instanceServer))
            qCWarning(lcApp) << "cannot listen on" << m_options.instanceServer;
        connect(m_instance.get(), &SingleInstance::argumentsReceived, this,
                &AppDelegate::handleArguments);
    }

    // 1. The main menu: on this desktop, the panel's shortcuts and the tray icon's menu.
    buildMainMenu();

    // 2. The tray icon; its click opens and closes the panel.
    m_tray = std::make_unique<QSystemTrayIcon>();
    m_tray->setToolTip(AppInfo::name());
    m_tray->setContextMenu(m_trayMenu.get());
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    togglePanel();
            });

    // 3. The panel's size.
    m_panel->setPanelHeight(m_settings->panelHeight());
    connect(m_panel.get(), &Panel::closed, this, &AppDelegate::panelClosed);
    connect(m_panel.get(), &Panel::userResized, this, &AppDelegate::storeUserHeight);

    // 4–5. The services, created in order (the store reads its index before its constructor
    // returns), and the root view as the panel's content.
    NoteStore::Options storeOptions;
    storeOptions.notesFolder = m_settings->notesFolder();
    storeOptions.supportFolder = support;
    // The panel can show the notes the index holds while the folder is still being checked.
    storeOptions.checkFolderLater = true;
    m_store = std::make_unique<NoteStore>(storeOptions);
    // While the app holds the lock, the `scrivel` tool works through it.
    if (m_instance)
        m_commandServer = std::make_unique<CommandServer>(*m_instance, *m_store);
    SyncEngine::Options syncOptions;
    syncOptions.telemetry = &Telemetry::shared();
    m_sync = std::make_unique<SyncEngine>(m_store.get(), m_settings.get(),
                                          Keychain::create(), syncOptions);
    // The providers' keys live in the desktop keychain too, under a service of their own.
    m_localAI = std::make_unique<LocalEngine>(m_settings.get());
    AIService::Options aiOptions;
    aiOptions.local = m_localAI.get();
    m_ai = std::make_unique<AIService>(m_settings.get(), m_store.get(), Keychain::create(),
                                       aiOptions);
    ScreenEnvironment environment;
    environment.store = m_store.get();
    environment.sync = m_sync.get();
    environment.settings = m_settings.get();
    environment.ai = m_ai.get();
    environment.dialogs = m_dialogs;
    environment.telemetry = &Telemetry::shared();
    environment.hotKeys = m_hotKeys.get();
    environment.terminate = [this] {
        terminate();
    };
    m_root = new RootView(environment, m_options.screens);
    m_panel->setContent(m_root);
    BenchHook::installIfRequested(m_panel.get());

    // 6. Settings subscriptions: the current value now, then every change.
    applyMenuBarIcon();
    connect(m_settings.get(), &AppSettings::menuBarIconChanged, this,
            &AppDelegate::applyMenuBarIcon);
    connect(m_settings.get(), &AppSettings::panelHeightChanged, this, [this](int height) {
        if (!m_liveResizing)
            m_panel->setPanelHeight(height);
    });
    const auto applyHotKey = [this](HotKeyCombo combo) {
        m_hotKeys->apply(globalHotKey(combo), [this] { togglePanel(); });
    };
    if (m_settings->hotKeyStored())
        applyHotKey(m_settings->hotKey());
    else
        applyFirstFreeHotKey();
    // Subscribed after the first registration, so a replacement stored by it is not applied
    // a second time (which would also drop the notice about it).
    connect(m_settings.get(), &AppSettings::hotKeyChanged, this, applyHotKey);
    // Changes only: the menu was just built in the current language.
    connect(m_settings.get(), &AppSettings::languageChanged, this, &AppDelegate::retitleMenu);
    // The tray icon is tinted from the palette: follow a theme switch.
    qApp->installEventFilter(this);

    // 7. Modal dialogs hold the panel open while they are up.
    connect(m_dialogs, &Dialogs::holdPanel, m_panel.get(), &Panel::hold);
    connect(m_dialogs, &Dialogs::releasePanel, m_panel.get(), &Panel::release);

    // 8. One sync attempt, from the event loop, once the store has taken in what changed in
    // the folder while the app was not running: the server then gets those edits.
    const auto syncOnce = [sync = m_sync.get()] { sync->syncIfPossible(); };
    if (m_store->folderCheckPending())
        connect(m_store.get(), &NoteStore::folderChecked, m_sync.get(), syncOnce,
                Qt::SingleShotConnection);
    else
        QTimer::singleShot(0, m_sync.get(), syncOnce);

    // Shown even without a tray: a tray that starts later (login) then picks the icon up.
    m_tray->show();
    // Without a tray there is nothing to click: the window shows at once. `--toggle` on the
    // first start (a desktop shortcut) opens the panel too. `--hidden` (the login entry)
    // keeps it closed: at login the tray often comes up after the app.
    const bool open
        = m_panel->kind() == Panel::Kind::Window || arguments.contains(QStringLiteral("--toggle"));
    if (open && !arguments.contains(QStringLiteral("--hidden")))
        openPanel();
    return true;
}

void AppDelegate::applyFirstFreeHotKey()
{
    // The desktops bind the default (Alt+Space) to their window menu; a first start should
    // not leave the user with a hot key that never fires when another one is free.
    const HotKeyCombo preferred = m_settings->hotKey();
    const auto toggle = [this] { togglePanel(); };
    if (!globalHotKey(preferred)) {
        m_hotKeys->apply(std::nullopt, toggle);
        return;
    }
    QList<HotKeyCombo> combos { preferred };
    for (HotKeyCombo combo : allHotKeyCombos())
        if (combo != preferred && globalHotKey(combo))
            combos.append(combo);
    QList<GlobalHotKey> candidates;
    for (HotKeyCombo combo : std::as_const(combos))
        candidates.append(*globalHotKey(combo));
    const auto chosen = m_hotKeys->applyFirstFree(candidates, toggle);
    if (!chosen) {
        // None is free: the preferred one stays chosen and the account screen says it is taken.
        m_hotKeys->apply(candidates.first(), toggle);
        return;
    }
    if (*chosen > 0)
        m_settings->setHotKey(combos.at(*chosen));
}

void AppDelegate::buildMainMenu()
{
    auto makeAction = [this](QKeySequence shortcut, auto slot) {
        auto *action = new QAction(m_panel.get());
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, slot);
        m_panel->addAction(action);
        return action;
    };
    // The editing commands go to the focused widget; text fields handle their own keys
    // first, so these reach the widgets that do not.
    const auto toFocused = [](const char *method) {
        return [method] {
            if (QWidget *focused = QApplication::focusWidget())
                QMetaObject::invokeMethod(focused, method);
        };
    };
    m_quit = makeAction(QKeySequence::Quit, [this] { terminate(); });
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_undo = makeAction(QKeySequence::Undo, [this] {
        if (m_store && m_store->undoStack()->canUndo())
            m_store->undoStack()->undo();
    });
    m_redo = makeAction(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] {
        if (m_store && m_store->undoStack()->canRedo())
            m_store->undoStack()->redo();
    });
    m_cut = makeAction(QKeySequence::Cut, toFocused("cut"));
    m_copy = makeAction(QKeySequence::Copy, toFocused("copy"));
    m_paste = makeAction(QKeySequence::Paste, toFocused("paste"));
    m_selectAll = makeAction(QKeySequence::SelectAll, toFocused("selectAll"));

    m_trayMenu = std::make_unique<QMenu>();
    // Some trays show this menu on any click and never report a click to us: the first
    // entry opens the panel.
    m_open = m_trayMenu->addAction(QString(), this, [this] { openPanel(); });
    m_trayMenu->addSeparator();
    m_trayQuit = m_trayMenu->addAction(QString(), this, [this] { terminate(); });
    retitleMenu();
}

void AppDelegate::retitleMenu()
{
    m_open->setText(AppInfo::name());
    m_quit->setText(L("footer.quit"));
    m_trayQuit->setText(L("footer.quit"));
    m_undo->setText(L("menu.undo"));
    m_redo->setText(L("menu.redo"));
    m_cut->setText(L("menu.cut"));
    m_copy->setText(L("menu.copy"));
    m_paste->setText(L("menu.paste"));
    m_selectAll->setText(L("menu.selectAll"));
}

QList<QAction *> AppDelegate::menuActions() const
{
    return { m_quit, m_undo, m_redo, m_cut, m_copy, m_paste, m_selectAll };
}

void AppDelegate::applyMenuBarIcon()
{
    if (!m_tray)
        return;
    const QPalette palette = QApplication::palette();
    const QIcon drawn = Icons::trayIcon(menuBarIconRawValue(m_settings->menuBarIcon()),
                                        palette.color(QPalette::WindowText),
                                        palette.color(QPalette::Window));
    // The installed tray glyph is the letter over a dotted underline: the default choice.
    m_tray->setIcon(
        DesktopIdentity::trayIcon(drawn, m_settings->menuBarIcon() == MenuBarIcon::Dotted));
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        applyMenuBarIcon();
    return QObject::eventFilter(watched, event);
}

QRect AppDelegate::trayAnchor() const
{
    return m_tray && m_tray->isVisible() ? m_tray->geometry() : QRect();
}

void AppDelegate::togglePanel()
{
    if (!m_launched || m_quitting)
        return;
    m_panel->toggle(trayAnchor());
    if (m_panel->isVisible())
        m_root->focusScreen();
}

void AppDelegate::openPanel()
{
    if (!m_launched || m_quitting)
        return;
    if (m_panel->isVisible()) {
        m_panel->raise();
        m_panel->activateWindow();
        return;
    }
    m_panel->open(trayAnchor());
    m_root->focusScreen();
}

void AppDelegate::handleArguments(const QStringList &arguments)
{
    if (arguments.contains(QStringLiteral("--toggle")))
        togglePanel();
    else if (!arguments.contains(QStringLiteral("--hidden")))
        openPanel();
}

void AppDelegate::storeUserHeight(int height)
{
    // The stored value differs from the dragged one (rounded to 20): the flag keeps the
    // height subscription from snapping the panel while the user's own value is stored.
    m_liveResizing = true;
    m_settings->setPanelHeight(Panel::storedHeight(height));
    m_liveResizing = false;
}

void AppDelegate::panelClosed()
{
    if (!m_store)
        return;
    m_store->flush();
    if (m_quitting)
        return;
    QTimer::singleShot(0, m_sync.get(), [sync = m_sync.get()] { sync->syncIfPossible(); });
}

void AppDelegate::terminate()
{
    if (m_quitting)
        return;
    m_quitting = true;
    m_hotKeys->apply(std::nullopt, {});
    m_panel->dismiss();
    if (m_store)
        m_store->flush();
    // Shutdown work (the telemetry flush) gets a bounded wait, polled from the running event
    // loop so that its replies can arrive; pending edits are already on disk.
    m_quitClock.start();
    if (m_options.startShutdownWork)
        m_options.startShutdownWork();
    m_quitPoll = new QTimer(this);
    m_quitPoll->setInterval(quitPollInterval);
    connect(m_quitPoll, &QTimer::timeout, this, [this] {
        const bool done = !m_options.shutdownWorkDone || m_options.shutdownWorkDone();
        if (done || std::chrono::milliseconds(m_quitClock.elapsed()) >= m_options.quitWait)
            finishTermination();
    });
    m_quitPoll->start();
    if (!m_options.shutdownWorkDone || m_options.shutdownWorkDone())
        finishTermination();
}

void AppDelegate::finishTermination()
{
    if (!m_quitPoll)
        return;
    m_quitPoll->stop();
    m_quitPoll->deleteLater();
    m_quitPoll = nullptr;
    Q_EMIT terminating();
    if (m_options.exit)
        m_options.exit();
    else
        QCoreApplication::quit();
}
