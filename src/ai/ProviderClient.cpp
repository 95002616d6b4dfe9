#include "ai/ProviderClient.h"

#include "base/BoundedReply.h"

#include "base/Localization.h"

#include <QCoreApplication>
#include <QCoroNetworkReply>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStringDecoder>
#include <QTimer>
#include <QUuid>

#include <memory>

namespace ProviderHosts {

const char *variable(Host host)
{
    switch (host) {
    case Host::Anthropic:
        return "SCRIVEL_ANTHROPIC_URL";
    case Host::OpenAI:
        return "SCRIVEL_OPENAI_URL";
    case Host::DeepSeek:
        return "SCRIVEL_DEEPSEEK_URL";
    case Host::OpenRouter:
        return "SCRIVEL_OPENROUTER_URL";
    case Host::OpenRouterAuth:
        return "SCRIVEL_OPENROUTER_AUTH_URL";
    }
    return "";
}

QUrl defaultBase(Host host)
{
    switch (host) {
    case Host::Anthropic:
        return QUrl(QStringLiteral("https://api.anthropic.com"));
    case Host::OpenAI:
        return QUrl(QStringLiteral("https://api.openai.com"));
    case Host::DeepSeek:
        return QUrl(QStringLiteral("https://api.deepseek.com"));
    case Host::OpenRouter:
    case Host::OpenRouterAuth:
        return QUrl(QStringLiteral("https://openrouter.ai"));
    }
    return {};
}

std::optional<QUrl> acceptableBase(const QString &text)
{
    QString trimmed = text.trimmed();
    while (trimmed.endsWith(u'/'))
        trimmed.chop(1);
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery()
        || url.hasFragment())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    const QString host = url.host().toLower();
    // Plain http would carry the key in clear text over the network; only a server on this
    // machine (a test server, a local gateway) may be reached without TLS.
    const bool loopback = host == u"127.0.0.1" || host == u"localhost";
    if (scheme == u"https" || (scheme == u"http" && loopback))
        return url;
    return std::nullopt;
}

AIResult<QUrl> base(Host host)
{
    const char *name = variable(host);
    if (!qEnvironmentVariableIsSet(name))
        return defaultBase(host);
    if (const auto url = acceptableBase(qEnvironmentVariable(name)))
        return *url;
    // Never fall back to the public host: a key meant for a gateway must not go elsewhere.
    return AIResult<QUrl>::failure(
        AIError::unavailable(L("ai.error.badEndpoint", QString::fromLatin1(name))));
}

QUrl join(const QUrl &base, const QString &path)
{
    QUrl url = base;
    QString own = base.path(QUrl::FullyDecoded);
    while (own.endsWith(u'/'))
        own.chop(1);
    url.setPath(own + path, QUrl::DecodedMode);
    return url;
}

QUrl keyPage(AIProvider provider)
{
    switch (provider) {
    case AIProvider::None:
        break;
    case AIProvider::Anthropic:
        return QUrl(QStringLiteral("https://console.anthropic.com/settings/keys"));
    case AIProvider::OpenAI:
        return QUrl(QStringLiteral("https://platform.openai.com/api-keys"));
    case AIProvider::DeepSeek:
        return QUrl(QStringLiteral("https://platform.deepseek.com/api_keys"));
    case AIProvider::OpenRouter:
        return QUrl(QStringLiteral("https://openrouter.ai/settings/keys"));
    }
    return {};
}

} // namespace ProviderHosts

namespace {

// The answer's text for an error message: at most the first 200 bytes, as UTF-8 (a cut in
// the middle of a character drops that character; anything else undecodable gives nothing).
QString leadingText(const QByteArray &body)
{
    QByteArray head = body.left(200);
    for (int drop = 0; drop < 4 && !head.isEmpty(); ++drop) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(head);
        if (!decoder.hasError())
            return text;
        if (body.size() <= 200)
            break; // undecodable in itself, not only cut short
        head.chop(1);
    }
    return QString();
}

QJsonObject objectOf(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    return document.isObject() ? document.object() : QJsonObject();
}

} // namespace

ProviderClient::ProviderClient(AIProvider provider, QString key, QString model, Options options)
    : m_provider(provider)
    , m_key(std::move(key))
    , m_model(std::move(model))
    , m_options(options)
{
}

QNetworkAccessManager *ProviderClient::sharedNetwork()
{
    static QPointer<QNetworkAccessManager> shared;
    if (!shared) {
        // Owned by the application so it goes before Qt does; ephemeral: no disk cache, and
        // requests neither send nor keep cookies (set per request below).
        shared = new QNetworkAccessManager(QCoreApplication::instance());
        shared->setCache(nullptr);
        // A redirect must never carry a key to another address: it ends as an HTTP error.
        shared->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }
    return shared;
}

AIResult<QString> ProviderClient::nonEmpty(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return AIResult<QString>::failure(AIError::empty());
    return trimmed;
}

