#include "ai/OpenRouterConnect.h"

#include "base/Localization.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>

namespace OpenRouterConnect {

QUrl authorizationURL(const QUrl &authBase, const QString &redirectURI, const QString &challenge)
{
    QUrl url = ProviderHosts::join(authBase, QStringLiteral("/auth"));
    // Every item fully encoded, so the ":" and "/" of the callback address stay its own.
    const QList<QPair<QString, QString>> items = {
        { QStringLiteral("callback_url"), redirectURI },
        { QStringLiteral("code_challenge"), challenge },
        { QStringLiteral("code_challenge_method"), QStringLiteral("S256") },
    };
    QString query;
    for (const auto &[name, value] : items) {
        if (!query.isEmpty())
            query += u'&';
        query += QString::fromLatin1(QUrl::toPercentEncoding(name)) + u'='
            + QString::fromLatin1(QUrl::toPercentEncoding(value));
    }
    url.setQuery(query, QUrl::StrictMode);
    return url;
}

QCoro::Task<AIResult<QString>> exchange(QUrl base, QString code, QString verifier,
                                        ProviderClient::Options http)
{
    QNetworkRequest request(ProviderHosts::join(base, QStringLiteral("/api/v1/auth/keys")));
    request.setRawHeader("Content-Type", "application/json");
    const QByteArray body
        = QJsonDocument(QJsonObject {
                            { QStringLiteral("code"), code },
                            { QStringLiteral("code_verifier"), verifier },
                            { QStringLiteral("code_challenge_method"), QStringLiteral("S256") },
                        })
              .toJson(QJsonDocument::Compact);
    http.requestTimeout = std::chrono::seconds(60);
    http.totalTimeout = std::min(http.totalTimeout, std::chrono::milliseconds(60000));
    const auto answer = co_await ProviderClient::perform(request, body, http);
    if (!answer)
        co_return AIResult<QString>::failure(answer.error());
    const QJsonDocument document = QJsonDocument::fromJson(answer->body);
    const QJsonObject object = document.isObject() ? document.object() : QJsonObject();
    const QJsonValue key = object.value(QStringLiteral("key"));
    if (answer->status >= 200 && answer->status <= 299 && key.isString()
        && !key.toString().trimmed().isEmpty())
        co_return key.toString().trimmed();
    const QJsonValue message
        = object.value(QStringLiteral("error")).toObject().value(QStringLiteral("message"));
    co_return AIResult<QString>::failure(
        AIError::http(answer->status, message.isString() ? message.toString() : QString()));
}

QCoro::Task<AIResult<QString>> connect(Options options)
{
    // Every argument of an awaited call is a named local here: g++ 12 destroys some
    // temporaries of a co_await expression twice.
    const auto authBase = ProviderHosts::base(ProviderHosts::Host::OpenRouterAuth);
    const auto apiBase = ProviderHosts::base(ProviderHosts::Host::OpenRouter);
    if (!authBase || !apiBase) {
        const AIError error = !authBase ? authBase.error() : apiBase.error();
        co_return AIResult<QString>::failure(error);
    }
    const QUrl pageBase = *authBase;
    const QUrl api = *apiBase;

    const QString verifier = LoopbackRedirect::randomString(64);
    const QString challenge = LoopbackRedirect::codeChallenge(verifier);
    const QString host = QStringLiteral("localhost");
    const QString pageDone = L("ai.connect.page.done");
    const QString pageDenied = L("ai.connect.page.denied");
    const LoopbackRedirect::AuthorizeURL authorize
        = [pageBase, challenge](const QString &redirect) {
              return authorizationURL(pageBase, redirect, challenge);
          };
    const LoopbackRedirect::Limits limits;
    const LoopbackRedirect::Outcome captured = co_await LoopbackRedirect::capture(
        host, options.timeout, pageDone, pageDenied, authorize, options.browser, limits,
        options.opened, options.canceller);
    if (!captured.callback) {
        const AIError error = AIError::unavailable(captured.failure.description());
        co_return AIResult<QString>::failure(error);
    }
    const QString code = captured.callback->value(QStringLiteral("code")).value_or(QString());
    if (code.isEmpty()) {
        const AIError error = AIError::unavailable(L("ai.connect.cancelled"));
        co_return AIResult<QString>::failure(error);
    }
    const ProviderClient::Options http = options.http;
    AIResult<QString> key = co_await exchange(api, code, verifier, http);
    co_return key;
}

} // namespace OpenRouterConnect
