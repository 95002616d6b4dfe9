#include "ai/local/LocalEngine.h"

#include "ai/local/LocalEndpoints.h"
#include "ai/local/RecognizerModule.h"
#include "ai/local/TextLanguages.h"
#include "base/Localization.h"
#include "settings/AppSettings.h"

#include <QCoro/QCoroFuture>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace {

AIError unavailable(const QString &message)
{
    return AIError::unavailable(message);
}

// A recognizer's outcome, or why the module holding the recognizers could not be loaded.
template<typename Outcome> struct Recognized
{
    Outcome outcome;
    QString moduleProblem; ///< empty when the module is loaded
};

// The worker jobs are made outside the coroutines: g++ 12 destroys a lambda's captures
// twice when the lambda is a temporary inside a co_await expression. The module is loaded
// inside the job, so the first job's loading never stalls the main thread.
QFuture<Recognized<Recognizers::TextOutcome>> readText(std::shared_ptr<RecognizerModule> module,
                                                       QString filePath, QStringList languages)
{
    return QtConcurrent::run(QThreadPool::globalInstance(),
                             [module = std::move(module), filePath = std::move(filePath),
                              languages = std::move(languages)] {
                                 Recognized<Recognizers::TextOutcome> result;
                                 if (const auto engines = module->engines())
                                     result.outcome
                                         = (*engines)->text().recognize(filePath, languages);
                                 else
                                     result.moduleProblem = engines.error();
                                 return result;
                             });
}

QFuture<Recognized<Recognizers::SpeechOutcome>> hearWords(std::shared_ptr<RecognizerModule> module,
                                                          QByteArray pcm)
{
    return QtConcurrent::run(QThreadPool::globalInstance(),
                             [module = std::move(module), pcm = std::move(pcm)] {
                                 Recognized<Recognizers::SpeechOutcome> result;
                                 if (const auto engines = module->engines())
                                     result.outcome = (*engines)->speech().recognize(pcm);
                                 else
                                     result.moduleProblem = engines.error();
                                 return result;
                             });
}

} // namespace

