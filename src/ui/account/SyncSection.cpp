#include "ui/account/SyncSection.h"

#include "base/Localization.h"
#include "sync/SyncEngine.h"
#include "ui/account/AccountControls.h"
#include "ui/account/ServerAddressRow.h"
#include "ui/account/ServerStatusRow.h"
#include "ui/account/SignedInBlock.h"
#include "ui/account/SignedOutBlock.h"
#include "ui/widgets/Avatar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

using namespace AccountControls;

SyncSection::SyncSection(NoteStore *store, SyncEngine *sync, AppSettings *settings,
                         Dialogs *dialogs, Telemetry *telemetry, AccountOperations *operations,
                         QWidget *parent)
    : AccountPart(parent)
    , m_sync(sync)
{
    setObjectName(QStringLiteral("account.section.sync"));
    m_subtitle
        = addTitle([] { return L("account.sync"); }, [] { return L("account.sync.subtitle"); });

    m_accountRow = new QWidget(this);
    auto *accountRow = new QHBoxLayout(m_accountRow);
    accountRow->setContentsMargins(0, 0, 0, 0);
    accountRow->setSpacing(8);
    m_avatar = new Avatar(28, m_accountRow);
    auto *email = new ElidedLabel(m_accountRow, Qt::ElideRight);
    email->setObjectName(QStringLiteral("account.email"));
    m_email = email;
    accountRow->addWidget(m_avatar);
    accountRow->addWidget(m_email, 1);
    column()->addWidget(m_accountRow);

    m_server = new ServerStatusRow(sync, this);
    column()->addWidget(m_server);
    m_address = new ServerAddressRow(sync, settings, dialogs, operations, this);
    column()->addWidget(m_address);
    m_signedOut = new SignedOutBlock(sync, operations, this);
    column()->addWidget(m_signedOut);
    m_signedIn = new SignedInBlock(store, sync, settings, dialogs, telemetry, operations, this);
    column()->addWidget(m_signedIn);

    connect(m_sync, &SyncEngine::accountChanged, this, &SyncSection::scheduleRefresh);
    connect(m_sync, &SyncEngine::stateChanged, this, &SyncSection::scheduleRefresh);
    finishBuilding();
}

void SyncSection::render()
{
    const auto account = m_sync->account();
    const bool signedIn = account.has_value();
    m_subtitle->setVisible(!signedIn);
    m_accountRow->setVisible(signedIn);
    m_signedOut->setVisible(!signedIn);
    m_signedIn->setVisible(signedIn);
    if (signedIn) {
        m_avatar->setUrl(account->avatarUrl ? QUrl(*account->avatarUrl) : QUrl());
        static_cast<ElidedLabel *>(m_email)->setFullText(account->email);
    }
}
