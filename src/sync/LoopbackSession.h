#pragma once

// Internal to LoopbackRedirect: one capture's listener, connections and timeout. A header of
// its own only so that moc sees the class.

#include "sync/LoopbackRedirect.h"
#include "sync/OnceFlag.h"

#include <QHostAddress>
#include <QObject>
#include <QStringDecoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace LoopbackRedirect::detail {

QPair<QString, QString> requestLine(const QString &requestText);
QUrl targetURL(const QString &host, const QString &target);
QString redirectAddress(const QString &host, quint16 port);

// One capture: the listener, its connections and the timeout. The first of the three ways
// to finish wins through the flag; the others then do nothing.
class Session final : public QObject
{
    Q_OBJECT
public:
    Session(QString host, QString pageDone, QString pageDenied, Limits limits)
        : m_host(std::move(host))
        , m_pageDone(std::move(pageDone))
        , m_pageDenied(std::move(pageDenied))
        , m_limits(limits)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &Session::takeConnections);
        connect(&m_server, &QTcpServer::acceptError, this, [this] {
            finish(Failure { Failure::Kind::Listener, m_server.errorString() });
        });
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            finish(Failure { Failure::Kind::TimedOut, {} });
        });
    }

    bool start(std::chrono::milliseconds timeout)
    {
        // Both hosts end on the IPv4 loopback address: the listener must never be reachable
        // from another machine, and "localhost" resolves there everywhere.
        if (!m_server.listen(QHostAddress::LocalHost, 0)) {
            finish(Failure { Failure::Kind::Listener, m_server.errorString() });
            return false;
        }
        m_port = m_server.serverPort();
        m_timer.start(timeout);
        return true;
    }

    QString redirectURI() const { return redirectAddress(m_host, m_port); }
    /// Ends the capture as the timeout would.
    void cancel() { finish(Failure { Failure::Kind::TimedOut, {} }); }
    /// Ends the capture as a listener failure (nothing can reach it any more).
    void abandon(const QString &message) { finish(Failure { Failure::Kind::Listener, message }); }
    bool isFinished() const { return m_flag.isSet(); }
    const Outcome &outcome() const { return m_outcome; }

Q_SIGNALS:
    void finished();

private:
    void finish(const Failure &failure)
    {
        if (!m_flag.testAndSet())
            return;
        m_server.close();
        m_timer.stop();
        m_outcome.failure = failure;
        Q_EMIT finished();
    }

    void takeConnections()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            if (m_flag.isSet() || m_open >= m_limits.maxConnections) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            ++m_open;
            auto buffer = std::make_shared<QByteArray>();
            auto *deadline = new QTimer(socket);
            deadline->setSingleShot(true);
            connect(deadline, &QTimer::timeout, socket, &QTcpSocket::abort);
            deadline->start(m_limits.connectionTimeout);
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                --m_open;
                socket->deleteLater();
            });
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
                const qsizetype room = m_limits.maxRequestBytes - buffer->size();
                buffer->append(socket->read(qMax<qsizetype>(room, 0)));
                // Wait for the whole head (so closing does not reset the browser's
                // connection before it read the page), but never past the limit.
                if (buffer->contains("\r\n\r\n") || buffer->size() >= m_limits.maxRequestBytes)
                    answer(socket, *buffer);
            });
        }
    }

    void answer(QTcpSocket *socket, const QByteArray &bytes)
    {
        if (socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(bytes);
        if (decoder.hasError())
            text.clear();

        const auto [method, target] = requestLine(text);
        const QUrl url = targetURL(m_host, target);
        if (method != u"GET" || !url.isValid() || url.path() != u"/callback") {
            // A favicon or a stray local request: not the redirect, so the flow goes on.
            socket->write(
                "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            close(socket);
            return;
        }
        const Callback callback = parseRequest(m_host, m_port, text);
        socket->write(
            response(callback.value(QStringLiteral("error")) ? m_pageDenied : m_pageDone));
        close(socket);
        if (!m_flag.testAndSet())
            return;
        m_server.close();
        m_timer.stop();
        m_outcome.callback = callback;
        Q_EMIT finished();
    }

    static void close(QTcpSocket *socket)
    {
        // The socket may outlive the session while its answer drains.
        socket->setParent(nullptr);
        socket->flush();
        socket->disconnectFromHost();
        QTimer::singleShot(std::chrono::seconds(5), socket, &QObject::deleteLater);
    }

    QString m_host;
    QString m_pageDone;
    QString m_pageDenied;
    Limits m_limits;
    QTcpServer m_server;
    QTimer m_timer;
    OnceFlag m_flag;
    Outcome m_outcome;
    quint16 m_port = 0;
    int m_open = 0;
};

} // namespace LoopbackRedirect::detail
