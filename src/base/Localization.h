#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <cstddef>
#include <initializer_list>

/// The interface languages the user can choose; the raw values are stored in the settings.
enum class AppLanguage { System, En, Es, Pt };

QString appLanguageRawValue(AppLanguage language);
/// Unknown raw values give `fallback`.
AppLanguage appLanguageFromRawValue(const QString &raw, AppLanguage fallback = AppLanguage::System);

/// Interface language, message tables and formatting. Process-wide, main thread only.
///
/// Message texts are ID-based Linguist tables ("scrivelbar_<locale>.qm") compiled into the
/// resources under ":/i18n". Every available table of the language is used, the regional one
/// first (es_ES, then es), and English is always underneath: a key missing from the language's
/// tables shows in English; a key missing everywhere shows itself.
///
/// A text refers to its arguments as %1, %2, … (also %L1: every number is formatted with
/// locale() anyway) in the order the caller passes them; %n stands for the first integer
/// argument. When a text has plural forms, the form is chosen by the first integer argument.
/// Substitution is a single pass: text inside an argument is never substituted again.
namespace Localization {

/// The interface language currently in force.
AppLanguage language();
/// Sets the language, loads its message table (with the fallbacks es_ES → es, pt_BR → pt)
/// and swaps Qt's own translations (qtbase) for those of the same language as the table in
/// use, so that Qt's dialogs and error texts never stay in the previous language or differ
/// from the sentence they appear in.
void setLanguage(AppLanguage language);

/// Locale for number and date formatting: en → "en", es → "es", pt → "pt_BR",
/// system → the system locale.
QLocale locale();
/// The locale `language` stands for (system → the system locale).
QLocale localeFor(AppLanguage language);

/// The name of the message table in use, e.g. "es" or "es_ES" (empty for none). For
/// diagnostics and tests.
QString loadedTable();

/// Overrides the folder the message tables are loaded from (tests). Empty restores ":/i18n".
/// Takes effect at once for the current language.
void setTableDirectory(const QString &directory);

/// Looks `key` up and formats it with `arguments`. A missing key gives the key itself.
QString lookup(const char *key, const QVariantList &arguments);

/// Substitutes %1…%N (and %n) in `text` with `arguments`, numbers formatted with `locale`.
/// Exposed for tests; lookup() uses it.
QString substitute(const QString &text, const QVariantList &arguments, const QLocale &locale);

namespace detail {
// Turns one L(...) argument into a QVariant; C strings become QString (UTF-8).
template<typename T> QVariant argument(const T &value)
{
    return QVariant::fromValue(value);
}
inline QVariant argument(const char *value)
{
    return QString::fromUtf8(value);
}
template<std::size_t N> QVariant argument(const char (&value)[N])
{
    return QString::fromUtf8(value);
}
} // namespace detail

} // namespace Localization

/// The user-visible text for a localization key, formatted with the interface locale.
inline QString L(const char *key)
{
    return Localization::lookup(key, {});
}

template<typename... Args> QString L(const char *key, const Args &...arguments)
{
    return Localization::lookup(key, QVariantList { Localization::detail::argument(arguments)... });
}
