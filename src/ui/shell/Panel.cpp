#include "ui/shell/Panel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int gap = 4; // between the tray icon and the panel
constexpr int screenMargin = 8; // from the screen edge when the icon's place is unknown
constexpr int handleHeight = 5; // the strip along the free edge that drags the height
// A toggle this soon after a close on focus loss is the click that took the focus away.
constexpr qint64 sameClickMs = 300;
} // namespace

/// The strip along the panel's free edge (bottom, or top when the panel opens upwards) that
/// the user drags to change the height: a frameless window has no frame to drag.
class PanelResizeHandle : public QWidget
{
public:
    explicit PanelResizeHandle(Panel *panel)
        : QWidget(panel)
        , m_panel(panel)
    {
        setCursor(Qt::SizeVerCursor);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            m_panel->beginDrag(qRound(event->globalPosition().y()));
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        m_panel->drag(qRound(event->globalPosition().y()));
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            m_panel->endDrag();
    }

private:
    Panel *m_panel;
};

Panel::Panel(Kind kind, QWidget *parent)
    : QWidget(parent)
    , m_kind(kind)
{
    setObjectName(QStringLiteral("panel"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    setMinimumSize(panelWidth, minimumPanelHeight);
    setMaximumSize(panelWidth, maximumPanelHeight);
    if (kind == Kind::Popup) {
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        m_handle = new PanelResizeHandle(this);
    } else {
        setWindowFlags(Qt::Window);
        // A window manager resizes ordinary windows and says nothing when the drag ends:
        // the height is taken once the size has stopped changing.
        m_windowResizeEnd = new QTimer(this);
        m_windowResizeEnd->setSingleShot(true);
        m_windowResizeEnd->setInterval(400);
        connect(m_windowResizeEnd, &QTimer::timeout, this,
                [this] { Q_EMIT userResized(height()); });
    }
    resize(panelWidth, 520);
}

Panel::~Panel() = default;

void Panel::setContent(QWidget *content)
{
    if (m_content) {
        layout()->removeWidget(m_content);
        m_content->deleteLater();
    }
    m_content = content;
    if (content) {
        layout()->addWidget(content);
        setFocusProxy(content);
    }
    if (m_handle)
        m_handle->raise();
}

int Panel::storedHeight(int height)
{
    if (height < minimumPanelHeight)
        return minimumPanelHeight;
    const int capped = std::min(height, maximumPanelHeight);
    return ((capped + 10) / 20) * 20;
}

QPoint Panel::placement(const QRect &anchor, const QRect &screen, QSize panelSize)
{
    const int w = panelSize.width();
    const int h = panelSize.height();
    if (!anchor.isValid() || anchor.isEmpty())
        return { screen.x() + screen.width() - w - screenMargin, screen.y() + screenMargin };
    int x = anchor.x() + anchor.width() / 2 - w / 2;
    x = std::clamp(x, screen.left(), std::max(screen.left(), screen.x() + screen.width() - w));
    const bool below = anchor.y() + anchor.height() / 2 < screen.y() + screen.height() / 2;
    int y = below ? anchor.bottom() + 1 + gap : anchor.top() - gap - h;
    y = std::clamp(y, screen.top(), std::max(screen.top(), screen.y() + screen.height() - h));
    return { x, y };
}

void Panel::setPanelHeight(int height)
{
    const int clamped = std::clamp(height, minimumPanelHeight, maximumPanelHeight);
    if (clamped == this->height())
        return;
    m_settingHeight = true;
    if (m_growsUpward && isVisible())
        setGeometry(x(), geometry().bottom() + 1 - clamped, panelWidth, clamped);
    else
        resize(panelWidth, clamped);
    m_settingHeight = false;
}

void Panel::open(const QRect &anchor)
{
    Q_EMIT aboutToOpen();
    if (m_kind == Kind::Popup) {
        QScreen *screen = nullptr;
        if (anchor.isValid())
            screen = QGuiApplication::screenAt(anchor.center());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
        const QPoint topLeft = placement(anchor, available, size());
        m_growsUpward = anchor.isValid() && topLeft.y() < anchor.top();
        move(topLeft);
        placeHandle();
    }
    show();
    raise();
    activateWindow();
    if (m_content)
        m_content->setFocus(Qt::PopupFocusReason);
}

void Panel::dismiss()
{
    if (isVisible())
        hide();
}

void Panel::toggle(const QRect &anchor)
{
    if (isVisible()) {
        dismiss();
        return;
    }
    if (m_closedByFocusLoss.isValid() && m_closedByFocusLoss.elapsed() < sameClickMs) {
        m_closedByFocusLoss.invalidate();
        return;
    }
    open(anchor);
}

void Panel::hold()
{
    ++m_holds;
}

void Panel::release()
{
    if (m_holds > 0)
        --m_holds;
}

bool Panel::event(QEvent *event)
{
    if (event->type() == QEvent::WindowDeactivate && m_kind == Kind::Popup) {
        // Decide from the event loop: a dialog the panel opens deactivates it before the
        // dialog's hold arrives, and a window manager may bounce the focus while mapping.
        QTimer::singleShot(0, this, &Panel::focusLost);
    }
    return QWidget::event(event);
}

void Panel::focusLost()
{
    if (!isVisible() || isHeld() || isActiveWindow() || m_dragging)
        return;
    // A menu or a modal window opened from the panel has the focus: the panel stays.
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget())
        return;
    m_closedByFocusLoss.start();
    hide();
}

void Panel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void Panel::closeEvent(QCloseEvent *event)
{
    // The window manager's close button (ordinary window) hides, like a click on the tray
    // icon: the app keeps running and the hot key or `scrivelbar --toggle` brings it back.
    event->ignore();
    hide();
}

void Panel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    m_dragging = false;
    Q_EMIT closed();
}

void Panel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeHandle();
    if (m_windowResizeEnd && isVisible() && !m_settingHeight)
        m_windowResizeEnd->start();
}

void Panel::placeHandle()
{
    if (!m_handle)
        return;
    m_handle->setGeometry(0, m_growsUpward ? 0 : height() - handleHeight, panelWidth, handleHeight);
    m_handle->raise();
}

void Panel::beginDrag(int globalY)
{
    m_dragging = true;
    m_dragStartY = globalY;
    m_dragStartGeometry = geometry();
}

void Panel::drag(int globalY)
{
    if (!m_dragging)
        return;
    const int delta = globalY - m_dragStartY;
    const int h = std::clamp(m_dragStartGeometry.height() + (m_growsUpward ? -delta : delta),
                             minimumPanelHeight, maximumPanelHeight);
    if (m_growsUpward)
        setGeometry(x(), m_dragStartGeometry.bottom() + 1 - h, panelWidth, h);
    else
        resize(panelWidth, h);
}

void Panel::endDrag()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    Q_EMIT userResized(height());
}
