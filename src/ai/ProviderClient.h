#pragma once

#include "ai/AIError.h"
#include "settings/SettingsTypes.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

class QNetworkAccessManager;
class QNetworkRequest;

/// The providers' hosts. Each has a built-in public address that one environment variable
/// may replace with the base address of a compatible gateway (or a test server); the request
/// paths are appended to it. An override must be an https address, or plain http to
/// 127.0.0.1 or localhost, without user name, query or fragment: anything else is refused
/// rather than sending a key somewhere unintended.
namespace ProviderHosts {

enum class Host {
    Anthropic, ///< SCRIVEL_ANTHROPIC_URL, default https://api.anthropic.com
    OpenAI, ///< SCRIVEL_OPENAI_URL, default https://api.openai.com
    DeepSeek, ///< SCRIVEL_DEEPSEEK_URL, default https://api.deepseek.com
    OpenRouter, ///< SCRIVEL_OPENROUTER_URL, default https://openrouter.ai
    OpenRouterAuth, ///< SCRIVEL_OPENROUTER_AUTH_URL (the key page), default https://openrouter.ai
};

/// The environment variable that overrides `host`.
const char *variable(Host host);
/// The built-in base address of `host`.
QUrl defaultBase(Host host);
/// `text` as a base address when it is an acceptable one (see above), without trailing "/".
std::optional<QUrl> acceptableBase(const QString &text);
/// The base address in force: the override when set, else the default. An unacceptable
/// override fails with "ai.error.badEndpoint" naming the variable.
AIResult<QUrl> base(Host host);
/// `base` with `path` appended to its own path.
QUrl join(const QUrl &base, const QString &path);

/// The application's public web address, sent to OpenRouter as "HTTP-Referer".
inline constexpr const char *appWebsite = "https://scrivelbar.app";

/// The provider's page where the user creates a key (console host + the key page path);
/// empty for None.
QUrl keyPage(AIProvider provider);

} // namespace ProviderHosts

/// The HTTP session and limits of the provider calls.
struct ProviderClientOptions
{
    /// The HTTP session; null → the shared one (no cache, no cookies, no redirects).
    QNetworkAccessManager *network = nullptr;
    /// A request fails when nothing moves for this long.
    std::chrono::milliseconds requestTimeout { 60000 };
    /// … and in any case after this long.
    std::chrono::milliseconds totalTimeout { 300000 };
    /// Largest answer read; a longer one fails.
    qint64 maxAnswerBytes = 4 * 1024 * 1024;
};

/// The thin HTTPS client that asks a cloud model for a summary (Anthropic's messages API, or
/// the chat completions OpenAI, DeepSeek and OpenRouter share) or OpenAI for a transcript,
/// and turns the answer or the failure into text or an `AIError`. A value made per job.
/// Answers are untrusted: they are size-bounded and read defensively.
class ProviderClient
{
public:
    using Options = ProviderClientOptions;

    /// Upload limit of a transcription, and its text.
    static constexpr qint64 maxAudioBytes = 25LL * 1024 * 1024;
    static constexpr const char *maxAudioText = "25 MB";

    ProviderClient(AIProvider provider, QString key, QString model, Options options = {});

    AIProvider provider() const { return m_provider; }
    QString model() const { return m_model; }

    /// A summary from Anthropic.
    QCoro::Task<AIResult<QString>> anthropic(QString instructions, QString input) const;
    /// A summary from an OpenAI-compatible provider (OpenAI, DeepSeek, OpenRouter).
    QCoro::Task<AIResult<QString>> chatCompletions(QString instructions, QString input) const;
    /// OpenAI's transcript of the audio file at `filePath`; `language` is an ISO code.
    QCoro::Task<AIResult<QString>> transcribe(QString filePath,
                                              std::optional<QString> language) const;

    /// The multipart body of a transcription upload (exposed for tests).
    static QByteArray multipartBody(const QString &boundary, const QByteArray &fileBytes,
                                    const QString &fileName,
                                    const std::optional<QString> &language);
    /// Trimmed text; `AIError::empty` when nothing is left.
    static AIResult<QString> nonEmpty(const QString &text);
    /// The shared HTTP session, made on first use (main thread).
    static QNetworkAccessManager *sharedNetwork();

    /// One HTTP answer: its status and (size-bounded) body.
    struct Answer
    {
        int status = 0;
        QByteArray body;
    };
    /// POSTs `body` on the session of `options` without cookies, cache or redirects, within
    /// its time and size limits. Network failures, time-outs and oversized answers fail as
    /// `AIError::system` with a description for people.
    static QCoro::Task<AIResult<Answer>> perform(QNetworkRequest request, QByteArray body,
                                                 Options options);

private:
    QCoro::Task<AIResult<QJsonObject>> send(QNetworkRequest request, QByteArray body) const;

    AIProvider m_provider;
    QString m_key;
    QString m_model;
    Options m_options;
};
