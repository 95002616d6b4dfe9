#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class SyncEngine;

/// The account screen's `busy` flag and its `run`: the sync engine's operations started from
/// the screen (sign-in, sync now, dashboard, sign-out, account deletion) one at a time. Busy
/// lasts until the engine signals the operation's end; an account operation the engine still
/// runs from an earlier visit of the screen counts as busy too.
class AccountOperations : public QObject
{
    Q_OBJECT
public:
    /// Which of the engine's signals ends an operation.
    enum class Ends { AccountOperation, Sync };

    explicit AccountOperations(SyncEngine *sync, QObject *parent = nullptr);

    /// This screen's own operation, or the engine's account operation, still runs.
    bool isBusy() const;
    /// Starts `operation` with busy set; busy clears when the engine signals the end (`ends`),
    /// or at once when the operation turned out to start nothing. While busy, does nothing.
    void run(Ends ends, const std::function<void()> &operation);

Q_SIGNALS:
    /// This screen's own flag changed (the parts that show it render at once).
    void busyChanged(bool busy);

private:
    void setBusy(bool busy);

    QPointer<SyncEngine> m_sync;
    bool m_busy = false;
    quint64 m_ticket = 0;
};
