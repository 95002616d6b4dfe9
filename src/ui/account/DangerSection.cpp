#include "ui/account/DangerSection.h"

#include "base/Localization.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "ui/account/AccountControls.h"
#include "ui/account/AccountOperations.h"
#include "ui/shell/Dialogs.h"
#include "ui/style/ScreenStyle.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using namespace AccountControls;

DangerSection::DangerSection(NoteStore *store, SyncEngine *sync, Dialogs *dialogs,
                             AccountOperations *operations, QWidget *parent)
    : AccountPart(parent)
    , m_store(store)
    , m_sync(sync)
    , m_dialogs(dialogs)
    , m_operations(operations)
{
    setObjectName(QStringLiteral("account.section.danger"));
    addTitle([] { return L("account.danger"); }, {}, &m_icon);
    m_deleteNotes = button(this, [] { return L("account.deleteNotes"); });
    m_deleteNotes->setObjectName(QStringLiteral("account.deleteNotes"));
    m_deleteAccount = button(this, [] { return L("account.deleteAccount"); });
    m_deleteAccount->setObjectName(QStringLiteral("account.deleteAccount"));
    column()->addWidget(flow(this, { m_deleteNotes, m_deleteAccount }));
    m_signedOut = label(
        this, [] { return L("account.deleteAccount.signedOut"); }, true);
    m_signedOut->setObjectName(QStringLiteral("account.deleteAccount.signedOut"));
    column()->addWidget(m_signedOut);

    connect(m_deleteNotes, &QPushButton::clicked, this, &DangerSection::confirmDeleteNotes);
    connect(m_deleteAccount, &QPushButton::clicked, this, &DangerSection::confirmDeleteAccount);
    connect(m_operations, &AccountOperations::busyChanged, this, &DangerSection::refresh);
    connect(m_sync, &SyncEngine::accountChanged, this, &DangerSection::scheduleRefresh);
    connect(m_sync, &SyncEngine::stateChanged, this, &DangerSection::scheduleRefresh);
    connect(m_sync, &SyncEngine::accountOperationFinished, this, &DangerSection::scheduleRefresh);
    finishBuilding();
}

void DangerSection::restyle()
{
    // Destructive actions read in red.
    const QPalette pal = palette();
    const QColor red = ScreenStyle::isDark(pal) ? QColor(255, 105, 97) : QColor(220, 53, 69);
    QPalette destructive = pal;
    destructive.setColor(QPalette::Active, QPalette::ButtonText, red);
    destructive.setColor(QPalette::Inactive, QPalette::ButtonText, red);
    m_deleteNotes->setPalette(destructive);
    m_deleteAccount->setPalette(destructive);
    setSymbolPicture(m_icon, QStringLiteral("exclamationmark.triangle.fill"), Icons::Tint::Text);
}

void DangerSection::render()
{
    const bool signedIn = m_sync->account().has_value();
    m_deleteAccount->setVisible(signedIn);
    m_deleteAccount->setEnabled(!m_operations->isBusy());
    m_signedOut->setVisible(!signedIn);
}

void DangerSection::confirmDeleteNotes()
{
    if (m_confirmingDeleteNotes)
        return;
    m_confirmingDeleteNotes = true;
    Dialogs::Confirmation confirmation;
    confirmation.title = L("account.deleteNotes.title");
    confirmation.message = L("account.deleteNotes.message");
    confirmation.acceptText = L("account.deleteNotes.action");
    confirmation.destructive = true;
    QPointer<DangerSection> self(this);
    const bool accepted = m_dialogs->confirm(window(), confirmation);
    if (!self)
        return;
    m_confirmingDeleteNotes = false;
    if (accepted)
        m_store->deleteAllNotes();
    refresh();
}

void DangerSection::confirmDeleteAccount()
{
    if (m_operations->isBusy() || m_confirmingDeleteAccount || !m_sync->account())
        return;
    m_confirmingDeleteAccount = true;
    Dialogs::Confirmation confirmation;
    confirmation.title = L("account.deleteAccount.title");
    confirmation.message = L("account.deleteAccount.message");
    confirmation.acceptText = L("account.deleteAccount.action");
    confirmation.destructive = true;
    QPointer<DangerSection> self(this);
    const bool accepted = m_dialogs->confirm(window(), confirmation);
    if (!self)
        return;
    m_confirmingDeleteAccount = false;
    if (accepted)
        m_operations->run(AccountOperations::Ends::AccountOperation,
                          [this] { m_sync->deleteAccount(); });
}
