// The PDF export: the printing path's HTML against expected output for every block kind, a
// printed PDF read back with poppler's tools, and the pandoc path with stand-in pandoc and
// typst programs on a search path the test chooses.
#include "TestSupport.h"

#include "export/MarkdownExport.h"
#include "export/PDFExport.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<failed: %1>").arg(QString::fromUtf8(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

bool writeFile(const QString &path, const QByteArray &data, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(data);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return true;
}

// A stand-in pandoc: records its arguments, working folder, PATH and the files it was given
// into $STANDIN_LOG, writes "$STANDIN_ERR" to standard error and exits with $STANDIN_EXIT.
const char *const pandocScript = R"(#!/bin/sh
log="$STANDIN_LOG"
pwd > "$log.pwd"
printf '%s\n' "$PATH" > "$log.path"
: > "$log"
for a in "$@"; do printf '%s\n' "$a" >> "$log"; done
cp input.md "$log.input" 2>/dev/null
cp style.typ "$log.style" 2>/dev/null
if [ -n "$STANDIN_ERR" ]; then printf '%s' "$STANDIN_ERR" >&2; fi
if [ "${STANDIN_EXIT:-0}" = 0 ]; then
  out=""; next=0
  for a in "$@"; do if [ $next = 1 ]; then out="$a"; fi; if [ "$a" = "--output" ]; then next=1; else next=0; fi; done
  printf '%%PDF-1.4 stand-in\n' > "$out"
fi
exit "${STANDIN_EXIT:-0}"
)";

} // namespace

class PDFExportTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Tool folders: "first" and "second" hold what the row asks for.
    QStringList makeTools(const QString &row, bool pandocFirst, bool pandocSecond, bool typst)
    {
        const QString first = path(row + QStringLiteral("/first"));
        const QString second = path(row + QStringLiteral("/second"));
        QDir().mkpath(first);
        QDir().mkpath(second);
        if (pandocFirst)
            writeFile(QDir(first).filePath(QStringLiteral("pandoc")), QByteArray(pandocScript).replace("$STANDIN_LOG", "$STANDIN_LOG.first"), true);
        if (pandocSecond)
            writeFile(QDir(second).filePath(QStringLiteral("pandoc")), pandocScript, true);
        if (typst)
            writeFile(QDir(second).filePath(QStringLiteral("typst")), "#!/bin/sh\nexit 0\n", true);
        return { first, second };
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        QVERIFY(m_dir.isValid());
    }

    void htmlBlocks_data()
    {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("body");
        QTest::newRow("level-1 heading with its title rule") << "# Title" << "<h1>Title</h1>\n<hr class=\"title\">\n";
        QTest::newRow("level-2 heading without") << "## Part" << "<h2>Part</h2>\n";
        QTest::newRow("paragraph lines joined by br") << "one\ntwo" << "<p>one<br>two</p>\n";
        QTest::newRow("checked task") << "- [x] done" << "<p class=\"li\">\u2611&nbsp;&nbsp;done</p>\n";
        QTest::newRow("open task") << "- [ ] todo" << "<p class=\"li\">\u2610&nbsp;&nbsp;todo</p>\n";
        QTest::newRow("bullet escapes less-than") << "- a < b" << "<p class=\"li\">\u2022&nbsp;&nbsp;a &lt; b</p>\n";
        QTest::newRow("ordered") << "12. twelfth" << "<p class=\"li\">12.&nbsp;&nbsp;twelfth</p>\n";
        QTest::newRow("quote") << "> wise words" << "<blockquote>wise words</blockquote>\n";
        QTest::newRow("code escaped, quotes too") << "```\nif (a<b && c>\"d\")\n```"
                                                  << "<pre><code>if (a&lt;b &amp;&amp; c&gt;&quot;d&quot;)</code></pre>\n";
        QTest::newRow("image with a source") << "![A \"big\" <cat>](attachments/n/cat.png)"
                                             << "<p><img src=\"data:image/png;base64,AA==\" alt=\"A &quot;big&quot; &lt;cat&gt;\"></p>\n";
        QTest::newRow("image without a source is left out") << "![gone](attachments/n/missing.png)" << "";
        QTest::newRow("audio label") << "[Recording 0:05](attachments/n/a.m4a)" << "<p class=\"audio\">\u266A Recording 0:05</p>\n";
        QTest::newRow("rule") << "---" << "<hr>\n";
        QTest::newRow("inline styles and a link")
            << "**b** *i* `c<d` ~~s~~ [l](https://x.org/?a=1&b=2)"
            << "<p><strong>b</strong> <em>i</em> <code>c&lt;d</code> <s>s</s> <a href=\"https://x.org/?a=1&amp;b=2\">l</a></p>\n";
        QTest::newRow("raw html is text") << "<script>x</script>" << "<p>&lt;script&gt;x&lt;/script&gt;</p>\n";
    }
    void htmlBlocks()
    {
        QFETCH(QString, markdown);
        QFETCH(QString, body);
        const QString html = PDFExport::html(markdown, [](const QString &p) -> std::optional<QString> {
            if (p.endsWith(u"cat.png"))
                return QStringLiteral("data:image/png;base64,AA==");
            return std::nullopt;
        });
        const QString empty = PDFExport::html(QString(), {});
        QVERIFY(empty.endsWith(QStringLiteral("<body>\n</body></html>")));
        const QString head = empty.chopped(QStringLiteral("</body></html>").size());
        QVERIFY(html.startsWith(head));
        QCOMPARE(html.mid(head.size()), body + QStringLiteral("</body></html>"));
    }

    // A whole note against the file checked in beside the test (head included).
    void htmlGoldenFile()
    {
        const QString markdown = readFile(QStringLiteral(EXPORT_DATA_DIR "/note.md"));
        QVERIFY(!markdown.isEmpty());
        const QString html = PDFExport::html(markdown, [](const QString &p) -> std::optional<QString> {
            if (p == u"attachments/0123456789ab/photo.png")
                return QStringLiteral("data:image/png;base64,iVBORw0KGgo=");
            return std::nullopt;
        });
        const QString golden = readFile(QStringLiteral(EXPORT_DATA_DIR "/note.html"));
        if (golden != html)
            writeFile(QStringLiteral(SCRIVEL_BINARY_DIR "/note.actual.html"), html.toUtf8()); // to compare by hand
        QCOMPARE(html, golden);
    }

    void dataURI_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("png") << "attachments/n/p.png" << "data:image/png;base64,";
        QTest::newRow("jpeg by extension") << "attachments/n/p.jpg" << "data:image/jpeg;base64,";
        QTest::newRow("no extension: png") << "attachments/n/p" << "data:image/png;base64,";
        QTest::newRow("missing file") << "attachments/n/none.png" << "";
        QTest::newRow("outside the base folder") << "../secret.png" << "";
        QTest::newRow("absolute path") << "/etc/hostname" << "";
    }
    void dataURI()
    {
        QFETCH(QString, relative);
        QFETCH(QString, prefix);
        const QString base = path(QStringLiteral("base"));
        QDir().mkpath(base + QStringLiteral("/attachments/n"));
        for (const char *name : { "p.png", "p.jpg", "p" })
            writeFile(base + QStringLiteral("/attachments/n/") + QLatin1String(name), "\x01\x02");
        writeFile(path(QStringLiteral("secret.png")), "secret");
        const auto uri = PDFExport::dataURI(base, relative);
        if (prefix.isEmpty()) {
            QVERIFY(!uri);
        } else {
            QVERIFY(uri);
            QCOMPARE(*uri, prefix + QStringLiteral("AQI="));
        }
    }

    void printedPDF()
    {
        for (const char *tool : { "pdfinfo", "pdffonts", "pdftotext", "pdfimages" })
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP("poppler-utils is not installed");
        const QString base = path(QStringLiteral("printed"));
        QDir().mkpath(base + QStringLiteral("/attachments/n"));
        QImage picture(400, 240, QImage::Format_RGB32);
        picture.fill(QColor(30, 120, 200));
        QVERIFY(picture.save(base + QStringLiteral("/attachments/n/blue.png")));
        const QString markdown = QStringLiteral(
            "# Trip notes\n\nFirst paragraph with **bold** text.\n\n- [x] Tickets\n- [ ] Bags\n\n"
            "![Blue](attachments/n/blue.png)\n\n![Gone](attachments/n/missing.png)\n\n"
            "## Later\n\nLast words.");
        const QString out = base + QStringLiteral("/out.pdf");
        const auto outcome = PDFExport::withPrinting(markdown, base, out);
        QVERIFY(outcome);
        const QString info = run(QStringLiteral("pdfinfo"), { out });
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+612 x 792 pts"))), qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
        // Every font embedded: the "emb" column (the third from the end) says yes.
        const QStringList fonts = run(QStringLiteral("pdffonts"), { out }).split(u'\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY(!fonts.isEmpty());
        for (const QString &line : fonts) {
            const QStringList columns = line.split(u' ', Qt::SkipEmptyParts);
            QVERIFY2(columns.size() >= 5 && columns.at(columns.size() - 5) == u"yes", qPrintable(line));
        }
        const QString text = run(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), out, QStringLiteral("-") });
        qsizetype at = 0;
        for (const QString &piece : { QStringLiteral("Trip notes"), QStringLiteral("First paragraph with bold text."),
                                      QStringLiteral("\u2611"), QStringLiteral("Tickets"), QStringLiteral("Bags"),
                                      QStringLiteral("Later"), QStringLiteral("Last words.") }) {
            const qsizetype found = text.indexOf(piece, at);
            QVERIFY2(found >= 0, qPrintable(piece + QStringLiteral(" in order in:\n") + text));
            at = found + piece.size();
        }
        // The present image only; the missing one is left out without an error.
        const QStringList images = run(QStringLiteral("pdfimages"), { QStringLiteral("-list"), out })
                                       .split(u'\n', Qt::SkipEmptyParts).mid(2);
        QCOMPARE(images.size(), 1);
        // One inch of white on the left: the text starts at the margin, not at the paper's edge.
        QProcess render;
        render.start(QStringLiteral("pdftoppm"), { QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                                                   QStringLiteral("-singlefile"), out, base + QStringLiteral("/page") });
        QVERIFY(render.waitForFinished(30000));
        const QImage page(base + QStringLiteral("/page.png"));
        QCOMPARE(page.size(), QSize(612, 792));
        int firstInk = page.width();
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < firstInk; ++x)
                if (qGray(page.pixel(x, y)) < 200)
                    firstInk = x;
        QVERIFY2(firstInk >= 70 && firstInk <= 80, qPrintable(QString::number(firstInk)));
    }

    void printingLongNoteMakesPages()
    {
        QString markdown;
        for (int i = 0; i < 200; ++i)
            markdown += QStringLiteral("Line %1 of a long note.\n\n").arg(i);
        const QString out = path(QStringLiteral("long.pdf"));
        QVERIFY(PDFExport::withPrinting(markdown, path(QString()), out));
        const QString info = run(QStringLiteral("pdfinfo"), { out });
        const auto pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
        QVERIFY(pages.hasMatch());
        QVERIFY(pages.captured(1).toInt() > 1);
    }

    void printingToUnwritablePlaceFails()
    {
        const auto outcome = PDFExport::withPrinting(QStringLiteral("text"), path(QString()),
                                                     path(QStringLiteral("no/such/folder/x.pdf")));
        QVERIFY(!outcome);
        QCOMPARE(outcome.error().kind, PDFExport::Failure::Kind::Print);
    }

    void toolSearch_data()
    {
        QTest::addColumn<bool>("pandocFirst");
        QTest::addColumn<bool>("pandocSecond");
        QTest::addColumn<bool>("typst");
        QTest::addColumn<QString>("ran"); // "first", "second" or "printing"
        QTest::newRow("pandoc without typst prints") << false << true << false << "printing";
        QTest::newRow("neither prints") << false << false << false << "printing";
        QTest::newRow("both found") << false << true << true << "second";
        QTest::newRow("the first folder's pandoc wins") << true << true << true << "first";
    }
    void toolSearch()
    {
        QFETCH(bool, pandocFirst);
        QFETCH(bool, pandocSecond);
        QFETCH(bool, typst);
        QFETCH(QString, ran);
        const QString row = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
        const QStringList tools = makeTools(row, pandocFirst, pandocSecond, typst);
        const QString log = path(row + QStringLiteral("/log"));
        qputenv("STANDIN_LOG", log.toUtf8());
        qunsetenv("STANDIN_EXIT");
        qunsetenv("STANDIN_ERR");
        const QString out = path(row + QStringLiteral("/out.pdf"));
        PDFExport::Options options;
        options.toolDirectories = tools;
        const auto outcome = QCoro::waitFor(PDFExport::exportPDF(QStringLiteral("# Hi"), path(QString()), out, options));
        QVERIFY(outcome);
        QCOMPARE(QFile::exists(log + QStringLiteral(".first")), ran == u"first");
        QCOMPARE(QFile::exists(log), ran == u"second");
        const QString pdf = readFile(out);
        QVERIFY(pdf.startsWith(QStringLiteral("%PDF")));
        QCOMPARE(pdf.contains(QStringLiteral("stand-in")), ran != u"printing");
    }

    void pandocCommandLine()
    {
        const QStringList tools = makeTools(QStringLiteral("cmd"), false, true, true);
        const QString log = path(QStringLiteral("cmd/log"));
        qputenv("STANDIN_LOG", log.toUtf8());
        qunsetenv("STANDIN_EXIT");
        qunsetenv("STANDIN_ERR");
        const QString base = path(QStringLiteral("notes"));
        QDir().mkpath(base);
        const QString out = path(QStringLiteral("cmd/out.pdf"));
        const QString markdown = QStringLiteral("# Title\n\nText ünïcode\n");
        const QString pandoc = tools.at(1) + QStringLiteral("/pandoc");
        const QString typst = tools.at(1) + QStringLiteral("/typst");
        QVERIFY(QCoro::waitFor(PDFExport::withPandoc(markdown, base, out, pandoc, typst)));
        const QString folder = readFile(log + QStringLiteral(".pwd")).trimmed();
        QVERIFY(QFileInfo(folder).fileName().contains(
            QRegularExpression(QStringLiteral("^scrivelbar-pdf-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))));
        QCOMPARE(QFileInfo(folder).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
        QVERIFY2(!QFileInfo::exists(folder), "the working folder is removed after a run");
        const QStringList arguments = readFile(log).split(u'\n', Qt::SkipEmptyParts);
        const QStringList expected {
            folder + QStringLiteral("/input.md"), QStringLiteral("--from"), QStringLiteral("gfm"),
            QStringLiteral("--to"), QStringLiteral("pdf"), QStringLiteral("--pdf-engine=") + typst,
            QStringLiteral("--pdf-engine-opt=--root=/"), QStringLiteral("--resource-path=") + base,
            QStringLiteral("--standalone"), QStringLiteral("--include-before-body=") + folder + QStringLiteral("/style.typ"),
            QStringLiteral("--output"), out,
        };
        QCOMPARE(arguments, expected);
        QVERIFY(readFile(log + QStringLiteral(".path")).startsWith(tools.at(1) + u':'));
        QCOMPARE(readFile(log + QStringLiteral(".input")), markdown);
        QCOMPARE(readFile(log + QStringLiteral(".style")), PDFExport::typstStyle());
        const QStringList style = PDFExport::typstStyle().split(u'\n');
        QCOMPARE(style.size(), 27);
        QCOMPARE(style.at(7), QStringLiteral("// Apple Symbols draws the task-list boxes Helvetica Neue lacks."));
        QVERIFY(!PDFExport::typstStyle().endsWith(u'\n'));
    }

    void pandocFailure_data()
    {
        QTest::addColumn<QString>("errors");
        QTest::addColumn<QString>("detail");
        const QString tail = QString(300, u'y');
        QTest::newRow("10,000 characters keep their last 300 after trimming")
            << (QString(9700, u'x') + tail + QStringLiteral("\n \n")) << tail;
        QTest::newRow("short message kept whole") << QStringLiteral("  Error: bad input\n") << QStringLiteral("Error: bad input");
        QTest::newRow("no output") << QString() << QString();
    }
    void pandocFailure()
    {
        QFETCH(QString, errors);
        QFETCH(QString, detail);
        const QStringList tools = makeTools(QStringLiteral("fail"), false, true, true);
        const QString log = path(QStringLiteral("fail/log"));
        qputenv("STANDIN_LOG", log.toUtf8());
        qputenv("STANDIN_EXIT", "3");
        qputenv("STANDIN_ERR", errors.toUtf8());
        const auto outcome = QCoro::waitFor(PDFExport::withPandoc(QStringLiteral("x"), path(QString()), path(QStringLiteral("fail/out.pdf")),
                                                                  tools.at(1) + QStringLiteral("/pandoc"), tools.at(1) + QStringLiteral("/typst")));
        qunsetenv("STANDIN_EXIT");
        qunsetenv("STANDIN_ERR");
        QVERIFY(!outcome);
        QCOMPARE(outcome.error().kind, PDFExport::Failure::Kind::Pandoc);
        QCOMPARE(outcome.error().detail, detail);
        QVERIFY(outcome.error().describe().contains(detail));
        QVERIFY2(!QFileInfo::exists(readFile(log + QStringLiteral(".pwd")).trimmed()),
                 "the working folder is removed after a failed run");
    }

    void pandocThatCannotStart()
    {
        const QString broken = path(QStringLiteral("broken-pandoc"));
        writeFile(broken, "#!/nonexistent/interpreter\n", true);
        const auto before = QDir(QDir::tempPath()).entryList({ QStringLiteral("scrivelbar-pdf-*") });
        const auto outcome = QCoro::waitFor(PDFExport::withPandoc(QStringLiteral("x"), path(QString()), path(QStringLiteral("b.pdf")),
                                                                  broken, QStringLiteral("/bin/true")));
        QVERIFY(!outcome);
        QCOMPARE(outcome.error().kind, PDFExport::Failure::Kind::Launch);
        QCOMPARE(QDir(QDir::tempPath()).entryList({ QStringLiteral("scrivelbar-pdf-*") }), before);
    }

    void markdownExportWithMedia_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("ok");
        QTest::newRow("note's attachment folder") << "attachments/0123456789ab/p.png" << true;
        QTest::newRow("leaves the folder") << "../p.png" << false;
        QTest::newRow("absolute") << "/tmp/p.png" << false;
    }
    void markdownExportWithMedia()
    {
        QFETCH(QString, relative);
        QFETCH(bool, ok);
        const QString source = path(QStringLiteral("media-source.png"));
        writeFile(source, "png");
        const QString target = path(QStringLiteral("md-") + QString::number(qHash(relative)) + QStringLiteral("/new/n.md"));
        QDir().mkpath(QFileInfo(target).absolutePath()); // the save dialog picks an existing folder
        const auto written = MarkdownExport::write(QStringLiteral("![](") + relative + u')', target, { { source, relative } });
        QCOMPARE(bool(written), ok);
        QCOMPARE(readFile(target), QStringLiteral("![](") + relative + u')');
        if (ok)
            QCOMPARE(readFile(QFileInfo(target).absoluteDir().filePath(relative)), QStringLiteral("png"));
    }
};

QTEST_MAIN(PDFExportTest)
#include "tst_pdfexport.moc"
