#include "ui/shell/FooterView.h"

#include "base/Localization.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "ui/shell/Dialogs.h"
#include "ui/style/Icons.h"
#include "ui/style/ScreenStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QToolButton>

namespace {
QToolButton *makeButton(QWidget *parent, const QString &name)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setIconSize(QSize(16, 16));
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}
// The locale's short time without seconds (the C locale's short format carries them).
QString shortTime(const QDateTime &when, const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression seconds(QStringLiteral("[:.]ss?"));
    format.remove(seconds);
    return locale.toString(when.toLocalTime().time(), format);
}
} // namespace

FooterView::FooterView(NoteStore *store, SyncEngine *sync, Dialogs *dialogs,
                       std::function<void()> onAccount, std::function<void()> terminate,
                       QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_syncEngine(sync)
    , m_dialogs(dialogs)
    , m_onAccount(std::move(onAccount))
    , m_terminate(std::move(terminate))
{
    setObjectName(QStringLiteral("footer"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(4);

    m_account = makeButton(this, QStringLiteral("footer.account"));
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("footer.status"));
    m_label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setForegroundRole(QPalette::PlaceholderText);
    applyCaption();
    m_sync = makeButton(this, QStringLiteral("footer.syncNow"));
    m_quit = makeButton(this, QStringLiteral("footer.quit"));

    layout->addWidget(m_account);
    layout->addWidget(m_label, 1);
    layout->addWidget(m_sync);
    layout->addWidget(m_quit);

    // Bindings: widget actions to the services, service changes to one refresh.
    connect(m_account, &QToolButton::clicked, this, [this] {
        if (m_onAccount)
            m_onAccount();
    });
    connect(m_sync, &QToolButton::clicked, this, [this] { m_syncEngine->sync(); });
    connect(m_quit, &QToolButton::clicked, this, &FooterView::confirmQuit);
    connect(m_syncEngine, &SyncEngine::stateChanged, this, &FooterView::refresh);
    connect(m_syncEngine, &SyncEngine::accountChanged, this, &FooterView::refresh);
    connect(m_syncEngine, &SyncEngine::mediaPendingChanged, this, &FooterView::refresh);
    connect(m_store, &NoteStore::notesChanged, this, &FooterView::refresh);
    connect(m_store, &NoteStore::changed, this, &FooterView::refresh);

    applyIcons();
    refresh();
}

QString FooterView::statusText(const Inputs &inputs, const QLocale &locale)
{
    const SyncState &state = inputs.state;
    switch (state.kind) {
    case SyncState::Kind::Failed:
        return state.message;
    case SyncState::Kind::Syncing:
        return L("footer.status.syncing");
    case SyncState::Kind::Idle:
        if (inputs.dirtyCount >= 1)
            return L("footer.status.pending", inputs.dirtyCount);
        if (inputs.mediaPending >= 1)
            return L("footer.status.mediaPending", inputs.mediaPending);
        if (!state.lastSync)
            return L("footer.status.connected");
        return L("footer.status.upToDate", shortTime(state.lastSync->toDateTime(), locale));
    case SyncState::Kind::SignedOut:
    case SyncState::Kind::LocalOnly:
        if (inputs.liveNotes == 0)
            return L("footer.status.localOnly");
        return L("footer.status.localOnlyCount", inputs.liveNotes);
    }
    return {};
}

QString FooterView::quitMessage(bool signedIn, int dirtyCount)
{
    if (signedIn && dirtyCount > 0)
        return L("footer.quit.message.pending", dirtyCount);
    return L("footer.quit.message.clean");
}

FooterView::Inputs FooterView::inputs() const
{
    Inputs result;
    result.state = m_syncEngine->state();
    result.dirtyCount = m_store->dirtyCount();
    result.mediaPending = m_syncEngine->mediaPending();
    result.liveNotes = int(m_store->notes().size());
    if (const auto account = m_syncEngine->account())
        result.accountEmail = account->email;
    return result;
}

void FooterView::confirmQuit()
{
    if (m_confirmingQuit)
        return;
    m_confirmingQuit = true;
    const Inputs now = inputs();
    Dialogs::Confirmation confirmation;
    confirmation.title = L("footer.quit.title");
    confirmation.message = quitMessage(now.accountEmail.has_value(), now.dirtyCount);
    confirmation.acceptText = L("footer.quit.action");
    const bool accepted = m_dialogs->confirm(window(), confirmation);
    m_confirmingQuit = false;
    if (!accepted)
        return;
    m_store->flush();
    if (m_terminate)
        m_terminate();
}

void FooterView::refresh()
{
    render(inputs());
}

void FooterView::render(const Inputs &inputs)
{
    m_status = statusText(inputs, locale());
    elide();
    m_sync->setEnabled(inputs.state.kind != SyncState::Kind::Syncing);

    const QString accountTip = inputs.accountEmail
        ? L("footer.account.signedIn", *inputs.accountEmail)
        : L("footer.account.signedOut");
    m_account->setToolTip(accountTip);
    m_account->setAccessibleName(accountTip);
    m_sync->setToolTip(L("footer.syncNow"));
    m_sync->setAccessibleName(L("footer.syncNow"));
    m_quit->setToolTip(L("footer.quit"));
    m_quit->setAccessibleName(L("footer.quit"));
}

void FooterView::applyIcons()
{
    m_account->setIcon(Icons::icon(QStringLiteral("gearshape"), palette()));
    m_sync->setIcon(Icons::icon(QStringLiteral("arrow.triangle.2.circlepath"), palette()));
    m_quit->setIcon(Icons::icon(QStringLiteral("power"), palette()));
}

void FooterView::applyCaption()
{
    // Derived from the footer's font each time it changes: a size fixed at construction would
    // miss the panel's and the desktop's later fonts, and a pixel-sized UI font has no point
    // size to subtract from.
    m_label->setFont(ScreenStyle::captionFont(font()));
    elide();
}

void FooterView::elide()
{
    const QString shown = m_label->fontMetrics().elidedText(m_status, Qt::ElideRight,
                                                            std::max(0, m_label->width()));
    m_label->setText(shown);
    m_label->setToolTip(shown == m_status ? QString() : m_status);
    m_label->setAccessibleName(m_status);
}

void FooterView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::PaletteChange:
        applyIcons();
        break;
    case QEvent::FontChange:
        applyCaption();
        break;
    case QEvent::LanguageChange:
    case QEvent::LocaleChange:
        refresh();
        break;
    default:
        break;
    }
}

void FooterView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    elide();
}
