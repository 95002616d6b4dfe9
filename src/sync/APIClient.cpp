#include "sync/APIClient.h"

#include "base/BoundedReply.h"

#include "base/DurableFile.h"

#include "base/AppInfo.h"
#include "base/Localization.h"

#include <QCoro/QCoroNetworkReply>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUuid>

#include <memory>

namespace {

// The server's "error" text is shown to people as it is; a hostile answer must not fill the
// screen with it.
constexpr qsizetype maxServerMessage = 500;

QByteArray jsonBytes(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// The "error" member of an error answer, when the answer is an object of strings only.
QString errorMessage(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return {};
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString())
            return {};
    }
    return object.value(QStringLiteral("error")).toString().left(maxServerMessage);
}

template<typename T> APIResult<T> decodeRecord(const QByteArray &bytes)
{
    auto object = Wire::parseObject(bytes);
    if (!object)
        return std::unexpected(ClientError(object.error()));
    auto record = T::fromJson(*object);
    if (!record)
        return std::unexpected(ClientError(record.error()));
    return *record;
}

} // namespace

APIClient::APIClient(QObject *parent)
    : APIClient(Options {}, parent)
{
}

APIClient::APIClient(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_network(new QNetworkAccessManager(this))
{
    if (m_options.version.isEmpty())
        m_options.version = AppInfo::version();
    // No cache and no credential storage: nothing of a session outlives the request.
    m_network->setCache(nullptr);
    // A redirect to another host must not take the bearer token along.
    m_network->setRedirectPolicy(QNetworkRequest::SameOriginRedirectPolicy);
}

APIClient::~APIClient() = default;

void APIClient::configure(const QString &baseURL, const std::optional<QString> &token)
{
    QString text = baseURL.trimmed();
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == u'/')
        ++start;
    while (end > start && text.at(end - 1) == u'/')
        --end;
    text = text.mid(start, end - start);

    std::optional<QUrl> url;
    if (!text.isEmpty()) {
        const QUrl parsed(text, QUrl::StrictMode);
        // Only web addresses: the token must never go to a file or some other scheme.
        const QString scheme = parsed.scheme().toLower();
        if (parsed.isValid() && (scheme == u"http" || scheme == u"https")
            && !parsed.host().isEmpty())
            url = parsed;
    }
    QMutexLocker locker(&m_lock);
    m_baseURL = url;
    m_token = token;
}

void APIClient::setToken(const std::optional<QString> &token)
{
    QMutexLocker locker(&m_lock);
    m_token = token;
}

std::optional<QUrl> APIClient::baseURL() const
{
    QMutexLocker locker(&m_lock);
    return m_baseURL;
}

std::optional<QString> APIClient::token() const
{
    QMutexLocker locker(&m_lock);
    return m_token;
}

std::expected<QNetworkRequest, APIError>
APIClient::prepare(const QString &path, bool authenticated,
                   const std::optional<QUrlQuery> &query) const
{
    QMutexLocker locker(&m_lock);
    if (!m_baseURL)
        return std::unexpected(APIError::noServer());
    QUrl url = *m_baseURL;
    // Identifiers go into the path verbatim; the URL encodes what a path may not hold.
    url.setPath(m_baseURL->path(QUrl::FullyDecoded) + path, QUrl::DecodedMode);
    if (query)
        url.setQuery(*query);

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader("x-scrivelbar-version", m_options.version.toUtf8());
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    if (authenticated) {
        if (!m_token)
            return std::unexpected(APIError::unauthorized());
        request.setRawHeader("authorization", "Bearer " + m_token->toUtf8());
    }
    return request;
}

