// The store's promise: a plain folder that any program may touch never loses a note. One test
// per way the folder can surprise the store.
#include "FailingDisk.h"
#include "TestSupport.h"

#include "base/Localization.h"
#include "store/NoteStore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace std::chrono_literals;
using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

std::unique_ptr<NoteStore> openStore(const TestSupport::TempFolders &folders,
                                     const QString &notes = {})
{
    NoteStore::Options options;
    options.notesFolder = notes.isEmpty() ? folders.notes() : notes;
    options.supportFolder = folders.support();
    options.noteWriteDelay = 40ms;
    options.indexWriteDelay = 20ms;
    options.rescanDelay = 60ms;
    options.retryDelay = 50ms;
    options.watchFolder = false;
    auto store = std::make_unique<NoteStore>(options);
    store->movesToSystemTrash = false;
    return store;
}

QStringList noteFiles(const QString &folder)
{
    return QDir(folder).entryList({ QStringLiteral("*.md"), QStringLiteral("*.txt") },
                                  QDir::Files | QDir::System, QDir::Name);
}

void setModified(const QString &path, const QDateTime &when)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
}

bool anyNoteContains(const NoteStore &store, const QString &text)
{
    for (const Note &note : store.notes()) {
        if (note.body.toString().contains(text))
            return true;
    }
    return false;
}

// Every file under a folder whose bytes are exactly `bytes`.
QStringList filesHolding(const QString &folder, const QByteArray &bytes)
{
    QStringList result;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (readFile(path) == bytes)
            result << path;
    }
    return result;
}

} // namespace

