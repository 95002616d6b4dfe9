#include "sync/GoogleSignIn.h"

#include "base/Localization.h"

#include <QUrlQuery>

namespace GoogleSignIn {

QString Failure::description() const
{
    return kind == Kind::Cancelled ? L("account.google.cancelled")
                                   : L("account.google.failed", message);
}

QUrl authorizationURL(const QString &accountsHost, const QString &clientID,
                      const QString &redirectURI, const QString &challenge, const QString &state)
{
    QUrl url(accountsHost);
    url.setPath(QStringLiteral("/o/oauth2/v2/auth"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("client_id"), clientID);
    query.addQueryItem(QStringLiteral("redirect_uri"), redirectURI);
    query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("code"));
    query.addQueryItem(QStringLiteral("scope"), QStringLiteral("openid email profile"));
    query.addQueryItem(QStringLiteral("code_challenge"), challenge);
    query.addQueryItem(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
    query.addQueryItem(QStringLiteral("state"), state);
    query.addQueryItem(QStringLiteral("prompt"), QStringLiteral("select_account"));
    // Fully encoded, so that ":" and "/" of the redirect address and the spaces of the scope
    // cannot be read as part of the address itself.
    QString encoded;
    for (const auto &[name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (!encoded.isEmpty())
            encoded += u'&';
        encoded += QString::fromLatin1(QUrl::toPercentEncoding(name)) + u'='
            + QString::fromLatin1(QUrl::toPercentEncoding(value));
    }
    url.setQuery(encoded, QUrl::StrictMode);
    return url;
}

Outcome check(const LoopbackRedirect::Callback &callback, const QString &state,
              const QString &verifier)
{
    if (const auto error = callback.value(QStringLiteral("error")))
        return { std::nullopt, { Failure::Kind::Denied, *error } };
    const auto returnedState = callback.value(QStringLiteral("state"));
    const auto code = callback.value(QStringLiteral("code"));
    if (returnedState && *returnedState == state && code && !code->isEmpty())
        return { Result { *code, callback.redirectURI, verifier }, {} };
    return { std::nullopt, { Failure::Kind::Cancelled, {} } };
}

QCoro::Task<Outcome> authorize(QString clientID, Options options)
{
    const QString verifier = LoopbackRedirect::randomString(64);
    const QString challenge = LoopbackRedirect::codeChallenge(verifier);
    const QString state = LoopbackRedirect::randomString(24);
    const QString host = options.accountsHost;

    const auto captured = co_await LoopbackRedirect::capture(
        QStringLiteral("127.0.0.1"), options.timeout, L("account.google.page.done"),
        L("account.google.page.denied"),
        [&](const QString &redirectURI) {
            return authorizationURL(host, clientID, redirectURI, challenge, state);
        },
        options.browser, {}, options.opened, options.canceller);

    if (captured.callback)
        co_return check(*captured.callback, state, verifier);
    if (captured.failure.kind == LoopbackRedirect::Failure::Kind::TimedOut)
        co_return Outcome { std::nullopt, { Failure::Kind::Cancelled, {} } };
    co_return Outcome { std::nullopt, { Failure::Kind::Listener, captured.failure.description() } };
}

} // namespace GoogleSignIn
