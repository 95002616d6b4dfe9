#include "ui/editor/EditorView.h"

#include "ai/AIService.h"
#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "telemetry/Telemetry.h"
#include "ui/shell/Dialogs.h"
#include "platform/FileReveal.h"
#include "export/MarkdownExport.h"
#include "ui/editor/MarkdownView.h"
#include "ui/media/MediaActions.h"
#include "ui/recording/RecordingView.h"
#include "ui/widgets/Notice.h"
#include "ui/ai/AIConsent.h"
#include "ui/ai/AIResultPanel.h"
#include "ui/style/ScreenStyle.h"
#include "ui/widgets/Menu.h"
#include "ui/share/ShareLinkClipboard.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QShortcut>
#include <QStackedWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Space on each side of a mode label: the style sheet's 6 px padding and a little air.
constexpr int modeLabelPadding = 8;

// The editor's text as the user typed it. toPlainText() would turn no-break spaces into
// plain ones and so rewrite the note behind the user's back.
QString documentText(const QPlainTextEdit *edit)
{
    QString text = edit->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

} // namespace

EditorView::EditorView(const QString &noteId, NoteStore *store, AppSettings *settings,
                       SyncEngine *sync, Dialogs *dialogs, Telemetry *telemetry, AIService *ai,
                       QWidget *parent)
    : QWidget(parent), m_noteId(noteId), m_store(store), m_settings(settings), m_sync(sync),
      m_dialogs(dialogs), m_telemetry(telemetry), m_ai(ai)
{
    m_canRecord = AudioRecorder::isAvailable();
    buildUi();
    bind();
    load();
    refreshLiveLinks();
}

EditorView::~EditorView()
{
    closeNote();
}

