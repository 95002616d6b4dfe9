#include "MemoryKeychain.h"

QString MemoryKeychain::key(const QString &service, const QString &account)
{
    // A NUL cannot occur in either name as the callers build them, so the pair stays unique.
    return service + QChar(u'\0') + account;
}

QCoro::Task<KeychainResult> MemoryKeychain::read(QString service, QString account)
{
    if (!m_failure.isEmpty())
        co_return KeychainResult { m_failure, std::nullopt };
    // An empty entry reads as none, as in the desktop keychain.
    auto secret = value(service, account);
    if (secret && secret->isEmpty())
        secret.reset();
    co_return KeychainResult { QString(), secret };
}

QCoro::Task<KeychainResult> MemoryKeychain::save(QString secret, QString service, QString account)
{
    if (!m_failure.isEmpty())
        co_return KeychainResult { m_failure, std::nullopt };
    set(service, account, secret);
    co_return KeychainResult {};
}

QCoro::Task<KeychainResult> MemoryKeychain::remove(QString service, QString account)
{
    if (!m_failure.isEmpty())
        co_return KeychainResult { m_failure, std::nullopt };
    m_items.remove(key(service, account));
    co_return KeychainResult {};
}

void MemoryKeychain::set(const QString &service, const QString &account, const QString &secret)
{
    m_items.insert(key(service, account), secret);
}

std::optional<QString> MemoryKeychain::value(const QString &service, const QString &account) const
{
    const auto it = m_items.constFind(key(service, account));
    if (it == m_items.cend())
        return std::nullopt;
    return *it;
}
