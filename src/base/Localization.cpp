#include "base/Localization.h"

#include "base/VariantTypes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

namespace {

const QString tablePrefix = QStringLiteral("scrivelbar_");

struct State
{
    AppLanguage language = AppLanguage::System;
    QString directory; // empty: the compiled-in resources
    bool loaded = false;
    // The chosen language's tables, best first (es_ES, then es), English excluded.
    std::vector<std::unique_ptr<QTranslator>> tables;
    std::unique_ptr<QTranslator> english; // always underneath as the fallback
    QString tableName;
    // Qt's own catalogues in the language of tableName, installed in the application.
    std::vector<std::unique_ptr<QTranslator>> qtTranslations;
};

State &state()
{
    static State s;
    return s;
}

QString tableDirectory()
{
    const QString &dir = state().directory;
    return dir.isEmpty() ? QStringLiteral(":/i18n") : dir;
}

bool tableExists(const QString &name)
{
    return QFileInfo(QDir(tableDirectory()).filePath(tablePrefix + name + QStringLiteral(".qm")))
        .isFile();
}

std::unique_ptr<QTranslator> loadTable(const QString &name)
{
    auto translator = std::make_unique<QTranslator>();
    const QString path
        = QDir(tableDirectory()).filePath(tablePrefix + name + QStringLiteral(".qm"));
    // The exact file, never QTranslator's own name guessing, so the fallback order is ours.
    if (!translator->load(path))
        return nullptr;
    return translator;
}

void addUnique(QStringList &list, const QString &name)
{
    if (!name.isEmpty() && !list.contains(name))
        list.append(name);
}

// Table names to try, best first.
QStringList candidates(AppLanguage language)
{
    switch (language) {
    case AppLanguage::En:
        return { QStringLiteral("en") };
    case AppLanguage::Es:
        return { QStringLiteral("es_ES"), QStringLiteral("es") };
    case AppLanguage::Pt:
        return { QStringLiteral("pt_BR"), QStringLiteral("pt") };
    case AppLanguage::System:
        break;
    }
    // Follow the user's preferred interface languages in order. For each: its exact regional
    // table, then the bare language, then that language's main region (a pt_PT user gets
    // pt_BR rather than English when that is the only Portuguese table).
    QStringList names;
    for (const QString &ui : QLocale::system().uiLanguages()) {
        const QLocale locale(ui);
        if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
            continue;
        const QString name = locale.name();
        const QString bare = name.section(QLatin1Char('_'), 0, 0);
        addUnique(names, name);
        addUnique(names, bare);
        addUnique(names, QLocale(bare).name());
    }
    return names;
}

// Qt's catalogues whose texts reach the user: dialog buttons, file and network errors.
const QStringList qtCatalogues { QStringLiteral("qtbase") };

// Qt's texts (a network error inside one of our sentences, a dialog's buttons) follow the table
// actually in use, not the locale: with a system language we have no table for, the sentence is
// English and so is the error inside it.
void installQtTranslations()
{
    State &s = state();
    std::vector<std::unique_ptr<QTranslator>> next;
    QStringList names;
    addUnique(names, s.tableName);
    addUnique(names, s.tableName.section(QLatin1Char('_'), 0, 0));
    const QDir dir(QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    for (const QString &catalogue : qtCatalogues) {
        for (const QString &name : names) {
            auto translator = std::make_unique<QTranslator>();
            if (translator->load(dir.filePath(catalogue + u'_' + name + QStringLiteral(".qm")))) {
                next.push_back(std::move(translator));
                break;
            }
        }
    }
    // Every catalogue of the previous language goes, so no Qt text stays behind in it.
    if (QCoreApplication::instance()) {
        for (const auto &old : s.qtTranslations)
            QCoreApplication::removeTranslator(old.get());
        for (const auto &translator : next)
            QCoreApplication::installTranslator(translator.get());
    }
    s.qtTranslations = std::move(next);
}

void ensureLoaded()
{
    State &s = state();
    if (s.loaded)
        return;
    s.loaded = true;
    s.english = loadTable(QStringLiteral("en"));
    s.tables.clear();
    s.tableName.clear();
    // Every available candidate stays loaded, so a regional table (es_ES) only needs the
    // texts that differ from the general one (es).
    for (const QString &name : candidates(s.language)) {
        if (!tableExists(name))
            continue;
        if (name == QLatin1String("en")) {
            if (s.tableName.isEmpty())
                s.tableName = name;
            break;
        }
        if (auto table = loadTable(name)) {
            if (s.tableName.isEmpty())
                s.tableName = name;
            s.tables.push_back(std::move(table));
        }
    }
    if (s.tableName.isEmpty() && s.english)
        s.tableName = QStringLiteral("en");
    installQtTranslations();
}

QString format(const QVariant &value, const QLocale &locale)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return locale.toString(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
        return locale.toString(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        // Shortest form that reads back as the same number, never in exponent notation.
        return locale.toString(value.toDouble(), 'f', QLocale::FloatingPointShortest);
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    default:
        return value.toString();
    }
}

// The plural selector: the first integer argument, -1 when there is none.
int pluralCount(const QVariantList &arguments)
{
    for (const QVariant &argument : arguments) {
        if (!isIntegerType(argument))
            continue;
        bool ok = false;
        const qlonglong n = argument.toLongLong(&ok);
        if (!ok) // an unsigned value beyond the signed range
            return std::numeric_limits<int>::max();
        return int(std::clamp<qlonglong>(n, std::numeric_limits<int>::min(),
                                         std::numeric_limits<int>::max()));
    }
    return -1;
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

QString appLanguageRawValue(AppLanguage language)
{
    switch (language) {
    case AppLanguage::System:
        return QStringLiteral("system");
    case AppLanguage::En:
        return QStringLiteral("en");
    case AppLanguage::Es:
        return QStringLiteral("es");
    case AppLanguage::Pt:
        return QStringLiteral("pt");
    }
    return QStringLiteral("system");
}

AppLanguage appLanguageFromRawValue(const QString &raw, AppLanguage fallback)
{
    for (auto l : { AppLanguage::System, AppLanguage::En, AppLanguage::Es, AppLanguage::Pt })
        if (appLanguageRawValue(l) == raw)
            return l;
    return fallback;
}

namespace Localization {

AppLanguage language()
{
    return state().language;
}

void setLanguage(AppLanguage language)
{
    State &s = state();
    s.language = language;
    s.loaded = false;
    ensureLoaded();
}

QLocale localeFor(AppLanguage language)
{
    switch (language) {
    case AppLanguage::En:
        return QLocale(QLocale::English, QLocale::UnitedStates);
    case AppLanguage::Es:
        return QLocale(QLocale::Spanish, QLocale::Spain);
    case AppLanguage::Pt:
        return QLocale(QLocale::Portuguese, QLocale::Brazil);
    case AppLanguage::System:
        break;
    }
    return QLocale::system();
}

QLocale locale()
{
    return localeFor(state().language);
}

QString loadedTable()
{
    ensureLoaded();
    return state().tableName;
}

void setTableDirectory(const QString &directory)
{
    State &s = state();
    s.directory = directory;
    s.loaded = false;
}

QString lookup(const char *key, const QVariantList &arguments)
{
    if (!key)
        return {};
    ensureLoaded();
    const State &s = state();
    const int n = pluralCount(arguments);
    const auto translate = [&](const QTranslator &table) {
        QString found = table.translate(nullptr, key, nullptr, n);
        // A plural count picks among a message's forms; a message without plural forms stores
        // only one, which the translator then does not find for counts of the "other" class.
        if (found.isEmpty() && n >= 0)
            found = table.translate(nullptr, key, nullptr, -1);
        return found;
    };
    QString text;
    for (const auto &table : s.tables) {
        text = translate(*table);
        if (!text.isEmpty())
            break;
    }
    if (text.isEmpty() && s.english)
        text = translate(*s.english);
    if (text.isEmpty())
        text = QString::fromUtf8(key);
    if (arguments.isEmpty())
        return text;
    return substitute(text, arguments, locale());
}

QString substitute(const QString &text, const QVariantList &arguments, const QLocale &locale)
{
    if (arguments.isEmpty())
        return text;
    const qsizetype count = arguments.size();
    const auto firstInteger = std::find_if(arguments.begin(), arguments.end(), isIntegerType);
    QString out;
    out.reserve(text.size() + 16 * count);
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('%')) {
            out += c;
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        if (j < size && text.at(j) == QLatin1Char('L'))
            ++j;
        if (j < size && isAsciiDigit(text.at(j))) {
            const int first = text.at(j).unicode() - '0';
            if (j + 1 < size && isAsciiDigit(text.at(j + 1))) {
                const int two = first * 10 + (text.at(j + 1).unicode() - '0');
                if (two >= 1 && two <= count) {
                    out += format(arguments.at(two - 1), locale);
                    i = j + 2;
                    continue;
                }
            }
            if (first >= 1 && first <= count) {
                out += format(arguments.at(first - 1), locale);
                i = j + 1;
                continue;
            }
        } else if (j < size && text.at(j) == QLatin1Char('n') && firstInteger != arguments.end()) {
            out += format(*firstInteger, locale);
            i = j + 1;
            continue;
        }
        // Not a placeholder we can fill: keep the percent sign as written.
        out += c;
        ++i;
    }
    return out;
}

} // namespace Localization
