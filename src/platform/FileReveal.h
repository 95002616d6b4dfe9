#pragma once

#include <QStringList>

/// Shows files in the desktop's file manager: org.freedesktop.FileManager1.ShowItems over
/// D-Bus (selecting them), falling back to opening their folder when no file manager answers.
namespace FileReveal {

/// Shows `paths` (they share one folder) in the file manager. False when nothing could show
/// them: no file manager on the session bus and no handler that opens their folder. A file
/// manager that takes the request and fails later (the call is asynchronous, so a slow one
/// never freezes the panel) is answered by opening the folder, whose outcome this call can no
/// longer report.
bool reveal(const QStringList &paths);
/// Opens a folder with the desktop's handler. False when no handler could open it.
bool openFolder(const QString &folder);

} // namespace FileReveal