void EditorView::buildUi()
{
    setObjectName(QStringLiteral("editor"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *toolbar = new QWidget(this);
    auto *row = new QHBoxLayout(toolbar);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(10);
    m_back = ScreenStyle::toolButton(toolbar, QStringLiteral("chevron.left"), L("editor.back"));
    auto *modes = new QFrame(toolbar);
    m_modes = modes;
    modes->setObjectName(QStringLiteral("modes"));
    modes->setFixedWidth(modeSwitchWidth);
    auto *modeRow = new QHBoxLayout(modes);
    modeRow->setContentsMargins(2, 2, 2, 2);
    modeRow->setSpacing(2);
    m_editTab = new QToolButton(modes);
    m_previewTab = new QToolButton(modes);
    m_modeGroup = new QButtonGroup(this);
    m_modeGroup->setExclusive(true);
    m_editTab->setObjectName(QStringLiteral("editTab"));
    m_previewTab->setObjectName(QStringLiteral("previewTab"));
    for (auto [button, key] : { std::pair { m_editTab, "editor.tab.edit" },
                                std::pair { m_previewTab, "editor.tab.preview" } }) {
        button->setText(L(key));
        ScreenStyle::describe(button, L(key));
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::TabFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        m_modeGroup->addButton(button);
        modeRow->addWidget(button);
    }
    m_summarize = ScreenStyle::toolButton(toolbar, QStringLiteral("sparkles"), L("ai.summarize"));
    m_summarize->setObjectName(QStringLiteral("editor.summarize"));
    m_summarize->setEnabled(false);
    m_copy = ScreenStyle::toolButton(toolbar, QStringLiteral("doc.on.doc"), L("editor.copy"));
    m_share = new ShareButton(m_telemetry, toolbar);
    m_more = ScreenStyle::toolButton(toolbar, QStringLiteral("ellipsis.circle"), L("editor.more"));
    m_more->setPopupMode(QToolButton::InstantPopup);
    m_more->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    m_moreMenu = new Menu(m_more);
    m_moreMenu->setToolTipsVisible(true);
    m_more->setMenu(m_moreMenu);
    row->addWidget(m_back);
    row->addWidget(modes);
    row->addStretch(1);
    row->addWidget(m_summarize);
    row->addWidget(m_copy);
    row->addWidget(m_share);
    row->addWidget(m_more);
    layout->addWidget(toolbar);

    auto *divider = new QFrame(this);
    divider->setObjectName(QStringLiteral("divider"));
    divider->setFixedHeight(1);
    layout->addWidget(divider);

    m_content = new QStackedWidget(this);
    m_previewScroll = new QScrollArea(m_content);
    m_previewScroll->setWidgetResizable(true);
    m_previewScroll->setFrameShape(QFrame::NoFrame);
    m_previewScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_previewScroll->setFocusPolicy(Qt::StrongFocus);
    m_previewPage = new QWidget(m_previewScroll);
    m_previewPage->setObjectName(QStringLiteral("page"));
    auto *page = new QVBoxLayout(m_previewPage);
    page->setContentsMargins(12, 10, 12, 10);
    page->setSpacing(0);
    m_placeholder = new QLabel(L("editor.empty"), m_previewPage);
    m_placeholder->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_preview = new MarkdownView(m_previewPage);
    page->addWidget(m_placeholder);
    page->addWidget(m_preview);
    page->addStretch(1);
    m_previewPage->installEventFilter(this);
    m_placeholder->installEventFilter(this);
    m_previewScroll->setWidget(m_previewPage);
    m_content->addWidget(m_previewScroll);

    m_edit = new QPlainTextEdit(m_content);
    m_edit->setObjectName(QStringLiteral("source"));
    m_edit->setFrameShape(QFrame::NoFrame);
    m_edit->setTabChangesFocus(false);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(13);
    m_edit->setFont(mono);
    m_edit->document()->setDocumentMargin(0);
    m_edit->setAccessibleName(L("editor.text"));
    // One history: the store's. The field's own would also record text that sync, a task box
    // or an added image put here, and undoing that would revert the other device's text.
    m_edit->setUndoRedoEnabled(false);
    m_edit->setContextMenuPolicy(Qt::CustomContextMenu);
    m_content->addWidget(m_edit);
    layout->addWidget(m_content, 1);
    // In a holder of its own: the panel shows and hides itself with its job, and the
    // recording screen hides the holder.
    auto *aiHolder = new QWidget(this);
    auto *aiLayout = new QVBoxLayout(aiHolder);
    aiLayout->setContentsMargins(0, 0, 0, 0);
    m_aiPanel = new AIResultPanel(m_ai, m_noteId, aiHolder);
    aiLayout->addWidget(m_aiPanel);
    layout->addWidget(aiHolder);

    m_notice = new Notice(Notice::Edge::Top, 44, this);
    applyLook();
}

void EditorView::bind()
{
    connect(m_back, &QToolButton::clicked, this, &EditorView::back);
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(m_escape, &QShortcut::activated, this, &EditorView::back);
    connect(m_editTab, &QToolButton::clicked, this, [this] { setMode(Mode::Edit); });
    connect(m_previewTab, &QToolButton::clicked, this, [this] { setMode(Mode::Preview); });
    connect(m_copy, &QToolButton::clicked, this, &EditorView::copyText);
    connect(m_edit, &QPlainTextEdit::textChanged, this, &EditorView::onEdited);
    m_edit->installEventFilter(this);
    connect(m_edit, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        QMenu *menu = textMenu(position);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        ScreenStyle::holdPanelWhileOpen(menu, m_dialogs);
        menu->popup(m_edit->viewport()->mapToGlobal(position));
    });
    connect(m_preview, &MarkdownView::backgroundClicked, this, [this] { setMode(Mode::Edit); });
    connect(m_preview, &MarkdownView::linkFailed, this, [this](const QUrl &url) {
        showNotice(L("editor.link.failed", url.toDisplayString()));
    });
    m_preview->setOnToggleCheckbox([this](int ordinal) {
        if (!m_store || !liveNote())
            return;
        m_store->toggleCheckbox(ordinal, m_noteId);
        if (const auto note = liveNote())
            replaceText(note->body);
    });
    m_preview->setMediaContext(mediaContext());
    connect(m_moreMenu, &QMenu::aboutToShow, this, &EditorView::moreMenu);
    ScreenStyle::holdPanelWhileOpen(m_moreMenu, m_dialogs);
    connect(m_share, &ShareButton::notice, this, &EditorView::showNotice);
    if (m_dialogs) {
        connect(m_share, &ShareButton::holdPanel, m_dialogs, &Dialogs::holdPanel);
        connect(m_share, &ShareButton::releasePanel, m_dialogs, &Dialogs::releasePanel);
    }
    if (m_store)
        connect(m_store, &NoteStore::notesChanged, this, &EditorView::onStoreChanged);
    if (m_sync)
        connect(m_sync.data(), &SyncEngine::accountChanged, this, &EditorView::refreshLiveLinks);
    connect(m_summarize, &QToolButton::clicked, this, &EditorView::summarize);
    connect(m_aiPanel, &AIResultPanel::openNote, this, &EditorView::openNote);
    if (m_ai) {
        connect(m_ai.data(), &AIService::runningChanged, this, &EditorView::refreshAI);
        connect(m_ai.data(), &AIService::consentChanged, this, &EditorView::askConsentSoon);
        // A question may already wait for this note (the editor was opened again).
        askConsentSoon();
    }
}

void EditorView::applyLook()
{
    const QPalette pal = palette();
    for (QToolButton *button : { m_back, m_summarize, m_copy, m_more })
        ScreenStyle::setSymbol(button, button->property("scrivelSymbol").toString());
    const QString mid = ScreenStyle::withAlpha(pal.color(QPalette::Mid), 0.6).name(QColor::HexArgb);
    findChild<QFrame *>(QStringLiteral("divider"))->setStyleSheet(QStringLiteral("background: %1;").arg(mid));
    findChild<QFrame *>(QStringLiteral("modes"))
        ->setStyleSheet(QStringLiteral("QFrame#modes { border: 1px solid %1; border-radius: 6px; }"
                                       " QToolButton { border: none; border-radius: 4px; padding: 2px 6px; }"
                                       " QToolButton:checked { background: %2; color: %3; }")
                            .arg(mid, pal.color(QPalette::Highlight).name(),
                                 pal.color(QPalette::HighlightedText).name()));
    m_edit->setStyleSheet(QStringLiteral("QPlainTextEdit#source { background: transparent; padding: 6px 8px; }"));
    m_previewPage->setStyleSheet(QStringLiteral("QWidget#page { background: transparent; }"));
    m_previewScroll->viewport()->setAutoFillBackground(false);
    QPalette secondary = m_placeholder->palette();
    secondary.setColor(QPalette::WindowText, ScreenStyle::secondary(pal));
    m_placeholder->setPalette(secondary);
    sizeModeSwitch();
}

void EditorView::sizeModeSwitch()
{
    // Each label as wide as its text needs ("Vista previa" does not fit half of the English
    // width); the switch grows only when the two need more than its usual width. Halves of
    // equal width would push the toolbar past the panel's edge.
    const QMargins margins = m_modes->layout()->contentsMargins();
    int width = m_modes->layout()->spacing() + margins.left() + margins.right();
    for (QToolButton *button : { m_editTab, m_previewTab }) {
        const int text = button->fontMetrics().horizontalAdvance(button->text());
        const int needed = std::max(text + 2 * modeLabelPadding, button->sizeHint().width());
        button->setMinimumWidth(needed);
        width += needed;
    }
    m_modes->setFixedWidth(std::max(modeSwitchWidth, width));
}

void EditorView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyLook();
    else if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        sizeModeSwitch();
    QWidget::changeEvent(event);
}

