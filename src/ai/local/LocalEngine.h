#pragma once

#include "ai/LocalAI.h"
#include "ai/local/AudioDecoder.h"
#include "ai/local/ModelServerClient.h"
#include "ai/local/SpeechServerClient.h"

#include <QObject>
#include <QPointer>

#include <memory>

class AppSettings;
class RecognizerModule;

/// What the on-device engine is built with; the defaults are the product's.
struct LocalEngineOptions
{
    SpeechServerClient::Options speech;
    ModelServerClient::Options model;
    AudioDecoder::Options audio;
    QString tessdata; ///< empty → the system's tesseract data
    QString sphinxModels; ///< empty → the system's pocketsphinx models
    /// Look at the servers when made and whenever their settings change.
    bool probeAtStart = true;
};

/// The on-device engine on Linux: tesseract for text in images; for speech a local speech
/// server when one answers, else pocketsphinx (US English); summaries through a local
/// OpenAI-compatible model server. The addresses and the model come from the settings (the
/// environment may override the addresses). tesseract and pocketsphinx live in the
/// recognizer module, loaded by the first job that needs one of them (RecognizerModule).
/// Recognition runs on worker threads; every answer and every status change comes on the
/// main thread.
class LocalEngine : public QObject, public LocalAI
{
    Q_OBJECT
public:
    using Options = LocalEngineOptions;

    /// `settings` is not owned and may go away first (jobs then fail as unavailable).
    explicit LocalEngine(AppSettings *settings, Options options = {}, QObject *parent = nullptr);
    ~LocalEngine() override;

    QCoro::Task<AIResult<QString>> recognizeText(QString filePath) override;
    QCoro::Task<AIResult<QString>> transcribe(QString filePath, QLocale locale) override;
    QCoro::Task<AIResult<QString>> summarize(QString text, QString instructions) override;
    std::optional<QString> summaryUnavailableReason() override;
    QString engineFor(Job job) override;
    void refreshStatus() override;

    /// What the last look at the model server found; nothing before the first answer.
    std::optional<ModelServerClient::Status> modelStatus() const { return m_modelStatus; }
    /// Whether the speech server answered the last time it was asked.
    bool speechServerAnswers() const { return m_speechAnswers; }
    /// The text recognition languages for `locales`, preferred first (see TextLanguages).
    QStringList textLanguagesFor(const QList<QLocale> &locales) const;
    /// How many times the text engine has been started; 0 while the module is not loaded.
    int textEngineStarts() const;

    /// The name of the language of `locale` in the interface language ("Spanish",
    /// "espanhol"); the bare identifier for languages the app has no name for.
    static QString languageName(const QLocale &locale);
    /// The language code a speech server is given: "en", "es", "pt"; none for others.
    static std::optional<QString> speechLanguageCode(const QLocale &locale);

Q_SIGNALS:
    /// A look at the servers ended (after `modelStatus` and `speechServerAnswers` changed).
    void statusRefreshed();

private:
    QCoro::Task<> probe();
    void setSpeechAnswers(bool answers);
    void setModelStatus(const ModelServerClient::Status &status);
    void setRecognizerProblem(const QString &problem);
    // As far as is known without loading it: the module is where the program looks for it,
    // and no job has failed to load it since.
    bool recognizersAvailable() const;

    QPointer<AppSettings> m_settings;
    Options m_options;
    // Shared with the worker jobs, which may outlive the engine.
    std::shared_ptr<RecognizerModule> m_recognizers;
    QString m_recognizerProblem; ///< why the last job could not load the module
    SpeechServerClient m_speechServer;
    ModelServerClient m_modelServer;
    std::optional<ModelServerClient::Status> m_modelStatus;
    bool m_speechAnswers = false;
    int m_probeGeneration = 0;
};
