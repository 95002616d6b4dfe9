#pragma once

#include "store/Note.h"
#include "sync/APIClient.h"
#include "sync/APIError.h"
#include "sync/LoopbackRedirect.h"
#include "sync/SyncState.h"
#include "sync/WireRecords.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

#include "platform/Browser.h"
#include "platform/Keychain.h"

#include <variant>

class AppSettings;
class NoteStore;
class SessionTelemetry;
class QTimer;

/// What one finished sync did (for the command-line tool and tests).
struct SyncReport
{
    int pushed = 0; ///< accepted notes of this device
    int pulled = 0; ///< notes received in "notes"
    int files = 0; ///< media files moved (uploaded plus downloaded)
    int skipped = 0; ///< received records that could not be used (unusable names)
    qint64 milliseconds = 0;
};

/// The diagnostics a feedback form may carry.
struct FeedbackDiagnostics
{
    QString text;
    int crashReports = 0;
};

/// Keeps the local notes and the account's notes on the server in step, and publishes the
/// state the footer and the account screen show. Main thread only; never fails to callers:
/// every failure ends in `state` and the log ("app.scrivelbar.app.sync").
///
/// A sync pushes the dirty notes in batches of 100 (oldest change first) with the stored
/// cursor, lets the store merge what comes back (keeping conflict copies), and repeats while
/// the server has more or notes are still dirty, at most 50 times. When an answer carries
/// "mediaWanted", a media pass follows: requested files are uploaded and missing files of the
/// received notes downloaded, one at a time.
class SyncEngine : public QObject
{
    Q_OBJECT
    Q_PROPERTY(SyncState state READ state NOTIFY stateChanged)
    Q_PROPERTY(int mediaPending READ mediaPending NOTIFY mediaPendingChanged)

public:
    /// Construction parameters. The delays are the product's values; tests shorten them.
    struct Options
    {
        /// The periodic sync.
        std::chrono::milliseconds syncInterval { 300000 };
        /// Quiet period after the last store change before an automatic sync.
        std::chrono::milliseconds changeDebounce { 4000 };
        /// Replaces the setting's server address when not null (the command-line tool's
        /// --server, tests).
        QString serverURL;
        APIClient::Options client;
        /// Opens the sign-in and dashboard addresses (not owned; null → the desktop's browser).
        Browser *browser = nullptr;
        /// How long sign-in waits for the browser's redirect.
        std::chrono::milliseconds signInTimeout { 300000 };
        /// Google's accounts host (tests point it elsewhere).
        QString accountsHost = QStringLiteral("https://accounts.google.com");
        /// Told the sign-in address and whether a browser was started (the command-line tool
        /// prints it).
        std::function<void(const QUrl &, bool opened)> signInAddress;
        /// Usage telemetry of the session (not owned; null → none: events go to the
        /// process-wide recorder and nothing is configured or flushed).
        SessionTelemetry *telemetry = nullptr;
    };

    /// Health check outcome: the server's health, or why it could not be read.
    using Health = std::expected<ServerHealth, APIError>;

    /// Notes pushed in one request.
    static constexpr int pushBatch = 100;
    /// Requests in one sync.
    static constexpr int maxExchanges = 50;

    /// The product's engine; the session token comes from the engine's own keychain.
    SyncEngine(NoteStore *store, AppSettings *settings, QObject *parent = nullptr);
    /// `keychain` (not owned; null → an empty in-memory one) holds the session token.
    SyncEngine(NoteStore *store, AppSettings *settings, Keychain *keychain, const Options &options,
               QObject *parent = nullptr);
    /// The same, owning `keychain` (the application's desktop keychain).
    SyncEngine(NoteStore *store, AppSettings *settings, std::unique_ptr<Keychain> keychain,
               const Options &options, QObject *parent = nullptr);
    ~SyncEngine() override;

    SyncState state() const { return m_state; }
    std::optional<APIUser> account() const { return m_account; }
    int mediaPending() const { return m_mediaPending; }
    /// The conflict copies the last successful sync made; a sync that fails after making
    /// copies adds them to the list.
    const QList<Note> &lastConflicts() const { return m_lastConflicts; }
    /// The user has seen them: the list becomes empty (the copies stay in the store).
    void dismissConflicts();
    std::optional<Health> health() const { return m_health; }
    std::optional<MediaUsage> mediaUsage() const { return m_mediaUsage; }
    /// The counts of the last sync that ended `idle`.
    SyncReport lastReport() const { return m_lastReport; }
    /// The one client of this run (telemetry shares it).
    APIClient *client() const { return m_client; }
    /// True from the start of a sync to its end.
    bool isSyncing() const { return m_inFlight; }
    /// True until the start-up check of a stored session is done (`sessionRestored`).
    bool isRestoringSession() const { return m_restoring; }

    /// Starts a sync now (no-op while signed out or already syncing). Returns at once.
    void sync();
    /// Starts a sync when signed in, automatic sync is on, a server is set and the account
    /// includes sync.
    void syncIfPossible();
    /// Reads the server's health (then its media usage). Returns at once.
    void checkHealth();
    /// Fetches media usage when signed in to a server whose health says it stores media;
    /// otherwise usage becomes absent. Returns at once.
    void refreshMediaUsage();

