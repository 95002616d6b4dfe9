#include "platform/linux/X11HotKey.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLoggingCategory>
#include <QtGui/qguiapplication_platform.h>

#include <X11/X.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
// Xlib's macros collide with Qt's names.
#undef None
#undef Bool
#undef Status
#undef KeyPress
#undef KeyRelease

namespace {

Q_LOGGING_CATEGORY(lcHotKey, "app.scrivelbar.app.hotkey")

// Num Lock (Mod2) and Caps Lock change the modifier state of a press; a grab matches the
// state exactly, so each combination is grabbed once per lock combination.
constexpr unsigned int lockVariants[] = { 0, LockMask, Mod2Mask, LockMask | Mod2Mask };
constexpr unsigned int relevantModifiers = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;

class X11HotKeyBackend : public HotKeyBackend, public QAbstractNativeEventFilter
{
public:
    X11HotKeyBackend()
    {
        if (auto *x11
            = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
            m_display = x11->display();
            m_connection = x11->connection();
        }
        if (m_connection) {
            const xcb_setup_t *setup = xcb_get_setup(m_connection);
            xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
            const int screen = m_display ? DefaultScreen(m_display) : 0;
            for (int i = 0; i < screen && it.rem; ++i)
                xcb_screen_next(&it);
            if (it.rem)
                m_root = it.data->root;
        }
    }

    ~X11HotKeyBackend() override
    {
        X11HotKeyBackend::unregisterKeys();
        if (m_filterInstalled && qApp)
            qApp->removeNativeEventFilter(this);
    }

    void installHandler(std::function<void()> pressed) override
    {
        m_pressed = std::move(pressed);
        if (!usable() || m_filterInstalled || !qApp)
            return;
        qApp->installNativeEventFilter(this);
        m_filterInstalled = true;
    }

    bool registerKeys(const GlobalHotKey &hotKey) override
    {
        unregisterKeys();
        const auto key = x11HotKey(hotKey.keys);
        if (!key || !usable())
            return false;
        const KeyCode code = XKeysymToKeycode(m_display, key->keysym);
        if (code == 0)
            return false;
        bool allGranted = true;
        for (unsigned int lock : lockVariants) {
            const xcb_void_cookie_t cookie
                = xcb_grab_key_checked(m_connection, 1, m_root, uint16_t(key->modifiers | lock),
                                       code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            // A checked request: a combination another client holds comes back as BadAccess
            // here instead of as a stray error in Qt's log.
            if (xcb_generic_error_t *error = xcb_request_check(m_connection, cookie)) {
                allGranted = false;
                free(error);
            }
        }
        if (!allGranted) {
            // Half a grab would fire only with some lock keys on; take nothing instead.
            for (unsigned int lock : lockVariants)
                xcb_ungrab_key(m_connection, code, m_root, uint16_t(key->modifiers | lock));
            xcb_flush(m_connection);
            qCInfo(lcHotKey) << "hot key" << QKeySequence(hotKey.keys).toString() << "is taken";
            return false;
        }
        m_keycode = code;
        m_modifiers = key->modifiers;
        return true;
    }

    bool available() const override { return usable(); }

    void unregisterKeys() override
    {
        if (!m_keycode || !usable())
            return;
        for (unsigned int lock : lockVariants)
            xcb_ungrab_key(m_connection, m_keycode, m_root, uint16_t(m_modifiers | lock));
        xcb_flush(m_connection);
        m_keycode = 0;
        m_modifiers = 0;
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (!m_keycode || eventType != "xcb_generic_event_t")
            return false;
        auto *event = static_cast<xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
            return false;
        auto *press = reinterpret_cast<xcb_key_press_event_t *>(event);
        if (press->detail != m_keycode || (press->state & relevantModifiers) != m_modifiers)
            return false;
        if (m_pressed)
            m_pressed();
        return true;
    }

private:
    bool usable() const { return m_display && m_connection && m_root; }

    Display *m_display = nullptr;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
    std::function<void()> m_pressed;
    bool m_filterInstalled = false;
    xcb_keycode_t m_keycode = 0;
    unsigned int m_modifiers = 0;
};

} // namespace

std::optional<X11HotKey> x11HotKey(QKeyCombination keys)
{
    X11HotKey key;
    const Qt::Key qtKey = keys.key();
    if (qtKey == Qt::Key_Space)
        key.keysym = XK_space;
    else if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        key.keysym = XK_a + (qtKey - Qt::Key_A); // the grab names the unshifted key
    else
        return std::nullopt;
    const Qt::KeyboardModifiers modifiers = keys.keyboardModifiers();
    if (modifiers & Qt::AltModifier)
        key.modifiers |= Mod1Mask;
    if (modifiers & Qt::ControlModifier)
        key.modifiers |= ControlMask;
    if (modifiers & Qt::ShiftModifier)
        key.modifiers |= ShiftMask;
    if (modifiers & Qt::MetaModifier)
        key.modifiers |= Mod4Mask;
    return key;
}

bool x11HotKeysAvailable()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return QGuiApplication::platformName() == QLatin1String("xcb") && x11 && x11->display();
}

std::unique_ptr<HotKeyBackend> makeX11HotKeyBackend()
{
    return std::make_unique<X11HotKeyBackend>();
}
