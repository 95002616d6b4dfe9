#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class AIService;
class AISettingsSection;
class AccountOperations;
class AccountPart;
class AppSettings;
class DangerSection;
class FeedbackView;
class Dialogs;
class HotKeyManager;
class NoteStore;
class NotesFolderSection;
class PreferencesSection;
class QLabel;
class QToolButton;
class SyncEngine;
class SyncSection;
class Telemetry;
class TrashSection;
class VersionLine;

/// The account and settings screen: a header with the back button, then one scrolling column
/// of sections, each its own widget: the sync block (SyncSection: signed out or signed in,
/// with the server's status and the telemetry row), the AI settings (AISettingsSection), the
/// preferences (PreferencesSection), the
/// notes folder (NotesFolderSection), the trash (TrashSection), the danger zone
/// (DangerSection) and the line with the version and the server (VersionLine).
///
/// The sections read the store, the sync engine, the settings and telemetry, call their
/// operations and re-render on their change signals; the screen keeps only their flags (terms
/// accepted, busy, open confirmations). Each time it is shown it re-reads the login item and
/// checks the server's health.
class AccountView : public QWidget
{
    Q_OBJECT
public:
    /// `onBack` leaves the screen; `onShowTrash` opens the trash list (empty: no show button).
    /// `telemetry` (null: no telemetry row) is where the telemetry row reads the account's
    /// flags and sends the user's choice. The shared objects must outlive the view.
    AccountView(NoteStore *store, SyncEngine *sync, AppSettings *settings, Dialogs *dialogs,
                std::function<void()> onBack, std::function<void()> onShowTrash = {},
                Telemetry *telemetry = nullptr, const HotKeyManager *hotKeys = nullptr,
                AIService *ai = nullptr,
                QWidget *parent = nullptr);
    ~AccountView() override;

    /// An operation started from this screen (sign-in, sync now, dashboard, sign-out, account
    /// deletion) has not ended yet.
    /// Also true for an account operation started from an earlier visit of this screen.
    bool isBusy() const;
    bool acceptedTerms() const;
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
    /// Takes the picture of the panel, then shows the feedback form in place of the screen
    /// until it is closed.
    void openFeedback();
    /// The open feedback form, or null.
    FeedbackView *feedbackView() const { return m_feedback; }

    SyncSection *syncSection() const { return m_syncSection; }
    AISettingsSection *aiSection() const { return m_ai; }
    PreferencesSection *preferencesSection() const { return m_preferences; }
    NotesFolderSection *notesFolderSection() const { return m_folder; }
    TrashSection *trashSection() const { return m_trash; }
    DangerSection *dangerSection() const { return m_danger; }

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildUi(NoteStore *store, Dialogs *dialogs, Telemetry *telemetry,
                 const HotKeyManager *hotKeys, AIService *ai,
                 std::function<void()> onShowTrash);
    void translateHeader();
    /// The header's and every part's texts, after the settings changed the language.
    void retranslate();
    void applyLook();

    SyncEngine *m_sync;
    AppSettings *m_settings;
    std::function<void()> m_onBack;
    AccountOperations *m_operations = nullptr;

    QToolButton *m_back = nullptr;
    QLabel *m_title = nullptr;
    QList<QWidget *> m_separators;

    SyncSection *m_syncSection = nullptr;
    AISettingsSection *m_ai = nullptr;
    PreferencesSection *m_preferences = nullptr;
    NotesFolderSection *m_folder = nullptr;
    TrashSection *m_trash = nullptr;
    DangerSection *m_danger = nullptr;
    VersionLine *m_version = nullptr;
    /// The screen's own widgets, hidden while the feedback form stands in their place.
    QList<QWidget *> m_page;
    FeedbackView *m_feedback = nullptr;
};
