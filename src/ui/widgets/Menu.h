#pragma once

#include <QMenu>

class QAction;
class QStyleOptionMenuItem;

/// A QMenu that draws the entries marked destructive (delete, delete for ever) in the
/// palette's destructive red, the way a desktop menu sets apart an action that loses data.
class Menu : public QMenu
{
    Q_OBJECT
public:
    using QMenu::QMenu;

    /// Marks `action` as destructive; menus of this class draw it in red.
    static void markDestructive(QAction *action);
    static bool isDestructive(const QAction *action);

    /// The style option the menu paints `action` with (public for tests).
    void initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const override;
};
