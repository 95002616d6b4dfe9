#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

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

    /// True when the user accepted.
    virtual bool confirm(QWidget *parent, const Confirmation &confirmation) = 0;
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
    /// Our counterpart of "scrivelbar.holdPopover" / "scrivelbar.releasePopover".
    void holdPanel();
    void releasePanel();
};

/// QMessageBox and QFileDialog.
class SystemDialogs : public Dialogs
{
    Q_OBJECT
public:
    using Dialogs::Dialogs;
    bool confirm(QWidget *parent, const Confirmation &confirmation) override;
    void alert(QWidget *parent, const QString &title, const QString &message) override;
    QStringList openFiles(QWidget *parent, const QString &title, const QString &filter,
                          bool multiple) override;
    std::optional<QString> saveFile(QWidget *parent, const QString &title,
                                    const QString &suggestedName, const QString &filter) override;
    std::optional<QString> chooseFolder(QWidget *parent, const QString &title,
                                        const QString &start, const QString &acceptText = {}) override;
};

/// Answers from a script, for tests; records what was asked.
class ScriptedDialogs : public Dialogs
{
    Q_OBJECT
public:
    using Dialogs::Dialogs;
    bool confirmAnswer = true;
    QStringList openAnswer;
    std::optional<QString> saveAnswer;
    std::optional<QString> folderAnswer;
    QList<Confirmation> confirmations;
    QStringList alerts; ///< "title\nmessage"

    bool confirm(QWidget *, const Confirmation &confirmation) override
    {
        Q_EMIT holdPanel();
        confirmations.append(confirmation);
        Q_EMIT releasePanel();
        return confirmAnswer;
    }
    void alert(QWidget *, const QString &title, const QString &message) override
    {
        alerts.append(title + u'\n' + message);
    }
    QStringList openFiles(QWidget *, const QString &, const QString &, bool) override { return openAnswer; }
    std::optional<QString> saveFile(QWidget *, const QString &, const QString &, const QString &) override
    {
        return saveAnswer;
    }
    std::optional<QString> chooseFolder(QWidget *, const QString &, const QString &,
                                        const QString &) override
    {
        return folderAnswer;
    }
};
