// The index file's writer and reader: the streamed writer must produce exactly the bytes Qt's
// document encoder produced for the same store, and the fast reader must read every file the
// document parser read, the same way.
#include "TestSupport.h"

#include "store/IndexFile.h"
#include "store/IndexReader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

// How the index was encoded before the streamed writer: through a document tree.
QByteArray documentEncode(const IndexFile &index)
{
    QJsonArray noteArray;
    for (const Note &note : index.notes)
        noteArray.append(note.toJson());
    QJsonArray metaArray;
    for (const Meta &entry : index.meta)
        metaArray.append(entry.toJson());
    QJsonObject root {
        { QStringLiteral("version"), IndexFile::currentVersion },
        { QStringLiteral("cursor"), index.cursor },
        { QStringLiteral("notes"), noteArray },
        { QStringLiteral("meta"), metaArray },
    };
    if (!index.heldMissing.isEmpty())
        root.insert(QStringLiteral("heldMissing"), QJsonArray::fromStringList(index.heldMissing));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

Note makeNote(const QString &id, const QString &body, double created, double updated)
{
    Note note;
    note.id = id;
    note.body = body;
    note.createdAt = Date { created };
    note.updatedAt = Date { updated };
    return note;
}

void add(IndexFile &index, const Note &note, Meta meta = {})
{
    meta.id = note.id;
    if (meta.filename.isEmpty())
        meta.filename = note.id + QStringLiteral(".md");
    index.notes.insert(note.id, note);
    index.meta.insert(note.id, meta);
}

QString randomText(QRandomGenerator &random, int length)
{
    // ASCII, escapes, Latin, CJK, emoji, and now and then a lone surrogate.
    static const char16_t pool[] = { u'a', u'Z', u' ', u'\n', u'\t', u'"', u'\\', u'/', 0x01,
                                     0x1f, 0x7f, 0xe9, 0xd1, 0x65e5, 0x2028, 0xfffe, 0xffff };
    QString text;
    for (int i = 0; i < length; ++i) {
        const int pick = random.bounded(int(std::size(pool)) + 3);
        if (pick < int(std::size(pool)))
            text += QChar(pool[pick]);
        else if (pick == int(std::size(pool)))
            text += QString::fromUcs4(U"\U0001F600", 1);
        else if (pick == int(std::size(pool)) + 1)
            text += QChar(char16_t(0xd800 + random.bounded(0x800))); // lone surrogate
        else
            text += QChar(u'a' + random.bounded(26));
    }
    return text;
}

double randomNumber(QRandomGenerator &random)
{
    switch (random.bounded(8)) {
    case 0: return 0;
    case 1: return -0.0;
    case 2: return double(random.bounded(1000000000));
    case 3: return random.generateDouble() * 1e9;
    case 4: return -random.generateDouble() * 1e5;
    case 5: return 9007199254740993.0 * (random.bounded(2) ? 1 : -1);
    case 6: return std::ldexp(random.generateDouble(), random.bounded(-1070, 1020));
    default: return 9223372036854775808.0; // 2^63: integral, yet beyond 64-bit integers
    }
}

bool sameIndex(const IndexFile &a, const IndexFile &b)
{
    return a.cursor == b.cursor && a.notes == b.notes && a.meta == b.meta
        && a.heldMissing == b.heldMissing && a.skippedRecords == b.skippedRecords
        && a.duplicateMeta == b.duplicateMeta && a.unsafeFilenames == b.unsafeFilenames
        && a.duplicateNotes == b.duplicateNotes;
}

// What the store's start reads from the disk for `data`: through the streaming reader, and
// whether that reader took the file itself or left it to the whole-document decoder.
struct FileRead
{
    std::optional<IndexFile> index;
    bool fast = false;
};

FileRead readThroughFile(const QByteArray &data)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("index.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return {};
    file.close();
    return { IndexFile::read(path), IndexReader::readFast(path).has_value() };
}

// A realistic index of a few megabytes: large enough for the reader's second thread and for
// giving pages back on the way.
IndexFile largeIndex(int count)
{
    QRandomGenerator random(424242);
    IndexFile index;
    index.cursor = 12;
    const QString words[] = { QStringLiteral("milk"), QStringLiteral("Café"), QStringLiteral("日本語"),
                              QStringLiteral("\"quoted\""), QStringLiteral("back\\slash"),
                              QString::fromUcs4(U"\U0001F600", 1), QStringLiteral("tab\there") };
    for (int n = 0; n < count; ++n) {
        QString body = QStringLiteral("# Note %1\n\n").arg(n);
        const int length = n % 97 == 0 ? 40000 : 300 + random.bounded(2500);
        while (body.size() < length)
            body += words[random.bounded(int(std::size(words)))] + (random.bounded(9) ? u' ' : u'\n');
        Note note = makeNote(QStringLiteral("%1").arg(0x100000000000LL + n, 12, 16, QLatin1Char('0')),
                             body, 700000000 + n, 700000000.5 + n);
        note.deleted = n % 50 == 0;
        if (n % 10 == 0)
            note.attachments.append({ QStringLiteral("A%1").arg(n), Attachment::Kind::Image,
                                      QStringLiteral("img-%1.png").arg(n), Date { 1.5 }, std::nullopt });
        Meta meta;
        meta.filename = QStringLiteral("note-%1.md").arg(note.id);
        meta.fileHash = QStringLiteral("00ff");
        meta.fileSize = body.size();
        meta.fileStamp = QStringLiteral("%1:2:3").arg(body.size());
        add(index, note, meta);
    }
    return index;
}

} // namespace

