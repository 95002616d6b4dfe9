#include "ui/list/NoteListView.h"

#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "telemetry/Telemetry.h"
#include "ui/shell/Dialogs.h"
#include "ui/list/NoteListModel.h"
#include "ui/list/NoteRowDelegate.h"
#include "ui/widgets/Menu.h"
#include "ui/widgets/Notice.h"
#include "ui/style/ScreenStyle.h"
#include "ui/share/ShareLinkClipboard.h"
#include "ui/widgets/EmptyTrash.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace {


} // namespace

NoteListView::NoteListView(NoteStore *store, AppSettings *settings, SyncEngine *sync,
                           Dialogs *dialogs, Telemetry *telemetry, QWidget *parent)
    : QWidget(parent), m_store(store), m_settings(settings), m_sync(sync), m_dialogs(dialogs),
      m_telemetry(telemetry)
{
    buildUi();
    bind();
    applyMode();
    refresh();
}

NoteListView::~NoteListView() = default;

void NoteListView::buildUi()
{
    setObjectName(QStringLiteral("noteList"));
    m_model = new NoteListModel(this);
    if (m_store)
        m_model->setNotesFolder(m_store->notesFolder());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QWidget(this);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(12, 8, 8, 8);
    row->setSpacing(6);
    m_back = ScreenStyle::toolButton(header, QStringLiteral("chevron.left"), L("editor.back"));
    m_trashTitle = new QLabel(L("list.trash.title"), header);
    QFont titleFont = m_trashTitle->font();
    titleFont.setWeight(QFont::DemiBold);
    m_trashTitle->setFont(titleFont);
    m_searchIcon = new QLabel(header);
    m_searchIcon->setFixedWidth(16);
    m_search = new QLineEdit(header);
    m_search->setFrame(false);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->installEventFilter(this);
    m_clear = ScreenStyle::toolButton(header, QStringLiteral("xmark.circle.fill"), L("list.search.clear"));
    m_clear->setIconSize(QSize(14, 14));
    m_newNote = ScreenStyle::toolButton(header, QStringLiteral("square.and.pencil"), L("list.new"));
    m_newImage = ScreenStyle::toolButton(header, QStringLiteral("photo"), L("list.newImage"));
    m_newAudio = ScreenStyle::toolButton(header, QStringLiteral("mic"), L("list.newAudio"));
    m_filter = ScreenStyle::toolButton(header, QStringLiteral("line.3.horizontal.decrease.circle"), L("list.filter"));
    m_filter->setPopupMode(QToolButton::InstantPopup);
    m_filter->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    auto *filterMenu = new QMenu(m_filter);
    m_filterGroup = new QActionGroup(filterMenu);
    const std::pair<const char *, std::optional<Note::Tag>> entries[] = {
        { "list.filter.all", std::nullopt },
        { "list.filter.markdown", Note::Tag::Text },
        { "list.filter.image", Note::Tag::Image },
        { "list.filter.audio", Note::Tag::Audio },
    };
    for (const auto &[key, tag] : entries) {
        QAction *action = filterMenu->addAction(L(key));
        action->setCheckable(true);
        action->setChecked(!tag);
        action->setData(tag ? QVariant(int(*tag)) : QVariant());
        m_filterGroup->addAction(action);
    }
    m_filter->setMenu(filterMenu);
    ScreenStyle::holdPanelWhileOpen(filterMenu, m_dialogs);
    m_emptyTrash = ScreenStyle::toolButton(header, QStringLiteral("trash.slash"), L("list.emptyTrash"));

    row->addWidget(m_back);
    row->addWidget(m_trashTitle);
    row->addSpacing(4);
    row->addWidget(m_searchIcon);
    row->addWidget(m_search, 1);
    row->addWidget(m_clear);
    row->addWidget(m_newNote);
    row->addWidget(m_newImage);
    row->addWidget(m_newAudio);
    row->addWidget(m_filter);
    row->addWidget(m_emptyTrash);
    layout->addWidget(header);

    auto *divider = new QFrame(this);
    divider->setObjectName(QStringLiteral("divider"));
    divider->setFixedHeight(1);
    layout->addWidget(divider);

    m_banner = new QFrame(this);
    m_banner->setObjectName(QStringLiteral("conflictBanner"));
    auto *bannerRow = new QHBoxLayout(m_banner);
    bannerRow->setContentsMargins(12, 8, 12, 8);
    bannerRow->setSpacing(8);
    m_bannerIcon = new QLabel(m_banner);
    m_bannerText = new QLabel(m_banner);
    m_bannerText->setWordWrap(true);
    m_bannerText->setFont(ScreenStyle::captionFont(font()));
    m_bannerOk = new QPushButton(L("common.ok"), m_banner);
    ScreenStyle::describe(m_bannerOk, L("common.ok"));
    bannerRow->addWidget(m_bannerIcon, 0, Qt::AlignTop);
    bannerRow->addWidget(m_bannerText, 1);
    bannerRow->addWidget(m_bannerOk, 0, Qt::AlignVCenter);
    m_banner->hide();
    layout->addWidget(m_banner);

    // Notes whose files vanished at once: the store keeps them until the user decides.
    m_heldBanner = new QFrame(this);
    m_heldBanner->setObjectName(QStringLiteral("massDeletionBanner"));
    auto *heldRow = new QHBoxLayout(m_heldBanner);
    heldRow->setContentsMargins(12, 8, 12, 8);
    heldRow->setSpacing(8);
    m_heldIcon = new QLabel(m_heldBanner);
    auto *heldColumn = new QVBoxLayout;
    heldColumn->setSpacing(6);
    m_heldText = new QLabel(m_heldBanner);
    m_heldText->setWordWrap(true);
    m_heldText->setTextFormat(Qt::PlainText);
    m_heldText->setFont(ScreenStyle::captionFont(font()));
    auto *heldButtons = new QHBoxLayout;
    heldButtons->setSpacing(6);
    m_putBack = new QPushButton(L("list.massDeletion.putBack"), m_heldBanner);
    ScreenStyle::describe(m_putBack, L("list.massDeletion.putBack"));
    m_trashHeld = new QPushButton(L("list.massDeletion.trash"), m_heldBanner);
    ScreenStyle::describe(m_trashHeld, L("list.massDeletion.trash"));
    heldButtons->addStretch(1);
    heldButtons->addWidget(m_trashHeld);
    heldButtons->addWidget(m_putBack);
    heldColumn->addWidget(m_heldText);
    heldColumn->addLayout(heldButtons);
    heldRow->addWidget(m_heldIcon, 0, Qt::AlignTop);
    heldRow->addLayout(heldColumn, 1);
    m_heldBanner->hide();
    layout->addWidget(m_heldBanner);

    m_errorBanner = new QFrame(this);
    m_errorBanner->setObjectName(QStringLiteral("errorBanner"));
    auto *errorRow = new QHBoxLayout(m_errorBanner);
    errorRow->setContentsMargins(12, 8, 12, 8);
    errorRow->setSpacing(8);
    m_errorIcon = new QLabel(m_errorBanner);
    m_errorText = new QLabel(m_errorBanner);
    m_errorText->setWordWrap(true);
    // Store messages quote file names and system errors: never rich text.
    m_errorText->setTextFormat(Qt::PlainText);
    m_errorText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_errorText->setFont(ScreenStyle::captionFont(font()));
    m_errorOk = new QPushButton(L("common.ok"), m_errorBanner);
    m_errorOk->setObjectName(QStringLiteral("errorOk"));
    ScreenStyle::describe(m_errorOk, L("common.ok"));
    errorRow->addWidget(m_errorIcon, 0, Qt::AlignTop);
    errorRow->addWidget(m_errorText, 1);
    errorRow->addWidget(m_errorOk, 0, Qt::AlignVCenter);
    m_errorBanner->hide();
    layout->addWidget(m_errorBanner);

    m_unreadableBanner = new QFrame(this);
    m_unreadableBanner->setObjectName(QStringLiteral("unreadableBanner"));
    auto *unreadableRow = new QHBoxLayout(m_unreadableBanner);
    unreadableRow->setContentsMargins(12, 6, 12, 6);
    unreadableRow->setSpacing(8);
    m_unreadableIcon = new QLabel(m_unreadableBanner);
    auto *unreadableColumn = new QVBoxLayout;
    unreadableColumn->setSpacing(4);
    auto *unreadableLine = new QHBoxLayout;
    unreadableLine->setSpacing(6);
    m_unreadableText = new QLabel(m_unreadableBanner);
    m_unreadableText->setWordWrap(true);
    m_unreadableText->setTextFormat(Qt::PlainText);
    m_unreadableText->setFont(ScreenStyle::captionFont(font()));
    m_unreadableMore = new QToolButton(m_unreadableBanner);
    m_unreadableMore->setObjectName(QStringLiteral("unreadableMore"));
    m_unreadableMore->setAutoRaise(true);
    m_unreadableMore->setFont(ScreenStyle::captionFont(font()));
    m_unreadableNames = new QLabel(m_unreadableBanner);
    m_unreadableNames->setObjectName(QStringLiteral("unreadableNames"));
    m_unreadableNames->setWordWrap(true);
    // The names come from the folder: plain text only.
    m_unreadableNames->setTextFormat(Qt::PlainText);
    m_unreadableNames->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_unreadableNames->setFont(ScreenStyle::captionFont(font()));
    m_unreadableNames->hide();
    unreadableLine->addWidget(m_unreadableText, 1);
    unreadableLine->addWidget(m_unreadableMore, 0, Qt::AlignVCenter);
    unreadableColumn->addLayout(unreadableLine);
    unreadableColumn->addWidget(m_unreadableNames);
    unreadableRow->addWidget(m_unreadableIcon, 0, Qt::AlignTop);
    unreadableRow->addLayout(unreadableColumn, 1);
    m_unreadableBanner->hide();
    layout->addWidget(m_unreadableBanner);

    m_content = new QStackedWidget(this);
    m_list = new QListView(m_content);
    m_list->setObjectName(QStringLiteral("notes"));
    m_list->setModel(m_model);
    m_delegate = new NoteRowDelegate(m_model, m_list);
    m_list->setItemDelegate(m_delegate);
    // Every row has the same height: the view lays out 10,000 rows without asking each one.
    m_list->setUniformItemSizes(true);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->verticalScrollBar()->setSingleStep(NoteRowDelegate::rowHeight(font()) / 2);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setMouseTracking(true);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->installEventFilter(this);
    m_content->addWidget(m_list);

    m_empty = new QWidget(m_content);
    auto *emptyLayout = new QVBoxLayout(m_empty);
    emptyLayout->setContentsMargins(24, 24, 24, 48);
    emptyLayout->setSpacing(10);
    emptyLayout->addStretch(1);
    m_emptySymbol = new QLabel(m_empty);
    m_emptySymbol->setAlignment(Qt::AlignCenter);
    m_emptyMessage = new QLabel(m_empty);
    m_emptyMessage->setAlignment(Qt::AlignCenter);
    m_emptyMessage->setWordWrap(true);
    m_emptyMessage->setTextFormat(Qt::PlainText);
    m_emptyButton = new QPushButton(m_empty);
    emptyLayout->addWidget(m_emptySymbol);
    emptyLayout->addWidget(m_emptyMessage);
    emptyLayout->addWidget(m_emptyButton, 0, Qt::AlignHCenter);
    emptyLayout->addStretch(2);
    m_content->addWidget(m_empty);
    layout->addWidget(m_content, 1);

    m_notice = new Notice(Notice::Edge::Bottom, 12, this);
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(0);
    m_dateTimer = new QTimer(this);
    m_dateTimer->setSingleShot(true);
    applyLook();
}

