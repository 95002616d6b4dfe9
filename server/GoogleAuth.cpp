#include "GoogleAuth.h"

#include "ServerConfig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <httplib.h>

namespace {

QJsonObject jwtClaims(const QByteArray &token)
{
    const QList<QByteArray> parts = token.split('.');
    if (parts.size() != 3)
        return {};
    const auto payload = QByteArray::fromBase64Encoding(
        parts.at(1), QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!payload)
        return {};
    return QJsonDocument::fromJson(*payload).object();
}

bool audienceMatches(const QJsonValue &aud, const QString &clientId)
{
    if (aud.isString())
        return aud.toString() == clientId;
    if (aud.isArray())
        for (const QJsonValue &one : aud.toArray())
            if (one.toString() == clientId)
                return true;
    return false;
}

bool issuerMatches(const QString &iss, const QString &expected)
{
    if (iss == expected)
        return true;
    // Google writes its issuer with and without the scheme.
    const QUrl url(expected);
    return url.scheme() == u"https" && iss == url.host();
}

// One HTTP client for an address such as "https://oauth2.googleapis.com/token".
struct Endpoint
{
    std::unique_ptr<httplib::Client> client;
    std::string path;
};

std::expected<Endpoint, QString> endpoint(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"https" && url.scheme() != u"http") || url.host().isEmpty())
        return std::unexpected(QStringLiteral("the endpoint %1 is not an http(s) address").arg(address));
    const QString origin = url.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment
                                        | QUrl::RemoveUserInfo);
    Endpoint e { std::make_unique<httplib::Client>(origin.toStdString()),
                 url.path(QUrl::FullyEncoded).toStdString() };
    if (e.path.empty())
        e.path = "/";
    if (url.hasQuery())
        e.path += "?" + url.query(QUrl::FullyEncoded).toStdString();
    e.client->set_connection_timeout(10);
    e.client->set_read_timeout(20);
    e.client->set_write_timeout(20);
    return e;
}

} // namespace

std::expected<GoogleIdentity, QString> identityFromIdToken(const QByteArray &idToken,
                                                           const QString &clientId,
                                                           const QString &issuer, double nowMs)
{
    const QJsonObject claims = jwtClaims(idToken);
    if (claims.isEmpty())
        return std::unexpected(QStringLiteral("the ID token does not decode"));
    if (!audienceMatches(claims.value(QStringLiteral("aud")), clientId))
        return std::unexpected(QStringLiteral("the ID token is for another client"));
    if (!issuerMatches(claims.value(QStringLiteral("iss")).toString(), issuer))
        return std::unexpected(QStringLiteral("the ID token has another issuer"));
    const double exp = claims.value(QStringLiteral("exp")).toDouble(0);
    if (exp * 1000.0 <= nowMs)
        return std::unexpected(QStringLiteral("the ID token has expired"));
    GoogleIdentity identity;
    identity.subject = claims.value(QStringLiteral("sub")).toString();
    if (identity.subject.isEmpty())
        return std::unexpected(QStringLiteral("the ID token names no subject"));
    identity.email = claims.value(QStringLiteral("email")).toString().trimmed().toLower();
    const QJsonValue verified = claims.value(QStringLiteral("email_verified"));
    if (!identity.email.isEmpty() && (verified == QJsonValue(false) || verified == QJsonValue(QStringLiteral("false"))))
        return std::unexpected(QStringLiteral("the e-mail address is not verified"));
    const QString picture = claims.value(QStringLiteral("picture")).toString();
    if (picture.startsWith(QStringLiteral("https://")))
        identity.picture = picture;
    return identity;
}

std::expected<GoogleIdentity, QString> exchangeGoogleCode(const ServerConfig &config,
                                                          const GoogleSignInRequest &request,
                                                          double nowMs)
{
    auto token = endpoint(config.googleTokenEndpoint);
    if (!token)
        return std::unexpected(token.error());
    const httplib::Params form {
        { "grant_type", "authorization_code" },
        { "code", request.code.toStdString() },
        { "redirect_uri", request.redirectUri.toStdString() },
        { "code_verifier", request.codeVerifier.toStdString() },
        { "client_id", config.googleClientId.toStdString() },
        { "client_secret", config.googleClientSecret.toStdString() },
    };
    const auto answer = token->client->Post(token->path, form);
    if (!answer)
        return std::unexpected(QStringLiteral("the token endpoint could not be reached"));
    const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(answer->body)).object();
    if (answer->status != 200) {
        const QString error = body.value(QStringLiteral("error")).toString();
        return std::unexpected(QStringLiteral("the code was refused (%1)")
                                   .arg(error.isEmpty() ? QString::number(answer->status) : error.left(100)));
    }
    auto identity = identityFromIdToken(body.value(QStringLiteral("id_token")).toString().toUtf8(),
                                        config.googleClientId, config.googleIssuer, nowMs);
    if (!identity)
        return identity;
    if (identity->email.isEmpty()) {
        // The e-mail scope's claim is missing from the ID token: ask the user-info endpoint.
        auto info = endpoint(config.googleUserinfoEndpoint);
        if (!info)
            return std::unexpected(info.error());
        const std::string bearer
            = "Bearer " + body.value(QStringLiteral("access_token")).toString().toStdString();
        const auto reply = info->client->Get(info->path, { { "Authorization", bearer } });
        if (!reply || reply->status != 200)
            return std::unexpected(QStringLiteral("the account's e-mail address could not be read"));
        const QJsonObject user = QJsonDocument::fromJson(QByteArray::fromStdString(reply->body)).object();
        if (user.value(QStringLiteral("sub")).toString() != identity->subject
            || user.value(QStringLiteral("email_verified")) == QJsonValue(false))
            return std::unexpected(QStringLiteral("the account's e-mail address is not verified"));
        identity->email = user.value(QStringLiteral("email")).toString().trimmed().toLower();
        if (identity->email.isEmpty())
            return std::unexpected(QStringLiteral("the account has no e-mail address"));
    }
    return identity;
}
