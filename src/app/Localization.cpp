// Placeholder until the full message-table loading lands.
#include "app/Localization.h"

#include <QCoreApplication>

namespace {
AppLanguage g_language = AppLanguage::System;
}

QString appLanguageRawValue(AppLanguage language)
{
    switch (language) {
    case AppLanguage::System: return QStringLiteral("system");
    case AppLanguage::En: return QStringLiteral("en");
    case AppLanguage::Es: return QStringLiteral("es");
    case AppLanguage::Pt: return QStringLiteral("pt");
    }
    return QStringLiteral("system");
}

AppLanguage appLanguageFromRawValue(const QString &raw, AppLanguage fallback)
{
    for (auto l : {AppLanguage::System, AppLanguage::En, AppLanguage::Es, AppLanguage::Pt})
        if (appLanguageRawValue(l) == raw)
            return l;
    return fallback;
}

namespace Localization {
AppLanguage language() { return g_language; }
void setLanguage(AppLanguage language) { g_language = language; }
QLocale locale() { return QLocale(QStringLiteral("en")); }
QString loadedTable() { return {}; }
void setTableDirectory(const QString &) {}
QString lookup(const char *key, const QVariantList &arguments)
{
    QString text = QString::fromUtf8(key);
    for (const auto &a : arguments)
        text += QLatin1Char(' ') + a.toString();
    return text;
}
} // namespace Localization
