#include "ui/account/AccountOperations.h"

#include "sync/SyncEngine.h"

#include <memory>

AccountOperations::AccountOperations(SyncEngine *sync, QObject *parent)
    : QObject(parent)
    , m_sync(sync)
{
}

bool AccountOperations::isBusy() const
{
    return m_busy || (m_sync && m_sync->isAccountOperationRunning());
}

void AccountOperations::run(Ends ends, const std::function<void()> &operation)
{
    if (isBusy() || !m_sync)
        return; // a second click while an operation runs does nothing
    const quint64 ticket = ++m_ticket;
    setBusy(true);
    auto connection = std::make_shared<QMetaObject::Connection>();
    auto finish = [this, ticket, connection] {
        QObject::disconnect(*connection);
        if (ticket == m_ticket && m_busy)
            setBusy(false);
    };
    // Connected before the call: an operation with nothing to do may end inside it.
    if (ends == Ends::Sync)
        *connection = connect(m_sync, &SyncEngine::syncFinished, this, finish);
    else
        *connection = connect(m_sync, &SyncEngine::accountOperationFinished, this, finish);
    operation();
    // A sync that does not start (signed out, no server) announces no end; one already
    // running ends with its own signal.
    if (ends == Ends::Sync && m_sync && !m_sync->isSyncing())
        finish();
}

void AccountOperations::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    Q_EMIT busyChanged(m_busy);
}
