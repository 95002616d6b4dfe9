#include "ui/ShareLinkClipboard.h"

#include "app/Localization.h"

#include <QClipboard>
#include <QGuiApplication>

namespace ShareLinkClipboard {

QString deliver(const ShareResult<QUrl> &link)
{
    if (!link)
        return SyncEngine::message(link.error());
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText((*link).toString(QUrl::FullyEncoded));
    return L("editor.shareLink.copied");
}

} // namespace ShareLinkClipboard
