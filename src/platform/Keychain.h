#pragma once

#include <QCoro/QCoroTask>
#include <QHash>
#include <QString>

#include <optional>

/// The outcome of a keychain operation. (Not `std::expected`: g++ 12 cannot return that from
/// a coroutine.)
struct KeychainResult
{
    /// Empty on success; otherwise why the store could not be used.
    QString error;
    /// The secret read, if any (reads only).
    std::optional<QString> secret;

    bool ok() const { return error.isEmpty(); }
};

/// The secure store of string secrets, addressed by a service and an account name (the
/// session token, the AI providers' keys). The operations are coroutines because the desktop's
/// secret service answers asynchronously; an in-memory store answers at once.
class Keychain
{
public:
    virtual ~Keychain() = default;

    /// `secret` is the stored value or nothing; `error` is set when the store cannot be reached.
    virtual QCoro::Task<KeychainResult> read(QString service, QString account) = 0;
    virtual QCoro::Task<KeychainResult> save(QString secret, QString service, QString account) = 0;
    /// Removing a secret that does not exist is no error.
    virtual QCoro::Task<KeychainResult> remove(QString service, QString account) = 0;

    /// The service of the sync session: the application identifier + ".sync", or + ".sync.dev"
    /// when a development server is set, so development tokens never mix with real ones.
    static QString syncService();
    /// The account name the session token is stored under.
    static QString sessionTokenAccount() { return QStringLiteral("session-token"); }
};

/// A keychain in memory: tests, and the command-line tool's token from the environment.
class MemoryKeychain final : public Keychain
{
public:
    QCoro::Task<KeychainResult> read(QString service, QString account) override;
    QCoro::Task<KeychainResult> save(QString secret, QString service, QString account) override;
    QCoro::Task<KeychainResult> remove(QString service, QString account) override;

    /// Direct access for tests and set-up, without a coroutine.
    void set(const QString &service, const QString &account, const QString &secret);
    std::optional<QString> value(const QString &service, const QString &account) const;
    /// Every following operation fails with `message` (empty: they succeed again).
    void setFailure(const QString &message) { m_failure = message; }

private:
    static QString key(const QString &service, const QString &account);
    QHash<QString, QString> m_items;
    QString m_failure;
};
