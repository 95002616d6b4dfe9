// The store keeps one undo history of the user's own edits. Text that reached a note by
// another road (a sync, another program, an edit without undo) is never undone by it.
#include "TestSupport.h"

#include "store/NoteStore.h"

#include <QTest>
#include <QUndoStack>

using namespace std::chrono_literals;

namespace {

std::unique_ptr<NoteStore> openStore(const TestSupport::TempFolders &folders)
{
    NoteStore::Options options;
    options.notesFolder = folders.notes();
    options.supportFolder = folders.support();
    options.noteWriteDelay = 20ms;
    options.indexWriteDelay = 10ms;
    options.watchFolder = false;
    options.backgroundIndexWrites = false;
    auto store = std::make_unique<NoteStore>(options);
    store->movesToSystemTrash = false;
    return store;
}

Note remoteNote(const QString &id, const QString &body, double updatedAt)
{
    Note note;
    note.id = id;
    note.body = body;
    note.createdAt = Date { 1 };
    note.updatedAt = Date { updatedAt };
    return note;
}

} // namespace

class TestNoteUndo : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }
    void cleanup() { Clock::setNowFunction({}); }

    // How the other text arrives: a server note (with or without unsynced local text, which
    // then goes to a conflict copy) or an edit registered without undo (the folder watcher).
    void undoNeverRevertsTextFromElsewhere_data()
    {
        QTest::addColumn<QString>("road");
        QTest::addColumn<bool>("perNote"); // the editor's undo(id), else the shared stack
        QTest::newRow("sync over a synced note, editor") << "remote clean" << true;
        QTest::newRow("sync over an unsynced edit, editor") << "remote dirty" << true;
        QTest::newRow("sync over an unsynced edit, menu") << "remote dirty" << false;
        QTest::newRow("edit without undo, editor") << "no undo" << true;
        QTest::newRow("edit without undo, menu") << "no undo" << false;
    }
    void undoNeverRevertsTextFromElsewhere()
    {
        QFETCH(QString, road);
        QFETCH(bool, perNote);
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        double now = 100;
        Clock::setNowFunction([&now] { return Date { now }; });
        const QString id = store->create(QStringLiteral("base")).id;
        now = 110;
        store->setBody(QStringLiteral("base mine"), id, true);
        if (road == u"remote clean")
            store->markAccepted({ id }, { { id, Date { 110 } } });
        const QString theirs = QStringLiteral("the other device's text");
        if (road == u"no undo")
            store->setBody(theirs, id, false);
        else
            store->applyRemote(remoteNote(id, theirs, 200));
        QCOMPARE(store->note(id)->body, theirs);

        const auto undo = [&] {
            if (perNote)
                return store->undo(id);
            if (!store->undoStack()->canUndo())
                return false;
            store->undoStack()->undo();
            return true;
        };
        const bool undid = undo();
        QCOMPARE(store->note(id)->body, theirs);
        if (perNote)
            QVERIFY(!undid);
        QVERIFY(!store->canUndo(id));

        // The user's own edit after the merge is undone, and only that.
        now = 300;
        store->setBody(theirs + u'!', id, true);
        QVERIFY(store->canUndo(id));
        QVERIFY(undo());
        QCOMPARE(store->note(id)->body, theirs);
        undo();
        undo();
        QCOMPARE(store->note(id)->body, theirs);
        QVERIFY(!store->canUndo(id));
        // Redo brings the user's edit back.
        QVERIFY(store->canRedo(id));
        QVERIFY(store->redo(id));
        QCOMPARE(store->note(id)->body, theirs + u'!');
    }

    void redoNeverRevertsTextFromElsewhere()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        double now = 100;
        Clock::setNowFunction([&now] { return Date { now }; });
        const QString id = store->create(QStringLiteral("base")).id;
        store->setBody(QStringLiteral("base mine"), id, true);
        QVERIFY(store->undo(id));
        QCOMPARE(store->note(id)->body, QStringLiteral("base"));
        store->applyRemote(remoteNote(id, QStringLiteral("theirs"), 200));
        QVERIFY(!store->redo(id));
        QCOMPARE(store->note(id)->body, QStringLiteral("theirs"));
        store->undoStack()->redo();
        QCOMPARE(store->note(id)->body, QStringLiteral("theirs"));
        QVERIFY(!store->canRedo(id));
    }

    void undoOfOneNoteStopsAtAnotherNotesEdit()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const QString a = store->create(QStringLiteral("a")).id;
        const QString b = store->create(QStringLiteral("b")).id;
        store->setBody(QStringLiteral("a1"), a, true);
        store->setBody(QStringLiteral("b1"), b, true);
        store->setBody(QStringLiteral("b2"), b, true);
        QVERIFY(!store->canUndo(a)); // b's edits come first
        QVERIFY(!store->undo(a));
        QCOMPARE(store->note(a)->body, QStringLiteral("a1"));
        QVERIFY(store->undo(b));
        QVERIFY(store->undo(b));
        QCOMPARE(store->note(b)->body, QStringLiteral("b"));
        QVERIFY(!store->undo(b)); // a's edit is next: not b's to take
        QCOMPARE(store->note(a)->body, QStringLiteral("a1"));
        QVERIFY(store->undo(a));
        QCOMPARE(store->note(a)->body, QStringLiteral("a"));
        QVERIFY(!store->redo(b)); // a's edit is the next redo
        QVERIFY(store->redo(a));
        QVERIFY(store->redo(b));
        QCOMPARE(store->note(b)->body, QStringLiteral("b1"));
    }
};

QTEST_MAIN(TestNoteUndo)
#include "tst_noteundo.moc"
