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
#include <QtEndian>
#include <QDeadlineTimer>

#include <cmath>
#include <limits>
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

namespace {

QByteArray frame(const char *tag, const QByteArray &payload)
{
    QByteArray bytes(tag, 8);
    const quint64 length = quint64(payload.size());
    char size[8];
    qToBigEndian(length, size);
    bytes.append(size, 8);
    bytes.append(payload);
    return bytes;
}

// The payload length of a frame that starts with `tag`; nothing while the header is
// incomplete, -1 when the bytes are no such frame.
std::optional<qint64> frameLength(const QByteArray &bytes, const char *tag)
{
    const QByteArray expected(tag, 8);
    const qsizetype compared = qMin<qsizetype>(bytes.size(), 8);
    if (bytes.left(compared) != expected.left(compared))
        return -1;
    if (bytes.size() < SingleInstance::frameHeaderSize)
        return std::nullopt;
    const quint64 length = qFromBigEndian<quint64>(bytes.constData() + 8);
    // An absurd length is still a frame's: it is refused as too large.
    constexpr quint64 largest = quint64(std::numeric_limits<qint64>::max());
    return qint64(qMin(length, largest));
}

CommandReply errorReply(const QString &message)
{
    CommandReply reply;
    reply.exitCode = 1;
    reply.err = QStringLiteral("scrivel: ") + message + u'\n';
    return reply;
}

// A message body as a JSON object; nothing when it is too large or anything else.
std::optional<QJsonObject> parseObject(const QByteArray &payload, qint64 limit)
{
    if (payload.size() > limit)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

} // namespace

QByteArray SingleInstance::encodeRequest(const CommandRequest &request)
{
    QJsonObject object;
    object.insert(QStringLiteral("args"), QJsonArray::fromStringList(request.arguments));
    object.insert(QStringLiteral("cwd"), request.workingDirectory);
    object.insert(QStringLiteral("stdin"), request.standardInput);
    return frame(requestTag, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<CommandRequest> SingleInstance::decodeRequest(const QByteArray &payload)
{
    const auto parsed = parseObject(payload, maximumRequestSize);
    if (!parsed)
        return std::nullopt;
    const QJsonObject &object = *parsed;
    const QJsonValue args = object.value(QStringLiteral("args"));
    const QJsonValue cwd = object.value(QStringLiteral("cwd"));
    const QJsonValue input = object.value(QStringLiteral("stdin"));
    if (!args.isArray() || !cwd.isString() || !(input.isString() || input.isUndefined()))
        return std::nullopt;
    CommandRequest request;
    for (const QJsonValue &value : args.toArray()) {
        if (!value.isString())
            return std::nullopt;
        request.arguments << value.toString();
    }
    request.workingDirectory = cwd.toString();
    // Relative paths of the command are resolved from here: it must name a folder outright.
    if (!QDir::isAbsolutePath(request.workingDirectory))
        return std::nullopt;
    request.standardInput = input.toString();
    return request;
}

QByteArray SingleInstance::encodeReply(const CommandReply &reply)
{
    const QJsonObject object { { QStringLiteral("exit"), reply.exitCode },
                               { QStringLiteral("stdout"), reply.out },
                               { QStringLiteral("stderr"), reply.err } };
    return frame(replyTag, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<CommandReply> SingleInstance::decodeReply(const QByteArray &payload)
{
    const auto parsed = parseObject(payload, maximumReplySize);
    if (!parsed)
        return std::nullopt;
    const QJsonObject &object = *parsed;
    const QJsonValue exit = object.value(QStringLiteral("exit"));
    const QJsonValue out = object.value(QStringLiteral("stdout"));
    const QJsonValue err = object.value(QStringLiteral("stderr"));
    if (!exit.isDouble() || !out.isString() || !err.isString())
        return std::nullopt;
    const double code = exit.toDouble();
    if (code != std::floor(code) || code < 0 || code > 255)
        return std::nullopt;
    return CommandReply { int(code), out.toString(), err.toString() };
}

std::expected<CommandReply, CommandFailure>
SingleInstance::runInRunning(const QString &name, const CommandRequest &request,
                             int connectTimeoutMs, int replyTimeoutMs)
{
    const QByteArray bytes = encodeRequest(request);
    if (bytes.size() - frameHeaderSize > maximumRequestSize)
        return std::unexpected(CommandFailure {
            false, QStringLiteral("the command is larger than the running app takes (%1 MiB)")
                       .arg(maximumRequestSize / (1024 * 1024)) });
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(connectTimeoutMs))
        return std::unexpected(CommandFailure { true, socket.errorString() });

    const QDeadlineTimer deadline(replyTimeoutMs);
    auto broken = [&](const QString &why) {
        return std::unexpected(CommandFailure {
            false, QStringLiteral("the running app did not answer (%1)").arg(why) });
    };
    socket.write(bytes);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime()))))
            return broken(socket.errorString());
    }
    QByteArray answer;
    for (;;) {
        answer.append(socket.readAll());
        const auto length = frameLength(answer, replyTag);
        if (length && *length < 0)
            return broken(QStringLiteral("not a reply"));
        if (length && *length > maximumReplySize)
            return broken(QStringLiteral("reply too large"));
        if (length && answer.size() >= frameHeaderSize + *length) {
            const auto reply = decodeReply(answer.mid(frameHeaderSize, *length));
            if (!reply)
                return broken(QStringLiteral("not a reply"));
            return *reply;
        }
        if (deadline.hasExpired())
            return broken(QStringLiteral("timed out"));
        if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0)
            return broken(socket.errorString());
        socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

