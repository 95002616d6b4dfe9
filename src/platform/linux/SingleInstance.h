#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QLocalServer;

/// One running app per user (and per data folder): the first instance listens on a local
/// socket; a later start hands its arguments to it and exits.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    /// Largest message accepted from a client; anything longer is dropped.
    static constexpr qint64 maximumMessageSize = 64 * 1024;

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

Q_SIGNALS:
    /// Another start of the app passed these arguments (without the program name).
    void argumentsReceived(const QStringList &arguments);

private:
    void acceptConnection();

    QLocalServer *m_server = nullptr;
};
