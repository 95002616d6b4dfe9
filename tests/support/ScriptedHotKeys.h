#pragma once

#include "platform/HotKeyBackend.h"
#include "settings/SettingsTypes.h"

#include <QStringList>

#include <functional>
#include <optional>

/// A desktop's hot-key facility that records the calls (by the combination's raw value) and
/// can refuse combinations, as when another program holds them, or be missing altogether.
struct ScriptedHotKeys : HotKeyBackend
{
    QStringList *log;
    std::function<void()> *press;
    std::optional<HotKeyCombo> taken;
    /// Further combinations other programs hold.
    QList<HotKeyCombo> alsoTaken;
    /// True: no global-shortcut facility on this desktop.
    bool unavailable = false;
    ScriptedHotKeys(QStringList *log, std::function<void()> *press)
        : log(log)
        , press(press)
    {
    }
    void installHandler(std::function<void()> pressed) override
    {
        *log << QStringLiteral("install");
        *press = std::move(pressed);
    }
    bool registerKeys(const GlobalHotKey &hotKey) override
    {
        const HotKeyCombo combo = comboOf(hotKey);
        *log << QStringLiteral("register ") + hotKeyComboRawValue(combo);
        return combo != taken && !alsoTaken.contains(combo);
    }
    void unregisterKeys() override { *log << QStringLiteral("unregister"); }
    bool available() const override { return !unavailable; }

    static HotKeyCombo comboOf(const GlobalHotKey &hotKey)
    {
        for (HotKeyCombo combo : allHotKeyCombos())
            if (globalHotKey(combo) == hotKey)
                return combo;
        return HotKeyCombo::None;
    }
};
