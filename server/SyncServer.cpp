#include "SyncServer.h"

#include "GoogleAuth.h"
#include "Pages.h"
#include "base/AppInfo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QUrl>
#include <QUuid>

#include <httplib.h>

#include <chrono>
#include <cstdio>

#include <sys/socket.h>

namespace {

using httplib::Request;
using httplib::Response;

// What the request log line reports beyond the request itself (one request per worker
// thread at a time).
thread_local std::chrono::steady_clock::time_point t_started;
thread_local QString t_account;

double nowMs()
{
    return double(QDateTime::currentMSecsSinceEpoch());
}

QString q(const std::string &text)
{
    return QString::fromStdString(text);
}

void sendJson(Response &res, const QJsonObject &object, int status = 200)
{
    res.status = status;
    res.set_content(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(),
                    "application/json");
}

// The answer of an operation that returns nothing (the client ignores the body).
void sendOk(Response &res)
{
    sendJson(res, QJsonObject { { QStringLiteral("ok"), true } });
}

void fail(Response &res, int status, const QString &message)
{
    sendJson(res, QJsonObject { { QStringLiteral("error"), message } }, status);
}

void sendHtml(Response &res, const QString &html, int status = 200)
{
    res.status = status;
    res.set_header("Content-Security-Policy", Pages::contentSecurityPolicy);
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_content(html.toStdString(), "text/html; charset=utf-8");
}

// A note identifier or file name that may become one component of a path under the data
// folder: the client's own checks, and no hidden names.
bool usableComponent(const QString &name, qsizetype maxBytes)
{
    return Wire::isUsableName(name, maxBytes) && !name.startsWith(u'.');
}

QString randomToken()
{
    QByteArray raw(24, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(raw.data()), 6);
    return QString::fromLatin1(raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString cookie(const Request &req, const std::string &name)
{
    const std::string header = req.get_header_value("Cookie");
    for (const QString &part : q(header).split(u';')) {
        const QString trimmed = part.trimmed();
        if (trimmed.startsWith(q(name) + u'='))
            return trimmed.mid(qsizetype(name.size()) + 1);
    }
    return {};
}

// Paths in the log without the secrets some of them carry.
QString loggedPath(const std::string &path)
{
    QString text = q(path);
    if (text.startsWith(QStringLiteral("/s/")))
        return QStringLiteral("/s/…") + text.mid(text.indexOf(u'/', 3) < 0 ? text.size() : text.indexOf(u'/', 3));
    if (text.startsWith(QStringLiteral("/v1/shares/")))
        return QStringLiteral("/v1/shares/…/revoke");
    return text;
}

// Streams a file as the answer.
void sendFile(Response &res, const QString &path, const char *type)
{
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        fail(res, 404, QStringLiteral("no such file"));
        return;
    }
    const qint64 size = file->size();
    res.status = 200;
    res.set_content_provider(size_t(size), type,
                             [file](size_t offset, size_t length, httplib::DataSink &sink) {
                                 if (!file->seek(qint64(offset)))
                                     return false;
                                 const QByteArray chunk = file->read(qint64(std::min<size_t>(length, 256 * 1024)));
                                 if (chunk.isEmpty())
                                     return false;
                                 return sink.write(chunk.constData(), size_t(chunk.size()));
                             });
}

// The media type a shared page's file is served as (anything else is a download).
const char *mediaType(const QString &filename)
{
    static const std::pair<const char *, const char *> types[] = {
        { "png", "image/png" },   { "jpg", "image/jpeg" }, { "jpeg", "image/jpeg" },
        { "gif", "image/gif" },   { "webp", "image/webp" }, { "heic", "image/heic" },
        { "m4a", "audio/mp4" },   { "aac", "audio/mp4" },  { "mp3", "audio/mpeg" },
        { "wav", "audio/wav" },
    };
    const QString ext = QFileInfo(filename).suffix().toLower();
    for (const auto &[suffix, type] : types)
        if (ext == QLatin1String(suffix))
            return type;
    return "application/octet-stream";
}

} // namespace

// The state every handler needs.
struct SyncServer::Context
{
    SyncServer &server;
    const ServerConfig &config() const { return server.m_config; }
    Storage &storage() const { return *server.m_storage; }

