#pragma once

#include <QStringList>

/// Shows files in the desktop's file manager: org.freedesktop.FileManager1.ShowItems over
/// D-Bus (selecting them), falling back to opening their folder when no file manager answers.
namespace FileReveal {

/// False when neither a D-Bus file manager took the request nor the desktop's handler opened
/// the folder (nothing was shown), so the caller can tell the user.
bool reveal(const QStringList &paths);
/// Opens a folder with the desktop's handler; false when none opened it.
bool openFolder(const QString &folder);

} // namespace FileReveal
