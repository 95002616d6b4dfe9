#pragma once

#include "store/Note.h"
#include "ui/ShareButton.h"

#include <QPointer>
#include <QWidget>

#include <chrono>
#include <optional>

class AppSettings;
class Dialogs;
class MarkdownView;
class NoteStore;
class Notice;
class QButtonGroup;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QScrollArea;
class QStackedWidget;
class QToolButton;
class SyncEngine;

/// One note: a toolbar, then the Markdown source in a plain text editor (edit mode) or its
/// rendering (preview mode). Every change of the text goes to the store at once; changes made
/// elsewhere (sync, the folder watcher, a task box) reach the text without moving the cursor.
///
/// The root builds one editor per note. For a note it has just created it calls
/// `setMode(Mode::Edit)` right after construction. Before discarding the editor it calls
/// `closeNote()`, which moves a note left blank to the trash (the destructor does it too,
/// for an editor discarded without that call).
class EditorView : public QWidget
{
    Q_OBJECT
public:
    enum class Mode { Edit, Preview };

    /// Focus moves into the text editor this long after switching to edit mode.
    static constexpr std::chrono::milliseconds focusDelay { 40 };

    EditorView(const QString &noteId, NoteStore *store, AppSettings *settings, SyncEngine *sync,
               Dialogs *dialogs, QWidget *parent = nullptr);
    ~EditorView() override;

    QString noteId() const { return m_noteId; }
    QString text() const { return m_text; }
    Mode mode() const { return m_mode; }
    void setMode(Mode mode);

    /// Leaving the editor: a note whose body is blank (white space and line breaks only) goes
    /// to the trash. Safe to call more than once.
    void closeNote();

    // Toolbar and menu actions.
    void copyText();
    void importImage();
    void exportMarkdown();
    void revealNote();
    void confirmDelete();
    /// The text lines that are not media references, trimmed, and the referenced media files.
    ShareButton::Items shareItems() const;
    /// Rebuilds the more menu for the current state (also done each time it opens).
    QMenu *moreMenu();

    Notice *notice() const { return m_notice; }
    void showNotice(const QString &message);

    QPlainTextEdit *textEdit() const { return m_edit; }
    MarkdownView *preview() const { return m_preview; }
    ShareButton *shareButton() const { return m_share; }

Q_SIGNALS:
    void back();
    /// Open another note (the AI result panel's "new note").
    void openNote(const QString &id);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void bind();
    void applyLook();
    void load();
    std::optional<Note> liveNote() const;
    void onEdited();
    void onStoreChanged();
    void replaceText(const QString &body);
    void refreshPreview();
    void refreshDerived();
    void focusEditorSoon();

    QString m_noteId;
    QPointer<NoteStore> m_store;
    AppSettings *m_settings;
    SyncEngine *m_sync;
    QPointer<Dialogs> m_dialogs;

    QString m_text;
    Mode m_mode = Mode::Preview;
    bool m_loaded = false;
    bool m_closed = false;
    bool m_applying = false;
    bool m_previewStale = true;
    bool m_shown = false;

    QToolButton *m_back = nullptr;
    QToolButton *m_editTab = nullptr;
    QToolButton *m_previewTab = nullptr;
    QButtonGroup *m_modeGroup = nullptr;
    QToolButton *m_summarize = nullptr;
    QToolButton *m_copy = nullptr;
    ShareButton *m_share = nullptr;
    QToolButton *m_more = nullptr;
    QMenu *m_moreMenu = nullptr;
    QStackedWidget *m_content = nullptr;
    QScrollArea *m_previewScroll = nullptr;
    QWidget *m_previewPage = nullptr;
    QLabel *m_placeholder = nullptr;
    MarkdownView *m_preview = nullptr;
    QPlainTextEdit *m_edit = nullptr;
    Notice *m_notice = nullptr;
};
