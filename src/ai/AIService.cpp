#include "ai/AIService.h"

#include "ai/LocalAI.h"
#include "ai/OpenRouterConnect.h"
#include "base/AppInfo.h"
#include "base/Localization.h"
#include "base/UsageRecorder.h"
#include "platform/Browser.h"
#include "platform/Keychain.h"
#include "settings/AppSettings.h"
#include "store/NoteStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUuid>

namespace {

Q_LOGGING_CATEGORY(lcAI, "app.scrivelbar.app.ai")

QString newID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// The ISO code sent with a cloud transcription: the chosen speech language, else the
// language of the speech locale, else none.
std::optional<QString> transcriptionLanguage(const AppSettings &settings)
{
    if (settings.speechLanguage() != AppLanguage::System)
        return appLanguageRawValue(settings.speechLanguage());
    const QLocale locale = settings.speechLocale();
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return std::nullopt;
    const QString code = locale.name().section(u'_', 0, 0);
    if (code.isEmpty() || code == u"C")
        return std::nullopt;
    return code;
}

} // namespace

const char *const AIService::summaryPrompt
    = "You summarize a personal note. Reply with the summary only, in Markdown, in the same "
      "language the note is written in: one sentence with the gist, then at most five bullet "
      "points with the key facts, decisions and to-dos. Use only what the note says; add "
      "nothing from outside it. No title and no preamble.";

QString aiActionLabel(AIService::Action::Kind kind)
{
    switch (kind) {
    case AIService::Action::Kind::ExtractText:
        return QStringLiteral("extract_text");
    case AIService::Action::Kind::Transcribe:
        return QStringLiteral("transcribe");
    case AIService::Action::Kind::Summarize:
        return QStringLiteral("summarize");
    }
    return QString();
}

QString AIService::keychainService()
{
    return QString::fromUtf8(AppInfo::identifier) + QStringLiteral(".ai");
}

