#include "ui/recording/RecordingView.h"

#include "base/Localization.h"
#include "store/Note.h"
#include "ui/style/ScreenStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int stateSymbolSize = 32;
constexpr int clockPixels = 40;
constexpr int dotSize = 10;

QWidget *column(QWidget *parent, QVBoxLayout **layout)
{
    auto *page = new QWidget(parent);
    *layout = new QVBoxLayout(page);
    (*layout)->setContentsMargins(16, 0, 16, 0);
    (*layout)->setSpacing(10);
    (*layout)->setAlignment(Qt::AlignCenter);
    return page;
}

QLabel *centred(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

RecordingView::RecordingView(AudioRecorder::Options options, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("recording"));
    m_recorder = new AudioRecorder(std::move(options), this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 14);
    layout->addStretch(1);
    m_states = new QStackedWidget(this);
    layout->addWidget(m_states);
    layout->addStretch(1);

    QVBoxLayout *box = nullptr;
    m_waiting = column(m_states, &box);
    m_spinner = new QProgressBar(m_waiting);
    m_spinner->setRange(0, 0);
    m_spinner->setTextVisible(false);
    m_spinner->setFixedSize(120, 6);
    m_waitingText = centred(m_waiting);
    m_waitingText->setText(L("recorder.requesting"));
    box->addWidget(m_spinner, 0, Qt::AlignHCenter);
    box->addWidget(m_waitingText);
    m_states->addWidget(m_waiting);

    m_denied = column(m_states, &box);
    m_deniedIcon = centred(m_denied);
    m_deniedTitle = centred(m_denied);
    m_deniedTitle->setText(L("recorder.permission.title"));
    m_deniedBody = centred(m_denied);
    m_deniedBody->setText(L("recorder.permission.body"));
    m_settings = new QPushButton(L("recorder.permission.open"), m_denied);
    ScreenStyle::describe(m_settings, L("recorder.permission.open"));
    m_settings->setVisible(!AudioRecorder::soundSettingsCommand().isEmpty());
    m_settings->setAutoDefault(false);
    box->addWidget(m_deniedIcon);
    box->addWidget(m_deniedTitle);
    box->addWidget(m_deniedBody);
    box->addWidget(m_settings, 0, Qt::AlignHCenter);
    m_states->addWidget(m_denied);

    m_recording = column(m_states, &box);
    auto *label = new QWidget(m_recording);
    auto *labelRow = new QHBoxLayout(label);
    labelRow->setContentsMargins(0, 0, 0, 0);
    labelRow->setSpacing(6);
    m_dot = new QLabel(label);
    m_dot->setFixedSize(dotSize, dotSize);
    m_recordingLabel = new QLabel(L("recorder.recording"), label);
    labelRow->addStretch(1);
    labelRow->addWidget(m_dot);
    labelRow->addWidget(m_recordingLabel);
    labelRow->addStretch(1);
    m_clock = centred(m_recording);
    m_clock->setObjectName(QStringLiteral("clock"));
    m_stop = new QPushButton(L("recorder.stop"), m_recording);
    m_stop->setObjectName(QStringLiteral("stop"));
    ScreenStyle::describe(m_stop, L("recorder.stop"));
    m_stop->setDefault(true);
    box->addWidget(label);
    box->addWidget(m_clock);
    box->addWidget(m_stop, 0, Qt::AlignHCenter);
    m_states->addWidget(m_recording);

    m_failed = column(m_states, &box);
    m_failedIcon = centred(m_failed);
    m_failedText = centred(m_failed);
    m_failedText->setObjectName(QStringLiteral("failure"));
    box->addWidget(m_failedIcon);
    box->addWidget(m_failedText);
    m_states->addWidget(m_failed);

    m_cancel = new QPushButton(L("recorder.cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    ScreenStyle::describe(m_cancel, L("recorder.cancel"));
    m_cancel->setAutoDefault(false);
    layout->addWidget(m_cancel, 0, Qt::AlignHCenter);

    connect(m_stop, &QPushButton::clicked, this, &RecordingView::stop);
    connect(m_cancel, &QPushButton::clicked, this, &RecordingView::cancel);
    connect(m_settings, &QPushButton::clicked, this, [] { AudioRecorder::openSoundSettings(); });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &RecordingView::cancel);
    for (const auto key : { Qt::Key_Return, Qt::Key_Enter }) {
        auto *stopKey = new QShortcut(QKeySequence(key), this);
        stopKey->setContext(Qt::WidgetWithChildrenShortcut);
        connect(stopKey, &QShortcut::activated, this, [this] {
            // Return stops a running take only; in every other state it does nothing.
            if (m_recorder->status().kind == AudioRecorder::Status::Kind::Recording)
                stop();
        });
    }
    connect(m_recorder, &AudioRecorder::statusChanged, this, &RecordingView::refresh);
    connect(m_recorder, &AudioRecorder::elapsedChanged, this, &RecordingView::refresh);
    applyLook();
}

RecordingView::~RecordingView()
{
    m_recorder->cancel();
}

QString RecordingView::page() const
{
    QWidget *current = m_states->currentWidget();
    return current == m_denied  ? QStringLiteral("denied")
        : current == m_recording ? QStringLiteral("recording")
        : current == m_failed    ? QStringLiteral("failed")
                                 : QStringLiteral("waiting");
}

void RecordingView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    setFocus(Qt::OtherFocusReason);
    if (m_started)
        return;
    m_started = true;
    // From the event loop, so the screen is up before a permission prompt could be.
    QTimer::singleShot(0, this, [this] {
        Q_EMIT holdPanel();
        m_recorder->start();
        Q_EMIT releasePanel();
    });
}

