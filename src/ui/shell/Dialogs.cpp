#include "ui/shell/Dialogs.h"

#include "base/Localization.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

namespace {
// Emits hold on construction and release on destruction, whatever path the modal takes.
struct Hold
{
    explicit Hold(Dialogs *dialogs) : m_dialogs(dialogs) { Q_EMIT m_dialogs->holdPanel(); }
    ~Hold() { Q_EMIT m_dialogs->releasePanel(); }
    Dialogs *m_dialogs;
};
} // namespace

bool SystemDialogs::confirm(QWidget *parent, const Confirmation &confirmation)
{
    Hold hold(this);
    QMessageBox box(parent);
    box.setIcon(confirmation.destructive ? QMessageBox::Warning : QMessageBox::Question);
    box.setText(confirmation.title);
    box.setInformativeText(confirmation.message);
    QPushButton *accept = box.addButton(confirmation.acceptText, confirmation.destructive
                                                                     ? QMessageBox::DestructiveRole
                                                                     : QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(L("common.cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(confirmation.destructive ? cancel : accept);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == accept;
}

void SystemDialogs::alert(QWidget *parent, const QString &title, const QString &message)
{
    Hold hold(this);
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setText(title);
    box.setInformativeText(message);
    box.addButton(L("common.ok"), QMessageBox::AcceptRole);
    box.exec();
}

QString SystemDialogs::startFolder(const QString &lastUsed, const QString &pictures)
{
    // A folder that is gone (an unmounted drive) would leave the dialog in the working folder
    // of the process, which means nothing to the user.
    if (!lastUsed.isEmpty() && QFileInfo(lastUsed).isDir())
        return lastUsed;
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        return pictures;
    return QDir::homePath();
}

QString SystemDialogs::openStartFolder() const
{
    return startFolder(m_lastOpenFolder,
                       QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
}

QStringList SystemDialogs::openFiles(QWidget *parent, const QString &title, const QString &filter,
                                     bool multiple)
{
    Hold hold(this);
    QFileDialog dialog(parent, title, openStartFolder(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    QStringList files = dialog.selectedFiles();
    files.removeAll(QString());
    if (!multiple && files.size() > 1)
        files = files.mid(0, 1);
    // Remembered for the session only: the next image is often picked from the same folder.
    if (!files.isEmpty())
        m_lastOpenFolder = QFileInfo(files.constFirst()).absolutePath();
    return files;
}

std::optional<QString> SystemDialogs::saveFile(QWidget *parent, const QString &title,
                                               const QString &suggestedName, const QString &filter)
{
    Hold hold(this);
    const QString file = QFileDialog::getSaveFileName(parent, title, suggestedName, filter);
    if (file.isEmpty())
        return std::nullopt;
    return file;
}

std::optional<QString> SystemDialogs::chooseFolder(QWidget *parent, const QString &title,
                                                   const QString &start, const QString &acceptText)
{
    Hold hold(this);
    QFileDialog dialog(parent, title, start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (!acceptText.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, acceptText);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString folder = dialog.selectedFiles().constFirst();
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}
