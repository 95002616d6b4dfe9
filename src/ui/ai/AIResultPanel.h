#pragma once

#include "ai/AIService.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

/// The AI block under the note being edited. It follows the service's published state for
/// its note only, first match wins: the running job (a spinner and which engine works on
/// it), the last problem (its message and an OK that clears it), the finished result (an
/// editable text with new note, insert or append, copy, and discard), otherwise nothing.
/// The result's text is plain text wherever it is shown: it comes from a provider.
class AIResultPanel : public QWidget
{
    Q_OBJECT
public:
    enum class State { Hidden, Running, Problem, Result };

    /// `ai` may be null (nothing is ever shown) and may go away before the panel.
    AIResultPanel(AIService *ai, const QString &noteId, QWidget *parent = nullptr);

    State state() const { return m_state; }
    /// "ai.running.*" with the engine's name, as shown while running.
    QString runningText() const;
    QString problemText() const;
    /// The result's header title ("ai.result.*" · source).
    QString resultTitle() const;

    QPlainTextEdit *resultEdit() const { return m_edit; }
    QPushButton *newNoteButton() const { return m_newNote; }
    QPushButton *insertButton() const { return m_insert; }
    QPushButton *copyButton() const { return m_copy; }
    QToolButton *discardButton() const { return m_discard; }
    QPushButton *okButton() const { return m_ok; }

    // The panel's actions, as its buttons run them.
    void saveAsNewNote();
    void insertIntoNote();
    void copyResult();
    void discardResult();
    void acknowledgeProblem();

    /// The running line for `action` run by `provider` (nothing: on the device).
    static QString runningLine(AIService::Action::Kind kind, std::optional<AIProvider> provider);

Q_SIGNALS:
    /// The result was saved as this new note, which should be opened.
    void openNote(const QString &id);

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildUi();
    void render();
    void applyLook();
    void translate();
    std::optional<AIService::Result> ownResult() const;

    QPointer<AIService> m_ai;
    QString m_noteId;
    State m_state = State::Hidden;
    bool m_rendering = false;

    QWidget *m_running = nullptr;
    QLabel *m_runningLabel = nullptr;
    QWidget *m_problem = nullptr;
    QLabel *m_problemIcon = nullptr;
    QLabel *m_problemLabel = nullptr;
    QPushButton *m_ok = nullptr;
    QWidget *m_result = nullptr;
    QLabel *m_resultIcon = nullptr;
    QLabel *m_resultTitle = nullptr;
    QToolButton *m_discard = nullptr;
    QPlainTextEdit *m_edit = nullptr;
    QPushButton *m_newNote = nullptr;
    QPushButton *m_insert = nullptr;
    QPushButton *m_copy = nullptr;
    QList<QWidget *> m_dividers;
};
