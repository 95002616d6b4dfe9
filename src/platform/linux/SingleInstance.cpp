#include "platform/linux/SingleInstance.h"

#include "base/AppInfo.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <memory>

#include <unistd.h>

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverNameFor(const QString &supportFolder)
{
    const QString beside = QDir(supportFolder).filePath(QStringLiteral("instance.sock"));
    // sockaddr_un holds 108 bytes with the terminating zero.
    if (QFile::encodeName(beside).size() < 100)
        return beside;
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash(QFile::encodeName(supportFolder), QCryptographicHash::Sha256)
            .toHex()
            .left(16));
    const QString name = QStringLiteral("%1-%2-%3.sock")
                             .arg(QString::fromLatin1(AppInfo::identifier))
                             .arg(getuid())
                             .arg(digest);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return QDir(runtime).filePath(name);
    return QDir::temp().filePath(name);
}

QByteArray SingleInstance::encode(const QStringList &arguments)
{
    QJsonObject object;
    object.insert(QStringLiteral("args"), QJsonArray::fromStringList(arguments));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<QStringList> SingleInstance::decode(const QByteArray &message)
{
    if (message.size() > maximumMessageSize)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonValue args = document.object().value(QStringLiteral("args"));
    if (!args.isArray())
        return std::nullopt;
    QStringList result;
    for (const QJsonValue &value : args.toArray()) {
        if (!value.isString())
            return std::nullopt;
        result << value.toString();
    }
    return result;
}

bool SingleInstance::sendToRunning(const QString &name, const QStringList &arguments, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(encode(arguments));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen(const QString &name)
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    }
    if (m_server->listen(name))
        return true;
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}

bool SingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > maximumMessageSize)
                socket->abort();
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const auto arguments = decode(*buffer);
            socket->deleteLater();
            if (arguments)
                Q_EMIT argumentsReceived(*arguments);
        });
        // A client that never finishes is dropped rather than kept forever.
        QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
    }
}