    QString mediaRoot() const { return QDir(config().dataDir).filePath(QStringLiteral("media")); }
    QString mediaPath(const QString &account, const QString &note, const QString &file) const
    {
        return mediaRoot() + u'/' + account + u'/' + note + u'/' + file;
    }

    TelemetryState telemetry(const Account &account) const
    {
        TelemetryState state;
        state.beta = config().beta;
        state.required = config().telemetry == u"required";
        state.enabled = state.required || (config().telemetry == u"optional" && account.telemetryEnabled);
        return state;
    }

    // The bearer token's account, or an answer already set (401, 429 or 500).
    std::optional<Account> authenticate(const Request &req, Response &res) const
    {
        const std::string header = req.get_header_value("Authorization");
        const QString value = q(header).trimmed();
        if (!value.startsWith(QStringLiteral("Bearer "), Qt::CaseInsensitive)) {
            fail(res, 401, QStringLiteral("sign in first"));
            return std::nullopt;
        }
        return accountFor(value.mid(7).trimmed(), res);
    }

    std::optional<Account> accountFor(const QString &token, Response &res) const
    {
        if (token.isEmpty() || token.size() > 200) {
            fail(res, 401, QStringLiteral("the session is not valid"));
            return std::nullopt;
        }
        const auto account = storage().accountForToken(token, nowMs());
        if (!account) {
            logError(account.error().message);
            fail(res, 503, QStringLiteral("the database is unavailable"));
            return std::nullopt;
        }
        if (!*account) {
            fail(res, 401, QStringLiteral("the session is not valid"));
            return std::nullopt;
        }
        t_account = (*account)->id;
        if (!server.m_accountLimits.take((*account)->id)) {
            res.set_header("Retry-After", "60");
            fail(res, 429, QStringLiteral("too many requests"));
            return std::nullopt;
        }
        return *account;
    }

    bool limitAddress(const Request &req, Response &res) const
    {
        if (server.m_addressLimits.take(q(req.remote_addr)))
            return true;
        res.set_header("Retry-After", "60");
        fail(res, 429, QStringLiteral("too many requests"));
        return false;
    }

    std::optional<QJsonObject> jsonBody(const Request &req, Response &res) const
    {
        if (qint64(req.body.size()) > config().maxJsonBody) {
            fail(res, 413, QStringLiteral("the request is too large"));
            return std::nullopt;
        }
        auto object = Wire::parseObject(QByteArray::fromStdString(req.body));
        if (!object) {
            fail(res, 400, QStringLiteral("the body is not a JSON object"));
            return std::nullopt;
        }
        return *object;
    }

    // A storage failure as an answer.
    void storageFailed(Response &res, const StorageError &error) const
    {
        switch (error.kind) {
        case StorageError::Kind::NotesFull:
        case StorageError::Kind::MediaFull:
            fail(res, 507, error.message);
            return;
        case StorageError::Kind::NotFound:
            fail(res, 404, error.message);
            return;
        case StorageError::Kind::Conflict:
            fail(res, 409, error.message);
            return;
        case StorageError::Kind::Database:
            break;
        }
        logError(error.message);
        fail(res, 500, QStringLiteral("the server could not store this"));
    }

