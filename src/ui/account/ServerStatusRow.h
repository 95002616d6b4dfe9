#pragma once

#include "ui/account/AccountPart.h"

class QLabel;
class SyncEngine;

namespace AccountControls {
class StatusDot;
}

/// The server status line of both sync blocks, from the sync engine's last health check:
/// nothing before one has answered; after a failure an orange dot and "unreachable" with the
/// error; after a success a green (server ok) or orange dot and the parts "version", "media
/// on/off", the media usage (only while the server stores media) and "sign-ups closed",
/// joined by " · ".
class ServerStatusRow : public AccountPart
{
    Q_OBJECT
public:
    ServerStatusRow(SyncEngine *sync, QWidget *parent);

    /// The caption as shown (empty while no health check has answered).
    QString text() const;

protected:
    void render() override;

private:
    SyncEngine *m_sync;
    AccountControls::StatusDot *m_dot = nullptr;
    QLabel *m_text = nullptr;
};
