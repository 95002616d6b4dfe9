#include "ui/shell/Dialogs.h"

#include "base/Localization.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

#include <memory>

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

QMessageBox *SystemDialogs::choiceBox(QWidget *parent, const Choice &choice)
{
    auto *box = new QMessageBox(parent);
    box->setIcon(QMessageBox::Question);
    box->setText(choice.title);
    box->setInformativeText(choice.message);
    // Plain text: the texts may carry a provider's or a note's words.
    box->setTextFormat(Qt::PlainText);
    QPushButton *first = nullptr;
    for (qsizetype i = 0; i < choice.answers.size(); ++i) {
        QPushButton *button = box->addButton(choice.answers.at(i), first ? QMessageBox::ActionRole
                                                                         : QMessageBox::AcceptRole);
        button->setProperty("scrivelAnswer", int(i));
        if (!first)
            first = button;
    }
    QPushButton *cancel = box->addButton(L("common.cancel"), QMessageBox::RejectRole);
    if (first)
        box->setDefaultButton(first);
    box->setEscapeButton(cancel);
    return box;
}

std::optional<int> SystemDialogs::choose(QWidget *parent, const Choice &choice)
{
    Hold hold(this);
    std::unique_ptr<QMessageBox> box(choiceBox(parent, choice));
    box->exec();
    // The box lays buttons out by role, not in our order: each carries its answer's index.
    // Closing the window or Escape count as the cancel button.
    const QAbstractButton *clicked = box->clickedButton();
    const QVariant answer = clicked ? clicked->property("scrivelAnswer") : QVariant();
    if (!answer.isValid())
        return std::nullopt;
    return answer.toInt();
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
