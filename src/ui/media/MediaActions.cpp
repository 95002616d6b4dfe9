#include "ui/media/MediaActions.h"

#include "base/Localization.h"
#include "ui/shell/Dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>

namespace MediaActions {

namespace {

QCoro::Task<> runPDF(QPointer<QWidget> parent, QPointer<Dialogs> dialogs, QString text,
                     QString baseFolder, QString destination, PDFExport::Options options,
                     std::function<void(bool)> finished)
{
    QFile::remove(destination); // an older export there; failing to remove it is the writer's problem
    const PDFExport::Outcome outcome
        = co_await PDFExport::exportPDF(text, baseFolder, destination, options);
    if (!outcome && dialogs)
        dialogs->alert(parent, L("editor.export.failed"), outcome.error().describe());
    if (finished)
        finished(bool(outcome));
}

} // namespace

QString suggestedMediaName(const QString &source, Attachment::Kind kind, const Date &createdAt)
{
    const QString word = L(kind == Attachment::Kind::Audio ? "note.audio" : "note.image");
    const QString stamp = createdAt.toDateTime().toLocalTime().toString(QStringLiteral("yyyy-MM-dd-HHmm"));
    return word + u'-' + stamp + u'.' + QFileInfo(source).suffix();
}

void exportMedia(QWidget *parent, Dialogs *dialogs, const QString &source, Attachment::Kind kind,
                 const Date &createdAt)
{
    if (!dialogs)
        return;
    const QString pattern = QStringLiteral("*.") + QFileInfo(source).suffix().toLower();
    const QString filter = L(kind == Attachment::Kind::Audio ? "dialog.filter.audio" : "dialog.filter.images", pattern);
    const auto target = dialogs->saveFile(parent, L("editor.export.prompt"),
                                          suggestedMediaName(source, kind, createdAt), filter);
    if (!target)
        return;
    const QFileInfo from(source), to(*target);
    if (to.exists() && from.exists() && from.canonicalFilePath() == to.canonicalFilePath())
        return; // the file itself: removing it first would lose it
    if (to.exists() || to.isSymLink())
        QFile::remove(*target);
    if (!QFile::copy(source, *target))
        dialogs->alert(parent, L("editor.export.failed"), L("editor.export.error.copy", *target));
}

void exportMarkdown(QWidget *parent, Dialogs *dialogs, const QString &text,
                    const QString &suggestedName, const QList<MarkdownExport::Media> &media)
{
    if (!dialogs)
        return;
    const QString filter = L("dialog.filter.markdown", QStringLiteral("*.md")) + QStringLiteral(";;")
        + L("dialog.filter.text", QStringLiteral("*.txt"));
    const auto target = dialogs->saveFile(parent, L("editor.export.prompt"), suggestedName, filter);
    if (!target)
        return;
    if (auto written = MarkdownExport::write(text, *target, media); !written)
        dialogs->alert(parent, L("editor.export.failed"), written.error());
}

void exportPDF(QWidget *parent, Dialogs *dialogs, const QString &text, const QString &suggestedName,
               const QString &baseFolder, PDFExport::Options options,
               std::function<void(bool)> finished)
{
    if (!dialogs)
        return;
    const auto target = dialogs->saveFile(parent, L("editor.export.prompt"), suggestedName,
                                          L("dialog.filter.pdf", QStringLiteral("*.pdf")));
    if (!target)
        return;
    auto running = runPDF(parent, dialogs, text, baseFolder, *target, std::move(options),
                          std::move(finished));
    Q_UNUSED(running);
}

} // namespace MediaActions
