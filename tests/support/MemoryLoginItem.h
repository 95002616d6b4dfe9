#pragma once

#include "platform/LoginItem.h"

#include <QString>

/// In-memory login item for tests: a settable status and injectable failures.
class MemoryLoginItem final : public LoginItem
{
public:
    Status status() const override { return m_status; }
    std::expected<void, LoginItemError> registerItem() override;
    std::expected<void, LoginItemError> unregisterItem() override;

    void setStatus(Status status) { m_status = status; }
    /// The next register/unregister calls fail with `message` (empty: they succeed again).
    void setFailure(const QString &message) { m_failure = message; }
    int registerCalls() const { return m_registerCalls; }
    int unregisterCalls() const { return m_unregisterCalls; }

private:
    Status m_status = Status::NotRegistered;
    QString m_failure;
    int m_registerCalls = 0;
    int m_unregisterCalls = 0;
};
