#pragma once

#include "ai/AIError.h"
#include "ai/ProviderClient.h"
#include "sync/LoopbackRedirect.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>

class Browser;

/// OpenRouter's PKCE (S256) authorization in the browser: the redirect is caught on a
/// loopback listener and its code exchanged for a key, so the user need not copy one.
namespace OpenRouterConnect {

struct Options
{
    /// Opens the authorization page (not owned).
    Browser *browser = nullptr;
    std::chrono::milliseconds timeout { 300000 };
    /// Told the authorization address and whether a browser started (optional).
    std::function<void(const QUrl &, bool opened)> opened;
    /// Ends the wait for the browser early (not owned; optional).
    LoopbackRedirect::Canceller *canceller = nullptr;
    /// The session and limits of the exchange request.
    ProviderClient::Options http;
};

/// The authorization page ("/auth" under `authBase`) with "callback_url", "code_challenge"
/// and "code_challenge_method" = "S256", in that order.
QUrl authorizationURL(const QUrl &authBase, const QString &redirectURI, const QString &challenge);

/// Exchanges `code` for a key (POST "/api/v1/auth/keys" under `base`).
QCoro::Task<AIResult<QString>> exchange(QUrl base, QString code, QString verifier,
                                        ProviderClient::Options http);

/// The whole flow: the new key, or why there is none ("ai.connect.cancelled",
/// "ai.connect.timedOut", the listener's failure, the exchange's `AIError::http`).
QCoro::Task<AIResult<QString>> connect(Options options);

} // namespace OpenRouterConnect
