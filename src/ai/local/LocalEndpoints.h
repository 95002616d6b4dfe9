#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

class AppSettings;
class QNetworkAccessManager;

/// The addresses of the on-device servers: the user's setting, or the environment variable
/// that overrides it for one run ("SCRIVEL_LOCAL_SPEECH_URL", "SCRIVEL_LOCAL_LLM_URL").
/// Only plain HTTP(S) addresses of this machine are accepted: the whole point of these
/// servers is that a note never leaves the computer, so an address elsewhere is refused
/// rather than quietly sending the note over the network.
namespace LocalEndpoints {

struct Endpoint
{
    /// The address in use, without a trailing slash; empty when `problem` is set.
    QUrl url;
    /// The text the address came from (setting or environment).
    QString written;
    /// True when the environment variable chose it.
    bool fromEnvironment = false;
    /// Why the address cannot be used (already localized); empty when it can.
    QString problem;
};

inline constexpr const char *speechVariable = "SCRIVEL_LOCAL_SPEECH_URL";
inline constexpr const char *modelVariable = "SCRIVEL_LOCAL_LLM_URL";

/// `text` as a usable local address, or why it is not one.
Endpoint parse(const QString &text);
/// The speech server address in effect for `settings`.
Endpoint speechServer(const AppSettings &settings);
/// The language model server address in effect for `settings`.
Endpoint modelServer(const AppSettings &settings);
/// `base` with `path` ("/v1/models") appended to its path.
QUrl join(const QUrl &base, const QString &path);

/// One exchange with a local server, told apart the way the engine needs it: a server that
/// is not there is a normal state (the engine falls back or explains), not an error.
struct Answer
{
    enum class Reach {
        Answered, ///< an HTTP answer came: `status` and `body` hold it
        Unreachable, ///< nothing listens there, or the connection broke before an answer
        TimedOut, ///< connected, but no whole answer within the time limit
        TooLarge, ///< the answer passed the size limit and was cut off
    };
    Reach reach = Reach::Unreachable;
    int status = 0;
    QByteArray body;
    /// The network's own description when it failed.
    QString error;
};

/// The failure a server's answer body states: "error" as text or as an object with a
/// "message" (OpenAI's shape, which Ollama, llama.cpp and whisper servers follow), else the
/// body's first line of text.
QString errorText(const QByteArray &body);

/// Sends `verb` ("GET", "POST") with `body` to a local server without cookies, cache or
/// redirects; gives up after `timeout`, reads at most `limit` bytes of the answer.
/// `network` null → a session shared by the local servers (main thread).
QCoro::Task<Answer> exchange(QNetworkAccessManager *network, QByteArray verb,
                             QNetworkRequest request, QByteArray body,
                             std::chrono::milliseconds timeout, qint64 limit);

} // namespace LocalEndpoints
