#include "ui/shell/RootView.h"

#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "store/NoteStore.h"
#include "ui/shell/FooterView.h"

#include <QFrame>
#include <QVBoxLayout>

RootView::RootView(ScreenEnvironment environment, ScreenFactories factories, QWidget *parent)
    : QWidget(parent)
    , m_environment(std::move(environment))
    , m_factories(std::move(factories))
{
    setObjectName(QStringLiteral("root"));
    const ScreenFactories fallback = ScreenFactories::standard();
    if (!m_factories.list)
        m_factories.list = fallback.list;
    if (!m_factories.editor)
        m_factories.editor = fallback.editor;
    if (!m_factories.account)
        m_factories.account = fallback.account;

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::Mid);
    m_footer = new FooterView(
        m_environment.store, m_environment.sync, m_environment.dialogs, [this] { toggleAccount(); },
        m_environment.terminate, this);
    m_layout->addWidget(divider);
    m_layout->addWidget(m_footer);

    applyLanguage();
    connect(m_environment.settings, &AppSettings::languageChanged, this, &RootView::applyLanguage);
    rebuild();
}

RootView::~RootView() = default;

Screen RootView::afterAccountToggle(const Screen &current)
{
    return current.kind == Screen::Kind::Account ? Screen::list() : Screen::account();
}

void RootView::toggleAccount()
{
    setScreen(afterAccountToggle(m_screen));
}

void RootView::setScreen(const Screen &screen)
{
    if (screen == m_screen)
        return;
    const Screen previous = m_screen;
    m_screen = screen;
    if (screen.kind == Screen::Kind::List)
        m_environment.store->flush();
    // The editor is keyed by its note: another note gets a fresh editor, while a change of
    // the start flags alone keeps the one that is open.
    const bool sameWidget = previous.kind == screen.kind
        && (screen.kind != Screen::Kind::Editor || previous.noteId == screen.noteId);
    if (!sameWidget)
        rebuild();
    Q_EMIT screenChanged(m_screen);
}

void RootView::focusScreen()
{
    if (m_current)
        m_current->setFocus(Qt::OtherFocusReason);
}

void RootView::applyLanguage()
{
    // The locale flows to every widget below, so dates and numbers follow the interface
    // language; `system` means no override.
    const AppLanguage language = m_environment.settings->language();
    if (language == AppLanguage::System)
        setLocale(QLocale::system());
    else
        setLocale(Localization::localeFor(language));
}

void RootView::rebuild()
{
    QWidget *next = build(m_screen);
    if (!next)
        next = new QWidget;
    next->setParent(this);
    if (m_current) {
        m_layout->replaceWidget(m_current, next);
        const bool hadFocus = m_current->isAncestorOf(focusWidget()) || m_current == focusWidget();
        m_current->hide();
        m_current->deleteLater();
        m_current = next;
        if (hadFocus || isVisible())
            focusScreen();
    } else {
        m_layout->insertWidget(0, next, 1);
        m_current = next;
    }
    m_current->show();
    setFocusProxy(m_current);
}

QWidget *RootView::build(const Screen &screen)
{
    switch (screen.kind) {
    case Screen::Kind::List: {
        ListScreenArgs args;
        args.trash = false;
        args.onOpen = [this](const Note &note) {
            setScreen(Screen::editor(note.id, false, false));
        };
        args.onNew = [this] {
            // The note exists before the editor opens, so the editor always refers to one.
            const Note note = m_environment.store->create(QString());
            setScreen(Screen::editor(note.id, true, false));
        };
        args.onCreate = [this](const Note &note) {
            setScreen(Screen::editor(note.id, true, false));
        };
        args.onRecord = [this] {
            const Note note = m_environment.store->create(QString());
            setScreen(Screen::editor(note.id, true, true));
        };
        return m_factories.list(m_environment, args);
    }
    case Screen::Kind::Trash: {
        ListScreenArgs args;
        args.trash = true;
        args.onOpen = [](const Note &) {
        };
        args.onNew = [] {
        };
        args.onBack = [this] {
            setScreen(Screen::account());
        };
        return m_factories.list(m_environment, args);
    }
    case Screen::Kind::Editor: {
        EditorScreenArgs args;
        args.noteId = screen.noteId;
        args.startInEdit = screen.isNew;
        args.startRecording = screen.record;
        args.onBack = [this] {
            setScreen(Screen::list());
        };
        args.onOpenNote = [this](const QString &id) {
            setScreen(Screen::editor(id, false, false));
        };
        return m_factories.editor(m_environment, args);
    }
    case Screen::Kind::Account: {
        AccountScreenArgs args;
        args.onBack = [this] {
            setScreen(Screen::list());
        };
        args.onShowTrash = [this] {
            setScreen(Screen::trash());
        };
        return m_factories.account(m_environment, args);
    }
    }
    return nullptr;
}
