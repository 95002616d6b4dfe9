#include "ui/widgets/Menu.h"

#include "ui/style/ScreenStyle.h"

#include <QAction>
#include <QStyleOptionMenuItem>

namespace {
constexpr const char *destructiveProperty = "scrivelDestructive";
} // namespace

void Menu::markDestructive(QAction *action)
{
    if (action)
        action->setProperty(destructiveProperty, true);
}

bool Menu::isDestructive(const QAction *action)
{
    return action && action->property(destructiveProperty).toBool();
}

void Menu::initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const
{
    QMenu::initStyleOption(option, action);
    if (!option || !isDestructive(action) || !action->isEnabled())
        return;
    // Styles differ in the role they draw menu text with; the highlighted entry keeps its
    // highlighted-text colour so it stays legible on the selection.
    const QColor red = ScreenStyle::red(option->palette);
    for (const auto group : { QPalette::Active, QPalette::Inactive }) {
        for (const auto role : { QPalette::Text, QPalette::WindowText, QPalette::ButtonText })
            option->palette.setColor(group, role, red);
    }
}