void SingleInstance::answerCommand(QLocalSocket *socket, const QByteArray &payload)
{
    CommandReply reply;
    const auto request = decodeRequest(payload);
    if (!request)
        reply = errorReply(QStringLiteral("the app could not read the request"));
    else if (!m_commandHandler)
        reply = errorReply(QStringLiteral("the running app does not take commands"));
    else
        reply = m_commandHandler(*request);
    QByteArray bytes = encodeReply(reply);
    if (bytes.size() - frameHeaderSize > maximumReplySize)
        bytes = encodeReply(errorReply(QStringLiteral("the answer is too large to send")));
    socket->write(bytes);
    // Closes once the reply has gone out; a reader that never takes it is dropped.
    socket->disconnectFromServer();
    QTimer::singleShot(60000, socket, [socket] { socket->abort(); });
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        // A connection is an argument hand-over (a JSON object, read up to the disconnect)
        // or one framed command request; the first bytes tell which. Anything else is
        // answered with an error and dropped.
        enum class Mode { Unknown, HandOver, Command, Answered };
        struct State
        {
            QByteArray buffer;
            Mode mode = Mode::Unknown;
        };
        auto state = std::make_shared<State>();
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, state] {
            if (state->mode == Mode::Answered) {
                socket->readAll();
                return;
            }
            state->buffer.append(socket->readAll());
            if (state->mode == Mode::Unknown) {
                const auto length = frameLength(state->buffer, requestTag);
                if (length && *length >= 0) {
                    state->mode = Mode::Command;
                } else if (!length) {
                    return; // the start of a request tag, or of its header
                } else if (state->buffer.startsWith('{')) {
                    state->mode = Mode::HandOver;
                } else {
                    state->mode = Mode::Answered;
                    state->buffer.clear();
                    answerCommand(socket, QByteArray());
                    return;
                }
            }
            if (state->mode == Mode::HandOver) {
                if (state->buffer.size() > maximumMessageSize)
                    socket->abort();
                return;
            }
            const auto length = frameLength(state->buffer, requestTag);
            if (!length)
                return;
            if (*length > maximumRequestSize) {
                state->mode = Mode::Answered;
                state->buffer.clear();
                socket->write(encodeReply(errorReply(QStringLiteral("the request is too large"))));
                socket->disconnectFromServer();
                return;
            }
            if (state->buffer.size() < frameHeaderSize + *length)
                return;
            // One request per connection: bytes after it make the whole message suspect.
            const bool exact = state->buffer.size() == frameHeaderSize + *length;
            const QByteArray payload
                = exact ? state->buffer.mid(frameHeaderSize) : QByteArray();
            state->mode = Mode::Answered;
            state->buffer.clear();
            answerCommand(socket, payload);
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, state] {
            if (state->mode == Mode::HandOver || state->mode == Mode::Unknown) {
                state->buffer.append(socket->readAll());
                if (state->buffer.startsWith('{')) {
                    if (const auto arguments = decode(state->buffer))
                        Q_EMIT argumentsReceived(*arguments);
                }
            }
            socket->deleteLater();
        });
        // A client that never finishes its message is dropped rather than kept forever.
        QTimer::singleShot(5000, socket, [socket, state] {
            if (state->mode != Mode::Answered)
                socket->abort();
        });
    }
}
