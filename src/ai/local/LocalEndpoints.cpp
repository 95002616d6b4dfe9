#include "ai/local/LocalEndpoints.h"

#include "base/BoundedReply.h"
#include "base/Localization.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QCoro/QCoroNetworkReply>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

namespace LocalEndpoints {

namespace {

bool isThisMachine(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

Endpoint resolve(const char *variable, const QString &setting)
{
    const QString environment = qEnvironmentVariable(variable).trimmed();
    Endpoint endpoint = parse(environment.isEmpty() ? setting : environment);
    endpoint.fromEnvironment = !environment.isEmpty();
    return endpoint;
}

} // namespace

Endpoint parse(const QString &text)
{
    Endpoint endpoint;
    endpoint.written = text.trimmed();
    const QUrl url(endpoint.written, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https") || url.host().isEmpty()
        || !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment()) {
        endpoint.problem = L("ai.local.address.invalid", endpoint.written);
        return endpoint;
    }
    if (!isThisMachine(url.host())) {
        endpoint.problem = L("ai.local.address.notLocal", endpoint.written);
        return endpoint;
    }
    QUrl clean = url;
    QString path = clean.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    // People copy the OpenAI-style base ("…:11434/v1"); the request paths carry "/v1" already.
    if (path.endsWith(QLatin1String("/v1")))
        path.chop(3);
    clean.setPath(path);
    endpoint.url = clean;
    return endpoint;
}

Endpoint speechServer(const AppSettings &settings)
{
    return resolve(speechVariable, settings.localSpeechURL());
}

Endpoint modelServer(const AppSettings &settings)
{
    return resolve(modelVariable, settings.localModelURL());
}

QUrl join(const QUrl &base, const QString &path)
{
    QUrl url = base;
    url.setPath(base.path() + path);
    return url;
}

QString errorText(const QByteArray &body)
{
    const QJsonValue error = QJsonDocument::fromJson(body).object().value(QStringLiteral("error"));
    if (error.isString())
        return error.toString();
    const QJsonValue message = error.toObject().value(QStringLiteral("message"));
    if (message.isString())
        return message.toString();
    return QString::fromUtf8(body.left(200)).simplified();
}

QCoro::Task<Answer> exchange(QNetworkAccessManager *network, QByteArray verb,
                             QNetworkRequest request, QByteArray body,
                             std::chrono::milliseconds timeout, qint64 limit)
{
    if (!network) {
        static QPointer<QNetworkAccessManager> shared;
        if (!shared) {
            shared = new QNetworkAccessManager(QCoreApplication::instance());
            shared->setCache(nullptr);
            shared->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
        }
        network = shared;
    }
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    // A redirect could lead a note off this machine: it ends as the answer it is.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);

    QNetworkReply *reply = verb == "GET" ? network->get(request)
                                         : network->sendCustomRequest(request, verb, body);
    const BoundedReply collected = BoundedReply::collect(reply, limit);
    auto timedOut = std::make_shared<bool>(false);
    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, [reply, timedOut] {
        *timedOut = true;
        reply->abort();
    });
    deadline->start(timeout);
    co_await reply;
    deadline->stop();
    collected.readRest();
    reply->deleteLater();

    Answer answer;
    if (*collected.tooLarge) {
        answer.reach = Answer::Reach::TooLarge;
        co_return answer;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (*timedOut) {
        answer.reach = Answer::Reach::TimedOut;
        co_return answer;
    }
    if (!status.isValid() || (reply->error() != QNetworkReply::NoError
                              && reply->error() < QNetworkReply::ContentAccessDenied)) {
        answer.reach = Answer::Reach::Unreachable;
        answer.error = reply->errorString();
        co_return answer;
    }
    answer.reach = Answer::Reach::Answered;
    answer.status = status.toInt();
    answer.body = std::move(*collected.body);
    co_return answer;
}

} // namespace LocalEndpoints
