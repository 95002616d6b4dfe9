#pragma once

#include "ui/account/AccountPart.h"

#include <functional>

class AppSettings;
class Dialogs;
class NoteStore;
class QLabel;
class QPushButton;

/// The notes folder section: the folder (home shortened to "~", elided in the middle), the
/// buttons that move the notes to another folder and open the folder in the file manager,
/// and the store's last error with an OK button that clears it.
class NotesFolderSection : public AccountPart
{
    Q_OBJECT
public:
    /// Opens a folder for the user; false when nothing could open it.
    using FolderOpener = std::function<bool(const QString &folder)>;

    NotesFolderSection(NoteStore *store, AppSettings *settings, Dialogs *dialogs, QWidget *parent);

    /// `path` with a leading `home` folder replaced by "~" (only at a folder boundary).
    static QString displayPath(const QString &path, const QString &home);

    /// Asks for a folder (the panel stays open meanwhile) and moves the notes there.
    void chooseFolder();
    /// Writes pending changes, then opens the notes folder; when nothing could open it, an
    /// alert says so.
    void revealFolder();
    /// What opens the folder: FileReveal::openFolder unless replaced (tests do).
    void setFolderOpener(FolderOpener opener);

protected:
    void render() override;
    void restyle() override;

private:
    NoteStore *m_store;
    AppSettings *m_settings;
    Dialogs *m_dialogs;
    FolderOpener m_openFolder;

    QLabel *m_folderIcon = nullptr;
    QLabel *m_folderPath = nullptr;
    QPushButton *m_changeFolder = nullptr;
    QPushButton *m_revealFolder = nullptr;
    QWidget *m_errorRow = nullptr;
    QLabel *m_errorIcon = nullptr;
    QLabel *m_errorText = nullptr;
    QPushButton *m_errorOk = nullptr;
};
