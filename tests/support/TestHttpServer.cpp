#include "TestHttpServer.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace TestSupport {

namespace {

QByteArray queueKey(const QByteArray &method, const QString &path)
{
    return method + ' ' + path.toUtf8();
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 402:
        return "Payment Required";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 507:
        return "Insufficient Storage";
    default:
        return "Status";
    }
}

// Parses one complete request from the front of `buffer`; removes it and returns true, or
// returns false when more bytes are needed.
bool takeRequest(QByteArray &buffer, HttpRequest *request)
{
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    HttpRequest parsed;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    parsed.method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    const qsizetype question = target.indexOf('?');
    parsed.rawPath = question < 0 ? target : target.left(question);
    parsed.path = QUrl::fromPercentEncoding(parsed.rawPath);
    parsed.query = question < 0 ? QString() : QString::fromUtf8(target.mid(question + 1));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            parsed.headers.insert(line.left(colon).trimmed().toLower(),
                                  line.mid(colon + 1).trimmed());
    }
    qsizetype position = headerEnd + 4;
    if (parsed.header("transfer-encoding").toLower().contains("chunked")) {
        parsed.chunked = true;
        QByteArray body;
        for (;;) {
            const qsizetype lineEnd = buffer.indexOf("\r\n", position);
            if (lineEnd < 0)
                return false;
            bool ok = false;
            const qsizetype size = buffer.mid(position, lineEnd - position)
                                       .split(';')
                                       .value(0)
                                       .trimmed()
                                       .toLongLong(&ok, 16);
            if (!ok)
                return false;
            position = lineEnd + 2;
            if (size == 0) {
                const qsizetype trailerEnd = buffer.indexOf("\r\n", position);
                if (trailerEnd < 0)
                    return false;
                position = trailerEnd + 2;
                break;
            }
            if (buffer.size() < position + size + 2)
                return false;
            body += buffer.mid(position, size);
            position += size + 2;
        }
        parsed.body = body;
    } else {
        const qsizetype length = parsed.header("content-length").toLongLong();
        if (buffer.size() < position + length)
            return false;
        parsed.body = buffer.mid(position, length);
        position += length;
    }
    buffer.remove(0, position);
    *request = parsed;
    return true;
}

} // namespace

QJsonObject HttpRequest::json() const
{
    return QJsonDocument::fromJson(body).object();
}

HttpResponse HttpResponse::json(const QJsonObject &object, int status)
{
    HttpResponse response;
    response.status = status;
    response.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
    response.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return response;
}

HttpResponse HttpResponse::text(const QByteArray &body, int status)
{
    HttpResponse response;
    response.status = status;
    response.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/html")));
    response.body = body;
    return response;
}

TestHttpServer::TestHttpServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server->nextPendingConnection()) {
            m_connections.insert(socket, {});
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_connections.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

TestHttpServer::~TestHttpServer() = default;

bool TestHttpServer::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

QString TestHttpServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort());
}

void TestHttpServer::enqueue(const QByteArray &method, const QString &path,
                             const HttpResponse &response)
{
    m_queue[queueKey(method, path)].append(response);
}

QList<HttpRequest> TestHttpServer::requests(const QString &path) const
{
    QList<HttpRequest> result;
    for (const HttpRequest &request : m_requests) {
        if (request.path == path)
            result.append(request);
    }
    return result;
}

QList<HttpRequest> TestHttpServer::requestsUnder(const QString &prefix) const
{
    QList<HttpRequest> result;
    for (const HttpRequest &request : m_requests) {
        if (request.path.startsWith(prefix))
            result.append(request);
    }
    return result;
}

void TestHttpServer::readFrom(QTcpSocket *socket)
{
    Connection &connection = m_connections[socket];
    connection.buffer += socket->readAll();
    HttpRequest request;
    while (takeRequest(m_connections[socket].buffer, &request)) {
        m_requests.append(request);
        Q_EMIT requestReceived(request);
        answer(socket, request);
        if (!m_connections.contains(socket))
            return;
    }
}

void TestHttpServer::answer(QTcpSocket *socket, const HttpRequest &request)
{
    HttpResponse response;
    auto queued = m_queue.find(queueKey(request.method, request.path));
    if (queued != m_queue.end() && !queued->isEmpty())
        response = queued->takeFirst();
    else if (m_handler)
        response = m_handler(request);
    else
        response = HttpResponse::json(
            QJsonObject { { QStringLiteral("error"), QStringLiteral("no script") } }, 404);

    QPointer<QTcpSocket> target(socket);
    auto write = [target, response] {
        if (!target)
            return;
        if (response.drop) {
            target->abort();
            return;
        }
        if (!response.raw.isEmpty()) {
            target->write(response.raw);
            target->flush();
            target->disconnectFromHost();
            return;
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
            + reasonPhrase(response.status) + "\r\n";
        for (const auto &[name, value] : response.headers)
            head += name + ": " + value + "\r\n";
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        head += "Connection: keep-alive\r\n\r\n";
        target->write(head);
        const QByteArray body = response.stallAfterBytes >= 0
            ? response.body.left(response.stallAfterBytes)
            : response.body;
        if (response.trickleBytes <= 0) {
            target->write(body);
            return;
        }
        // Piece by piece from a timer owned by the socket: a closed connection ends it.
        auto *timer = new QTimer(target);
        auto sent = std::make_shared<qsizetype>(0);
        QObject::connect(timer, &QTimer::timeout, target, [target, timer, sent, body,
                                                           size = response.trickleBytes] {
            target->write(body.mid(*sent, size));
            *sent += size;
            if (*sent >= body.size())
                timer->deleteLater();
        });
        timer->start(qMax(0, response.trickleIntervalMs));
    };
    if (response.delayMs > 0)
        QTimer::singleShot(response.delayMs, this, write);
    else
        write();
}

} // namespace TestSupport
