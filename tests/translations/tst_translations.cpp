// The message tables are edited by hand in three languages, and the code names their keys in
// plain strings: nothing but this test notices a key that one table lacks, a translation that
// drops an argument, or a plural message with the wrong number of forms.
#include "TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>

namespace {

struct Message
{
    QString id;
    bool numerus = false;
    QString translationType; // "unfinished", "vanished", … — empty for a finished text
    QStringList forms; // the text, or one entry per plural form
};

struct Table
{
    QString language;
    QList<Message> messages;
    QHash<QString, qsizetype> index;
    QStringList problems; // XML errors and duplicate ids

    const Message *find(const QString &id) const
    {
        const auto it = index.constFind(id);
        return it == index.cend() ? nullptr : &messages.at(*it);
    }
};

const QString kSourceDir = QStringLiteral(SCRIVEL_SOURCE_DIR);

Table readTable(const QString &path)
{
    Table table;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        table.problems << QStringLiteral("cannot open ") + path;
        return table;
    }
    QXmlStreamReader xml(&file);
    Message current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == u"message") {
            if (table.index.contains(current.id))
                table.problems << QStringLiteral("duplicate id ") + current.id;
            table.index.insert(current.id, table.messages.size());
            table.messages << current;
        }
        if (!xml.isStartElement())
            continue;
        const auto name = xml.name();
        const auto attributes = xml.attributes();
        if (name == u"TS") {
            table.language = attributes.value(QLatin1String("language")).toString();
        } else if (name == u"message") {
            current = Message {};
            current.id = attributes.value(QLatin1String("id")).toString();
            current.numerus = attributes.value(QLatin1String("numerus")) == u"yes";
        } else if (name == u"translation") {
            current.translationType = attributes.value(QLatin1String("type")).toString();
            if (!current.numerus)
                current.forms << xml.readElementText();
        } else if (name == u"numerusform") {
            current.forms << xml.readElementText();
        }
    }
    if (xml.hasError())
        table.problems
            << QStringLiteral("%1:%2: %3").arg(path).arg(xml.lineNumber()).arg(xml.errorString());
    return table;
}

QSet<int> placeholders(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("%([1-9])"));
    QSet<int> result;
    for (const auto &m : re.globalMatch(text))
        result.insert(m.captured(1).toInt());
    return result;
}

QString describe(const QSet<int> &set)
{
    QList<int> sorted(set.begin(), set.end());
    std::sort(sorted.begin(), sorted.end());
    QStringList parts;
    for (int n : sorted)
        parts << QStringLiteral("%") + QString::number(n);
    return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
}

QSet<QString> ids(const Table &table)
{
    QSet<QString> result;
    for (const auto &m : table.messages)
        result.insert(m.id);
    return result;
}

} // namespace

