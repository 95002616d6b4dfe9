#include "ui/media/AudioBlockView.h"

#include "base/Localization.h"
#include "media/AudioPlayer.h"
#include "store/Note.h"
#include "ui/media/MediaMenu.h"
#include "ui/media/Scrubber.h"
#include "ui/style/ScreenStyle.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int playSize = 28;
constexpr int blockRadius = 8;
} // namespace

AudioBlockView::AudioBlockView(const QString &path, MediaContext media, QWidget *parent)
    : QWidget(parent), m_path(path), m_media(std::move(media))
{
    setObjectName(QStringLiteral("audioBlock"));
    m_file = m_media.resolve ? m_media.resolve(path) : QString();
    setAccessibleName(QFileInfo(m_file).fileName());
    m_player = new AudioPlayer(this);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(10);
    m_play = new QToolButton(this);
    m_play->setObjectName(QStringLiteral("play"));
    m_play->setAutoRaise(true);
    m_play->setIconSize(QSize(playSize, playSize));
    m_play->setFocusPolicy(Qt::TabFocus);
    m_play->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; background: transparent; }"));
    row->addWidget(m_play, 0, Qt::AlignVCenter);

    auto *column = new QVBoxLayout;
    column->setSpacing(4);
    column->setContentsMargins(0, 0, 0, 0);
    m_scrubber = new Scrubber(this);
    m_scrubber->setAccessibleName(QFileInfo(m_file).fileName());
    column->addWidget(m_scrubber);
    m_times = new QWidget(this);
    auto *times = new QHBoxLayout(m_times);
    times->setContentsMargins(0, 0, 0, 0);
    m_current = new QLabel(m_times);
    m_total = new QLabel(m_times);
    m_current->setObjectName(QStringLiteral("current"));
    m_total->setObjectName(QStringLiteral("total"));
    times->addWidget(m_current);
    times->addStretch(1);
    times->addWidget(m_total);
    column->addWidget(m_times);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setWordWrap(true);
    m_problem->setTextFormat(Qt::PlainText);
    column->addWidget(m_problem);
    row->addLayout(column, 1);

    if (m_media.transcribe) {
        m_transcribe = new QToolButton(this);
        m_transcribe->setObjectName(QStringLiteral("transcribe"));
        m_transcribe->setAutoRaise(true);
        m_transcribe->setIconSize(QSize(13, 13));
        m_transcribe->setFocusPolicy(Qt::TabFocus);
        row->addWidget(m_transcribe, 0, Qt::AlignVCenter);
        connect(m_transcribe, &QToolButton::clicked, this, [this] {
            if (m_media.transcribe)
                m_media.transcribe(m_path);
        });
    }

    connect(m_play, &QToolButton::clicked, m_player, &AudioPlayer::toggle);
    m_scrubber->setOnSeek([this](double fraction) { m_player->seek(fraction); });
    connect(m_player, &AudioPlayer::isPlayingChanged, this, &AudioBlockView::refresh);
    connect(m_player, &AudioPlayer::currentTimeChanged, this, &AudioBlockView::refresh);
    connect(m_player, &AudioPlayer::durationChanged, this, &AudioBlockView::refresh);
    connect(m_player, &AudioPlayer::problemChanged, this, &AudioBlockView::refresh);
    applyLook();
}

AudioBlockView::~AudioBlockView()
{
    m_player->stop();
}

void AudioBlockView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_player->load(QUrl::fromLocalFile(m_file));
    refresh();
}

void AudioBlockView::hideEvent(QHideEvent *event)
{
    m_player->stop();
    QWidget::hideEvent(event);
}

void AudioBlockView::refresh()
{
    const bool playing = m_player->isPlaying();
    const QString problem = m_player->problem();
    ScreenStyle::setupButton(m_play,
                             playing ? QStringLiteral("pause.circle.fill") : QStringLiteral("play.circle.fill"),
                             L(playing ? "player.pause" : "player.play"), Icons::Tint::Accent);
    m_play->setIconSize(QSize(playSize, playSize));
    m_play->setEnabled(problem.isEmpty());
    m_scrubber->setProgress(m_player->progress());
    m_current->setText(Attachment::formatDuration(m_player->currentTime()));
    m_total->setText(Attachment::formatDuration(m_player->duration()));
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    m_times->setVisible(problem.isEmpty());
}

void AudioBlockView::applyLook()
{
    const QPalette pal = palette();
    QFont caption = ScreenStyle::captionFont(font());
    // The desktop fonts' digits are of equal width by default, so the time does not jitter.
    for (QLabel *label : { m_current, m_total }) {
        label->setFont(caption);
        label->setStyleSheet(QStringLiteral("color: %1;").arg(ScreenStyle::secondaryOnWindow(pal).name()));
    }
    m_problem->setFont(caption);
    m_problem->setStyleSheet(QStringLiteral("color: %1;").arg(ScreenStyle::orange(pal).name()));
    if (m_transcribe)
        ScreenStyle::setupButton(m_transcribe, QStringLiteral("text.quote"), L("ai.transcribe"));
    refresh();
}

void AudioBlockView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ScreenStyle::withAlpha(ScreenStyle::secondary(palette()), 0.10));
    painter.drawRoundedRect(QRectF(rect()), blockRadius, blockRadius);
}

void AudioBlockView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = MediaMenu::create(this, m_path, Attachment::Kind::Audio, m_media);
    menu->popup(event->globalPos());
}

void AudioBlockView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyLook();
    QWidget::changeEvent(event);
}
