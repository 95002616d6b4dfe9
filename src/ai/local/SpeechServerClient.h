#pragma once

#include "ai/AIError.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

class QNetworkAccessManager;

/// The HTTP limits of the speech server client.
struct SpeechServerOptions
{
    QNetworkAccessManager *network = nullptr; ///< null → the local servers' session
    /// A transcription may take a while on a CPU: minutes of audio, minutes of work.
    std::chrono::milliseconds timeout { 15 * 60 * 1000 };
    /// How long the look to see whether a server runs may take.
    std::chrono::milliseconds probeTimeout { 1500 };
    qint64 maxAnswerBytes = 4 * 1024 * 1024;
};

/// The newer speech recognizer: a speech server on this machine that speaks the
/// OpenAI-compatible "/v1/audio/transcriptions" (LocalAI, faster-whisper servers, …) or
/// whisper.cpp's "/inference". Both take the same multipart upload; the first path is tried
/// first, the second when the server does not know it. Main thread.
class SpeechServerClient
{
public:
    using Options = SpeechServerOptions;

    struct Outcome
    {
        enum class Kind {
            Text, ///< `text` holds the transcript (trimmed, not empty)
            NoSpeech, ///< the server heard nothing
            NotRunning, ///< no speech server answers there
            Failed, ///< it answered with a failure: `error`
        };
        Kind kind = Kind::NotRunning;
        QString text;
        AIError error;
    };

    explicit SpeechServerClient(Options options = {});

    /// The transcript of `wav` (a WAV file) in `language` ("en", "es", "pt"; none → the
    /// server detects it).
    QCoro::Task<Outcome> transcribe(QUrl base, QByteArray wav,
                                    std::optional<QString> language) const;
    /// Whether something answers HTTP at `base` (any status).
    QCoro::Task<bool> answers(QUrl base) const;

    static constexpr const char *openAIPath = "/v1/audio/transcriptions";
    static constexpr const char *whisperPath = "/inference";

private:
    Options m_options;
};
