#pragma once

#include "platform/Keychain.h"

#include <QHash>

/// A keychain in memory for tests, with injectable failures.
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
