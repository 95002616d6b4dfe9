#include "ui/account/TrashSection.h"

#include "base/Localization.h"
#include "store/NoteStore.h"
#include "ui/widgets/EmptyTrash.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

TrashSection::TrashSection(NoteStore *store, Dialogs *dialogs, std::function<void()> onShowTrash,
                           QWidget *parent)
    : AccountPart(parent)
    , m_store(store)
    , m_dialogs(dialogs)
    , m_onShowTrash(std::move(onShowTrash))
{
    setObjectName(QStringLiteral("account.section.trash"));
    addTitle([] { return L("account.trash"); }, [] { return L("account.trash.subtitle"); });
    m_count = label(this, {}, true);
    m_count->setObjectName(QStringLiteral("account.trash.count"));
    column()->addWidget(m_count);
    m_show = button(
        this, [] { return L("account.trash.show"); }, QStringLiteral("trash"));
    m_show->setObjectName(QStringLiteral("account.trash.show"));
    m_show->setVisible(bool(m_onShowTrash));
    m_empty = button(
        this, [] { return L("list.emptyTrash"); }, QStringLiteral("trash.slash"));
    m_empty->setObjectName(QStringLiteral("account.trash.empty"));
    column()->addWidget(flow(this, { m_show, m_empty }));

    connect(m_show, &QPushButton::clicked, this, [this] {
        if (m_onShowTrash)
            m_onShowTrash();
    });
    connect(m_empty, &QPushButton::clicked, this, &TrashSection::confirmEmptyTrash);
    connect(m_store, &NoteStore::changed, this, &TrashSection::scheduleRefresh);
    finishBuilding();
}

void TrashSection::render()
{
    const int trashed = int(m_store->trashedNotes().size());
    m_count->setText(trashed > 0 ? L("account.trash.count", trashed) : L("list.empty.trash"));
    m_empty->setEnabled(EmptyTrash::isPossible(*m_store));
}

void TrashSection::confirmEmptyTrash()
{
    if (m_confirmingEmptyTrash)
        return;
    m_confirmingEmptyTrash = true;
    QPointer<TrashSection> self(this);
    EmptyTrash::confirm(this, m_store, m_dialogs);
    if (!self)
        return;
    m_confirmingEmptyTrash = false;
    refresh();
}
