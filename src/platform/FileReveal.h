#pragma once

#include <QStringList>

/// Shows files in the desktop's file manager: org.freedesktop.FileManager1.ShowItems over
/// D-Bus (selecting them), falling back to opening their folder when no file manager answers.
namespace FileReveal {

void reveal(const QStringList &paths);
/// Opens a folder with the desktop's handler.
void openFolder(const QString &folder);

} // namespace FileReveal
