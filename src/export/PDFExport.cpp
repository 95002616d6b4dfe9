#include "export/PDFExport.h"

#include "base/DurableFile.h"
#include "base/Localization.h"
#include "markdown/InlineRenderer.h"
#include "markdown/MarkdownBlock.h"

#include <QCoro/QCoroProcess>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTextDocument>
#include <QUrl>
#include <QUuid>

namespace PDFExport {

namespace {

using Markdown::escapeHtml;

// The fixed head of the printing path's HTML, line by line.
const char *const htmlHead
    = "<!doctype html><html><head><meta charset=\"utf-8\"><style>\n"
      "@page { margin: 1in; }\n"
      "body { font: 10.5pt/1.55 \"Helvetica Neue\", Helvetica, sans-serif; color: #1f2429; margin: 0; }\n"
      "h1, h2, h3, h4, h5, h6 { font-family: \"Avenir Next\", \"Helvetica Neue\", sans-serif; color: #0f4c75; margin: 1.1em 0 .4em; }\n"
      "h1 { font-size: 20pt; }\n"
      "h2 { font-size: 15pt; color: #1b6ca8; } h3 { font-size: 12pt; color: #1b6ca8; }\n"
      "a { color: #0b6e99; text-decoration: none; }\n"
      "code { font: 9pt Menlo, monospace; background: #eef2f6; padding: 0 2.5pt; border-radius: 2pt; }\n"
      "pre { background: #eef2f6; border-left: 2.5pt solid #2f6f9f; padding: 9pt 10pt; white-space: pre-wrap; }\n"
      "pre code { background: none; padding: 0; font-size: 8.4pt; }\n"
      "blockquote { color: #555; border-left: 3pt solid #ccd5de; margin: 0; padding-left: 10pt; }\n"
      "p.li { margin: .15em 0 .15em 10pt; }\n"
      "img { max-width: 100%; max-height: 7in; }\n"
      "hr { border: 0; border-top: 1px solid #ccd5de; }\n"
      "hr.title { border-top: 2pt solid #0f4c75; margin-top: -.3em; }\n"
      ".audio { color: #666; }\n"
      "</style></head><body>\n";

const char *const typstSheet
    = "#let ink     = rgb(\"#1f2429\")\n"
      "#let accent  = rgb(\"#0f4c75\")\n"
      "#let accent2 = rgb(\"#1b6ca8\")\n"
      "#let bar     = rgb(\"#2f6f9f\")\n"
      "#let codebg  = rgb(\"#eef2f6\")\n"
      "\n"
      "#set page(margin: (x: 1in, y: 1in))\n"
      "// Apple Symbols draws the task-list boxes Helvetica Neue lacks.\n"
      "#set text(font: (\"Helvetica Neue\", \"Apple Symbols\"), size: 10.5pt, fill: ink)\n"
      "#set par(justify: false, leading: 0.72em)\n"
      "\n"
      "#show heading: set text(font: \"Avenir Next\", fill: accent)\n"
      "#show heading.where(level: 1): it => { it; v(-0.4em); line(length: 100%, stroke: 2pt + accent); v(0.15em) }\n"
      "#show heading.where(level: 2): set text(fill: accent2)\n"
      "#show heading.where(level: 3): set text(fill: accent2, size: 1.02em)\n"
      "\n"
      "#show link: set text(fill: rgb(\"#0b6e99\"))\n"
      "\n"
      "#show raw.where(block: true): it => block(\n"
      "  width: 100%, fill: codebg, stroke: (left: 2.5pt + bar),\n"
      "  inset: (x: 10pt, y: 9pt), radius: (right: 2pt), text(font: \"Menlo\", size: 8.4pt, it))\n"
      "#show raw.where(block: false): it => box(\n"
      "  fill: codebg, inset: (x: 2.5pt), outset: (y: 2.5pt), radius: 2pt, text(font: \"Menlo\", it))\n"
      "\n"
      "#set table(inset: 7pt, stroke: none)\n"
      "#show table.cell.where(y: 0): set text(weight: \"bold\", fill: accent)\n"
      "#show table.cell: set par(justify: false)";

// A US Letter page less one inch on every side, in points.
constexpr double pageWidth = 612, pageHeight = 792, margin = 72;
// QTextDocument lays out in 96-dpi pixels when it has no paint device.
constexpr double layoutDpi = 96, pointsPerInch = 72;
constexpr double toLayout = layoutDpi / pointsPerInch;
// The head's "img { max-width: 100%; max-height: 7in; }", which QTextDocument's CSS ignores.
constexpr double imageMaxHeight = 7 * pointsPerInch;

QString inlineHtml(const QString &text)
{
    return Markdown::inlineHtml(text);
}

// QTextDocument knows no max-width for images: the document scales its images down to the
// head's limits as it loads them.
class PrintDocument : public QTextDocument
{
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl &name) override
    {
        QVariant resource = QTextDocument::loadResource(type, name);
        if (type != QTextDocument::ImageResource)
            return resource;
        QImage image = resource.value<QImage>();
        if (image.isNull() && resource.canConvert<QByteArray>())
            image = QImage::fromData(resource.toByteArray());
        if (image.isNull())
            return resource;
        const QSizeF limit((pageWidth - 2 * margin) * toLayout, imageMaxHeight * toLayout);
        if (image.width() > limit.width() || image.height() > limit.height())
            image = image.scaled(limit.toSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return image;
    }
};

// A folder that is removed when the export ends, however it ends.
struct WorkingFolder
{
    QString path;
    ~WorkingFolder()
    {
        if (!path.isEmpty())
            QDir(path).removeRecursively();
    }
};

} // namespace

QString Failure::describe() const
{
    switch (kind) {
    case Kind::Pandoc:
        return L("editor.export.pdf.pandoc", detail);
    case Kind::Print:
        return L("editor.export.pdf.failed");
    case Kind::Write:
        return detail;
    case Kind::Launch:
        return L("editor.export.pdf.launch", detail);
    }
    return detail;
}

QStringList defaultToolDirectories()
{
    return { QDir::home().filePath(QStringLiteral(".local/bin")), QStringLiteral("/usr/local/bin"),
             QStringLiteral("/usr/bin") };
}

std::optional<QString> tool(const QString &name, const QStringList &directories)
{
    for (const QString &directory : directories) {
        const QFileInfo file(QDir(directory).filePath(name));
        if (file.isFile() && file.isExecutable())
            return file.absoluteFilePath();
    }
    return std::nullopt;
}

QString html(const QString &markdown, const ImageSource &image)
{
    QString out = QString::fromUtf8(htmlHead);
    for (const MarkdownBlock &block : Markdown::parse(markdown)) {
        switch (block.kind) {
        case MarkdownBlock::Kind::Heading:
            out += QStringLiteral("<h%1>").arg(block.level) + inlineHtml(block.text)
                + QStringLiteral("</h%1>\n").arg(block.level);
            if (block.level == 1)
                out += QStringLiteral("<hr class=\"title\">\n");
            break;
        case MarkdownBlock::Kind::Paragraph: {
            QString text = inlineHtml(block.text);
            text.replace(u'\n', QStringLiteral("<br>"));
            out += QStringLiteral("<p>") + text + QStringLiteral("</p>\n");
            break;
        }
        case MarkdownBlock::Kind::Bullet: {
            const QString marker = !block.checked ? QStringLiteral("\u2022")
                : *block.checked                  ? QStringLiteral("\u2611")
                                                  : QStringLiteral("\u2610");
            out += QStringLiteral("<p class=\"li\">") + marker + QStringLiteral("&nbsp;&nbsp;")
                + inlineHtml(block.text) + QStringLiteral("</p>\n");
            break;
        }
        case MarkdownBlock::Kind::Ordered:
            out += QStringLiteral("<p class=\"li\">") + escapeHtml(block.marker)
                + QStringLiteral("&nbsp;&nbsp;") + inlineHtml(block.text) + QStringLiteral("</p>\n");
            break;
        case MarkdownBlock::Kind::Quote:
            out += QStringLiteral("<blockquote>") + inlineHtml(block.text)
                + QStringLiteral("</blockquote>\n");
            break;
        case MarkdownBlock::Kind::Code:
            out += QStringLiteral("<pre><code>") + escapeHtml(block.text)
                + QStringLiteral("</code></pre>\n");
            break;
        case MarkdownBlock::Kind::Image:
            if (const auto source = image ? image(block.path) : std::nullopt)
                out += QStringLiteral("<p><img src=\"") + escapeHtml(*source)
                    + QStringLiteral("\" alt=\"") + escapeHtml(block.alt) + QStringLiteral("\"></p>\n");
            break;
        case MarkdownBlock::Kind::Audio:
            out += QStringLiteral("<p class=\"audio\">\u266A ") + escapeHtml(block.label)
                + QStringLiteral("</p>\n");
            break;
        case MarkdownBlock::Kind::Rule:
            out += QStringLiteral("<hr>\n");
            break;
        }
    }
    return out + QStringLiteral("</body></html>");
}

std::optional<QString> dataURI(const QString &baseFolder, const QString &path)
{
    // The path comes from the note's text: it may not reach outside the notes folder.
    const QString clean = QDir::cleanPath(path);
    if (clean.isEmpty() || QDir::isAbsolutePath(clean) || clean == u".."
        || clean.startsWith(QStringLiteral("../")))
        return std::nullopt;
    QFile file(QDir(baseFolder).filePath(clean));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    QString mime = QMimeDatabase().mimeTypeForFile(file.fileName(), QMimeDatabase::MatchExtension).name();
    if (mime.isEmpty() || mime == u"application/octet-stream")
        mime = QStringLiteral("image/png");
    return QStringLiteral("data:") + mime + QStringLiteral(";base64,")
        + QString::fromLatin1(bytes.toBase64());
}

QString typstStyle()
{
    return QString::fromUtf8(typstSheet);
}

QCoro::Task<Outcome> exportPDF(QString markdown, QString baseFolder, QString destination,
                               Options options)
{
    if (const auto pandoc = tool(QStringLiteral("pandoc"), options.toolDirectories)) {
        if (const auto typst = tool(QStringLiteral("typst"), options.toolDirectories))
            co_return co_await withPandoc(markdown, baseFolder, destination, *pandoc, *typst);
    }
    co_return withPrinting(markdown, baseFolder, destination);
}

QCoro::Task<Outcome> withPandoc(QString markdown, QString baseFolder, QString destination,
                                QString pandoc, QString typst)
{
    WorkingFolder folder;
    const QString path = QDir(QDir::tempPath())
                             .filePath(QStringLiteral("scrivelbar-pdf-")
                                       + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    if (!QDir().mkpath(path))
        co_return Outcome::failure({ Failure::Kind::Write, L("editor.export.error.write", path) });
    folder.path = path;
    const QString input = QDir(path).filePath(QStringLiteral("input.md"));
    const QString style = QDir(path).filePath(QStringLiteral("style.typ"));
    for (const auto &[file, text] : { std::pair { input, markdown }, std::pair { style, typstStyle() } }) {
        if (auto written = DurableFile::write(file, text.toUtf8()); !written)
            co_return Outcome::failure(
                { Failure::Kind::Write, L("editor.export.error.write", file) + u' ' + written.error() });
    }

    QProcess process;
    process.setWorkingDirectory(path);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString oldPath = environment.value(QStringLiteral("PATH"));
    environment.insert(QStringLiteral("PATH"),
                       QFileInfo(typst).absolutePath() + u':'
                           + (oldPath.isEmpty() ? QStringLiteral("/usr/bin:/bin") : oldPath));
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::SeparateChannels);
    const QStringList arguments {
        input,
        QStringLiteral("--from"),
        QStringLiteral("gfm"),
        QStringLiteral("--to"),
        QStringLiteral("pdf"),
        QStringLiteral("--pdf-engine=") + typst,
        QStringLiteral("--pdf-engine-opt=--root=/"),
        QStringLiteral("--resource-path=") + baseFolder,
        QStringLiteral("--standalone"),
        QStringLiteral("--include-before-body=") + style,
        QStringLiteral("--output"),
        destination,
    };
    auto running = qCoro(process);
    const bool started = co_await running.start(pandoc, arguments, QIODevice::ReadOnly);
    if (!started)
        co_return Outcome::failure({ Failure::Kind::Launch, pandoc + QStringLiteral(": ") + process.errorString() });
    // No time limit: a long note takes as long as it takes, and the interface stays free.
    co_await running.waitForFinished(-1);
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        co_return Outcome {};
    QString errors = QString::fromUtf8(process.readAllStandardError()).trimmed();
    if (errors.size() > pandocErrorTail)
        errors = errors.right(pandocErrorTail);
    co_return Outcome::failure({ Failure::Kind::Pandoc, errors });
}

Outcome withPrinting(const QString &markdown, const QString &baseFolder, const QString &destination)
{
    const QString page = html(markdown, [&](const QString &path) { return dataURI(baseFolder, path); });
    {
        PrintDocument document;
        document.setDocumentMargin(0);
        document.setHtml(page);
        if (document.isEmpty() && !markdown.trimmed().isEmpty())
            return Outcome::failure({ Failure::Kind::Print, {} });
        // A page size of its own keeps the document from adding a margin and page numbers
        // when printed; print() then scales this box onto the writer's area inside the margins.
        document.setPageSize(QSizeF((pageWidth - 2 * margin) * toLayout,
                                    (pageHeight - 2 * margin) * toLayout));
        QPdfWriter writer(destination);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                         QMarginsF(margin, margin, margin, margin), QPageLayout::Point));
        writer.setCreator(QStringLiteral("ScrivelBar"));
        document.print(&writer);
    } // the writer finishes the file when it goes
    const QFileInfo written(destination);
    if (!written.isFile() || written.size() == 0)
        return Outcome::failure({ Failure::Kind::Print, {} });
    return {};
}

} // namespace PDFExport
