#include "ui/media/Scrubber.h"

#include "ui/style/ScreenStyle.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

Scrubber::Scrubber(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(barHeight + 4);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

void Scrubber::setProgress(double progress)
{
    progress = std::clamp(progress, 0.0, 1.0);
    if (progress == m_progress)
        return;
    m_progress = progress;
    update();
}

double Scrubber::fractionAt(double x, double width)
{
    if (width <= 0)
        return 0;
    return std::clamp(x / width, 0.0, 1.0);
}

void Scrubber::seekTo(double fraction)
{
    if (m_onSeek)
        m_onSeek(fraction);
}

void Scrubber::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QPalette pal = palette();
    const QRectF track(0, (height() - barHeight) / 2.0, width(), barHeight);
    painter.setBrush(ScreenStyle::withAlpha(ScreenStyle::secondary(pal), 0.25));
    painter.drawRoundedRect(track, barHeight / 2.0, barHeight / 2.0);
    const double played = std::max(0.0, m_progress * track.width());
    if (played > 0) {
        painter.setBrush(pal.color(QPalette::Highlight));
        painter.drawRoundedRect(QRectF(track.left(), track.top(), played, track.height()),
                                barHeight / 2.0, barHeight / 2.0);
    }
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(pal.color(QPalette::Highlight), 1));
        painter.drawRoundedRect(rect().adjusted(0, 0, -1, -1), 4, 4);
    }
}

void Scrubber::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        seekTo(fractionAt(event->position().x(), width()));
    event->accept();
}

void Scrubber::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        seekTo(fractionAt(event->position().x(), width()));
    event->accept();
}

void Scrubber::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
        const double step = event->key() == Qt::Key_Left ? -0.05 : 0.05;
        seekTo(std::clamp(m_progress + step, 0.0, 1.0));
        return;
    }
    QWidget::keyPressEvent(event);
}