    static void logError(const QString &message)
    {
        const QJsonObject line { { QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) },
                                 { QStringLiteral("level"), QStringLiteral("error") },
                                 { QStringLiteral("message"), message } };
        std::fprintf(stderr, "%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    }

    ServerHealth health() const
    {
        ServerHealth health;
        const QString db = storage().status();
        health.ok = db == u"ok";
        health.version = AppInfo::version();
        health.db = storage().engineName() + QStringLiteral(": ") + db;
        health.capabilities.signup = config().signup && config().googleConfigured();
        health.capabilities.media = true;
        health.capabilities.google = config().googleConfigured();
        if (config().googleConfigured())
            health.capabilities.googleClientId = config().googleClientId;
        health.capabilities.termsUrl = config().termsUrl.isEmpty()
            ? config().publicBase() + QStringLiteral("/terms")
            : config().termsUrl;
        health.capabilities.termsVersion = config().termsVersion;
        return health;
    }

    ShareLink link(const ShareRecord &record) const
    {
        return ShareLink { record.token,
                           QUrl(config().publicBase() + QStringLiteral("/s/") + record.token) };
    }

    void removeAccountFiles(const QString &accountId) const
    {
        QDir(mediaRoot() + u'/' + accountId).removeRecursively();
        QDir(QDir(config().dataDir).filePath(QStringLiteral("feedback/")) + accountId).removeRecursively();
    }
};

SyncServer::SyncServer(ServerConfig config, std::unique_ptr<Storage> storage)
    : m_config(std::move(config)),
      m_storage(std::move(storage)),
      m_http(std::make_unique<httplib::Server>()),
      m_accountLimits(m_config.rateLimit),
      m_addressLimits(m_config.rateLimit)
{
    const int threads = m_config.threads;
    m_http->new_task_queue = [threads] { return new httplib::ThreadPool(size_t(threads)); };
    // Answers go out as soon as they are written: without this, Nagle's algorithm holds the
    // body behind the head until the client's delayed acknowledgement (tens of ms each).
    m_http->set_tcp_nodelay(true);
    // The library listens with a backlog of 5, which drops the connections of a burst of
    // clients (they retry a second later). Remember the socket to listen again with room.
    m_http->set_socket_options([this](int socket) {
        httplib::default_socket_options(socket);
        m_listenSocket = socket;
    });
    m_http->set_keep_alive_max_count(1000);
    m_http->set_keep_alive_timeout(5);
    m_http->set_read_timeout(30);
    m_http->set_write_timeout(30);
    // The media limit is the largest body; smaller routes check their own limit first.
    m_http->set_payload_max_length(size_t(std::max({ m_config.mediaMaxFile, m_config.maxJsonBody,
                                                     m_config.maxFeedbackBody })) + 64 * 1024);
    routes();
}

SyncServer::~SyncServer()
{
    stop();
}

QString SyncServer::address() const
{
    return QStringLiteral("http://%1:%2").arg(m_config.listenHost).arg(m_port);
}

std::expected<quint16, QString> SyncServer::bind()
{
    const std::string host = m_config.listenHost.toStdString();
    if (m_config.listenPort == 0) {
        const int port = m_http->bind_to_any_port(host);
        if (port <= 0)
            return std::unexpected(QStringLiteral("cannot listen on %1").arg(m_config.listenHost));
        m_port = quint16(port);
    } else {
        if (!m_http->bind_to_port(host, m_config.listenPort))
            return std::unexpected(QStringLiteral("cannot listen on %1:%2 (in use, or not an address of this machine)")
                                       .arg(m_config.listenHost).arg(m_config.listenPort));
        m_port = m_config.listenPort;
    }
    if (m_listenSocket >= 0)
        ::listen(m_listenSocket, 1024);
    if (m_config.publicUrl.isEmpty() && m_config.listenPort == 0)
        m_config.publicUrl = address();
    return m_port;
}

void SyncServer::serve()
{
    m_http->listen_after_bind();
}

std::expected<quint16, QString> SyncServer::start()
{
    auto port = bind();
    if (!port)
        return port;
    // The socket already listens: connections made before the loop runs wait in its backlog.
    m_thread = std::thread([this] { serve(); });
    return port;
}

void SyncServer::stop()
{
    if (m_http->is_running())
        m_http->stop();
    if (m_thread.joinable())
        m_thread.join();
}

void SyncServer::routes()
{
    auto ctx = std::make_shared<Context>(Context { *this });
    httplib::Server &http = *m_http;

    http.set_pre_routing_handler([ctx](const Request &req, Response &res) {
        t_started = std::chrono::steady_clock::now();
        t_account.clear();
        // Refuse an announced body that is larger than its route takes before reading it.
        const qint64 length = q(req.get_header_value("Content-Length")).toLongLong();
        const bool media = req.path.rfind("/v1/media/", 0) == 0;
        const qint64 limit = media ? ctx->config().mediaMaxFile
            : req.path == "/v1/feedback" ? ctx->config().maxFeedbackBody
            : req.path == "/v1/telemetry" ? ctx->config().maxTelemetryBody
                                          : ctx->config().maxJsonBody;
        if (length > limit) {
            fail(res, 413, QStringLiteral("the request is too large"));
            res.set_header("Connection", "close");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    http.set_logger([](const Request &req, const Response &res) {
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t_started).count();
        QJsonObject line { { QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) },
                           { QStringLiteral("method"), q(req.method) },
                           { QStringLiteral("path"), loggedPath(req.path) },
                           { QStringLiteral("status"), res.status },
                           { QStringLiteral("ms"), std::round(ms * 10) / 10 },
                           { QStringLiteral("in"), qint64(req.body.size()) },
                           { QStringLiteral("out"), qint64(res.body.size()) },
                           { QStringLiteral("remote"), q(req.remote_addr) } };
        if (!t_account.isEmpty())
            line.insert(QStringLiteral("account"), t_account);
        std::fprintf(stderr, "%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    });
    // Every failure carries an "error" member, the router's own (404, 400) included.
    http.set_error_handler([](const Request &, Response &res) {
        if (res.body.empty()) {
            const int status = res.status;
            fail(res, status, status == 404 ? QStringLiteral("not found")
                                            : QStringLiteral("the request failed (%1)").arg(status));
        }
    });
    http.set_exception_handler([](const Request &, Response &res, std::exception_ptr) {
        Context::logError(QStringLiteral("a handler failed"));
        fail(res, 500, QStringLiteral("internal error"));
    });

    // ---- health and account ---------------------------------------------------------------
    http.Get("/health", [ctx](const Request &, Response &res) {
        const ServerHealth health = ctx->health();
        sendJson(res, health.toJson(), health.ok ? 200 : 503);
    });

    http.Get("/v1/auth/me", [ctx](const Request &req, Response &res) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        sendJson(res, QJsonObject { { QStringLiteral("user"), account->user().toJson() },
                                    { QStringLiteral("telemetry"), ctx->telemetry(*account).toJson() } });
    });

    http.Post("/v1/auth/google", [ctx](const Request &req, Response &res) {
        if (!ctx->limitAddress(req, res))
            return;
        if (!ctx->config().googleConfigured())
            return fail(res, 404, QStringLiteral("Google sign-in is not offered by this server"));
        const auto body = ctx->jsonBody(req, res);
        if (!body)
            return;
        const auto request = GoogleSignInRequest::fromJson(*body);
        if (!request)
            return fail(res, 400, QStringLiteral("the sign-in request is incomplete"));
        const qsizetype verifier = request->codeVerifier.size();
        if (verifier < 43 || verifier > 128)
            return fail(res, 400, QStringLiteral("the code verifier is not valid"));
        const auto identity = exchangeGoogleCode(ctx->config(), *request, nowMs());
        if (!identity)
            return fail(res, 403, QStringLiteral("Google sign-in failed: ") + identity.error());
        auto existing = ctx->storage().accountByEmail(identity->email);
        if (!existing)
            return ctx->storageFailed(res, existing.error());
        Account account;
        if (*existing) {
            account = **existing;
        } else {
            if (!ctx->config().signup)
                return fail(res, 403, QStringLiteral("this server does not take new accounts"));
            if (!request->acceptedTerms)
                return fail(res, 403, QStringLiteral("the terms of use must be accepted to create an account"));
            auto created = ctx->storage().createAccount(identity->email);
            if (!created)
                return ctx->storageFailed(res, created.error());
            account = *created;
        }
        if (identity->picture && identity->picture != account.avatarUrl) {
            ctx->storage().setAvatar(account.id, *identity->picture);
            account.avatarUrl = identity->picture;
        }
        const double expires = nowMs() + double(ctx->config().sessionDays) * 86400000.0;
        auto token = ctx->storage().createSession(account.id, request->device, expires);
        if (!token)
            return ctx->storageFailed(res, token.error());
        t_account = account.id;
        sendJson(res, AuthResponse { *token, expires, account.user() }.toJson());
    });

    http.Post("/v1/auth/web-code", [ctx](const Request &req, Response &res) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        auto code = ctx->storage().createWebCode(account->id, nowMs() + 5 * 60 * 1000.0);
        if (!code)
            return ctx->storageFailed(res, code.error());
        sendJson(res, QJsonObject { { QStringLiteral("url"),
                                      ctx->config().publicBase() + QStringLiteral("/dashboard/open?code=") + *code } });
    });

    http.Post("/v1/auth/logout", [ctx](const Request &req, Response &res) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        const QString token = q(req.get_header_value("Authorization")).mid(7).trimmed();
        if (auto done = ctx->storage().deleteSession(token); !done)
            return ctx->storageFailed(res, done.error());
        sendOk(res);
    });

    http.Post("/v1/auth/delete-account", [ctx](const Request &req, Response &res) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        if (auto done = ctx->storage().deleteAccount(account->id); !done)
            return ctx->storageFailed(res, done.error());
        ctx->removeAccountFiles(account->id);
        sendOk(res);
    });

    // ---- sync -----------------------------------------------------------------------------
    http.Post("/v1/sync", [ctx](const Request &req, Response &res) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        const auto body = ctx->jsonBody(req, res);
        if (!body)
            return;
        const auto request = SyncRequest::fromJson(*body);
        if (!request)
            return fail(res, 400, QStringLiteral("the sync request does not decode: ") + request.error().detail);
        if (request->changes.size() > 1000)
            return fail(res, 413, QStringLiteral("too many changes in one request"));
        for (const WireNote &note : request->changes) {
            if (!usableComponent(note.id, Wire::maxIdentifierBytes))
                return fail(res, 400, QStringLiteral("a note identifier is not usable"));
            if (note.body.contains(QChar(0)) || note.title.contains(QChar(0)))
                return fail(res, 400, QStringLiteral("a note holds a NUL character"));
        }
        SyncLimits limits;
        limits.pageSize = ctx->config().syncPageSize;
        limits.notesQuota = ctx->config().notesQuota;
        auto answer = ctx->storage().sync(account->id, *request, limits, nowMs());
        if (!answer)
            return ctx->storageFailed(res, answer.error());
        sendJson(res, answer->toJson());
    });

