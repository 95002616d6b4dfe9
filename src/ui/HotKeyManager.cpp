#include "ui/HotKeyManager.h"

#include "ui/PortalHotKey.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QtGui/qguiapplication_platform.h>

#include <X11/X.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
// Xlib's macros collide with Qt and our own names (HotKeyCombo::None).
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
        X11HotKeyBackend::unregisterCombo();
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

    bool registerCombo(HotKeyCombo combo) override
    {
        unregisterCombo();
        const auto key = x11HotKey(combo);
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
            qCInfo(lcHotKey) << "hot key" << hotKeyComboRawValue(combo) << "is taken";
            return false;
        }
        m_keycode = code;
        m_modifiers = key->modifiers;
        return true;
    }

    void unregisterCombo() override
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

std::optional<X11HotKey> x11HotKey(HotKeyCombo combo)
{
    const HotKeyDefinition &definition = hotKeyDefinition(combo);
    if (!definition.keyCode)
        return std::nullopt;
    X11HotKey key;
    switch (*definition.keyCode) {
    case 49:
        key.keysym = XK_space;
        break;
    case 45:
        key.keysym = XK_n;
        break;
    default:
        return std::nullopt;
    }
    const int mask = definition.modifierMask;
    if (mask & HotKeyModifier::option)
        key.modifiers |= Mod1Mask;
    if (mask & (HotKeyModifier::control | HotKeyModifier::command))
        key.modifiers |= ControlMask;
    if (mask & HotKeyModifier::shift)
        key.modifiers |= ShiftMask;
    return key;
}

std::unique_ptr<HotKeyBackend> makeX11HotKeyBackend()
{
    return std::make_unique<X11HotKeyBackend>();
}

namespace {

// Where no global-shortcut facility exists (Wayland without the portal, offscreen), the user
// binds `scrivelbar --toggle` in the desktop's own settings instead.
class NoHotKeyBackend : public HotKeyBackend
{
public:
    void installHandler(std::function<void()>) override { }
    bool registerCombo(HotKeyCombo) override { return false; }
    void unregisterCombo() override { }
};

// The one place that picks the platform's facility.
std::unique_ptr<HotKeyBackend> makeHotKeyBackend()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (QGuiApplication::platformName() == QLatin1String("xcb") && x11 && x11->display())
        return makeX11HotKeyBackend();
    if (xdgPortalGlobalShortcutsAvailable(QDBusConnection::sessionBus()))
        return makeXdgPortalHotKeyBackend();
    qCInfo(lcHotKey) << "no global-shortcut facility; bind `scrivelbar --toggle` instead";
    return std::make_unique<NoHotKeyBackend>();
}

} // namespace

HotKeyManager::HotKeyManager(std::unique_ptr<HotKeyBackend> backend, QObject *parent)
    : QObject(parent)
    , m_backend(backend ? std::move(backend) : makeHotKeyBackend())
{
}

HotKeyManager::~HotKeyManager()
{
    if (m_registered)
        m_backend->unregisterCombo();
}

void HotKeyManager::apply(HotKeyCombo combo, std::function<void()> action)
{
    m_action = std::move(action);
    if (m_registered) {
        m_backend->unregisterCombo();
        m_registered.reset();
    }
    if (combo == HotKeyCombo::None)
        return;
    if (!m_handlerInstalled) {
        QPointer<HotKeyManager> self(this);
        m_backend->installHandler([self] {
            if (self)
                self->pressed();
        });
        m_handlerInstalled = true;
    }
    if (m_backend->registerCombo(combo))
        m_registered = combo;
}

void HotKeyManager::pressed()
{
    // Run the action from the event loop, never from inside the native event dispatch.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_action)
                m_action();
        },
        Qt::QueuedConnection);
}
