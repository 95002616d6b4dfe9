#include "ScreenFixture.h"

#include "base/Localization.h"
#include "telemetry/Telemetry.h"
#include "ui/list/NoteListModel.h"
#include "ui/list/NoteListView.h"
#include "ui/list/NoteRowDelegate.h"
#include "ui/style/RelativeDate.h"
#include "ui/style/ScreenStyle.h"
#include "ui/widgets/Menu.h"
#include "ui/widgets/Notice.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleOptionMenuItem>
#include <QTest>
#include <QToolButton>

#include <limits>

using namespace std::chrono_literals;

namespace {

QStringList ids(const QList<Note> &notes)
{
    QStringList result;
    for (const Note &note : notes)
        result << note.id;
    return result;
}

// Counts the events of one type a widget receives.
class EventCounter : public QObject
{
public:
    EventCounter(QObject *target, QEvent::Type type, int *count)
        : QObject(target)
        , m_type(type)
        , m_count(count)
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == m_type)
            ++*m_count;
        return false;
    }

private:
    QEvent::Type m_type;
    int *m_count;
};

QAction *action(QMenu *menu, const QString &text)
{
    for (QAction *entry : menu->actions())
        if (entry->text() == text)
            return entry;
    return nullptr;
}

} // namespace

class NoteListTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ScreenFixture> f;
    std::unique_ptr<NoteListView> view;

    void open()
    {
        view = std::make_unique<NoteListView>(f->store.get(), f->settings.get(), f->sync.get(),
                                              &f->dialogs, &f->telemetry);
        view->resize(380, 520);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }
    // Notes created in order get increasing change times, so the list shows them newest first.
    QString add(const QString &body)
    {
        static double clock = 700000000;
        clock += 10;
        const double at = clock;
        Clock::setNowFunction([at] { return Date { at }; });
        const QString id = f->store->create(body).id;
        Clock::setNowFunction({});
        return id;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }
    void init() { f = std::make_unique<ScreenFixture>(); }
    void cleanup()
    {
        view.reset();
        f.reset();
    }

    void searchMatchesEveryWord_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected"); // bodies, newest first

        QTest::newRow("empty query keeps all") << "" << QStringList { "Café menu", "Milk and EGGS", "eggs only" };
        QTest::newRow("spaces only keep all") << "   " << QStringList { "Café menu", "Milk and EGGS", "eggs only" };
        QTest::newRow("two words any order and case") << "eggs MILK" << QStringList { "Milk and EGGS" };
        QTest::newRow("inside longer words") << "ilk gg" << QStringList { "Milk and EGGS" };
        QTest::newRow("accent must match") << "cafe" << QStringList {};
        QTest::newRow("accent matches itself") << "CAFÉ" << QStringList { "Café menu" };
    }
    void searchMatchesEveryWord()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        add(QStringLiteral("eggs only"));
        add(QStringLiteral("Milk and EGGS"));
        add(QStringLiteral("Café menu"));
        open();
        QTest::keyClicks(view->searchField(), query);
        QStringList bodies;
        for (const Note &note : view->rows())
            bodies << note.body;
        QCOMPARE(bodies, expected);
        QCOMPARE(view->listView()->model()->rowCount(), expected.size());
    }

    // Typing on searches only the current rows; deleting, or a change in the store, searches
    // everything again.
    void typingNarrowsAndWidens()
    {
        add(QStringLiteral("milk"));
        add(QStringLiteral("mild cheese"));
        add(QStringLiteral("eggs"));
        open();
        auto bodies = [&] {
            QStringList result;
            for (const Note &note : view->rows())
                result << note.body;
            return result;
        };
        QTest::keyClicks(view->searchField(), QStringLiteral("mil"));
        QCOMPARE(bodies(), (QStringList { "mild cheese", "milk" }));
        QTest::keyClicks(view->searchField(), QStringLiteral("k"));
        QCOMPARE(bodies(), QStringList { "milk" });
        QTest::keyClick(view->searchField(), Qt::Key_Backspace);
        QCOMPARE(bodies(), (QStringList { "mild cheese", "milk" }));
        add(QStringLiteral("milestone"));
        QTRY_COMPARE(bodies(), (QStringList { "milestone", "mild cheese", "milk" }));
        QTest::keyClicks(view->searchField(), QStringLiteral("e"));
        QCOMPARE(bodies(), QStringList { "milestone" });
        view->searchField()->setText(QStringLiteral("cheese mil"));
        QCOMPARE(bodies(), QStringList { "mild cheese" });
        view->searchField()->setText(QStringLiteral("cheese"));
        QCOMPARE(bodies(), QStringList { "mild cheese" });
        view->searchField()->clear();
        QCOMPARE(bodies().size(), 4);
    }

    void searchHasFocusWhenShown()
    {
        add(QStringLiteral("one"));
        open();
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        QTRY_VERIFY(view->searchField()->hasFocus());
        // Typing goes straight into the search.
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("on"));
        QCOMPARE(view->query(), QStringLiteral("on"));
    }

    void escapeClearsTheSearchFirst_data()
    {
        QTest::addColumn<bool>("trash");
        QTest::newRow("notes") << false;
        QTest::newRow("trash") << true;
    }
    void escapeClearsTheSearchFirst()
    {
        QFETCH(bool, trash);
        const QString id = add(QStringLiteral("milk"));
        add(QStringLiteral("eggs"));
        if (trash)
            f->store->deleteNote(id);
        open();
        view->setTrashMode(trash);
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        view->searchField()->setFocus();
        QTRY_VERIFY(view->searchField()->hasFocus());
        QSignalSpy back(view.get(), &NoteListView::showAccount);
        const qsizetype all = view->rows().size();

        QTest::keyClicks(view->searchField(), QStringLiteral("zzz"));
        QVERIFY(view->rows().isEmpty());
        QTest::keyClick(view->searchField(), Qt::Key_Escape);
        QCOMPARE(view->query(), QString());
        QVERIFY(view->searchField()->hasFocus());
        QCOMPARE(view->rows().size(), all);
        QCOMPARE(back.count(), 0);

        // In an empty field Escape acts as before: back in the trash, nothing in the list.
        QTest::keyClick(view->searchField(), Qt::Key_Escape);
        QCOMPARE(back.count(), trash ? 1 : 0);
    }

    void returnOpensFirstRow()
    {
        add(QStringLiteral("older plan"));
        const QString newest = add(QStringLiteral("newer plan"));
        open();
        QSignalSpy opened(view.get(), &NoteListView::openNote);
        QTest::keyClicks(view->searchField(), QStringLiteral("plan"));
        QTest::keyClick(view->searchField(), Qt::Key_Return);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.first().first().toString(), newest);
        QCOMPARE(f->store->notes().size(), 2);
    }

    void returnCreatesFromUntrimmedQuery()
    {
        add(QStringLiteral("something"));
        open();
        QSignalSpy created(view.get(), &NoteListView::openNewNote);
        QSignalSpy opened(view.get(), &NoteListView::openNote);
        QTest::keyClicks(view->searchField(), QStringLiteral(" buy stamps "));
        QVERIFY(view->rows().isEmpty());
        QCOMPARE(view->emptyState()->message, L("list.empty.search", QStringLiteral(" buy stamps ")));
        QTest::keyClick(view->searchField(), Qt::Key_Return);
        QCOMPARE(created.count(), 1);
        QCOMPARE(opened.count(), 0);
        const auto note = f->store->note(created.first().first().toString());
        QVERIFY(note);
        QCOMPARE(note->body, QStringLiteral(" buy stamps "));
    }

    void returnWithNothingDoesNothing()
    {
        open();
        QSignalSpy created(view.get(), &NoteListView::openNewNote);
        QSignalSpy opened(view.get(), &NoteListView::openNote);
        QTest::keyClick(view->searchField(), Qt::Key_Return);
        QCOMPARE(created.count() + opened.count(), 0);
        QVERIFY(f->store->notes().isEmpty());
    }

    void emptyStates_data()
    {
        QTest::addColumn<bool>("withNotes");
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("filter"); // -1: none, else Note::Tag
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("messageKey");
        QTest::addColumn<QString>("buttonKey");

        QTest::newRow("no notes") << false << "" << -1 << "note.text" << "list.empty.title" << "list.empty.first";
        QTest::newRow("no match") << true << "zebra" << -1 << "magnifyingglass" << "list.empty.search" << "list.empty.create";
        QTest::newRow("audio filter") << true << "" << int(Note::Tag::Audio) << "waveform" << "list.empty.filter" << "";
        QTest::newRow("image filter") << true << "" << int(Note::Tag::Image) << "photo" << "list.empty.filter" << "";
        QTest::newRow("query beats filter") << true << "zebra" << int(Note::Tag::Image) << "magnifyingglass" << "list.empty.search" << "list.empty.create";
    }
    void emptyStates()
    {
        QFETCH(bool, withNotes);
        QFETCH(QString, query);
        QFETCH(int, filter);
        QFETCH(QString, symbol);
        QFETCH(QString, messageKey);
        QFETCH(QString, buttonKey);
        if (withNotes)
            add(QStringLiteral("# Just text"));
        open();
        if (filter >= 0)
            view->setTagFilter(Note::Tag(filter));
        QTest::keyClicks(view->searchField(), query);
        const auto state = view->emptyState();
        QVERIFY(state);
        QCOMPARE(state->symbol, symbol);
        QCOMPARE(state->message, query.isEmpty() ? L(messageKey.toUtf8().constData())
                                                 : L(messageKey.toUtf8().constData(), query));
        QCOMPARE(state->button, buttonKey.isEmpty() ? QString() : L(buttonKey.toUtf8().constData()));
    }

    void emptyStateButtonCreatesFromQuery()
    {
        open();
        QSignalSpy created(view.get(), &NoteListView::openNewNote);
        QTest::keyClicks(view->searchField(), QStringLiteral("idea"));
        QPushButton *button = nullptr;
        for (auto *candidate : view->findChildren<QPushButton *>())
            if (candidate->text() == L("list.empty.create"))
                button = candidate;
        QVERIFY(button && button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(created.count(), 1);
        QCOMPARE(f->store->note(created.first().first().toString())->body, QStringLiteral("idea"));
    }

    void imageOnlyNoteIsFoundUnderImageFilterOnly()
    {
        add(QStringLiteral("# Text note"));
        const auto image = f->store->createWithAttachment(f->image(QStringLiteral("a.png")), Attachment::Kind::Image);
        QVERIFY(image);
        open();
        view->setTagFilter(Note::Tag::Image);
        QCOMPARE(ids(view->rows()), QStringList { image->id });
        view->setTagFilter(Note::Tag::Text);
        QVERIFY(!ids(view->rows()).contains(image->id));
        QCOMPARE(view->rows().size(), 1);
        view->setTagFilter(std::nullopt);
        QCOMPARE(view->rows().size(), 2);
    }

    void filterMenuSetsFilter()
    {
        add(QStringLiteral("# Text note"));
        open();
        QToolButton *button = nullptr;
        for (auto *candidate : view->findChildren<QToolButton *>())
            if (candidate->toolTip() == L("list.filter"))
                button = candidate;
        QVERIFY(button && button->menu());
        QAction *audio = action(button->menu(), L("list.filter.audio"));
        QVERIFY(audio);
        audio->trigger();
        QCOMPARE(view->tagFilter(), std::optional(Note::Tag::Audio));
        QVERIFY(view->rows().isEmpty());
        QVERIFY(action(button->menu(), L("list.filter.audio"))->isChecked());
    }

    void storeChangesReachTheRows()
    {
        open();
        const QString id = add(QStringLiteral("first"));
        QTRY_COMPARE(ids(view->rows()), QStringList { id });
        f->store->setBody(QStringLiteral("changed"), id, false);
        QTRY_COMPARE(view->rows().first().body, QStringLiteral("changed"));
    }

    void clickOpensRow()
    {
        const QString id = add(QStringLiteral("click me"));
        open();
        QSignalSpy opened(view.get(), &NoteListView::openNote);
        QListView *list = view->listView();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.first().first().toString(), id);
    }

    void contextMenuDeletesWithoutConfirmation()
    {
        const QString id = add(QStringLiteral("bye"));
        open();
        std::unique_ptr<QMenu> menu(view->contextMenu(id));
        action(menu.get(), L("common.delete"))->trigger();
        QVERIFY(f->dialogs.confirmations.isEmpty());
        QVERIFY(f->store->notes().isEmpty());
        QCOMPARE(f->store->trashedNotes().size(), 1);
    }

    // Entries that lose data are marked and drawn in the destructive red; the others are not.
    void destructiveEntriesAreMarked_data()
    {
        QTest::addColumn<bool>("trash");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("destructive");
        QTest::newRow("delete") << false << "common.delete" << true;
        QTest::newRow("copy") << false << "list.menu.copy" << false;
        QTest::newRow("delete forever") << true << "list.menu.deleteForever" << true;
        QTest::newRow("restore") << true << "list.restore" << false;
    }
    void destructiveEntriesAreMarked()
    {
        QFETCH(bool, trash);
        QFETCH(QString, entry);
        QFETCH(bool, destructive);
        const QString id = add(QStringLiteral("a note"));
        if (trash)
            f->store->deleteNote(id);
        open();
        view->setTrashMode(trash);
        std::unique_ptr<QMenu> menu(view->contextMenu(id));
        QAction *item = action(menu.get(), L(entry.toUtf8().constData()));
        QVERIFY(item);
        QCOMPARE(Menu::isDestructive(item), destructive);

        auto *styled = qobject_cast<Menu *>(menu.get());
        QVERIFY(styled);
        QStyleOptionMenuItem option;
        styled->initStyleOption(&option, item);
        const QColor red = ScreenStyle::red(menu->palette());
        QCOMPARE(option.palette.color(QPalette::Active, QPalette::Text) == red, destructive);

        // And it is what the menu draws: red pixels appear only in a destructive entry.
        menu->adjustSize();
        const QImage picture = menu->grab(menu->actionGeometry(item)).toImage();
        bool reddish = false;
        for (int y = 0; y < picture.height() && !reddish; ++y)
            for (int x = 0; x < picture.width() && !reddish; ++x) {
                const QColor pixel = picture.pixelColor(x, y);
                reddish = pixel.red() > pixel.green() + 60 && pixel.red() > pixel.blue() + 60;
            }
        QCOMPARE(reddish, destructive);
    }

    void shareLinkEntry_data() { ScreenFixture::shareLinkEntryRows(); }
    void shareLinkEntry()
    {
        QFETCH(bool, enabled);
        const QString id = f->shareLinkEntryNote([this](const QString &body) { return add(body); });
        if (QTest::currentTestFailed())
            return;
        open();
        std::unique_ptr<QMenu> menu(view->contextMenu(id));
        QCOMPARE(action(menu.get(), L("editor.shareLink"))->isEnabled(), enabled);
    }

    void copyPublicLink_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("published") << 200;
        QTest::newRow("server failure") << 500;
    }
    void copyPublicLink()
    {
        QFETCH(int, status);
        f->signIn();
        if (QTest::currentTestFailed())
            return;
        const QString id = add(QStringLiteral("shared"));
        open();
        if (status != 200)
            f->server->enqueue("POST", QStringLiteral("/v1/shares"),
                               TestSupport::HttpResponse::text("{}", status));
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        std::unique_ptr<QMenu> menu(view->contextMenu(id));
        action(menu.get(), L("editor.shareLink"))->trigger();
        // While the request runs the entry is off and another click asks nothing more.
        std::unique_ptr<QMenu> during(view->contextMenu(id));
        QVERIFY(!action(during.get(), L("editor.shareLink"))->isEnabled());
        view->copyPublicLink(id);
        QTRY_VERIFY_WITH_TIMEOUT(!view->notice()->message().isEmpty(), 10000);
        QCOMPARE(f->server->requests(QStringLiteral("/v1/shares")).size(), 1);
        std::unique_ptr<QMenu> after(view->contextMenu(id));
        QVERIFY(action(after.get(), L("editor.shareLink"))->isEnabled());
        QCOMPARE(view->notice()->message(),
                 status == 200 ? L("editor.shareLink.copied")
                               : APIError::server(status, {}).description());
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 status == 200 ? QStringLiteral("https://share.example/s1")
                               : QStringLiteral("before"));
        // A note never synced is pushed before it is published.
        QCOMPARE(f->server->requests(QStringLiteral("/v1/sync")).size(), 1);
    }

    void copyWritesTextOrImage_data()
    {
        QTest::addColumn<bool>("withText");
        QTest::newRow("text title: body as text") << true;
        QTest::newRow("image only: the image") << false;
    }
    void copyWritesTextOrImage()
    {
        QFETCH(bool, withText);
        auto note = f->store->createWithAttachment(f->image(QStringLiteral("c.png"), { 30, 20 }), Attachment::Kind::Image);
        QVERIFY(note);
        if (withText)
            f->store->setBody(QStringLiteral("Caption\n") + note->body, note->id, false);
        open();
        view->copyNote(note->id);
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (withText) {
            QCOMPARE(clipboard->text(), f->store->note(note->id)->body);
        } else {
            QCOMPARE(clipboard->image().size(), QSize(30, 20));
        }
    }

    void trashMode()
    {
        const QString keep = add(QStringLiteral("keep"));
        const QString gone = add(QStringLiteral("gone"));
        f->store->deleteNote(keep);
        f->store->deleteNote(gone);
        open();
        view->setTrashMode(true);
        QCOMPARE(view->rows().size(), 2);
        QSignalSpy opened(view.get(), &NoteListView::openNote);
        QSignalSpy back(view.get(), &NoteListView::showAccount);
        QListView *list = view->listView();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        QCOMPARE(opened.count(), 0); // clicking a trashed note does nothing
        QTest::keyClick(view->searchField(), Qt::Key_Return);
        QCOMPARE(opened.count(), 0);

        // Purge asks first; declining keeps the note.
        f->dialogs.confirmAnswer = false;
        std::unique_ptr<QMenu> menu(view->contextMenu(gone));
        action(menu.get(), L("list.menu.deleteForever"))->trigger();
        QCOMPARE(f->dialogs.confirmations.size(), 1);
        QCOMPARE(f->dialogs.confirmations.last().title, L("list.purge.title", QStringLiteral("gone")));
        QVERIFY(f->dialogs.confirmations.last().destructive);
        QCOMPARE(f->store->trashedNotes().size(), 2);
        f->dialogs.confirmAnswer = true;
        action(menu.get(), L("list.menu.deleteForever"))->trigger();
        QCOMPARE(f->store->trashedNotes().size(), 1);
        QTRY_COMPARE(ids(view->rows()), QStringList { keep });

        menu.reset(view->contextMenu(keep));
        action(menu.get(), L("list.restore"))->trigger();
        QCOMPARE(ids(f->store->notes()), QStringList { keep });
        QTRY_VERIFY(view->rows().isEmpty());
        QCOMPARE(view->emptyState()->symbol, QStringLiteral("trash"));

        QTest::keyClick(view->searchField(), Qt::Key_Escape);
        QCOMPARE(back.count(), 1);
    }

    void emptyTrashConfirmsWithCount()
    {
        f->store->deleteNote(add(QStringLiteral("a")));
        f->store->deleteNote(add(QStringLiteral("b")));
        open();
        view->setTrashMode(true);
        QToolButton *button = nullptr;
        for (auto *candidate : view->findChildren<QToolButton *>())
            if (candidate->toolTip() == L("list.emptyTrash"))
                button = candidate;
        QVERIFY(button && button->isVisible() && button->isEnabled());
        f->dialogs.confirmAnswer = false;
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(f->dialogs.confirmations.last().title, L("list.emptyTrash.title", 2));
        QVERIFY(f->dialogs.confirmations.last().destructive);
        QCOMPARE(f->dialogs.confirmations.last().acceptText, L("list.emptyTrash"));
        QCOMPARE(f->store->trashedNotes().size(), 2);
        f->dialogs.confirmAnswer = true;
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(f->store->trashedNotes().isEmpty());
        QTRY_VERIFY(!button->isEnabled());
    }

    void imageImportCreatesNote()
    {
        open();
        QSignalSpy opened(view.get(), &NoteListView::openNote);
        QSignalSpy events(&f->telemetry, &Telemetry::recorded);
        f->dialogs.openAnswer.clear(); // cancelled
        view->importImage();
        QCOMPARE(opened.count(), 0);
        QVERIFY(f->store->notes().isEmpty());

        const QString source = f->image(QStringLiteral("pick.png"));
        f->dialogs.openAnswer = QStringList { source };
        view->importImage();
        QCOMPARE(opened.count(), 1);
        const auto note = f->store->note(opened.first().first().toString());
        QVERIFY(note);
        QCOMPARE(note->images().size(), 1);
        QVERIFY(QFile::exists(source)); // the source is kept
        int added = 0;
        for (const auto &event : events)
            added += event.first().toString() == QStringLiteral("image_added");
        QCOMPARE(added, 1);
    }

    void conflictBanner()
    {
        open();
        QSignalSpy dismissed(view.get(), &NoteListView::conflictsDismissed);
        view->setConflictCount(2);
        QPushButton *ok = nullptr;
        for (auto *candidate : view->findChildren<QPushButton *>())
            if (candidate->text() == L("common.ok") && candidate->isVisibleTo(view.get()))
                ok = candidate;
        QVERIFY(ok && ok->isVisible());
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(view->conflictCount(), 0);
        QVERIFY(!ok->isVisible());
        QCOMPARE(dismissed.count(), 1);
    }

    // Ten notes on disk, then the files of the first eight vanish at once: the store holds them.
    QStringList holdEightOfTen()
    {
        QStringList held;
        for (int i = 0; i < 10; ++i)
            held << add(QStringLiteral("Note %1").arg(i));
        f->store->flush();
        for (int i = 0; i < 8; ++i) {
            const auto path = f->store->filePath(held[i]);
            if (!path || !QFile::remove(*path))
                return {};
        }
        held.resize(8);
        return held;
    }
    QPushButton *button(const QString &text) const
    {
        for (auto *candidate : view->findChildren<QPushButton *>())
            if (candidate->text() == text && candidate->isVisibleTo(view.get()))
                return candidate;
        return nullptr;
    }

    void massDeletionBannerPutsTheFilesBack()
    {
        open();
        QVERIFY(view->heldBannerText().isEmpty());
        QVERIFY(!button(L("list.massDeletion.putBack")));
        const QStringList held = holdEightOfTen();
        QCOMPARE(held.size(), 8);
        f->store->rescan(true);
        QCOMPARE(f->store->massDeletionHeld().size(), 8);
        QCOMPARE(view->heldBannerText(), L("list.massDeletion.title", 8));
        QPushButton *putBack = button(L("list.massDeletion.putBack"));
        QVERIFY(putBack && putBack->isVisible());
        QCOMPARE(putBack->accessibleName(), L("list.massDeletion.putBack"));
        QVERIFY(button(L("list.massDeletion.trash")));
        QTest::mouseClick(putBack, Qt::LeftButton);
        QVERIFY(f->store->massDeletionHeld().isEmpty());
        QVERIFY(view->heldBannerText().isEmpty());
        QVERIFY(!putBack->isVisible());
        for (const QString &id : held)
            QVERIFY2(f->store->filePath(id), qPrintable(id));
        QVERIFY(f->dialogs.confirmations.isEmpty());
        f->store->rescan(true);
        QCOMPARE(f->store->notes().size(), 10);
        QVERIFY(f->store->trashedNotes().isEmpty());
    }

    void massDeletionBannerTrashesAfterConfirmation()
    {
        open();
        const QStringList held = holdEightOfTen();
        QCOMPARE(held.size(), 8);
        f->store->rescan(true);
        QPushButton *trash = button(L("list.massDeletion.trash"));
        QVERIFY(trash && trash->isVisible());
        f->dialogs.confirmAnswer = false;
        QTest::mouseClick(trash, Qt::LeftButton);
        QCOMPARE(f->dialogs.confirmations.size(), 1);
        const Dialogs::Confirmation asked = f->dialogs.confirmations.last();
        QCOMPARE(asked.title, L("list.massDeletion.confirm", 8));
        QCOMPARE(asked.acceptText, L("list.massDeletion.trash"));
        QVERIFY(asked.destructive);
        // Cancelled: nothing moves and the banner stays.
        QCOMPARE(f->store->massDeletionHeld().size(), 8);
        QVERIFY(f->store->trashedNotes().isEmpty());
        QVERIFY(trash->isVisible());
        f->dialogs.confirmAnswer = true;
        QTest::mouseClick(trash, Qt::LeftButton);
        QVERIFY(f->store->massDeletionHeld().isEmpty());
        QCOMPARE(f->store->trashedNotes().size(), 8);
        QVERIFY(!trash->isVisible());
        QTRY_COMPARE(view->rows().size(), 2);
    }

    void massDeletionBannerIsNotInTheTrash()
    {
        open();
        QCOMPARE(holdEightOfTen().size(), 8);
        f->store->rescan(true);
        QVERIFY(!view->heldBannerText().isEmpty());
        view->setTrashMode(true);
        QVERIFY(view->heldBannerText().isEmpty());
        view->setTrashMode(false);
        QCOMPARE(view->heldBannerText(), L("list.massDeletion.title", 8));
    }

    void storeErrorShowsAndIsDismissed()
    {
        open();
        QVERIFY(view->errorBannerText().isEmpty());
        // Store messages quote file names: markup in one is shown as it is.
        const QString message = QStringLiteral("The note <b>x</b> could not be saved: disk full");
        f->store->setLastError(message);
        QCOMPARE(view->errorBannerText(), message);
        auto *ok = view->findChild<QPushButton *>(QStringLiteral("errorOk"));
        QVERIFY(ok && ok->isVisible());
        QCOMPARE(ok->accessibleName(), L("common.ok"));
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(view->errorBannerText().isEmpty());
        QVERIFY(!ok->isVisible());
        // Read: the account screen does not show it again either.
        QVERIFY(f->store->lastError().isEmpty());
        // A new failure comes back.
        f->store->setLastError(QStringLiteral("again"));
        QCOMPARE(view->errorBannerText(), QStringLiteral("again"));
        // A failure is news in the trash too.
        view->setTrashMode(true);
        QCOMPARE(view->errorBannerText(), QStringLiteral("again"));
    }

    void unreadableFilesAreNamed()
    {
        open();
        QVERIFY(view->unreadableText().isEmpty());
        add(QStringLiteral("Readable"));
        f->store->flush();
        QStringList names { QStringLiteral("broken-aaaaaaaaaaaa.md"), QStringLiteral("<i>odd & bold-bbbbbbbbbbbb.md") };
        for (const QString &name : names) {
            QFile file(QDir(f->folders.notes()).filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("\xff\xfe\xc3\x28 not UTF-8");
        }
        f->store->rescan(true);
        const int count = int(f->store->unreadableFiles().size());
        QCOMPARE(count, 2);
        QCOMPARE(view->unreadableText(), L("list.unreadable", 2));
        auto *more = view->findChild<QToolButton *>(QStringLiteral("unreadableMore"));
        auto *list = view->findChild<QLabel *>(QStringLiteral("unreadableNames"));
        QVERIFY(more && list);
        QCOMPARE(more->accessibleName(), L("list.unreadable.show"));
        QVERIFY(!list->isVisible());
        QTest::mouseClick(more, Qt::LeftButton);
        QVERIFY(list->isVisible());
        QCOMPARE(list->textFormat(), Qt::PlainText);
        for (const QString &name : names)
            QVERIFY2(list->text().contains(name), qPrintable(list->text()));
        QCOMPARE(more->accessibleName(), L("list.unreadable.hide"));
        QTest::mouseClick(more, Qt::LeftButton);
        QVERIFY(!list->isVisible());
        // Gone from the folder: the line goes too.
        for (const QString &name : names)
            QVERIFY(QFile::remove(QDir(f->folders.notes()).filePath(name)));
        f->store->rescan(true);
        QVERIFY(view->unreadableText().isEmpty());
    }

    void recordButtonOnlyWithARecorder()
    {
        open();
        QToolButton *mic = nullptr;
        for (auto *candidate : view->findChildren<QToolButton *>())
            if (candidate->toolTip() == L("list.newAudio"))
                mic = candidate;
        QVERIFY(mic);
        QVERIFY(!view->canRecord());
        QVERIFY(!mic->isVisible());
        int recorded = 0;
        view->setRecordHandler([&recorded] { ++recorded; });
        QVERIFY(mic->isVisible() && mic->isEnabled());
        QTest::mouseClick(mic, Qt::LeftButton);
        QCOMPARE(recorded, 1);
        view->setTrashMode(true);
        QVERIFY(!mic->isVisible());
        view->setTrashMode(false);
        view->setRecordHandler({});
        QVERIFY(!mic->isVisible());
    }

    void newerNoticeIsNotCutShort()
    {
        open();
        Notice *notice = view->notice();
        notice->setDuration(150ms);
        notice->showMessage(QStringLiteral("first"));
        QTest::qWait(100);
        notice->showMessage(QStringLiteral("second"));
        QTest::qWait(80); // the first notice's time is up now
        QCOMPARE(notice->message(), QStringLiteral("second"));
        QVERIFY(notice->isVisible());
        QTRY_COMPARE(notice->message(), QString());
        QVERIFY(!notice->isVisible());
    }

    void sameNoticeTwiceGetsItsFullTime()
    {
        open();
        Notice *notice = view->notice();
        notice->setDuration(150ms);
        notice->showMessage(QStringLiteral("saved"));
        QTest::qWait(100);
        notice->showMessage(QStringLiteral("saved"));
        QTest::qWait(80);
        QCOMPARE(notice->message(), QStringLiteral("saved"));
    }

    void rowDetail_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("images");
        QTest::addColumn<double>("duration"); // < 0: no recording
        QTest::addColumn<QString>("expected");
        QTest::newRow("preview text") << "Title\nsecond line\nthird" << 0 << -1.0 << "second line third";
        QTest::newRow("one image, no text") << "" << 1 << -1.0 << "";
        QTest::newRow("two images") << "" << 2 << -1.0 << "×2";
        QTest::newRow("recording") << "" << 0 << 75.0 << "1:15";
        QTest::newRow("recording and images") << "" << 3 << 5.0 << "0:05 · ×3";
    }
    void rowDetail()
    {
        QFETCH(QString, body);
        QFETCH(int, images);
        QFETCH(double, duration);
        QFETCH(QString, expected);
        Note note;
        note.id = QStringLiteral("0123456789ab");
        note.body = body;
        auto attach = [&](Attachment::Kind kind, int n, std::optional<double> seconds) {
            Attachment a { QStringLiteral("A%1").arg(note.attachments.size()), kind,
                           QStringLiteral("f%1.%2").arg(note.attachments.size()).arg(kind == Attachment::Kind::Image ? "png" : "m4a"),
                           Date {}, seconds };
            for (int i = 0; i < n; ++i) {
                a.id = QStringLiteral("A%1").arg(note.attachments.size());
                a.filename = QStringLiteral("f%1.%2").arg(note.attachments.size()).arg(kind == Attachment::Kind::Image ? "png" : "m4a");
                note.attachments.append(a);
                note.appendReference(a);
            }
        };
        if (duration >= 0)
            attach(Attachment::Kind::Audio, 1, duration);
        attach(Attachment::Kind::Image, images, std::nullopt);
        QCOMPARE(NoteListModel::detail(note), expected);
    }

    void relativeDates_data()
    {
        QTest::addColumn<double>("age");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("count");
        QTest::newRow("future") << -30.0 << "date.relative.now" << -1;
        QTest::newRow("now") << 0.4 << "date.relative.now" << -1;
        QTest::newRow("seconds") << 42.0 << "date.relative.seconds" << 42;
        QTest::newRow("minutes") << 5 * 60.0 + 10 << "date.relative.minutes" << 5;
        QTest::newRow("hours") << 3 * 3600.0 << "date.relative.hours" << 3;
        QTest::newRow("days") << 2 * 86400.0 << "date.relative.days" << 2;
        QTest::newRow("weeks") << 15 * 86400.0 << "date.relative.weeks" << 2;
        QTest::newRow("months") << 95 * 86400.0 << "date.relative.months" << 3;
        QTest::newRow("years") << 800 * 86400.0 << "date.relative.years" << 2;
    }
    void relativeDates()
    {
        QFETCH(double, age);
        QFETCH(QString, key);
        QFETCH(int, count);
        const Date now { 800000000 };
        const QString text = RelativeDate::format(Date { now.seconds - age }, now);
        QCOMPARE(text, count < 0 ? L(key.toUtf8().constData()) : L(key.toUtf8().constData(), count));
    }

    void dateRefreshDelay_data()
    {
        QTest::addColumn<double>("age");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("expected");
        QTest::newRow("seconds old: every second") << 12.0 << 30000 << 1000;
        QTest::newRow("seconds old, shorter interval") << 12.0 << 50 << 50;
        QTest::newRow("minutes old: the interval") << 300.0 << 30000 << 30000;
        QTest::newRow("no rows") << std::numeric_limits<double>::infinity() << 30000 << 30000;
        QTest::newRow("clock behind the note") << -20.0 << 30000 << 1000;
    }
    void dateRefreshDelay()
    {
        QFETCH(double, age);
        QFETCH(int, interval);
        QFETCH(int, expected);
        QCOMPARE(NoteListView::dateRefreshDelay(age, std::chrono::milliseconds(interval)).count(),
                 expected);
    }

    // While the list shows, the rows' relative dates are drawn again as time passes; while it
    // is hidden, nothing ticks.
    void relativeDatesMoveOnWhileShown()
    {
        const QString id = add(QStringLiteral("written a while ago"));
        const double written = f->store->note(id)->updatedAt.seconds;
        double now = written + 5 * 60;
        open();
        view->rowDelegate()->setClock([&now] { return Date { now }; });
        QListView *list = view->listView();
        const QModelIndex row = list->model()->index(0, 0);
        const auto drawn = [&] {
            return RelativeDate::format(Date { row.data(NoteListModel::DateRole).toDouble() },
                                        view->rowDelegate()->now());
        };
        QCOMPARE(drawn(), L("date.relative.minutes", 5));

        QSignalSpy changed(list->model(), &QAbstractItemModel::dataChanged);
        const auto dateChanges = [&] {
            int count = 0;
            for (const auto &arguments : changed)
                count += arguments.at(2).value<QList<int>>().contains(NoteListModel::DateRole);
            return count;
        };
        int paints = 0;
        new EventCounter(list->viewport(), QEvent::Paint, &paints);
        QTest::qWait(50); // the first paint of the list settles
        paints = 0;
        view->setDateRefreshInterval(20ms);
        now = written + 2 * 3600;
        QTRY_VERIFY(dateChanges() >= 1);
        QTRY_VERIFY(paints >= 1); // the row is drawn again, now two hours old
        QCOMPARE(drawn(), L("date.relative.hours", 2));

        view->hide();
        changed.clear();
        QTest::qWait(120);
        QCOMPARE(dateChanges(), 0);
        view->show();
        QTRY_VERIFY(dateChanges() >= 1);
    }

    void relativeDatesFollowTheLanguage()
    {
        Localization::setLanguage(AppLanguage::Pt);
        const QString text = RelativeDate::format(Date { 0 }, Date { 3 * 86400.0 });
        Localization::setLanguage(AppLanguage::En);
        QCOMPARE(text, QStringLiteral("há 3 dias"));
    }

    void everyControlIsDescribed()
    {
        open();
        for (auto *button : view->findChildren<QAbstractButton *>()) {
            if (!button->isVisibleTo(view.get()))
                continue;
            QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->objectName()));
            QVERIFY2(!button->toolTip().isEmpty(), qPrintable(button->objectName()));
        }
        QVERIFY(!view->searchField()->accessibleName().isEmpty());
        QVERIFY(!view->listView()->accessibleName().isEmpty());
    }
};

QTEST_MAIN(NoteListTest)
#include "tst_notelist.moc"
