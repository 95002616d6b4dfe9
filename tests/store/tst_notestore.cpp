#include "TestSupport.h"

#include "base/Localization.h"
#include "base/DurableFile.h"
#include "store/NoteStore.h"
#include "store/StoreLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>

using namespace std::chrono_literals;
using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

NoteStore::Options fastOptions(const TestSupport::TempFolders &folders, bool watch = false)
{
    NoteStore::Options options;
    options.notesFolder = folders.notes();
    options.supportFolder = folders.support();
    options.noteWriteDelay = 40ms;
    options.indexWriteDelay = 20ms;
    options.rescanDelay = 60ms;
    options.watchFolder = watch;
    return options;
}

std::unique_ptr<NoteStore> openStore(const TestSupport::TempFolders &folders, bool watch = false)
{
    auto store = std::make_unique<NoteStore>(fastOptions(folders, watch));
    store->movesToSystemTrash = false;
    return store;
}

QStringList noteFiles(const TestSupport::TempFolders &folders)
{
    return QDir(folders.notes())
        .entryList({ QStringLiteral("*.md"), QStringLiteral("*.txt") }, QDir::Files, QDir::Name);
}

void setModified(const QString &path, const QDateTime &when)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
}

// Counts the durable writes that reach each file name.
struct WriteCounter
{
    QHash<QString, int> counts;
    WriteCounter()
    {
        DurableFile::setFaultHook([this](DurableFile::Step step, const QString &path) {
            if (step == DurableFile::Step::Create)
                ++counts[QFileInfo(path).fileName()];
            return true;
        });
    }
    ~WriteCounter() { DurableFile::setFaultHook({}); }
};

// The text of a note's file, or "<no file>" when it has none (yet).
QByteArray noteFileText(const NoteStore &store, const QString &id)
{
    const auto path = store.filePath(id);
    return path ? readFile(*path) : QByteArray("<no file>");
}

Note remoteNote(const QString &id, const QString &body, double updatedAt, bool deleted = false)
{
    Note note;
    note.id = id;
    note.body = body;
    note.createdAt = Date { 1 };
    note.updatedAt = Date { updatedAt };
    note.deleted = deleted;
    return note;
}

} // namespace

class TestNoteStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }
    void cleanup() { Clock::setNowFunction({}); }

    void createWritesAtOnceAndRenamesOnTitleChange()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note note = store->create(QStringLiteral("Shopping list, June!\nmilk"));
        const QString first
            = QStringLiteral("shopping-list-june-") + note.id + QStringLiteral(".md");
        QTRY_COMPARE(noteFiles(folders),
                     QStringList { first }); // written at once, synced off the main thread
        QVERIFY(store->meta(note.id)->dirty);

        store->setBody(QStringLiteral("# Groceries\nmilk"), note.id, true);
        store->flush();
        QCOMPARE(noteFiles(folders),
                 QStringList { QStringLiteral("groceries-") + note.id + QStringLiteral(".md") });
        QCOMPARE(readFile(folders.notes() + u'/' + noteFiles(folders).first()),
                 QByteArray("# Groceries\nmilk"));
        QCOMPARE(store->notes().first().title(), QStringLiteral("Groceries"));
    }

    void typingWritesOnceAfterTheLastKeystroke()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note note = store->create(QStringLiteral("a"));
        WriteCounter counter;
        for (const char *text : { "ab", "abc", "abcd", "abcde", "abcdef" })
            store->setBody(QString::fromLatin1(text), note.id, true);
        const QString name = QStringLiteral("abcdef-") + note.id + QStringLiteral(".md");
        QCOMPARE(counter.counts.value(name), 0);
        QTRY_COMPARE(counter.counts.value(name), 1);
        QTest::qWait(80);
        QCOMPARE(counter.counts.value(name), 1);
        QCOMPARE(counter.counts.size(), 2); // the note and the index, nothing else
        QCOMPARE(noteFileText(*store, note.id), QByteArray("abcdef"));
    }

    void flushWritesPendingEditsImmediately()
    {
        TestSupport::TempFolders folders;
        NoteStore::Options options = fastOptions(folders);
        options.noteWriteDelay = 1h;
        options.indexWriteDelay = 1h;
        NoteStore store(options);
        const Note note = store.create(QStringLiteral("one"));
        store.setBody(QStringLiteral("two"), note.id, true);
        QTRY_COMPARE(readFile(store.notesFolder() + QStringLiteral("/two-") + note.id
                              + QStringLiteral(".md")),
                     QByteArray());
        QTRY_COMPARE(readFile(store.notesFolder() + QStringLiteral("/one-") + note.id
                              + QStringLiteral(".md")),
                     QByteArray("one"));
        store.flush();
        QCOMPARE(noteFileText(store, note.id), QByteArray("two"));
        QVERIFY(readFile(store.indexPath()).contains("\"two\""));
    }

    void indexRoundTripAndFormat()
    {
        TestSupport::TempFolders folders;
        QString id;
        {
            auto store = openStore(folders);
            id = store->create(QStringLiteral("Hello")).id;
            store->setCursor(42);
            store->flush();
        }
        const QJsonObject root
            = QJsonDocument::fromJson(readFile(folders.support() + QStringLiteral("/index.json")))
                  .object();
        QCOMPARE(root.value(u"version").toInt(), 2);
        QCOMPARE(root.value(u"cursor").toInt(), 42);
        QCOMPARE(root.value(u"notes").toArray().size(), 1);
        QCOMPARE(root.value(u"meta").toArray().first().toObject().value(u"filename").toString(),
                 QStringLiteral("hello-") + id + QStringLiteral(".md"));
        QVERIFY(readFile(folders.support() + QStringLiteral("/index.json"))
                    .contains("\n    \"cursor\": 42"));

        auto reopened = openStore(folders);
        QCOMPARE(reopened->cursor(), 42);
        QCOMPARE(reopened->notes().size(), 1);
        QCOMPARE(reopened->notes().first().id, id);
    }

    void adoptionWithoutIndex()
    {
        TestSupport::TempFolders folders;
        writeFile(folders.notes() + QStringLiteral("/plan-0123456789ab.md"), "Plan");
        writeFile(folders.notes() + QStringLiteral("/x-ABCDEF123456.md"), "Upper");
        writeFile(folders.notes() + QStringLiteral("/Groceries.md"), "Groceries");
        writeFile(folders.notes() + QStringLiteral("/todo.txt"), "Todo");
        writeFile(folders.notes() + QStringLiteral("/.hidden.md"), "hidden");
        writeFile(folders.notes() + QStringLiteral("/image.png"), "png");
        writeFile(folders.notes() + QStringLiteral("/latin1.md"), QByteArray("caf\xe9"));
        auto store = openStore(folders);
        QCOMPARE(store->notes().size(), 4);
        QCOMPARE(store->cursor(), 0);
        QCOMPARE(store->dirtyCount(), 4);
        QVERIFY(store->note(QStringLiteral("0123456789ab")));
        for (const Note &note : store->notes()) {
            QCOMPARE(note.id.size(), 12);
            QVERIFY(note.id != QStringLiteral("ABCDEF123456"));
        }
        // Files keep their names until their first write.
        const Note todo = store->search(QStringLiteral("todo")).first();
        QCOMPARE(store->meta(todo.id)->filename, QStringLiteral("todo.txt"));
        store->setBody(QStringLiteral("Todo list"), todo.id, true);
        store->flush();
        QVERIFY(!QFileInfo::exists(folders.notes() + QStringLiteral("/todo.txt")));
        QVERIFY(QFileInfo::exists(folders.notes() + QStringLiteral("/todo-list-") + todo.id
                                  + QStringLiteral(".md")));
    }

    void damagedIndexIsRebuiltOrSkipsBadRecords_data()
    {
        QTest::addColumn<QByteArray>("index");
        QTest::addColumn<int>("liveNotes");
        QTest::newRow("not json") << QByteArray("{ broken") << 2;
        QTest::newRow("missing cursor") << QByteArray(R"({"version":2,"notes":[],"meta":[]})") << 2;
        QTest::newRow("one bad record among good ones")
            << QByteArray(R"({"version":2,"cursor":7,"notes":[
                {"id":"aaaaaaaaaaaa","body":"Kept","createdAt":1,"updatedAt":2,"deleted":false},
                {"id":"bbbbbbbbbbbb","body":"Bad","createdAt":"x","updatedAt":2,"deleted":false},
                {"id":"../../escape","body":"Evil","createdAt":1,"updatedAt":2,"deleted":false}],
               "meta":[{"id":"aaaaaaaaaaaa","filename":"kept-aaaaaaaaaaaa.md","dirty":false},
                       {"id":"bbbbbbbbbbbb","filename":"bad-bbbbbbbbbbbb.md","dirty":false},
                       {"id":"../../escape","filename":"../../escape.md","dirty":false}]})")
            << 2;
    }
    void damagedIndexIsRebuiltOrSkipsBadRecords()
    {
        QFETCH(QByteArray, index);
        QFETCH(int, liveNotes);
        TestSupport::TempFolders folders;
        writeFile(folders.notes() + QStringLiteral("/kept-aaaaaaaaaaaa.md"), "Kept");
        writeFile(folders.notes() + QStringLiteral("/bad-bbbbbbbbbbbb.md"), "Bad but whole");
        writeFile(folders.support() + QStringLiteral("/index.json"), index);
        auto store = openStore(folders);
        QCOMPARE(store->notes().size(), liveNotes);
        // The damaged record's file is adopted under its own id; nothing is lost or duplicated.
        QCOMPARE(store->note(QStringLiteral("bbbbbbbbbbbb"))->body,
                 QStringLiteral("Bad but whole"));
        QVERIFY(!store->note(QStringLiteral("../../escape")));
        store->flush();
        QVERIFY(!QFileInfo::exists(folders.root() + QStringLiteral("/escape.md")));
    }

    void unsafeFilenameInIndexIsNeverUsed()
    {
        TestSupport::TempFolders folders;
        writeFile(
            folders.support() + QStringLiteral("/index.json"),
            R"({"version":2,"cursor":0,"notes":[{"id":"aaaaaaaaaaaa","body":"T","createdAt":1,"updatedAt":2,"deleted":false,
                       "attachments":[{"id":"A","kind":"image","filename":"../../../x.png","createdAt":1}]},
                      {"id":"cccccccccccc","body":"Safe","createdAt":1,"updatedAt":2,"deleted":false}],
                     "meta":[{"id":"aaaaaaaaaaaa","filename":"../outside.md","dirty":false},
                             {"id":"cccccccccccc","filename":"../outside2.md","dirty":false}]})");
        auto store = openStore(folders);
        QVERIFY(
            !store->note(QStringLiteral("aaaaaaaaaaaa"))); // attachment name is not a plain name
        store->setBody(QStringLiteral("Safe edit"), QStringLiteral("cccccccccccc"), true);
        store->flush();
        QVERIFY(!QFileInfo::exists(folders.root() + QStringLiteral("/outside2.md")));
        QCOMPARE(readFile(folders.notes() + QStringLiteral("/safe-edit-cccccccccccc.md")),
                 QByteArray("Safe edit"));
    }

    void externalEditsAreTakenInWhateverTheirTime()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note note = store->create(QStringLiteral("Original"));
        store->flush();
        store->markAccepted({ note.id }, { { note.id, note.updatedAt } });
        QVERIFY(!store->meta(note.id)->dirty);
        const QString path = *store->filePath(note.id);

        // Touching without changing the text changes nothing.
        setModified(path, QDateTime::currentDateTimeUtc().addSecs(60));
        store->rescan(true);
        QCOMPARE(store->note(note.id)->body, QStringLiteral("Original"));
        QVERIFY(!store->meta(note.id)->dirty);

        // A text that differs from what the store wrote is another program's edit, even with
        // an older file time (rsync -t, a restored backup); so is a newer one.
        writeFile(path, "Older text");
        setModified(path, note.updatedAt.toDateTime().addSecs(-60));
        store->rescan(true);
        QCOMPARE(store->note(note.id)->body, QStringLiteral("Older text"));
        writeFile(path, "Edited elsewhere");
        setModified(path, QDateTime::currentDateTimeUtc().addSecs(120));
        store->rescan(true);
        QCOMPARE(store->note(note.id)->body, QStringLiteral("Edited elsewhere"));
        QVERIFY(store->meta(note.id)->dirty);
    }

    void massDeletionGuard_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("removed");
        QTest::addColumn<bool>("warned");
        QTest::newRow("6 of 10 warns") << 10 << 6 << true;
        QTest::newRow("6 of 12 trashes") << 12 << 6 << false;
        QTest::newRow("5 of 5 trashes") << 5 << 5 << false;
        QTest::newRow("1 of 1 trashes") << 1 << 1 << false;
    }
    void massDeletionGuard()
    {
        QFETCH(int, total);
        QFETCH(int, removed);
        QFETCH(bool, warned);
        TestSupport::TempFolders folders;
        // Something else stays in the folder: an emptied folder is an unmounted drive.
        writeFile(folders.notes() + QStringLiteral("/picture.png"), "png");
        auto store = openStore(folders);
        QStringList ids;
        for (int i = 0; i < total; ++i)
            ids << store->create(QStringLiteral("Note %1").arg(i)).id;
        store->flush();
        for (int i = 0; i < removed; ++i)
            QVERIFY(QFile::remove(*store->filePath(ids[i])));
        store->rescan(true);
        QCOMPARE(!store->massDeletionWarning().isEmpty(), warned);
        QCOMPARE(store->notes().size(), warned ? total : total - removed);
        QCOMPARE(store->trashedNotes().size(), warned ? 0 : removed);
        if (warned)
            QCOMPARE(store->massDeletionWarning(), L("store.warning.massDeletion", removed, total));
    }

    void missingFolderChangesNothing()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        store->create(QStringLiteral("A"));
        store->flush();
        QVERIFY(QDir(folders.notes()).removeRecursively());
        store->rescan(true);
        QCOMPARE(store->notes().size(), 1);
        QVERIFY(store->trashedNotes().isEmpty());
    }

    void pendingWriteIsNotReadBackAndOutsideEditsSurvive()
    {
        TestSupport::TempFolders folders;
        NoteStore::Options options = fastOptions(folders);
        options.noteWriteDelay = 1h;
        auto store = std::make_unique<NoteStore>(options);
        const Note note = store->create(QStringLiteral("Mine"));
        store->flush();
        store->setBody(QStringLiteral("Mine, edited"), note.id, true);
        const QString path = *store->filePath(note.id);
        writeFile(path, "Theirs");
        setModified(path, QDateTime::currentDateTimeUtc().addSecs(60));
        store->rescan(true);
        QCOMPARE(store->note(note.id)->body, QStringLiteral("Mine, edited"));

        QSignalSpy conflicts(store.get(), &NoteStore::externalConflict);
        store->flush();
        QCOMPARE(conflicts.count(), 1);
        QCOMPARE(noteFileText(*store, note.id), QByteArray("Mine, edited"));
        const QString copyId = conflicts.first().at(1).toString();
        const QString copy = store->note(copyId)->body;
        QVERIFY(copy.startsWith(QStringLiteral("Theirs\n\n---\n")));
        QCOMPARE(noteFileText(*store, copyId), copy.toUtf8());
    }

    void outsideEditAfterOurWriteIsTakenInNotOverwritten()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note note = store->create(QStringLiteral("Mine"));
        store->setBody(QStringLiteral("Mine 2"), note.id, true);
        QTRY_COMPARE(noteFileText(*store, note.id), QByteArray("Mine 2"));
        const QString path = *store->filePath(note.id);
        writeFile(path, "Theirs");
        setModified(path, QDateTime::currentDateTimeUtc().addSecs(60));
        store->rescan(true); // skipped: the write is recent
        QSignalSpy conflicts(store.get(), &NoteStore::externalConflict);
        store->flush(); // nothing of ours to write: their text stays
        QCOMPARE(conflicts.count(), 0);
        QCOMPARE(readFile(path), QByteArray("Theirs"));
        store->rescan(true);
        QCOMPARE(store->note(note.id)->body, QStringLiteral("Theirs"));
        QCOMPARE(store->notes().size(), 1);
    }

    void failedWriteKeepsOldFileAndReports_data()
    {
        QTest::addColumn<int>("step");
        QTest::newRow("create") << int(DurableFile::Step::Create);
        QTest::newRow("write") << int(DurableFile::Step::Write);
        QTest::newRow("sync") << int(DurableFile::Step::Sync);
        QTest::newRow("rename") << int(DurableFile::Step::Rename);
    }
    void failedWriteKeepsOldFileAndReports()
    {
        QFETCH(int, step);
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note note = store->create(QStringLiteral("Old text"));
        store->flush();
        store->markAccepted({ note.id }, { { note.id, note.updatedAt } });
        DurableFile::setFaultHook(
            [step](DurableFile::Step s, const QString &) { return int(s) != step; });
        store->setBody(QStringLiteral("Old text, new words"), note.id, true);
        store->flush();
        DurableFile::setFaultHook({});
        QCOMPARE(noteFileText(*store, note.id), QByteArray("Old text"));
        QVERIFY(store->meta(note.id)->dirty);
        QVERIFY(store->lastError().contains(folders.notes())
                || store->lastError().contains(folders.support()));
        QCOMPARE(QDir(folders.notes()).entryList(QDir::Files | QDir::Hidden).size(),
                 1); // no temporary left
        store->setLastError({});
        store->flush();
        QVERIFY(store->lastError().isEmpty());
        QCOMPARE(noteFileText(*store, note.id), QByteArray("Old text, new words"));
    }

    void undoAndRedo()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note note = store->create(QStringLiteral("one"));
        store->flush();
        store->markAccepted({ note.id }, { { note.id, note.updatedAt } });
        store->setBody(QStringLiteral("two"), note.id, true);
        store->setBody(QStringLiteral("three"), note.id, true);
        QCOMPARE(store->undoStack()->count(), 2);
        store->flush();
        store->markAccepted({ note.id }, { { note.id, store->note(note.id)->updatedAt } });
        store->undoStack()->undo();
        QCOMPARE(store->note(note.id)->body, QStringLiteral("two"));
        QVERIFY(store->meta(note.id)->dirty);
        QTRY_COMPARE(noteFileText(*store, note.id), QByteArray("two"));
        store->undoStack()->undo();
        QCOMPARE(store->note(note.id)->body, QStringLiteral("one"));
        store->undoStack()->redo();
        QCOMPARE(store->note(note.id)->body, QStringLiteral("two"));
    }

    void trashRestorePurge()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note kept = store->create(QStringLiteral("Keep me"));
        const Note blank = store->create(QStringLiteral("  \n"));
        store->flush();
        const QString file = store->meta(kept.id)->filename;

        store->deleteNote(blank.id);
        QVERIFY(store->meta(blank.id)->isPurged());
        QVERIFY(store->trashedNotes().isEmpty());

        store->deleteNote(kept.id);
        QCOMPARE(store->trashedNotes().size(), 1);
        QVERIFY(QFileInfo::exists(folders.support() + QStringLiteral("/trash/") + file));
        QVERIFY(!QFileInfo::exists(folders.notes() + u'/' + file));
        store->restore(kept.id);
        QCOMPARE(readFile(folders.notes() + u'/' + file), QByteArray("Keep me"));

        // A trashed file removed by hand is written again from the stored body.
        store->deleteNote(kept.id);
        QVERIFY(QFile::remove(folders.support() + QStringLiteral("/trash/") + file));
        store->restore(kept.id);
        store->flush();
        QCOMPARE(readFile(folders.notes() + u'/' + file), QByteArray("Keep me"));

        store->deleteNote(kept.id);
        store->purge(kept.id);
        const Note tombstone = *store->note(kept.id);
        QVERIFY(tombstone.deleted && tombstone.body.isEmpty());
        store->restore(kept.id);
        QVERIFY(store->note(kept.id)->deleted); // purged notes stay purged
        QCOMPARE(store->dirtyCount(), 2);
    }

    void trashedNotesAreNotEditable()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note note = store->create(QStringLiteral("Text"));
        store->setBody(QStringLiteral("Text 2"), note.id, true);
        store->deleteNote(note.id);
        store->undoStack()->undo();
        store->flush();
        QVERIFY(noteFiles(folders).isEmpty());
        QCOMPARE(store->note(note.id)->body, QStringLiteral("Text 2"));
    }

    void deleteAllNotes()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        store->create(QStringLiteral("A"));
        const Note trashed = store->create(QStringLiteral("B"));
        store->deleteNote(trashed.id);
        store->deleteAllNotes();
        QVERIFY(store->notes().isEmpty());
        QVERIFY(store->trashedNotes().isEmpty());
        QVERIFY(noteFiles(folders).isEmpty());
        QVERIFY(!QFileInfo::exists(folders.support() + QStringLiteral("/trash")));
        QCOMPARE(store->dirtyCount(), 2);
    }

    void toggleCheckbox_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("expected");
        QTest::newRow("uncheck upper X") << "- [X] done" << 0 << "- [ ] done";
        QTest::newRow("check star") << "* [ ] todo" << 0 << "* [x] todo";
        QTest::newRow("second box, indentation kept")
            << "- [ ] a\n  + [ ] b" << 1 << "- [ ] a\n  + [x] b";
        QTest::newRow("fenced lines do not count")
            << "```\n- [ ] no\n```\n- [ ] yes" << 0 << "```\n- [ ] no\n```\n- [x] yes";
        QTest::newRow("empty box text") << "- [ ]" << 0 << "- [x]";
        QTest::newRow("no such index") << "- [ ] a" << 3 << "- [ ] a";
        QTest::newRow("not a task") << "- [ ]x\n- [] y" << 0 << "- [ ]x\n- [] y";
        QTest::newRow("line ends with CR") << "- [ ]\r\n- [ ] b\r\n" << 1 << "- [ ]\r\n- [x] b\r\n";
        QTest::newRow("tilde fence")
            << "~~~\n* [ ] no\n~~~\n* [x] yes" << 0 << "~~~\n* [ ] no\n~~~\n* [ ] yes";
    }
    void toggleCheckbox()
    {
        QFETCH(QString, body);
        QFETCH(int, index);
        QFETCH(QString, expected);
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note note = store->create(body);
        store->toggleCheckbox(index, note.id);
        QCOMPARE(store->note(note.id)->body, expected);
        QCOMPARE(store->undoStack()->count(), body == expected ? 0 : 1);
    }

    void search()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note a = store->create(QStringLiteral("EGGS and milk"));
        store->create(QStringLiteral("milk only"));
        QCOMPARE(store->search(QStringLiteral("Milk eggs")), QList<Note> { *store->note(a.id) });
        QCOMPARE(store->search(QStringLiteral("  ")), store->notes());
        QCOMPARE(store->search(QStringLiteral("milk")).size(), 2);
        QCOMPARE(store->search(QString(), Note::Tag::Image).size(), 0);
        store->setBody(QStringLiteral("EGGS and cream"), a.id, true);
        QCOMPARE(store->search(QStringLiteral("milk eggs")).size(), 0); // no stale search text
    }

    void syncBookkeeping()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        double now = 100;
        Clock::setNowFunction([&] { return Date { now }; });
        const Note older = store->create(QStringLiteral("older"));
        now = 200;
        const Note newer = store->create(QStringLiteral("newer"));
        QCOMPARE(store->dirtyNotes(1), QList<Note> { *store->note(older.id) });
        QCOMPARE(store->dirtyCount(), 2);

        now = 300;
        store->setBody(QStringLiteral("newer, edited after the push"), newer.id, true);
        store->markAccepted({ older.id, newer.id, QStringLiteral("unknown") },
                            { { older.id, Date { 100 } }, { newer.id, Date { 200 } } });
        QVERIFY(!store->meta(older.id)->dirty);
        QVERIFY(store->meta(newer.id)->dirty);

        store->setCursor(9);
        store->resetSyncState();
        QCOMPARE(store->cursor(), 0);
        QCOMPARE(store->dirtyCount(), 2);
    }

    void applyRemote()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        Clock::setNowFunction([] { return Date { 500 }; });
        const Note local = store->create(QStringLiteral("Local text"));

        // Equal dates keep the local note.
        QVERIFY(!store->applyRemote(remoteNote(local.id, QStringLiteral("Remote"), 500)));
        QCOMPARE(store->note(local.id)->body, QStringLiteral("Local text"));

        // A newer remote over a dirty local with other text: exactly one conflict copy.
        const qsizetype before = store->notes().size();
        const auto copy
            = store->applyRemote(remoteNote(local.id, QStringLiteral("Remote text"), 600));
        QVERIFY(copy);
        QCOMPARE(store->notes().size(), before + 1);
        QVERIFY(copy->body.toString().startsWith(QStringLiteral("Local text\n\n---\n")));
        QVERIFY(copy->body.toString().size() > QStringLiteral("Local text\n\n---\n").size());
        QCOMPARE(store->note(local.id)->body, QStringLiteral("Remote text"));
        QVERIFY(!store->meta(local.id)->dirty);
        store->flush();
        QCOMPARE(noteFileText(*store, local.id), QByteArray("Remote text"));

        // A new note from the server; then its deletion.
        QVERIFY(!store->applyRemote(
            remoteNote(QStringLiteral("fedcba987654"), QStringLiteral("From server"), 700)));
        store->flush();
        QCOMPARE(noteFileText(*store, QStringLiteral("fedcba987654")), QByteArray("From server"));
        const QString file = *store->filePath(QStringLiteral("fedcba987654"));
        QVERIFY(!store->applyRemote(
            remoteNote(QStringLiteral("fedcba987654"), QStringLiteral("x"), 800, true)));
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(store->note(QStringLiteral("fedcba987654"))->deleted);
        QVERIFY(store->note(QStringLiteral("fedcba987654"))->body.isEmpty());

        // Hostile identifiers are refused.
        QVERIFY(!store->applyRemote(
            remoteNote(QStringLiteral("../../x"), QStringLiteral("evil"), 900)));
        QVERIFY(!store->note(QStringLiteral("../../x")));
        QVERIFY(!QFileInfo::exists(folders.root() + QStringLiteral("/x.md")));
    }

    void importAndParkAttachments()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note note = store->create(QStringLiteral("Receipts"));
        const QString source = folders.path(QStringLiteral("Scan 01.PNG"));
        writeFile(source, "png-bytes");
        const auto attachment = store->importAttachment(source, Attachment::Kind::Image, note.id);
        QVERIFY(attachment);
        QVERIFY(attachment->filename.endsWith(QStringLiteral(".png")));
        QVERIFY(QFileInfo::exists(source));
        const QString live = store->liveMediaPath(note.id, attachment->filename);
        QCOMPARE(readFile(live), QByteArray("png-bytes"));
        QVERIFY(store->note(note.id)->body.toString().endsWith(QStringLiteral("![Scan 01](attachments/")
                                                    + note.id + u'/' + attachment->filename
                                                    + QStringLiteral(")\n")));

        // Removing the reference parks the file; undo brings both back.
        store->removeAttachment(attachment->id, note.id);
        QVERIFY(!QFileInfo::exists(live));
        QVERIFY(QFileInfo::exists(store->parkedMediaPath(note.id, attachment->filename)));
        QVERIFY(store->trashHoldsParkedMedia());
        store->undoStack()->undo();
        QVERIFY(QFileInfo::exists(live));
        QCOMPARE(store->localMediaPath(note.id, attachment->filename), live);

        // Emptying the trash deletes parked files and drops unreferenced attachments.
        store->removeAttachment(attachment->id, note.id);
        store->emptyTrash();
        QVERIFY(!store->trashHoldsParkedMedia());
        QVERIFY(store->note(note.id)->attachments.isEmpty());
    }

    void audioWithoutExtensionAndMove()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note note = store->create(QString());
        const QString source = folders.path(QStringLiteral("recording"));
        writeFile(source, "aac");
        const auto attachment
            = store->importAttachment(source, Attachment::Kind::Audio, note.id, 62.0, true);
        QVERIFY(attachment);
        QVERIFY(attachment->filename.endsWith(QStringLiteral(".m4a")));
        QVERIFY(!QFileInfo::exists(source));
        QVERIFY(store->note(note.id)->body.toString().contains(QStringLiteral("[audio 1:02](attachments/")));
        QVERIFY(store->missingMedia(note.id).isEmpty());
        QFile::remove(store->liveMediaPath(note.id, attachment->filename));
        QCOMPARE(store->missingMedia(note.id).size(), 1);
        store->saveDownloadedMedia("downloaded", *attachment, note.id);
        QCOMPARE(readFile(store->liveMediaPath(note.id, attachment->filename)),
                 QByteArray("downloaded"));
    }

    void createWithAttachmentFailureLeavesNothing()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        QVERIFY(!store->createWithAttachment(folders.path(QStringLiteral("missing.jpg")),
                                             Attachment::Kind::Image));
        QVERIFY(store->notes().isEmpty());
        QVERIFY(noteFiles(folders).isEmpty());
        QVERIFY(store->lastError().contains(QStringLiteral("missing.jpg")));

        writeFile(folders.path(QStringLiteral("photo.jpeg")), "jpeg");
        const auto created = store->createWithAttachment(folders.path(QStringLiteral("photo.jpeg")),
                                                         Attachment::Kind::Image);
        QVERIFY(created);
        QCOMPARE(created->title(), QStringLiteral("photo"));
        QCOMPARE(noteFiles(folders),
                 QStringList { QStringLiteral("image-") + created->id + QStringLiteral(".md") });
    }

    void lostReferenceIsEmbeddedAgainAtLoad()
    {
        TestSupport::TempFolders folders;
        QString id;
        QString filename;
        {
            auto store = openStore(folders);
            const Note note = store->create(QStringLiteral("Trip"));
            writeFile(folders.path(QStringLiteral("a.jpg")), "jpg");
            filename = store
                           ->importAttachment(folders.path(QStringLiteral("a.jpg")),
                                              Attachment::Kind::Image, note.id)
                           ->filename;
            id = note.id;
            store->flush();
            // Another editor drops the image line, with an older date so the index wins...
            const QString path = *store->filePath(id);
            writeFile(path, "Trip");
        }
        auto store = openStore(folders);
        QVERIFY(store->note(id)->body.toString().contains(filename));
        QVERIFY(store->meta(id)->dirty);
    }

    void relocateKeepsCollidingFiles()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note note = store->create(QStringLiteral("Alpha"));
        const QString name = store->meta(note.id)->filename;
        const QString target = folders.path(QStringLiteral("moved"));
        writeFile(target + u'/' + name, "Alpha in the new folder");
        setModified(target + u'/' + name, QDateTime::currentDateTimeUtc().addSecs(-3600));
        const Note other = store->create(QStringLiteral("Beta"));
        store->relocate(target);
        QCOMPARE(store->notesFolder(), target);
        QVERIFY(QFileInfo::exists(folders.notes() + u'/' + name)); // left behind
        QCOMPARE(store->note(note.id)->body, QStringLiteral("Alpha")); // older text ignored
        QVERIFY(QFileInfo::exists(target + u'/' + store->meta(other.id)->filename));
        QCOMPARE(store->notes().size(), 2);
    }

    void migrations()
    {
        TestSupport::TempFolders folders;
        const QString notes = folders.path(QStringLiteral("docs/ScrivelBar"));
        const QString support = folders.path(QStringLiteral("data/ScrivelBar"));
        writeFile(folders.path(QStringLiteral("data/Scrivel/notes/old-aaaaaaaaaaaa.md")), "Legacy");
        NoteStore::Options options;
        options.notesFolder = notes;
        options.supportFolder = support;
        options.watchFolder = false;
        NoteStore store(options);
        QVERIFY(!QFileInfo::exists(folders.path(QStringLiteral("data/Scrivel"))));
        QVERIFY(!QFileInfo::exists(support + QStringLiteral("/notes")));
        QCOMPARE(readFile(notes + QStringLiteral("/old-aaaaaaaaaaaa.md")), QByteArray("Legacy"));
        QCOMPARE(store.notes().size(), 1);
    }

    void watcherRescansOnceAfterABurst()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders, true);
        const Note note = store->create(QStringLiteral("Watched"));
        store->flush();
        QSignalSpy rescans(store.get(), &NoteStore::rescanned);
        QTRY_COMPARE(rescans.count(), 1); // our own writes cause one quiet rescan
        rescans.clear();
        const QString path = *store->filePath(note.id);
        for (int i = 0; i < 5; ++i) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate)); // in-place rewrite
            file.write(QByteArray("Watched ") + QByteArray::number(i));
            file.close();
            QTest::qWait(10);
        }
        setModified(path, QDateTime::currentDateTimeUtc().addSecs(5));
        QTRY_COMPARE(store->note(note.id)->body, QStringLiteral("Watched 4"));
        QTest::qWait(150);
        QCOMPARE(rescans.count(), 1);

        writeFile(folders.notes() + QStringLiteral("/new.md"), "New file");
        QTRY_COMPARE(store->notes().size(), 2);
        QFile::remove(folders.notes() + QStringLiteral("/new.md"));
        QTRY_COMPARE(store->notes().size(), 1);
    }

    void lockIsExclusive()
    {
        TestSupport::TempFolders folders;
        auto first = StoreLock::acquire(folders.support());
        QVERIFY(first);
        const auto second = StoreLock::acquire(folders.support());
        QVERIFY(!second);
        QVERIFY(second.error().contains(QStringLiteral("store.lock")));
        first = std::unexpected(QString());
        QVERIFY(StoreLock::acquire(folders.support()));
    }
};

QTEST_GUILESS_MAIN(TestNoteStore)
#include "tst_notestore.moc"