std::optional<Note> EditorView::liveNote() const
{
    if (!m_store)
        return std::nullopt;
    auto note = m_store->note(m_noteId);
    if (!note || note->deleted)
        return std::nullopt;
    return note;
}

void EditorView::load()
{
    if (const auto note = liveNote()) {
        m_applying = true;
        m_edit->setPlainText(note->body);
        // Typing continues the text (a note made from the search query holds the query).
        m_edit->moveCursor(QTextCursor::End);
        m_applying = false;
        m_text = note->body;
    }
    m_loaded = true;
    setMode(Mode::Preview);
    refreshDerived();
}

void EditorView::setMode(Mode mode)
{
    m_mode = mode;
    (mode == Mode::Edit ? m_editTab : m_previewTab)->setChecked(true);
    // Whoever focuses the editor (the root when the panel opens again) reaches the content.
    setFocusProxy(mode == Mode::Edit ? static_cast<QWidget *>(m_edit) : m_previewScroll);
    if (mode == Mode::Edit) {
        m_content->setCurrentWidget(m_edit);
        focusEditorSoon();
    } else {
        refreshPreview();
        const bool hadFocus = m_edit->hasFocus();
        m_content->setCurrentWidget(m_previewScroll);
        if (hadFocus)
            m_previewScroll->setFocus(Qt::OtherFocusReason);
    }
}

void EditorView::focusEditorSoon()
{
    if (!m_shown)
        return; // showEvent does it once the editor is on screen
    QTimer::singleShot(focusDelay, m_edit, [this] {
        if (m_mode == Mode::Edit)
            m_edit->setFocus(Qt::OtherFocusReason);
    });
}

void EditorView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Also when the panel opens again: the text field is where typing should go.
    m_shown = true;
    if (m_mode == Mode::Edit)
        focusEditorSoon();
}

