#include "ui/feedback/FeedbackView.h"

#include "base/Localization.h"
#include "sync/SyncEngine.h"
#include "ui/account/AccountControls.h"
#include "ui/style/ScreenStyle.h"

#include <QApplication>
#include <QBuffer>
#include <QFontDatabase>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <QCoro/QCoroTask>

using namespace AccountControls;

namespace {
// The bundle box: at most this high, scrolling beyond.
constexpr int kBundleHeight = 140;
// The message box grows with the sheet up to this height; the buttons stay at the bottom.
constexpr int kMessageHeight = 200;
} // namespace

FeedbackView::FeedbackView(SyncEngine *sync, std::optional<QByteArray> picture,
                           std::function<void()> dismiss, QWidget *parent,
                           const Options &options)
    : AccountPart(parent, 8)
    , m_sync(sync)
    , m_picture(std::move(picture))
    , m_dismiss(std::move(dismiss))
{
    setObjectName(QStringLiteral("feedback"));
    setAutoFillBackground(true);
    column()->setContentsMargins(16, 12, 16, 16);

    // The form.
    m_form = new QWidget(this);
    m_form->setObjectName(QStringLiteral("feedback.form"));
    auto *form = new QVBoxLayout(m_form);
    form->setContentsMargins(0, 0, 0, 0);
    form->setSpacing(8);
    QLabel *title = label(m_form, [] { return L("feedback.title"); });
    title->setObjectName(QStringLiteral("feedback.title"));
    QFont headline = title->font();
    headline.setWeight(QFont::DemiBold);
    title->setFont(headline);
    form->addWidget(title);

    m_message = new QPlainTextEdit(m_form);
    m_message->setObjectName(QStringLiteral("feedback.message"));
    m_message->setTabChangesFocus(true);
    m_message->setMinimumHeight(90);
    m_message->setMaximumHeight(kMessageHeight);
    form->addWidget(m_message, 1);

    m_pictureRow = switchRow(
        m_form, [] { return L("feedback.picture"); }, QStringLiteral("feedback.picture"),
        &m_pictureSwitch);
    m_pictureSwitch->setChecked(true);
    // The switch decides nothing without a picture.
    m_pictureRow->setVisible(m_picture.has_value());
    form->addWidget(m_pictureRow);

    form->addWidget(switchRow(
        m_form, [] { return L("feedback.diagnostics"); }, QStringLiteral("feedback.diagnostics"),
        &m_diagnosticsSwitch));
    m_diagnosticsSwitch->setChecked(true);
    form->addWidget(label(
        m_form, [] { return L("feedback.diagnostics.hint"); }, true));
    m_showDiagnostics = button(m_form, [] { return L("feedback.diagnostics.show"); });
    m_showDiagnostics->setObjectName(QStringLiteral("feedback.diagnostics.show"));
    m_showDiagnostics->setCheckable(true);
    m_showDiagnostics->setFlat(true);
    form->addWidget(m_showDiagnostics, 0, Qt::AlignLeft);
    m_bundle = new QPlainTextEdit(m_form);
    m_bundle->setObjectName(QStringLiteral("feedback.bundle"));
    m_bundle->setReadOnly(true);
    m_bundle->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_bundle->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_bundle->setFixedHeight(kBundleHeight);
    m_bundle->hide();
    form->addWidget(m_bundle);

    m_problemLabel = label(m_form, {});
    m_problemLabel->setObjectName(QStringLiteral("feedback.problem"));
    m_problemLabel->hide();
    form->addWidget(m_problemLabel);

    form->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    m_spinner = new Spinner(m_form);
    m_spinner->hide();
    buttons->addWidget(m_spinner);
    buttons->addStretch(1);
    m_cancel = button(m_form, [] { return L("common.cancel"); });
    m_cancel->setObjectName(QStringLiteral("feedback.cancel"));
    m_send = button(m_form, [] { return L("feedback.send"); });
    m_send->setObjectName(QStringLiteral("feedback.send"));
    m_send->setDefault(true);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_send);
    form->addLayout(buttons);
    column()->addWidget(m_form, 1);

    // The thank-you.
    m_done = new QWidget(this);
    m_done->setObjectName(QStringLiteral("feedback.done"));
    auto *done = new QVBoxLayout(m_done);
    done->setContentsMargins(0, 24, 0, 0);
    done->setSpacing(12);
    m_doneSymbol = pictureLabel(m_done, 40);
    done->addWidget(m_doneSymbol, 0, Qt::AlignHCenter);
    QLabel *sentText = label(m_done, [] { return L("feedback.sent"); });
    sentText->setObjectName(QStringLiteral("feedback.sent"));
    sentText->setAlignment(Qt::AlignHCenter);
    done->addWidget(sentText);
    m_ok = button(m_done, [] { return L("common.ok"); });
    m_ok->setObjectName(QStringLiteral("feedback.ok"));
    m_ok->setDefault(true);
    done->addWidget(m_ok, 0, Qt::AlignHCenter);
    done->addStretch(1);
    m_done->hide();
    column()->addWidget(m_done, 1);

    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &FeedbackView::close);
    auto *sendKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    sendKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(sendKey, &QShortcut::activated, this, &FeedbackView::send);

    connect(m_message, &QPlainTextEdit::textChanged, this, &FeedbackView::scheduleRefresh);
    connect(m_showDiagnostics, &QPushButton::clicked, this, &FeedbackView::toggleDiagnostics);
    connect(m_cancel, &QPushButton::clicked, this, &FeedbackView::close);
    connect(m_ok, &QPushButton::clicked, this, &FeedbackView::close);
    connect(m_send, &QPushButton::clicked, this, &FeedbackView::send);
    setFocusProxy(m_message);
    finishBuilding();

    // The bundle reads files: a worker thread collects it while the user writes.
    auto collect = options.collect ? options.collect
                                   : std::function<Diagnostics::Bundle()>(
                                         [] { return Diagnostics::collect(); });
    auto *watcher = new QFutureWatcher<Diagnostics::Bundle>(this);
    connect(watcher, &QFutureWatcher<Diagnostics::Bundle>::finished, this, [this, watcher] {
        m_diagnostics = watcher->result();
        watcher->deleteLater();
        m_bundle->setPlainText(m_diagnostics->text);
        refresh();
        Q_EMIT diagnosticsCollected();
    });
    watcher->setFuture(QtConcurrent::run(collect));
}

