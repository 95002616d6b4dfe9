#pragma once

#include "export/MarkdownExport.h"
#include "export/PDFExport.h"
#include "store/Note.h"

#include <QList>
#include <QString>

class Dialogs;
class QWidget;

/// The file exports the media blocks and the editor's menu share: one media file, a note's
/// Markdown with its media, a note's PDF. Each asks for the location with the save dialog
/// (cancelled: nothing happens) and reports a failure with the error alert
/// ("editor.export.failed" and the reason).
namespace MediaActions {

/// "<kind word>-<yyyy-MM-dd-HHmm>.<extension>", e.g. "Recording-2026-03-01-0930.m4a".
QString suggestedMediaName(const QString &source, Attachment::Kind kind, const Date &createdAt);

/// Saves a copy of one media file, replacing what is at the chosen place.
void exportMedia(QWidget *parent, Dialogs *dialogs, const QString &source, Attachment::Kind kind,
                 const Date &createdAt);
/// Writes the Markdown and copies its media beside it (paths "attachments/<id>/<file>").
void exportMarkdown(QWidget *parent, Dialogs *dialogs, const QString &text,
                    const QString &suggestedName, const QList<MarkdownExport::Media> &media);
/// Exports the Markdown as PDF (media paths relative to `baseFolder`). The export runs
/// after the dialog, without blocking; `finished` (when given) is called once it ended.
void exportPDF(QWidget *parent, Dialogs *dialogs, const QString &text, const QString &suggestedName,
               const QString &baseFolder, PDFExport::Options options = {},
               std::function<void(bool ok)> finished = {});

} // namespace MediaActions