void NoteListView::bind()
{
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_clear->setVisible(!text.isEmpty());
        refresh();
    });
    connect(m_search, &QLineEdit::returnPressed, this, &NoteListView::submitSearch);
    connect(m_clear, &QToolButton::clicked, this, [this] {
        m_search->clear();
        m_search->setFocus();
    });
    connect(m_newNote, &QToolButton::clicked, this, &NoteListView::newNote);
    connect(m_newImage, &QToolButton::clicked, this, &NoteListView::importImage);
    connect(m_filterGroup, &QActionGroup::triggered, this, [this](QAction *action) {
        setTagFilter(action->data().isValid() ? std::optional(Note::Tag(action->data().toInt()))
                                              : std::nullopt);
    });
    connect(m_back, &QToolButton::clicked, this, &NoteListView::showAccount);
    connect(m_emptyTrash, &QToolButton::clicked, this, &NoteListView::confirmEmptyTrash);
    connect(m_bannerOk, &QPushButton::clicked, this, [this] {
        // Emptied in the engine, so the banner does not come back with the next list.
        if (m_sync)
            m_sync->dismissConflicts();
        setConflictCount(0);
        Q_EMIT conflictsDismissed();
    });
    connect(m_newAudio, &QToolButton::clicked, this, [this] {
        // A copy: the handler may replace itself.
        if (const auto record = m_onRecord; record && !m_trash)
            record();
    });
    connect(m_putBack, &QPushButton::clicked, this, [this] {
        if (m_store)
            m_store->putBackHeldFiles();
    });
    connect(m_trashHeld, &QPushButton::clicked, this, &NoteListView::confirmTrashHeldNotes);
    connect(m_errorOk, &QPushButton::clicked, this, [this] {
        // Read here, so no other screen shows it again.
        if (!m_problem.isEmpty())
            m_problem.clear();
        else if (m_store)
            m_store->setLastError(QString());
        m_errorBanner->hide();
    });
    // A plain button that flips the list: a checked tool button would draw sunken.
    connect(m_unreadableMore, &QToolButton::clicked, this, [this] {
        m_unreadableNames->setHidden(!m_unreadableNames->isHidden());
        updateStoreBanners();
    });
    connect(m_list, &QListView::clicked, this, &NoteListView::openRow);
    connect(m_list, &QListView::customContextMenuRequested, this, &NoteListView::showContextMenu);
    connect(m_emptyButton, &QPushButton::clicked, this, [this] {
        if (!m_search->text().isEmpty())
            createFromQuery();
        else
            newNote();
    });

    auto *newShortcut = new QShortcut(QKeySequence::New, this);
    newShortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(newShortcut, &QShortcut::activated, this, [this] {
        if (!m_trash)
            newNote();
    });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_trash)
            Q_EMIT showAccount();
    });

    connect(m_refreshTimer, &QTimer::timeout, this, &NoteListView::refresh);
    connect(m_dateTimer, &QTimer::timeout, this, [this] {
        m_model->refreshDates();
        scheduleDateRefresh();
    });
    if (m_store) {
        connect(m_store, &NoteStore::notesChanged, this, &NoteListView::scheduleRefresh);
        // Purges and emptying the trash change only the trashed notes.
        connect(m_store, &NoteStore::changed, this, &NoteListView::scheduleRefresh);
        connect(m_store, &NoteStore::massDeletionHeldChanged, this, &NoteListView::updateStoreBanners);
        connect(m_store, &NoteStore::lastErrorChanged, this, &NoteListView::updateStoreBanners);
        connect(m_store, &NoteStore::unreadableFilesChanged, this, &NoteListView::updateStoreBanners);
    }
    if (m_sync) {
        connect(m_sync.data(), &SyncEngine::accountChanged, this, &NoteListView::scheduleRefresh);
        connect(m_sync.data(), &SyncEngine::lastConflictsChanged, this,
                [this] { setConflictCount(int(m_sync->lastConflicts().size())); });
        setConflictCount(int(m_sync->lastConflicts().size()));
    }
}