void RecordingView::stop()
{
    if (const auto take = m_recorder->stop())
        Q_EMIT finished(take->file, take->duration);
    else
        Q_EMIT cancelled();
}

void RecordingView::cancel()
{
    m_recorder->cancel();
    Q_EMIT cancelled();
}

void RecordingView::refresh()
{
    using Kind = AudioRecorder::Status::Kind;
    const AudioRecorder::Status status = m_recorder->status();
    switch (status.kind) {
    case Kind::Idle:
    case Kind::RequestingPermission:
        m_states->setCurrentWidget(m_waiting);
        break;
    case Kind::Denied:
        m_states->setCurrentWidget(m_denied);
        break;
    case Kind::Recording:
        m_states->setCurrentWidget(m_recording);
        break;
    case Kind::Failed:
        m_failedText->setText(status.message);
        m_states->setCurrentWidget(m_failed);
        break;
    }
    m_clock->setText(Attachment::formatDuration(m_recorder->elapsed()));
    m_clock->setAccessibleName(m_clock->text());
}

void RecordingView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyLook();
    QWidget::changeEvent(event);
}

void RecordingView::applyLook()
{
    const QPalette pal = palette();
    const qreal ratio = devicePixelRatioF();
    const QString secondary = QStringLiteral("color: %1;").arg(ScreenStyle::secondaryOnWindow(pal).name());
    const QFont caption = ScreenStyle::captionFont(font());
    for (QLabel *label : { m_waitingText, m_deniedBody, m_failedText }) {
        label->setFont(caption);
        label->setStyleSheet(secondary);
    }
    QFont title = font();
    title.setWeight(QFont::Medium);
    m_deniedTitle->setFont(title);
    m_deniedIcon->setPixmap(ScreenStyle::symbolPixmap(QStringLiteral("mic.slash"), pal, Icons::Tint::Text,
                                                      stateSymbolSize, ratio));
    m_failedIcon->setPixmap(Icons::pixmap(QStringLiteral("exclamationmark.triangle"), ScreenStyle::orange(pal),
                                          QSize(stateSymbolSize, stateSymbolSize), ratio));
    m_dot->setStyleSheet(QStringLiteral("background: %1; border-radius: %2px;")
                             .arg(ScreenStyle::red(pal).name())
                             .arg(dotSize / 2));
    QFont clockFont = font();
    clockFont.setPixelSize(clockPixels);
    clockFont.setWeight(QFont::Light);
    m_clock->setFont(clockFont);
    m_stop->setIcon(Icons::icon(QStringLiteral("stop.circle.fill"), pal, Icons::Tint::Accent));
    m_stop->setIconSize(QSize(18, 18));
    m_stop->setMinimumWidth(120);
    refresh();
}
