#pragma once

#include "sync/LoopbackRedirect.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class Browser;

/// Google sign-in through the browser: an OAuth authorization-code flow with PKCE (S256)
/// whose redirect is caught by a loopback listener. The server exchanges the code.
namespace GoogleSignIn {

/// A completed browser flow.
struct Result
{
    QString code;
    QString redirectUri; ///< the exact redirect address used
    QString codeVerifier;
};

struct Failure
{
    enum class Kind {
        Listener, ///< the loopback listener failed; `message` says why
        Denied, ///< the redirect carried "error"; `message` is its value
        Cancelled, ///< timed out, or the redirect lacked a matching "state" or a "code"
    };
    Kind kind = Kind::Cancelled;
    QString message;

    /// "account.google.failed" with the message, or "account.google.cancelled".
    QString description() const;
};

/// A result or the failure.
struct Outcome
{
    std::optional<Result> result;
    Failure failure;
};

struct Options
{
    /// Opens the authorization address (not owned).
    Browser *browser = nullptr;
    std::chrono::milliseconds timeout { 300000 };
    /// Google's accounts host.
    QString accountsHost = QStringLiteral("https://accounts.google.com");
    /// Told the authorization address and whether a browser was started.
    std::function<void(const QUrl &, bool opened)> opened;
    /// Ends the wait for the browser early, as `cancelled` (not owned; optional).
    LoopbackRedirect::Canceller *canceller = nullptr;
};

/// Runs the browser flow for `clientID`.
QCoro::Task<Outcome> authorize(QString clientID, Options options);

/// The authorization address with its query items in the order Google documents them.
QUrl authorizationURL(const QString &accountsHost, const QString &clientID,
                      const QString &redirectURI, const QString &challenge, const QString &state);

/// Judges a captured redirect against the flow's `state`.
Outcome check(const LoopbackRedirect::Callback &callback, const QString &state,
              const QString &verifier);

} // namespace GoogleSignIn