void NoteListView::setTrashMode(bool trash)
{
    if (trash == m_trash)
        return;
    m_trash = trash;
    m_tagFilter.reset();
    m_narrowable = false;
    const QSignalBlocker blocker(m_search);
    m_search->clear();
    applyMode();
    refresh();
}

void NoteListView::applyMode()
{
    m_back->setVisible(m_trash);
    m_trashTitle->setVisible(m_trash);
    m_newNote->setVisible(!m_trash);
    m_newImage->setVisible(!m_trash);
    // Without a recorder the button could not work: it is not offered.
    m_newAudio->setVisible(!m_trash && m_onRecord);
    m_filter->setVisible(!m_trash);
    m_emptyTrash->setVisible(m_trash);
    m_clear->setVisible(!m_search->text().isEmpty());
    const QString placeholder = m_trash ? L("list.trash.search") : L("list.search");
    m_search->setPlaceholderText(placeholder);
    m_search->setAccessibleName(placeholder);
    m_list->setAccessibleName(m_trash ? L("list.trash.title") : L("list.notes"));
    updateStoreBanners();
}

void NoteListView::setRecordHandler(std::function<void()> handler)
{
    m_onRecord = std::move(handler);
    applyMode();
}

QString NoteListView::heldBannerText() const
{
    return m_heldBanner->isVisibleTo(this) ? m_heldText->text() : QString();
}

