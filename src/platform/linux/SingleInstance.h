#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <expected>
#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

/// One command of the `scrivel` tool, sent to the running app.
struct CommandRequest
{
    QStringList arguments; ///< the tool's arguments without the program name
    QString workingDirectory; ///< the tool's current folder (relative paths are from there)
    QString standardInput; ///< what the tool read from standard input for the command
};

/// What the app answers: the text the tool prints and the code it exits with.
struct CommandReply
{
    int exitCode = 1;
    QString out;
    QString err;
};

/// Why a command did not reach the running app, or got no answer.
struct CommandFailure
{
    /// True when nothing was delivered (nobody listens, or it does not take commands): the
    /// tool may report the folder as in use. False when the exchange broke after sending.
    bool notDelivered = true;
    QString message;
};

/// One running app per user (and per data folder): the first instance listens on a local
/// socket; a later start hands its arguments to it and exits. The same socket runs the
/// `scrivel` tool's commands while the app holds the notes: the tool sends one framed
/// request and reads one framed reply. Only the same user may connect.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    /// Largest message accepted from a client; anything longer is dropped.
    static constexpr qint64 maximumMessageSize = 64 * 1024;
    /// Largest command request (its standard input included) and largest reply.
    static constexpr qint64 maximumRequestSize = 32LL * 1024 * 1024;
    static constexpr qint64 maximumReplySize = 256LL * 1024 * 1024;
    /// The frame of a command request and of its reply: this tag, then the length of the
    /// JSON that follows as eight bytes, most significant first.
    static constexpr char requestTag[] = "SCRVREQ1";
    static constexpr char replyTag[] = "SCRVREP1";
    static constexpr qsizetype frameHeaderSize = 16;

    using CommandHandler = std::function<CommandReply(const CommandRequest &)>;

    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    /// The socket of the instance that uses `supportFolder`: a file beside the store's lock,
    /// so that whatever finds the same lock finds the same socket (the environment of a
    /// desktop shortcut may differ from the session's). Very long paths, which a local socket
    /// cannot take, use a name derived from the folder in the runtime or temporary folder.
    static QString serverNameFor(const QString &supportFolder);

    /// Hands `arguments` to the instance listening on `name`. True when one received them.
    static bool sendToRunning(const QString &name, const QStringList &arguments,
                              int timeoutMs = 1000);

    /// Starts listening on `name`, replacing a socket file left by a process that died (the
    /// caller holds the store lock, so no live instance owns it). False on failure.
    bool listen(const QString &name);
    bool isListening() const;

    /// Encodes and decodes one message; decode gives nothing for malformed input.
    static QByteArray encode(const QStringList &arguments);
    static std::optional<QStringList> decode(const QByteArray &message);

    /// Runs `request` in the instance listening on `name` and waits for its reply (blocking;
    /// for the command-line tool, which has no event loop running).
    static std::expected<CommandReply, CommandFailure>
    runInRunning(const QString &name, const CommandRequest &request, int connectTimeoutMs = 1000,
                 int replyTimeoutMs = 60000);
    /// Frames of requests and replies (exposed for tests); decoding gives nothing for a
    /// payload that is not a well-formed request.
    static QByteArray encodeRequest(const CommandRequest &request);
    static std::optional<CommandRequest> decodeRequest(const QByteArray &payload);
    static QByteArray encodeReply(const CommandReply &reply);
    static std::optional<CommandReply> decodeReply(const QByteArray &payload);

    /// Answers command requests with `handler`; without one they are answered with an error.
    void setCommandHandler(CommandHandler handler) { m_commandHandler = std::move(handler); }

Q_SIGNALS:
    /// Another start of the app passed these arguments (without the program name).
    void argumentsReceived(const QStringList &arguments);

private:
    void acceptConnection();
    void answerCommand(QLocalSocket *socket, const QByteArray &payload);

    QLocalServer *m_server = nullptr;
    CommandHandler m_commandHandler;
};
