#include "ui/account/VersionLine.h"

#include "base/AppInfo.h"
#include "settings/AppSettings.h"
#include "ui/account/AccountControls.h"
#include "ui/style/ScreenStyle.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace AccountControls;

VersionLine::VersionLine(AppSettings *settings, QWidget *parent)
    : AccountPart(parent)
    , m_settings(settings)
{
    m_line = label(this, {}, true);
    m_line->setObjectName(QStringLiteral("account.footer"));
    m_line->setTextFormat(Qt::RichText);
    m_line->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_line->setAlignment(Qt::AlignHCenter);
    column()->addWidget(m_line);
    connect(m_line, &QLabel::linkActivated, this, &openWebAddress);
    connect(m_settings, &AppSettings::serverURLChanged, this, &VersionLine::scheduleRefresh);
    finishBuilding();
}

void VersionLine::render()
{
    QString line = QStringLiteral("%1 %2 (%3)")
                       .arg(AppInfo::name(), AppInfo::version(), AppInfo::build())
                       .toHtmlEscaped();
    if (const auto server = webAddress(m_settings->serverURL())) {
        QString shown = m_settings->serverURL().trimmed();
        if (shown.startsWith(QStringLiteral("https://")))
            shown.remove(0, 8);
        line += QStringLiteral(" · ") + link(*server, shown);
    }
    m_line->setText(line);
}
