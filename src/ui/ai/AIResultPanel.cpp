#include "ui/ai/AIResultPanel.h"

#include "base/Localization.h"
#include "ui/account/AccountControls.h"
#include "ui/style/ScreenStyle.h"

#include <QClipboard>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using Kind = AIService::Action::Kind;

namespace {

constexpr int kResultTextHeight = 130;

QLabel *plainLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    // Provider answers and error texts are shown as they are, never interpreted.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

AIResultPanel::AIResultPanel(AIService *ai, const QString &noteId, QWidget *parent)
    : QWidget(parent), m_ai(ai), m_noteId(noteId)
{
    setObjectName(QStringLiteral("ai.panel"));
    buildUi();
    translate();
    applyLook();
    if (m_ai) {
        for (auto signal : { &AIService::runningChanged, &AIService::resultChanged,
                             &AIService::problemChanged })
            connect(m_ai.data(), signal, this, &AIResultPanel::render);
    }
    render();
}

void AIResultPanel::buildUi()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto *divider = new QFrame(this);
    divider->setFixedHeight(1);
    m_dividers.append(divider);
    outer->addWidget(divider);

    auto *body = new QWidget(this);
    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(12, 8, 12, 10);
    column->setSpacing(6);
    outer->addWidget(body);

    // Running.
    m_running = new QWidget(body);
    m_running->setObjectName(QStringLiteral("ai.running"));
    auto *runningRow = new QHBoxLayout(m_running);
    runningRow->setContentsMargins(0, 0, 0, 0);
    runningRow->setSpacing(8);
    auto *spinner = new AccountControls::Spinner(m_running);
    m_runningLabel = plainLabel(m_running);
    runningRow->addWidget(spinner, 0, Qt::AlignVCenter);
    runningRow->addWidget(m_runningLabel, 1);
    column->addWidget(m_running);

    // Problem.
    m_problem = new QWidget(body);
    m_problem->setObjectName(QStringLiteral("ai.problem"));
    auto *problemRow = new QHBoxLayout(m_problem);
    problemRow->setContentsMargins(0, 0, 0, 0);
    problemRow->setSpacing(8);
    m_problemIcon = AccountControls::pictureLabel(m_problem, 16);
    m_problemLabel = plainLabel(m_problem);
    m_problemLabel->setObjectName(QStringLiteral("ai.problem.message"));
    m_problemLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_ok = new QPushButton(m_problem);
    m_ok->setObjectName(QStringLiteral("ai.problem.ok"));
    m_ok->setFlat(true);
    problemRow->addWidget(m_problemIcon, 0, Qt::AlignTop);
    problemRow->addWidget(m_problemLabel, 1);
    problemRow->addWidget(m_ok, 0, Qt::AlignTop);
    column->addWidget(m_problem);

    // Result.
    m_result = new QWidget(body);
    m_result->setObjectName(QStringLiteral("ai.result"));
    auto *resultColumn = new QVBoxLayout(m_result);
    resultColumn->setContentsMargins(0, 0, 0, 0);
    resultColumn->setSpacing(6);
    auto *header = new QHBoxLayout;
    header->setSpacing(6);
    m_resultIcon = AccountControls::pictureLabel(m_result, 16);
    m_resultTitle = new QLabel(m_result);
    m_resultTitle->setObjectName(QStringLiteral("ai.result.title"));
    m_resultTitle->setTextFormat(Qt::PlainText);
    m_discard = ScreenStyle::toolButton(m_result, QStringLiteral("xmark"), L("ai.result.discard"));
    m_discard->setObjectName(QStringLiteral("ai.result.discard"));
    header->addWidget(m_resultIcon);
    header->addWidget(m_resultTitle, 1);
    header->addWidget(m_discard);
    resultColumn->addLayout(header);
    m_edit = new QPlainTextEdit(m_result);
    m_edit->setObjectName(QStringLiteral("ai.result.text"));
    m_edit->setFixedHeight(kResultTextHeight);
    m_edit->setTabChangesFocus(true);
    resultColumn->addWidget(m_edit);
    m_newNote = new QPushButton(m_result);
    m_newNote->setObjectName(QStringLiteral("ai.result.newNote"));
    m_newNote->setDefault(true);
    m_insert = new QPushButton(m_result);
    m_insert->setObjectName(QStringLiteral("ai.result.insert"));
    m_copy = new QPushButton(m_result);
    m_copy->setObjectName(QStringLiteral("ai.result.copy"));
    auto *actions = new QHBoxLayout;
    actions->setSpacing(6);
    actions->addWidget(m_newNote);
    actions->addWidget(m_insert);
    actions->addWidget(m_copy);
    actions->addStretch(1);
    resultColumn->addLayout(actions);
    column->addWidget(m_result);

    connect(m_ok, &QPushButton::clicked, this, &AIResultPanel::acknowledgeProblem);
    connect(m_discard, &QToolButton::clicked, this, &AIResultPanel::discardResult);
    connect(m_newNote, &QPushButton::clicked, this, &AIResultPanel::saveAsNewNote);
    connect(m_insert, &QPushButton::clicked, this, &AIResultPanel::insertIntoNote);
    connect(m_copy, &QPushButton::clicked, this, &AIResultPanel::copyResult);
    connect(m_edit, &QPlainTextEdit::textChanged, this, [this] {
        // The user's corrections become the result's text, so every way of keeping it
        // keeps what the user sees.
        if (m_rendering || !m_ai || !ownResult())
            return;
        m_ai->editResult(m_edit->toPlainText());
    });
}

