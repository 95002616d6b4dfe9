#include "ui/account/ServerStatusRow.h"

#include "base/Localization.h"
#include "sync/SyncEngine.h"
#include "ui/account/AccountControls.h"
#include "ui/style/ScreenStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

using namespace AccountControls;

ServerStatusRow::ServerStatusRow(SyncEngine *sync, QWidget *parent)
    : AccountPart(parent)
    , m_sync(sync)
{
    setObjectName(QStringLiteral("account.server"));
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto *dotHolder = new QWidget(this);
    auto *dotLayout = new QVBoxLayout(dotHolder);
    // Centre the dot on the caption's first line.
    const int lineHeight = QFontMetrics(ScreenStyle::captionFont(font())).height();
    dotLayout->setContentsMargins(0, std::max(0, (lineHeight - 7) / 2), 0, 0);
    m_dot = new StatusDot(dotHolder);
    m_dot->setObjectName(QStringLiteral("account.server.dot"));
    dotLayout->addWidget(m_dot);
    dotLayout->addStretch(1);
    m_text = label(this, {}, true);
    m_text->setObjectName(QStringLiteral("account.server.text"));
    row->addWidget(dotHolder);
    row->addWidget(m_text, 1);
    column()->addLayout(row);

    connect(m_sync, &SyncEngine::healthChanged, this, &ServerStatusRow::scheduleRefresh);
    connect(m_sync, &SyncEngine::mediaUsageChanged, this, &ServerStatusRow::scheduleRefresh);
    finishBuilding();
}

QString ServerStatusRow::text() const
{
    return isHidden() ? QString() : m_text->text();
}

void ServerStatusRow::render()
{
    const auto health = m_sync->health();
    setVisible(health.has_value());
    if (!health) {
        m_text->clear();
        return;
    }
    const QPalette pal = palette();
    if (!health->has_value()) {
        m_dot->setColor(ScreenStyle::orange(pal));
        m_text->setText(L("account.server.unreachable", health->error().description()));
        return;
    }
    const ServerHealth &server = **health;
    m_dot->setColor(server.ok ? green(pal) : ScreenStyle::orange(pal));
    QStringList parts { L("account.server.ok", server.version) };
    parts << (server.capabilities.media ? L("account.server.media.on")
                                        : L("account.server.media.off"));
    // Usage belongs to a server that stores media; a value left from before says nothing.
    if (server.capabilities.media) {
        if (const auto usage = m_sync->mediaUsage())
            parts << L("account.server.usage", usage->percent(),
                       Localization::locale().formattedDataSize(
                           std::max<qint64>(0, usage->quotaBytes), 1, QLocale::DataSizeIecFormat));
    }
    if (!server.capabilities.signup)
        parts << L("account.server.signup.off");
    m_text->setText(parts.join(QStringLiteral(" · ")));
}
