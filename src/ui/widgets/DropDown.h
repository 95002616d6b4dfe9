#pragma once

#include <QComboBox>

/// A combo box whose open list keeps Escape to itself. Qt 6.4 lets a screen's Escape shortcut
/// ("back") fire while the list of a combo box is open, so one key press both closed the list
/// and left the screen; here Escape only closes the list, and once it is closed Escape goes
/// back as usual.
class DropDown : public QComboBox
{
    Q_OBJECT
public:
    explicit DropDown(QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
