#include "TestSupport.h"

#include "base/Localization.h"
#include "settings/SettingsTypes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

namespace {

// A folder holding only the named test tables, e.g. {"en", "es"}.
QString tablesWith(const QTemporaryDir &dir, const QStringList &names)
{
    for (const QString &name : names) {
        const QString file = QStringLiteral("scrivelbar_%1.qm").arg(name);
        if (!QFile::copy(QDir(QStringLiteral(TEST_TABLES_DIR)).filePath(file), dir.filePath(file)))
            qFatal("missing compiled test table %s", qPrintable(file));
    }
    return dir.path();
}

const QStringList allTables { QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("es_ES"),
                              QStringLiteral("pt_BR"), QStringLiteral("pt") };

// A text Qt itself translates: the error of opening a file that does not exist.
QString qtFileError()
{
    QFile missing(QStringLiteral("/nonexistent-scrivel-folder/missing.txt"));
    if (missing.open(QIODevice::ReadOnly))
        qFatal("the missing file exists");
    return missing.errorString();
}

const char *const qtFileErrorSource = "No such file or directory";

// The same text as Qt's catalogue for `table` has it (the English source for "en").
QString qtFileErrorIn(const QString &table)
{
    if (table == QLatin1String("en"))
        return QString::fromLatin1(qtFileErrorSource);
    QTranslator translator;
    const QDir dir(QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!translator.load(dir.filePath(QStringLiteral("qtbase_%1.qm").arg(table))))
        return {};
    return translator.translate("QIODevice", qtFileErrorSource);
}

} // namespace

class LocalizationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void cleanup()
    {
        Localization::setTableDirectory({});
        Localization::setLanguage(AppLanguage::En);
    }

    void rawValues_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<AppLanguage>("expected");
        QTest::newRow("system") << "system" << AppLanguage::System;
        QTest::newRow("en") << "en" << AppLanguage::En;
        QTest::newRow("es") << "es" << AppLanguage::Es;
        QTest::newRow("pt") << "pt" << AppLanguage::Pt;
        QTest::newRow("region is not a raw value") << "pt-BR" << AppLanguage::System;
        QTest::newRow("case matters") << "ES" << AppLanguage::System;
        QTest::newRow("empty") << "" << AppLanguage::System;
    }
    void rawValues()
    {
        QFETCH(QString, raw);
        QFETCH(AppLanguage, expected);
        QCOMPARE(appLanguageFromRawValue(raw), expected);
        if (expected != AppLanguage::System || raw == QLatin1String("system"))
            QCOMPARE(appLanguageRawValue(expected), raw);
    }

    void locales_data()
    {
        QTest::addColumn<AppLanguage>("language");
        QTest::addColumn<QString>("name");
        QTest::newRow("en") << AppLanguage::En << "en_US";
        QTest::newRow("es") << AppLanguage::Es << "es_ES";
        QTest::newRow("pt is Brazilian") << AppLanguage::Pt << "pt_BR";
        QTest::newRow("system") << AppLanguage::System << QLocale::system().name();
    }
    void locales()
    {
        QFETCH(AppLanguage, language);
        QFETCH(QString, name);
        Localization::setLanguage(language);
        QCOMPARE(Localization::language(), language);
        QCOMPARE(Localization::locale().name(), name);
    }

    void tableChoice_data()
    {
        QTest::addColumn<AppLanguage>("language");
        QTest::addColumn<QStringList>("available");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("greeting");
        QTest::newRow("en") << AppLanguage::En << allTables << "en"
                            << "Hello";
        QTest::newRow("es prefers es_ES") << AppLanguage::Es << allTables << "es_ES"
                                          << "Hola desde España";
        QTest::newRow("es without es_ES falls back to es")
            << AppLanguage::Es << QStringList { "en", "es" } << "es"
            << "Hola";
        QTest::newRow("pt prefers pt_BR") << AppLanguage::Pt << allTables << "pt_BR"
                                          << "Olá";
        QTest::newRow("pt without pt_BR falls back to pt")
            << AppLanguage::Pt << QStringList { "en", "pt" } << "pt"
            << "Olá de Portugal";
        QTest::newRow("pt with no Portuguese table is English")
            << AppLanguage::Pt << QStringList { "en", "es" } << "en"
            << "Hello";
        QTest::newRow("no tables at all gives the key") << AppLanguage::Es << QStringList {} << ""
                                                        << "test.greeting";
    }
    void tableChoice()
    {
        QFETCH(AppLanguage, language);
        QFETCH(QStringList, available);
        QFETCH(QString, table);
        QFETCH(QString, greeting);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Localization::setTableDirectory(tablesWith(dir, available));
        Localization::setLanguage(language);
        QCOMPARE(Localization::loadedTable(), table);
        QCOMPARE(L("test.greeting"), greeting);
    }

    void tableDirectoryChangeTakesEffect()
    {
        QTemporaryDir first;
        QTemporaryDir second;
        Localization::setLanguage(AppLanguage::Es);
        Localization::setTableDirectory(tablesWith(first, { "en", "es" }));
        QCOMPARE(L("test.greeting"), QStringLiteral("Hola"));
        Localization::setTableDirectory(tablesWith(second, { "en", "es", "es_ES" }));
        QCOMPARE(L("test.greeting"), QStringLiteral("Hola desde España"));
    }

    void englishUnderneath_data()
    {
        QTest::addColumn<AppLanguage>("language");
        QTest::newRow("es_ES and es above English") << AppLanguage::Es;
        QTest::newRow("pt_BR above English") << AppLanguage::Pt;
    }
    void englishUnderneath()
    {
        QFETCH(AppLanguage, language);
        QTemporaryDir dir;
        Localization::setTableDirectory(tablesWith(dir, allTables));
        Localization::setLanguage(language);
        QCOMPARE(L("test.onlyEnglish"), QStringLiteral("Only in English"));
        QCOMPARE(L("test.nowhere"), QStringLiteral("test.nowhere"));
        // A missing key with arguments is still the bare key: it has no placeholders.
        QCOMPARE(L("test.nowhere", 3, "x"), QStringLiteral("test.nowhere"));
    }

    void noArgumentsIsVerbatim()
    {
        QTemporaryDir dir;
        Localization::setTableDirectory(tablesWith(dir, { "en" }));
        Localization::setLanguage(AppLanguage::En);
        QCOMPARE(L("test.raw"), QStringLiteral("%1 stays %2"));
    }

    void numbersFollowTheInterfaceLocale_data()
    {
        QTest::addColumn<AppLanguage>("language");
        QTest::addColumn<int>("m");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("expected");
        QTest::newRow("en small") << AppLanguage::En << 6 << 10 << "6 of 10 notes would be deleted";
        QTest::newRow("en groups with commas")
            << AppLanguage::En << 1234 << 56789 << "1,234 of 56,789 notes would be deleted";
        QTest::newRow("es groups five digits with dots, text from es under es_ES")
            << AppLanguage::Es << 12345 << 56789 << "Se borrarían 12.345 de 56.789 notas";
        QTest::newRow("pt groups with dots")
            << AppLanguage::Pt << 1234 << 5678 << "1.234 de 5.678 notas seriam apagadas";
    }
    void numbersFollowTheInterfaceLocale()
    {
        QFETCH(AppLanguage, language);
        QFETCH(int, m);
        QFETCH(int, n);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        Localization::setTableDirectory(tablesWith(dir, allTables));
        Localization::setLanguage(language);
        QCOMPARE(L("store.warning.massDeletion", m, n), expected);
    }

    void pluralForms_data()
    {
        QTest::addColumn<AppLanguage>("language");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("expected");
        QTest::newRow("en one") << AppLanguage::En << 1 << "1 note";
        QTest::newRow("en many") << AppLanguage::En << 2 << "2 notes";
        QTest::newRow("en zero") << AppLanguage::En << 0 << "0 notes";
        QTest::newRow("es one") << AppLanguage::Es << 1 << "1 nota";
        QTest::newRow("es many, from es under es_ES") << AppLanguage::Es << 5 << "5 notas";
        QTest::newRow("pt many grouped") << AppLanguage::Pt << 1234 << "1.234 notas";
    }
    void pluralForms()
    {
        QFETCH(AppLanguage, language);
        QFETCH(int, count);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        Localization::setTableDirectory(tablesWith(dir, allTables));
        Localization::setLanguage(language);
        QCOMPARE(L("test.count", count), expected);
    }

    void pluralFromSpanishTable()
    {
        // Without es_ES the plural text comes from the es table, with Spanish plural rules.
        QTemporaryDir dir;
        Localization::setTableDirectory(tablesWith(dir, { "en", "es" }));
        Localization::setLanguage(AppLanguage::Es);
        QCOMPARE(L("test.count", 1), QStringLiteral("1 nota"));
        QCOMPARE(L("test.count", 3), QStringLiteral("3 notas"));
        // The first integer chooses the form even when a text comes first.
        QCOMPARE(Localization::lookup("test.count", { QStringLiteral("x"), 1 }),
                 QStringLiteral("1 nota"));
    }

    void substitution_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariantList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("in order") << "%1 and %2" << QVariantList { "a", "b" } << "a and b";
        QTest::newRow("reordered") << "%2 before %1" << QVariantList { "a", "b" } << "b before a";
        QTest::newRow("repeated") << "%1-%1" << QVariantList { "a" } << "a-a";
        QTest::newRow("argument holding a placeholder is not substituted again")
            << "%1 / %2" << QVariantList { "%2", "x" } << "%2 / x";
        QTest::newRow("argument holding %1") << "%1" << QVariantList { "%1%1" } << "%1%1";
        QTest::newRow("missing argument stays") << "%1 %3" << QVariantList { "a", "b" } << "a %3";
        QTest::newRow("lone percent stays") << "100% of %1" << QVariantList { "x" } << "100% of x";
        QTest::newRow("trailing percent") << "%1%" << QVariantList { "x" } << "x%";
        QTest::newRow("%0 is not a placeholder") << "%0%1" << QVariantList { "x" } << "%0x";
        QTest::newRow("two digits")
            << "%10|%1" << QVariantList { "a", "b", "c", "d", "e", "f", "g", "h", "i", "j" }
            << "j|a";
        QTest::newRow("%10 with one argument is %1 then 0")
            << "%10" << QVariantList { "a" } << "a0";
        QTest::newRow("%L1 is %1") << "%L1" << QVariantList { 1234 } << "1,234";
        QTest::newRow("integers grouped") << "%1" << QVariantList { 1234567 } << "1,234,567";
        QTest::newRow("negative") << "%1" << QVariantList { -1234 } << "-1,234";
        QTest::newRow("64-bit") << "%1" << QVariantList { qlonglong(5'000'000'000) }
                                << "5,000,000,000";
        QTest::newRow("unsigned") << "%1" << QVariantList { 4'000'000'000u } << "4,000,000,000";
        QTest::newRow("double") << "%1" << QVariantList { 1234.5 } << "1,234.5";
        QTest::newRow("whole double") << "%1" << QVariantList { 2.0 } << "2";
        QTest::newRow("large double, no exponent") << "%1" << QVariantList { 1e7 } << "10,000,000";
        QTest::newRow("text stays as is") << "%1" << QVariantList { "1234" } << "1234";
        QTest::newRow("%n is the first integer")
            << "%1: %n" << QVariantList { "x", 1500 } << "x: 1,500";
        QTest::newRow("%n without an integer stays") << "%n %1" << QVariantList { "x" } << "%n x";
        QTest::newRow("no placeholders") << "plain" << QVariantList { 1 } << "plain";
    }
    void substitution()
    {
        QFETCH(QString, text);
        QFETCH(QVariantList, arguments);
        QFETCH(QString, expected);
        QCOMPARE(Localization::substitute(text, arguments,
                                          QLocale(QLocale::English, QLocale::UnitedStates)),
                 expected);
    }

    void substitutionUsesTheGivenLocale()
    {
        const QLocale es(QLocale::Spanish, QLocale::Spain);
        QCOMPARE(Localization::substitute(QStringLiteral("%1 %2"), { 12345, 0.5 }, es),
                 QStringLiteral("12.345 0,5"));
    }

    void argumentKinds()
    {
        QTemporaryDir dir;
        Localization::setTableDirectory(tablesWith(dir, { "en" }));
        Localization::setLanguage(AppLanguage::En);
        const char *pointer = "pointer";
        QCOMPARE(L("test.raw", "literal", pointer), QStringLiteral("literal stays pointer"));
        QCOMPARE(L("test.raw", QStringLiteral("ünï"), QByteArray("bytes")),
                 QStringLiteral("ünï stays bytes"));
        QCOMPARE(Localization::lookup(nullptr, {}), QString());
    }

    void labelsGoThroughTheTables()
    {
        QTemporaryDir dir;
        Localization::setTableDirectory(tablesWith(dir, { "en" }));
        Localization::setLanguage(AppLanguage::En);
        QCOMPARE(hotKeyComboLabel(HotKeyCombo::OptionSpace), QStringLiteral("Alt+Space"));
        QCOMPARE(hotKeyComboLabel(HotKeyCombo::None), QStringLiteral("hotkey.off"));
    }

    void qtOwnTranslationsFollow()
    {
        const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!QFile::exists(dir + QStringLiteral("/qtbase_es.qm")))
            QSKIP("Qt's Spanish translations are not installed");
        const auto cancel = [] {
            return QCoreApplication::translate("QPlatformTheme", "Cancel");
        };
        Localization::setLanguage(AppLanguage::Es);
        QCOMPARE(cancel(), QStringLiteral("Cancelar"));
        Localization::setLanguage(AppLanguage::En);
        QCOMPARE(cancel(), QStringLiteral("Cancel"));
        if (QFile::exists(dir + QStringLiteral("/qtbase_pt_BR.qm"))) {
            Localization::setLanguage(AppLanguage::Pt);
            QCOMPARE(cancel(), QStringLiteral("Cancelar"));
        }
    }

    // Every switch replaces Qt's catalogue: a Qt error text is in the new language each time,
    // never in the one before, and English again at the end.
    void qtTextsFollowEverySwitch()
    {
        QTemporaryDir tables;
        Localization::setTableDirectory(tablesWith(tables, allTables));
        const QString spanish = qtFileErrorIn(QStringLiteral("es"));
        const QString portuguese = qtFileErrorIn(QStringLiteral("pt_BR"));
        if (spanish.isEmpty() || portuguese.isEmpty())
            QSKIP("Qt's Spanish and Brazilian Portuguese translations are not installed");
        const QString english = QString::fromLatin1(qtFileErrorSource);
        QVERIFY(spanish != english && portuguese != english && spanish != portuguese);
        QCOMPARE(spanish, QStringLiteral("No hay ningún fichero o directorio con ese nombre"));

        const std::pair<AppLanguage, QString> steps[] = {
            { AppLanguage::Es, spanish },    { AppLanguage::Pt, portuguese },
            { AppLanguage::Es, spanish },    { AppLanguage::En, english },
            { AppLanguage::Pt, portuguese }, { AppLanguage::En, english },
        };
        for (const auto &[language, expected] : steps) {
            Localization::setLanguage(language);
            QCOMPARE(qtFileError(), expected);
        }
    }

    // Run by the app_localization_system_* tests, each in its own locale environment.
    void systemLanguage()
    {
        const QString expected = qEnvironmentVariable("SCRIVEL_EXPECT_SYSTEM_TABLE");
        if (expected.isEmpty())
            QSKIP("runs under the app_localization_system_* tests");
        QTemporaryDir dir;
        Localization::setTableDirectory(tablesWith(dir, { "en", "es", "es_ES", "pt_BR" }));
        Localization::setLanguage(AppLanguage::System);
        QCOMPARE(Localization::loadedTable(), expected);
        QCOMPARE(Localization::locale(), QLocale::system());
        // Numbers follow the system's own locale even when the texts fall back to English.
        const QString text = L("store.warning.massDeletion", 12345, 2);
        QVERIFY2(text.contains(QLocale::system().toString(12345)), qPrintable(text));
        // Qt's own texts are in the language of the table, not of the system: a German
        // system gets English sentences with English errors inside, a European Portuguese
        // one the Brazilian table with Qt's Brazilian texts.
        const QString table = expected == QLatin1String("es") || expected == QLatin1String("en")
            ? expected
            : QStringLiteral("pt_BR");
        const QString qtText = qtFileErrorIn(table);
        if (qtText.isEmpty())
            QSKIP("Qt's translations for the table are not installed");
        QCOMPARE(qtFileError(), qtText);
    }

    void realTables_data()
    {
        QTest::addColumn<AppLanguage>("language");
        QTest::newRow("en") << AppLanguage::En;
        QTest::newRow("es") << AppLanguage::Es;
        QTest::newRow("pt") << AppLanguage::Pt;
    }
    void realTables()
    {
        if (!QFile::exists(QStringLiteral(":/i18n/scrivelbar_en.qm")))
            QSKIP("the application's message tables are not built in yet");
        QFETCH(AppLanguage, language);
        Localization::setLanguage(language);
        QVERIFY(!Localization::loadedTable().isEmpty());
        const QString text = L("store.warning.massDeletion", 1234, 5678);
        QVERIFY2(text != QLatin1String("store.warning.massDeletion"), qPrintable(text));
        QVERIFY2(text.contains(Localization::locale().toString(1234)), qPrintable(text));
        QVERIFY2(text.contains(Localization::locale().toString(5678)), qPrintable(text));
        QVERIFY(L("account.launchAtLogin.failed", QStringLiteral("disk full"))
                    .contains(QStringLiteral("disk full")));
        // Plural messages pick a form by the count, and the count is formatted too.
        const QString one = L("account.pending", 1);
        const QString many = L("account.pending", 1234);
        QVERIFY2(many.contains(Localization::locale().toString(1234)), qPrintable(many));
        QVERIFY2(QString(one).remove(QLatin1Char('1'))
                     != QString(many).remove(Localization::locale().toString(1234)),
                 qPrintable(one + QStringLiteral(" | ") + many));
    }
};

QTEST_GUILESS_MAIN(LocalizationTest)
#include "tst_localization.moc"