class TranslationsTest : public QObject
{
    Q_OBJECT

private:
    QHash<QString, Table> m_tables; // by file suffix: "en", "es", "pt_BR"

private slots:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        for (const char *lang : { "en", "es", "pt_BR" })
            m_tables.insert(
                QLatin1String(lang),
                readTable(
                    kSourceDir
                    + QStringLiteral("/translations/scrivelbar_%1.ts").arg(QLatin1String(lang))));
    }

    void wellFormed_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<int>("pluralForms"); // Qt's rule for the language
        QTest::newRow("en") << QStringLiteral("en") << 2;
        QTest::newRow("es") << QStringLiteral("es") << 2;
        QTest::newRow("pt_BR") << QStringLiteral("pt_BR") << 2;
    }

    void wellFormed()
    {
        QFETCH(QString, lang);
        QFETCH(int, pluralForms);
        const Table &table = m_tables[lang];
        QStringList problems = table.problems;
        QCOMPARE(table.language, lang);
        QVERIFY(table.messages.size() > 200);
        static const QRegularExpression keyShape(
            QStringLiteral("^[a-z][A-Za-z0-9]*(\\.[a-z][A-Za-z0-9]*)+$"));
        for (const auto &m : table.messages) {
            if (!keyShape.match(m.id).hasMatch())
                problems << m.id + QStringLiteral(": not a dotted lower-camel key");
            if (!m.translationType.isEmpty())
                problems << m.id + QStringLiteral(": translation marked ") + m.translationType;
            if (m.forms.size() != (m.numerus ? pluralForms : 1))
                problems << m.id + QStringLiteral(": %1 forms").arg(m.forms.size());
            for (const auto &form : m.forms) {
                if (form.trimmed().isEmpty())
                    problems << m.id + QStringLiteral(": empty text");
                // The lookup substitutes %1…%9 only; a %n would reach the user verbatim.
                if (form.contains(QStringLiteral("%n")))
                    problems << m.id + QStringLiteral(": uses %n");
                if (placeholders(form) != placeholders(m.forms.value(0)))
                    problems << m.id + QStringLiteral(": plural forms disagree on placeholders");
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void matchesEnglish_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::newRow("es") << QStringLiteral("es");
        QTest::newRow("pt_BR") << QStringLiteral("pt_BR");
    }

    void matchesEnglish()
    {
        QFETCH(QString, lang);
        const Table &english = m_tables[QStringLiteral("en")];
        const Table &table = m_tables[lang];
        QStringList problems;
        for (const auto &id : ids(english) - ids(table))
            problems << id + QStringLiteral(": missing");
        for (const auto &id : ids(table) - ids(english))
            problems << id + QStringLiteral(": not in the English table");
        for (const auto &m : table.messages) {
            const Message *source = english.find(m.id);
            if (!source)
                continue;
            if (m.numerus != source->numerus)
                problems << m.id + QStringLiteral(": plural in one table only");
            const QSet<int> expected = placeholders(source->forms.value(0));
            for (const auto &form : m.forms)
                if (placeholders(form) != expected)
                    problems << m.id
                            + QStringLiteral(": placeholders %1, English has %2")
                                  .arg(describe(placeholders(form)), describe(expected));
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    // KEYS.md is what other developers call L() by; its argument lists must match the texts.
    void keyReferenceMatches()
    {
        const QString text = QString::fromUtf8(
            TestSupport::readFile(kSourceDir + QStringLiteral("/translations/KEYS.md")));
        QVERIFY(!text.isEmpty());
        static const QRegularExpression row(QStringLiteral("^\\|\\s*`([^`(]+)\\(([^)]*)\\)`"),
                                            QRegularExpression::MultilineOption);
        const Table &english = m_tables[QStringLiteral("en")];
        QStringList problems;
        QSet<QString> listed;
        for (const auto &match : row.globalMatch(text)) {
            const QString id = match.captured(1);
            const QStringList args
                = match.captured(2).split(QStringLiteral(", "), Qt::SkipEmptyParts);
            listed.insert(id);
            const Message *m = english.find(id);
            if (!m) {
                problems << id + QStringLiteral(": listed but not in the tables");
                continue;
            }
            QSet<int> expected;
            for (int i = 1; i <= args.size(); ++i)
                expected.insert(i);
            if (placeholders(m->forms.value(0)) != expected)
                problems << id
                        + QStringLiteral(": %1 arguments listed, text uses %2")
                              .arg(args.size())
                              .arg(describe(placeholders(m->forms.value(0))));
            for (const auto &arg : args)
                if (!arg.endsWith(QStringLiteral(":int"))
                    && !arg.endsWith(QStringLiteral(":string")))
                    problems << id + QStringLiteral(": argument without a type: ") + arg;
            // The plural form follows the first integer argument; without one it never changes.
            if (m->numerus && !match.captured(2).contains(QStringLiteral(":int")))
                problems << id + QStringLiteral(": plural message without an int argument");
        }
        for (const auto &id : ids(english) - listed)
            problems << id + QStringLiteral(": missing from KEYS.md");
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void codeKeysExist()
    {
        static const QRegularExpression call(
            QStringLiteral("\\bL\\(\\s*(?:QStringLiteral\\(\\s*)?\"((?:[^\"\\\\]|\\\\.)*)\""));
        QVERIFY(QFileInfo(kSourceDir + QStringLiteral("/src")).isDir());
        QStringList problems;
        int uses = 0;
        QDirIterator it(kSourceDir + QStringLiteral("/src"),
                        { QStringLiteral("*.cpp"), QStringLiteral("*.h") }, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString code = QString::fromUtf8(TestSupport::readFile(path));
            for (const auto &match : call.globalMatch(code)) {
                ++uses;
                const QString key = match.captured(1);
                for (auto table = m_tables.cbegin(); table != m_tables.cend(); ++table)
                    if (!table->find(key))
                        problems
                            << QStringLiteral("%1:%2: \"%3\" missing from the %4 table")
                                   .arg(path.mid(kSourceDir.size() + 1))
                                   .arg(code.left(match.capturedStart()).count(QLatin1Char('\n'))
                                        + 1)
                                   .arg(key, table.key());
            }
        }
        qInfo("%d L() uses checked", uses);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void compiledTables_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::newRow("en") << QStringLiteral("en");
        QTest::newRow("es") << QStringLiteral("es");
        QTest::newRow("pt_BR") << QStringLiteral("pt_BR");
    }

    // The resources must carry every text, and a count of 1 must pick the singular.
    void compiledTables()
    {
        QFETCH(QString, lang);
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/i18n/scrivelbar_%1.qm").arg(lang)));
        QStringList problems;
        int plurals = 0;
        for (const auto &m : m_tables[lang].messages) {
            const QByteArray id = m.id.toUtf8();
            if (translator.translate(nullptr, id.constData(), nullptr, 1) != m.forms.value(0))
                problems << m.id + QStringLiteral(": wrong text for 1");
            if (m.numerus) {
                ++plurals;
                if (translator.translate(nullptr, id.constData(), nullptr, 2) != m.forms.value(1))
                    problems << m.id + QStringLiteral(": wrong text for 2");
            }
        }
        QVERIFY(plurals > 0);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TranslationsTest)
#include "tst_translations.moc"