void NoteListView::showProblem(const QString &text)
{
    m_problem = text;
    m_errorText->setText(text);
    m_errorBanner->setVisible(!text.isEmpty());
}

QString NoteListView::errorBannerText() const
{
    return m_errorBanner->isVisibleTo(this) ? m_errorText->text() : QString();
}

QString NoteListView::unreadableText() const
{
    return m_unreadableBanner->isVisibleTo(this) ? m_unreadableText->text() : QString();
}

void NoteListView::updateStoreBanners()
{
    if (!m_heldBanner)
        return;
    const QStringList held = m_store ? m_store->massDeletionHeld() : QStringList();
    // The held notes are live notes: the trash has nothing to decide about them.
    const bool showHeld = !m_trash && !held.isEmpty();
    if (showHeld) {
        m_heldText->setText(L("list.massDeletion.title", int(held.size())));
        // The store's warning tells the likely cause (a drive or a sync tool).
        m_heldText->setToolTip(m_store->massDeletionWarning());
    }
    m_heldBanner->setVisible(showHeld);

    const QString error = !m_problem.isEmpty() ? m_problem
        : m_store                               ? m_store->lastError()
                                                : QString();
    m_errorText->setText(error);
    m_errorBanner->setVisible(!error.isEmpty());

    const QStringList unreadable = m_store ? m_store->unreadableFiles() : QStringList();
    const bool showUnreadable = !m_trash && !unreadable.isEmpty();
    if (showUnreadable) {
        m_unreadableText->setText(L("list.unreadable", int(unreadable.size())));
        const QString names = unreadable.join(u'\n');
        m_unreadableText->setToolTip(names);
        m_unreadableNames->setText(names);
        const QString more = !m_unreadableNames->isHidden() ? L("list.unreadable.hide")
                                                          : L("list.unreadable.show");
        m_unreadableMore->setText(more);
        ScreenStyle::describe(m_unreadableMore, more);
    }
    m_unreadableBanner->setVisible(showUnreadable);
}