class TestStoreSafety : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }
    void cleanup() { DurableFile::setFaultHook({}); }

    void fileOfTrashedOrMovedNoteIsTakenInAgain_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::newRow("mv away and back") << QStringLiteral("mv");
        QTest::newRow("backup of a trashed note copied back") << QStringLiteral("backup");
        QTest::newRow("old index where the move trashed it") << QStringLiteral("trashed");
    }
    void fileOfTrashedOrMovedNoteIsTakenInAgain()
    {
        QFETCH(QString, scenario);
        TestSupport::TempFolders folders;
        const QString journal = folders.notes() + QStringLiteral("/journal.md");
        writeFile(journal, "Journal\nday one");
        auto store = openStore(folders);
        QCOMPARE(store->notes().size(), 1);
        const QString id = store->notes().first().id;
        store->create(QStringLiteral("Another note"));
        if (scenario == u"mv") {
            QVERIFY(QFile::rename(journal, folders.notes() + QStringLiteral("/journal-2026.md")));
            store->rescan(true);
            QVERIFY(QFile::rename(folders.notes() + QStringLiteral("/journal-2026.md"), journal));
            store->rescan(true);
        } else {
            const QByteArray backup = readFile(journal);
            if (scenario == u"backup") {
                store->deleteNote(id);
            } else {
                QVERIFY(QFile::remove(journal));
                store->rescan(true); // one vanished file: it goes to the trash
            }
            QCOMPARE(store->trashedNotes().size(), 1);
            writeFile(journal, backup);
            store->rescan(true);
        }
        QCOMPARE(store->notes().size(), 2);
        QVERIFY(!store->note(id)->deleted);
        QCOMPARE(store->note(id)->body, QStringLiteral("Journal\nday one"));
        QVERIFY(store->trashedNotes().isEmpty());
        QCOMPARE(store->meta(id)->filename, QStringLiteral("journal.md"));
    }

    void renamedFileKeepsItsIdentity_data()
    {
        QTest::addColumn<bool>("crash");
        QTest::newRow("renamed by hand") << false;
        QTest::newRow("crash between our rename and the index write") << true;
    }
    void renamedFileKeepsItsIdentity()
    {
        QFETCH(bool, crash);
        TestSupport::TempFolders folders;
        QString id;
        {
            auto store = openStore(folders);
            id = store->create(QStringLiteral("Hello\nworld")).id;
            store->flush();
            QCOMPARE(noteFiles(folders.notes()), QStringList { QStringLiteral("hello-%1.md").arg(id) });
            if (crash) {
                const QByteArray before = readFile(store->indexPath());
                store->setBody(QStringLiteral("Bye\nworld"), id, true);
                store->flush();
                writeFile(store->indexPath(), before); // the index never heard of the rename
            }
        }
        if (!crash)
            QVERIFY(QFile::rename(folders.notes() + QStringLiteral("/hello-%1.md").arg(id),
                                  folders.notes() + QStringLiteral("/bye-%1.md").arg(id)));
        auto store = openStore(folders);
        QCOMPARE(store->notes().size(), 1);
        QCOMPARE(store->notes().first().id, id);
        QVERIFY(store->trashedNotes().isEmpty());
        QCOMPARE(store->meta(id)->filename, QStringLiteral("bye-%1.md").arg(id));
        QCOMPARE(store->notes().first().body,
                 crash ? QStringLiteral("Bye\nworld") : QStringLiteral("Hello\nworld"));
    }

    void outsideEditWithAnOlderTimeIsTakenIn_data()
    {
        QTest::addColumn<bool>("reopen");
        QTest::newRow("while the store runs") << false;
        QTest::newRow("while the store is closed") << true;
    }
    void outsideEditWithAnOlderTimeIsTakenIn()
    {
        QFETCH(bool, reopen);
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        const Note note = store->create(QStringLiteral("Mine"));
        store->flush();
        store->markAccepted({ note.id }, { { note.id, note.updatedAt } });
        const QString path = *store->filePath(note.id);
        if (reopen) {
            store->flush();
            store.reset();
        }
        // rsync -t, a restored backup: new text, old time.
        writeFile(path, "Restored from a backup");
        setModified(path, QDateTime::currentDateTimeUtc().addDays(-30));
        if (reopen)
            store = openStore(folders);
        else
            store->rescan(true);
        QCOMPARE(store->note(note.id)->body, QStringLiteral("Restored from a backup"));
        QVERIFY(store->meta(note.id)->dirty);
        store->setBody(QStringLiteral("Restored from a backup, edited"), note.id, true);
        store->flush();
        QCOMPARE(readFile(*store->filePath(note.id)), QByteArray("Restored from a backup, edited"));
        QCOMPARE(store->notes().size(), 1);
    }

    void longKoreanTitleIsSaved()
    {
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        QString title;
        for (int i = 0; i < 60; ++i)
            title += QChar(0xAC00 + i * 7); // Hangul syllables, three bytes each in UTF-8
        const Note note = store->create(title + QStringLiteral("\nbody"));
        store->flush();
        QVERIFY2(store->lastError().isEmpty(), qPrintable(store->lastError()));
        const QString name = store->meta(note.id)->filename;
        QVERIFY(QFileInfo::exists(folders.notes() + u'/' + name));
        QVERIFY(name.toUtf8().size() + 19 <= 255);
        QVERIFY(name.startsWith(title.left(20))); // composed syllables, not jamo
        store->rescan(true);
        QCOMPARE(store->notes().size(), 1);
        QVERIFY(store->trashedNotes().isEmpty());
    }

    void failedWriteStaysPendingAndIsRetried_data()
    {
        QTest::addColumn<bool>("viaRestore");
        QTest::newRow("first write of a new note") << false;
        QTest::newRow("rewrite by restore") << true;
    }
    void failedWriteStaysPendingAndIsRetried()
    {
        QFETCH(bool, viaRestore);
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        QString id;
        std::unique_ptr<FailingDisk> disk;
        if (viaRestore) {
            id = store->create(QStringLiteral("Precious")).id;
            store->flush();
            store->deleteNote(id);
            QVERIFY(QDir(folders.support() + QStringLiteral("/trash")).removeRecursively());
            disk = std::make_unique<FailingDisk>(QStringLiteral(".md"));
            store->restore(id);
        } else {
            disk = std::make_unique<FailingDisk>(QStringLiteral(".md"));
            id = store->create(QStringLiteral("Precious")).id;
        }
        QVERIFY(disk->failed() > 0);
        QVERIFY(store->lastError().contains(QStringLiteral("Precious")));
        store->rescan(true);
        store->flush(); // fails again
        store->rescan(true);
        QCOMPARE(store->notes().size(), 1);
        QVERIFY(store->trashedNotes().isEmpty());
        QVERIFY(!store->note(id)->deleted);
        // Space comes back: the retry timer writes it without anyone flushing.
        disk->heal();
        QTRY_VERIFY(store->filePath(id).has_value());
        QTRY_COMPARE(readFile(*store->filePath(id)), QByteArray("Precious"));
    }

    void undecodableFileIsNeverReplaced()
    {
        TestSupport::TempFolders folders;
        const QByteArray latin1("Caf\xe9 au lait, 1998\n");
        writeFile(folders.notes() + QStringLiteral("/old-latin1.md"), latin1);
        auto store = openStore(folders);
        QCOMPARE(store->notes().size(), 0);
        QCOMPARE(store->unreadableFiles(), QStringList { QStringLiteral("old-latin1.md") });

        const Note note = store->create(QStringLiteral("Cafe"));
        store->flush();
        const QString path = *store->filePath(note.id);
        writeFile(path, latin1); // another program saved it in Latin-1
        store->rescan(true);
        QCOMPARE(store->note(note.id)->body, QStringLiteral("Cafe"));
        QVERIFY(!store->note(note.id)->deleted);
        QVERIFY(store->unreadableFiles().contains(QFileInfo(path).fileName()));

        store->setBody(QStringLiteral("Cafe, edited"), note.id, true);
        store->flush();
        QCOMPARE(readFile(*store->filePath(note.id)), QByteArray("Cafe, edited"));
        QCOMPARE(readFile(folders.notes() + QStringLiteral("/old-latin1.md")), latin1);
        // The other program's bytes are kept intact, and the user is told where.
        QCOMPARE(filesHolding(folders.support(), latin1).size(), 1);
        QVERIFY(store->lastError().contains(QFileInfo(path).fileName()));
        QVERIFY(!anyNoteContains(*store, QString(QChar::ReplacementCharacter)));
        QCOMPARE(store->notes().size(), 1);
    }

    void unavailableFolderTrashesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("folder removed") << QStringLiteral("removed");
        QTest::newRow("empty mount point") << QStringLiteral("empty");
        QTest::newRow("another file system in its place") << QStringLiteral("replaced");
    }
    void unavailableFolderTrashesNothing()
    {
        QFETCH(QString, how);
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        for (int i = 0; i < 3; ++i)
            store->create(QStringLiteral("Note %1").arg(i));
        store->flush();
        const QString away = folders.path(QStringLiteral("unmounted"));
        QVERIFY(QDir().rename(folders.notes(), away));
        if (how != u"removed")
            QVERIFY(QDir().mkpath(folders.notes()));
        if (how == u"replaced")
            writeFile(folders.notes() + QStringLiteral("/other.md"), "Someone else's");
        store->rescan(true);
        QCOMPARE(store->notes().size(), 3);
        QVERIFY(store->trashedNotes().isEmpty());
        QVERIFY(!store->folderAvailable());
        QVERIFY(store->lastError().contains(folders.notes()));
        QVERIFY(store->massDeletionWarning().isEmpty());
        // Edits wait for the folder instead of creating files beneath the mount point.
        store->setBody(QStringLiteral("Note 0, edited"), store->notes().last().id, true);
        store->flush();
        QVERIFY(noteFiles(folders.notes()).size() <= 1);

        // The drive is back.
        QDir(folders.notes()).removeRecursively();
        QVERIFY(QDir().rename(away, folders.notes()));
        QTRY_VERIFY(store->folderAvailable());
        store->rescan(true);
        QCOMPARE(store->notes().size(), 3);
        QVERIFY(store->trashedNotes().isEmpty());
        QTRY_COMPARE(noteFiles(folders.notes()).size(), 3);
        QVERIFY(anyNoteContains(*store, QStringLiteral("Note 0, edited")));
    }

    void massDeletionGuardHoldsUntilTheUserDecides_data()
    {
        QTest::addColumn<bool>("putBack");
        QTest::newRow("put the files back") << true;
        QTest::newRow("move the notes to the trash") << false;
    }
    void massDeletionGuardHoldsUntilTheUserDecides()
    {
        QFETCH(bool, putBack);
        TestSupport::TempFolders folders;
        auto store = openStore(folders);
        QStringList ids;
        for (int i = 0; i < 10; ++i)
            ids << store->create(QStringLiteral("Note %1").arg(i)).id;
        store->flush();
        QSignalSpy heldChanges(store.get(), &NoteStore::massDeletionHeldChanged);
        for (int i = 0; i < 8; ++i)
            QVERIFY(QFile::remove(*store->filePath(ids[i])));
        store->rescan(true);
        QCOMPARE(store->massDeletionWarning(), L("store.warning.massDeletion", 8, 10));
        QCOMPARE(store->massDeletionHeld().size(), 8);
        QCOMPARE(heldChanges.count(), 1);
        // Unrelated new notes no longer flip "more than half": the guard keeps holding.
        store->setMassDeletionWarning({}); // the banner was read
        for (int i = 0; i < 8; ++i)
            store->create(QStringLiteral("New %1").arg(i));
        store->flush();
        store->rescan(true);
        QCOMPARE(store->massDeletionHeld().size(), 8);
        QVERIFY(store->trashedNotes().isEmpty());
        QCOMPARE(store->notes().size(), 18);
        for (const QString &id : store->massDeletionHeld())
            QVERIFY(!store->note(id)->deleted);
        // The hold survives a restart.
        store->flush();
        store = openStore(folders);
        QCOMPARE(store->massDeletionHeld().size(), 8);
        QVERIFY(store->trashedNotes().isEmpty());

        if (putBack) {
            store->putBackHeldFiles();
            QVERIFY(store->massDeletionHeld().isEmpty());
            QCOMPARE(noteFiles(folders.notes()).size(), 18);
            store->rescan(true);
            QCOMPARE(store->notes().size(), 18);
            QVERIFY(store->trashedNotes().isEmpty());
        } else {
            store->trashHeldNotes();
            QVERIFY(store->massDeletionHeld().isEmpty());
            QCOMPARE(store->trashedNotes().size(), 8);
            QCOMPARE(store->notes().size(), 10);
            store->rescan(true);
            QCOMPARE(store->notes().size(), 10);
        }
        QVERIFY(store->massDeletionWarning().isEmpty());
    }

    void hostileIndexCannotDestroyMediaOrDuplicateNotes_data()
    {
        QTest::addColumn<QByteArray>("index");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("meta filename is the media folder")
            << QByteArray(R"({"version":2,"cursor":0,
                "notes":[{"id":"aaaaaaaaaaaa","body":"Pics","createdAt":1,"updatedAt":2,"deleted":false}],
                "meta":[{"id":"aaaaaaaaaaaa","filename":"attachments","dirty":false}]})")
            << QStringLiteral("pics-aaaaaaaaaaaa.md");
        QTest::newRow("unsafe filename cleared")
            << QByteArray(R"({"version":2,"cursor":0,
                "notes":[{"id":"aaaaaaaaaaaa","body":"Pics","createdAt":1,"updatedAt":2,"deleted":false}],
                "meta":[{"id":"aaaaaaaaaaaa","filename":"../../pics.md","dirty":false}]})")
            << QStringLiteral("pics-aaaaaaaaaaaa.md");
        QTest::newRow("duplicate ids")
            << QByteArray(R"({"version":2,"cursor":0,
                "notes":[{"id":"aaaaaaaaaaaa","body":"Pics","createdAt":1,"updatedAt":5,"deleted":false},
                         {"id":"aaaaaaaaaaaa","body":"Older words","createdAt":1,"updatedAt":2,"deleted":false}],
                "meta":[{"id":"aaaaaaaaaaaa","filename":"pics-aaaaaaaaaaaa.md","dirty":false},
                        {"id":"aaaaaaaaaaaa","filename":"attachments","dirty":true}]})")
            << QStringLiteral("pics-aaaaaaaaaaaa.md");
    }
    void hostileIndexCannotDestroyMediaOrDuplicateNotes()
    {
        QFETCH(QByteArray, index);
        QFETCH(QString, fileName);
        TestSupport::TempFolders folders;
        writeFile(folders.support() + QStringLiteral("/index.json"), index);
        writeFile(folders.notes() + u'/' + fileName, "Pics");
        const QString image = folders.notes() + QStringLiteral("/attachments/bbbbbbbbbbbb/I.png");
        writeFile(image, "png");
        auto store = openStore(folders);
        const QString id = QStringLiteral("aaaaaaaaaaaa");
        QVERIFY(!store->lastError().isEmpty()); // the repair is reported
        QCOMPARE(store->meta(id)->filename, fileName);
        const bool duplicates = QString::fromUtf8(QTest::currentDataTag()).contains(u"duplicate");
        QCOMPARE(store->notes().size(), duplicates ? 2 : 1); // the older record's text as a copy
        if (duplicates)
            QVERIFY(anyNoteContains(*store, QStringLiteral("Older words")));
        store->deleteNote(id);
        store->emptyTrash();
        store->flush();
        QCOMPARE(readFile(image), QByteArray("png"));
        QVERIFY(QFileInfo(folders.notes() + QStringLiteral("/attachments")).isDir());
    }

    void damagedIndexIsKeptAndTheLastGoodOneUsed()
    {
        TestSupport::TempFolders folders;
        QString kept, trashed;
        {
            auto store = openStore(folders);
            kept = store->create(QStringLiteral("Kept")).id;
            trashed = store->create(QStringLiteral("Trashed")).id;
            store->deleteNote(trashed);
            store->setCursor(9);
            store->flush();
            store->flush(); // the previous index becomes the backup
        }
        const QString index = folders.support() + QStringLiteral("/index.json");
        QVERIFY(QFileInfo::exists(index + QStringLiteral(".bak")));
        writeFile(index, "{ damaged");
        {
            auto store = openStore(folders);
            QCOMPARE(store->cursor(), 9);
            QCOMPARE(store->trashedNotes().size(), 1);
            QCOMPARE(store->notes().size(), 1);
            QVERIFY(store->lastError().contains(QStringLiteral("index.json.damaged-")));
            const QStringList damaged = QDir(folders.support())
                                            .entryList({ QStringLiteral("index.json.damaged-*") });
            QCOMPARE(damaged.size(), 1);
            QCOMPARE(readFile(folders.support() + u'/' + damaged.first()), QByteArray("{ damaged"));
            store->flush();
        }
        // Both damaged: rebuilt from the files, and said so.
        writeFile(index, "{ damaged again");
        writeFile(index + QStringLiteral(".bak"), "{ damaged too");
        auto store = openStore(folders);
        QCOMPARE(store->notes().size(), 1);
        QCOMPARE(store->notes().first().id, kept);
        QCOMPARE(store->lastError().left(20), L("store.error.indexRebuilt", QString()).left(20));
    }

    void symbolicLinksAreNeverFollowed()
    {
        TestSupport::TempFolders folders;
        const QString secret = folders.path(QStringLiteral("outside/passwd"));
        writeFile(secret, "root:x:0:0");
        QDir().mkpath(folders.notes());
        QVERIFY(QFile::link(secret, folders.notes() + QStringLiteral("/p.md")));
        auto store = openStore(folders);
        QVERIFY(!anyNoteContains(*store, QStringLiteral("root:x")));
        QCOMPARE(store->unreadableFiles(), QStringList { QStringLiteral("p.md") });

        // A note whose file was replaced by a link: the link is set aside, never written through.
        const Note note = store->create(QStringLiteral("Mine"));
        store->flush();
        const QString path = *store->filePath(note.id);
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::link(secret, path));
        store->rescan(true);
        QVERIFY(!anyNoteContains(*store, QStringLiteral("root:x")));
        QVERIFY(!store->note(note.id)->deleted);
        store->setBody(QStringLiteral("Mine, edited"), note.id, true);
        store->flush();
        QCOMPARE(readFile(secret), QByteArray("root:x:0:0"));
        QVERIFY(!QFileInfo(*store->filePath(note.id)).isSymLink());
        QCOMPARE(readFile(*store->filePath(note.id)), QByteArray("Mine, edited"));
        QCOMPARE(store->notes().size(), 1);
    }

    void staleTemporaryFilesAreRemovedAtStart()
    {
        TestSupport::TempFolders folders;
        writeFile(folders.notes() + QStringLiteral("/.plan-0123456789ab.md.tmp-3k2j9"), "half");
        writeFile(folders.support() + QStringLiteral("/.index.json.tmp-zz81"), "half");
        writeFile(folders.notes() + QStringLiteral("/.notes.tmp-ABC"), "not ours");
        writeFile(folders.notes() + QStringLiteral("/.hidden"), "not ours");
        writeFile(folders.notes() + QStringLiteral("/plan.md.tmp-1"), "not ours either");
        auto store = openStore(folders);
        QVERIFY(!QFileInfo::exists(folders.notes() + QStringLiteral("/.plan-0123456789ab.md.tmp-3k2j9")));
        QVERIFY(!QFileInfo::exists(folders.support() + QStringLiteral("/.index.json.tmp-zz81")));
        QVERIFY(QFileInfo::exists(folders.notes() + QStringLiteral("/.notes.tmp-ABC")));
        QVERIFY(QFileInfo::exists(folders.notes() + QStringLiteral("/.hidden")));
        QVERIFY(QFileInfo::exists(folders.notes() + QStringLiteral("/plan.md.tmp-1")));
    }

    void unwritableSupportFolderIsNotInUseAndReadsStillWork()
    {
        TestSupport::TempFolders folders;
        writeFile(folders.notes() + QStringLiteral("/plan.md"), "Plan");
        // Something that is not a lock file where the lock must go: it cannot be created.
        QVERIFY(QDir().mkpath(folders.support() + QStringLiteral("/store.lock")));
        auto run = [&](const QStringList &command, QByteArray *err = nullptr) {
            QProcess process;
            process.start(QStringLiteral(SCRIVEL_CLI_PATH),
                          QStringList { QStringLiteral("--notes"), folders.notes(),
                                        QStringLiteral("--support"), folders.support() }
                              + command);
            process.waitForFinished(30000);
            if (err)
                *err = process.readAllStandardError();
            return std::pair(process.exitCode(), process.readAllStandardOutput());
        };
        QByteArray err;
        const auto [listed, out] = run({ QStringLiteral("list") }, &err);
        QCOMPARE(listed, 0);
        QVERIFY(out.contains("Plan"));
        QVERIFY(err.contains("store.lock"));
        const auto [created, none] = run({ QStringLiteral("new"), QStringLiteral("x") }, &err);
        QCOMPARE(created, 9); // NoteCommands::Unwritable
        QVERIFY(!err.contains("in use"));
        QVERIFY(err.contains("cannot be created"));
        QCOMPARE(noteFiles(folders.notes()), QStringList { QStringLiteral("plan.md") });
        QVERIFY(!QFileInfo::exists(folders.support() + QStringLiteral("/index.json")));
    }

    void unreadableFilesArePublished()
    {
        TestSupport::TempFolders folders;
        writeFile(folders.notes() + QStringLiteral("/good.md"), "Good");
        writeFile(folders.notes() + QStringLiteral("/latin1.md"), QByteArray("caf\xe9"));
        auto store = openStore(folders);
        QCOMPARE(store->unreadableFiles(), QStringList { QStringLiteral("latin1.md") });
        QSignalSpy changes(store.get(), &NoteStore::unreadableFilesChanged);
        QVERIFY(QFile::link(folders.path(QStringLiteral("elsewhere.md")),
                            folders.notes() + QStringLiteral("/link.md")));
        store->rescan(true);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(store->unreadableFiles(),
                 (QStringList { QStringLiteral("latin1.md"), QStringLiteral("link.md") }));
        store->flush();
        store.reset();

        QProcess process;
        process.start(QStringLiteral(SCRIVEL_CLI_PATH),
                      { QStringLiteral("--notes"), folders.notes(), QStringLiteral("--support"),
                        folders.support(), QStringLiteral("rescan") });
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray err = process.readAllStandardError();
        QVERIFY2(err.contains("latin1.md") && err.contains("link.md"), err.constData());
    }

    void relocateMovesMediaAcrossFileSystems()
    {
        TestSupport::TempFolders folders;
        QTemporaryDir other(QStringLiteral("/dev/shm/scrivel-relocate-XXXXXX"));
        struct stat a {}, b {};
        if (!other.isValid() || ::stat(QFile::encodeName(other.path()).constData(), &a) != 0
            || ::stat(QFile::encodeName(folders.root()).constData(), &b) != 0 || a.st_dev == b.st_dev)
            QSKIP("needs a second file system at /dev/shm");
        auto store = openStore(folders);
        const Note note = store->create(QStringLiteral("Photo"));
        const QString source = folders.path(QStringLiteral("Scan.png"));
        writeFile(source, "png bytes");
        const auto attachment = store->importAttachment(source, Attachment::Kind::Image, note.id);
        QVERIFY(attachment);
        store->flush();
        const QString target = other.filePath(QStringLiteral("notes"));
        store->relocate(target);
        QVERIFY2(store->lastError().isEmpty(), qPrintable(store->lastError()));
        QCOMPARE(readFile(*store->localMediaPath(note.id, attachment->filename)),
                 QByteArray("png bytes"));
        QVERIFY(store->localMediaPath(note.id, attachment->filename)->startsWith(target));
        QVERIFY(!QFileInfo::exists(folders.notes() + QStringLiteral("/attachments")));
        QCOMPARE(store->notes().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestStoreSafety)
#include "tst_storesafety.moc"
