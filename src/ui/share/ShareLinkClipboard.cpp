#include "ui/share/ShareLinkClipboard.h"

#include "base/Localization.h"
#include "store/NoteStore.h"

#include <QClipboard>
#include <QGuiApplication>

namespace ShareLinkClipboard {

QCoro::Task<Copied> copyPublicLink(QPointer<NoteStore> store, QPointer<SyncEngine> sync,
                                   QString noteId)
{
    Copied copied;
    if (store)
        store->flush();
    if (sync)
        copied.link = co_await sync->publicLink(noteId);
    else
        copied.link = APIResult<QUrl>::failure(ClientError(SignedOutError {}));
    copied.notice = deliver(copied.link);
    co_return copied;
}

QString deliver(const APIResult<QUrl> &link)
{
    if (!link)
        return describe(link.error());
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText((*link).toString(QUrl::FullyEncoded));
    return L("editor.shareLink.copied");
}

} // namespace ShareLinkClipboard