void NoteListView::confirmTrashHeldNotes()
{
    if (!m_store || !m_dialogs)
        return;
    const int count = int(m_store->massDeletionHeld().size());
    if (count == 0)
        return;
    Dialogs::Confirmation confirmation;
    confirmation.title = L("list.massDeletion.confirm", count);
    confirmation.message = L("list.massDeletion.confirm.message");
    confirmation.acceptText = L("list.massDeletion.trash");
    confirmation.destructive = true;
    // The store may be gone when the modal dialog returns.
    if (m_dialogs->confirm(this, confirmation) && m_store)
        m_store->trashHeldNotes();
}

void NoteListView::applyLook()
{
    const QPalette pal = palette();
    const QString symbolHint = ScreenStyle::glyph(QStringLiteral("magnifyingglass"));
    const QPixmap search = ScreenStyle::symbolPixmap(QStringLiteral("magnifyingglass"), pal,
                                                     Icons::Tint::Secondary, 16, devicePixelRatioF());
    if (search.isNull())
        m_searchIcon->setText(symbolHint);
    else
        m_searchIcon->setPixmap(search);
    for (QToolButton *button : { m_back, m_clear, m_newNote, m_newImage, m_newAudio, m_emptyTrash })
        ScreenStyle::setSymbol(button, button->property("scrivelSymbol").toString(),
                               button == m_clear ? Icons::Tint::Secondary : Icons::Tint::Text);
    ScreenStyle::setSymbol(m_filter, m_tagFilter ? QStringLiteral("line.3.horizontal.decrease.circle.fill")
                                                 : QStringLiteral("line.3.horizontal.decrease.circle"),
                           m_tagFilter ? Icons::Tint::Accent : Icons::Tint::Text);
    const QPixmap warning = ScreenStyle::symbolPixmap(QStringLiteral("exclamationmark.triangle.fill"), pal,
                                                      Icons::Tint::Orange, 16, devicePixelRatioF());
    if (warning.isNull())
        m_bannerIcon->setText(ScreenStyle::glyph(QStringLiteral("exclamationmark.triangle.fill")));
    else
        m_bannerIcon->setPixmap(warning);
    for (QLabel *icon : { m_heldIcon, m_errorIcon, m_unreadableIcon }) {
        if (warning.isNull())
            icon->setText(ScreenStyle::glyph(QStringLiteral("exclamationmark.triangle.fill")));
        else
            icon->setPixmap(warning);
    }
    const QColor orange = ScreenStyle::orange(pal);
    const QString tint = ScreenStyle::withAlpha(orange, 0.15).name(QColor::HexArgb);
    m_banner->setStyleSheet(QStringLiteral("QFrame#conflictBanner { background: %1; }").arg(tint));
    m_heldBanner->setStyleSheet(QStringLiteral("QFrame#massDeletionBanner { background: %1; }").arg(tint));
    m_errorBanner->setStyleSheet(QStringLiteral("QFrame#errorBanner { background: %1; }").arg(tint));
    QPalette quiet = m_unreadableText->palette();
    quiet.setColor(QPalette::WindowText, ScreenStyle::secondary(pal));
    m_unreadableText->setPalette(quiet);
    m_unreadableNames->setPalette(quiet);
    // Without a frame the toggle reads as plain text: the accent says it can be clicked.
    QPalette accent = m_unreadableMore->palette();
    accent.setColor(QPalette::ButtonText, pal.color(QPalette::Highlight));
    m_unreadableMore->setPalette(accent);
    // No tint of its own (it is a note, not an alarm): a rule parts it from the rows.
    m_unreadableBanner->setStyleSheet(
        QStringLiteral("QFrame#unreadableBanner { border: none; border-bottom: 1px solid %1; }")
            .arg(ScreenStyle::withAlpha(pal.color(QPalette::Mid), 0.6).name(QColor::HexArgb)));
    findChild<QFrame *>(QStringLiteral("divider"))
        ->setStyleSheet(QStringLiteral("background: %1;")
                            .arg(ScreenStyle::withAlpha(pal.color(QPalette::Mid), 0.6).name(QColor::HexArgb)));
    QPalette secondary = m_emptyMessage->palette();
    secondary.setColor(QPalette::WindowText, ScreenStyle::secondary(pal));
    m_emptyMessage->setPalette(secondary);
    m_emptySymbol->setPalette(secondary);
    m_search->setStyleSheet(QStringLiteral("QLineEdit#search { background: transparent; }"));
    updateEmptyState();
}

