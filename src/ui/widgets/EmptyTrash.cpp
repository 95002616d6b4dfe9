#include "ui/widgets/EmptyTrash.h"

#include "base/Localization.h"
#include "store/NoteStore.h"
#include "ui/shell/Dialogs.h"

#include <QPointer>
#include <QWidget>

namespace EmptyTrash {

bool isPossible(const NoteStore &store)
{
    return !store.trashedNotes().isEmpty() || store.trashHoldsParkedMedia();
}

bool confirm(QWidget *view, NoteStore *store, Dialogs *dialogs)
{
    if (!view || !store || !dialogs)
        return false;
    Dialogs::Confirmation confirmation;
    confirmation.title = L("list.emptyTrash.title", int(store->trashedNotes().size()));
    confirmation.acceptText = L("list.emptyTrash");
    confirmation.destructive = true;
    // The dialog runs its own event loop: the screen may be rebuilt meanwhile.
    const QPointer<QWidget> asking(view);
    const QPointer<NoteStore> trash(store);
    if (!dialogs->confirm(view->window(), confirmation) || !asking || !trash)
        return false;
    trash->emptyTrash();
    return true;
}

} // namespace EmptyTrash
