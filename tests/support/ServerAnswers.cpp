#include "ServerAnswers.h"

namespace TestSupport {

QJsonObject userJson(const QString &id, const QString &email)
{
    return { { QStringLiteral("id"), id }, { QStringLiteral("email"), email } };
}

HttpResponse healthAnswer(const HealthOptions &options)
{
    QJsonObject capabilities { { QStringLiteral("signup"), options.signup },
                               { QStringLiteral("media"), options.media },
                               { QStringLiteral("google"), options.google } };
    if (options.googleClientId)
        capabilities.insert(QStringLiteral("googleClientId"), *options.googleClientId);
    if (!options.termsUrl.isEmpty())
        capabilities.insert(QStringLiteral("termsUrl"), options.termsUrl);
    return HttpResponse::json({ { QStringLiteral("ok"), true },
                                { QStringLiteral("version"), options.version },
                                { QStringLiteral("db"), QStringLiteral("ok") },
                                { QStringLiteral("capabilities"), capabilities } });
}

QJsonArray changeIds(const HttpRequest &request)
{
    QJsonArray ids;
    for (const QJsonValue &change : request.json().value(QStringLiteral("changes")).toArray())
        ids.append(change.toObject().value(QStringLiteral("id")));
    return ids;
}

HttpResponse syncAnswerAccepting(const QJsonArray &accepted, int cursor)
{
    return HttpResponse::json({ { QStringLiteral("cursor"), cursor },
                                { QStringLiteral("hasMore"), false },
                                { QStringLiteral("serverTime"), 1.7e12 },
                                { QStringLiteral("notes"), QJsonArray() },
                                { QStringLiteral("accepted"), accepted },
                                { QStringLiteral("rejected"), QJsonArray() } });
}

HttpResponse syncAnswerAccepting(const HttpRequest &request, int cursor)
{
    return syncAnswerAccepting(changeIds(request), cursor);
}

HttpResponse signInAnswer(const QString &token, double expiresAt, const QJsonObject &user)
{
    return HttpResponse::json({ { QStringLiteral("token"), token },
                                { QStringLiteral("expiresAt"), expiresAt },
                                { QStringLiteral("user"), user } });
}

QJsonObject telemetryJson(bool beta, bool required, bool enabled)
{
    return { { QStringLiteral("beta"), beta },
             { QStringLiteral("required"), required },
             { QStringLiteral("enabled"), enabled } };
}

HttpResponse meAnswer(const QJsonObject &user, const std::optional<QJsonObject> &telemetry)
{
    QJsonObject answer { { QStringLiteral("user"), user } };
    if (telemetry)
        answer.insert(QStringLiteral("telemetry"), *telemetry);
    return HttpResponse::json(answer);
}

QJsonObject mediaUsageJson(qint64 usedBytes, qint64 quotaBytes, qint64 maxFileBytes)
{
    return { { QStringLiteral("usedBytes"), usedBytes },
             { QStringLiteral("quotaBytes"), quotaBytes },
             { QStringLiteral("maxFileBytes"), maxFileBytes } };
}

QJsonObject shareLinkJson(const QString &token, const QString &base)
{
    return { { QStringLiteral("token"), token }, { QStringLiteral("url"), base + token } };
}

HttpResponse sharesAnswer(const QJsonArray &links)
{
    return HttpResponse::json({ { QStringLiteral("shares"), links } });
}

} // namespace TestSupport