void NoteListView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyLook();
    QWidget::changeEvent(event);
}

void NoteListView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_stale)
        refresh();
    scheduleDateRefresh();
    if (!m_trash) {
        m_search->setFocus(Qt::OtherFocusReason);
        // The panel may activate its window a moment after showing it.
        QTimer::singleShot(0, m_search, [search = m_search] { search->setFocus(Qt::OtherFocusReason); });
    }
}

void NoteListView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Nobody sees the dates while the panel is closed or another screen shows.
    m_dateTimer->stop();
}

void NoteListView::setDateRefreshInterval(std::chrono::milliseconds interval)
{
    m_dateRefreshInterval = std::max(interval, std::chrono::milliseconds(1));
    scheduleDateRefresh();
}

std::chrono::milliseconds NoteListView::dateRefreshDelay(double newestAge,
                                                         std::chrono::milliseconds interval)
{
    using namespace std::chrono_literals;
    if (std::isfinite(newestAge) && newestAge < 60)
        return std::min(interval, std::chrono::milliseconds(1s));
    return interval;
}

void NoteListView::scheduleDateRefresh()
{
    if (!isVisible()) {
        m_dateTimer->stop();
        return;
    }
    // The rows are drawn against the delegate's clock, so the newest age is measured with it.
    const QList<Note> &notes = m_model->notes();
    double newest = -std::numeric_limits<double>::infinity();
    for (const Note &note : notes)
        newest = std::max(newest, note.updatedAt.seconds);
    const double age = notes.isEmpty() ? std::numeric_limits<double>::infinity()
                                       : m_delegate->now().seconds - newest;
    m_dateTimer->start(dateRefreshDelay(age, m_dateRefreshInterval));
}