    /// Signs in with Google in the browser, then syncs. Needs a health check that named a
    /// Google client. Returns at once; `accountOperationFinished` tells the end.
    void signInWithGoogle(bool acceptedTerms);
    /// True from the start of a sign-in to its end.
    bool isSigningIn() const { return m_signingIn; }
    /// True while a sign-in, sign-out, account deletion or dashboard request runs; others are
    /// refused meanwhile.
    bool isAccountOperationRunning() const { return m_signingIn || m_accountBusy; }
    /// Stops waiting for the browser: the sign-in ends as cancelled. No-op otherwise.
    void cancelSignIn();
    /// Publishes the note (syncing first when the server may lack its current text) and
    /// gives the public address.
    QCoro::Task<APIResult<QUrl>> publicLink(QString noteID);
    /// The note's live links; empty without an account or on any failure.
    QCoro::Task<QList<ShareLink>> liveLinks(QString noteID);
    /// Revokes every live link of the note, in order; the first failure stops.
    QCoro::Task<APIResult<void>> stopSharing(QString noteID);
    /// Opens the account's web dashboard in the browser. Returns at once.
    void openDashboard();
    /// Ends the session on this device; the notes stay and will all be pushed again after
    /// the next sign-in. Works offline. Returns at once.
    void signOut();
    /// Deletes the account on the server; the local notes stay. Returns at once.
    void deleteAccount();
    /// Asks the server at `url` (a server address the settings accept) for its health, with a
    /// client of its own and no token: whether a server of ours answers there.
    QCoro::Task<APIResult<ServerHealth>> probeServer(QString url);
    /// Uses the server at `url` from now on: signed in, the session first ends at the old
    /// server (as signOut does); then the settings keep the address and its health is
    /// checked. An account operation: `accountOperationFinished` tells the end. Ignored while
    /// another runs or when `url` is no server address.
    void changeServer(QString url);
    /// Sends the feedback form.
    QCoro::Task<APIResult<void>> sendFeedback(QString message, std::optional<QByteArray> picture,
                                              std::optional<FeedbackDiagnostics> diagnostics);

    /// A short, stable failure code for telemetry ("http_500", "offline", "no_server",
    /// "unauthorized", "other").
    static QString reason(const ClientError &error);

Q_SIGNALS:
    void stateChanged(const SyncState &state);
    void accountChanged();
    void mediaPendingChanged(int count);
    void lastConflictsChanged();
    void healthChanged();
    void mediaUsageChanged();
    /// A sync ended, whatever the outcome (`state` tells which).
    void syncFinished();
    /// The start-up check of a stored session is done (with or without an account).
    void sessionRestored();
    /// A sign-in, sign-out, account deletion or dashboard request ended (`state` tells how).
    void accountOperationFinished();

private:
    QCoro::Task<> restoreSession();
    QCoro::Task<> runSync();
    QCoro::Task<int> moveMedia(QList<MediaRef> uploads, QStringList downloadNotes);
    QCoro::Task<> runHealthCheck();
    QCoro::Task<> runMediaUsage();
    QCoro::Task<KeychainResult> readToken();
    /// Configures the client with the server address and the stored token; an error text
    /// when the keychain cannot be read.
    QCoro::Task<QString> configureClient();
    QCoro::Task<> runSignIn(bool acceptedTerms);
    QCoro::Task<> runSignOut();
    /// Telemetry's last flush, the logout request and the local end of the session.
    QCoro::Task<> signOutSteps();
    QCoro::Task<> runChangeServer(QString url);
    QCoro::Task<> runDeleteAccount();
    QCoro::Task<> runDashboard();
    /// Forgets the session locally (token, account, usage) and marks every note for a push.
    QCoro::Task<> endSession();
    /// The local end of every session, whoever ends it: e-mail, account and usage cleared,
    /// every note marked for a push from cursor 0, state `signedOut`. The notes stay.
    void forgetSession();
    void fail(const ClientError &error);
    /// Ends a sign-in, sign-out, deletion or dashboard request (`accountOperationFinished`).
    void finishAccountOperation();
    QString serverURL() const;
    void setState(const SyncState &state);
    void setAccount(const std::optional<APIUser> &account);
    void setMediaPending(int count);
    void setHealth(const std::optional<Health> &health);
    void setMediaUsage(const std::optional<MediaUsage> &usage);
    void startTimer();

    NoteStore *m_store;
    AppSettings *m_settings;
    Options m_options;
    std::unique_ptr<Keychain> m_ownKeychain;
    std::unique_ptr<Browser> m_ownBrowser;
    Browser *m_browser;
    Keychain *m_keychain;
    SessionTelemetry *m_telemetry;
    APIClient *m_client;
    QTimer *m_timer = nullptr;
    QTimer *m_debounce = nullptr;
    bool m_inFlight = false;
    /// Changes whenever a session ends, so work begun under it knows to drop its results.
    quint64 m_session = 0;
    bool m_restoring = true;
    bool m_signingIn = false;
    bool m_accountBusy = false;
    QPointer<LoopbackRedirect::Canceller> m_signInCanceller;

    SyncState m_state = SyncState::signedOut();
    std::optional<APIUser> m_account;
    int m_mediaPending = 0;
    QList<Note> m_lastConflicts;
    std::optional<Health> m_health;
    std::optional<MediaUsage> m_mediaUsage;
    SyncReport m_lastReport;
};
