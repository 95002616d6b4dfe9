#pragma once

#include "ui/account/AccountPart.h"

class AccountOperations;
class AppSettings;
class Dialogs;
class NoteStore;
class QAbstractButton;
class QLabel;
class QPushButton;
class SyncEngine;
class Telemetry;
class TelemetryRow;

/// The sync block with an account: the "no sync in this plan" caption, the status line
/// (local only, pending notes in orange, or all uploaded) with the failed media transfers,
/// the auto-sync switch, the sync-now, dashboard and sign-out buttons (off while busy), the
/// telemetry row and the feedback button.
class SignedInBlock : public AccountPart
{
    Q_OBJECT
public:
    SignedInBlock(NoteStore *store, SyncEngine *sync, AppSettings *settings, Dialogs *dialogs,
                  Telemetry *telemetry, AccountOperations *operations, QWidget *parent);

    void syncNow();
    void openDashboard();
    /// Asks to confirm, then signs out. Does nothing while busy or already asking.
    void confirmSignOut();

Q_SIGNALS:
    /// The feedback button was pressed.
    void feedbackRequested();

protected:
    void render() override;

private:
    NoteStore *m_store;
    SyncEngine *m_sync;
    AppSettings *m_settings;
    Dialogs *m_dialogs;
    AccountOperations *m_operations;
    bool m_confirmingSignOut = false;

    QLabel *m_notIncluded = nullptr;
    QLabel *m_syncLine = nullptr;
    QLabel *m_mediaPending = nullptr;
    QAbstractButton *m_autoSync = nullptr;
    QPushButton *m_syncNow = nullptr;
    QPushButton *m_dashboard = nullptr;
    QPushButton *m_signOut = nullptr;
    TelemetryRow *m_telemetryRow = nullptr;
    QPushButton *m_feedback = nullptr;
};
