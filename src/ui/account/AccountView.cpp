#include "ui/account/AccountView.h"

#include "base/Localization.h"
#include "settings/AppSettings.h"
#include "sync/SyncEngine.h"
#include "ui/account/AISettingsSection.h"
#include "ui/account/AccountOperations.h"
#include "ui/account/DangerSection.h"
#include "ui/account/NotesFolderSection.h"
#include "ui/account/PreferencesSection.h"
#include "ui/account/ServerStatusRow.h"
#include "ui/account/SignedInBlock.h"
#include "ui/account/SignedOutBlock.h"
#include "ui/account/SyncSection.h"
#include "ui/account/TrashSection.h"
#include "ui/account/VersionLine.h"
#include "ui/feedback/FeedbackView.h"
#include "ui/style/ScreenStyle.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

AccountView::AccountView(NoteStore *store, SyncEngine *sync, AppSettings *settings,
                         Dialogs *dialogs, std::function<void()> onBack,
                         std::function<void()> onShowTrash, Telemetry *telemetry,
                         const HotKeyManager *hotKeys, AIService *ai, QWidget *parent)
    : QWidget(parent)
    , m_sync(sync)
    , m_settings(settings)
    , m_onBack(std::move(onBack))
{
    setObjectName(QStringLiteral("screen.account"));
    m_operations = new AccountOperations(sync, this);
    buildUi(store, dialogs, telemetry, hotKeys, ai, std::move(onShowTrash));
    translateHeader();
    applyLook();
    connect(m_back, &QToolButton::clicked, this, [this] {
        if (m_onBack)
            m_onBack();
    });
    // The settings switch the language at once: the screen speaks it before Qt's
    // LanguageChange events arrive.
    connect(m_settings, &AppSettings::languageChanged, this, &AccountView::retranslate);
}

AccountView::~AccountView() = default;

void AccountView::buildUi(NoteStore *store, Dialogs *dialogs, Telemetry *telemetry,
                          const HotKeyManager *hotKeys, AIService *ai,
                          std::function<void()> onShowTrash)
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // Header: back and title, fixed above the scrolling column.
    auto *header = new QWidget(this);
    auto *headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(12, 8, 8, 8);
    headerRow->setSpacing(6);
    m_back = ScreenStyle::toolButton(header, QStringLiteral("chevron.left"), L("editor.back"));
    m_back->setObjectName(QStringLiteral("account.back"));
    m_back->setShortcut(QKeySequence(Qt::Key_Escape));
    m_title = new QLabel(header);
    m_title->setTextFormat(Qt::PlainText);
    QFont titleFont = m_title->font();
    titleFont.setWeight(QFont::DemiBold);
    m_title->setFont(titleFont);
    headerRow->addWidget(m_back);
    headerRow->addWidget(m_title, 1);
    outer->addWidget(header);
    auto *divider = new QFrame(this);
    divider->setFixedHeight(1);
    m_separators.append(divider);
    outer->addWidget(divider);

    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("account.scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget(scroll);
    content->setObjectName(QStringLiteral("account.content"));
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(16, 12, 16, 16);
    column->setSpacing(12);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);
    m_page = { header, divider, scroll };
    // The scroll area paints the window colour, like the other screens.
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);

    // The sections, a thin line between each two.
    m_syncSection
        = new SyncSection(store, m_sync, m_settings, dialogs, telemetry, m_operations, content);
    m_ai = new AISettingsSection(m_settings, ai, content);
    m_preferences = new PreferencesSection(m_settings, hotKeys, content);
    m_folder = new NotesFolderSection(store, m_settings, dialogs, content);
    m_trash = new TrashSection(store, dialogs, std::move(onShowTrash), content);
    m_danger = new DangerSection(store, m_sync, dialogs, m_operations, content);
    connect(m_syncSection->signedIn(), &SignedInBlock::feedbackRequested, this,
            &AccountView::openFeedback);
    for (AccountPart *section : std::initializer_list<AccountPart *> {
             m_syncSection, m_ai, m_preferences, m_folder, m_trash, m_danger }) {
        if (section != m_syncSection) {
            auto *line = new QFrame(content);
            line->setFixedHeight(1);
            m_separators.append(line);
            column->addWidget(line);
        }
        column->addWidget(section);
    }
    m_version = new VersionLine(m_settings, content);
    column->addSpacing(4);
    column->addWidget(m_version);
    column->addStretch(1);

    setFocusProxy(m_back);
}

