#pragma once

#include "export/PDFExport.h"
#include "media/AudioRecorder.h"
#include "store/Note.h"
#include "ui/media/MediaContext.h"
#include "ui/share/ShareButton.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <optional>

class AIResultPanel;
class AIService;
class AppSettings;
class Dialogs;
class MarkdownView;
class NoteStore;
class Notice;
class QButtonGroup;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QScrollArea;
class QShortcut;
class RecordingView;
class QStackedWidget;
class QToolButton;
class SyncEngine;
class Telemetry;

/// One note: a toolbar, then the Markdown source in a plain text editor (edit mode) or its
/// rendering (preview mode). Every change of the text goes to the store at once; changes made
/// elsewhere (sync, the folder watcher, a task box) reach the text without moving the cursor.
///
/// The root builds one editor per note. For a note it has just created it calls
/// `setMode(Mode::Edit)` right after construction. Before discarding the editor it calls
/// `closeNote()`, which moves a note left blank to the trash (the destructor does it too,
/// for an editor discarded without that call).
///
/// Share links: the editor asks the sync engine for the note's live links when it opens and
/// whenever the signed-in account changes (sign-out included); `publicLink` is the first of
/// them. Copying or stopping a link runs one request at a time (`isSharing`). Requests may
/// outlive the editor; their answers are then dropped.
class EditorView : public QWidget
{
    Q_OBJECT
public:
    enum class Mode { Edit, Preview };

    /// Focus moves into the text editor this long after switching to edit mode.
    static constexpr std::chrono::milliseconds focusDelay { 40 };
    /// The mode switch's width; it grows when a language's labels need more.
    static constexpr int modeSwitchWidth = 130;

    /// `telemetry` records the editor's usage events (none when null). `ai` (null: no AI
    /// actions) outlives the editor or is guarded against; a job may outlive the editor.
    EditorView(const QString &noteId, NoteStore *store, AppSettings *settings, SyncEngine *sync,
               Dialogs *dialogs, Telemetry *telemetry = nullptr, AIService *ai = nullptr,
               QWidget *parent = nullptr);
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
    /// Asks for a PDF file and exports the note there (pandoc with typst when installed).
    void exportPDF();

    /// Shows the recording screen in place of the content (when this system can record).
    /// While it shows, back, the mode switch and the more menu are off; a finished take
    /// becomes an audio attachment and the preview shows; a cancel leaves the mode as it was.
    void startRecording();
    bool isRecording() const { return m_recordingView != nullptr; }
    RecordingView *recordingView() const { return m_recordingView; }
    /// Whether the recorder can run here (the encoder is installed).
    bool canRecord() const { return m_canRecord; }
    /// The recorder's options (tests shorten its clock and choose its folder).
    void setRecorderOptions(AudioRecorder::Options options) { m_recorderOptions = std::move(options); }
    /// The PDF export's options (tests point its tool search at stand-ins).
    void setPDFOptions(PDFExport::Options options) { m_pdfOptions = std::move(options); }
    /// What the preview's media blocks act through.
    MediaContext mediaContext() const;
    void revealNote();
    void confirmDelete();
    /// Asks the AI service for a summary of the note (when the summarize button is enabled).
    void summarize();
    /// Text of the first image, transcript of the first recording (when the note has one).
    void extractText();
    void transcribe();
    /// The toolbar's summarize button.
    QToolButton *summarizeButton() const { return m_summarize; }
    /// The AI block under the note.
    AIResultPanel *aiPanel() const { return m_aiPanel; }
    /// The text lines that are not media references, trimmed, and the referenced media files.
    ShareButton::Items shareItems() const;
    /// Rebuilds the more menu for the current state (also done each time it opens).
    QMenu *moreMenu();
    /// The text field's context menu at `position` (viewport coordinates), its undo and redo
    /// entries bound to the note's history. The caller shows and owns it.
    QMenu *textMenu(const QPoint &position);

    /// Undo and redo of this note's edits through the store's history (Ctrl+Z, Ctrl+Shift+Z
    /// and Ctrl+Y in the text field). Text from sync, task boxes or added images is undone
    /// only when the store recorded it as an edit.
    void undoEdit();
    void redoEdit();

    /// The note's live share link, when it has one.
    std::optional<QUrl> publicLink() const { return m_publicLink; }
    /// True while a copy-link or stop-sharing request runs.
    bool isSharing() const { return m_sharing; }
    /// Publishes the note (flushing the store first), copies its public link and shows a
    /// notice; a failure shows the error's text. Does nothing while a share request runs.
    void copyPublicLink();
    /// Revokes the note's public links and shows a notice; a failure shows the error's text
    /// and keeps `publicLink`. Does nothing while a share request runs.
    void stopSharing();

    Notice *notice() const { return m_notice; }
    void showNotice(const QString &message);

    QPlainTextEdit *textEdit() const { return m_edit; }
    MarkdownView *preview() const { return m_preview; }
    ShareButton *shareButton() const { return m_share; }

Q_SIGNALS:
    void back();
    /// Open another note (the AI result panel's "new note").
    void openNote(const QString &id);
    void publicLinkChanged(const std::optional<QUrl> &link);
    void sharingChanged(bool sharing);

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
    void sizeModeSwitch();
    void refreshLiveLinks();
    void setPublicLink(const std::optional<QUrl> &link);
    void adoptPublicLink(const std::optional<QUrl> &link, quint64 askedAt);
    void setSharing(bool sharing);
    void refreshOpenMenu();
    void refreshAI();
    void askConsentSoon();
    void finishRecording(const QString &file, double duration);
    void endRecording();
    void refreshRecordingState();
    /// The note's attachment whose media path is exactly `path`.
    std::optional<Attachment> attachmentFor(const QString &path) const;
    /// The media path ("attachments/<id>/<file>") of the note's first attachment of `kind`.
    std::optional<QString> firstMediaPath(Attachment::Kind kind) const;
    // Static, taking the editor by guarded pointer: a member coroutine's `this` would dangle
    // once the user leaves the editor while the server is still answering.
    static QCoro::Task<> runCopyPublicLink(QPointer<EditorView> view);
    static QCoro::Task<> runStopSharing(QPointer<EditorView> view);
    static QCoro::Task<> runLiveLinks(QPointer<EditorView> view, quint64 generation);

    QString m_noteId;
    QPointer<NoteStore> m_store;
    AppSettings *m_settings;
    QPointer<SyncEngine> m_sync;
    QPointer<Dialogs> m_dialogs;
    QPointer<Telemetry> m_telemetry;
    QPointer<AIService> m_ai;
    /// The consent question being asked (its identifier), so it is asked once.
    QString m_askedConsent;

    QString m_text;
    Mode m_mode = Mode::Preview;
    bool m_loaded = false;
    bool m_closed = false;
    bool m_applying = false;
    bool m_previewStale = true;
    bool m_shown = false;
    bool m_caretFollowsChange = false;

    std::optional<QUrl> m_publicLink;
    bool m_sharing = false;
    /// Counts live-link queries and link changes made by share requests; an answer that
    /// finds a newer count is stale.
    quint64 m_linksGeneration = 0;
    /// The account (by identifier; none when signed out) the last live-link query was for.
    std::optional<std::optional<QString>> m_linksAccount;

    bool m_canRecord = false;
    AudioRecorder::Options m_recorderOptions;
    PDFExport::Options m_pdfOptions;
    RecordingView *m_recordingView = nullptr;
    QShortcut *m_escape = nullptr;

    QToolButton *m_back = nullptr;
    QFrame *m_modes = nullptr;
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
    AIResultPanel *m_aiPanel = nullptr;
};
