#pragma once

#include <QKeyCombination>
#include <QString>

#include <functional>
#include <memory>

/// A global hot key as the desktop sees it: the keys, and a label for the desktop's own
/// shortcut settings (the portal shows it).
struct GlobalHotKey
{
    QKeyCombination keys;
    QString label;
    bool operator==(const GlobalHotKey &) const = default;
};

/// The platform's global-shortcut facility, reduced to what the hot key needs: install a
/// press handler once, register one combination, unregister it.
class HotKeyBackend
{
public:
    virtual ~HotKeyBackend() = default;
    /// Called once, before the first registration. `pressed` runs on the main thread.
    virtual void installHandler(std::function<void()> pressed) = 0;
    /// Registers `hotKey`. False when the desktop refused it (e.g. taken).
    virtual bool registerKeys(const GlobalHotKey &hotKey) = 0;
    /// Removes the registered combination.
    virtual void unregisterKeys() = 0;

    /// False when this desktop offers no global-shortcut facility at all: every registration
    /// fails, and no other combination would do better.
    virtual bool available() const { return true; }
    /// True when a successful `registerKeys` only means "asked": the desktop answers later,
    /// through the outcome handler.
    virtual bool confirmsLater() const { return false; }
    /// For a backend that confirms later: `outcome(true)` when the desktop bound the current
    /// combination, `outcome(false)` when it refused it. Runs on the main thread.
    virtual void installOutcomeHandler(std::function<void(bool bound)>) { }

    /// The desktop's facility: an X11 key grab, else the GlobalShortcuts portal, else one
    /// that refuses every key (the user binds `scrivelbar --toggle` instead).
    static std::unique_ptr<HotKeyBackend> create();
};
