#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <initializer_list>

/// The interface languages the user can choose; the raw values are stored in the settings.
enum class AppLanguage { System, En, Es, Pt };

QString appLanguageRawValue(AppLanguage language);
/// Unknown raw values give `fallback`.
AppLanguage appLanguageFromRawValue(const QString &raw, AppLanguage fallback = AppLanguage::System);

/// Interface language, message tables and formatting. Process-wide, main thread only.
///
/// Message texts are ID-based Linguist tables compiled into the resources under ":/i18n".
/// A text refers to its arguments as %1, %2, … in the order the caller passes them. When a
/// text has plural forms, the form is chosen by the first integer argument.
namespace Localization {

/// The interface language currently in force.
AppLanguage language();
/// Sets the language, loads its message table (with the fallbacks es_ES → es, pt_BR → pt)
/// and Qt's own translations for it, so that Qt's dialogs follow the choice.
void setLanguage(AppLanguage language);

/// Locale for number and date formatting: en → "en", es → "es", pt → "pt_BR",
/// system → the system locale.
QLocale locale();

/// The name of the message table in use, e.g. "es" (empty for none). For diagnostics and tests.
QString loadedTable();

/// Overrides the folder the message tables are loaded from (tests). Empty restores ":/i18n".
void setTableDirectory(const QString &directory);

/// Looks `key` up and formats it with `arguments`. A missing key gives the key itself.
QString lookup(const char *key, const QVariantList &arguments);

} // namespace Localization

/// The user-visible text for a localization key, formatted with the interface locale.
inline QString L(const char *key)
{
    return Localization::lookup(key, {});
}

template<typename... Args>
QString L(const char *key, const Args &...arguments)
{
    return Localization::lookup(key, QVariantList{QVariant::fromValue(arguments)...});
}
