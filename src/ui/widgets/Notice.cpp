#include "ui/widgets/Notice.h"

#include "ui/style/ScreenStyle.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QTimer>

Notice::Notice(Edge edge, int offset, QWidget *parent)
    : QLabel(parent), m_edge(edge), m_offset(offset)
{
    setObjectName(QStringLiteral("notice"));
    setFont(ScreenStyle::captionFont(font()));
    setAlignment(Qt::AlignCenter);
    setWordWrap(false);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setContentsMargins(10, 5, 10, 5);
    m_opacity = new QGraphicsOpacityEffect(this);
    setGraphicsEffect(m_opacity);
    m_slide = new QPropertyAnimation(this, "pos", this);
    m_fade = new QPropertyAnimation(m_opacity, "opacity", this);
    for (auto *animation : { m_slide, m_fade }) {
        animation->setDuration(int(animationDuration.count()));
        animation->setEasingCurve(QEasingCurve::OutCubic);
    }
    parent->installEventFilter(this);
    hide();
}

void Notice::showMessage(const QString &message)
{
    // A generation number rather than the text decides who may clear: the same message
    // shown twice must also get its full time.
    const quint64 generation = ++m_generation;
    m_message = message;
    setText(message);
    const QPalette pal = parentWidget()->palette();
    const QColor background
        = ScreenStyle::withAlpha(pal.color(QPalette::ToolTipBase), ScreenStyle::isDark(pal) ? 0.92 : 0.95);
    setStyleSheet(QStringLiteral("QLabel#notice { background: %1; color: %2; border: 1px solid %3;"
                                 " border-radius: %4px; }")
                      .arg(background.name(QColor::HexArgb), pal.color(QPalette::ToolTipText).name(),
                           ScreenStyle::withAlpha(pal.color(QPalette::Mid), 0.6).name(QColor::HexArgb))
                      .arg(sizeHint().height() / 2));
    adjustSize();
    const QPoint rest = restingPosition();
    const QPoint start = rest + QPoint(0, m_edge == Edge::Top ? -height() / 2 : height() / 2);
    m_slide->stop();
    m_fade->stop();
    m_slide->setStartValue(start);
    m_slide->setEndValue(rest);
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    move(start);
    QLabel::show();
    raise();
    m_slide->start();
    m_fade->start();
    Q_EMIT messageChanged(m_message);
    QTimer::singleShot(m_duration, this, [this, generation] {
        if (generation == m_generation)
            clear();
    });
}

void Notice::clear()
{
    m_message.clear();
    hide();
    Q_EMIT messageChanged(m_message);
}

QPoint Notice::restingPosition() const
{
    const QWidget *parent = parentWidget();
    const int x = (parent->width() - width()) / 2;
    const int y = m_edge == Edge::Top ? m_offset : parent->height() - height() - m_offset;
    return { x, y };
}

void Notice::place()
{
    if (!isVisible())
        return;
    adjustSize();
    if (m_slide->state() != QAbstractAnimation::Running)
        move(restingPosition());
}

bool Notice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        place();
    return QLabel::eventFilter(watched, event);
}
