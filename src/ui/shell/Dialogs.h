#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QMessageBox;
class QWidget;

/// The modal dialogs the screens use (confirmations, alerts, open and save panels), behind
/// one small interface so that tests can answer them. Every modal is bracketed by
/// `holdPanel` / `releasePanel`, so the panel does not close while it is up.
class Dialogs : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    struct Confirmation
    {
        QString title;
        QString message;
        QString acceptText;  ///< e.g. L("common.delete")
        bool destructive = false;
    };

    /// A question with several answers, the first one the default.
    struct Choice
    {
        QString title;
        QString message;
        QStringList answers; ///< button texts, in order; L("common.cancel") comes last on its own
    };

    /// True when the user accepted.
    virtual bool confirm(QWidget *parent, const Confirmation &confirmation) = 0;
    /// The index in `answers` of the chosen button; nothing when the user cancelled or
    /// closed the question in any other way.
    virtual std::optional<int> choose(QWidget *parent, const Choice &choice) = 0;
    virtual void alert(QWidget *parent, const QString &title, const QString &message) = 0;
    /// Chosen file paths; empty when cancelled.
    virtual QStringList openFiles(QWidget *parent, const QString &title, const QString &filter,
                                  bool multiple) = 0;
    virtual std::optional<QString> saveFile(QWidget *parent, const QString &title,
                                            const QString &suggestedName, const QString &filter) = 0;
    /// A folder (new folders may be made in the chooser); `acceptText` labels its accept
    /// button (empty: the toolkit's own).
    virtual std::optional<QString> chooseFolder(QWidget *parent, const QString &title,
                                                const QString &start,
                                                const QString &acceptText = {}) = 0;

Q_SIGNALS:
    /// Keeps the panel open while a modal window is up (and lets it close again after).
    void holdPanel();
    void releasePanel();
};

/// QMessageBox and QFileDialog. Open dialogs (the app opens images with them) start in the
/// folder the last file was chosen from during this session, else in the Pictures folder.
class SystemDialogs : public Dialogs
{
    Q_OBJECT
public:
    using Dialogs::Dialogs;

    /// Where an open dialog starts: `lastUsed` while it is an existing folder, else
    /// `pictures` when it exists, else the home folder.
    static QString startFolder(const QString &lastUsed, const QString &pictures);
    /// The same with the user's Pictures folder and the folder of this session's last choice.
    QString openStartFolder() const;

    bool confirm(QWidget *parent, const Confirmation &confirmation) override;
    std::optional<int> choose(QWidget *parent, const Choice &choice) override;
    /// The message box `choose` shows (not yet shown; its answers are its first buttons,
    /// then the cancel button).
    static QMessageBox *choiceBox(QWidget *parent, const Choice &choice);
    void alert(QWidget *parent, const QString &title, const QString &message) override;
    QStringList openFiles(QWidget *parent, const QString &title, const QString &filter,
                          bool multiple) override;
    std::optional<QString> saveFile(QWidget *parent, const QString &title,
                                    const QString &suggestedName, const QString &filter) override;
    std::optional<QString> chooseFolder(QWidget *parent, const QString &title,
                                        const QString &start, const QString &acceptText = {}) override;

private:
    QString m_lastOpenFolder;
};
