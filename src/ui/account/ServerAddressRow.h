#pragma once

#include "ui/account/AccountPart.h"

class AccountOperations;
class AppSettings;
class Dialogs;
class QLabel;
class QLineEdit;
class QPushButton;
class SyncEngine;

/// The server address field of the sync section, for people who run their own server. It
/// shows the address in use (the production server unless the user chose another; empty
/// means that one). A new address is kept only after its "/health" answered; while signed
/// in, the user is first asked, because switching signs out of the old server. With the
/// development override set, the field shows that server and cannot be changed.
class ServerAddressRow : public AccountPart
{
    Q_OBJECT
public:
    ServerAddressRow(SyncEngine *sync, AppSettings *settings, Dialogs *dialogs,
                     AccountOperations *operations, QWidget *parent);

    /// Checks the address in the field and, when a server answers there, switches to it.
    void apply();
    /// The line under the field as shown (empty when there is none).
    QString status() const;
    bool isChecking() const { return m_checking; }

Q_SIGNALS:
    /// A check of a typed address ended (kept, refused or failed).
    void checkFinished();

protected:
    void render() override;

private:
    enum class Note { None, Invalid, Failed };
    void setNote(Note note, const QString &detail = {});

    SyncEngine *m_sync;
    AppSettings *m_settings;
    Dialogs *m_dialogs;
    AccountOperations *m_operations;
    bool m_checking = false;
    Note m_note = Note::None;
    QString m_detail;

    QLineEdit *m_field = nullptr;
    QPushButton *m_apply = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_hint = nullptr;
};
