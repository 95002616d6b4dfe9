#include "ui/account/SignedInBlock.h"

#include "base/Localization.h"
#include "settings/AppSettings.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "ui/account/AccountControls.h"
#include "ui/account/AccountOperations.h"
#include "ui/account/TelemetryRow.h"
#include "ui/shell/Dialogs.h"
#include "ui/style/ScreenStyle.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using namespace AccountControls;

SignedInBlock::SignedInBlock(NoteStore *store, SyncEngine *sync, AppSettings *settings,
                             Dialogs *dialogs, Telemetry *telemetry, AccountOperations *operations,
                             QWidget *parent)
    : AccountPart(parent, 6)
    , m_store(store)
    , m_sync(sync)
    , m_settings(settings)
    , m_dialogs(dialogs)
    , m_operations(operations)
{
    setObjectName(QStringLiteral("account.signedIn"));
    m_notIncluded = label(
        this, [] { return L("account.sync.notIncluded"); }, true);
    m_notIncluded->setObjectName(QStringLiteral("account.sync.notIncluded"));
    column()->addWidget(m_notIncluded);
    m_syncLine = label(this, {});
    m_syncLine->setObjectName(QStringLiteral("account.syncLine"));
    column()->addWidget(m_syncLine);
    m_mediaPending = label(this, {}, true);
    m_mediaPending->setObjectName(QStringLiteral("account.media.pending"));
    column()->addWidget(m_mediaPending);
    column()->addWidget(switchRow(
        this, [] { return L("account.autoSync"); }, QStringLiteral("account.autoSync"),
        &m_autoSync));
    m_syncNow = button(
        this, [] { return L("account.syncNow"); }, QStringLiteral("arrow.triangle.2.circlepath"));
    m_syncNow->setObjectName(QStringLiteral("account.syncNow"));
    m_dashboard = button(
        this, [] { return L("account.dashboard"); }, QStringLiteral("arrow.up.right"));
    m_dashboard->setObjectName(QStringLiteral("account.dashboard"));
    column()->addSpacing(2);
    column()->addWidget(flow(this, { m_syncNow, m_dashboard }));
    column()->addWidget(label(
        this, [] { return L("account.dashboard.hint"); }, true));
    m_signOut = button(this, [] { return L("account.signOut"); });
    m_signOut->setObjectName(QStringLiteral("account.signOut"));
    column()->addWidget(flow(this, { m_signOut }));
    column()->addSpacing(6);
    m_telemetryRow = new TelemetryRow(telemetry, settings, this);
    column()->addWidget(m_telemetryRow);
    m_feedback = button(
        this, [] { return L("feedback.button"); },
        QStringLiteral("bubble.left.and.exclamationmark.bubble.right"));
    m_feedback->setObjectName(QStringLiteral("feedback.button"));
    column()->addWidget(flow(this, { m_feedback }));

    connect(m_autoSync, &QAbstractButton::toggled, m_settings, &AppSettings::setAutoSync);
    connect(m_syncNow, &QPushButton::clicked, this, &SignedInBlock::syncNow);
    connect(m_dashboard, &QPushButton::clicked, this, &SignedInBlock::openDashboard);
    connect(m_signOut, &QPushButton::clicked, this, &SignedInBlock::confirmSignOut);
    connect(m_feedback, &QPushButton::clicked, this, &SignedInBlock::feedbackRequested);
    connect(m_operations, &AccountOperations::busyChanged, this, &SignedInBlock::refresh);
    connect(m_sync, &SyncEngine::stateChanged, this, &SignedInBlock::scheduleRefresh);
    connect(m_sync, &SyncEngine::mediaPendingChanged, this, &SignedInBlock::scheduleRefresh);
    connect(m_sync, &SyncEngine::syncFinished, this, &SignedInBlock::scheduleRefresh);
    connect(m_sync, &SyncEngine::accountOperationFinished, this, &SignedInBlock::scheduleRefresh);
    connect(m_store, &NoteStore::changed, this, &SignedInBlock::scheduleRefresh);
    connect(m_settings, &AppSettings::autoSyncChanged, this, &SignedInBlock::scheduleRefresh);
    finishBuilding();
}

void SignedInBlock::render()
{
    const QPalette pal = palette();
    const bool localOnly = m_sync->state().kind == SyncState::Kind::LocalOnly;
    m_notIncluded->setVisible(localOnly);
    const int dirty = m_store->dirtyCount();
    if (localOnly) {
        m_syncLine->setText(L("account.sync.localOnlyLine"));
        setTextColor(m_syncLine, ScreenStyle::secondary(pal));
    } else if (dirty > 0) {
        m_syncLine->setText(L("account.pending", dirty));
        setTextColor(m_syncLine, ScreenStyle::orange(pal));
    } else {
        m_syncLine->setText(L("account.allUploaded"));
        setTextColor(m_syncLine, ScreenStyle::secondary(pal));
    }
    const int mediaPending = m_sync->mediaPending();
    m_mediaPending->setVisible(mediaPending >= 1);
    if (mediaPending >= 1)
        m_mediaPending->setText(L("account.media.pending", mediaPending));
    {
        const QSignalBlocker blocker(m_autoSync);
        m_autoSync->setChecked(m_settings->autoSync());
    }
    const bool busy = m_operations->isBusy();
    for (QPushButton *operation : { m_syncNow, m_dashboard, m_signOut })
        operation->setEnabled(!busy);
}

void SignedInBlock::syncNow()
{
    m_operations->run(AccountOperations::Ends::Sync, [this] { m_sync->sync(); });
}

void SignedInBlock::openDashboard()
{
    m_operations->run(AccountOperations::Ends::AccountOperation,
                      [this] { m_sync->openDashboard(); });
}

void SignedInBlock::confirmSignOut()
{
    if (m_operations->isBusy() || m_confirmingSignOut)
        return;
    m_confirmingSignOut = true;
    Dialogs::Confirmation confirmation;
    confirmation.title = L("account.signOut.title");
    confirmation.acceptText = L("account.signOut");
    QPointer<SignedInBlock> self(this);
    const bool accepted = m_dialogs->confirm(window(), confirmation);
    if (!self)
        return;
    m_confirmingSignOut = false;
    if (accepted)
        m_operations->run(AccountOperations::Ends::AccountOperation, [this] { m_sync->signOut(); });
}