FeedbackView::~FeedbackView() = default;

QString FeedbackView::message() const
{
    return m_message->toPlainText();
}

bool FeedbackView::withPicture() const
{
    return m_pictureSwitch->isChecked();
}

bool FeedbackView::withDiagnostics() const
{
    return m_diagnosticsSwitch->isChecked();
}

bool FeedbackView::canSend() const
{
    return !m_sending && !m_sent && !message().trimmed().isEmpty();
}

void FeedbackView::toggleDiagnostics()
{
    m_showingDiagnostics = !m_showingDiagnostics;
    refresh();
}

void FeedbackView::send()
{
    if (!canSend())
        return;
    m_sending = true;
    m_problem.clear();
    refresh();
    const std::optional<QByteArray> picture
        = withPicture() ? m_picture : std::optional<QByteArray>();
    std::optional<FeedbackDiagnostics> diagnostics;
    if (withDiagnostics() && m_diagnostics)
        diagnostics = FeedbackDiagnostics { m_diagnostics->text, m_diagnostics->crashReports };
    QPointer<FeedbackView> self(this);
    QCoro::connect(m_sync->sendFeedback(message().trimmed(), picture, diagnostics), this,
                   [self](const APIResult<void> &sent) {
                       if (!self)
                           return;
                       self->m_sending = false;
                       if (sent)
                           self->m_sent = true;
                       else
                           self->m_problem = L("feedback.failed", describe(sent.error()));
                       self->refresh();
                       if (self->m_sent)
                           self->m_ok->setFocus();
                       Q_EMIT self->sendingFinished();
                   });
}

void FeedbackView::close()
{
    if (m_dismiss)
        m_dismiss();
}

void FeedbackView::render()
{
    m_form->setVisible(!m_sent);
    m_done->setVisible(m_sent);
    m_message->setPlaceholderText(L("feedback.placeholder"));
    ScreenStyle::describe(m_message, L("feedback.placeholder"));
    m_message->setReadOnly(m_sending);
    m_showDiagnostics->setEnabled(m_diagnostics.has_value());
    {
        const QSignalBlocker blocker(m_showDiagnostics);
        m_showDiagnostics->setChecked(m_showingDiagnostics);
    }
    m_bundle->setVisible(m_showingDiagnostics && m_diagnostics);
    m_problemLabel->setVisible(!m_problem.isEmpty());
    m_problemLabel->setText(m_problem);
    m_spinner->setVisible(m_sending);
    m_send->setEnabled(canSend());
}

void FeedbackView::restyle()
{
    const QPalette pal = palette();
    setTextColor(m_problemLabel, ScreenStyle::orange(pal));
    setSymbolPicture(m_doneSymbol, QStringLiteral("checkmark.circle"), Icons::Tint::Accent);
}

std::optional<QByteArray> panelPicture()
{
    QWidget *window = nullptr;
    for (QWidget *candidate : QApplication::topLevelWidgets()) {
        if (candidate->isVisible() && candidate->inherits("Panel")) {
            window = candidate;
            break;
        }
    }
    if (!window)
        window = QApplication::activeWindow();
    if (!window)
        return std::nullopt;
    const QPixmap picture = window->grab();
    if (picture.isNull())
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG"))
        return std::nullopt;
    return png;
}