QCoro::Task<APIResult<QByteArray>> APIClient::send(QByteArray method, QNetworkRequest request,
                                                   QByteArray body, QIODevice *device, qint64 limit,
                                                   Limit timing)
{
    const bool authenticated = request.hasRawHeader("authorization");
    const auto requestTimeout = m_options.requestTimeout;
    const auto idleTimeout = m_options.idleTimeout;

    QNetworkReply *reply = device ? m_network->sendCustomRequest(request, method, device)
                                  : m_network->sendCustomRequest(request, method, body);
    if (device)
        device->setParent(reply);

    const BoundedReply answer = BoundedReply::collect(reply, limit);
    const auto &buffer = answer.body;
    const auto &tooLarge = answer.tooLarge;

    // Every request fails when nothing moves for the idle timeout; bytes in either direction
    // start that wait again. A JSON exchange is small, so it also has a total limit. A media
    // file may rightly take longer than any fixed limit on a slow line: a total limit would
    // abort it every time, and the next sync would send it again, forever.
    auto *idle = new QTimer(reply);
    idle->setSingleShot(true);
    QObject::connect(idle, &QTimer::timeout, reply, [reply] { reply->abort(); });
    auto moved = [idle, idleTimeout] { idle->start(idleTimeout); };
    QObject::connect(reply, &QNetworkReply::uploadProgress, idle, moved);
    QObject::connect(reply, &QNetworkReply::downloadProgress, idle, moved);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, idle, moved);
    idle->start(idleTimeout);
    QTimer *deadline = nullptr;
    if (timing == Limit::Total) {
        deadline = new QTimer(reply);
        deadline->setSingleShot(true);
        QObject::connect(deadline, &QTimer::timeout, reply, [reply] { reply->abort(); });
        deadline->start(requestTimeout);
    }

    co_await reply;
    idle->stop();
    if (deadline)
        deadline->stop();
    answer.readRest();
    reply->deleteLater();

    if (*tooLarge) {
        co_return std::unexpected(
            ClientError(DecodeError { QStringLiteral("answer larger than %1 bytes").arg(limit) }));
    }
    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusAttribute.isValid()) {
        if (reply->error() != QNetworkReply::NoError)
            co_return std::unexpected(ClientError(APIError::transport(reply->errorString())));
        co_return std::unexpected(ClientError(APIError::transport(L("error.invalidResponse"))));
    }
    const int status = statusAttribute.toInt();
    if (status == 401 && authenticated)
        co_return std::unexpected(ClientError(APIError::unauthorized()));
    if (status >= 200 && status <= 299) {
        // A reply cut short after its status line (a dropped connection) is no success.
        if (reply->error() != QNetworkReply::NoError)
            co_return std::unexpected(ClientError(APIError::transport(reply->errorString())));
        co_return std::move(*buffer);
    }
    co_return std::unexpected(ClientError(APIError::server(status, errorMessage(*buffer))));
}

QCoro::Task<APIResult<QByteArray>> APIClient::request(QByteArray method, QString path,
                                                      bool authenticated,
                                                      std::optional<QByteArray> body,
                                                      std::optional<QUrlQuery> query)
{
    auto prepared = prepare(path, authenticated, query);
    if (!prepared)
        co_return std::unexpected(ClientError(prepared.error()));
    co_return co_await send(method, *prepared, body.value_or(QByteArray()), nullptr,
                            m_options.maxAnswerBytes);
}

template<typename T>
QCoro::Task<APIResult<T>>
APIClient::requestRecord(QByteArray method, QString path, bool authenticated,
                         std::optional<QByteArray> body, std::optional<QUrlQuery> query)
{
    const auto answer = co_await request(method, path, authenticated, body, query);
    if (!answer)
        co_return std::unexpected(answer.error());
    co_return decodeRecord<T>(*answer);
}

QCoro::Task<APIResult<void>> APIClient::requestVoid(QByteArray method, QString path,
                                                    std::optional<QByteArray> body)
{
    const auto answer = co_await request(method, path, true, body);
    if (!answer)
        co_return std::unexpected(answer.error());
    co_return {};
}

// ---- operations ----------------------------------------------------------------------------

QCoro::Task<APIResult<ServerHealth>> APIClient::health()
{
    co_return co_await requestRecord<ServerHealth>(QByteArrayLiteral("GET"),
                                                   QStringLiteral("/health"), false, {});
}

QCoro::Task<APIResult<APIUser>> APIClient::me()
{
    const auto answer
        = co_await request(QByteArrayLiteral("GET"), QStringLiteral("/v1/auth/me"), true, {});
    if (!answer)
        co_return std::unexpected(answer.error());
    const auto object = Wire::parseObject(*answer);
    if (!object)
        co_return std::unexpected(ClientError(object.error()));
    auto user = APIUser::fromJson(object->value(QStringLiteral("user")), QStringLiteral("user"));
    if (!user)
        co_return std::unexpected(ClientError(user.error()));
    co_return *user;
}

QCoro::Task<APIResult<TelemetryState>> APIClient::telemetryState()
{
    const auto answer
        = co_await request(QByteArrayLiteral("GET"), QStringLiteral("/v1/auth/me"), true, {});
    if (!answer)
        co_return std::unexpected(answer.error());
    const auto object = Wire::parseObject(*answer);
    if (!object)
        co_return std::unexpected(ClientError(object.error()));
    const QJsonValue member = object->value(QStringLiteral("telemetry"));
    if (member.isUndefined() || member.isNull())
        co_return TelemetryState {};
    auto state = TelemetryState::fromJson(member, QStringLiteral("telemetry"));
    if (!state)
        co_return std::unexpected(ClientError(state.error()));
    co_return *state;
}

