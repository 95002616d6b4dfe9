#pragma once

#include "platform/Keychain.h"

#include <chrono>
#include <memory>

/// The desktop's keychain through QtKeychain (the freedesktop Secret Service, or KWallet).
/// Secrets never fall back to a plain file: without a reachable keychain every operation
/// ends with an error that says so.
class SecretServiceKeychain final : public Keychain
{
public:
    /// `timeout`: how long to wait for the keychain's answer before reporting it unreachable.
    explicit SecretServiceKeychain(std::chrono::milliseconds timeout = std::chrono::seconds(20));

    QCoro::Task<KeychainResult> read(QString service, QString account) override;
    QCoro::Task<KeychainResult> save(QString secret, QString service, QString account) override;
    QCoro::Task<KeychainResult> remove(QString service, QString account) override;

private:
    std::chrono::milliseconds m_timeout;
};
