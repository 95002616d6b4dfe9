#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <memory>
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

    /// The desktop's keychain (the Secret Service).
    static std::unique_ptr<Keychain> create();
};