QCoro::Task<APIResult<TelemetryState>> APIClient::setTelemetryChoice(bool enabled)
{
    // Built before the co_await: g++ 12 miscompiles initializer lists that span one.
    const QByteArray body = jsonBytes(QJsonObject { { QStringLiteral("enabled"), enabled } });
    co_return co_await requestRecord<TelemetryState>(
        QByteArrayLiteral("POST"), QStringLiteral("/v1/telemetry/choice"), true, body);
}

QCoro::Task<APIResult<SyncResponse>> APIClient::sync(qint64 cursor, QList<WireNote> changes)
{
    const SyncRequest body { cursor, std::move(changes) };
    co_return co_await requestRecord<SyncResponse>(
        QByteArrayLiteral("POST"), QStringLiteral("/v1/sync"), true, jsonBytes(body.toJson()));
}

QCoro::Task<APIResult<AuthResponse>> APIClient::googleSignIn(QString code, QString redirectUri,
                                                             QString codeVerifier, QString device,
                                                             bool acceptedTerms)
{
    const GoogleSignInRequest body { code, redirectUri, codeVerifier, device, acceptedTerms };
    co_return co_await requestRecord<AuthResponse>(QByteArrayLiteral("POST"),
                                                   QStringLiteral("/v1/auth/google"), false,
                                                   jsonBytes(body.toJson()));
}

QCoro::Task<APIResult<QUrl>> APIClient::dashboardLink()
{
    const auto answer
        = co_await request(QByteArrayLiteral("POST"), QStringLiteral("/v1/auth/web-code"), true,
                           QByteArrayLiteral("{}"));
    if (!answer)
        co_return std::unexpected(answer.error());
    const auto object = Wire::parseObject(*answer);
    if (!object)
        co_return std::unexpected(ClientError(object.error()));
    const QJsonValue url = object->value(QStringLiteral("url"));
    if (!url.isString())
        co_return std::unexpected(ClientError(DecodeError { QStringLiteral("url: missing") }));
    const QUrl parsed(url.toString(), QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme().isEmpty())
        co_return std::unexpected(ClientError(APIError::transport(L("error.invalidResponse"))));
    co_return parsed;
}

QCoro::Task<APIResult<void>> APIClient::logout()
{
    co_return co_await requestVoid(QByteArrayLiteral("POST"), QStringLiteral("/v1/auth/logout"),
                                   std::nullopt);
}

QCoro::Task<APIResult<void>> APIClient::deleteAccount()
{
    co_return co_await requestVoid(QByteArrayLiteral("POST"),
                                   QStringLiteral("/v1/auth/delete-account"),
                                   QByteArrayLiteral("{}"));
}

QCoro::Task<APIResult<ShareLink>> APIClient::createShare(QString noteID)
{
    const QByteArray body = jsonBytes(QJsonObject { { QStringLiteral("noteId"), noteID } });
    co_return co_await requestRecord<ShareLink>(QByteArrayLiteral("POST"),
                                                QStringLiteral("/v1/shares"), true, body);
}

QCoro::Task<APIResult<QList<ShareLink>>> APIClient::shareLinks(QString noteID)
{
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("noteId"),
                       QString::fromUtf8(QUrl::toPercentEncoding(noteID)));
    const auto answer
        = co_await request(QByteArrayLiteral("GET"), QStringLiteral("/v1/shares"), true, {}, query);
    if (!answer)
        co_return std::unexpected(answer.error());
    const auto object = Wire::parseObject(*answer);
    if (!object)
        co_return std::unexpected(ClientError(object.error()));
    const QJsonValue shares = object->value(QStringLiteral("shares"));
    if (!shares.isArray())
        co_return std::unexpected(ClientError(DecodeError { QStringLiteral("shares: missing") }));
    const QJsonArray items = shares.toArray();
    if (items.size() > Wire::maxArrayItems)
        co_return std::unexpected(
            ClientError(DecodeError { QStringLiteral("shares: too many entries") }));
    QList<ShareLink> links;
    for (qsizetype i = 0; i < items.size(); ++i) {
        auto link = ShareLink::fromJson(items.at(i), QStringLiteral("shares[%1]").arg(i));
        if (!link)
            co_return std::unexpected(ClientError(link.error()));
        links.append(*link);
    }
    co_return links;
}

