#include "ui/share/ShareLinkClipboard.h"

#include "base/Localization.h"

#include <QClipboard>
#include <QGuiApplication>

namespace ShareLinkClipboard {

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
