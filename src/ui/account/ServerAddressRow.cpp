#include "ui/account/ServerAddressRow.h"

#include "base/Localization.h"
#include "settings/AppSettings.h"
#include "sync/SyncEngine.h"
#include "ui/account/AccountControls.h"
#include "ui/account/AccountOperations.h"
#include "ui/shell/Dialogs.h"
#include "ui/style/ScreenStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <QCoro/QCoroTask>

using namespace AccountControls;

ServerAddressRow::ServerAddressRow(SyncEngine *sync, AppSettings *settings, Dialogs *dialogs,
                                   AccountOperations *operations, QWidget *parent)
    : AccountPart(parent, 4)
    , m_sync(sync)
    , m_settings(settings)
    , m_dialogs(dialogs)
    , m_operations(operations)
{
    setObjectName(QStringLiteral("account.server.address"));
    auto *row = new QHBoxLayout;
    row->setSpacing(6);
    QLabel *caption = label(this, [] { return L("account.server.address"); });
    row->addWidget(caption);
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("account.server.field"));
    m_field->setPlaceholderText(QString::fromLatin1(AppSettings::productionServerURL));
    m_field->setClearButtonEnabled(true);
    caption->setBuddy(m_field);
    row->addWidget(m_field, 1);
    m_apply = button(this, [] { return L("account.server.apply"); });
    m_apply->setObjectName(QStringLiteral("account.server.apply"));
    row->addWidget(m_apply);
    column()->addLayout(row);
    m_status = label(this, {}, true);
    m_status->setObjectName(QStringLiteral("account.server.note"));
    column()->addWidget(m_status);
    m_hint = label(this, [] { return L("account.server.address.hint"); }, true);
    column()->addWidget(m_hint);

    connect(m_field, &QLineEdit::returnPressed, this, &ServerAddressRow::apply);
    connect(m_apply, &QPushButton::clicked, this, &ServerAddressRow::apply);
    connect(m_field, &QLineEdit::textEdited, this, [this] { setNote(Note::None); });
    connect(m_settings, &AppSettings::serverURLChanged, this, [this] {
        m_field->setText(m_settings->serverURL());
        refresh();
    });
    connect(m_operations, &AccountOperations::busyChanged, this, &ServerAddressRow::refresh);
    connect(m_sync, &SyncEngine::accountOperationFinished, this,
            &ServerAddressRow::scheduleRefresh);
    m_field->setText(m_settings->serverURL());
    finishBuilding();
}

QString ServerAddressRow::status() const
{
    return m_status->isHidden() ? QString() : m_status->text();
}

void ServerAddressRow::setNote(Note note, const QString &detail)
{
    m_note = note;
    m_detail = detail;
    refresh();
}

void ServerAddressRow::apply()
{
    if (m_checking || m_settings->serverURLOverridden() || m_operations->isBusy())
        return;
    const QString typed = m_field->text().trimmed();
    const auto url = typed.isEmpty() ? std::optional<QString>(QString::fromLatin1(
                                           AppSettings::productionServerURL))
                                     : AppSettings::normalizedServerURL(typed);
    if (!url) {
        setNote(Note::Invalid);
        Q_EMIT checkFinished();
        return;
    }
    if (*url == m_settings->serverURL()) {
        m_field->setText(*url);
        setNote(Note::None);
        Q_EMIT checkFinished();
        return;
    }
    m_checking = true;
    setNote(Note::None);
    QPointer<ServerAddressRow> self(this);
    const QString address = *url;
    QCoro::connect(m_sync->probeServer(address), this,
                   [self, address](const APIResult<ServerHealth> &health) {
                       if (!self)
                           return;
                       self->m_checking = false;
                       if (!health) {
                           self->setNote(Note::Failed, describe(health.error()));
                           Q_EMIT self->checkFinished();
                           return;
                       }
                       if (self->m_sync->account()) {
                           Dialogs::Confirmation question;
                           question.title = L("account.server.change.title");
                           question.message = L("account.server.change.message");
                           question.acceptText = L("account.server.change.action");
                           const bool accepted
                               = self->m_dialogs->confirm(self->window(), question);
                           if (!self)
                               return;
                           if (!accepted) {
                               self->m_field->setText(self->m_settings->serverURL());
                               self->setNote(Note::None);
                               Q_EMIT self->checkFinished();
                               return;
                           }
                       }
                       SyncEngine *sync = self->m_sync;
                       self->m_operations->run(AccountOperations::Ends::AccountOperation,
                                               [sync, address] { sync->changeServer(address); });
                       self->m_field->setText(address);
                       self->setNote(Note::None);
                       Q_EMIT self->checkFinished();
                   });
    refresh();
}

void ServerAddressRow::render()
{
    const bool overridden = m_settings->serverURLOverridden();
    m_field->setReadOnly(overridden);
    m_field->setEnabled(!m_checking && !m_operations->isBusy());
    m_apply->setVisible(!overridden);
    m_apply->setEnabled(!m_checking && !m_operations->isBusy());
    m_hint->setVisible(!overridden);
    ScreenStyle::describe(m_field, L("account.server.address"));
    QString note;
    if (overridden)
        note = L("account.server.devOverride", m_settings->serverURL());
    else if (m_checking)
        note = L("account.server.checking");
    else if (m_note == Note::Invalid)
        note = L("account.server.invalid");
    else if (m_note == Note::Failed)
        note = L("account.server.checkFailed", m_detail);
    m_status->setText(note);
    m_status->setVisible(!note.isEmpty());
    const QPalette pal = palette();
    setTextColor(m_status, m_note == Note::None || overridden ? ScreenStyle::secondary(pal)
                                                              : ScreenStyle::orange(pal));
}
