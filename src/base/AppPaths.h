#pragma once

#include <QString>

/// The default folders of the application. With a development server set (AppInfo::devServer)
/// every name is "ScrivelBar Dev" so that development data never mixes with real notes.
namespace AppPaths {

/// "ScrivelBar", or "ScrivelBar Dev" when the development server override is set.
QString folderName();

/// The default notes folder: the user's Documents folder + "/" + folderName().
QString defaultNotesFolder();

/// The support folder (index file, trash, logs): $XDG_DATA_HOME + "/" + folderName(),
/// usually ~/.local/share/ScrivelBar.
QString defaultSupportFolder();

} // namespace AppPaths
