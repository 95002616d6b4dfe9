#pragma once

#include "sync/SyncEngine.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QString>
#include <QUrl>

class NoteStore;

/// "Copy share link", as the editor and the note list run it.
namespace ShareLinkClipboard {

/// What a copy ended with: the link (or why there is none) and the notice to show.
struct Copied
{
    APIResult<QUrl> link;
    QString notice;
};

/// Flushes the store's pending writes (the link then publishes what the notes folder holds),
/// asks the sync engine for the note's public link (it syncs first when the server may lack
/// the note's current text) and puts the link on the clipboard. The link reaches the
/// clipboard even when the screen that asked is gone by the time the server answers; the
/// caller looks at its own guarded pointer before using the result.
QCoro::Task<Copied> copyPublicLink(QPointer<NoteStore> store, QPointer<SyncEngine> sync,
                                   QString noteId);

/// On success puts the link's full address on the clipboard (replacing what was there).
/// Returns the notice to show: "copied", or the failure's text.
QString deliver(const APIResult<QUrl> &link);

} // namespace ShareLinkClipboard
