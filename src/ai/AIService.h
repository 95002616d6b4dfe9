#pragma once

#include "ai/AIError.h"
#include "ai/ProviderClient.h"
#include "settings/SettingsTypes.h"
#include "store/Note.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class AppSettings;
class Browser;
class Keychain;
class LocalAI;
class NoteStore;
class UsageRecorder;

/// The one object through which the app asks for AI help on a note: summaries, the text of
/// an attached image, the transcript of an attached recording. It runs one job at a time, on
/// the device (`LocalAI`) or at the cloud provider the settings name (`ProviderClient`), asks
/// for consent before a note leaves the machine, publishes the running job, the result or
/// the problem, and keeps a result in the notes only through the store. It also keeps the
/// providers' keys in the keychain. Main thread only; nothing fails to the caller: every
/// outcome ends in the published state.
class AIService : public QObject
{
    Q_OBJECT
    Q_PROPERTY(std::optional<AIService::Job> running READ running NOTIFY runningChanged)
    Q_PROPERTY(std::optional<AIService::Result> result READ result NOTIFY resultChanged)
    Q_PROPERTY(std::optional<AIService::Problem> problem READ problem NOTIFY problemChanged)
    Q_PROPERTY(std::optional<AIService::Consent> consent READ consent NOTIFY consentChanged)
    Q_PROPERTY(QList<AIProvider> storedKeys READ storedKeys NOTIFY storedKeysChanged)
    Q_PROPERTY(bool connecting READ connecting NOTIFY connectingChanged)
    Q_PROPERTY(QString keyProblem READ keyProblem NOTIFY keyProblemChanged)
public:
    /// What to do.
    struct Action
    {
        enum class Kind { ExtractText, Transcribe, Summarize };
        Kind kind = Kind::Summarize;
        /// The media path as the body writes it ("attachments/<id>/<file>"); for a job on a
        /// file (`runOnFile`) the file's absolute path; empty for a summary.
        QString path;

        static Action extractText(const QString &path) { return { Kind::ExtractText, path }; }
        static Action transcribe(const QString &path) { return { Kind::Transcribe, path }; }
        static Action summarize() { return { Kind::Summarize, {} }; }
        bool operator==(const Action &) const = default;
    };

    struct Job
    {
        QString noteID;
        Action action;
        /// A file outside the notes (the command-line tool): no note, nothing to keep it in.
        bool onFile = false;
        bool operator==(const Job &) const = default;
    };

    struct Result
    {
        QString id; ///< a fresh UUID
        Job job;
        QString text; ///< the user may edit it before keeping it
        QString source; ///< the provider's name, "OpenAI", or L("ai.source.local")
        bool operator==(const Result &) const = default;
    };

    struct Consent
    {
        QString id; ///< a fresh UUID
        Job job;
        AIProvider provider = AIProvider::None; ///< who would receive the data
        bool operator==(const Consent &) const = default;
    };

    struct Problem
    {
        QString noteID;
        QString message;
        bool operator==(const Problem &) const = default;
    };

    struct Options
    {
        /// Where the keys live (not owned; required unless one is handed over).
        Keychain *keychain = nullptr;
        /// The on-device engine (not owned); null → local jobs fail as unavailable.
        LocalAI *local = nullptr;
        /// Opens OpenRouter's page (not owned); null → the desktop's browser.
        Browser *browser = nullptr;
        /// Where "ai_used" goes (not owned); null → UsageRecorder::shared().
        UsageRecorder *recorder = nullptr;
        /// The providers' HTTP session and limits.
        ProviderClient::Options client;
        /// How long the OpenRouter connect waits for the browser.
        std::chrono::milliseconds connectTimeout { 300000 };
        /// Told OpenRouter's authorization address and whether a browser opened it.
        std::function<void(const QUrl &, bool opened)> connectOpened;
    };

    /// The instructions of every summary, local or cloud.
    static const char *const summaryPrompt;
    /// The keychain service of the providers' keys (the account is the provider's raw value).
    static QString keychainService();

    /// `settings` and `store` are not owned and may go away first (jobs then end quietly).
    AIService(AppSettings *settings, NoteStore *store, Options options, QObject *parent = nullptr);
    /// The same, owning `keychain` (the desktop's).
    AIService(AppSettings *settings, NoteStore *store, std::unique_ptr<Keychain> keychain,
              Options options, QObject *parent = nullptr);
    ~AIService() override;