QCoro::Task<AIResult<ProviderClient::Answer>>
ProviderClient::perform(QNetworkRequest request, QByteArray body, Options options)
{
    QNetworkAccessManager *network = options.network ? options.network : sharedNetwork();
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);

    QNetworkReply *reply = network->post(request, body);
    const qint64 limit = options.maxAnswerBytes;
    const BoundedReply answer = BoundedReply::collect(reply, limit);
    const auto &buffer = answer.body;
    const auto &tooLarge = answer.tooLarge;
    auto timedOut = std::make_shared<bool>(false);

    // Idle: nothing moved for the request timeout (a model may think long, but then the
    // connection is still quiet only until its answer starts). Total: a hard ceiling.
    auto *idle = new QTimer(reply);
    idle->setSingleShot(true);
    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    auto expire = [reply, timedOut] {
        *timedOut = true;
        reply->abort();
    };
    QObject::connect(idle, &QTimer::timeout, reply, expire);
    QObject::connect(deadline, &QTimer::timeout, reply, expire);
    const auto requestTimeout = options.requestTimeout;
    auto moved = [idle, requestTimeout] {
        idle->start(requestTimeout);
    };
    QObject::connect(reply, &QNetworkReply::uploadProgress, idle, moved);
    QObject::connect(reply, &QNetworkReply::downloadProgress, idle, moved);
    idle->start(requestTimeout);
    deadline->start(options.totalTimeout);

    co_await reply;
    idle->stop();
    deadline->stop();
    answer.readRest();
    reply->deleteLater();

    if (*tooLarge)
        co_return AIResult<Answer>::failure(AIError::system(L("ai.error.answerTooLarge")));
    if (*timedOut)
        co_return AIResult<Answer>::failure(AIError::system(L("ai.error.timedOut")));
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        const QString why = reply->error() != QNetworkReply::NoError ? reply->errorString()
                                                                     : L("error.invalidResponse");
        co_return AIResult<Answer>::failure(AIError::system(L("ai.error.network", why)));
    }
    const int code = status.toInt();
    // A success cut short after its status line (a dropped connection) is no success.
    if (code >= 200 && code <= 299 && reply->error() != QNetworkReply::NoError)
        co_return AIResult<Answer>::failure(
            AIError::system(L("ai.error.network", reply->errorString())));
    co_return Answer { code, std::move(*buffer) };
}

QCoro::Task<AIResult<QJsonObject>> ProviderClient::send(QNetworkRequest request,
                                                        QByteArray body) const
{
    const auto answer = co_await perform(std::move(request), std::move(body), m_options);
    if (!answer)
        co_return AIResult<QJsonObject>::failure(answer.error());
    const QJsonObject object = objectOf(answer->body);
    if (answer->status >= 200 && answer->status <= 299)
        co_return object;
    const QJsonValue message
        = object.value(QStringLiteral("error")).toObject().value(QStringLiteral("message"));
    co_return AIResult<QJsonObject>::failure(AIError::http(
        answer->status, message.isString() ? message.toString() : leadingText(answer->body)));
}

QCoro::Task<AIResult<QString>> ProviderClient::anthropic(QString instructions, QString input) const
{
    const auto base = ProviderHosts::base(ProviderHosts::Host::Anthropic);
    if (!base)
        co_return AIResult<QString>::failure(base.error());
    QNetworkRequest request(ProviderHosts::join(*base, QStringLiteral("/v1/messages")));
    request.setRawHeader("Content-Type", "application/json");
    request.setRawHeader("x-api-key", m_key.toUtf8());
    request.setRawHeader("anthropic-version", "2023-06-01");

    QJsonObject body {
        { QStringLiteral("model"), m_model },
        { QStringLiteral("max_tokens"), 16000 },
        { QStringLiteral("system"), instructions },
        { QStringLiteral("messages"),
          QJsonArray { QJsonObject { { QStringLiteral("role"), QStringLiteral("user") },
                                     { QStringLiteral("content"), input } } } },
    };
    if (m_model.startsWith(u"claude-opus-5") || m_model.startsWith(u"claude-fable-5")) {
        request.setRawHeader("anthropic-beta", "server-side-fallback-2026-07-01");
        body.insert(QStringLiteral("fallbacks"), QStringLiteral("default"));
    }
    const QByteArray bytes = QJsonDocument(body).toJson(QJsonDocument::Compact);

    const auto answer = co_await send(request, bytes);
    if (!answer)
        co_return AIResult<QString>::failure(answer.error());
    if (answer->value(QStringLiteral("stop_reason")).toString() == u"refusal")
        co_return AIResult<QString>::failure(AIError::refused());
    QString text;
    for (const QJsonValue &block : answer->value(QStringLiteral("content")).toArray()) {
        const QJsonObject object = block.toObject();
        const QJsonValue part = object.value(QStringLiteral("text"));
        if (object.value(QStringLiteral("type")).toString() == u"text" && part.isString())
            text += part.toString();
    }
    co_return nonEmpty(text);
}

