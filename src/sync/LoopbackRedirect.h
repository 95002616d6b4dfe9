#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QList>
#include <QPair>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class Browser;

/// A one-shot HTTP listener on the loopback interface that catches an OAuth redirect
/// (Google sign-in, the OpenRouter connect flow), plus the PKCE helpers those flows use.
///
/// `capture` listens on a system-chosen port, sends the browser to the authorization address
/// built for the redirect address "http://<host>:<port>/callback", and finishes exactly once:
/// with the first GET of "/callback", with the listener failing, or with the timeout.
namespace LoopbackRedirect {

/// Why a capture ended without a redirect.
struct Failure
{
    enum class Kind {
        Listener, ///< the listener could not start or failed; `message` says why
        TimedOut, ///< no redirect in time
    };
    Kind kind = Kind::Listener;
    QString message;

    /// Listener: the message itself; timed out: "ai.connect.timedOut".
    QString description() const;
};

/// What the listener caught.
struct Callback
{
    /// The redirect address the browser was sent to.
    QString redirectURI;
    /// The query items of the browser's request, in order, percent-decoded.
    QList<QPair<QString, QString>> items;

    /// The value of the first item called `name`, or nothing.
    std::optional<QString> value(const QString &name) const;
};

/// The outcome of `capture`: a callback, or the failure.
struct Outcome
{
    std::optional<Callback> callback;
    Failure failure;
};

/// Limits of the listener, which takes requests from any local program.
struct Limits
{
    /// Largest request read from one connection.
    qsizetype maxRequestBytes = 16384;
    /// A connection that has not sent its request head after this long is dropped.
    std::chrono::milliseconds connectionTimeout { 10000 };
    /// Connections served at the same time; more are closed at once.
    int maxConnections = 16;
};

/// From the redirect address to the address the browser opens.
using AuthorizeURL = std::function<QUrl(const QString &redirectURI)>;

/// Lets the one who started a capture end it early, the way the timeout does (the user gave
/// up waiting for the browser).
class Canceller : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    void cancel() { Q_EMIT cancelled(); }

Q_SIGNALS:
    void cancelled();
};

/// Runs one capture (see above). `browser` (not owned) opens the authorization address.
/// `opened` (optional) is told the address, for callers that show it: with it the flow waits
/// even when no browser started, so the user can open the address by hand; without it a
/// browser that cannot start ends the capture at once as a listener failure.
QCoro::Task<Outcome> capture(QString host, std::chrono::milliseconds timeout, QString pageDone,
                             QString pageDenied, AuthorizeURL authorizeURL, Browser *browser,
                             Limits limits = {},
                             std::function<void(const QUrl &, bool opened)> opened = {},
                             Canceller *canceller = nullptr);

/// `length` characters drawn uniformly from the 66 unreserved characters of RFC 3986, from
/// the system's secure random generator.
QString randomString(int length);
/// The PKCE S256 challenge of `verifier`: base64url of its SHA-256, without padding.
QString codeChallenge(const QString &verifier);

/// The HTML page shown in the browser with `text` (escaped).
QByteArray page(const QString &text);
/// The complete HTTP answer carrying `page(text)`.
QByteArray response(const QString &text);
/// Reads the request text of a redirect that arrived on `port`.
Callback parseRequest(const QString &host, quint16 port, const QString &requestText);

} // namespace LoopbackRedirect
