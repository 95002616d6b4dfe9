#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrlQuery>

#include <functional>

class QTcpServer;
class QTcpSocket;

namespace TestSupport {

/// One request as the test server received it.
struct HttpRequest
{
    QByteArray method;
    QString path; ///< percent-decoded path
    QByteArray rawPath; ///< the path as it was on the request line
    QString query; ///< the raw query, without "?"
    QHash<QByteArray, QByteArray> headers; ///< names in lower case
    QByteArray body;
    bool chunked = false; ///< the body came with chunked transfer encoding

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    /// The body parsed as a JSON object (empty when it is not one).
    QJsonObject json() const;
};

/// One scripted answer.
struct HttpResponse
{
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    /// Wait this long before answering.
    int delayMs = 0;
    /// When not empty, written to the socket as it is instead of an HTTP answer.
    QByteArray raw;
    /// Close the connection without answering.
    bool drop = false;
    /// When above 0, the body goes out this many bytes at a time, `trickleIntervalMs` apart
    /// (a slow line that keeps moving). The head announces the whole length.
    int trickleBytes = 0;
    int trickleIntervalMs = 0;
    /// When 0 or more, writing the body stops for good after this many bytes while the
    /// connection stays open (a line that stalls).
    qint64 stallAfterBytes = -1;

    static HttpResponse json(const QJsonObject &object, int status = 200);
    static HttpResponse text(const QByteArray &body, int status);
};

/// A real HTTP/1.1 server on 127.0.0.1 for tests. It records every request and answers from a
/// per-test script: queued answers per method and path first, then a handler function, else
/// 404. Keep-alive connections, Content-Length and chunked request bodies are handled.
class TestHttpServer : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    explicit TestHttpServer(QObject *parent = nullptr);
    ~TestHttpServer() override;

    /// Listens on a free port of 127.0.0.1; false when that fails.
    bool listen();
    /// "http://127.0.0.1:<port>".
    QString url() const;

    /// Answers every request that has no queued answer.
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    /// Queues an answer for the next request with this method and path.
    void enqueue(const QByteArray &method, const QString &path, const HttpResponse &response);

    const QList<HttpRequest> &requests() const { return m_requests; }
    /// The recorded requests to `path` (any method).
    QList<HttpRequest> requests(const QString &path) const;
    /// Requests whose path starts with `prefix`.
    QList<HttpRequest> requestsUnder(const QString &prefix) const;
    void clearRequests() { m_requests.clear(); }

Q_SIGNALS:
    void requestReceived(const TestSupport::HttpRequest &request);

private:
    struct Connection
    {
        QByteArray buffer;
    };
    void readFrom(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const HttpRequest &request);

    QTcpServer *m_server;
    Handler m_handler;
    QHash<QByteArray, QList<HttpResponse>> m_queue;
    QList<HttpRequest> m_requests;
    QHash<QTcpSocket *, Connection> m_connections;
};

} // namespace TestSupport
