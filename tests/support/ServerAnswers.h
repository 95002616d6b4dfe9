#pragma once

#include "TestHttpServer.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>

/// Answers of the app's server for scripted test servers, in the shape the client decodes
/// (sync/WireRecords.h), so every test builds them the same way.
namespace TestSupport {

/// An account: "id" and "email".
QJsonObject userJson(const QString &id, const QString &email);

/// What "/health" tells about the server. The defaults: healthy, sign-ups open, Google
/// sign-in offered without a client id, no media, no terms.
struct HealthOptions
{
    QString version = QStringLiteral("1");
    bool signup = true;
    bool media = false;
    bool google = true;
    /// Sent as "googleClientId" when set.
    std::optional<QString> googleClientId;
    /// Sent as "termsUrl" when not empty.
    QString termsUrl;
};

/// The answer of "/health" for a healthy server.
HttpResponse healthAnswer(const HealthOptions &options = {});

/// The ids of the changes a "/v1/sync" request pushes, in the order sent.
QJsonArray changeIds(const HttpRequest &request);

/// A "/v1/sync" answer that accepts the changes `accepted` and brings nothing new.
HttpResponse syncAnswerAccepting(const QJsonArray &accepted, int cursor);
/// A "/v1/sync" answer that accepts every change `request` pushes and brings nothing new.
HttpResponse syncAnswerAccepting(const HttpRequest &request, int cursor);

/// A sign-in's answer: the session token, when it expires (ms since 1970) and the account.
HttpResponse signInAnswer(const QString &token, double expiresAt, const QJsonObject &user);

/// Telemetry flags of an account: "beta", "required" and "enabled".
QJsonObject telemetryJson(bool beta, bool required, bool enabled);

/// The answer of "/v1/auth/me": the account, and its telemetry flags when given.
HttpResponse meAnswer(const QJsonObject &user,
                      const std::optional<QJsonObject> &telemetry = std::nullopt);

/// Media storage of an account, as "/v1/media/usage" answers it.
QJsonObject mediaUsageJson(qint64 usedBytes, qint64 quotaBytes, qint64 maxFileBytes);

/// A public link: "token", and "url" = `base` + `token`.
QJsonObject shareLinkJson(const QString &token,
                          const QString &base = QStringLiteral("https://share.example/"));

/// The answer of "GET /v1/shares": the live links of a note.
HttpResponse sharesAnswer(const QJsonArray &links);

} // namespace TestSupport