QCoro::Task<AIResult<QString>> ProviderClient::chatCompletions(QString instructions,
                                                               QString input) const
{
    ProviderHosts::Host host = ProviderHosts::Host::OpenAI;
    QString path = QStringLiteral("/v1/chat/completions");
    switch (m_provider) {
    case AIProvider::OpenAI:
        break;
    case AIProvider::DeepSeek:
        host = ProviderHosts::Host::DeepSeek;
        path = QStringLiteral("/chat/completions");
        break;
    case AIProvider::OpenRouter:
        host = ProviderHosts::Host::OpenRouter;
        path = QStringLiteral("/api/v1/chat/completions");
        break;
    case AIProvider::None:
    case AIProvider::Anthropic:
        // Not a chat-completions provider: nothing to send the note to.
        co_return AIResult<QString>::failure(AIError::noKey(m_provider));
    }
    const auto base = ProviderHosts::base(host);
    if (!base)
        co_return AIResult<QString>::failure(base.error());
    QNetworkRequest request(ProviderHosts::join(*base, path));
    request.setRawHeader("Content-Type", "application/json");
    request.setRawHeader("Authorization", "Bearer " + m_key.toUtf8());
    if (m_provider == AIProvider::OpenRouter) {
        request.setRawHeader("HTTP-Referer", ProviderHosts::appWebsite);
        request.setRawHeader("X-Title", "ScrivelBar");
    }
    const QJsonObject body {
        { QStringLiteral("model"), m_model },
        { QStringLiteral("messages"),
          QJsonArray {
              QJsonObject { { QStringLiteral("role"), QStringLiteral("system") },
                            { QStringLiteral("content"), instructions } },
              QJsonObject { { QStringLiteral("role"), QStringLiteral("user") },
                            { QStringLiteral("content"), input } },
          } },
    };
    const QByteArray bytes = QJsonDocument(body).toJson(QJsonDocument::Compact);

    const auto answer = co_await send(request, bytes);
    if (!answer)
        co_return AIResult<QString>::failure(answer.error());
    const QJsonValue content = answer->value(QStringLiteral("choices"))
                                   .toArray()
                                   .at(0)
                                   .toObject()
                                   .value(QStringLiteral("message"))
                                   .toObject()
                                   .value(QStringLiteral("content"));
    co_return nonEmpty(content.isString() ? content.toString() : QString());
}

QByteArray ProviderClient::multipartBody(const QString &boundary, const QByteArray &fileBytes,
                                         const QString &fileName,
                                         const std::optional<QString> &language)
{
    const QByteArray dashes = "--" + boundary.toUtf8();
    QByteArray body;
    auto field = [&](const char *name, const QString &value) {
        body += dashes + "\r\n";
        body += QByteArray("Content-Disposition: form-data; name=\"") + name + "\"\r\n";
        body += "\r\n";
        body += value.toUtf8() + "\r\n";
    };
    field("model", QStringLiteral("whisper-1"));
    field("response_format", QStringLiteral("json"));
    if (language)
        field("language", *language);
    // A quote or line break in the name would end the header early; the name only labels
    // the upload, so such characters become "_".
    QString safeName = fileName;
    for (QChar &c : safeName)
        if (c == u'"' || c == u'\\' || c.unicode() < 0x20)
            c = u'_';
    body += dashes + "\r\n";
    body += "Content-Disposition: form-data; name=\"file\"; filename=\"" + safeName.toUtf8()
        + "\"\r\n";
    body += "Content-Type: application/octet-stream\r\n";
    body += "\r\n";
    body += fileBytes;
    body += "\r\n" + dashes + "--\r\n";
    return body;
}

QCoro::Task<AIResult<QString>> ProviderClient::transcribe(QString filePath,
                                                          std::optional<QString> language) const
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        co_return AIResult<QString>::failure(AIError::system(file.errorString()));
    // Checked before reading, so a huge file never lands in memory.
    if (file.size() > maxAudioBytes)
        co_return AIResult<QString>::failure(AIError::tooLarge(QString::fromLatin1(maxAudioText)));
    const QByteArray bytes = file.read(maxAudioBytes + 1);
    if (file.error() != QFileDevice::NoError)
        co_return AIResult<QString>::failure(AIError::system(file.errorString()));
    if (bytes.size() > maxAudioBytes)
        co_return AIResult<QString>::failure(AIError::tooLarge(QString::fromLatin1(maxAudioText)));

    const auto base = ProviderHosts::base(ProviderHosts::Host::OpenAI);
    if (!base)
        co_return AIResult<QString>::failure(base.error());
    const QString boundary = QStringLiteral("scrivelbar-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    QNetworkRequest request(ProviderHosts::join(*base, QStringLiteral("/v1/audio/transcriptions")));
    request.setRawHeader("Authorization", "Bearer " + m_key.toUtf8());
    request.setRawHeader("Content-Type", "multipart/form-data; boundary=" + boundary.toUtf8());
    const QByteArray body
        = multipartBody(boundary, bytes, QFileInfo(filePath).fileName(), language);

    const auto answer = co_await send(request, body);
    if (!answer)
        co_return AIResult<QString>::failure(answer.error());
    const QJsonValue text = answer->value(QStringLiteral("text"));
    co_return nonEmpty(text.isString() ? text.toString() : QString());
}
