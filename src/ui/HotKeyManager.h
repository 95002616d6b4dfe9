#pragma once

#include "app/SettingsTypes.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

/// The platform's global-shortcut facility, reduced to what the hot key needs: install a
/// press handler once, register one combination, unregister it.
class HotKeyBackend
{
public:
    virtual ~HotKeyBackend() = default;
    /// Called once, before the first registration. `pressed` runs on the main thread.
    virtual void installHandler(std::function<void()> pressed) = 0;
    /// Registers `combo` (never None). False when the desktop refused it (e.g. taken).
    virtual bool registerCombo(HotKeyCombo combo) = 0;
    /// Removes the registered combination.
    virtual void unregisterCombo() = 0;
};

/// An X11 key: a keysym and a core modifier mask (ShiftMask, ControlMask, Mod1Mask, …).
struct X11HotKey
{
    unsigned long keysym = 0;
    unsigned int modifiers = 0;
    bool operator==(const X11HotKey &) const = default;
};

/// The X11 form of a combination: Option → Alt (Mod1), Control → Ctrl, Command → Ctrl (the
/// Super key is the desktop's own on most Linux desktops), Shift → Shift. Nothing for None.
std::optional<X11HotKey> x11HotKey(HotKeyCombo combo);

/// Grabs the key on the root window of Qt's own X connection, with the Num Lock and Caps
/// Lock variants, and watches for its presses through a native event filter. Does nothing
/// (every registration fails) when the platform is not X11 or its display is null (offscreen).
std::unique_ptr<HotKeyBackend> makeX11HotKeyBackend();

/// The global hot key. At most one combination is registered at any time; `apply` replaces
/// it (unregistering the old one first). A refused registration is not reported: the hot key
/// simply does not fire.
class HotKeyManager : public QObject
{
    Q_OBJECT
public:
    /// `backend` null → the X11 backend.
    explicit HotKeyManager(std::unique_ptr<HotKeyBackend> backend = nullptr,
                           QObject *parent = nullptr);
    ~HotKeyManager() override;

    /// Makes `combo` the hot key with `action` to run on a press; None removes the hot key.
    void apply(HotKeyCombo combo, std::function<void()> action);

    /// The combination currently registered with the desktop, if any.
    std::optional<HotKeyCombo> registered() const { return m_registered; }
    bool handlerInstalled() const { return m_handlerInstalled; }

private:
    void pressed();

    std::unique_ptr<HotKeyBackend> m_backend;
    std::function<void()> m_action;
    std::optional<HotKeyCombo> m_registered;
    bool m_handlerInstalled = false;
};