QString AIResultPanel::runningLine(Kind kind, std::optional<AIProvider> provider)
{
    const QString engine = provider && *provider != AIProvider::None
        ? aiProviderDisplayName(*provider)
        : L("ai.source.local");
    switch (kind) {
    case Kind::ExtractText:
        return L("ai.running.text", engine);
    case Kind::Transcribe:
        return L("ai.running.transcript", engine);
    case Kind::Summarize:
        return L("ai.running.summary", engine);
    }
    return QString();
}

std::optional<AIService::Result> AIResultPanel::ownResult() const
{
    if (!m_ai)
        return std::nullopt;
    const auto result = m_ai->result();
    if (!result || result->job.onFile || result->job.noteID != m_noteId)
        return std::nullopt;
    return result;
}

void AIResultPanel::render()
{
    State state = State::Hidden;
    if (m_ai) {
        const auto running = m_ai->running();
        const auto problem = m_ai->problem();
        if (running && !running->onFile && running->noteID == m_noteId) {
            state = State::Running;
            m_runningLabel->setText(runningLine(running->action.kind, m_ai->providerFor(running->action)));
        } else if (problem && problem->noteID == m_noteId) {
            state = State::Problem;
            m_problemLabel->setText(problem->message);
        } else if (const auto result = ownResult()) {
            state = State::Result;
            const Kind kind = result->job.action.kind;
            const char *title = kind == Kind::Summarize ? "ai.result.summary"
                : kind == Kind::Transcribe              ? "ai.result.transcript"
                                                        : "ai.result.text";
            m_resultTitle->setText(L(title) + QStringLiteral(" · ") + result->source);
            m_insert->setText(L(kind == Kind::Summarize ? "ai.result.append" : "ai.result.insert"));
            ScreenStyle::describe(m_insert, m_insert->text());
            if (m_edit->toPlainText() != result->text) {
                m_rendering = true;
                m_edit->setPlainText(result->text);
                m_rendering = false;
            }
        }
    }
    m_state = state;
    m_running->setVisible(state == State::Running);
    m_problem->setVisible(state == State::Problem);
    m_result->setVisible(state == State::Result);
    setVisible(state != State::Hidden);
}

QString AIResultPanel::runningText() const
{
    return m_state == State::Running ? m_runningLabel->text() : QString();
}

QString AIResultPanel::problemText() const
{
    return m_state == State::Problem ? m_problemLabel->text() : QString();
}

QString AIResultPanel::resultTitle() const
{
    return m_state == State::Result ? m_resultTitle->text() : QString();
}

void AIResultPanel::saveAsNewNote()
{
    const auto result = ownResult();
    if (!result)
        return;
    const auto note = m_ai->saveAsNewNote(*result);
    if (note)
        Q_EMIT openNote(note->id);
}

void AIResultPanel::insertIntoNote()
{
    if (const auto result = ownResult())
        m_ai->insertIntoNote(*result);
}

void AIResultPanel::copyResult()
{
    const auto result = ownResult();
    if (!result)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(result->text);
}

void AIResultPanel::discardResult()
{
    if (ownResult())
        m_ai->dismissResult();
}

void AIResultPanel::acknowledgeProblem()
{
    if (m_ai && m_ai->problem() && m_ai->problem()->noteID == m_noteId)
        m_ai->clearProblem();
}

void AIResultPanel::translate()
{
    m_ok->setText(L("common.ok"));
    m_newNote->setText(L("ai.result.newNote"));
    m_copy->setText(L("ai.result.copy"));
    for (QPushButton *button : { m_ok, m_newNote, m_copy })
        ScreenStyle::describe(button, button->text());
    ScreenStyle::describe(m_discard, L("ai.result.discard"));
    m_edit->setAccessibleName(L("ai.result.text"));
}

void AIResultPanel::applyLook()
{
    const QPalette pal = palette();
    const QString line = ScreenStyle::withAlpha(pal.color(QPalette::Mid), 0.6).name(QColor::HexArgb);
    for (QWidget *divider : std::as_const(m_dividers))
        divider->setStyleSheet(QStringLiteral("background: %1;").arg(line));
    const QFont caption = ScreenStyle::captionFont(font());
    m_runningLabel->setFont(caption);
    AccountControls::setTextColor(m_runningLabel, ScreenStyle::secondary(pal));
    m_problemLabel->setFont(caption);
    AccountControls::setSymbolPicture(m_problemIcon, QStringLiteral("exclamationmark.triangle.fill"),
                                      Icons::Tint::Orange);
    AccountControls::setSymbolPicture(m_resultIcon, QStringLiteral("sparkles"), Icons::Tint::Accent);
    QFont title = caption;
    title.setWeight(QFont::DemiBold);
    m_resultTitle->setFont(title);
    ScreenStyle::setSymbol(m_discard, QStringLiteral("xmark"), Icons::Tint::Secondary);
    ScreenStyle::describe(m_discard, L("ai.result.discard"));
    // Small buttons: the panel sits under the note and should not crowd it.
    for (QPushButton *button : { m_newNote, m_insert, m_copy, m_ok })
        button->setFont(caption);
}

void AIResultPanel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        applyLook();
    else if (event->type() == QEvent::LanguageChange) {
        translate();
        render();
    }
}
