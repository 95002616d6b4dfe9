// The diagnostics bundle and the log file behind it, on temporary log and crash folders.
#include "TestSupport.h"

#include "base/AppInfo.h"
#include "telemetry/AppLog.h"
#include "telemetry/Diagnostics.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace {

Q_LOGGING_CATEGORY(lcTestSync, "app.scrivelbar.app.sync")
Q_LOGGING_CATEGORY(lcForeign, "qt.network.ssl")

const QDateTime kNow = QDateTime(QDate(2026, 12, 9), QTime(12, 0, 0), Qt::UTC);

QString line(const QDateTime &at, const QString &text)
{
    return at.toString(Qt::ISODate) + QStringLiteral(" [sync] ") + text;
}

void writeLog(const QString &path, const QStringList &lines)
{
    QVERIFY(TestSupport::writeFile(path, (lines.join(u'\n') + u'\n').toUtf8()));
}

// Writes a crash report and dates it `age` seconds before kNow.
void writeReport(const QString &folder, const QString &name, const QByteArray &content, int age)
{
    const QString path = QDir(folder).filePath(name);
    QVERIFY(TestSupport::writeFile(path, content));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(kNow.addSecs(-age), QFileDevice::FileModificationTime));
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

} // namespace

class DiagnosticsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString logFolder() const { return m_dir->filePath(QStringLiteral("state")); }
    QString crashFolder() const { return m_dir->filePath(QStringLiteral("state/crashes")); }
    Diagnostics::Sources sources() const
    {
        Diagnostics::Sources s;
        s.logFolder = logFolder();
        s.crashFolders = { crashFolder() };
        s.now = kNow;
        s.system = QStringLiteral("Linux Debian GNU/Linux 12 (bookworm)");
        s.model = QStringLiteral("ACME Box 3");
        return s;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(crashFolder()));
    }

    void layoutWithoutCrashReports()
    {
        writeLog(AppLog::filePath(logFolder()),
                 { line(kNow.addSecs(-60), QStringLiteral("sync ok: 1 up, 0 down, 0 files")),
                   line(kNow.addSecs(-5), QStringLiteral("second")) });
        const auto bundle = Diagnostics::collect(sources());
        const QString expected = QStringLiteral("%1 %2 (%3)\n").arg(AppInfo::name(),
                                                                    AppInfo::version(),
                                                                    AppInfo::build())
            + QStringLiteral("Linux Debian GNU/Linux 12 (bookworm)\nMachine ACME Box 3\n\n"
                             "== Log (last 24 hours)\n")
            + line(kNow.addSecs(-60), QStringLiteral("sync ok: 1 up, 0 down, 0 files")) + u'\n'
            + line(kNow.addSecs(-5), QStringLiteral("second"));
        QCOMPARE(bundle.text, expected);
        QCOMPARE(bundle.crashReports, 0);
    }

    void logLines_data()
    {
        QTest::addColumn<QStringList>("older"); // scrivelbar.log.2, then .1
        QTest::addColumn<QStringList>("current");
        QTest::addColumn<QStringList>("expected");
        const QString a = line(kNow.addSecs(-86401), QStringLiteral("too old"));
        const QString b = line(kNow.addSecs(-86400), QStringLiteral("just in"));
        const QString c = line(kNow.addSecs(-10), QStringLiteral("recent"));
        QTest::newRow("24 hour window") << QStringList() << QStringList { a, b, c }
                                        << QStringList { b, c };
        QTest::newRow("rotated files first, oldest first")
            << QStringList { b, line(kNow.addSecs(-3000), QStringLiteral("middle")) }
            << QStringList { c } << QStringList { b, line(kNow.addSecs(-3000), "middle"), c };
        QTest::newRow("lines without a time are skipped")
            << QStringList() << QStringList { QStringLiteral("garbage"), c } << QStringList { c };
        QTest::newRow("only old lines") << QStringList() << QStringList { a }
                                        << QStringList { "(nothing logged this session)" };
        QTest::newRow("no log yet") << QStringList() << QStringList()
                                    << QStringList { "(nothing logged this session)" };
    }
    void logLines()
    {
        QFETCH(QStringList, older);
        QFETCH(QStringList, current);
        QFETCH(QStringList, expected);
        const QString path = AppLog::filePath(logFolder());
        if (!older.isEmpty()) {
            writeLog(path + QStringLiteral(".2"), older.mid(0, 1));
            writeLog(path + QStringLiteral(".1"), older.mid(1));
        }
        if (!current.isEmpty())
            writeLog(path, current);
        QCOMPARE(Diagnostics::logLines(logFolder(), kNow), expected);
    }

    void unreadableLog()
    {
        // A folder where the log file should be cannot be read as one (permissions would not
        // stop root).
        QVERIFY(QDir().mkpath(AppLog::filePath(logFolder())));
        QCOMPARE(Diagnostics::logLines(logFolder(), kNow),
                 QStringList { QStringLiteral("(the log could not be read)") });
    }

    void lineCap()
    {
        QStringList lines;
        for (int i = 0; i < 2100; ++i)
            lines << line(kNow.addSecs(-3000 + i), QStringLiteral("line %1").arg(i));
        writeLog(AppLog::filePath(logFolder()), lines);
        const QStringList read = Diagnostics::logLines(logFolder(), kNow);
        QCOMPARE(read.size(), 2000);
        QCOMPARE(read.first(), lines.at(100));
        QCOMPARE(read.last(), lines.last());
    }

    void crashReports_data()
    {
        QTest::addColumn<QStringList>("names"); // newest last
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("five: the three newest")
            << QStringList { "ScrivelBar-1.crash", "ScrivelBar-2.crash", "ScrivelBar-3.ips",
                             "ScrivelBar-4.crash", "ScrivelBar-5.crash" }
            << QStringList { "ScrivelBar-5.crash", "ScrivelBar-4.crash", "ScrivelBar-3.ips" };
        QTest::newRow("foreign and txt ignored")
            << QStringList { "ScrivelBar-1.crash", "OtherApp-2.crash", "ScrivelBar-3.txt",
                             "crash-ScrivelBar.crash" }
            << QStringList { "ScrivelBar-1.crash" };
        QTest::newRow("none") << QStringList { "notes.txt" } << QStringList();
    }
    void crashReports()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        for (int i = 0; i < names.size(); ++i)
            writeReport(crashFolder(), names.at(i), "report " + names.at(i).toUtf8(),
                        (names.size() - i) * 100);
        const auto bundle = Diagnostics::collect(sources());
        QCOMPARE(bundle.crashReports, expected.size());
        if (expected.isEmpty()) {
            QVERIFY(!bundle.text.contains(QStringLiteral("== Crash reports")));
            return;
        }
        QString section = QStringLiteral("\n\n== Crash reports (%1)\n").arg(expected.size());
        for (const QString &name : expected)
            section += QStringLiteral("\n--- ") + name + QStringLiteral("\nreport ") + name + u'\n';
        QVERIFY2(bundle.text.endsWith(section), qPrintable(bundle.text));
    }

    void unusableReportsAreSkipped()
    {
        writeReport(crashFolder(), QStringLiteral("ScrivelBar-new.crash"), "\xff\xfe\x00 binary",
                    10);
        QVERIFY(QDir().mkpath(QDir(crashFolder()).filePath(QStringLiteral("ScrivelBar-dir.crash"))));
        writeReport(crashFolder(), QStringLiteral("ScrivelBar-old.crash"), "readable", 500);
        const auto bundle = Diagnostics::collect(sources());
        QCOMPARE(bundle.crashReports, 1);
        QVERIFY(bundle.text.endsWith(QStringLiteral("--- ScrivelBar-old.crash\nreadable\n")));
        // Nothing is removed: the report stays for whoever can read it.
        QVERIFY(QFile::exists(QDir(crashFolder()).filePath(QStringLiteral("ScrivelBar-new.crash"))));
    }

    void longReportIsCut()
    {
        writeReport(crashFolder(), QStringLiteral("ScrivelBar-big.crash"),
                    QByteArray(250000, 'x'), 10);
        const auto bundle = Diagnostics::collect(sources());
        QVERIFY(bundle.text.endsWith(QStringLiteral("--- ScrivelBar-big.crash\n")
                                     + QString(200000, u'x') + u'\n'));
    }

    void sizeCap_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::newRow("ASCII: 1,900,000 characters") << QStringLiteral("a");
        QTest::newRow("two-byte text stays within the bytes") << QStringLiteral("é");
        QTest::newRow("four-byte text is not split") << QStringLiteral("😀");
    }
    void sizeCap()
    {
        QFETCH(QString, unit);
        QStringList lines;
        for (int i = 0; i < 2000; ++i)
            lines << line(kNow.addSecs(-5000 + i), unit.repeated(800));
        writeLog(AppLog::filePath(logFolder()), lines);
        for (int i = 0; i < 3; ++i)
            writeReport(crashFolder(), QStringLiteral("ScrivelBar-%1.crash").arg(i),
                        QByteArray(200000, 'r'), 10 + i);
        const auto bundle = Diagnostics::collect(sources());
        QCOMPARE(bundle.crashReports, 3);
        const qsizetype bytes = bundle.text.toUtf8().size();
        QVERIFY(bytes <= Diagnostics::maxBytes);
        QVERIFY(bytes > Diagnostics::maxBytes - 4);
        if (unit == u"a")
            QCOMPARE(bundle.text.size(), Diagnostics::maxBytes);
        QVERIFY(!bundle.text.back().isHighSurrogate());
    }

    void systemLine_data()
    {
        QTest::addColumn<QByteArray>("release");
        QTest::addColumn<QString>("expected");
        QTest::newRow("quoted") << QByteArray("NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
                                              "(bookworm)\"\n")
                                << "Linux Debian GNU/Linux 12 (bookworm)";
        QTest::newRow("single quotes") << QByteArray("PRETTY_NAME='Fedora Linux 40'")
                                       << "Linux Fedora Linux 40";
        QTest::newRow("bare") << QByteArray("PRETTY_NAME=Arch") << "Linux Arch";
    }
    void systemLine()
    {
        QFETCH(QByteArray, release);
        QFETCH(QString, expected);
        QCOMPARE(Diagnostics::systemLine(release), expected);
    }
    void systemLineWithoutOsRelease()
    {
        const QString line = Diagnostics::systemLine(QByteArray("PRETTY_NAME=\"\""));
        QVERIFY(line.startsWith(QStringLiteral("Linux ")));
        QVERIFY(line.size() > 6);
    }

    void redact_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("secret");
        QTest::newRow("bearer header") << "authorization: Bearer abc.DEF-123" << "abc.DEF-123";
        QTest::newRow("token member") << "{\"token\": \"s3cr3t-tok\"}" << "s3cr3t-tok";
        QTest::newRow("query code") << "redirect /callback?code=4/0AbCd&state=x" << "4/0AbCd";
        QTest::newRow("verifier") << "code_verifier=qwertyuiop" << "qwertyuiop";
        QTest::newRow("provider key") << "sending with sk-ant-api03-abcdefgh" << "abcdefgh";
        QTest::newRow("api key") << "api_key: AIzaSyX" << "AIzaSyX";
    }
    void redact()
    {
        QFETCH(QString, message);
        QFETCH(QString, secret);
        const QString redacted = AppLog::redact(message);
        QVERIFY2(!redacted.contains(secret), qPrintable(redacted));
        QVERIFY(redacted.contains(QStringLiteral("<redacted>")));
    }
    void redactKeepsOrdinaryText()
    {
        const QString message = QStringLiteral("sync failed: http_500 (hotkey ctrl+space)");
        QCOMPARE(AppLog::redact(message), message);
    }

    void formatLine()
    {
        QCOMPARE(AppLog::formatLine(kNow, QStringLiteral("app.scrivelbar.app.ai"),
                                    QStringLiteral("two\nlines")),
                 QStringLiteral("2026-12-09T12:00:00Z [ai] two\\nlines"));
        QCOMPARE(AppLog::formatLine(kNow, QStringLiteral("app.scrivelbar.app"), QStringLiteral("x")),
                 QStringLiteral("2026-12-09T12:00:00Z [app] x"));
    }

    // The handler itself: our categories reach the file, others do not; the file rotates.
    void handlerWritesOurCategoriesOnly()
    {
        qInstallMessageHandler(quiet);
        AppLog::install(logFolder());
        qCWarning(lcTestSync, "sync failed: %s", "offline");
        qCWarning(lcForeign) << "not ours";
        qWarning("default category");
        AppLog::uninstall();
        qInstallMessageHandler(nullptr);
        const QStringList lines
            = QString::fromUtf8(TestSupport::readFile(AppLog::filePath(logFolder())))
                  .split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().endsWith(QStringLiteral(" [sync] sync failed: offline")));
        QCOMPARE(Diagnostics::logLines(logFolder(), QDateTime::currentDateTimeUtc()), lines);
    }

    void rotation()
    {
        qInstallMessageHandler(quiet);
        AppLog::install(logFolder());
        const QString filler(200, u'z');
        // Enough for a bit more than three files: the oldest generation is dropped.
        const qint64 messages = AppLog::maxBytes * (AppLog::generations + 1) / 220 + 500;
        for (qint64 i = 0; i < messages; ++i)
            qCWarning(lcTestSync, "%lld %s", i, qUtf8Printable(filler));
        AppLog::uninstall();
        qInstallMessageHandler(nullptr);
        const QString path = AppLog::filePath(logFolder());
        QVERIFY(QFileInfo(path).size() < AppLog::maxBytes);
        for (int i = 1; i <= AppLog::generations; ++i) {
            QVERIFY(QFileInfo(path + u'.' + QString::number(i)).size() >= AppLog::maxBytes);
        }
        QVERIFY(!QFile::exists(path + u'.' + QString::number(AppLog::generations + 1)));
        // The newest message is the last line read back.
        const QStringList lines = AppLog::readLines(logFolder(), QDateTime::currentDateTimeUtc(),
                                                    1000000).value();
        QVERIFY(lines.last().contains(QStringLiteral("] %1 ").arg(messages - 1)));
        QVERIFY(!lines.first().contains(QStringLiteral("] 0 ")));
    }
};

QTEST_GUILESS_MAIN(DiagnosticsTest)
#include "tst_diagnostics.moc"