    // Published state.
    std::optional<Job> running() const { return m_running; }
    std::optional<Result> result() const { return m_result; }
    std::optional<Problem> problem() const { return m_problem; }
    std::optional<Consent> consent() const { return m_consent; }
    /// Providers with a key in the keychain, in picker order.
    QList<AIProvider> storedKeys() const { return m_storedKeys; }
    bool hasKey(AIProvider provider) const { return m_storedKeys.contains(provider); }
    bool connecting() const { return m_connecting; }
    /// Why the keychain could not be used for the keys the last time it was asked (the scan
    /// at start, saving or removing a key); empty when it worked.
    QString keyProblem() const { return m_keyProblem; }
    /// True until the keychain has answered the scan of stored keys made at start.
    bool isLoadingKeys() const { return m_loadingKeys; }

    /// The provider a job for `action` would use, or nothing when it runs on the device.
    std::optional<AIProvider> providerFor(const Action &action) const;
    /// Whether a job of `kind` has an engine to run on with the current settings: a text
    /// extraction or a local transcription needs the on-device engine, a cloud transcription
    /// needs OpenAI. Summaries always can (their failures are explained in the problem).
    bool canRun(Action::Kind kind) const;
    /// Why on-device summaries cannot run here, or nothing when they can.
    std::optional<QString> localSummaryUnavailableReason() const;
    /// Which on-device engine runs a job of `kind` now, in words; empty without one.
    QString localEngineFor(Action::Kind kind) const;
    /// Asks the on-device engine to look again at its local servers.
    void refreshLocalStatus();

    /// Starts a job for the note (or asks for consent first). Ignored while one runs.
    void run(const Action &action, const QString &noteID);
    /// The same for a file outside the notes (text or transcript only).
    void runOnFile(Action::Kind kind, const QString &filePath);
    /// Answers the pending consent `consent`: clears it, with `always` stops asking, and
    /// starts its job. An answer to another question than the pending one is ignored.
    void approveConsent(const Consent &consent, bool always);
    void declineConsent(const Consent &consent);

    /// Keeps the result in its note (appended summary, or text below the media line), with
    /// undo. A note that is gone or in the trash keeps nothing and the result stays.
    void insertIntoNote(const Result &result);
    /// Keeps the result as a new note and returns it; nothing when the store is gone.
    std::optional<Note> saveAsNewNote(const Result &result);
    void dismissResult();
    void clearProblem();
    /// Replaces the text of the current result (the user's corrections).
    void editResult(const QString &text);

    /// Stores `key` (trimmed) for `provider`; blanks and None are ignored. The answer is
    /// empty, or why the keychain refused (also published as `keyProblem`).
    QCoro::Task<QString> saveKey(QString key, AIProvider provider);
    /// Deletes the provider's key; the answer as for `saveKey`.
    QCoro::Task<QString> removeKey(AIProvider provider);
    /// OpenRouter's browser flow; on success the key is stored and the answer is nothing,
    /// otherwise it is the reason for the user. Ignored (nothing) while one runs.
    QCoro::Task<std::optional<QString>> connectOpenRouter();

Q_SIGNALS:
    void runningChanged();
    void resultChanged();
    void problemChanged();
    void consentChanged();
    void storedKeysChanged(const QList<AIProvider> &providers);
    void connectingChanged(bool connecting);
    void keyProblemChanged(const QString &problem);
    /// The scan of stored keys made at start has its answer.
    void keysLoaded();
    /// What the on-device engine can run changed (`localSummaryUnavailableReason`,
    /// `localEngineFor`).
    void localStatusChanged();
    /// A job ended (after `result` or `problem` was published, or quietly when cancelled).
    void jobFinished(const AIService::Job &job, bool ok);

private:
    struct Output
    {
        QString text;
        QString source;
    };

    void start(const Job &job);
    QCoro::Task<> execute(Job job);
    QCoro::Task<AIResult<Output>> perform(Job job);
    QCoro::Task<AIResult<ProviderClient>> client(AIProvider provider);
    AIResult<QString> mediaFile(const Job &job) const;
    QCoro::Task<> loadKeys();

    void setRunning(const std::optional<Job> &job);
    void setResult(const std::optional<Result> &result);
    void setProblem(const std::optional<Problem> &problem);
    void setConsent(const std::optional<Consent> &consent);
    void setStoredKeys(const QList<AIProvider> &providers);
    void setConnecting(bool connecting);
    void setKeyProblem(const QString &problem);

    QPointer<AppSettings> m_settings;
    QPointer<NoteStore> m_store;
    Options m_options;
    std::unique_ptr<Keychain> m_ownKeychain;
    std::unique_ptr<Browser> m_ownBrowser;

    std::optional<Job> m_running;
    std::optional<Result> m_result;
    std::optional<Problem> m_problem;
    std::optional<Consent> m_consent;
    QList<AIProvider> m_storedKeys;
    bool m_connecting = false;
    bool m_loadingKeys = true;
    QString m_keyProblem;
};

/// The telemetry label of an action: "extract_text", "transcribe", "summarize".
QString aiActionLabel(AIService::Action::Kind kind);

Q_DECLARE_METATYPE(AIService::Job)
