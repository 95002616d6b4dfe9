#pragma once

#include "ai/AIError.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;

/// The HTTP limits of the model server client.
struct ModelServerOptions
{
    QNetworkAccessManager *network = nullptr; ///< null → the local servers' session
    /// A small model on a CPU needs a while for a long note.
    std::chrono::milliseconds timeout { 10 * 60 * 1000 };
    std::chrono::milliseconds probeTimeout { 1500 };
    qint64 maxAnswerBytes = 4 * 1024 * 1024;
};

/// The on-device language model for summaries: a model server on this machine with the
/// OpenAI-compatible API (Ollama, llama.cpp's server, LocalAI, …): "/v1/models" to see what
/// it has, "/v1/chat/completions" to summarize. Main thread.
class ModelServerClient
{
public:
    using Options = ModelServerOptions;

    struct Status
    {
        enum class Kind {
            Ready, ///< the server runs and has the model
            Off, ///< nothing answers at the address
            NotReady, ///< it answers, but the model is not there (or still loading)
        };
        Kind kind = Kind::Off;
        /// The models the server offers (when it said).
        QStringList models;
    };

    explicit ModelServerClient(Options options = {});

    QCoro::Task<Status> status(QUrl base, QString model) const;
    /// `text` summarized by `model` following `instructions`. Failures: nothing answers →
    /// "ai.local.summary.off"; the model is missing or loading → "ai.local.summary.notReady";
    /// the note is over the model's context → "ai.error.tooLongForLocal"; an empty answer →
    /// `AIError::empty`.
    QCoro::Task<AIResult<QString>> summarize(QUrl base, QString model, QString text,
                                             QString instructions) const;

    /// Whether the server's `id` names `model` (Ollama adds ":latest" to untagged names).
    static bool sameModel(const QString &id, const QString &model);

private:
    Options m_options;
};
