#include "MemoryLoginItem.h"

std::expected<void, LoginItemError> MemoryLoginItem::registerItem()
{
    ++m_registerCalls;
    if (!m_failure.isEmpty())
        return std::unexpected(LoginItemError { LoginItemError::Code::WriteFailed, m_failure });
    m_status = Status::Enabled;
    return {};
}

std::expected<void, LoginItemError> MemoryLoginItem::unregisterItem()
{
    ++m_unregisterCalls;
    if (!m_failure.isEmpty())
        return std::unexpected(LoginItemError { LoginItemError::Code::WriteFailed, m_failure });
    m_status = Status::NotRegistered;
    return {};
}
