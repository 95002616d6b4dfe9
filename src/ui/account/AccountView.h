#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <utility>

class AppSettings;
class Avatar;
class Dialogs;
class NoteStore;
class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;
class SyncEngine;
class Telemetry;

/// The account and settings screen: one scrolling column with the sync block (signed out or
/// signed in, with the server's status and the telemetry row), the preferences, the notes
/// folder, the trash, the danger zone and a footer line with the version and the server.
///
/// It reads the store, the sync engine, the settings and telemetry, calls their operations and
/// re-renders on their change signals; it keeps only its own flags (terms accepted, busy, open
/// confirmations). Each time it is shown it re-reads the login item and checks the server's
/// health.
class AccountView : public QWidget
{
    Q_OBJECT
public:
    /// `onBack` leaves the screen; `onShowTrash` opens the trash list (empty: no show button).
    /// `telemetry` null → the process-wide instance. The shared objects must outlive the view.
    AccountView(NoteStore *store, SyncEngine *sync, AppSettings *settings, Dialogs *dialogs,
                std::function<void()> onBack, std::function<void()> onShowTrash = {},
                Telemetry *telemetry = nullptr, QWidget *parent = nullptr);
    ~AccountView() override;

    /// An operation started from this screen (sign-in, sync now, dashboard, sign-out, account
    /// deletion) has not ended yet.
    /// Also true for an account operation started from an earlier visit of this screen.
    bool isBusy() const { return busy(); }
    bool acceptedTerms() const { return m_acceptedTerms; }
    /// Whether the sign-in button is enabled: not busy, terms accepted, the last health check
    /// succeeded and the server offers Google sign-in with a client identifier.
    bool canSignIn() const;
    /// The server status caption as shown (empty when no health check has answered yet).
    QString serverStatusLine() const;

    /// `path` with a leading `home` folder replaced by "~" (only at a folder boundary).
    static QString displayPath(const QString &path, const QString &home);
    /// Whether `executable` lies where an installed copy lives (/usr, /opt, Flatpak's /app,
    /// /snap, or the user's ~/.local), so that a login entry pointing at it keeps working.
    static bool isInstalledLocation(const QString &executable, const QString &home);

    // The screen's actions, as its buttons run them.
    void signIn();
    void syncNow();
    void openDashboard();
    void confirmSignOut();
    void chooseFolder();
    void revealFolder();
    void confirmEmptyTrash();
    void confirmDeleteNotes();
    void confirmDeleteAccount();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    enum class Ends { AccountOperation, Sync };

    void buildUi();
    void bind();
    /// Sets every fixed text from its localization key (again after a language change).
    void retranslate();
    /// Renders the whole screen from the shared objects' current state.
    void refresh();
    void scheduleRefresh();
    void applyLook();
    void renderServerStatus();
    void renderTelemetry();
    /// Starts `operation` with `busy` set; `busy` clears when the engine signals the end
    /// (`ends`), or at once when the operation turned out to start nothing.
    void run(Ends ends, const std::function<void()> &operation);
    void setBusy(bool busy);
    /// This screen's own operation, or the engine's account operation, still runs.
    bool busy() const;
    void openLink(const QString &address);

    /// A word-wrapped plain-text label; `text` (may be empty) is applied again by retranslate().
    QLabel *label(QWidget *parent, std::function<QString()> text, bool caption = false);
    /// A push button with its text, tooltip and accessible name from `text`.
    QPushButton *button(QWidget *parent, std::function<QString()> text, const QString &symbol = {});

    NoteStore *m_store;
    SyncEngine *m_sync;
    AppSettings *m_settings;
    Dialogs *m_dialogs;
    Telemetry *m_telemetry;
    std::function<void()> m_onBack;
    std::function<void()> m_onShowTrash;

    // The screen's own flags.
    bool m_acceptedTerms = false;
    bool m_busy = false;
    quint64 m_runTicket = 0;
    bool m_confirmingSignOut = false;
    bool m_confirmingEmptyTrash = false;
    bool m_confirmingDeleteNotes = false;
    bool m_confirmingDeleteAccount = false;

    QTimer *m_refreshTimer = nullptr;
    /// Fixed texts: widget and the lookup that gives its text in the interface language.
    QList<std::pair<QPointer<QWidget>, std::function<QString()>>> m_texts;
    QList<QLabel *> m_captions;
    QList<QLabel *> m_sectionTitles;
    QList<QWidget *> m_separators;

    // Header
    QToolButton *m_back = nullptr;
    QLabel *m_title = nullptr;

    // Sync block
    QLabel *m_syncSubtitle = nullptr;
    QWidget *m_accountRow = nullptr;
    Avatar *m_avatar = nullptr;
    QLabel *m_email = nullptr;
    QWidget *m_serverRow = nullptr;
    QWidget *m_serverDot = nullptr;
    QLabel *m_serverText = nullptr;
    QWidget *m_signedOut = nullptr;
    QAbstractButton *m_terms = nullptr;
    QLabel *m_termsLink = nullptr;
    QPushButton *m_signIn = nullptr;
    QWidget *m_spinner = nullptr;
    QPushButton *m_cancelSignIn = nullptr;
    QWidget *m_signedIn = nullptr;
    QLabel *m_notIncluded = nullptr;
    QLabel *m_syncLine = nullptr;
    QLabel *m_mediaPending = nullptr;
    QAbstractButton *m_autoSync = nullptr;
    QPushButton *m_syncNow = nullptr;
    QPushButton *m_dashboard = nullptr;
    QPushButton *m_signOut = nullptr;
    QWidget *m_telemetryRequired = nullptr;
    QLabel *m_telemetryRequiredIcon = nullptr;
    QLabel *m_telemetryRequiredText = nullptr;
    QWidget *m_telemetryOptional = nullptr;
    QAbstractButton *m_telemetrySwitch = nullptr;
    QLabel *m_telemetryHint = nullptr;
    QLabel *m_privacyLink = nullptr;

    // Preferences
    QAbstractButton *m_launchAtLogin = nullptr;
    QLabel *m_launchProblem = nullptr;
    QLabel *m_launchOutside = nullptr;
    QComboBox *m_hotKey = nullptr;
    QButtonGroup *m_iconGroup = nullptr;
    QSlider *m_panelHeight = nullptr;
    QLabel *m_panelHeightValue = nullptr;
    QComboBox *m_language = nullptr;

    // Notes folder
    QLabel *m_folderIcon = nullptr;
    QLabel *m_folderPath = nullptr;
    QWidget *m_errorRow = nullptr;
    QLabel *m_errorIcon = nullptr;
    QLabel *m_errorText = nullptr;
    QPushButton *m_errorOk = nullptr;
    QPushButton *m_changeFolder = nullptr;
    QPushButton *m_revealFolder = nullptr;

    // Trash
    QLabel *m_trashCount = nullptr;
    QPushButton *m_showTrash = nullptr;
    QPushButton *m_emptyTrash = nullptr;

    // Danger zone
    QLabel *m_dangerIcon = nullptr;
    QPushButton *m_deleteNotes = nullptr;
    QPushButton *m_deleteAccount = nullptr;
    QLabel *m_deleteAccountSignedOut = nullptr;

    // Footer line
    QLabel *m_footer = nullptr;
};
