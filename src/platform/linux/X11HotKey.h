#pragma once

#include "platform/HotKeyBackend.h"

#include <memory>
#include <optional>

/// An X11 key: a keysym and a core modifier mask (ShiftMask, ControlMask, Mod1Mask, …).
struct X11HotKey
{
    unsigned long keysym = 0;
    unsigned int modifiers = 0;
    bool operator==(const X11HotKey &) const = default;
};

/// The X11 form of a key combination: Alt → Mod1, Ctrl → Control, Shift → Shift, Meta → Mod4.
/// Only Space and the letters are supported; nothing for any other key.
std::optional<X11HotKey> x11HotKey(QKeyCombination keys);

/// True when Qt runs on X11 with a display (not offscreen, not Wayland).
bool x11HotKeysAvailable();

/// Grabs the key on the root window of Qt's own X connection, with the Num Lock and Caps
/// Lock variants, and watches for its presses through a native event filter. Does nothing
/// (every registration fails) when the platform is not X11 or its display is null (offscreen).
std::unique_ptr<HotKeyBackend> makeX11HotKeyBackend();
