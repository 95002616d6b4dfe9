#pragma once

#include "sync/SyncEngine.h"

#include <QString>
#include <QUrl>

/// The last step of "copy share link", shared by the editor and the note list.
namespace ShareLinkClipboard {

/// On success puts the link's full address on the clipboard (replacing what was there).
/// Returns the notice to show: "copied", or the failure's text.
QString deliver(const APIResult<QUrl> &link);

} // namespace ShareLinkClipboard
