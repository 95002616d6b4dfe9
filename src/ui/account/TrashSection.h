#pragma once

#include "ui/account/AccountPart.h"

#include <functional>

class Dialogs;
class NoteStore;
class QLabel;
class QPushButton;

/// The trash section: how many notes the trash holds, the button that opens the trash list
/// (only with `onShowTrash`) and the one that empties the trash after a confirmation, enabled
/// while there is something to empty.
class TrashSection : public AccountPart
{
    Q_OBJECT
public:
    TrashSection(NoteStore *store, Dialogs *dialogs, std::function<void()> onShowTrash,
                 QWidget *parent);

    /// Asks to confirm, then empties the trash. Does nothing while already asking.
    void confirmEmptyTrash();

protected:
    void render() override;

private:
    NoteStore *m_store;
    Dialogs *m_dialogs;
    std::function<void()> m_onShowTrash;
    bool m_confirmingEmptyTrash = false;

    QLabel *m_count = nullptr;
    QPushButton *m_show = nullptr;
    QPushButton *m_empty = nullptr;
};
