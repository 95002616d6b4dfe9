#pragma once

#include "ui/account/AccountPart.h"

class AccountOperations;
class AppSettings;
class Avatar;
class Dialogs;
class NoteStore;
class QLabel;
class ServerAddressRow;
class ServerStatusRow;
class SignedInBlock;
class SignedOutBlock;
class SyncEngine;
class Telemetry;

/// The sync section: its title (with the subtitle while signed out), the account's picture
/// and e-mail while signed in, the server status line and the server address field, then the
/// signed-out or the signed-in block.
class SyncSection : public AccountPart
{
    Q_OBJECT
public:
    SyncSection(NoteStore *store, SyncEngine *sync, AppSettings *settings, Dialogs *dialogs,
                Telemetry *telemetry, AccountOperations *operations, QWidget *parent);

    SignedOutBlock *signedOut() const { return m_signedOut; }
    SignedInBlock *signedIn() const { return m_signedIn; }
    ServerStatusRow *serverStatus() const { return m_server; }
    ServerAddressRow *serverAddress() const { return m_address; }

protected:
    void render() override;

private:
    SyncEngine *m_sync;
    QLabel *m_subtitle = nullptr;
    QWidget *m_accountRow = nullptr;
    Avatar *m_avatar = nullptr;
    QLabel *m_email = nullptr;
    ServerStatusRow *m_server = nullptr;
    ServerAddressRow *m_address = nullptr;
    SignedOutBlock *m_signedOut = nullptr;
    SignedInBlock *m_signedIn = nullptr;
};
