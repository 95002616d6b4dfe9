#pragma once

#include "platform/HotKeyBackend.h"

#include <QKeyCombination>
#include <QList>
#include <QString>

#include <optional>

/// Enumerations of the user settings. Each has a string raw value: that is what the settings
/// store and the wire carry, never the C++ enumerator. Unknown raw values read as a fallback.
// ---------------------------------------------------------------------------------------------
// Menu-bar (tray) icon style

/// The tray icon style. The raw value is the symbol name drawn in the tray.
enum class MenuBarIcon { Dotted, Pencil, Append, Stack, List };

/// Every style, in declaration order.
QList<MenuBarIcon> allMenuBarIcons();
/// The order of the settings picker ("list" first).
QList<MenuBarIcon> menuBarIconPickerOrder();
/// "textformat.abc.dottedunderline", "pencil.and.outline", "doc.append", "rectangle.stack",
/// "list.bullet.below.rectangle".
QString menuBarIconRawValue(MenuBarIcon icon);
/// Unknown raw values (including case names such as "pencil") give `fallback`.
MenuBarIcon menuBarIconFromRawValue(const QString &raw, MenuBarIcon fallback = MenuBarIcon::Dotted);

// ---------------------------------------------------------------------------------------------
// Global hot key

/// The global hot-key combinations the user can choose (raw value = case name).
enum class HotKeyCombo { None, OptionSpace, ControlSpace, CommandShiftSpace, ControlOptionN };

/// One row of the hot-key table. Pure data; the hot-key manager maps it to the platform.
struct HotKeyDefinition
{
    HotKeyCombo combo;
    const char *rawValue;
    /// Localization key of the picker label.
    const char *labelKey;
    /// The keys on this desktop; nothing for `None`. Option is Alt; Command is Ctrl, because
    /// the Super key belongs to the desktop itself on most Linux desktops.
    std::optional<QKeyCombination> keys;
};

/// All combinations in picker order (None first).
QList<HotKeyCombo> allHotKeyCombos();
const HotKeyDefinition &hotKeyDefinition(HotKeyCombo combo);
QString hotKeyComboRawValue(HotKeyCombo combo);
HotKeyCombo hotKeyComboFromRawValue(const QString &raw,
                                    HotKeyCombo fallback = HotKeyCombo::OptionSpace);
/// The localized picker label, L(label key).
QString hotKeyComboLabel(HotKeyCombo combo);
/// The combination as the desktop's hot-key facility takes it; nothing for `None`.
std::optional<GlobalHotKey> globalHotKey(HotKeyCombo combo);

// ---------------------------------------------------------------------------------------------
// AI provider and engine

/// The cloud AI provider the user chose (raw value = case name), in picker order.
enum class AIProvider { None, Anthropic, OpenAI, DeepSeek, OpenRouter };

QList<AIProvider> allAIProviders();
/// "none", "anthropic", "openai", "deepseek", "openrouter".
QString aiProviderRawValue(AIProvider provider);
AIProvider aiProviderFromRawValue(const QString &raw, AIProvider fallback = AIProvider::None);
/// Short name used in messages and as a result's source ("Anthropic", …; empty for None).
QString aiProviderDisplayName(AIProvider provider);
/// Label in the provider picker: brand names as they are, L("ai.provider.none") for None.
QString aiProviderPickerLabel(AIProvider provider);
/// The model used when the user has not entered one (empty for None).
QString aiProviderDefaultModel(AIProvider provider);

/// Where an AI job runs.
enum class AIEngine { Local, Provider };

/// "local", "provider".
QString aiEngineRawValue(AIEngine engine);
/// Only the exact text "provider" gives Provider; anything else gives Local.
AIEngine aiEngineFromRawValue(const QString &raw);
