#pragma once

#include "base/Result.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

/// Turns a note's Markdown into a PDF file. With pandoc and typst both installed it runs
/// pandoc with typst as the PDF engine and a style sheet of its own; otherwise it renders the
/// note to HTML (`html`) and prints that with QTextDocument on a US Letter page with one-inch
/// margins (fonts and images embedded). A failed pandoc run is the export's failure: there is
/// no second attempt by printing.
namespace PDFExport {

struct Failure
{
    enum class Kind {
        Pandoc, ///< pandoc exited with an error; `detail` is the end of its error output
        Print,  ///< the printing path made no file
        Write,  ///< the working folder or a file in it could not be written; `detail` names it
        Launch, ///< pandoc could not be started; `detail` is the reason
    };
    Kind kind = Kind::Print;
    QString detail;
    /// The text for people.
    QString describe() const;
};

using Outcome = Result<void, Failure>;

/// How much of pandoc's error output a failure keeps (its end).
inline constexpr int pandocErrorTail = 300;

/// Where pandoc and typst are looked for, in order: "~/.local/bin", "/usr/local/bin",
/// "/usr/bin".
QStringList defaultToolDirectories();

struct Options
{
    QStringList toolDirectories = defaultToolDirectories();
};

/// The first directory of `directories` that holds an executable file `name`.
std::optional<QString> tool(const QString &name, const QStringList &directories);

/// Maps an image path as written in the Markdown to an image source for <img src>, or
/// nothing to leave the image out.
using ImageSource = std::function<std::optional<QString>(const QString &path)>;

/// The printing path's HTML: a fixed head with the style sheet, one element per block of
/// Markdown::parse(markdown), then "</body></html>".
QString html(const QString &markdown, const ImageSource &image);

/// The image source of the printing path: the file at `baseFolder` joined with the path, as a
/// "data:" URI with the file's MIME type by its extension ("image/png" when none is known);
/// nothing when the file cannot be read or the path leaves the base folder.
std::optional<QString> dataURI(const QString &baseFolder, const QString &path);

/// The typst style sheet the pandoc path includes.
QString typstStyle();

/// Exports `markdown` (relative media paths resolve against `baseFolder`) to `destination`.
QCoro::Task<Outcome> exportPDF(QString markdown, QString baseFolder, QString destination,
                               Options options = {});

/// The converter path: pandoc with typst, in a fresh "scrivelbar-pdf-<UUID>" folder in the
/// temporary folder that is removed afterwards whatever happens.
QCoro::Task<Outcome> withPandoc(QString markdown, QString baseFolder, QString destination,
                                QString pandoc, QString typst);

/// The printing path.
Outcome withPrinting(const QString &markdown, const QString &baseFolder,
                     const QString &destination);

} // namespace PDFExport
