#pragma once

#include "ui/account/AccountPart.h"

class AccountOperations;
class Dialogs;
class NoteStore;
class QLabel;
class QPushButton;
class SyncEngine;

/// The danger zone: delete all notes, always; delete the account, only while signed in (off
/// while busy), otherwise a caption that says why it is missing. Both ask first.
class DangerSection : public AccountPart
{
    Q_OBJECT
public:
    DangerSection(NoteStore *store, SyncEngine *sync, Dialogs *dialogs,
                  AccountOperations *operations, QWidget *parent);

    /// Asks to confirm, then deletes every note. Does nothing while already asking.
    void confirmDeleteNotes();
    /// Asks to confirm, then deletes the account. Does nothing while signed out, busy or
    /// already asking.
    void confirmDeleteAccount();

protected:
    void render() override;
    void restyle() override;

private:
    NoteStore *m_store;
    SyncEngine *m_sync;
    Dialogs *m_dialogs;
    AccountOperations *m_operations;
    bool m_confirmingDeleteNotes = false;
    bool m_confirmingDeleteAccount = false;

    QLabel *m_icon = nullptr;
    QPushButton *m_deleteNotes = nullptr;
    QPushButton *m_deleteAccount = nullptr;
    QLabel *m_signedOut = nullptr;
};
