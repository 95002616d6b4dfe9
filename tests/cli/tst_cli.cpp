// The scrivel command-line tool, run as a real process.
#include "TestSupport.h"

#include "store/StoreLock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTest>

namespace {

struct Run
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

Run scrivel(const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(QStringLiteral(SCRIVEL_CLI_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(20000))
        return {};
    return { process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError() };
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
    TestSupport::TempFolders m_folders;
    QStringList m_base;

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        m_base = { QStringLiteral("--notes"), m_folders.notes(), QStringLiteral("--support"),
                   m_folders.support() };
    }

    void blocksMatchTheParser_data()
    {
        QTest::addColumn<QByteArray>("markdown");
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("paragraphs") << QByteArray("a\nb\n\nc")
                                    << QByteArray("[{\"type\":\"paragraph\",\"text\":\"a\\nb\"},{"
                                                  "\"type\":\"paragraph\",\"text\":\"c\"}]");
        QTest::newRow("quote then text")
            << QByteArray("> one\n> two\ntext")
            << QByteArray("[{\"type\":\"quote\",\"text\":\"one\\ntwo\"},{\"type\":\"paragraph\","
                          "\"text\":\"text\"}]");
        QTest::newRow("fence keeps indentation")
            << QByteArray("```text\n  let x\n```")
            << QByteArray("[{\"type\":\"code\",\"text\":\"  let x\"}]");
        QTest::newRow("unclosed empty fence") << QByteArray("```") << QByteArray("[]");
        QTest::newRow("tasks")
            << QByteArray("- [X] Done\n- [ ]\n-item")
            << QByteArray(
                   "[{\"type\":\"bullet\",\"text\":\"Done\",\"checked\":true},{\"type\":\"bullet\","
                   "\"text\":\"\",\"checked\":false},{\"type\":\"paragraph\",\"text\":\"-item\"}]");
        QTest::newRow("ordered with paren")
            << QByteArray("3) Third")
            << QByteArray("[{\"type\":\"ordered\",\"marker\":\"3.\",\"text\":\"Third\"}]");
        QTest::newRow("rules") << QByteArray("***\n_ _ _\n--")
                               << QByteArray("[{\"type\":\"rule\"},{\"type\":\"rule\"},{\"type\":"
                                             "\"paragraph\",\"text\":\"--\"}]");
        QTest::newRow("headings") << QByteArray("###\n####### x")
                                  << QByteArray("[{\"type\":\"heading\",\"level\":3,\"text\":\"\"},"
                                                "{\"type\":\"paragraph\",\"text\":\"####### x\"}]");
        QTest::newRow("media")
            << QByteArray("![Receipt](attachments/n1/A.jpg)\n[audio "
                          "0:12](attachments/n1/B.m4a)\n[site](notes.html)")
            << QByteArray("[{\"type\":\"image\",\"alt\":\"Receipt\",\"path\":\"attachments/n1/"
                          "A.jpg\"},{\"type\":\"audio\",\"label\":\"audio "
                          "0:12\",\"path\":\"attachments/n1/"
                          "B.m4a\"},{\"type\":\"paragraph\",\"text\":\"[site](notes.html)\"}]");
        QTest::newRow("indented bullet")
            << QByteArray("   - item")
            << QByteArray("[{\"type\":\"bullet\",\"text\":\"item\",\"checked\":null}]");
    }
    void blocksMatchTheParser()
    {
        QFETCH(QByteArray, markdown);
        QFETCH(QByteArray, json);
        const Run run = scrivel({ QStringLiteral("blocks") }, markdown);
        QCOMPARE(run.code, 0);
        QCOMPARE(QJsonDocument::fromJson(run.out), QJsonDocument::fromJson(json));
    }

    void inlineRendersHtml()
    {
        const Run run
            = scrivel({ QStringLiteral("inline") }, "**b** [x](javascript:alert(1)) <i>\n");
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, QByteArray("<strong>b</strong> x &lt;i&gt;\n"));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command")
            << QStringList { QStringLiteral("--notes"), QStringLiteral("/tmp") } << 2
            << "no command";
        QTest::newRow("unknown command")
            << QStringList { QStringLiteral("frobnicate") } << 2 << "frobnicate";
        QTest::newRow("unknown option")
            << QStringList { QStringLiteral("list"), QStringLiteral("--frob") } << 2 << "--frob";
        QTest::newRow("option needs value")
            << QStringList { QStringLiteral("list"), QStringLiteral("--tag") } << 2 << "--tag";
        QTest::newRow("bad tag") << QStringList { QStringLiteral("list"), QStringLiteral("--tag"),
                                                  QStringLiteral("video") }
                                 << 2 << "--tag";
        QTest::newRow("too many arguments")
            << QStringList { QStringLiteral("show"), QStringLiteral("a"), QStringLiteral("b") } << 2
            << "show";
        QTest::newRow("option of another command")
            << QStringList { QStringLiteral("show"), QStringLiteral("x"),
                             QStringLiteral("--trash") }
            << 2 << "--trash";
        QTest::newRow("unknown id")
            << QStringList { QStringLiteral("show"), QStringLiteral("000000000000") } << 3
            << "000000000000";
        QTest::newRow("negative index")
            << QStringList { QStringLiteral("toggle"), QStringLiteral("x"), QStringLiteral("-1") }
            << 2 << "INDEX";
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, message);
        const QStringList all
            = arguments.first().startsWith(u"--") ? arguments : m_base + arguments;
        const Run run = scrivel(all);
        QCOMPARE(run.code, code);
        QVERIFY2(QString::fromUtf8(run.err).contains(message), run.err.constData());
    }

    void helpDocumentsEveryCommand()
    {
        const Run run = scrivel({ QStringLiteral("--help") });
        QCOMPARE(run.code, 0);
        for (const char *command :
             { "blocks", "inline", "list", "search", "show", "new", "set", "delete", "restore",
               "purge", "empty-trash", "delete-all", "toggle", "attach", "detach", "rescan" })
            QVERIFY2(run.out.contains(QByteArray("  ") + command), command);
    }

    void notesRoundTrip()
    {
        const Run created = scrivel(
            m_base + QStringList { QStringLiteral("new"), QStringLiteral("# Plan\n- [ ] milk") });
        QCOMPARE(created.code, 0);
        const QString id = QString::fromUtf8(created.out).trimmed();
        QCOMPARE(id.size(), 12);

        const QByteArray body = QByteArray("# Plan\n- [ ] milk\n- [ ] café ✓\n\n");
        QCOMPARE(scrivel(m_base + QStringList { QStringLiteral("set"), id }, body).code, 0);
        QCOMPARE(scrivel(m_base + QStringList { QStringLiteral("show"), id }).out, body); // exactly
        QCOMPARE(scrivel(m_base + QStringList { QStringLiteral("toggle"), id, QStringLiteral("1") })
                     .code,
                 0);
        QVERIFY(scrivel(m_base + QStringList { QStringLiteral("show"), id })
                    .out.contains("- [x] café"));

        const Run listed = scrivel(m_base
                                   + QStringList { QStringLiteral("search"), QStringLiteral("CAFÉ"),
                                                   QStringLiteral("--json") });
        QCOMPARE(listed.code, 0);
        const QJsonArray notes = QJsonDocument::fromJson(listed.out).array();
        QCOMPARE(notes.size(), 1);
        const QJsonObject note = notes.first().toObject();
        QCOMPARE(note.value(u"title").toString(), QStringLiteral("Plan"));
        QCOMPARE(note.value(u"filename").toString(),
                 QStringLiteral("plan-") + id + QStringLiteral(".md"));
        QCOMPARE(note.value(u"tags").toArray(), QJsonArray { QStringLiteral("text") });
        QVERIFY(note.value(u"dirty").toBool());
        for (const char *member :
             { "id", "preview", "createdAt", "updatedAt", "deleted", "attachments" })
            QVERIFY2(note.contains(QLatin1String(member)), member);

        const QString image = m_folders.path(QStringLiteral("Photo.PNG"));
        TestSupport::writeFile(image, "png");
        const Run attached
            = scrivel(m_base
                      + QStringList { QStringLiteral("attach"), id, image, QStringLiteral("--kind"),
                                      QStringLiteral("image") });
        QCOMPARE(attached.code, 0);
        const QString attachment = QString::fromUtf8(attached.out).trimmed();
        QVERIFY(scrivel(m_base + QStringList { QStringLiteral("show"), id })
                    .out.contains("![Photo](attachments/"));
        QCOMPARE(scrivel(m_base + QStringList { QStringLiteral("detach"), id, attachment }).code,
                 0);
        QVERIFY(
            !scrivel(m_base + QStringList { QStringLiteral("show"), id }).out.contains("![Photo]"));
        QCOMPARE(
            scrivel(m_base + QStringList { QStringLiteral("detach"), id, QStringLiteral("nope") })
                .code,
            3);

        QCOMPARE(scrivel(m_base + QStringList { QStringLiteral("delete"), id }).code, 0);
        QVERIFY(scrivel(m_base + QStringList { QStringLiteral("list"), QStringLiteral("--trash") })
                    .out.contains(id.toUtf8()));
        QCOMPARE(scrivel(m_base + QStringList { QStringLiteral("restore"), id }).code, 0);
        QVERIFY(scrivel(m_base + QStringList { QStringLiteral("list") }).out.contains(id.toUtf8()));
    }

    void heldLockExitsWithFour()
    {
        auto lock = StoreLock::acquire(m_folders.support());
        QVERIFY(lock);
        const Run run = scrivel(m_base + QStringList { QStringLiteral("list") });
        QCOMPARE(run.code, 4);
        QVERIFY(run.err.contains("store.lock"));
    }

    // The exports of a note with an image: the printing path's HTML, Markdown with its media
    // beside it, and a printed PDF (no pandoc on the tool's search path in the test's home).
    void exports_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("code");
        QTest::newRow("html") << "html" << 0;
        QTest::newRow("export-md") << "export-md" << 0;
        QTest::newRow("export-pdf") << "export-pdf" << 0;
        QTest::newRow("unknown id") << "html-unknown" << 3;
        QTest::newRow("missing output") << "export-md-bare" << 2;
    }
    void exports()
    {
        QFETCH(QString, command);
        QFETCH(int, code);
        QImage picture(40, 20, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        const QString image = m_folders.path(QStringLiteral("pic.png"));
        QVERIFY(picture.save(image));
        const Run made = scrivel(m_base + QStringList { QStringLiteral("new"), QStringLiteral("# Pictures") });
        QCOMPARE(made.code, 0);
        const QString id = QString::fromUtf8(made.out).trimmed();
        QCOMPARE(scrivel(m_base + QStringList { QStringLiteral("attach"), id, image, QStringLiteral("--kind"),
                                                QStringLiteral("image") }).code, 0);
        const QString folder = m_folders.path(QStringLiteral("export-") + command);
        QDir().mkpath(folder);
        Run run;
        if (command == u"html") {
            run = scrivel(m_base + QStringList { command, id });
            QVERIFY(run.out.contains("<h1>Pictures</h1>"));
            QVERIFY(run.out.contains("<img src=\"data:image/png;base64,"));
        } else if (command == u"export-md") {
            run = scrivel(m_base + QStringList { command, id, folder + QStringLiteral("/n.md") });
            const QStringList media = QDir(folder + QStringLiteral("/attachments/") + id).entryList(QDir::Files);
            QCOMPARE(media.size(), 1);
            QVERIFY(QFile::exists(folder + QStringLiteral("/n.md")));
        } else if (command == u"export-pdf") {
            run = scrivel(m_base + QStringList { command, id, folder + QStringLiteral("/n.pdf") });
            QFile pdf(folder + QStringLiteral("/n.pdf"));
            QVERIFY(pdf.open(QIODevice::ReadOnly));
            QCOMPARE(pdf.read(4), QByteArray("%PDF"));
        } else if (command == u"html-unknown") {
            run = scrivel(m_base + QStringList { QStringLiteral("html"), QStringLiteral("000000000000") });
        } else {
            run = scrivel(m_base + QStringList { QStringLiteral("export-md"), id });
        }
        QVERIFY2(run.code == code, run.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