AIService::AIService(AppSettings *settings, NoteStore *store, Options options, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_store(store)
    , m_options(std::move(options))
{
    if (!m_options.browser) {
        m_ownBrowser = Browser::create();
        m_options.browser = m_ownBrowser.get();
    }
    if (m_options.local) {
        QPointer<AIService> self(this);
        m_options.local->setStatusListener([self] {
            if (self)
                Q_EMIT self->localStatusChanged();
        });
    }
    auto scanning = loadKeys();
    Q_UNUSED(scanning);
}

AIService::AIService(AppSettings *settings, NoteStore *store, std::unique_ptr<Keychain> keychain,
                     Options options, QObject *parent)
    : AIService(
        settings, store,
        [&] {
            options.keychain = keychain.get();
            return std::move(options);
        }(),
        parent)
{
    m_ownKeychain = std::move(keychain);
}

AIService::~AIService() = default;

// ---- published state ----

void AIService::setRunning(const std::optional<Job> &job)
{
    if (job == m_running)
        return;
    m_running = job;
    Q_EMIT runningChanged();
}

void AIService::setResult(const std::optional<Result> &result)
{
    if (result == m_result)
        return;
    m_result = result;
    Q_EMIT resultChanged();
}

void AIService::setProblem(const std::optional<Problem> &problem)
{
    if (problem == m_problem)
        return;
    m_problem = problem;
    Q_EMIT problemChanged();
}

void AIService::setConsent(const std::optional<Consent> &consent)
{
    if (consent == m_consent)
        return;
    m_consent = consent;
    Q_EMIT consentChanged();
}

void AIService::setStoredKeys(const QList<AIProvider> &providers)
{
    if (providers == m_storedKeys)
        return;
    m_storedKeys = providers;
    Q_EMIT storedKeysChanged(m_storedKeys);
}

void AIService::setConnecting(bool connecting)
{
    if (connecting == m_connecting)
        return;
    m_connecting = connecting;
    Q_EMIT connectingChanged(connecting);
}

void AIService::setKeyProblem(const QString &problem)
{
    if (problem == m_keyProblem)
        return;
    m_keyProblem = problem;
    Q_EMIT keyProblemChanged(problem);
}

// ---- jobs ----

bool AIService::canRun(Action::Kind kind) const
{
    switch (kind) {
    case Action::Kind::ExtractText:
        return m_options.local != nullptr;
    case Action::Kind::Transcribe: {
        const auto provider = providerFor(Action::transcribe({}));
        return provider ? *provider == AIProvider::OpenAI : m_options.local != nullptr;
    }
    case Action::Kind::Summarize:
        return true;
    }
    return false;
}

std::optional<QString> AIService::localSummaryUnavailableReason() const
{
    if (!m_options.local)
        return L("ai.local.summary.unsupported");
    return m_options.local->summaryUnavailableReason();
}

QString AIService::localEngineFor(Action::Kind kind) const
{
    if (!m_options.local)
        return {};
    switch (kind) {
    case Action::Kind::ExtractText:
        return m_options.local->engineFor(LocalAI::Job::Text);
    case Action::Kind::Transcribe:
        return m_options.local->engineFor(LocalAI::Job::Speech);
    case Action::Kind::Summarize:
        return m_options.local->engineFor(LocalAI::Job::Summary);
    }
    return {};
}

void AIService::refreshLocalStatus()
{
    if (m_options.local)
        m_options.local->refreshStatus();
}

std::optional<AIProvider> AIService::providerFor(const Action &action) const
{
    if (!m_settings)
        return std::nullopt;
    switch (action.kind) {
    case Action::Kind::ExtractText:
        return std::nullopt;
    case Action::Kind::Transcribe:
        if (m_settings->transcriptionEngine() == AIEngine::Provider)
            return m_settings->aiProvider();
        return std::nullopt;
    case Action::Kind::Summarize:
        if (m_settings->summaryEngine() == AIEngine::Provider)
            return m_settings->aiProvider();
        return std::nullopt;
    }
    return std::nullopt;
}

void AIService::run(const Action &action, const QString &noteID)
{
    if (m_running)
        return;
    setProblem(std::nullopt);
    const Job job { noteID, action, false };
    const auto provider = providerFor(action);
    if (provider && *provider != AIProvider::None && m_settings
        && m_settings->aiAskBeforeSending()) {
        setConsent(Consent { newID(), job, *provider });
        return;
    }
    start(job);
}

void AIService::runOnFile(Action::Kind kind, const QString &filePath)
{
    if (m_running)
        return;
    setProblem(std::nullopt);
    const Job job { QString(), Action { kind, QFileInfo(filePath).absoluteFilePath() }, true };
    const auto provider = providerFor(job.action);
    if (provider && *provider != AIProvider::None && m_settings
        && m_settings->aiAskBeforeSending()) {
        setConsent(Consent { newID(), job, *provider });
        return;
    }
    start(job);
}

void AIService::approveConsent(const Consent &consent, bool always)
{
    if (!m_consent || m_consent->id != consent.id)
        return;
    const Job job = m_consent->job;
    setConsent(std::nullopt);
    if (always && m_settings)
        m_settings->setAiAskBeforeSending(false);
    if (m_running)
        return;
    start(job);
}

void AIService::declineConsent(const Consent &consent)
{
    if (!m_consent || m_consent->id != consent.id)
        return;
    setConsent(std::nullopt);
}

void AIService::start(const Job &job)
{
    setRunning(job);
    auto task = execute(job);
    Q_UNUSED(task);
}

QCoro::Task<> AIService::execute(Job job)
{
    QPointer<AIService> self(this);
    QElapsedTimer clock;
    clock.start();
    const QString actionLabel = aiActionLabel(job.action.kind);
    const auto provider = providerFor(job.action);
    const QString providerLabel
        = provider ? aiProviderRawValue(*provider) : QStringLiteral("local");
    // Taken now: the recorder may be replaced while the job waits, but not destroyed.
    UsageRecorder *recorder = m_options.recorder ? m_options.recorder : &UsageRecorder::shared();

    const AIResult<Output> outcome = co_await perform(job);
    if (!self)
        co_return; // the service went away: nobody is left to tell
    if (outcome) {
        setResult(Result { newID(), job, outcome->text, outcome->source });
    } else if (outcome.error().kind != AIError::Kind::Cancelled) {
        qCCritical(lcAI, "%s via %s failed", qUtf8Printable(actionLabel),
                   qUtf8Printable(providerLabel));
        setProblem(Problem { job.noteID, outcome.error().description() });
    }
    recorder->record(QStringLiteral("ai_used"),
                     { { QStringLiteral("action"), actionLabel },
                       { QStringLiteral("provider"), providerLabel },
                       { QStringLiteral("ok"), outcome.has_value() },
                       { QStringLiteral("ms"), double(clock.nsecsElapsed()) / 1e6 } });
    setRunning(std::nullopt);
    Q_EMIT jobFinished(job, outcome.has_value());
}

AIResult<QString> AIService::mediaFile(const Job &job) const
{
    const QString missing = L("ai.error.mediaMissing");
    QString path;
    if (job.onFile) {
        path = job.action.path;
    } else {
        if (!m_store)
            return AIResult<QString>::failure(AIError::empty());
        // The path comes from a note body, which other programs and other devices write: it
        // must name a file under the notes folder's attachments, never something else.
        const QString folder = QDir::cleanPath(m_store->notesFolder());
        const QString relative = job.action.path;
        path = QDir::cleanPath(folder + u'/' + relative);
        if (QDir::isAbsolutePath(relative)
            || !path.startsWith(folder + QStringLiteral("/attachments/")))
            return AIResult<QString>::failure(AIError::unavailable(missing));
    }
    if (!QFileInfo(path).isFile())
        return AIResult<QString>::failure(AIError::unavailable(missing));
    return path;
}

QCoro::Task<AIResult<ProviderClient>> AIService::client(AIProvider provider)
{
    if (provider == AIProvider::None)
        co_return AIResult<ProviderClient>::failure(AIError::unavailable(L("ai.error.noProvider")));
    if (!m_options.keychain)
        co_return AIResult<ProviderClient>::failure(AIError::noKey(provider));
    QPointer<AIService> self(this);
    const KeychainResult read
        = co_await m_options.keychain->read(keychainService(), aiProviderRawValue(provider));
    if (!self || !m_settings)
        co_return AIResult<ProviderClient>::failure(AIError::cancelled());
    if (!read.ok())
        co_return AIResult<ProviderClient>::failure(AIError::unavailable(read.error));
    if (!read.secret || read.secret->trimmed().isEmpty())
        co_return AIResult<ProviderClient>::failure(AIError::noKey(provider));
    co_return ProviderClient(provider, read.secret->trimmed(), m_settings->aiModel(provider),
                             m_options.client);
}

QCoro::Task<AIResult<AIService::Output>> AIService::perform(Job job)
{
    using Failure = AIResult<Output>;
    QPointer<AIService> self(this);
    if (!m_settings)
        co_return Failure::failure(AIError::cancelled());
    std::optional<Note> note;
    if (!job.onFile) {
        if (m_store)
            note = m_store->note(job.noteID);
        if (!note)
            co_return Failure::failure(AIError::empty());
    }
    const auto provider = providerFor(job.action);
    const QString local = L("ai.source.local");
    LocalAI *engine = m_options.local;

    switch (job.action.kind) {
    case Action::Kind::ExtractText: {
        const auto file = mediaFile(job);
        if (!file)
            co_return Failure::failure(file.error());
        if (!engine)
            co_return Failure::failure(AIError::unavailable(L("ai.local.text.unsupported")));
        const auto text = co_await engine->recognizeText(*file);
        if (!text)
            co_return Failure::failure(text.error());
        co_return Output { *text, local };
    }
    case Action::Kind::Transcribe: {
        if (provider && *provider != AIProvider::OpenAI)
            co_return Failure::failure(AIError::unavailable(
                L("ai.error.noTranscription", aiProviderDisplayName(*provider))));
        const auto file = mediaFile(job);
        if (!file)
            co_return Failure::failure(file.error());
        if (!provider) {
            if (!engine)
                co_return Failure::failure(AIError::unavailable(L("ai.local.speech.unsupported")));
            const auto text = co_await engine->transcribe(*file, m_settings->speechLocale());
            if (!text)
                co_return Failure::failure(text.error());
            co_return Output { *text, local };
        }
        const auto language = transcriptionLanguage(*m_settings);
        const auto openai = co_await client(AIProvider::OpenAI);
        if (!self)
            co_return Failure::failure(AIError::cancelled());
        if (!openai)
            co_return Failure::failure(openai.error());
        const auto text = co_await openai->transcribe(*file, language);
        if (!text)
            co_return Failure::failure(text.error());
        co_return Output { *text, QStringLiteral("OpenAI") };
    }
    case Action::Kind::Summarize: {
        if (!note)
            co_return Failure::failure(AIError::empty());
        const QString text = TextUtil::trimWhitespace(note->textLines().join(u'\n'));
        if (text.isEmpty())
            co_return Failure::failure(AIError::unavailable(L("ai.error.nothingToSummarize")));
        const QString instructions = QString::fromUtf8(summaryPrompt);
        if (!provider) {
            if (!engine) {
                co_return Failure::failure(AIError::unavailable(L("ai.local.summary.unsupported")));
            }
            const auto summary = co_await engine->summarize(text, instructions);
            if (!summary)
                co_return Failure::failure(summary.error());
            co_return Output { *summary, local };
        }
        const auto cloud = co_await client(*provider);
        if (!self)
            co_return Failure::failure(AIError::cancelled());
        if (!cloud)
            co_return Failure::failure(cloud.error());
        AIResult<QString> summary;
        if (*provider == AIProvider::Anthropic)
            summary = co_await cloud->anthropic(instructions, text);
        else
            summary = co_await cloud->chatCompletions(instructions, text);
        if (!summary)
            co_return Failure::failure(summary.error());
        co_return Output { *summary, aiProviderDisplayName(*provider) };
    }
    }
    co_return Failure::failure(AIError::empty());
}

// ---- keeping results ----

void AIService::insertIntoNote(const Result &result)
{
    if (!m_store || result.job.onFile)
        return;
    auto note = m_store->note(result.job.noteID);
    // The store does not edit a trashed note: clearing the result then would lose it.
    if (!note || note->deleted)
        return;
    if (result.job.action.kind == Action::Kind::Summarize)
        note->appendText(QStringLiteral("## ") + L("ai.summary.heading") + QStringLiteral("\n\n")
                         + result.text);
    else
        note->insertText(result.text, result.job.action.path);
    m_store->setBody(note->body, note->id, true);
    setResult(std::nullopt);
}

std::optional<Note> AIService::saveAsNewNote(const Result &result)
{
    if (!m_store)
        return std::nullopt;
    QString body;
    if (result.job.action.kind == Action::Kind::Summarize) {
        const auto source = result.job.onFile ? std::nullopt : m_store->note(result.job.noteID);
        const QString title = source ? source->title() : L("note.untitled");
        body = QStringLiteral("# ") + L("ai.summary.of", title) + QStringLiteral("\n\n")
            + result.text;
    } else {
        body = result.text;
    }
    body += u'\n';
    setResult(std::nullopt);
    return m_store->create(body);
}

void AIService::dismissResult()
{
    setResult(std::nullopt);
}

void AIService::clearProblem()
{
    setProblem(std::nullopt);
}

void AIService::editResult(const QString &text)
{
    if (!m_result || m_result->text == text)
        return;
    Result edited = *m_result;
    edited.text = text;
    setResult(edited);
}

// ---- keys ----

QCoro::Task<> AIService::loadKeys()
{
    QPointer<AIService> self(this);
    QList<AIProvider> found;
    QString problem;
    if (m_options.keychain) {
        Keychain *keychain = m_options.keychain;
        for (const AIProvider provider : allAIProviders()) {
            if (provider == AIProvider::None)
                continue;
            const KeychainResult read
                = co_await keychain->read(keychainService(), aiProviderRawValue(provider));
            if (!self)
                co_return;
            if (!read.ok()) {
                // Unreachable for one is unreachable for all: say so once, ask no further.
                problem = read.error;
                break;
            }
            if (read.secret && !read.secret->trimmed().isEmpty())
                found.append(provider);
        }
    }
    setStoredKeys(found);
    setKeyProblem(problem);
    m_loadingKeys = false;
    Q_EMIT keysLoaded();
}

QCoro::Task<QString> AIService::saveKey(QString key, AIProvider provider)
{
    const QString trimmed = key.trimmed();
    if (provider == AIProvider::None || trimmed.isEmpty() || !m_options.keychain)
        co_return QString();
    QPointer<AIService> self(this);
    const KeychainResult saved = co_await m_options.keychain->save(trimmed, keychainService(),
                                                                   aiProviderRawValue(provider));
    if (!self)
        co_return saved.error;
    if (!saved.ok()) {
        setKeyProblem(saved.error);
        co_return saved.error;
    }
    QList<AIProvider> keys;
    for (const AIProvider p : allAIProviders())
        if (p == provider || m_storedKeys.contains(p))
            keys.append(p);
    setStoredKeys(keys);
    setKeyProblem(QString());
    co_return QString();
}

QCoro::Task<QString> AIService::removeKey(AIProvider provider)
{
    if (!m_options.keychain)
        co_return QString();
    QPointer<AIService> self(this);
    const KeychainResult removed
        = co_await m_options.keychain->remove(keychainService(), aiProviderRawValue(provider));
    if (!self)
        co_return removed.error;
    if (!removed.ok()) {
        setKeyProblem(removed.error);
        co_return removed.error;
    }
    QList<AIProvider> keys = m_storedKeys;
    keys.removeAll(provider);
    setStoredKeys(keys);
    setKeyProblem(QString());
    co_return QString();
}

QCoro::Task<std::optional<QString>> AIService::connectOpenRouter()
{
    if (m_connecting)
        co_return std::nullopt;
    QPointer<AIService> self(this);
    setConnecting(true);
    OpenRouterConnect::Options options;
    options.browser = m_options.browser;
    options.timeout = m_options.connectTimeout;
    options.opened = m_options.connectOpened;
    options.http = m_options.client;
    const AIResult<QString> key = co_await OpenRouterConnect::connect(options);
    if (!self)
        co_return std::nullopt;
    std::optional<QString> problem;
    if (key) {
        const QString saved = co_await saveKey(*key, AIProvider::OpenRouter);
        if (!self)
            co_return std::nullopt;
        if (!saved.isEmpty())
            problem = saved;
    } else {
        problem = key.error().description();
    }
    setConnecting(false);
    co_return problem;
}
