// Plain stand-ins for the note list, editor and account screens, so the navigation and the
// panel can be used before the real screens replace them through ScreenFactories.
#include "app/AppInfo.h"
#include "app/Localization.h"
#include "store/NoteStore.h"
#include "ui/Icons.h"
#include "ui/RootView.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *iconButton(QWidget *parent, const QString &symbol, const QString &tip)
{
    auto *button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(Icons::icon(symbol, parent->palette()));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    return button;
}

QHBoxLayout *header(QVBoxLayout *layout)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(8);
    layout->addLayout(row);
    return row;
}

QLabel *title(QWidget *parent, const QString &text)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    return label;
}

QWidget *makeList(const ScreenEnvironment &environment, const ListScreenArgs &args)
{
    auto *screen = new QWidget;
    screen->setObjectName(args.trash ? QStringLiteral("screen.trash")
                                     : QStringLiteral("screen.list"));
    auto *layout = new QVBoxLayout(screen);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QHBoxLayout *row = header(layout);
    if (args.trash) {
        QToolButton *back = iconButton(screen, QStringLiteral("chevron.left"), L("editor.back"));
        back->setShortcut(QKeySequence(Qt::Key_Escape));
        QObject::connect(back, &QToolButton::clicked, screen, [onBack = args.onBack] {
            if (onBack)
                onBack();
        });
        row->addWidget(back);
        row->addWidget(title(screen, L("list.trash.title")), 1);
    } else {
        row->addWidget(title(screen, AppInfo::name()), 1);
        QToolButton *add = iconButton(screen, QStringLiteral("square.and.pencil"), L("list.new"));
        add->setShortcut(QKeySequence::New);
        QObject::connect(add, &QToolButton::clicked, screen, [onNew = args.onNew] {
            if (onNew)
                onNew();
        });
        row->addWidget(add);
    }

    auto *list = new QListWidget(screen);
    list->setFrameShape(QFrame::NoFrame);
    layout->addWidget(list, 1);
    screen->setFocusProxy(list);
    NoteStore *store = environment.store;
    const bool trash = args.trash;
    auto fill = [list, store, trash] {
        list->clear();
        const QList<Note> notes = trash ? store->trashedNotes() : store->notes();
        for (const Note &note : notes) {
            auto *item = new QListWidgetItem(note.title(), list);
            item->setData(Qt::UserRole, note.id);
        }
    };
    fill();
    QObject::connect(store, &NoteStore::notesChanged, list, fill);
    QObject::connect(list, &QListWidget::itemActivated, screen,
                     [store, onOpen = args.onOpen](QListWidgetItem *item) {
                         const auto note = store->note(item->data(Qt::UserRole).toString());
                         if (note && onOpen)
                             onOpen(*note);
                     });
    return screen;
}

QWidget *makeEditor(const ScreenEnvironment &environment, const EditorScreenArgs &args)
{
    auto *screen = new QWidget;
    screen->setObjectName(QStringLiteral("screen.editor"));
    screen->setProperty("noteId", args.noteId);
    auto *layout = new QVBoxLayout(screen);
    layout->setContentsMargins(0, 0, 0, 0);
    QHBoxLayout *row = header(layout);
    QToolButton *back = iconButton(screen, QStringLiteral("chevron.left"), L("editor.back"));
    back->setShortcut(QKeySequence(Qt::Key_Escape));
    QObject::connect(back, &QToolButton::clicked, screen, [onBack = args.onBack] {
        if (onBack)
            onBack();
    });
    row->addWidget(back);
    row->addStretch(1);

    auto *text = new QPlainTextEdit(screen);
    text->setFrameShape(QFrame::NoFrame);
    text->setUndoRedoEnabled(false);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(13);
    text->setFont(mono);
    NoteStore *store = environment.store;
    const QString id = args.noteId;
    if (const auto note = store->note(id))
        text->setPlainText(note->body);
    QObject::connect(text, &QPlainTextEdit::textChanged, screen,
                     [store, text, id] { store->setBody(text->toPlainText(), id, true); });
    layout->addWidget(text, 1);
    screen->setFocusProxy(text);
    return screen;
}

QWidget *makeAccount(const ScreenEnvironment &, const AccountScreenArgs &args)
{
    auto *screen = new QWidget;
    screen->setObjectName(QStringLiteral("screen.account"));
    auto *layout = new QVBoxLayout(screen);
    layout->setContentsMargins(0, 0, 0, 0);
    QHBoxLayout *row = header(layout);
    QToolButton *back = iconButton(screen, QStringLiteral("chevron.left"), L("editor.back"));
    back->setShortcut(QKeySequence(Qt::Key_Escape));
    QObject::connect(back, &QToolButton::clicked, screen, [onBack = args.onBack] {
        if (onBack)
            onBack();
    });
    row->addWidget(back);
    row->addWidget(title(screen, L("account.title")), 1);
    auto *trash = new QPushButton(L("account.trash.show"), screen);
    QObject::connect(trash, &QPushButton::clicked, screen, [onShowTrash = args.onShowTrash] {
        if (onShowTrash)
            onShowTrash();
    });
    auto *body = new QVBoxLayout;
    body->setContentsMargins(12, 8, 12, 8);
    body->addWidget(trash, 0, Qt::AlignLeft);
    body->addStretch(1);
    layout->addLayout(body, 1);
    screen->setFocusProxy(back);
    return screen;
}

} // namespace

ScreenFactories ScreenFactories::placeholders()
{
    return { makeList, makeEditor, makeAccount };
}