bool NoteListView::eventFilter(QObject *watched, QEvent *event)
{
    // Escape in a search field that holds text clears it first and leaves the focus there; only
    // in an empty field does it reach the screen's Escape shortcut (back, in the trash).
    // Accepting the override keeps the shortcut from taking the key.
    if (watched == m_search
        && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier
            && !m_search->text().isEmpty()) {
            event->accept();
            if (event->type() == QEvent::KeyPress)
                m_search->clear();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == m_search && key->key() == Qt::Key_Down && m_model->rowCount() > 0) {
            // Arrow down leaves the search field for the rows.
            m_list->setFocus();
            m_list->setCurrentIndex(m_model->index(0));
            return true;
        }
        if (watched == m_list) {
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                && m_list->currentIndex().isValid()) {
                openRow(m_list->currentIndex());
                return true;
            }
            if (key->key() == Qt::Key_Up && m_list->currentIndex().row() == 0) {
                m_search->setFocus();
                return true;
            }
            if (key->key() == Qt::Key_Menu && m_list->currentIndex().isValid()) {
                showContextMenu(m_list->visualRect(m_list->currentIndex()).center());
                return true;
            }
            // Typing on a row goes on with the search.
            if (!key->text().isEmpty() && key->text().at(0).isPrint()
                && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                m_search->setFocus();
                m_search->insert(key->text());
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString NoteListView::query() const
{
    return m_search->text();
}

void NoteListView::setQuery(const QString &query)
{
    m_search->setText(query);
}

void NoteListView::setTagFilter(std::optional<Note::Tag> tag)
{
    for (QAction *action : m_filterGroup->actions()) {
        const bool mine = tag ? action->data().isValid() && action->data().toInt() == int(*tag)
                              : !action->data().isValid();
        if (mine)
            action->setChecked(true);
    }
    if (tag == m_tagFilter)
        return;
    m_tagFilter = tag;
    m_narrowable = false;
    applyLook();
    refresh();
}

QList<Note> NoteListView::rows() const
{
    return m_model->notes();
}

namespace {
// Whether every note matching `query` also matches `previous`: each word of the previous
// query occurs inside some word of the new one.
bool refinesWords(const QString &query, const QString &previous)
{
    const QStringList words = query.trimmed().toLower().split(u' ', Qt::SkipEmptyParts);
    const QStringList before = previous.trimmed().toLower().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return before.isEmpty();
    return std::all_of(before.cbegin(), before.cend(), [&](const QString &old) {
        return std::any_of(words.cbegin(), words.cend(), [&](const QString &word) { return word.contains(old); });
    });
}
} // namespace

bool NoteListView::refines(const QString &query, const QString &previous)
{
    return refinesWords(query, previous);
}

void NoteListView::scheduleRefresh()
{
    m_narrowable = false;
    // A hidden list (the editor is showing) catches up when it is shown again, so typing in
    // the editor does not re-run the search over every note on each keystroke.
    if (!isVisible()) {
        m_stale = true;
        return;
    }
    m_refreshTimer->start();
}

void NoteListView::refresh()
{
    m_stale = false;
    m_refreshTimer->stop();
    QList<Note> rows;
    const QString query = m_search->text();
    if (m_store) {
        QList<Note> source;
        if (m_narrowable && refines(query, m_lastQuery)) {
            // Typing on: the new matches are among the current rows, in the same order.
            source = m_model->notes();
        } else {
            source = m_trash ? m_store->trashedNotes() : m_store->notes();
            // The tag test uses the model's cached tags; the store's search then matches
            // the query over the remaining notes in their order.
            if (m_tagFilter) {
                const Note::Tag tag = *m_tagFilter;
                source.removeIf([&](const Note &note) { return !m_model->tags(note).contains(tag); });
            }
        }
        rows = m_store->search(query, std::nullopt, std::move(source));
    }
    m_lastQuery = query;
    m_narrowable = true;
    m_model->setNotes(rows);
    updateEmptyState();
    updateEmptyTrashButton();
    // A note changed a moment ago reads in seconds: the redraws speed up at once.
    scheduleDateRefresh();
}

void NoteListView::updateEmptyTrashButton()
{
    if (!m_trash || !m_store)
        return;
    m_emptyTrash->setEnabled(EmptyTrash::isPossible(*m_store));
}

NoteListView::EmptyState NoteListView::computeEmptyState() const
{
    if (m_trash)
        return { QStringLiteral("trash"), L("list.empty.trash"), {} };
    const QString query = m_search->text();
    if (!query.isEmpty())
        return { QStringLiteral("magnifyingglass"), L("list.empty.search", query), L("list.empty.create") };
    if (m_tagFilter == Note::Tag::Image)
        return { QStringLiteral("photo"), L("list.empty.filter"), {} };
    if (m_tagFilter == Note::Tag::Audio)
        return { QStringLiteral("waveform"), L("list.empty.filter"), {} };
    if (m_tagFilter == Note::Tag::Text)
        return { QStringLiteral("note.text"), L("list.empty.filter"), {} };
    return { QStringLiteral("note.text"), L("list.empty.title"), L("list.empty.first") };
}

std::optional<NoteListView::EmptyState> NoteListView::emptyState() const
{
    if (m_model->rowCount() > 0)
        return std::nullopt;
    return computeEmptyState();
}

void NoteListView::updateEmptyState()
{
    if (!m_model || m_model->rowCount() > 0) {
        m_content->setCurrentWidget(m_list);
        return;
    }
    const EmptyState state = computeEmptyState();
    const QPixmap symbol = ScreenStyle::symbolPixmap(state.symbol, palette(), Icons::Tint::Secondary,
                                                     32, devicePixelRatioF());
    if (symbol.isNull()) {
        QFont big = font();
        big.setPointSizeF(font().pointSizeF() * 2.4);
        m_emptySymbol->setFont(big);
        m_emptySymbol->setText(ScreenStyle::glyph(state.symbol));
    } else {
        m_emptySymbol->setPixmap(symbol);
    }
    m_emptyMessage->setText(state.message);
    m_emptyButton->setText(state.button);
    ScreenStyle::describe(m_emptyButton, state.button);
    m_emptyButton->setVisible(!state.button.isEmpty());
    m_content->setCurrentWidget(m_empty);
}

void NoteListView::openRow(const QModelIndex &index)
{
    if (m_trash || !index.isValid())
        return;
    Q_EMIT openNote(index.data(NoteListModel::IdRole).toString());
}

void NoteListView::submitSearch()
{
    if (m_trash)
        return;
    if (m_model->rowCount() > 0) {
        Q_EMIT openNote(m_model->noteAt(0).id);
        return;
    }
    if (m_search->text().isEmpty())
        return;
    createFromQuery();
}

void NoteListView::createFromQuery()
{
    if (!m_store)
        return;
    // The body is the query exactly as typed, spaces included.
    const Note note = m_store->create(m_search->text());
    Q_EMIT openNewNote(note.id);
}

void NoteListView::newNote()
{
    if (!m_store)
        return;
    const Note note = m_store->create(QString());
    Q_EMIT openNewNote(note.id);
}

void NoteListView::importImage()
{
    if (!m_store || !m_dialogs)
        return;
    const QStringList files = m_dialogs->openFiles(
        this, L("list.newImage"), L("dialog.filter.images", ScreenStyle::imageFilePatterns()), false);
    if (files.isEmpty())
        return;
    if (m_telemetry)
        m_telemetry->record(QStringLiteral("image_added"));
    const auto note = m_store->createWithAttachment(files.first(), Attachment::Kind::Image);
    if (note)
        Q_EMIT openNote(note->id);
}

void NoteListView::confirmPurge(const QString &id)
{
    if (!m_store || !m_dialogs)
        return;
    const auto note = m_store->note(id);
    if (!note)
        return;
    Dialogs::Confirmation confirmation;
    confirmation.title = L("list.purge.title", note->title());
    confirmation.acceptText = L("list.menu.deleteForever");
    confirmation.destructive = true;
    if (m_dialogs->confirm(this, confirmation) && m_store)
        m_store->purge(id);
}

void NoteListView::confirmEmptyTrash()
{
    EmptyTrash::confirm(this, m_store, m_dialogs);
}

void NoteListView::copyNote(const QString &id)
{
    if (!m_store)
        return;
    const auto note = m_store->note(id);
    if (!note)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (!note->textTitle()) {
        for (const Attachment &image : note->images()) {
            const QImage picture(QDir(m_store->notesFolder())
                                     .filePath(QStringLiteral("attachments/") + note->id + u'/' + image.filename));
            if (!picture.isNull()) {
                clipboard->setImage(picture);
                return;
            }
            break; // only the first image is considered
        }
    }
    clipboard->setText(note->body);
}

QMenu *NoteListView::contextMenu(const QString &id, QWidget *parent)
{
    auto *menu = new Menu(parent ? parent : this);
    if (m_trash) {
        menu->addAction(L("list.restore"), this, [this, id] {
            if (m_store)
                m_store->restore(id);
        });
        menu->addSeparator();
        Menu::markDestructive(
            menu->addAction(L("list.menu.deleteForever"), this, [this, id] { confirmPurge(id); }));
        return menu;
    }
    menu->addAction(L("list.menu.copy"), this, [this, id] { copyNote(id); });
    QAction *share
        = menu->addAction(L("editor.shareLink"), this, [this, id] { copyPublicLink(id); });
    const auto note = m_store ? m_store->note(id) : std::nullopt;
    share->setEnabled(m_sync && m_sync->account() && note && !m_sharing.contains(id)
                      && !note->body.isBlank());
    menu->addSeparator();
    Menu::markDestructive(menu->addAction(L("common.delete"), this, [this, id] {
        if (m_store)
            m_store->deleteNote(id);
    }));
    return menu;
}

void NoteListView::copyPublicLink(const QString &id)
{
    if (!m_sync)
        return;
    // One request per note at a time: a second click would only ask the server again.
    if (m_sharing.contains(id))
        return;
    m_sharing.insert(id);
    auto running = runCopyPublicLink(this, id);
    Q_UNUSED(running);
}

QCoro::Task<> NoteListView::runCopyPublicLink(QPointer<NoteListView> view, QString id)
{
    // The user asked for the link: it goes to the clipboard even if the list is gone.
    const auto copied = co_await ShareLinkClipboard::copyPublicLink(view->m_store, view->m_sync, id);
    if (!view)
        co_return;
    view->m_sharing.remove(id);
    view->showNotice(copied.notice);
}

void NoteListView::showContextMenu(const QPoint &position)
{
    const QModelIndex index = m_list->indexAt(position);
    if (!index.isValid())
        return;
    QMenu *menu = contextMenu(index.data(NoteListModel::IdRole).toString(), this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    ScreenStyle::holdPanelWhileOpen(menu, m_dialogs);
    menu->popup(m_list->viewport()->mapToGlobal(position));
}

void NoteListView::setConflictCount(int count)
{
    m_conflicts = std::max(0, count);
    m_bannerText->setText(L("list.conflict", m_conflicts));
    m_banner->setVisible(m_conflicts > 0);
}

void NoteListView::showNotice(const QString &message)
{
    m_notice->showMessage(message);
}