Q_DECLARE_METATYPE(IndexFile)

class IndexCodecTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void writerMatchesDocumentEncoder_data()
    {
        QTest::addColumn<IndexFile>("index");
        QTest::newRow("empty") << IndexFile {};

        IndexFile plain;
        plain.cursor = 42;
        add(plain, makeNote(QStringLiteral("a1"), QStringLiteral("# Title\n\nBody"), 786000000, 786000000.25));
        QTest::newRow("one note") << plain;

        IndexFile escapes;
        add(escapes,
            makeNote(QStringLiteral("e1"),
                     QStringLiteral("quote \" backslash \\ slash / tab \t cr \r ff \f bs \b ")
                         + QChar(0x01) + QChar(0x1f) + QChar(0x7f) + QStringLiteral(" é 日本 ")
                         + QString::fromUcs4(U"\U0001F600", 1) + QChar(0xd800) + QStringLiteral("x")
                         + QChar(0xdc00),
                     1, 2));
        QTest::newRow("escapes and unicode") << escapes;

        // Longer than the writer's slice of 65,536 units, with a surrogate pair across each
        // slice's end and escapes right at it.
        QString huge;
        for (int slice = 1; slice <= 3; ++slice) {
            huge += QString(65536 * slice - huge.size() - 2, u'a') + QStringLiteral("\\")
                + QString::fromUcs4(U"\U0001F600", 1) + QStringLiteral("\n\"");
        }
        IndexFile longNote;
        add(longNote, makeNote(QStringLiteral("l1"), huge, 1, 2));
        QTest::newRow("longer than a slice") << longNote;

        IndexFile numbers;
        const double values[] = { 0.0, -0.0, 1e21, 1e-7, 123456789012345678.0, 9223372036854775808.0,
                                  -9223372036854775808.0, 0.1, 1.0 / 3, 5e-324,
                                  std::numeric_limits<double>::max() };
        int i = 0;
        for (double value : values) {
            Note note = makeNote(QStringLiteral("n%1").arg(i++), QStringLiteral("x"), value, -value);
            Attachment audio { QStringLiteral("A"), Attachment::Kind::Audio, QStringLiteral("a.m4a"),
                               Date { value }, value };
            note.attachments.append(audio);
            add(numbers, note);
        }
        QTest::newRow("numbers") << numbers;

        IndexFile metas;
        metas.cursor = -5;
        metas.heldMissing = { QStringLiteral("m1"), QStringLiteral("m2") };
        Meta full;
        full.dirty = true;
        full.purged = false;
        full.fileHash = QStringLiteral("ab12");
        full.fileSize = 1234;
        full.fileStamp = QStringLiteral("1234:1:2");
        add(metas, makeNote(QStringLiteral("m1"), {}, 1, 1), full);
        Meta purged;
        purged.purged = true;
        purged.filename = QStringLiteral("x.txt");
        Note deleted = makeNote(QStringLiteral("m2"), QStringLiteral("gone"), 3, 4);
        deleted.deleted = true;
        deleted.attachments = { { QStringLiteral("I1"), Attachment::Kind::Image, QStringLiteral("i.png"), Date { 5 }, std::nullopt },
                                { QStringLiteral("I2"), Attachment::Kind::Image, QStringLiteral("j.jpg"), Date { 6.5 }, std::nullopt } };
        add(metas, deleted, purged);
        Meta hashOnly; // a hash without a size is not written
        hashOnly.fileHash = QStringLiteral("ff");
        add(metas, makeNote(QStringLiteral("m3"), QStringLiteral("x"), 1, 1), hashOnly);
        QTest::newRow("bookkeeping") << metas;

        QRandomGenerator random(20261209);
        IndexFile many;
        many.cursor = 987654321012LL;
        for (int n = 0; n < 400; ++n) {
            Note note = makeNote(QStringLiteral("r%1").arg(n), randomText(random, random.bounded(300)),
                                 randomNumber(random), randomNumber(random));
            note.deleted = random.bounded(5) == 0;
            for (int a = random.bounded(3); a > 0; --a)
                note.attachments.append({ QStringLiteral("A%1").arg(a), Attachment::Kind::Image,
                                          randomText(random, 8), Date { randomNumber(random) },
                                          random.bounded(2) ? std::optional(randomNumber(random)) : std::nullopt });
            Meta meta;
            meta.dirty = random.bounded(2);
            if (random.bounded(3) == 0)
                meta.purged = random.bounded(2);
            if (random.bounded(2)) {
                meta.fileHash = randomText(random, 10);
                meta.fileSize = random.bounded(100000);
                if (random.bounded(2))
                    meta.fileStamp = randomText(random, 6);
            }
            meta.filename = randomText(random, 12);
            add(many, note, meta);
        }
        QTest::newRow("random 400") << many;
    }

    void writerMatchesDocumentEncoder()
    {
        QFETCH(IndexFile, index);
        const QByteArray streamed = index.encode();
        // Written in pieces, the same bytes.
        QByteArray pieces;
        QVERIFY(index.encode([&](QByteArrayView piece) { pieces += piece; return true; }, 100));
        QCOMPARE(pieces, streamed);
        // Read back from the disk the way the store starts: the same as decoding the bytes,
        // and (but for lone surrogates, which only the document decoder keeps) without it.
        const FileRead read = readThroughFile(streamed);
        const auto decoded = IndexFile::decode(streamed);
        QCOMPARE(bool(read.index), bool(decoded));
        if (decoded)
            QVERIFY(sameIndex(*read.index, *decoded));
        const QByteArray expected = documentEncode(index);
        if (streamed != expected) {
            qsizetype at = 0;
            while (at < streamed.size() && at < expected.size() && streamed[at] == expected[at])
                ++at;
            QFAIL(qPrintable(QStringLiteral("first difference at byte %1:\n  streamed: %2\n  expected: %3")
                                 .arg(at)
                                 .arg(QString::fromUtf8(streamed.mid(std::max<qsizetype>(0, at - 40), 80)),
                                      QString::fromUtf8(expected.mid(std::max<qsizetype>(0, at - 40), 80)))));
        }
    }

    void readsBackWhatItWrote()
    {
        QRandomGenerator random(7);
        IndexFile index;
        index.cursor = 77;
        for (int n = 0; n < 200; ++n) {
            Note note = makeNote(QStringLiteral("id%1").arg(n), randomText(random, 200),
                                 random.generateDouble() * 1e9, random.generateDouble() * 1e9);
            Meta meta;
            meta.filename = QStringLiteral("note-id%1.md").arg(n);
            meta.fileHash = QStringLiteral("00ff");
            meta.fileSize = n;
            meta.fileStamp = QStringLiteral("%1:2:3").arg(n);
            add(index, note, meta);
        }
        index.heldMissing = { QStringLiteral("id3") };
        const auto decoded = IndexFile::decode(index.encode());
        QVERIFY(decoded);
        QVERIFY(sameIndex(*decoded, index));
    }

    // Files the fast reader refuses go to Qt's parser; files both refuse are damaged.
    void readerAgreesWithDocumentParser_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("body"); // of note "a", when readable
        const QByteArray note = R"({"id":"a","body":"BODY","createdAt":1,"updatedAt":2,"deleted":false})";
        const QByteArray meta = R"({"id":"a","filename":"a.md","dirty":false})";
        auto index = [&](const QByteArray &noteText) {
            return QByteArray(R"({"version":2,"cursor":0,"notes":[)") + noteText + R"(],"meta":[)" + meta + "]}";
        };
        auto body = [&](const QByteArray &text) {
            QByteArray n = note;
            return index(n.replace("BODY", text));
        };
        QTest::newRow("plain") << index(note) << true << QStringLiteral("BODY");
        QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf") + index(note) << true << QStringLiteral("BODY");
        // A note's text is UTF-8, as its file is: what UTF-8 cannot hold reads as "?", as the
        // file has it.
        QTest::newRow("lone surrogate escape") << body("x\\ud800y") << true << QStringLiteral("x?y");
        QTest::newRow("escaped NUL") << body("a\\u0000b") << true << QString::fromUtf16(u"a\0b", 3);
        QTest::newRow("repeated member: last wins")
            << index(R"({"id":"a","body":"first","body":"second","createdAt":1,"updatedAt":2,"deleted":false})")
            << true << QStringLiteral("second");
        QTest::newRow("deep unknown member")
            << index(QByteArray(R"({"id":"a","body":"BODY","createdAt":1,"updatedAt":2,"deleted":false,"x":)")
                     + QByteArray(800, '[') + QByteArray(800, ']') + "}")
            << true << QStringLiteral("BODY");
        QTest::newRow("surrounding white space") << "  \n" + index(note) + "\n\n" << true << QStringLiteral("BODY");
        QTest::newRow("trailing garbage") << index(note) + " x" << false << QString();
        QTest::newRow("raw NUL then garbage") << index(note) + QByteArray("\0garbage", 8) << false << QString();
        QTest::newRow("invalid UTF-8") << body("\xff\xfe") << false << QString();
        QTest::newRow("number too large") << index(R"({"id":"a","body":"b","createdAt":1e400,"updatedAt":2,"deleted":false})") << false << QString();
        QTest::newRow("not an object") << QByteArray("[]") << false << QString();
        QTest::newRow("truncated") << index(note).left(60) << false << QString();
        QTest::newRow("hostile nesting") << QByteArray(200000, '[') << false << QString();
    }

    void readerAgreesWithDocumentParser()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, readable);
        QFETCH(QString, body);
        const auto decoded = IndexFile::decode(data);
        QCOMPARE(bool(decoded), readable);
        const FileRead read = readThroughFile(data);
        QCOMPARE(bool(read.index), readable);
        if (readable)
            QVERIFY(sameIndex(*read.index, *decoded));
        // Qt's parser is the reference for what "readable" means.
        QCOMPARE(QJsonDocument::fromJson(data).isObject(), readable);
        if (readable) {
            QVERIFY(decoded->notes.contains(QStringLiteral("a")));
            QCOMPARE(decoded->notes.value(QStringLiteral("a")).body, body);
        }
    }

    void damagedRecordsAreCountedAlike_data()
    {
        QTest::addColumn<QByteArray>("notes");
        QTest::addColumn<int>("kept");
        QTest::addColumn<int>("skipped");
        QTest::newRow("wrong types") << QByteArray(R"({"id":1,"body":"x","createdAt":1,"updatedAt":2,"deleted":false},{"id":"a","body":"x","createdAt":"1","updatedAt":2,"deleted":false})") << 0 << 4;
        QTest::newRow("bad attachment") << QByteArray(R"({"id":"a","body":"x","createdAt":1,"updatedAt":2,"deleted":false,"attachments":[{"id":"i","kind":"video","filename":"f.png","createdAt":1}]})") << 0 << 3;
        QTest::newRow("null attachments") << QByteArray(R"({"id":"a","body":"x","createdAt":1,"updatedAt":2,"deleted":false,"attachments":null})") << 1 << 1;
        QTest::newRow("unsafe id") << QByteArray(R"({"id":"..","body":"x","createdAt":1,"updatedAt":2,"deleted":false})") << 0 << 3;
        QTest::newRow("repeated note keeps the newest")
            << QByteArray(R"({"id":"a","body":"old","createdAt":1,"updatedAt":2,"deleted":false},{"id":"a","body":"new","createdAt":1,"updatedAt":3,"deleted":false},7)")
            << 1 << 2;
    }

    void damagedRecordsAreCountedAlike()
    {
        QFETCH(QByteArray, notes);
        QFETCH(int, kept);
        QFETCH(int, skipped);
        const QByteArray data = QByteArray(R"({"version":2,"cursor":0,"notes":[)") + notes
            + R"(],"meta":[{"id":"a","filename":"a.md","dirty":false},{"id":"..","filename":"b.md","dirty":false}]})";
        const auto fast = IndexFile::decode(data);
        // The same file with a byte order mark goes through Qt's parser only.
        const auto reference = IndexFile::decode(QByteArray("\xef\xbb\xbf") + data);
        QVERIFY(fast && reference);
        const FileRead read = readThroughFile(data);
        QVERIFY(read.fast);
        QVERIFY(sameIndex(*read.index, *fast));
        QCOMPARE(int(fast->notes.size()), kept);
        QCOMPARE(fast->skippedRecords, skipped);
        QVERIFY(sameIndex(*fast, *reference));
    }


    // Several megabytes, ending exactly on a page boundary (so nothing of the file's own
    // last page is left to end the text): read on two threads, the same as decoding it whole.
    void largeIndexReadsAsDecoded()
    {
        const IndexFile index = largeIndex(3000);
        QByteArray data = index.encode();
        QVERIFY(data.size() > (4 << 20));
        data.append(QByteArray(4096 - data.size() % 4096, '\n'));
        QCOMPARE(data.size() % 4096, 0);
        const FileRead read = readThroughFile(data);
        QVERIFY(read.fast);
        const auto decoded = IndexFile::decode(data);
        QVERIFY(decoded && read.index);
        QVERIFY(sameIndex(*read.index, *decoded));
        QVERIFY(sameIndex(*read.index, index));
    }

    // Plain ASCII bodies take exactly the room the parser measured, to the last unit, escapes
    // at either end and surrogate pairs included; none of them is left to the slow path.
    void exactRoomIsEnough_data()
    {
        QTest::addColumn<QString>("body");
        QTest::newRow("ends in an escape") << QStringLiteral("line\n");
        QTest::newRow("starts with one") << QStringLiteral("\"quoted\"");
        QTest::newRow("only escapes") << QStringLiteral("\n\t\\\"");
        QTest::newRow("emoji last") << (QStringLiteral("x") + QString::fromUcs4(U"\U0001F600", 1));
        QTest::newRow("control character") << QStringLiteral("a") + QChar(0x01);
        QTest::newRow("empty") << QString();
    }

    void exactRoomIsEnough()
    {
        QFETCH(QString, body);
        IndexFile index;
        add(index, makeNote(QStringLiteral("a"), body, 1, 2));
        const FileRead read = readThroughFile(index.encode());
        QVERIFY(read.fast);
        QCOMPARE(read.index->notes.value(QStringLiteral("a")).body, body);
    }

    // A broken body far into a large file stops both threads and leaves the file to the
    // whole-document decoder, which calls it damaged.
    void brokenBodyDeepInside()
    {
        QByteArray data = largeIndex(3000).encode();
        const qsizetype at = data.lastIndexOf("\"body\": \"");
        QVERIFY(at > data.size() / 2);
        data.insert(at + 10, "\xc3\x28");
        const FileRead read = readThroughFile(data);
        QVERIFY(!read.fast);
        QVERIFY(!read.index);
    }

    // Another program cuts the file short while it is being read: the pages the reader still
    // needs are gone (an access would end the process). No crash, and the file is then read
    // as what it is now (here: damaged).
    void fileCutShortWhileRead_data()
    {
        QTest::addColumn<int>("notes");
        QTest::newRow("one thread") << 200;
        QTest::newRow("two threads") << 3000;
    }

    void fileCutShortWhileRead()
    {
        QFETCH(int, notes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("index.json"));
        const QByteArray data = largeIndex(notes).encode();
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(data), data.size());
        }
        // The helper (two threads) starts only once the file is cut: it would otherwise have
        // made every body before the cut, and read the file whole.
        QSemaphore cut;
        IndexReader::testHook() = [&] {
            QFile file(path);
            QVERIFY(file.resize(data.size() / 3));
            cut.release();
        };
        IndexReader::helperTestHook() = [&] { cut.acquire(); };
        const auto fast = IndexReader::readFast(path);
        IndexReader::testHook() = {};
        IndexReader::helperTestHook() = {};
        QVERIFY(!fast);
        QVERIFY(!IndexFile::read(path));
    }
};

QTEST_GUILESS_MAIN(IndexCodecTest)
#include "tst_indexcodec.moc"