    // ---- shares ---------------------------------------------------------------------------
    http.Post("/v1/shares", [ctx](const Request &req, Response &res) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        const auto body = ctx->jsonBody(req, res);
        if (!body)
            return;
        const QString noteId = body->value(QStringLiteral("noteId")).toString();
        if (!usableComponent(noteId, Wire::maxIdentifierBytes))
            return fail(res, 400, QStringLiteral("noteId is missing"));
        auto share = ctx->storage().createShare(account->id, noteId, randomToken(), nowMs());
        if (!share)
            return ctx->storageFailed(res, share.error());
        sendJson(res, ctx->link(*share).toJson());
    });

    http.Get("/v1/shares", [ctx](const Request &req, Response &res) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        const QString noteId = q(req.get_param_value("noteId"));
        auto shares = ctx->storage().shares(account->id, noteId);
        if (!shares)
            return ctx->storageFailed(res, shares.error());
        QJsonArray list;
        for (const ShareRecord &share : *shares)
            list.append(ctx->link(share).toJson());
        sendJson(res, QJsonObject { { QStringLiteral("shares"), list } });
    });

    http.Post(R"(/v1/shares/([^/]+)/revoke)", [ctx](const Request &req, Response &res) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        auto revoked = ctx->storage().revokeShare(account->id, q(req.matches[1]), nowMs());
        if (!revoked)
            return ctx->storageFailed(res, revoked.error());
        // Another account's token looks exactly like one that never existed.
        if (!*revoked)
            return fail(res, 404, QStringLiteral("no such link"));
        sendOk(res);
    });

    // ---- telemetry and feedback -----------------------------------------------------------
    http.Post("/v1/telemetry", [ctx](const Request &req, Response &res) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        if (qint64(req.body.size()) > ctx->config().maxTelemetryBody)
            return fail(res, 413, QStringLiteral("the request is too large"));
        const auto object = Wire::parseObject(QByteArray::fromStdString(req.body));
        if (!object || !object->value(QStringLiteral("events")).isArray())
            return fail(res, 400, QStringLiteral("expected an object with \"events\""));
        // Events of an account whose telemetry is off are not kept.
        if (ctx->telemetry(*account).enabled) {
            if (auto done = ctx->storage().addTelemetry(account->id, QByteArray::fromStdString(req.body), nowMs()); !done)
                return ctx->storageFailed(res, done.error());
        }
        sendOk(res);
    });

    http.Post("/v1/telemetry/choice", [ctx](const Request &req, Response &res) {
        auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        const auto body = ctx->jsonBody(req, res);
        if (!body)
            return;
        const QJsonValue enabled = body->value(QStringLiteral("enabled"));
        if (!enabled.isBool())
            return fail(res, 400, QStringLiteral("\"enabled\" must be true or false"));
        if (ctx->config().telemetry == u"optional") {
            if (auto done = ctx->storage().setTelemetryEnabled(account->id, enabled.toBool()); !done)
                return ctx->storageFailed(res, done.error());
            account->telemetryEnabled = enabled.toBool();
        }
        sendJson(res, ctx->telemetry(*account).toJson());
    });

    http.Post("/v1/feedback", [ctx](const Request &req, Response &res) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        if (qint64(req.body.size()) > ctx->config().maxFeedbackBody)
            return fail(res, 413, QStringLiteral("the request is too large"));
        if (!req.is_multipart_form_data() || !req.has_file("message"))
            return fail(res, 400, QStringLiteral("expected a form with a message"));
        const QString message = q(req.get_file_value("message").content).trimmed();
        if (message.isEmpty())
            return fail(res, 400, QStringLiteral("the message is empty"));
        QJsonObject fields;
        QStringList stored;
        const QString folderName = QUuid::createUuid().toString(QUuid::Id128);
        const QString folder = QDir(ctx->config().dataDir).filePath(QStringLiteral("feedback/%1/%2").arg(account->id, folderName));
        for (const auto &[name, part] : req.files) {
            const QString key = q(name);
            if (key == u"message")
                continue;
            if (key == u"picture" || key == u"diagnostics") {
                const QString file = key == u"picture" ? QStringLiteral("panel.png") : QStringLiteral("diagnostics.txt");
                if (!QDir().mkpath(folder))
                    return fail(res, 500, QStringLiteral("the server could not store this"));
                QFile out(folder + u'/' + file);
                if (!out.open(QIODevice::WriteOnly) || out.write(part.content.data(), qint64(part.content.size())) != qint64(part.content.size()))
                    return fail(res, 500, QStringLiteral("the server could not store this"));
                stored << folderName + u'/' + file;
            } else if (fields.size() < 50 && key.size() <= 64) {
                fields.insert(key, q(part.content).left(1000));
            }
        }
        if (auto done = ctx->storage().addFeedback(account->id, message.left(20000), fields, stored.join(u','), nowMs()); !done) {
            QDir(folder).removeRecursively();
            return ctx->storageFailed(res, done.error());
        }
        sendOk(res);
    });

    // ---- media ----------------------------------------------------------------------------
    http.Get("/v1/media/usage", [ctx](const Request &req, Response &res) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        auto used = ctx->storage().mediaBytes(account->id);
        if (!used)
            return ctx->storageFailed(res, used.error());
        sendJson(res, MediaUsage { *used, ctx->config().mediaQuota, ctx->config().mediaMaxFile }.toJson());
    });

    http.Put(R"(/v1/media/([^/]+)/([^/]+))", [ctx](const Request &req, Response &res,
                                                   const httplib::ContentReader &reader) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        const QString noteId = q(req.matches[1]);
        const QString filename = q(req.matches[2]);
        if (!usableComponent(noteId, Wire::maxIdentifierBytes) || !usableComponent(filename, Wire::maxFilenameBytes))
            return fail(res, 400, QStringLiteral("the note or file name is not usable"));
        const QString incoming = ctx->mediaRoot() + QStringLiteral("/.incoming");
        if (!QDir().mkpath(incoming))
            return fail(res, 500, QStringLiteral("the server could not store this"));
        const QString temporary = incoming + u'/' + QUuid::createUuid().toString(QUuid::Id128);
        QFile out(temporary);
        if (!out.open(QIODevice::WriteOnly))
            return fail(res, 500, QStringLiteral("the server could not store this"));
        qint64 size = 0;
        bool tooLarge = false;
        bool writeFailed = false;
        reader([&](const char *data, size_t length) {
            size += qint64(length);
            if (size > ctx->config().mediaMaxFile) {
                tooLarge = true;
                return false;
            }
            if (out.write(data, qint64(length)) != qint64(length)) {
                writeFailed = true;
                return false;
            }
            return true;
        });
        out.close();
        if (tooLarge || writeFailed) {
            QFile::remove(temporary);
            return tooLarge ? fail(res, 413, QStringLiteral("the file is larger than this server takes"))
                            : fail(res, 500, QStringLiteral("the server could not store this"));
        }
        const QString target = ctx->mediaPath(account->id, noteId, filename);
        auto added = ctx->storage().addMedia(account->id, noteId, filename, size, ctx->config().mediaQuota, [&] {
            if (!QDir().mkpath(QFileInfo(target).path()))
                return false;
            QFile::remove(target);
            return QFile::rename(temporary, target);
        });
        QFile::remove(temporary);
        if (!added)
            return ctx->storageFailed(res, added.error());
        sendOk(res);
    });

    http.Get(R"(/v1/media/([^/]+)/([^/]+))", [ctx](const Request &req, Response &res) {
        const auto account = ctx->authenticate(req, res);
        if (!account)
            return;
        const QString noteId = q(req.matches[1]);
        const QString filename = q(req.matches[2]);
        if (!usableComponent(noteId, Wire::maxIdentifierBytes) || !usableComponent(filename, Wire::maxFilenameBytes))
            return fail(res, 400, QStringLiteral("the note or file name is not usable"));
        auto has = ctx->storage().hasMedia(account->id, noteId, filename);
        if (!has)
            return ctx->storageFailed(res, has.error());
        if (!*has)
            return fail(res, 404, QStringLiteral("no such file"));
        sendFile(res, ctx->mediaPath(account->id, noteId, filename), "application/octet-stream");
    });

    // ---- public pages ---------------------------------------------------------------------
    const auto sharedNote = [ctx](const Request &req, Response &res) -> std::optional<std::pair<ShareRecord, WireNote>> {
        if (!ctx->limitAddress(req, res))
            return std::nullopt;
        auto share = ctx->storage().liveShare(q(req.matches[1]));
        if (!share) {
            ctx->storageFailed(res, share.error());
            return std::nullopt;
        }
        std::optional<WireNote> note;
        if (*share) {
            auto stored = ctx->storage().note((*share)->accountId, (*share)->noteId);
            if (stored && *stored && !(*stored)->deleted)
                note = **stored;
        }
        if (!note) {
            sendHtml(res, Pages::message(QStringLiteral("Not shared"),
                                         QStringLiteral("This link is not shared, or no longer.")), 404);
            return std::nullopt;
        }
        return std::pair { **share, *note };
    };

    http.Get(R"(/s/([^/]+))", [sharedNote](const Request &req, Response &res) {
        const auto shared = sharedNote(req, res);
        if (!shared)
            return;
        const QString token = shared->first.token;
        sendHtml(res, Pages::sharedNote(shared->second, [&](const QString &file) {
            return QStringLiteral("/s/%1/media/%2").arg(token, QString::fromLatin1(QUrl::toPercentEncoding(file)));
        }));
    });

    http.Get(R"(/s/([^/]+)/media/([^/]+))", [ctx, sharedNote](const Request &req, Response &res) {
        const auto shared = sharedNote(req, res);
        if (!shared)
            return;
        const QString filename = q(req.matches[2]);
        // Only files the shared text itself shows.
        bool shown = false;
        for (const WireAttachment &a : shared->second.attachments)
            shown = shown || a.filename == filename;
        if (!shown || !usableComponent(filename, Wire::maxFilenameBytes))
            return fail(res, 404, QStringLiteral("no such file"));
        const ShareRecord &share = shared->first;
        auto has = ctx->storage().hasMedia(share.accountId, share.noteId, filename);
        if (!has || !*has)
            return fail(res, 404, QStringLiteral("no such file"));
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("Content-Security-Policy", "default-src 'none'; sandbox");
        sendFile(res, ctx->mediaPath(share.accountId, share.noteId, filename), mediaType(filename));
    });

    http.Get("/dashboard/open", [ctx](const Request &req, Response &res) {
        if (!ctx->limitAddress(req, res))
            return;
        auto account = ctx->storage().consumeWebCode(q(req.get_param_value("code")), nowMs());
        if (!account || !*account)
            return sendHtml(res, Pages::message(QStringLiteral("Link used"),
                                                QStringLiteral("This sign-in link has been used or has expired. Open the dashboard from the app again.")), 403);
        auto token = ctx->storage().createSession(**account, QStringLiteral("web dashboard"), nowMs() + 86400000.0);
        if (!token)
            return ctx->storageFailed(res, token.error());
        const bool secure = ctx->config().publicBase().startsWith(QStringLiteral("https:"));
        res.set_header("Set-Cookie", QStringLiteral("scrivel_session=%1; Path=/dashboard; HttpOnly; SameSite=Strict; Max-Age=86400%2")
                                         .arg(*token, secure ? QStringLiteral("; Secure") : QString()).toStdString());
        res.set_redirect("/dashboard", 303);
    });

    http.Get("/dashboard", [ctx](const Request &req, Response &res) {
        const QString token = cookie(req, "scrivel_session");
        auto account = token.isEmpty() ? Stored<std::optional<Account>>(std::nullopt)
                                       : ctx->storage().accountForToken(token, nowMs());
        if (!account || !*account)
            return sendHtml(res, Pages::message(QStringLiteral("Signed out"),
                                                QStringLiteral("Open the dashboard from the app's account screen.")), 401);
        t_account = (*account)->id;
        auto stats = ctx->storage().stats((*account)->id);
        auto shares = ctx->storage().allLiveShares((*account)->id);
        if (!stats || !shares)
            return fail(res, 500, QStringLiteral("the dashboard could not be read"));
        res.set_header("Cache-Control", "no-store");
        sendHtml(res, Pages::dashboard(**account, *stats, ctx->config().mediaQuota, *shares, ctx->config().publicBase()));
    });

    http.Post("/dashboard/logout", [ctx](const Request &req, Response &res) {
        const QString token = cookie(req, "scrivel_session");
        if (!token.isEmpty())
            ctx->storage().deleteSession(token);
        res.set_header("Set-Cookie", "scrivel_session=; Path=/dashboard; HttpOnly; SameSite=Strict; Max-Age=0");
        sendHtml(res, Pages::message(QStringLiteral("Signed out"), QStringLiteral("You are signed out of the dashboard.")));
    });

    http.Get("/privacy", [ctx](const Request &, Response &res) {
        sendHtml(res, Pages::privacy(ctx->config().publicBase()));
    });
    http.Get("/terms", [ctx](const Request &, Response &res) {
        sendHtml(res, Pages::terms(ctx->config().termsVersion));
    });
    http.Get("/", [](const Request &, Response &res) {
        sendHtml(res, Pages::message(QStringLiteral("ScrivelBar sync server"),
                                     QStringLiteral("This server syncs ScrivelBar notes. Point the app at this address.")));
    });
}
