#pragma once

#include "ui/account/AccountPart.h"

#include <QPointer>

class AppSettings;
class QAbstractButton;
class QLabel;
class Telemetry;

/// The telemetry row of the signed-in sync block: when the account's telemetry is required, a
/// label with its explanation; otherwise a switch that sends the user's choice (the answer
/// decides what the switch shows). Below, a link to the server's privacy page when the
/// configured server address makes one. Without a telemetry object the row stays hidden.
class TelemetryRow : public AccountPart
{
    Q_OBJECT
public:
    TelemetryRow(Telemetry *telemetry, AppSettings *settings, QWidget *parent);

protected:
    void render() override;
    void translate() override;
    void restyle() override;

private:
    QPointer<Telemetry> m_telemetry;
    AppSettings *m_settings;
    QWidget *m_required = nullptr;
    QLabel *m_requiredIcon = nullptr;
    QWidget *m_optional = nullptr;
    QAbstractButton *m_switch = nullptr;
    QLabel *m_hint = nullptr;
    QLabel *m_privacyLink = nullptr;
};
