#include "ui/media/MediaMenu.h"

#include "base/Localization.h"
#include "ui/widgets/Menu.h"

#include <QMenu>

namespace MediaMenu {

void fill(QMenu *menu, const QString &path, Attachment::Kind kind, const MediaContext &media)
{
    const bool image = kind == Attachment::Kind::Image;
    const auto call = [path](const std::function<void(const QString &)> &action) {
        return [path, action] {
            if (action)
                action(path);
        };
    };
    if (image && media.extractText) {
        menu->addAction(L("ai.extractText"), menu, call(media.extractText))
            ->setObjectName(QStringLiteral("ai.extractText"));
        menu->addSeparator();
    }
    if (!image && media.transcribe) {
        menu->addAction(L("ai.transcribe"), menu, call(media.transcribe))
            ->setObjectName(QStringLiteral("ai.transcribe"));
        menu->addSeparator();
    }
    menu->addAction(L(image ? "editor.export.image" : "editor.export.audio"), menu,
                    call(media.exportMedia))
        ->setObjectName(QStringLiteral("export"));
    menu->addAction(L("editor.attachment.reveal"), menu, call(media.reveal))
        ->setObjectName(QStringLiteral("reveal"));
    menu->addSeparator();
    QAction *remove = menu->addAction(
        L(image ? "editor.attachment.remove.image" : "editor.attachment.remove.audio"), menu,
        call(media.remove));
    remove->setObjectName(QStringLiteral("remove"));
    Menu::markDestructive(remove);
}

QMenu *create(QWidget *parent, const QString &path, Attachment::Kind kind, const MediaContext &media)
{
    auto *menu = new Menu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    fill(menu, path, kind, media);
    return menu;
}

} // namespace MediaMenu
