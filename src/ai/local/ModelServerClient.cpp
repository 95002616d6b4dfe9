#include "ai/local/ModelServerClient.h"

#include "ai/local/LocalEndpoints.h"
#include "base/Localization.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using Reach = LocalEndpoints::Answer::Reach;

QString withoutLatest(const QString &name)
{
    const QString trimmed = name.trimmed();
    return trimmed.endsWith(QLatin1String(":latest")) ? trimmed.chopped(7) : trimmed;
}

// Servers word it differently: OpenAI's "context_length_exceeded", llama.cpp's
// "exceed_context_size_error" / "the request exceeds the available context size", others
// "prompt is too long … context".
bool isContextOverflow(const QJsonObject &object, const QByteArray &body)
{
    const QJsonObject error = object.value(QStringLiteral("error")).toObject();
    const QString code = error.value(QStringLiteral("code")).toString()
        + u' ' + error.value(QStringLiteral("type")).toString();
    if (code.contains(QLatin1String("context_length_exceeded"))
        || code.contains(QLatin1String("exceed_context")))
        return true;
    const QString text = LocalEndpoints::errorText(body).toLower();
    return text.contains(QLatin1String("context"))
        && (text.contains(QLatin1String("exceed")) || text.contains(QLatin1String("too long"))
            || text.contains(QLatin1String("too large")) || text.contains(QLatin1String("length")));
}

} // namespace

ModelServerClient::ModelServerClient(Options options)
    : m_options(options)
{
}

bool ModelServerClient::sameModel(const QString &id, const QString &model)
{
    const QString a = withoutLatest(id);
    return !a.isEmpty() && a == withoutLatest(model);
}

QCoro::Task<ModelServerClient::Status> ModelServerClient::status(QUrl base, QString model) const
{
    const auto answer = co_await LocalEndpoints::exchange(
        m_options.network, "GET",
        QNetworkRequest(LocalEndpoints::join(base, QStringLiteral("/v1/models"))), {},
        m_options.probeTimeout, m_options.maxAnswerBytes);
    Status status;
    if (answer.reach == Reach::Unreachable) {
        status.kind = Status::Kind::Off;
        co_return status;
    }
    // Anything that answers is a server; without a model list it is not ready for us.
    status.kind = Status::Kind::NotReady;
    if (answer.reach != Reach::Answered || answer.status != 200)
        co_return status;
    const QJsonArray data
        = QJsonDocument::fromJson(answer.body).object().value(QStringLiteral("data")).toArray();
    for (const QJsonValue &entry : data) {
        const QString id = entry.toObject().value(QStringLiteral("id")).toString();
        if (id.isEmpty())
            continue;
        status.models.append(id);
        if (sameModel(id, model))
            status.kind = Status::Kind::Ready;
    }
    co_return status;
}

QCoro::Task<AIResult<QString>> ModelServerClient::summarize(QUrl base, QString model, QString text,
                                                            QString instructions) const
{
    using Failure = AIResult<QString>;
    const QJsonObject payload {
        { QStringLiteral("model"), model },
        { QStringLiteral("stream"), false },
        { QStringLiteral("messages"),
          QJsonArray { QJsonObject { { QStringLiteral("role"), QStringLiteral("system") },
                                     { QStringLiteral("content"), instructions } },
                       QJsonObject { { QStringLiteral("role"), QStringLiteral("user") },
                                     { QStringLiteral("content"), text } } } },
    };
    QNetworkRequest request(LocalEndpoints::join(base, QStringLiteral("/v1/chat/completions")));
    request.setRawHeader("Content-Type", "application/json");
    const auto answer = co_await LocalEndpoints::exchange(
        m_options.network, "POST", request, QJsonDocument(payload).toJson(QJsonDocument::Compact),
        m_options.timeout, m_options.maxAnswerBytes);
    switch (answer.reach) {
    case Reach::Unreachable:
        co_return Failure::failure(AIError::unavailable(L("ai.local.summary.off")));
    case Reach::TimedOut:
        co_return Failure::failure(AIError::system(L("ai.error.timedOut")));
    case Reach::TooLarge:
        co_return Failure::failure(AIError::system(L("ai.error.answerTooLarge")));
    case Reach::Answered:
        break;
    }
    const QJsonObject object = QJsonDocument::fromJson(answer.body).object();
    if (answer.status < 200 || answer.status > 299) {
        if (isContextOverflow(object, answer.body))
            co_return Failure::failure(AIError::unavailable(L("ai.error.tooLongForLocal")));
        // Ollama: 404 "model … not found, try pulling it first"; llama.cpp: 503 while loading.
        if (answer.status == 404 || answer.status == 503)
            co_return Failure::failure(AIError::unavailable(L("ai.local.summary.notReady")));
        co_return Failure::failure(AIError::http(answer.status, LocalEndpoints::errorText(answer.body)));
    }
    const QJsonObject choice
        = object.value(QStringLiteral("choices")).toArray().at(0).toObject();
    // A model stopped by its context limit writes a cut-off answer: that is no summary.
    if (choice.value(QStringLiteral("finish_reason")).toString() == u"length")
        co_return Failure::failure(AIError::unavailable(L("ai.error.tooLongForLocal")));
    const QJsonValue content
        = choice.value(QStringLiteral("message")).toObject().value(QStringLiteral("content"));
    const QString summary = content.isString() ? content.toString().trimmed() : QString();
    if (summary.isEmpty())
        co_return Failure::failure(AIError::empty());
    co_return summary;
}