QCoro::Task<APIResult<void>> APIClient::revokeShare(QString shareToken)
{
    // The token comes from the server and becomes a path segment: one that is not a plain
    // name ("..", "a/b") would address another endpoint.
    if (!DurableFile::isSafeComponent(shareToken))
        co_return std::unexpected(ClientError(DecodeError{QStringLiteral("share token: not a plain name")}));
    co_return co_await requestVoid(
        QByteArrayLiteral("POST"),
        QStringLiteral("/v1/shares/") + shareToken + QStringLiteral("/revoke"), std::nullopt);
}

QCoro::Task<APIResult<void>> APIClient::sendTelemetry(QByteArray json)
{
    co_return co_await requestVoid(QByteArrayLiteral("POST"), QStringLiteral("/v1/telemetry"),
                                   json);
}

QByteArray APIClient::feedbackBody(const QByteArray &boundary, const QString &message,
                                   const QMap<QString, QString> &fields,
                                   const std::optional<QByteArray> &picture,
                                   const std::optional<QByteArray> &diagnostics)
{
    QByteArray body;
    auto part = [&](const QString &name, const QByteArray &content, const char *filename,
                    const char *type) {
        body += "--" + boundary + "\r\n";
        body += "Content-Disposition: form-data; name=\"" + name.toUtf8() + '"';
        if (filename)
            body += QByteArray("; filename=\"") + filename + '"';
        body += "\r\n";
        if (type)
            body += QByteArray("Content-Type: ") + type + "\r\n";
        body += "\r\n";
        body += content;
        body += "\r\n";
    };
    part(QStringLiteral("message"), message.toUtf8(), nullptr, nullptr);
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        part(it.key(), it.value().toUtf8(), nullptr, nullptr);
    if (picture)
        part(QStringLiteral("picture"), *picture, "panel.png", "image/png");
    if (diagnostics)
        part(QStringLiteral("diagnostics"), *diagnostics, "diagnostics.txt", "text/plain");
    body += "--" + boundary + "--\r\n";
    return body;
}

QCoro::Task<APIResult<void>> APIClient::sendFeedback(QString message, QMap<QString, QString> fields,
                                                     std::optional<QByteArray> picture,
                                                     std::optional<QByteArray> diagnostics)
{
    auto prepared = prepare(QStringLiteral("/v1/feedback"), true);
    if (!prepared)
        co_return std::unexpected(ClientError(prepared.error()));
    const QByteArray boundary
        = "scrivelbar-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toUtf8();
    prepared->setHeader(QNetworkRequest::ContentTypeHeader,
                        QByteArray("multipart/form-data; boundary=") + boundary);
    const auto answer = co_await send(QByteArrayLiteral("POST"), *prepared,
                                      feedbackBody(boundary, message, fields, picture, diagnostics),
                                      nullptr, m_options.maxAnswerBytes);
    if (!answer)
        co_return std::unexpected(answer.error());
    co_return {};
}

QCoro::Task<APIResult<MediaUsage>> APIClient::mediaUsage()
{
    co_return co_await requestRecord<MediaUsage>(QByteArrayLiteral("GET"),
                                                 QStringLiteral("/v1/media/usage"), true, {});
}

QCoro::Task<APIResult<void>> APIClient::uploadMedia(QString noteID, QString filename,
                                                    QString filePath)
{
    auto prepared = prepare(QStringLiteral("/v1/media/") + noteID + u'/' + filename, true);
    if (!prepared)
        co_return std::unexpected(ClientError(prepared.error()));
    auto *file = new QFile(filePath);
    if (!file->open(QIODevice::ReadOnly)) {
        const QString problem = file->errorString();
        delete file;
        co_return std::unexpected(ClientError(APIError::transport(problem)));
    }
    const qint64 size = QFileInfo(filePath).size();
    prepared->setHeader(QNetworkRequest::ContentLengthHeader, qMax<qint64>(size, 0));
    prepared->setHeader(QNetworkRequest::ContentTypeHeader,
                        QByteArrayLiteral("application/octet-stream"));
    const auto answer = co_await send(QByteArrayLiteral("PUT"), *prepared, {}, file,
                                      m_options.maxAnswerBytes, Limit::Idle);
    if (!answer)
        co_return std::unexpected(answer.error());
    co_return {};
}

QCoro::Task<APIResult<QByteArray>> APIClient::downloadMedia(QString noteID, QString filename)
{
    auto prepared = prepare(QStringLiteral("/v1/media/") + noteID + u'/' + filename, true);
    if (!prepared)
        co_return std::unexpected(ClientError(prepared.error()));
    co_return co_await send(QByteArrayLiteral("GET"), *prepared, {}, nullptr,
                            m_options.maxMediaBytes, Limit::Idle);
}
