#pragma once

#include <QElapsedTimer>
#include <QRect>
#include <QWidget>

class QTimer;

/// The one window of the app: a frameless panel that hangs under the tray icon, 380 wide,
/// whose height the user drags between 380 and 900. It is transient (it closes when it loses
/// focus) unless held by a modal dialog. Without a system tray it is an ordinary small window.
class Panel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int panelWidth = 380;
    static constexpr int minimumPanelHeight = 380;
    static constexpr int maximumPanelHeight = 900;

    enum class Kind { Popup, Window };

    explicit Panel(Kind kind, QWidget *parent = nullptr);
    ~Panel() override;

    Kind kind() const { return m_kind; }

    /// Puts `content` inside the 1-pixel border.
    void setContent(QWidget *content);
    QWidget *content() const { return m_content; }

    /// The height to store after the user's resize ended at `height`: 380 below 380,
    /// otherwise capped at 900 and rounded to the nearest multiple of 20.
    static int storedHeight(int height);
    /// Where the panel's top-left goes: centred under `anchor` (the tray icon), or above it
    /// when the icon sits in the lower half of the screen, kept inside `screen`; at the
    /// top-right of `screen` when `anchor` is unknown (invalid).
    static QPoint placement(const QRect &anchor, const QRect &screen, QSize panelSize);

    /// Sets the height (clamped to 380…900); the width stays 380.
    void setPanelHeight(int height);

    /// Shows the panel placed at `anchor` (see placement) and gives it the keyboard focus.
    void open(const QRect &anchor);
    /// Hides the panel; `closed` follows.
    void dismiss();
    /// Opens the panel when it is closed, closes it when it is open. A request that comes
    /// right after the panel closed itself on losing focus is the same click that took the
    /// focus away (a click on the tray icon): it leaves the panel closed.
    void toggle(const QRect &anchor);

    /// "Hold": the panel no longer closes on losing focus, until as many releases came.
    void hold();
    void release();
    bool isHeld() const { return m_holds > 0; }

Q_SIGNALS:
    /// About to show (the resize tracking starts).
    void aboutToOpen();
    /// The panel was hidden, whatever the reason.
    void closed();
    /// The user's own resize ended at this height.
    void userResized(int height);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    friend class PanelResizeHandle;
    void beginDrag(int globalY);
    void drag(int globalY);
    void endDrag();
    void focusLost();
    void placeHandle();

    Kind m_kind;
    QWidget *m_content = nullptr;
    int m_holds = 0;
    QWidget *m_handle = nullptr;
    bool m_growsUpward = false;
    bool m_dragging = false;
    bool m_settingHeight = false;
    int m_dragStartY = 0;
    QRect m_dragStartGeometry;
    QTimer *m_windowResizeEnd = nullptr;
    QElapsedTimer m_closedByFocusLoss;
};
