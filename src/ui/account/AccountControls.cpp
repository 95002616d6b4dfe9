#include "ui/account/AccountControls.h"

#include "ui/style/ScreenStyle.h"

#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace AccountControls {

// ---- FlowLayout ------------------------------------------------------------------------------

FlowLayout::FlowLayout(QWidget *parent, int spacing)
    : QLayout(parent)
    , m_space(spacing)
{
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
}

int FlowLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem *FlowLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem *FlowLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), true);
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, false);
}

QSize FlowLayout::sizeHint() const
{
    return minimumSize();
}

QSize FlowLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem *item : m_items)
        if (!item->isEmpty())
            size = size.expandedTo(item->minimumSize());
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

int FlowLayout::arrange(const QRect &rect, bool measureOnly) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x();
    int y = area.y();
    int lineHeight = 0;
    for (QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue; // hidden buttons take no room
        const QSize hint = item->sizeHint();
        if (x > area.x() && x + hint.width() > area.right() + 1) {
            x = area.x();
            y += lineHeight + m_space;
            lineHeight = 0;
        }
        if (!measureOnly)
            item->setGeometry(
                QRect(QPoint(x, y), QSize(std::min(hint.width(), area.width()), hint.height())));
        x += hint.width() + m_space;
        lineHeight = std::max(lineHeight, hint.height());
    }
    return y + lineHeight - rect.y() + contentsMargins().bottom();
}

// ---- Switch ----------------------------------------------------------------------------------

Switch::Switch(QWidget *parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Switch::sizeHint() const
{
    return { 34, 20 };
}

void Switch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette pal = palette();
    const QRectF track = QRectF(rect()).adjusted(2, 2, -2, -2);
    const qreal radius = track.height() / 2;
    QColor fill = isChecked() ? pal.color(QPalette::Highlight)
                              : ScreenStyle::withAlpha(pal.color(QPalette::WindowText), 0.22);
    if (!isEnabled())
        fill = ScreenStyle::withAlpha(fill, fill.alphaF() * 0.45);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, radius, radius);
    const qreal knob = track.height() - 4;
    const qreal left = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    painter.setBrush(isEnabled() ? QColor(Qt::white) : QColor(235, 235, 235));
    painter.drawEllipse(QRectF(left, track.top() + 2, knob, knob));
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(pal.color(QPalette::Highlight), 1.5));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), radius + 2,
                                radius + 2);
    }
}

// ---- SwitchRow -------------------------------------------------------------------------------

SwitchRow::SwitchRow(QWidget *parent, QLabel *label, Switch *toggle)
    : QWidget(parent)
    , m_switch(toggle)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    label->setParent(this);
    toggle->setParent(this);
    row->addWidget(label, 1);
    row->addWidget(toggle, 0, Qt::AlignVCenter);
}

void SwitchRow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())
        && m_switch->isEnabled())
        m_switch->click();
}

// ---- ElidedLabel -----------------------------------------------------------------------------

ElidedLabel::ElidedLabel(QWidget *parent, Qt::TextElideMode mode)
    : QLabel(parent)
    , m_mode(mode)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString &text)
{
    if (text == m_full && !this->text().isEmpty())
        return;
    m_full = text;
    setProperty("fullText", text);
    ScreenStyle::describe(this, text);
    elide();
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        elide();
}

void ElidedLabel::elide()
{
    setText(fontMetrics().elidedText(m_full, m_mode, std::max(0, width())));
}

// ---- StatusDot -------------------------------------------------------------------------------

StatusDot::StatusDot(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(7, 7);
}

void StatusDot::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void StatusDot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawEllipse(QRectF(rect()));
}

// ---- Spinner ---------------------------------------------------------------------------------

Spinner::Spinner(QWidget *parent)
    : QWidget(parent)
    , m_timer(new QTimer(this))
{
    setFixedSize(16, 16);
    m_timer->setInterval(60);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 30) % 360;
        update();
    });
}

void Spinner::showEvent(QShowEvent *)
{
    m_timer->start();
}

void Spinner::hideEvent(QHideEvent *)
{
    m_timer->stop();
}

void Spinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ScreenStyle::secondary(palette()), 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(QRectF(rect()).adjusted(2, 2, -2, -2), -m_angle * 16, 270 * 16);
}

// ---- helpers ---------------------------------------------------------------------------------

std::optional<QUrl> webAddress(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"https" && scheme != u"http"))
        return std::nullopt;
    return url;
}

void openWebAddress(const QString &address)
{
    if (const auto url = webAddress(address))
        QDesktopServices::openUrl(*url);
}

QString link(const QUrl &url, const QString &text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>")
        .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(), text.toHtmlEscaped());
}

QColor green(const QPalette &palette)
{
    return ScreenStyle::isDark(palette) ? QColor(48, 209, 88) : QColor(40, 167, 69);
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, color);
    widget->setPalette(pal);
}

QLabel *pictureLabel(QWidget *parent, int size)
{
    auto *label = new QLabel(parent);
    label->setFixedSize(size, size);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

void setSymbolPicture(QLabel *label, const QString &symbol, Icons::Tint tint)
{
    const int size = label->width();
    const QPixmap picture = ScreenStyle::symbolPixmap(symbol, label->palette(), tint, size,
                                                      label->devicePixelRatioF());
    if (picture.isNull())
        label->setText(ScreenStyle::glyph(symbol));
    else
        label->setPixmap(picture);
}

} // namespace AccountControls