LocalEngine::LocalEngine(AppSettings *settings, Options options, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_options(options)
    , m_recognizers(std::make_shared<RecognizerModule>(
          Recognizers::Paths { TextLanguages::dataPath(options.tessdata), options.sphinxModels }))
    , m_speechServer(options.speech)
    , m_modelServer(options.model)
{
    if (m_settings && m_options.probeAtStart) {
        connect(m_settings, &AppSettings::localSpeechURLChanged, this, &LocalEngine::refreshStatus);
        connect(m_settings, &AppSettings::localModelURLChanged, this, &LocalEngine::refreshStatus);
        connect(m_settings, &AppSettings::localModelChanged, this, &LocalEngine::refreshStatus);
        refreshStatus();
    }
}

LocalEngine::~LocalEngine() = default;

QString LocalEngine::languageName(const QLocale &locale)
{
    switch (locale.language()) {
    case QLocale::English:
        return L("ai.language.en");
    case QLocale::Spanish:
        return L("ai.language.es");
    case QLocale::Portuguese:
        return L("ai.language.pt");
    default:
        return locale.name();
    }
}

std::optional<QString> LocalEngine::speechLanguageCode(const QLocale &locale)
{
    switch (locale.language()) {
    case QLocale::English:
        return QStringLiteral("en");
    case QLocale::Spanish:
        return QStringLiteral("es");
    case QLocale::Portuguese:
        return QStringLiteral("pt");
    default:
        return std::nullopt;
    }
}

// ---- text in images ----

QCoro::Task<AIResult<QString>> LocalEngine::recognizeText(QString filePath)
{
    using Kind = Recognizers::TextOutcome::Kind;
    using Failure = AIResult<QString>;
    QList<QLocale> preferred { Localization::locale() };
    if (m_settings)
        preferred.append(m_settings->speechLocale());
    const QStringList languages = textLanguagesFor(preferred);
    QPointer<LocalEngine> self(this);
    QFuture<Recognized<Recognizers::TextOutcome>> reading
        = readText(m_recognizers, filePath, languages);
    const Recognized<Recognizers::TextOutcome> read = co_await reading;
    if (self)
        self->setRecognizerProblem(read.moduleProblem);
    if (!read.moduleProblem.isEmpty())
        co_return Failure::failure(
            unavailable(L("ai.error.recognizerMissing", read.moduleProblem)));
    switch (read.outcome.kind) {
    case Kind::Text:
        co_return read.outcome.text;
    case Kind::NoText:
        co_return Failure::failure(unavailable(L("ai.error.noText")));
    case Kind::Unreadable:
        co_return Failure::failure(unavailable(L("ai.error.imageUnreadable")));
    case Kind::NoEngine:
        break;
    }
    co_return Failure::failure(unavailable(L("ai.local.text.noLanguages")));
}

// ---- speech ----

QCoro::Task<AIResult<QString>> LocalEngine::transcribe(QString filePath, QLocale locale)
{
    using Failure = AIResult<QString>;
    QPointer<LocalEngine> self(this);
    const AudioDecoder::Outcome audio = co_await AudioDecoder::decode(filePath, m_options.audio);
    if (!self)
        co_return Failure::failure(AIError::cancelled());
    switch (audio.kind) {
    case AudioDecoder::Outcome::Kind::Pcm:
        break;
    case AudioDecoder::Outcome::Kind::Unreadable:
        co_return Failure::failure(unavailable(L("ai.error.audioUnreadable", audio.detail)));
    case AudioDecoder::Outcome::Kind::TimedOut:
        co_return Failure::failure(unavailable(L("ai.error.audioStalled")));
    case AudioDecoder::Outcome::Kind::TooLong:
        co_return Failure::failure(
            AIError::tooLarge(L("ai.local.speech.maxDuration",
                                int(m_options.audio.maxDuration.count() / 60))));
    }
    // Speech engines make words up in silence: nothing audible is no speech, for both.
    if (audio.pcm.isEmpty() || AudioDecoder::isSilent(audio.pcm))
        co_return Failure::failure(unavailable(L("ai.error.noSpeech")));

    // The newer recognizer: a speech server here, when one answers. An address that is not
    // this machine's is never sent anything.
    const LocalEndpoints::Endpoint server = m_settings
        ? LocalEndpoints::speechServer(*m_settings)
        : LocalEndpoints::Endpoint {};
    if (server.problem.isEmpty() && server.url.isValid()) {
        const auto outcome = co_await m_speechServer.transcribe(
            server.url, AudioDecoder::wav(audio.pcm), speechLanguageCode(locale));
        if (!self)
            co_return Failure::failure(AIError::cancelled());
        setSpeechAnswers(outcome.kind != SpeechServerClient::Outcome::Kind::NotRunning);
        switch (outcome.kind) {
        case SpeechServerClient::Outcome::Kind::Text:
            co_return outcome.text;
        case SpeechServerClient::Outcome::Kind::NoSpeech:
            co_return Failure::failure(unavailable(L("ai.error.noSpeech")));
        case SpeechServerClient::Outcome::Kind::Failed:
            co_return Failure::failure(outcome.error);
        case SpeechServerClient::Outcome::Kind::NotRunning:
            break;
        }
    }

    // The classic recognizer: pocketsphinx knows US English only.
    if (locale.language() != QLocale::English)
        co_return Failure::failure(unavailable(L("ai.error.speechLanguage", languageName(locale))));
    QFuture<Recognized<Recognizers::SpeechOutcome>> hearing = hearWords(m_recognizers, audio.pcm);
    const Recognized<Recognizers::SpeechOutcome> heard = co_await hearing;
    if (self)
        self->setRecognizerProblem(heard.moduleProblem);
    if (!heard.moduleProblem.isEmpty())
        co_return Failure::failure(
            unavailable(L("ai.error.recognizerMissing", heard.moduleProblem)));
    switch (heard.outcome.kind) {
    case Recognizers::SpeechOutcome::Kind::Text:
        co_return heard.outcome.text;
    case Recognizers::SpeechOutcome::Kind::NoSpeech:
        co_return Failure::failure(unavailable(L("ai.error.noSpeech")));
    case Recognizers::SpeechOutcome::Kind::NoModel:
        break;
    }
    co_return Failure::failure(unavailable(L("ai.error.speechLanguage", languageName(locale))));
}

// ---- summaries ----

QCoro::Task<AIResult<QString>> LocalEngine::summarize(QString text, QString instructions)
{
    using Failure = AIResult<QString>;
    if (!m_settings)
        co_return Failure::failure(unavailable(L("ai.local.summary.off")));
    const LocalEndpoints::Endpoint server = LocalEndpoints::modelServer(*m_settings);
    if (!server.problem.isEmpty())
        co_return Failure::failure(unavailable(server.problem));
    QPointer<LocalEngine> self(this);
    const auto summary = co_await m_modelServer.summarize(server.url, m_settings->localModel(),
                                                          text, instructions);
    // A server that stopped or lost its model shows in the settings at once.
    if (self && !summary)
        self->refreshStatus();
    co_return summary;
}

std::optional<QString> LocalEngine::summaryUnavailableReason()
{
    if (!m_settings)
        return L("ai.local.summary.off");
    const LocalEndpoints::Endpoint server = LocalEndpoints::modelServer(*m_settings);
    if (!server.problem.isEmpty())
        return server.problem;
    if (!m_modelStatus)
        return L("ai.local.summary.checking");
    switch (m_modelStatus->kind) {
    case ModelServerClient::Status::Kind::Ready:
        return std::nullopt;
    case ModelServerClient::Status::Kind::Off:
        return L("ai.local.summary.off");
    case ModelServerClient::Status::Kind::NotReady:
        break;
    }
    return L("ai.local.summary.notReady");
}

QString LocalEngine::engineFor(Job job)
{
    switch (job) {
    case Job::Text: {
        if (!recognizersAvailable())
            return L("ai.local.engine.textMissing");
        QStringList names;
        for (const QString &code :
             TextLanguages::installed(TextLanguages::dataPath(m_options.tessdata)))
            names.append(languageName(QLocale(code == u"eng" ? QLocale::English
                                              : code == u"spa" ? QLocale::Spanish
                                                               : QLocale::Portuguese)));
        return L("ai.local.engine.text", names.join(QStringLiteral(", ")));
    }
    case Job::Speech: {
        const auto server = m_settings ? LocalEndpoints::speechServer(*m_settings)
                                       : LocalEndpoints::Endpoint {};
        if (m_speechAnswers && server.problem.isEmpty() && server.url.isValid())
            return L("ai.local.engine.speechServer", server.url.toDisplayString());
        if (!recognizersAvailable())
            return L("ai.local.engine.speechMissing");
        return L("ai.local.engine.speechClassic");
    }
    case Job::Summary: {
        if (!m_settings)
            return {};
        const auto server = LocalEndpoints::modelServer(*m_settings);
        return L("ai.local.engine.summary", m_settings->localModel(),
                 server.problem.isEmpty() ? server.url.toDisplayString() : server.written);
    }
    }
    return {};
}

// ---- status ----

QStringList LocalEngine::textLanguagesFor(const QList<QLocale> &locales) const
{
    return TextLanguages::forLocales(TextLanguages::dataPath(m_options.tessdata), locales);
}

int LocalEngine::textEngineStarts() const
{
    return m_recognizers->textStarts();
}

bool LocalEngine::recognizersAvailable() const
{
    return m_recognizerProblem.isEmpty() && !RecognizerModule::locate().isEmpty();
}

void LocalEngine::setRecognizerProblem(const QString &problem)
{
    if (problem == m_recognizerProblem)
        return;
    m_recognizerProblem = problem;
    notifyStatusChanged(); // the settings' engine lines say whether the recognizers load
}

void LocalEngine::refreshStatus()
{
    auto running = probe();
    Q_UNUSED(running);
}

QCoro::Task<> LocalEngine::probe()
{
    QPointer<LocalEngine> self(this);
    const int generation = ++m_probeGeneration;
    if (!m_settings)
        co_return;
    const auto speech = LocalEndpoints::speechServer(*m_settings);
    const auto model = LocalEndpoints::modelServer(*m_settings);
    const QString modelName = m_settings->localModel();
    bool speechAnswers = false;
    if (speech.problem.isEmpty())
        speechAnswers = co_await m_speechServer.answers(speech.url);
    if (!self || generation != m_probeGeneration)
        co_return; // a newer look (new settings) is under way
    ModelServerClient::Status status;
    if (model.problem.isEmpty())
        status = co_await m_modelServer.status(model.url, modelName);
    if (!self || generation != m_probeGeneration)
        co_return;
    setSpeechAnswers(speechAnswers);
    setModelStatus(status);
    Q_EMIT statusRefreshed();
}

void LocalEngine::setSpeechAnswers(bool answers)
{
    if (answers == m_speechAnswers)
        return;
    m_speechAnswers = answers;
    notifyStatusChanged();
}

void LocalEngine::setModelStatus(const ModelServerClient::Status &status)
{
    if (m_modelStatus && m_modelStatus->kind == status.kind && m_modelStatus->models == status.models)
        return;
    m_modelStatus = status;
    notifyStatusChanged();
}
