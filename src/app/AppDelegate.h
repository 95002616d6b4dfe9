#pragma once

#include "settings/SettingsTypes.h"
#include "store/StoreLock.h"
#include "ui/shell/RootView.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class AIService;
class LocalEngine;
class AppSettings;
class CommandServer;
class Dialogs;
class HotKeyBackend;
class HotKeyManager;
class NoteStore;
class Panel;
class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class SingleInstance;
class SyncEngine;

/// The composition root. It owns the settings, the note store, the sync engine, the tray
/// icon, the panel and the hot key, wires the settings to the shell, and runs the launch,
/// panel-close and quit sequences. Main thread only.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    /// What the production app leaves at its defaults and tests replace.
    struct Options
    {
        QString settingsFile; ///< empty → the user's settings store
        QString supportFolder; ///< empty → the default support folder
        std::unique_ptr<HotKeyBackend> hotKeyBackend; ///< null → the X11 key grab
        std::optional<bool> trayAvailable; ///< unset → ask the desktop
        Dialogs *dialogs = nullptr; ///< null → the system dialogs
        ScreenFactories screens; ///< empty members → the standard screens
        /// Local socket for the single-instance hand-over; empty → no listening.
        QString instanceServer;
        /// How long quitting waits for shutdown work (the telemetry flush).
        std::chrono::milliseconds quitWait { 1500 };
        /// Starts the shutdown work when quitting; unset → none.
        std::function<void()> startShutdownWork;
        /// Whether the shutdown work is done; unset → nothing to wait for.
        std::function<bool()> shutdownWorkDone;
        /// Ends the process; unset → QCoreApplication::quit.
        std::function<void()> exit;
    };

    explicit AppDelegate(Options options, QObject *parent = nullptr);
    /// The options of the real app: the product's screens, everything else at its default.
    static Options productionOptions();
    /// Production defaults, listening beside the default support folder.
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    /// Takes the store lock and builds everything (see the class comment). `arguments` are the
    /// command-line arguments without the program name. False when the app cannot start;
    /// launchError() says why.
    bool launch(const QStringList &arguments = {});
    QString launchError() const { return m_launchError; }

    /// Opens the panel when closed, closes it when open (tray click, hot key, --toggle).
    void togglePanel();
    /// Opens the panel (or raises it when open).
    void openPanel();
    /// Acts on the arguments of a later start: "--toggle" toggles, "--hidden" leaves the
    /// panel as it is, anything else opens.
    void handleArguments(const QStringList &arguments);
    /// The quit sequence: flush, wait (bounded) for the shutdown work with the event loop
    /// running, then end the process.
    void terminate();

    AppSettings *settings() const { return m_settings.get(); }
    NoteStore *store() const { return m_store.get(); }
    SyncEngine *sync() const { return m_sync.get(); }
    AIService *ai() const { return m_ai.get(); }
    Panel *panel() const { return m_panel.get(); }
    RootView *rootView() const { return m_root; }
    HotKeyManager *hotKeys() const { return m_hotKeys.get(); }
    QSystemTrayIcon *trayIcon() const { return m_tray.get(); }
    /// The shortcuts of the panel (quit, undo, redo, cut, copy, paste, select all).
    QList<QAction *> menuActions() const;
    /// True while the height of the user's own resize is being stored.
    bool isLiveResizing() const { return m_liveResizing; }

Q_SIGNALS:
    /// The quit sequence finished waiting and is ending the process.
    void terminating();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMainMenu();
    /// First start: the default hot key, or the first free combination when it is taken.
    void applyFirstFreeHotKey();
    void retitleMenu();
    void applyMenuBarIcon();
    void storeUserHeight(int height);
    void panelClosed();
    void finishTermination();
    QRect trayAnchor() const;

    Options m_options;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<Dialogs> m_ownDialogs;
    Dialogs *m_dialogs = nullptr;
    std::optional<StoreLock> m_lock;
    std::unique_ptr<NoteStore> m_store;
    std::unique_ptr<SyncEngine> m_sync;
    std::unique_ptr<LocalEngine> m_localAI; // the on-device engine the AI service uses
    std::unique_ptr<AIService> m_ai; // after the store and the settings it uses
    std::unique_ptr<HotKeyManager> m_hotKeys;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<CommandServer> m_commandServer; // uses m_instance and m_store
    std::unique_ptr<QMenu> m_trayMenu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    std::unique_ptr<Panel> m_panel; // after the services: its screens use them
    RootView *m_root = nullptr;

    QAction *m_open = nullptr;
    QAction *m_quit = nullptr;
    QAction *m_trayQuit = nullptr;
    QAction *m_undo = nullptr;
    QAction *m_redo = nullptr;
    QAction *m_cut = nullptr;
    QAction *m_copy = nullptr;
    QAction *m_paste = nullptr;
    QAction *m_selectAll = nullptr;

    bool m_liveResizing = false;
    bool m_launched = false;
    bool m_quitting = false;
    QTimer *m_quitPoll = nullptr;
    QElapsedTimer m_quitClock;
    QString m_launchError;
};
