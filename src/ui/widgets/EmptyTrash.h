#pragma once

class Dialogs;
class NoteStore;
class QWidget;

/// Emptying the trash, as the account screen's trash section and the trash list offer it:
/// when it can be done, and the confirmation that does it.
namespace EmptyTrash {

/// Whether there is anything to empty: a trashed note, or media files kept for trashed notes.
bool isPossible(const NoteStore &store);

/// Asks the user to confirm ("list.emptyTrash.title" with the number of trashed notes, a
/// destructive "list.emptyTrash" and a cancel button, over `view`'s window) and empties the
/// trash when they accept. Nothing is emptied when `view` or the store went away while the
/// question was up. Returns whether the trash was emptied.
bool confirm(QWidget *view, NoteStore *store, Dialogs *dialogs);

} // namespace EmptyTrash
