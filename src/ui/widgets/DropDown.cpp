#include "ui/widgets/DropDown.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>

DropDown::DropDown(QWidget *parent)
    : QComboBox(parent)
{
    // The open list's key presses reach the list view first (its focus widget); claiming the
    // shortcut override there keeps the key from the shortcut map, and the key press then
    // closes the list the ordinary way.
    view()->installEventFilter(this);
}

bool DropDown::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view() && event->type() == QEvent::ShortcutOverride && view()->isVisible()) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Cancel)) {
            key->accept();
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}
