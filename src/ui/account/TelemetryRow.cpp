#include "ui/account/TelemetryRow.h"

#include "base/Localization.h"
#include "settings/AppSettings.h"
#include "telemetry/Telemetry.h"
#include "ui/account/AccountControls.h"
#include "ui/style/ScreenStyle.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace AccountControls;

TelemetryRow::TelemetryRow(Telemetry *telemetry, AppSettings *settings, QWidget *parent)
    : AccountPart(parent, 6)
    , m_telemetry(telemetry)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("account.telemetry"));
    m_required = new QWidget(this);
    m_required->setObjectName(QStringLiteral("telemetry.required"));
    auto *required = new QVBoxLayout(m_required);
    required->setContentsMargins(0, 0, 0, 0);
    required->setSpacing(4);
    auto *requiredTitle = new QHBoxLayout;
    requiredTitle->setSpacing(6);
    m_requiredIcon = pictureLabel(m_required, 16);
    requiredTitle->addWidget(m_requiredIcon);
    requiredTitle->addWidget(label(m_required, [] { return L("telemetry.required.title"); }), 1);
    required->addLayout(requiredTitle);
    required->addWidget(label(
        m_required, [] { return L("telemetry.required"); }, true));
    column()->addWidget(m_required);
    m_optional = switchRow(
        this, [] { return L("telemetry.optional"); }, QStringLiteral("telemetry.optional"),
        &m_switch);
    column()->addWidget(m_optional);
    m_hint = label(
        this, [] { return L("telemetry.optional.hint"); }, true);
    column()->addWidget(m_hint);
    m_privacyLink = new QLabel(this);
    m_privacyLink->setObjectName(QStringLiteral("telemetry.privacy"));
    m_privacyLink->setTextFormat(Qt::RichText);
    m_privacyLink->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_privacyLink->setFont(ScreenStyle::captionFont(font()));
    column()->addWidget(m_privacyLink);

    connect(m_switch, &QAbstractButton::toggled, this, [this](bool on) {
        if (!m_telemetry)
            return;
        // The answer decides what the switch shows: a refused or failed choice flips it back.
        QPointer<TelemetryRow> self(this);
        m_telemetry->setChoice(on).then([self] {
            if (self)
                self->scheduleRefresh();
        });
    });
    connect(m_privacyLink, &QLabel::linkActivated, this, &openWebAddress);
    if (m_telemetry)
        connect(m_telemetry, &Telemetry::stateChanged, this, &TelemetryRow::scheduleRefresh);
    connect(m_settings, &AppSettings::serverURLChanged, this, &TelemetryRow::scheduleRefresh);
    finishBuilding();
}

void TelemetryRow::translate()
{
    ScreenStyle::describe(m_privacyLink, L("telemetry.privacy"));
}

void TelemetryRow::restyle()
{
    setSymbolPicture(m_requiredIcon, QStringLiteral("chart.bar.xaxis"), Icons::Tint::Text);
}

void TelemetryRow::render()
{
    setVisible(m_telemetry != nullptr);
    if (!m_telemetry)
        return;
    const TelemetryState state = m_telemetry->state();
    m_required->setVisible(state.required);
    m_optional->setVisible(!state.required);
    m_hint->setVisible(!state.required);
    {
        const QSignalBlocker blocker(m_switch);
        m_switch->setChecked(state.enabled);
    }
    const auto privacy = webAddress(m_settings->serverURL().trimmed() + QStringLiteral("/privacy"));
    m_privacyLink->setVisible(privacy.has_value());
    if (privacy)
        m_privacyLink->setText(link(*privacy, L("telemetry.privacy")));
}