void AccountView::translateHeader()
{
    m_title->setText(L("account.title"));
    ScreenStyle::describe(m_back, L("editor.back"));
}

void AccountView::retranslate()
{
    translateHeader();
    // Every part, nested ones included (the blocks of the sync section, the telemetry row).
    for (AccountPart *part : findChildren<AccountPart *>())
        part->retranslate();
}

void AccountView::applyLook()
{
    const QPalette pal = palette();
    const QString lineColor
        = ScreenStyle::withAlpha(pal.color(QPalette::Mid), 0.6).name(QColor::HexArgb);
    for (QWidget *line : std::as_const(m_separators))
        line->setStyleSheet(QStringLiteral("background: %1;").arg(lineColor));
    ScreenStyle::setSymbol(m_back, QStringLiteral("chevron.left"));
}

// ---- state and actions, as the sections hold them --------------------------------------------

bool AccountView::isBusy() const
{
    return m_operations->isBusy();
}

bool AccountView::acceptedTerms() const
{
    return m_syncSection->signedOut()->acceptedTerms();
}

bool AccountView::canSignIn() const
{
    return m_syncSection->signedOut()->canSignIn();
}

QString AccountView::serverStatusLine() const
{
    return m_syncSection->serverStatus()->text();
}

QString AccountView::displayPath(const QString &path, const QString &home)
{
    return NotesFolderSection::displayPath(path, home);
}

bool AccountView::isInstalledLocation(const QString &executable, const QString &home)
{
    return PreferencesSection::isInstalledLocation(executable, home);
}

void AccountView::signIn()
{
    m_syncSection->signedOut()->signIn();
}

void AccountView::syncNow()
{
    m_syncSection->signedIn()->syncNow();
}

void AccountView::openDashboard()
{
    m_syncSection->signedIn()->openDashboard();
}

void AccountView::confirmSignOut()
{
    m_syncSection->signedIn()->confirmSignOut();
}

void AccountView::chooseFolder()
{
    m_folder->chooseFolder();
}

void AccountView::revealFolder()
{
    m_folder->revealFolder();
}

void AccountView::confirmEmptyTrash()
{
    m_trash->confirmEmptyTrash();
}

void AccountView::confirmDeleteNotes()
{
    m_danger->confirmDeleteNotes();
}

void AccountView::confirmDeleteAccount()
{
    m_danger->confirmDeleteAccount();
}

void AccountView::openFeedback()
{
    if (m_feedback)
        return;
    // The picture shows the panel as the user saw it, before the form covers it.
    auto picture = panelPicture();
    m_feedback = new FeedbackView(m_sync, std::move(picture), [this] {
        if (!m_feedback)
            return;
        m_feedback->hide();
        m_feedback->deleteLater();
        m_feedback = nullptr;
        for (QWidget *widget : std::as_const(m_page))
            widget->show();
        if (auto *button = findChild<QWidget *>(QStringLiteral("feedback.button")))
            button->setFocus();
    }, this);
    for (QWidget *widget : std::as_const(m_page))
        widget->hide();
    layout()->addWidget(m_feedback);
    m_feedback->show();
    m_feedback->setFocus();
}

// ---- events ----------------------------------------------------------------------------------

void AccountView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_settings->refreshLaunchAtLogin();
    QTimer::singleShot(0, this, [this] { m_sync->checkHealth(); });
    for (AccountPart *part : findChildren<AccountPart *>())
        part->refresh();
}

void AccountView::changeEvent(QEvent *event)
{
    // The parts follow palette and language changes themselves; this is the header.
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::PaletteChange:
        applyLook();
        break;
    case QEvent::LanguageChange:
        translateHeader();
        break;
    default:
        break;
    }
}
