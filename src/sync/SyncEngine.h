#pragma once

#include "sync/SyncState.h"
#include "sync/WireRecords.h"

#include <QObject>

#include <optional>

class AppSettings;
class NoteStore;

/// Keeps the local notes and the account's notes on the server in step, and publishes the
/// state the footer and the account screen show. Main thread only; never fails to callers.
class SyncEngine : public QObject
{
    Q_OBJECT
    Q_PROPERTY(SyncState state READ state NOTIFY stateChanged)
    Q_PROPERTY(int mediaPending READ mediaPending NOTIFY mediaPendingChanged)

public:
    SyncEngine(NoteStore *store, AppSettings *settings, QObject *parent = nullptr);
    ~SyncEngine() override;

    SyncState state() const { return m_state; }
    std::optional<APIUser> account() const { return m_account; }
    int mediaPending() const { return m_mediaPending; }

    /// Starts a sync now (no-op while signed out or already syncing). Returns at once.
    void sync();
    /// Starts a sync when signed in, automatic sync is on and the account includes sync.
    void syncIfPossible();

Q_SIGNALS:
    void stateChanged(const SyncState &state);
    void accountChanged();
    void mediaPendingChanged(int count);

private:
    NoteStore *m_store;
    AppSettings *m_settings;
    SyncState m_state = SyncState::signedOut();
    std::optional<APIUser> m_account;
    int m_mediaPending = 0;
};
