#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

/// The languages text recognition can read, from the language data installed. It looks at
/// files only, so the settings and each job can ask without loading the recognizers.
namespace TextLanguages {

/// The "tessdata" folder: `configured` when given, else $TESSDATA_PREFIX, else Debian's.
QString dataPath(const QString &configured = {});
/// Languages with data in `dataPath`, of those the app knows ("eng", "spa", "por").
QStringList installed(const QString &dataPath);
/// The tesseract codes for `locales` (the speech and interface languages), preferred first,
/// then the other installed languages the app knows; only installed ones.
QStringList forLocales(const QString &dataPath, const QList<QLocale> &locales);

} // namespace TextLanguages
