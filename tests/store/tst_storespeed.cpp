// What keeps the store fast at large sizes without changing what it does: the search that
// matches bodies as they are held, the file stamps that spare re-reading unchanged files, and
// the index write that is skipped when nothing in it changed.
#include "TestSupport.h"

#include "store/NoteStore.h"
#include "store/TextSearch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

NoteStore::Options options(const TestSupport::TempFolders &folders,
                           std::chrono::milliseconds settle = 0ms)
{
    NoteStore::Options o;
    o.notesFolder = folders.notes();
    o.supportFolder = folders.support();
    o.noteWriteDelay = 20ms;
    o.indexWriteDelay = 10ms;
    o.rescanDelay = 20ms;
    o.watchFolder = false;
    o.stampSettleDelay = settle;
    return o;
}

QStringList ids(const QList<Note> &notes)
{
    QStringList result;
    for (const Note &note : notes)
        result.append(note.id);
    result.sort();
    return result;
}

ino_t inodeOf(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

// Rewrites a file with other bytes of the same length and sets its modification time back,
// as a careful sync tool would: only the change time tells.
void rewriteKeepingSizeAndTime(const QString &path, const QByteArray &bytes)
{
    const QFileInfo before(path);
    const QDateTime modified = before.lastModified();
    const QDateTime changed = before.metadataChangeTime();
    QCOMPARE(bytes.size(), before.size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QCOMPARE(file.write(bytes), bytes.size());
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
        file.close();
        if (QFileInfo(path).metadataChangeTime() != changed)
            return;
        QTest::qWait(2); // the same millisecond: write again until the change time moves on
    }
    QFAIL("the change time never moved");
}

} // namespace

class StoreSpeedTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void matcher_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("found");
        QTest::newRow("plain") << "Buy milk today" << "milk" << true;
        QTest::newRow("upper-case text") << "BUY MILK" << "milk" << true;
        QTest::newRow("upper-case word") << "buy milk" << "MILK" << true;
        QTest::newRow("absent") << "buy bread" << "milk" << false;
        QTest::newRow("longer than the text") << "mil" << "milk" << false;
        QTest::newRow("at the very end") << "a long line that ends in milk" << "milk" << true;
        QTest::newRow("cut off at the end") << "a long line that ends in mil" << "milk" << false;
        QTest::newRow("overlapping start") << "aaaaaaaaaaaaaaaaab" << "aab" << true;
        QTest::newRow("accented, folded") << "Canción de CUNA" << "CANCIÓN" << true;
        QTest::newRow("accent is not its base letter") << "cancion" << "canción" << false;
        QTest::newRow("base letter is not its accent") << "canción" << "cancion" << false;
        QTest::newRow("Kelvin sign folds onto k") << QString::fromUtf16(u"273 \u212A") << "k" << true;
        QTest::newRow("Greek") << QString::fromUtf16(u"\u039F\u0394\u039F\u03A3 x") << QString::fromUtf16(u"\u03BF\u03B4\u03BF\u03C3") << true;
        QTest::newRow("Japanese") << QString::fromUtf16(u"\u65E5\u672C\u8A9E\u306E\u30CE\u30FC\u30C8") << QString::fromUtf16(u"\u30CE\u30FC\u30C8") << true;
        QTest::newRow("emoji") << QString::fromUcs4(U"I \u2764 \U0001F600 notes") << QString::fromUcs4(U"\U0001F600 NOTES") << true;
        QTest::newRow("other emoji") << QString::fromUcs4(U"\U0001F600") << QString::fromUcs4(U"\U0001F601") << false;
        QTest::newRow("empty word") << "anything" << "" << true;
        QTest::newRow("empty text") << "" << "a" << false;
        // Around the width the scan reads at once.
        for (int at : { 0, 6, 7, 8, 9, 15, 16, 17, 31, 33 }) {
            QTest::addRow("word at %d", at) << QString(at, u'x') + QStringLiteral("Milk") + QString(3, u'y') << "milk" << true;
            QTest::addRow("first letter only at %d", at) << QString(at, u'x') + QStringLiteral("M") << "milk" << false;
        }
        // The text is scanned as UTF-8: words after and made of multi-byte characters, and
        // a first letter whose folded forms start with different bytes.
        for (int at : { 5, 8, 9, 16 }) {
            QTest::addRow("after %d two-byte characters", at) << QString(at, QChar(0xe9)) + QStringLiteral("Milk") << "milk" << true;
            QTest::addRow("accented word after %d three-byte characters", at) << QString(at, QChar(0x65e5)) + QString::fromUtf16(u"\u00c9T\u00c9") << QString::fromUtf16(u"\u00e9t\u00e9") << true;
        }
        QTest::newRow("Kelvin sign in the word finds k") << "OK then" << QString::fromUtf16(u"\u212a T") << true;
        QTest::newRow("lead byte shared with another character") << QString::fromUtf16(u"\u2014 \u2019") << QString::fromUtf16(u"\u212a") << false;
    }

    void matcher()
    {
        QFETCH(QString, text);
        QFETCH(QString, word);
        QFETCH(bool, found);
        QCOMPARE(TextMatcher(word).foundIn(text.toUtf8()), found);
    }

    // The matcher finds what lower-casing both sides and searching found, over random texts.
    void matcherAgreesWithLowerCasing()
    {
        const QString alphabet = QString::fromUtf16(u"aAbBkKmM \u00e9\u00c9\u00f1\u00d1\u03c3\u03a3\u65e5x");
        QRandomGenerator random(99);
        auto pick = [&](int length) {
            QString s;
            for (int i = 0; i < length; ++i)
                s += alphabet.at(random.bounded(int(alphabet.size())));
            return s;
        };
        for (int round = 0; round < 20000; ++round) {
            const QString text = pick(random.bounded(40));
            const QString word = pick(1 + random.bounded(3));
            const bool expected = text.toLower().contains(word.toLower());
            if (TextMatcher(word).foundIn(text.toUtf8()) != expected)
                QFAIL(qPrintable(QStringLiteral("\"%1\" in \"%2\"").arg(word, text)));
        }
    }

    void queryNeedsEveryWord_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("found");
        QTest::newRow("both, other order") << "list shopping" << true;
        QTest::newRow("one missing") << "shopping zebra" << false;
        QTest::newRow("extra spaces") << "  shopping    list " << true;
        QTest::newRow("blank") << "   " << true;
    }

    void queryNeedsEveryWord()
    {
        QFETCH(QString, query);
        QFETCH(bool, found);
        QCOMPARE(QueryMatcher(query).matches("Shopping List\nmilk"), found);
    }

    // The search sees every way a body changes, at once.
    void searchKeepsInStepWithEveryChange()
    {
        TestSupport::TempFolders folders;
        NoteStore store(options(folders));
        store.movesToSystemTrash = false;
        const Note note = store.create(QStringLiteral("Apricot jam"));
        QCOMPARE(ids(store.search(QStringLiteral("apricot"))), QStringList { note.id });

        // Typed a moment ago.
        store.setBody(QStringLiteral("Blueberry jam"), note.id, true);
        QVERIFY(store.search(QStringLiteral("apricot")).isEmpty());
        QCOMPARE(ids(store.search(QStringLiteral("BLUEBERRY"))), QStringList { note.id });
        // Undone.
        QVERIFY(store.undo(note.id));
        QCOMPARE(ids(store.search(QStringLiteral("apricot"))), QStringList { note.id });

        // From the server.
        Note remote = *store.note(note.id);
        remote.body = QStringLiteral("Cherry jam");
        remote.updatedAt = Date { store.note(note.id)->updatedAt.seconds + 100 };
        const auto copy = store.applyRemote(remote);
        QCOMPARE(ids(store.search(QStringLiteral("cherry"))), QStringList { note.id });
        // The unsynced local text lives on as a conflict copy, and is found there.
        QVERIFY(copy);
        QCOMPARE(ids(store.search(QStringLiteral("apricot"))), QStringList { copy->id });

        // Another program's edit, then a rename by hand.
        store.flush();
        const QString path = *store.filePath(note.id);
        QVERIFY(writeFile(path, "Damson jam"));
        store.rescan(true);
        QCOMPARE(ids(store.search(QStringLiteral("damson"))), QStringList { note.id });
        QVERIFY(store.search(QStringLiteral("cherry")).isEmpty());
        const QString renamed = QDir(folders.notes()).filePath(QStringLiteral("jam-") + note.id + QStringLiteral(".md"));
        QVERIFY(QFile::rename(path, renamed));
        store.rescan(true);
        QCOMPARE(ids(store.search(QStringLiteral("damson"))), QStringList { note.id });

        // A note that arrives as a file.
        QVERIFY(writeFile(QDir(folders.notes()).filePath(QStringLiteral("elder.md")), "Elderflower cordial"));
        store.rescan(true);
        QCOMPARE(store.search(QStringLiteral("elderflower")).size(), 1);

        // Trashed notes leave the list's search; restored ones come back.
        store.deleteNote(note.id);
        QVERIFY(store.search(QStringLiteral("damson")).isEmpty());
        store.restore(note.id);
        QCOMPARE(ids(store.search(QStringLiteral("damson"))), QStringList { note.id });
    }

    // Once read, a file is proven unchanged by its size and times: the next start reads none,
    // yet still sees an edit that kept the size and the modification time.
    void unchangedFilesAreNotReadAgain()
    {
        TestSupport::TempFolders folders;
        QVERIFY(QDir().mkpath(folders.notes()));
        for (int i = 0; i < 5; ++i)
            QVERIFY(writeFile(QDir(folders.notes()).filePath(QStringLiteral("note%1.md").arg(i)),
                              QByteArray("text number ") + QByteArray::number(i)));
        QString id;
        {
            NoteStore first(options(folders));
            QCOMPARE(first.notes().size(), 5);
            QCOMPARE(first.filesReadInLastRescan(), 5);
            id = first.search(QStringLiteral("number 3")).value(0).id;
            QVERIFY(!id.isEmpty());
        }
        {
            NoteStore second(options(folders));
            QCOMPARE(second.notes().size(), 5);
            QCOMPARE(second.filesReadInLastRescan(), 0);
            QCOMPARE(second.note(id)->body, QStringLiteral("text number 3"));
        }
        rewriteKeepingSizeAndTime(QDir(folders.notes()).filePath(QStringLiteral("note3.md")), "TEXT NUMBER 9");
        {
            NoteStore third(options(folders));
            QCOMPARE(third.filesReadInLastRescan(), 1);
            QCOMPARE(third.note(id)->body, QStringLiteral("TEXT NUMBER 9"));
            QCOMPARE(third.notes().size(), 5);
        }
    }

    // Hundreds of files to read at once (a first start, a restored folder) are read ahead on
    // every core; each still lands in its own note, in order, once.
    void manyFilesAreTakenInAlike()
    {
        TestSupport::TempFolders folders;
        QVERIFY(QDir().mkpath(folders.notes()));
        const QDir notes(folders.notes());
        for (int i = 0; i < 300; ++i)
            QVERIFY(writeFile(notes.filePath(QStringLiteral("n%1-%2.md").arg(i).arg(0x200000000000LL + i, 12, 16, QLatin1Char('0'))),
                              QByteArray("note number ") + QByteArray::number(i)));
        QVERIFY(writeFile(notes.filePath(QStringLiteral("broken.md")), "\xff\xfe"));
        QStringList ids;
        {
            NoteStore first(options(folders));
            QCOMPARE(first.notes().size(), 300);
            QCOMPARE(first.unreadableFiles(), QStringList { QStringLiteral("broken.md") });
            for (int i = 0; i < 300; ++i) {
                const QString id = QStringLiteral("%1").arg(0x200000000000LL + i, 12, 16, QLatin1Char('0'));
                QCOMPARE(first.note(id)->body, QStringLiteral("note number %1").arg(i));
                ids.append(id);
            }
        }
        // Every other file rewritten with other text: read again (ahead), the rest not.
        for (int i = 0; i < 300; i += 2)
            QVERIFY(writeFile(notes.filePath(QStringLiteral("n%1-%2.md").arg(i).arg(ids.at(i))),
                              QByteArray("changed text ") + QByteArray::number(i)));
        NoteStore second(options(folders));
        QCOMPARE(second.filesReadInLastRescan(), 150);
        for (int i = 0; i < 300; ++i)
            QCOMPARE(second.note(ids.at(i))->body,
                     i % 2 ? QStringLiteral("note number %1").arg(i) : QStringLiteral("changed text %1").arg(i));
        QCOMPARE(second.unreadableFiles(), QStringList { QStringLiteral("broken.md") });
    }

    // A file written a moment ago proves nothing yet: a coarse clock could give the next write
    // the very same times.
    void freshFilesAreReadEveryTime()
    {
        TestSupport::TempFolders folders;
        QVERIFY(writeFile(QDir(folders.notes()).filePath(QStringLiteral("a.md")), "alpha"));
        { NoteStore first(options(folders, 60s)); }
        NoteStore second(options(folders, 60s));
        QCOMPARE(second.filesReadInLastRescan(), 1);
    }

    // A stamp in the index that does not match the file costs one read, never the text.
    void damagedStampsOnlyCostARead()
    {
        TestSupport::TempFolders folders;
        QVERIFY(writeFile(QDir(folders.notes()).filePath(QStringLiteral("a.md")), "alpha"));
        { NoteStore first(options(folders)); }
        const QString index = QDir(folders.support()).filePath(QStringLiteral("index.json"));
        QByteArray data = readFile(index);
        const qsizetype at = data.indexOf("\"fileStamp\": \"");
        QVERIFY(at > 0);
        data.insert(at + 14, "9");
        QVERIFY(writeFile(index, data));
        NoteStore second(options(folders));
        QCOMPARE(second.filesReadInLastRescan(), 1);
        QCOMPARE(second.notes().value(0).body, QStringLiteral("alpha"));
    }

    void indexIsRewrittenOnlyWhenItChanges()
    {
        TestSupport::TempFolders folders;
        NoteStore store(options(folders));
        const Note note = store.create(QStringLiteral("first"));
        store.flush();
        QVERIFY(store.writeIndexNow());
        const QString index = store.indexPath();
        QVERIFY(inodeOf(index) != 0);

        store.rescan(true); // may learn the new file's stamp, a change of the index
        QVERIFY(store.writeIndexNow());
        const ino_t settled = inodeOf(index);
        store.rescan(true);
        QVERIFY(store.writeIndexNow());
        store.flush();
        QCOMPARE(inodeOf(index), settled); // nothing changed: the same file stays

        store.setBody(QStringLiteral("second"), note.id, true);
        store.flush();
        QVERIFY(store.writeIndexNow());
        QVERIFY(inodeOf(index) != settled);
        QVERIFY(readFile(index).contains("\"body\": \"second\""));

        // Removed behind the store's back: written again though nothing changed.
        QVERIFY(QFile::remove(index));
        QVERIFY(store.writeIndexNow());
        QVERIFY(readFile(index).contains("\"body\": \"second\""));
    }

    // A start that changes nothing leaves the index as it was read, however often it flushes;
    // an index the start had to repair is written out repaired at the first chance.
    void cleanStartDoesNotRewriteTheIndex()
    {
        TestSupport::TempFolders folders;
        {
            NoteStore store(options(folders));
            store.create(QStringLiteral("one"));
            store.create(QStringLiteral("two"));
            store.flush();
            store.rescan(true); // learns the files' stamps
            QVERIFY(store.writeIndexNow());
        }
        const QString index = QDir(folders.support()).filePath(QStringLiteral("index.json"));
        const ino_t before = inodeOf(index);
        {
            NoteStore store(options(folders));
            QCOMPARE(store.notes().size(), 2);
            store.flush();
            QVERIFY(store.writeIndexNow());
        }
        QCOMPARE(inodeOf(index), before);

        // A damaged record: left out at the start, and the file written without it.
        QByteArray data = readFile(index);
        data.replace("\"cursor\": 0,", "\"cursor\": 0,\n    \"heldMissing\": [7],");
        const qsizetype notes = data.indexOf("\"notes\": [");
        QVERIFY(notes > 0);
        data.insert(notes + 11, "\n        17,");
        QVERIFY(writeFile(index, data));
        NoteStore repaired(options(folders));
        QCOMPARE(repaired.notes().size(), 2);
        repaired.flush();
        QVERIFY(!readFile(index).contains("17,"));
    }

    // What the store writes, file records and all, is what Qt's document encoder writes for
    // the same values: parsed and encoded again by Qt, the file comes back byte for byte.
    void storeWritesWhatQtWouldWrite()
    {
        TestSupport::TempFolders folders;
        NoteStore store(options(folders));
        store.movesToSystemTrash = false;
        const Note first = store.create(QStringLiteral("# Caf\u00e9 \"list\"\n\n- milk\t\\ eggs \U0001F600"));
        const Note second = store.create(QStringLiteral("second"));
        store.create(QStringLiteral("third"));
        store.deleteNote(second.id);
        store.setCursor(1234567);
        store.flush();
        store.rescan(true);
        QVERIFY(store.writeIndexNow());
        const QByteArray written = readFile(store.indexPath());
        QVERIFY(written.contains("\"fileHash\""));
        QVERIFY(written.contains("\"fileStamp\""));
        QVERIFY(written.contains(first.id.toUtf8()));
        QCOMPARE(QJsonDocument::fromJson(written).toJson(QJsonDocument::Indented), written);
    }

    // The listing a rescan works from may be a moment old. Whatever happened since, it never
    // trashes a note whose file is there, reports a file that is merely gone, or adopts one
    // that left; the next rescan catches up.
    void staleListingIsSafe_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("renamed by the store's writes") << "rename";
        QTest::newRow("removed by hand") << "remove";
        QTest::newRow("added by hand") << "add";
    }

    void staleListingIsSafe()
    {
        QFETCH(QString, change);
        TestSupport::TempFolders folders;
        NoteStore store(options(folders));
        store.movesToSystemTrash = false;
        QStringList ids;
        for (int i = 0; i < 8; ++i)
            ids.append(store.create(QStringLiteral("Note %1\n\ntext").arg(i)).id);
        QVERIFY(writeFile(QDir(folders.notes()).filePath(QStringLiteral("loose.md")), "loose"));
        store.flush();
        store.rescan(true);
        QCOMPARE(store.notes().size(), 9);
        const NoteStore::FolderListing before = NoteStore::listNoteFiles(folders.notes());

        if (change == u"rename") {
            for (const QString &id : ids)
                store.setBody(QStringLiteral("Renamed %1").arg(id), id, false);
            store.flush();
        } else if (change == u"remove") {
            QVERIFY(QFile::remove(QDir(folders.notes()).filePath(QStringLiteral("loose.md"))));
        } else {
            QVERIFY(writeFile(QDir(folders.notes()).filePath(QStringLiteral("late.md")), "late"));
        }
        QSignalSpy warnings(&store, &NoteStore::massDeletionWarningChanged);
        store.rescanWith(before, true);
        QCOMPARE(store.notes().size(), 9);
        QVERIFY(store.unreadableFiles().isEmpty());
        QVERIFY(store.trashedNotes().isEmpty());
        QCOMPARE(warnings.count(), 0);
        for (const QString &id : ids)
            QVERIFY(store.filePath(id)); // each note still knows its file

        // A fresh look takes the change in.
        store.rescan(true);
        QCOMPARE(store.notes().size(), change == u"remove" ? 8 : change == u"add" ? 10 : 9);
        QVERIFY(store.unreadableFiles().isEmpty());
        if (change == u"rename") {
            for (const QString &id : ids)
                QCOMPARE(store.note(id)->body, QStringLiteral("Renamed %1").arg(id));
        }
    }

    // One note's change moves it in the list without sorting the rest; the list stays the
    // same as a full rebuild would make it, through every kind of single-note change.
    void listStaysInOrderThroughSingleChanges()
    {
        TestSupport::TempFolders folders;
        NoteStore store(options(folders));
        store.movesToSystemTrash = false;
        QRandomGenerator random(31);
        double clock = 800000000;
        Clock::setNowFunction([&] { return Date { clock }; });
        QStringList ids;
        for (int step = 0; step < 300; ++step) {
            clock += random.bounded(3); // equal times too: the id settles those
            const int action = ids.isEmpty() ? 0 : random.bounded(6);
            const QString id = ids.isEmpty() ? QString() : ids.at(random.bounded(int(ids.size())));
            switch (action) {
            case 0: ids.append(store.create(QStringLiteral("note %1").arg(step)).id); break;
            case 1: store.setBody(QStringLiteral("edit %1").arg(step), id, true); break;
            case 2: store.deleteNote(id); break;
            case 3: store.restore(id); break;
            case 4: {
                Note remote = store.note(id).value_or(Note {});
                remote.body = QStringLiteral("remote %1").arg(step);
                remote.updatedAt = Date { clock + random.bounded(5) - 2 };
                store.applyRemote(remote);
                break;
            }
            default: store.undo(id); break;
            }
            QStringList incremental;
            for (const Note &note : store.notes())
                incremental.append(note.id + u':' + note.body);
            store.refresh();
            QStringList rebuilt;
            for (const Note &note : store.notes())
                rebuilt.append(note.id + u':' + note.body);
            if (incremental != rebuilt)
                QFAIL(qPrintable(QStringLiteral("after step %1 (action %2)").arg(step).arg(action)));
        }
        Clock::setNowFunction({});
    }

    // A start may show the notes the index holds before it has looked at the folder. What
    // changed there while the app was closed is then taken in from the event loop, exactly as
    // a start that looks first would, and a keystroke made before that loses nothing.
    void laterFolderCheckTakesInWhatChanged_data()
    {
        QTest::addColumn<bool>("editFirst");
        QTest::newRow("untouched until checked") << false;
        QTest::newRow("edited before the check") << true;
    }

    void laterFolderCheckTakesInWhatChanged()
    {
        QFETCH(bool, editFirst);
        TestSupport::TempFolders folders;
        QString kept, edited, removed;
        {
            NoteStore store(options(folders));
            store.movesToSystemTrash = false;
            kept = store.create(QStringLiteral("Kept as it was")).id;
            edited = store.create(QStringLiteral("Written before")).id;
            removed = store.create(QStringLiteral("Removed outside")).id;
            store.flush();
            QVERIFY(writeFile(*store.filePath(edited), "Written outside"));
            QVERIFY(QFile::remove(*store.filePath(removed)));
        }
        QVERIFY(writeFile(QDir(folders.notes()).filePath(QStringLiteral("new.md")), "Arrived outside"));
        // Left by a writer that was killed: removed by the check, not while notes are written.
        const QString stale = QDir(folders.notes()).filePath(QStringLiteral(".kept-as-it-was.md.tmp-a1b2c3"));
        QVERIFY(writeFile(stale, "half a note"));

        NoteStore::Options later = options(folders);
        later.checkFolderLater = true;
        NoteStore store(later);
        store.movesToSystemTrash = false;
        QSignalSpy checked(&store, &NoteStore::folderChecked);
        // What the index holds, at once.
        QVERIFY(store.folderCheckPending());
        QCOMPARE(store.notes().size(), 3);
        QCOMPARE(store.note(edited)->body, QStringLiteral("Written before"));
        if (editFirst) {
            store.setBody(QStringLiteral("Typed at once"), edited, true);
            store.flush();
            QVERIFY(QFileInfo::exists(stale));
        }

        QVERIFY(checked.wait(5000));
        QVERIFY(!store.folderCheckPending());
        QVERIFY(!QFileInfo::exists(stale));
        QCOMPARE(store.lastError(), QString());
        QCOMPARE(store.note(kept)->body, QStringLiteral("Kept as it was"));
        QVERIFY(store.note(removed)->deleted);
        QCOMPARE(store.search(QStringLiteral("arrived")).size(), 1);
        // Neither the outside edit nor the keystroke is lost: one is the note, the other
        // (if any) a copy of it.
        store.flush();
        QStringList bodies;
        for (const Note &note : store.notes())
            bodies.append(note.body.toString().section(u'\n', 0, 0));
        QVERIFY2(bodies.contains(QStringLiteral("Written outside")), qPrintable(bodies.join(u'|')));
        if (editFirst)
            QVERIFY2(bodies.contains(QStringLiteral("Typed at once")), qPrintable(bodies.join(u'|')));
        QCOMPARE(bodies.size(), editFirst ? 4 : 3);
        QCOMPARE(checked.size(), 1);
    }

    // Without an index the files are the notes: they are all there when the store is made.
    void laterFolderCheckNeedsAnIndex()
    {
        TestSupport::TempFolders folders;
        QVERIFY(QDir().mkpath(folders.notes()));
        QVERIFY(writeFile(QDir(folders.notes()).filePath(QStringLiteral("a.md")), "alpha"));
        NoteStore::Options later = options(folders);
        later.checkFolderLater = true;
        NoteStore store(later);
        QVERIFY(!store.folderCheckPending());
        QCOMPARE(store.notes().size(), 1);
    }

    void listingTakesNoteFilesOnly()
    {
        TestSupport::TempFolders folders;
        const QDir notes(folders.notes());
        QVERIFY(QDir().mkpath(folders.notes()));
        for (const char *name : { "b.md", "A.MD", "c.TxT", "d.markdown", ".hidden.md", "e.md.bak", "f.txt" })
            QVERIFY(writeFile(notes.filePath(QString::fromLatin1(name)), "x"));
        QVERIFY(QDir().mkpath(notes.filePath(QStringLiteral("folder.md"))));
        QVERIFY(::mkfifo(QFile::encodeName(notes.filePath(QStringLiteral("pipe.md"))).constData(), 0600) == 0);
        QVERIFY(QFile::link(notes.filePath(QStringLiteral("b.md")), notes.filePath(QStringLiteral("link.md"))));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent"), notes.filePath(QStringLiteral("dangling.txt"))));

        const NoteStore::FolderListing listing = NoteStore::listNoteFiles(folders.notes());
        QVERIFY(listing.listed);
        QStringList names;
        QStringList links;
        for (const NoteStore::FileEntry &file : listing.files) {
            names.append(file.name);
            if (file.symlink)
                links.append(file.name);
        }
        QCOMPARE(names, (QStringList { "A.MD", "b.md", "c.TxT", "dangling.txt", "f.txt", "link.md" }));
        QCOMPARE(links, (QStringList { "dangling.txt", "link.md" }));
        const auto b = std::find_if(listing.files.cbegin(), listing.files.cend(),
                                    [](const NoteStore::FileEntry &file) { return file.name == u"b.md"; });
        QCOMPARE(b->times.size, 1);
        QVERIFY(b->times.modifiedNs > 0 && b->times.changedNs > 0);

        QVERIFY(!NoteStore::listNoteFiles(folders.path(QStringLiteral("missing"))).listed);
    }
};

QTEST_GUILESS_MAIN(StoreSpeedTest)
#include "tst_storespeed.moc"
