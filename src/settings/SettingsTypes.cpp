#include "settings/SettingsTypes.h"

#include "base/Localization.h"

#include <array>

namespace {

template<typename Enum, std::size_t N>
Enum fromRaw(const std::array<std::pair<Enum, const char *>, N> &table, const QString &raw,
             Enum fallback)
{
    for (const auto &[value, name] : table)
        if (raw == QLatin1String(name))
            return value;
    return fallback;
}

template<typename Enum, std::size_t N>
QString toRaw(const std::array<std::pair<Enum, const char *>, N> &table, Enum value)
{
    for (const auto &[candidate, name] : table)
        if (candidate == value)
            return QString::fromLatin1(name);
    return {};
}

constexpr std::array<std::pair<MenuBarIcon, const char *>, 5> menuBarIconTable { {
    { MenuBarIcon::Dotted, "textformat.abc.dottedunderline" },
    { MenuBarIcon::Pencil, "pencil.and.outline" },
    { MenuBarIcon::Append, "doc.append" },
    { MenuBarIcon::Stack, "rectangle.stack" },
    { MenuBarIcon::List, "list.bullet.below.rectangle" },
} };

const std::array<HotKeyDefinition, 5> hotKeyTable { {
    { HotKeyCombo::None, "none", "hotkey.off", std::nullopt },
    { HotKeyCombo::OptionSpace, "optionSpace", "hotkey.optionSpace", Qt::AltModifier | Qt::Key_Space },
    { HotKeyCombo::ControlSpace, "controlSpace", "hotkey.controlSpace",
      Qt::ControlModifier | Qt::Key_Space },
    { HotKeyCombo::CommandShiftSpace, "commandShiftSpace", "hotkey.commandShiftSpace",
      Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Space },
    { HotKeyCombo::ControlOptionN, "controlOptionN", "hotkey.controlOptionN",
      Qt::ControlModifier | Qt::AltModifier | Qt::Key_N },
} };

struct ProviderData
{
    AIProvider provider;
    const char *rawValue;
    const char *displayName;
    const char *defaultModel;
};

// Brand names are proper names and stay untranslated in every language.
constexpr std::array<ProviderData, 5> providerTable { {
    { AIProvider::None, "none", "", "" },
    { AIProvider::Anthropic, "anthropic", "Anthropic", "claude-opus-5" },
    { AIProvider::OpenAI, "openai", "OpenAI", "gpt-5-mini" },
    { AIProvider::DeepSeek, "deepseek", "DeepSeek", "deepseek-chat" },
    { AIProvider::OpenRouter, "openrouter", "OpenRouter", "openrouter/auto" },
} };

const ProviderData &providerData(AIProvider provider)
{
    for (const auto &row : providerTable)
        if (row.provider == provider)
            return row;
    return providerTable.front();
}

} // namespace

QList<MenuBarIcon> allMenuBarIcons()
{
    QList<MenuBarIcon> list;
    for (const auto &row : menuBarIconTable)
        list.append(row.first);
    return list;
}

QList<MenuBarIcon> menuBarIconPickerOrder()
{
    return { MenuBarIcon::List, MenuBarIcon::Dotted, MenuBarIcon::Pencil, MenuBarIcon::Append,
             MenuBarIcon::Stack };
}

QString menuBarIconRawValue(MenuBarIcon icon)
{
    return toRaw(menuBarIconTable, icon);
}

MenuBarIcon menuBarIconFromRawValue(const QString &raw, MenuBarIcon fallback)
{
    return fromRaw(menuBarIconTable, raw, fallback);
}

QList<HotKeyCombo> allHotKeyCombos()
{
    QList<HotKeyCombo> list;
    for (const auto &row : hotKeyTable)
        list.append(row.combo);
    return list;
}

const HotKeyDefinition &hotKeyDefinition(HotKeyCombo combo)
{
    for (const auto &row : hotKeyTable)
        if (row.combo == combo)
            return row;
    return hotKeyTable.front();
}

QString hotKeyComboRawValue(HotKeyCombo combo)
{
    return QString::fromLatin1(hotKeyDefinition(combo).rawValue);
}

HotKeyCombo hotKeyComboFromRawValue(const QString &raw, HotKeyCombo fallback)
{
    for (const auto &row : hotKeyTable)
        if (raw == QLatin1String(row.rawValue))
            return row.combo;
    return fallback;
}

QString hotKeyComboLabel(HotKeyCombo combo)
{
    return L(hotKeyDefinition(combo).labelKey);
}

std::optional<GlobalHotKey> globalHotKey(HotKeyCombo combo)
{
    const HotKeyDefinition &definition = hotKeyDefinition(combo);
    if (!definition.keys)
        return std::nullopt;
    return GlobalHotKey { *definition.keys, hotKeyComboLabel(combo) };
}

QList<AIProvider> allAIProviders()
{
    QList<AIProvider> list;
    for (const auto &row : providerTable)
        list.append(row.provider);
    return list;
}

QString aiProviderRawValue(AIProvider provider)
{
    return QString::fromLatin1(providerData(provider).rawValue);
}

AIProvider aiProviderFromRawValue(const QString &raw, AIProvider fallback)
{
    for (const auto &row : providerTable)
        if (raw == QLatin1String(row.rawValue))
            return row.provider;
    return fallback;
}

QString aiProviderDisplayName(AIProvider provider)
{
    return QString::fromLatin1(providerData(provider).displayName);
}

QString aiProviderPickerLabel(AIProvider provider)
{
    switch (provider) {
    case AIProvider::None:
        return L("ai.provider.none");
    case AIProvider::Anthropic:
        // The picker names the model family too, so users who know "Claude" find it.
        return QStringLiteral("Claude (Anthropic)");
    default:
        return aiProviderDisplayName(provider);
    }
}

QString aiProviderDefaultModel(AIProvider provider)
{
    return QString::fromLatin1(providerData(provider).defaultModel);
}

QString aiEngineRawValue(AIEngine engine)
{
    return engine == AIEngine::Provider ? QStringLiteral("provider") : QStringLiteral("local");
}

AIEngine aiEngineFromRawValue(const QString &raw)
{
    return raw == QLatin1String("provider") ? AIEngine::Provider : AIEngine::Local;
}
