#pragma once

#include "ui/shell/Dialogs.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

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
    /// The answer of `choose` (nothing: cancelled); called instead when set.
    std::optional<int> chooseAnswer;
    std::function<std::optional<int>(const Choice &)> chooseScript;
    QList<Choice> choices;
    QStringList alerts; ///< "title\nmessage"

    bool confirm(QWidget *, const Confirmation &confirmation) override
    {
        Q_EMIT holdPanel();
        confirmations.append(confirmation);
        Q_EMIT releasePanel();
        return confirmAnswer;
    }
    std::optional<int> choose(QWidget *, const Choice &choice) override
    {
        Q_EMIT holdPanel();
        choices.append(choice);
        Q_EMIT releasePanel();
        return chooseScript ? chooseScript(choice) : chooseAnswer;
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