bool EditorView::eventFilter(QObject *watched, QEvent *event)
{
    // Undo and redo keys in the text go to the store's history of this note. Taking the
    // shortcut override as well keeps the panel's own undo action from seeing them.
    if (watched == m_edit
        && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        const bool undo = (modifiers == Qt::ControlModifier && key->key() == Qt::Key_Z)
            || key->matches(QKeySequence::Undo);
        const bool redo
            = (modifiers == (Qt::ControlModifier | Qt::ShiftModifier) && key->key() == Qt::Key_Z)
            || (modifiers == Qt::ControlModifier && key->key() == Qt::Key_Y)
            || key->matches(QKeySequence::Redo);
        if (undo || redo) {
            event->accept();
            if (event->type() == QEvent::KeyPress)
                undo ? undoEdit() : redoEdit();
            return true;
        }
    }
    // A click on the page outside any block switches to editing.
    if ((watched == m_previewPage || watched == m_placeholder)
        && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        setMode(Mode::Edit);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void EditorView::onEdited()
{
    if (m_applying)
        return;
    m_text = documentText(m_edit);
    if (m_loaded && m_store && liveNote())
        m_store->setBody(m_text, m_noteId, true);
    m_previewStale = true;
    refreshDerived();
}

void EditorView::undoEdit()
{
    if (!m_store || !liveNote())
        return;
    m_caretFollowsChange = true;
    m_store->undo(m_noteId);
    m_caretFollowsChange = false;
}

void EditorView::redoEdit()
{
    if (!m_store || !liveNote())
        return;
    m_caretFollowsChange = true;
    m_store->redo(m_noteId);
    m_caretFollowsChange = false;
}

QMenu *EditorView::textMenu(const QPoint &position)
{
    QMenu *menu = m_edit->createStandardContextMenu(position);
    menu->setParent(this, menu->windowFlags());
    // The field's own history is off: its entries give way to ones that step through the
    // note's history.
    const bool note = m_store && liveNote();
    const QStringList own { QStringLiteral("edit-undo"), QStringLiteral("edit-redo") };
    QAction *first = nullptr;
    for (QAction *action : menu->actions()) {
        if (own.contains(action->objectName())) {
            menu->removeAction(action);
        } else if (!first) {
            first = action;
        }
    }
    const auto replace = [&](const char *key, QKeySequence::StandardKey keys, bool enabled,
                             void (EditorView::*step)()) {
        auto *entry = new QAction(L(key), menu);
        entry->setShortcut(keys);
        entry->setEnabled(note && enabled);
        connect(entry, &QAction::triggered, this, step);
        menu->insertAction(first, entry);
    };
    replace("menu.undo", QKeySequence::Undo, m_store && m_store->canUndo(m_noteId),
            &EditorView::undoEdit);
    replace("menu.redo", QKeySequence::Redo, m_store && m_store->canRedo(m_noteId),
            &EditorView::redoEdit);
    return menu;
}

void EditorView::onStoreChanged()
{
    const auto note = liveNote();
    if (!note || note->body == m_text)
        return;
    replaceText(note->body);
}

void EditorView::replaceText(const QString &body)
{
    if (body == m_text)
        return;
    // Replace only the part that differs, so the cursor (and the selection) stay where the
    // user left them unless the change happened right there.
    const QString old = m_text;
    qsizetype prefix = 0;
    const qsizetype shortest = std::min(old.size(), body.size());
    while (prefix < shortest && old[prefix] == body[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shortest - prefix && old[old.size() - 1 - suffix] == body[body.size() - 1 - suffix])
        ++suffix;
    m_applying = true;
    if (documentText(m_edit) == old) {
        QTextCursor cursor(m_edit->document());
        cursor.setPosition(int(prefix));
        cursor.setPosition(int(old.size() - suffix), QTextCursor::KeepAnchor);
        cursor.insertText(body.mid(prefix, body.size() - prefix - suffix));
    } else {
        m_edit->setPlainText(body);
    }
    if (m_caretFollowsChange) {
        // An undo or redo puts the caret where the text changed, as a text field's own does.
        QTextCursor caret = m_edit->textCursor();
        caret.setPosition(int(body.size() - suffix));
        m_edit->setTextCursor(caret);
    }
    m_applying = false;
    m_text = body;
    m_previewStale = true;
    if (m_mode == Mode::Preview)
        refreshPreview();
    refreshDerived();
}

void EditorView::refreshPreview()
{
    if (!m_previewStale)
        return;
    m_previewStale = false;
    const bool blank = TextUtil::trimWhitespace(m_text).isEmpty();
    m_placeholder->setVisible(blank);
    m_preview->setVisible(!blank);
    m_preview->setText(blank ? QString() : m_text);
}

void EditorView::refreshDerived()
{
    m_copy->setEnabled(!m_text.isEmpty());
    m_share->setItems(shareItems());
    refreshAI();
}

void EditorView::refreshAI()
{
    bool summarizable = false;
    if (m_ai && !m_ai->running() && liveNote() && !m_recordingView) {
        Note working;
        working.id = m_noteId;
        working.body = m_text;
        summarizable = !TextUtil::trimWhitespace(working.textLines().join(u'\n')).isEmpty();
    }
    m_summarize->setEnabled(summarizable);
    refreshOpenMenu();
}

std::optional<QString> EditorView::firstMediaPath(Attachment::Kind kind) const
{
    const auto note = liveNote();
    if (!note)
        return std::nullopt;
    for (const Attachment &attachment : note->attachments) {
        if (attachment.kind == kind)
            return note->mediaPath(attachment);
    }
    return std::nullopt;
}

void EditorView::summarize()
{
    refreshAI();
    if (m_ai && m_summarize->isEnabled())
        m_ai->run(AIService::Action::summarize(), m_noteId);
}

void EditorView::extractText()
{
    if (!m_ai || m_ai->running())
        return;
    if (const auto path = firstMediaPath(Attachment::Kind::Image))
        m_ai->run(AIService::Action::extractText(*path), m_noteId);
}

void EditorView::transcribe()
{
    if (!m_ai || m_ai->running())
        return;
    if (const auto path = firstMediaPath(Attachment::Kind::Audio))
        m_ai->run(AIService::Action::transcribe(*path), m_noteId);
}

void EditorView::askConsentSoon()
{
    // From the event loop: the service publishes the question inside run(), and a modal
    // dialog must not spin an event loop inside the service's own call.
    QTimer::singleShot(0, this, [this] {
        if (!m_ai)
            return;
        const auto consent = m_ai->consent();
        if (!consent || consent->job.noteID != m_noteId || consent->id == m_askedConsent)
            return;
        m_askedConsent = consent->id;
        AIConsent::ask(m_ai, m_dialogs, this, *consent);
    });
}

ShareButton::Items EditorView::shareItems() const
{
    ShareButton::Items items;
    QStringList lines;
    for (const QString &line : m_text.split(u'\n')) {
        if (!mediaReference(line))
            lines << line;
    }
    items.text = TextUtil::trimWhitespace(lines.join(u'\n'));
    Note working;
    if (const auto note = liveNote())
        working = *note;
    working.id = m_noteId;
    working.body = m_text;
    if (m_store) {
        for (const Attachment &attachment : working.referencedAttachments())
            items.files << m_store->liveMediaPath(m_noteId, attachment.filename);
    }
    return items;
}

void EditorView::copyText()
{
    if (m_text.isEmpty())
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_text);
}

QMenu *EditorView::moreMenu()
{
    m_moreMenu->clear();
    const QPalette pal = palette();
    auto entry = [&](const QString &text, const QString &symbol, bool enabled, auto slot) {
        QAction *action = m_moreMenu->addAction(Icons::icon(symbol, pal), text, this, slot);
        action->setEnabled(enabled);
        return action;
    };
    const bool signedIn = m_sync && m_sync->account().has_value();
    if (!signedIn) {
        QAction *info = m_moreMenu->addAction(L("editor.signedOut.note"));
        info->setEnabled(false);
    }
    const bool blank = TextUtil::trimWhitespace(m_text).isEmpty();
    QAction *link = entry(L("editor.shareLink"), QStringLiteral("link"),
                          signedIn && !m_sharing && !blank, [this] { copyPublicLink(); });
    link->setToolTip(L("editor.shareLink.hint"));
    if (m_publicLink)
        entry(L("editor.shareLink.stop"), QStringLiteral("eye.slash"), !m_sharing,
              [this] { stopSharing(); });
    // Recording is offered only where the encoder is installed; an entry that cannot work is
    // not offered. An AI entry shows only when the service has an engine for it.
    m_moreMenu->addSeparator();
    entry(L("editor.addImage"), QStringLiteral("photo.badge.plus"), true, [this] { importImage(); });
    if (m_canRecord)
        entry(L("editor.addAudio"), QStringLiteral("mic.badge.plus"), true, [this] { startRecording(); })
            ->setObjectName(QStringLiteral("editor.addAudio"));
    if (m_ai) {
        using Kind = AIService::Action::Kind;
        const bool idle = !m_ai->running();
        const bool text = m_ai->canRun(Kind::ExtractText) && firstMediaPath(Attachment::Kind::Image);
        const bool speech = m_ai->canRun(Kind::Transcribe) && firstMediaPath(Attachment::Kind::Audio);
        if (text || speech)
            m_moreMenu->addSeparator();
        if (text)
            entry(L("ai.extractText"), QStringLiteral("text.viewfinder"), idle, [this] { extractText(); })
                ->setObjectName(QStringLiteral("ai.extractText"));
        if (speech)
            entry(L("ai.transcribe"), QStringLiteral("text.quote"), idle, [this] { transcribe(); })
                ->setObjectName(QStringLiteral("ai.transcribe"));
    }
    m_moreMenu->addSeparator();
    entry(L("editor.export.text"), QStringLiteral("square.and.arrow.down"), true, [this] { exportMarkdown(); });
    entry(L("editor.export.pdf"), QStringLiteral("doc.richtext"), signedIn && !blank, [this] { exportPDF(); })
        ->setObjectName(QStringLiteral("editor.export.pdf"));
    entry(L("editor.reveal"), QStringLiteral("folder"), true, [this] { revealNote(); });
    m_moreMenu->addSeparator();
    Menu::markDestructive(
        entry(L("editor.delete"), QStringLiteral("trash"), true, [this] { confirmDelete(); }));
    return m_moreMenu;
}

void EditorView::importImage()
{
    if (!m_store || !m_dialogs)
        return;
    const QStringList files = m_dialogs->openFiles(
        this, L("editor.addImage"), L("dialog.filter.images", ScreenStyle::imageFilePatterns()), false);
    if (files.isEmpty() || !m_store || !liveNote())
        return;
    if (m_store->importAttachment(files.first(), Attachment::Kind::Image, m_noteId))
        setMode(Mode::Preview);
}

void EditorView::exportMarkdown()
{
    if (!m_store || !m_dialogs)
        return;
    if (m_telemetry)
        m_telemetry->record(QStringLiteral("note_exported"), { { QStringLiteral("format"), QStringLiteral("md") } });
    m_store->flush();
    const auto file = m_store->filePath(m_noteId);
    const QString suggested = file ? QFileInfo(*file).fileName() : QStringLiteral("note.md");
    QList<MarkdownExport::Media> media;
    Note working;
    if (const auto note = liveNote())
        working = *note;
    working.id = m_noteId;
    working.body = m_text;
    for (const Attachment &attachment : working.referencedAttachments())
        media.append({ m_store->liveMediaPath(m_noteId, attachment.filename), working.mediaPath(attachment) });
    MediaActions::exportMarkdown(this, m_dialogs, m_text, suggested, media);
}

void EditorView::exportPDF()
{
    if (!m_store || !m_dialogs)
        return;
    if (m_telemetry)
        m_telemetry->record(QStringLiteral("note_exported"), { { QStringLiteral("format"), QStringLiteral("pdf") } });
    m_store->flush();
    const auto file = m_store->filePath(m_noteId);
    const QString suggested
        = (file ? QFileInfo(*file).completeBaseName() : QStringLiteral("note")) + QStringLiteral(".pdf");
    MediaActions::exportPDF(this, m_dialogs, m_text, suggested, m_store->notesFolder(), m_pdfOptions);
}

std::optional<Attachment> EditorView::attachmentFor(const QString &path) const
{
    const auto note = liveNote();
    if (!note)
        return std::nullopt;
    for (const Attachment &attachment : note->attachments) {
        if (note->mediaPath(attachment) == path)
            return attachment;
    }
    return std::nullopt;
}

MediaContext EditorView::mediaContext() const
{
    MediaContext media;
    const QPointer<const EditorView> self(this);
    // The path comes from the note's text: it may name a file only inside the notes folder.
    media.resolve = [self](const QString &path) -> QString {
        if (!self || !self->m_store)
            return {};
        const QString clean = QDir::cleanPath(path);
        if (clean.isEmpty() || QDir::isAbsolutePath(clean) || clean == u".."
            || clean.startsWith(QStringLiteral("../")))
            return {};
        return QDir(self->m_store->notesFolder()).filePath(clean);
    };
    auto *editor = const_cast<EditorView *>(this);
    const QPointer<EditorView> view(editor);
    media.exportMedia = [view](const QString &path) {
        if (!view || !view->m_store)
            return;
        if (const auto attachment = view->attachmentFor(path))
            MediaActions::exportMedia(view, view->m_dialogs,
                                      view->m_store->liveMediaPath(view->m_noteId, attachment->filename),
                                      attachment->kind, attachment->createdAt);
    };
    media.reveal = [view, resolve = media.resolve](const QString &path) {
        const QString file = resolve(path);
        if (view && !file.isEmpty() && !FileReveal::reveal({ file }))
            view->showNotice(L("editor.reveal.failed"));
    };
    media.remove = [view](const QString &path) {
        if (!view || !view->m_store)
            return;
        if (const auto attachment = view->attachmentFor(path)) {
            view->m_store->removeAttachment(attachment->id, view->m_noteId);
            if (const auto note = view->liveNote())
                view->replaceText(note->body);
        }
    };
    if (m_ai) {
        using Kind = AIService::Action::Kind;
        if (m_ai->canRun(Kind::ExtractText))
            media.extractText = [view](const QString &path) {
                if (view && view->m_ai && !view->m_ai->running())
                    view->m_ai->run(AIService::Action::extractText(path), view->m_noteId);
            };
        if (m_ai->canRun(Kind::Transcribe))
            media.transcribe = [view](const QString &path) {
                if (view && view->m_ai && !view->m_ai->running())
                    view->m_ai->run(AIService::Action::transcribe(path), view->m_noteId);
            };
    }
    return media;
}

void EditorView::startRecording()
{
    if (m_recordingView || !m_canRecord)
        return;
    m_recordingView = new RecordingView(m_recorderOptions, m_content);
    m_content->addWidget(m_recordingView);
    m_content->setCurrentWidget(m_recordingView);
    connect(m_recordingView, &RecordingView::finished, this, &EditorView::finishRecording);
    connect(m_recordingView, &RecordingView::cancelled, this, &EditorView::endRecording);
    if (m_dialogs) {
        connect(m_recordingView, &RecordingView::holdPanel, m_dialogs, &Dialogs::holdPanel);
        connect(m_recordingView, &RecordingView::releasePanel, m_dialogs, &Dialogs::releasePanel);
    }
    setFocusProxy(m_recordingView);
    refreshRecordingState();
    if (isVisible())
        m_recordingView->setFocus(Qt::OtherFocusReason);
}

void EditorView::finishRecording(const QString &file, double duration)
{
    bool imported = false;
    if (m_store && liveNote())
        imported = m_store->importAttachment(file, Attachment::Kind::Audio, m_noteId, duration, true)
                       .has_value();
    if (!imported) {
        // The note went meanwhile, or the file could not be taken in: no stray take stays behind.
        QFile::remove(file);
        if (m_store && !m_store->lastError().isEmpty())
            showNotice(m_store->lastError());
    }
    endRecording();
    if (imported) {
        m_previewStale = true;
        setMode(Mode::Preview);
    }
}

void EditorView::endRecording()
{
    if (!m_recordingView)
        return;
    RecordingView *view = m_recordingView;
    m_recordingView = nullptr;
    m_content->removeWidget(view);
    view->hide();
    view->deleteLater();
    refreshRecordingState();
    setMode(m_mode);
}

void EditorView::refreshRecordingState()
{
    const bool recording = m_recordingView != nullptr;
    m_back->setEnabled(!recording);
    m_modes->setEnabled(!recording);
    m_more->setEnabled(!recording);
    m_escape->setEnabled(!recording);
    m_aiPanel->parentWidget()->setVisible(!recording);
    refreshAI();
}

void EditorView::revealNote()
{
    if (!m_store)
        return;
    m_store->flush();
    const auto file = m_store->filePath(m_noteId);
    const bool shown
        = file ? FileReveal::reveal({ *file }) : FileReveal::openFolder(m_store->notesFolder());
    if (!shown)
        showNotice(L("editor.reveal.failed"));
}

void EditorView::confirmDelete()
{
    if (!m_store || !m_dialogs)
        return;
    Dialogs::Confirmation confirmation;
    confirmation.title = L("editor.delete.title");
    confirmation.acceptText = L("common.delete");
    confirmation.destructive = true;
    if (!m_dialogs->confirm(this, confirmation) || !m_store)
        return;
    m_store->deleteNote(m_noteId);
    Q_EMIT back();
}

void EditorView::closeNote()
{
    if (m_closed)
        return;
    m_closed = true;
    const auto note = liveNote();
    if (note && note->body.isBlank())
        m_store->deleteNote(m_noteId);
}

void EditorView::copyPublicLink()
{
    if (m_sharing || !m_sync)
        return;
    if (m_telemetry)
        m_telemetry->record(QStringLiteral("note_shared"),
                            { { QStringLiteral("how"), QStringLiteral("link") } });
    setSharing(true);
    auto running = runCopyPublicLink(this);
    Q_UNUSED(running);
}

void EditorView::stopSharing()
{
    if (m_sharing || !m_sync)
        return;
    setSharing(true);
    auto running = runStopSharing(this);
    Q_UNUSED(running);
}

// Only values and guarded pointers live in these frames, and the editor is looked at again
// after every wait: the user may have gone back to the list (destroying the editor) while
// the server was still answering.
QCoro::Task<> EditorView::runCopyPublicLink(QPointer<EditorView> view)
{
    const quint64 askedAt = view->m_linksGeneration;
    // The user asked for the link: it goes to the clipboard even if they have left the
    // editor while the server was answering.
    const auto copied
        = co_await ShareLinkClipboard::copyPublicLink(view->m_store, view->m_sync, view->m_noteId);
    if (!view)
        co_return;
    if (copied.link)
        view->adoptPublicLink(*copied.link, askedAt);
    view->showNotice(copied.notice);
    view->setSharing(false);
}

QCoro::Task<> EditorView::runStopSharing(QPointer<EditorView> view)
{
    const QString noteId = view->m_noteId;
    const QPointer<SyncEngine> sync = view->m_sync;
    const quint64 askedAt = view->m_linksGeneration;
    const APIResult<void> stopped = co_await sync->stopSharing(noteId);
    if (!view)
        co_return;
    if (stopped) {
        view->adoptPublicLink(std::nullopt, askedAt);
        view->showNotice(L("editor.shareLink.stopped"));
    } else {
        view->showNotice(describe(stopped.error()));
    }
    view->setSharing(false);
}

void EditorView::refreshLiveLinks()
{
    std::optional<QString> account;
    if (m_sync) {
        if (const auto user = m_sync->account())
            account = user->id;
    }
    // Keyed by the account: a change that keeps the same account (its e-mail or picture)
    // does not ask the server again.
    if (m_linksAccount && *m_linksAccount == account)
        return;
    m_linksAccount = account;
    auto running = runLiveLinks(this, ++m_linksGeneration);
    Q_UNUSED(running);
}

QCoro::Task<> EditorView::runLiveLinks(QPointer<EditorView> view, quint64 generation)
{
    const QString noteId = view->m_noteId;
    const QPointer<SyncEngine> sync = view->m_sync;
    QList<ShareLink> links;
    if (sync)
        links = co_await sync->liveLinks(noteId);
    // Newest query wins: after a sign-out the empty answer comes at once, and the older
    // account's answer that arrives later must not bring its link back.
    if (!view || view->m_linksGeneration != generation)
        co_return;
    view->setPublicLink(links.isEmpty() ? std::nullopt : std::optional<QUrl>(links.first().url));
}

void EditorView::adoptPublicLink(const std::optional<QUrl> &link, quint64 askedAt)
{
    // A live-link query started after the request (the account changed meanwhile) knows
    // better; otherwise this answer is the newest news and outdates queries still running.
    if (askedAt != m_linksGeneration)
        return;
    ++m_linksGeneration;
    setPublicLink(link);
}

void EditorView::setPublicLink(const std::optional<QUrl> &link)
{
    if (link == m_publicLink)
        return;
    m_publicLink = link;
    refreshOpenMenu();
    Q_EMIT publicLinkChanged(m_publicLink);
}

void EditorView::setSharing(bool sharing)
{
    if (sharing == m_sharing)
        return;
    m_sharing = sharing;
    refreshOpenMenu();
    Q_EMIT sharingChanged(m_sharing);
}

void EditorView::refreshOpenMenu()
{
    // Later, not now: this may run inside the slot of an entry of that very menu, which a
    // rebuild would delete.
    QTimer::singleShot(0, this, [this] {
        if (m_moreMenu->isVisible())
            moreMenu();
    });
}

void EditorView::showNotice(const QString &message)
{
    m_notice->showMessage(message);
}
