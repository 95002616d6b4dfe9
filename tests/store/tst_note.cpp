#include "TestSupport.h"

#include "base/Localization.h"
#include "store/Note.h"
#include "store/NoteStore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

Attachment image(const QString &filename, const QString &id = QStringLiteral("A1"))
{
    return Attachment { id, Attachment::Kind::Image, filename, Date { 10 }, std::nullopt };
}

Attachment audio(const QString &filename, std::optional<double> duration = std::nullopt)
{
    return Attachment { QStringLiteral("B1"), Attachment::Kind::Audio, filename, Date { 10 },
                        duration };
}

Note noteWith(const QString &body, QList<Attachment> attachments = {},
              const QString &id = QStringLiteral("abc"))
{
    Note note;
    note.id = id;
    note.body = body;
    note.createdAt = Date { 1000 };
    note.updatedAt = Date { 2000 };
    note.attachments = std::move(attachments);
    return note;
}

} // namespace

class TestNote : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void titleAndPreview_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("preview");
        QTest::newRow("leading blank lines and heading") << "\n\n# Plan \nrest"
                                                         << "Plan"
                                                         << "rest";
        QTest::newRow("double heading marker") << "## Heading"
                                               << "Heading"
                                               << "";
        QTest::newRow("quote of a bullet") << "> - quote\nmore"
                                           << "quote"
                                           << "more";
        QTest::newRow("task item keeps its box") << "- [ ] milk"
                                                 << "[ ] milk"
                                                 << "";
        QTest::newRow("markers only line is skipped") << "#\n-\nReal"
                                                      << "Real"
                                                      << "- Real";
        QTest::newRow("preview joins with spaces") << "T\na\n\nb\n"
                                                   << "T"
                                                   << "a  b";
        QTest::newRow("media lines are not text") << "![x](attachments/abc/f.png)\nTitle\nnext"
                                                  << "Title"
                                                  << "next";
        QTest::newRow("tabs trimmed") << "\t  Hello\t"
                                      << "Hello"
                                      << "";
        // Lines are found in the UTF-8 text: multi-byte characters on either side of them.
        QTest::newRow("non-ASCII around line ends")
            << QString::fromUtf8("![Gr\xc3\xb6\xc3\x9fe](attachments/abc/f.png)\n## \xc3\x9c"
                                 "berschrift \xe6\x97\xa5\nmehr \xf0\x9f\x98\x80\r\nende")
            << QString::fromUtf8("\xc3\x9c" "berschrift \xe6\x97\xa5")
            << QString::fromUtf8("mehr \xf0\x9f\x98\x80\r ende");
        QTest::newRow("media reference after spaces") << "  ![x](attachments/abc/f.png)\nT"
                                                      << "T"
                                                      << "";
    }
    void titleAndPreview()
    {
        QFETCH(QString, body);
        QFETCH(QString, title);
        QFETCH(QString, preview);
        const Note note = noteWith(body);
        QCOMPARE(note.title(), title);
        QCOMPARE(note.preview(), preview);
    }

    // A note's text is held as UTF-8: a file's bytes are taken as they are when they are
    // UTF-8 (a byte order mark at the start is not text) and refused when not.
    void textFromFileBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("text");
        QTest::newRow("ASCII") << QByteArray("Milk\n") << true << QStringLiteral("Milk\n");
        QTest::newRow("empty") << QByteArray() << true << QString();
        QTest::newRow("byte order mark at the start") << QByteArray("\xef\xbb\xbfhi") << true << QStringLiteral("hi");
        QTest::newRow("byte order mark inside") << QByteArray("hi\xef\xbb\xbf") << true << QString::fromUtf16(u"hi\ufeff");
        QTest::newRow("two byte order marks") << QByteArray("\xef\xbb\xbf\xef\xbb\xbfhi") << true << QChar(0xfeff) + QStringLiteral("hi");
        QTest::newRow("NUL") << QByteArray("a\0b", 3) << true << QString::fromUtf16(u"a\0b", 3);
        QTest::newRow("emoji") << QByteArray("\xf0\x9f\x98\x80") << true << QString::fromUcs4(U"\U0001F600", 1);
        QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9") << false << QString();
        QTest::newRow("cut-off sequence") << QByteArray("ok\xc3") << false << QString();
        QTest::newRow("overlong NUL") << QByteArray("\xc0\x80") << false << QString();
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << false << QString();
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false << QString();
    }

    void textFromFileBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, readable);
        QFETCH(QString, text);
        const std::optional<NoteText> read = NoteText::fromFileBytes(bytes);
        QCOMPARE(bool(read), readable);
        if (!read)
            return;
        QCOMPARE(read->toString(), text);
        QVERIFY(*read == text);
        // Written back as the same text, less the byte order mark.
        QCOMPARE(read->toUtf8(), text.toUtf8());
    }

    void textComparesWithStrings_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("equal");
        QTest::newRow("same ASCII") << "milk" << "milk" << true;
        QTest::newRow("case differs") << "milk" << "Milk" << false;
        QTest::newRow("prefix") << "milk" << "mil" << false;
        QTest::newRow("same non-ASCII") << QString::fromUtf8("\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80") << QString::fromUtf8("\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80") << true;
        QTest::newRow("composed and decomposed") << QString::fromUtf8("\xc3\xa9") << QString::fromUtf8("e\xcc\x81") << false;
        // UTF-8 cannot hold a lone surrogate: it is kept as "?", as the file holds it.
        QTest::newRow("lone surrogate") << QString(QChar(0xd800)) << "?" << true;
    }

    void textComparesWithStrings()
    {
        QFETCH(QString, stored);
        QFETCH(QString, other);
        QFETCH(bool, equal);
        const NoteText text(stored);
        QCOMPARE(text == other, equal);
        QCOMPARE(other == text, equal);
        QCOMPARE(text == NoteText(other), equal);
    }

    // Whatever a QString held comes back from the UTF-8 text as it was (but for lone
    // surrogates), a zero-width no-break space at the start of it or of a line included.
    void textRoundTrips_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("ASCII") << "Milk\nBread";
        // (Built from a QChar: QString::fromUtf16 would take it for a byte order mark.)
        QTest::newRow("U+FEFF at the start") << QChar(0xfeff) + QStringLiteral("Title\nrest");
        QTest::newRow("U+FEFF starting a line") << QStringLiteral("Title\n") + QChar(0xfeff) + QStringLiteral("second\n") + QChar(0xfeff);
        QTest::newRow("NUL and emoji") << QString::fromUtf16(u"a\0b \U0001F600", 6);
    }

    void textRoundTrips()
    {
        QFETCH(QString, text);
        QCOMPARE(NoteText(text).toString(), text);
        Note note = noteWith(text + QStringLiteral("\n![x](attachments/abc/X.jpg)\n"),
                             { image(QStringLiteral("X.jpg")) });
        QCOMPARE(note.textLines().join(u'\n'), text + u'\n');
        note.removeReference(image(QStringLiteral("X.jpg")));
        QCOMPARE(note.body.toString(), text + u'\n');
    }

    void blankText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("blank");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("ASCII white space") << " \t\n\r\v\f" << true;
        QTest::newRow("no-break spaces") << QString::fromUtf16(u" \u00a0\u3000\n") << true;
        QTest::newRow("control character") << "\x1f" << false;
        QTest::newRow("word after spaces") << "   \n x" << false;
        QTest::newRow("zero-width no-break space") << QChar(0xfeff) + QStringLiteral("\n") << false;
        QTest::newRow("letter after no-break space") << QString::fromUtf16(u"\u00a0\u00e9") << false;
    }

    void blankText()
    {
        QFETCH(QString, text);
        QFETCH(bool, blank);
        QCOMPARE(NoteText(text).isBlank(), blank);
        QCOMPARE(NoteText(text).isBlank(), text.trimmed().isEmpty());
    }

    void titleIsCutAt120Characters()
    {
        const Note note = noteWith(QString(130, u'x') + QStringLiteral("\n") + QString(200, u'y'));
        QCOMPARE(note.title().size(), 120);
        QCOMPARE(note.preview().size(), 160);
        // A character outside the basic plane is never split in half.
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        const Note wide = noteWith(emoji.repeated(130));
        QCOMPARE(wide.title(), emoji.repeated(120));
    }

    void imageOnlyNote()
    {
        const QString line = QStringLiteral("![](attachments/abc/X.jpg)");
        Note note = noteWith(line, { image(QStringLiteral("X.jpg")) });
        QVERIFY(!note.textTitle());
        QCOMPARE(note.tags(), (Note::Tags { false, true, false }));
        QCOMPARE(note.title(), L("note.image.dated", stamp(note.createdAt)));
        note.body = QStringLiteral("![Receipt](attachments/abc/X.jpg)");
        QCOMPARE(note.title(), QStringLiteral("Receipt"));

        Note recording = noteWith(QStringLiteral("[audio](attachments/abc/R.m4a)"),
                                  { audio(QStringLiteral("R.m4a")) });
        QCOMPARE(recording.title(), L("note.audio.dated", stamp(recording.createdAt)));
        QCOMPARE(noteWith(QString()).title(), L("note.untitled"));
    }

    void mediaReferences_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("isReference");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("path");
        QTest::newRow("audio with spaces around")
            << "  [audio 1:02](attachments/n1/R.m4a)  " << true << "audio 1:02"
            << "attachments/n1/R.m4a";
        QTest::newRow("image") << "![a](attachments/n/x.png)" << true << "a"
                               << "attachments/n/x.png";
        QTest::newRow("space in path") << "[a b](attachments/n1/x y.m4a)" << false << ""
                                       << "";
        QTest::newRow("wrong prefix") << "[x](other/y.png)" << false << ""
                                      << "";
        QTest::newRow("bracket in label") << "![a]b](attachments/n/x.png)" << false << ""
                                          << "";
        QTest::newRow("trailing space") << "![a](attachments/n/x.png) " << true << "a"
                                        << "attachments/n/x.png";
        QTest::newRow("text after") << "![a](attachments/n/x.png) hi" << false << ""
                                    << "";
        QTest::newRow("plain text") << "hello" << false << ""
                                    << "";
        QTest::newRow("empty brackets") << "[](" << false << ""
                                        << "";
    }
    void mediaReferences()
    {
        QFETCH(QString, line);
        QFETCH(bool, isReference);
        QFETCH(QString, label);
        QFETCH(QString, path);
        const auto reference = mediaReference(line);
        QCOMPARE(reference.has_value(), isReference);
        if (reference) {
            QCOMPARE(reference->label, label);
            QCOMPARE(reference->path, path);
        }
    }

    void referencedAttachments()
    {
        const Attachment a = image(QStringLiteral("a.png"), QStringLiteral("A"));
        const Attachment b = image(QStringLiteral("b.png"), QStringLiteral("B"));
        const Attachment r = audio(QStringLiteral("r.m4a"));
        const Note note
            = noteWith(QStringLiteral("![](attachments/abc/b.png)\n[audio](attachments/abc/r.m4a)\n"
                                      "![again](attachments/abc/b.png)"),
                       { a, b, r });
        QCOMPARE(note.referencedAttachments(), (QList<Attachment> { b, r }));
        QCOMPARE(note.images(), QList<Attachment> { b });
        QCOMPARE(note.recordings(), QList<Attachment> { r });
        QCOMPARE(note.attachments.size(), 3);
        QCOMPARE(note.tags(), (Note::Tags { false, true, true }));
    }

    void markdownReference()
    {
        const Note note = noteWith(QString());
        QCOMPARE(note.markdownReference(image(QStringLiteral("f.png")), QStringLiteral("a]b\nc")),
                 QStringLiteral("![ab c](attachments/abc/f.png)"));
        QCOMPARE(note.markdownReference(image(QStringLiteral("f.png"))),
                 QStringLiteral("![](attachments/abc/f.png)"));
        QCOMPARE(
            note.markdownReference(audio(QStringLiteral("r.m4a"), 75.4), QStringLiteral("ignored")),
            QStringLiteral("[audio 1:15](attachments/abc/r.m4a)"));
        QCOMPARE(note.markdownReference(audio(QStringLiteral("r.m4a"))),
                 QStringLiteral("[audio](attachments/abc/r.m4a)"));
    }

    void bodyEdits_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("expected");
        QTest::newRow("append blank keeps body") << "a"
                                                 << "append"
                                                 << "  "
                                                 << "a";
        QTest::newRow("append to empty") << ""
                                         << "append"
                                         << "x"
                                         << "x\n";
        QTest::newRow("append after text") << "a\n\n"
                                           << "append"
                                           << " x \n"
                                           << "a\n\nx\n";
        QTest::newRow("remove reference trims ends") << "a\n![](attachments/abc/f.png)\n\n"
                                                     << "remove"
                                                     << ""
                                                     << "a\n";
        QTest::newRow("remove every copy")
            << "![](attachments/abc/f.png)\nb\n![x](attachments/abc/f.png)"
            << "remove"
            << ""
            << "b";
        QTest::newRow("insert after media") << "a\n![](attachments/abc/f.png)\nb"
                                            << "insert"
                                            << "T"
                                            << "a\n![](attachments/abc/f.png)\n\nT\n\nb\n";
        QTest::newRow("insert collapses blank runs") << "![](attachments/abc/f.png)\n\n\nb"
                                                     << "insert"
                                                     << "T"
                                                     << "![](attachments/abc/f.png)\n\nT\n\nb\n";
        QTest::newRow("insert without media appends") << "a"
                                                      << "insert"
                                                      << "T"
                                                      << "a\n\nT\n";
        QTest::newRow("insert blank does nothing") << "a"
                                                   << "insert"
                                                   << " \n"
                                                   << "a";
    }
    void bodyEdits()
    {
        QFETCH(QString, body);
        QFETCH(QString, operation);
        QFETCH(QString, argument);
        QFETCH(QString, expected);
        Note note = noteWith(body, { image(QStringLiteral("f.png")) });
        if (operation == u"append")
            note.appendText(argument);
        else if (operation == u"remove")
            note.removeReference(note.attachments.first());
        else
            note.insertText(argument, QStringLiteral("attachments/abc/f.png"));
        QCOMPARE(note.body, expected);
        QCOMPARE(note.updatedAt, Date { 2000 });
    }

    void appendReference()
    {
        Note note = noteWith(QStringLiteral("  text \n\n"), { image(QStringLiteral("f.png")) });
        note.appendReference(note.attachments.first(), QStringLiteral("Scan"));
        QCOMPARE(note.body, QStringLiteral("text\n\n![Scan](attachments/abc/f.png)\n"));
        Note empty = noteWith(QString(), { image(QStringLiteral("f.png")) });
        empty.appendReference(empty.attachments.first());
        QCOMPARE(empty.body, QStringLiteral("![](attachments/abc/f.png)\n"));
    }

    void formatDuration_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("5") << 5.0 << "0:05";
        QTest::newRow("75.4") << 75.4 << "1:15";
        QTest::newRow("3725") << 3725.0 << "1:02:05";
        QTest::newRow("3599.6 rounds up to an hour") << 3599.6 << "1:00:00";
        QTest::newRow("59.4") << 59.4 << "0:59";
        QTest::newRow("half rounds away from zero") << 0.5 << "0:01";
        QTest::newRow("not a number") << qQNaN() << "0:00";
        QTest::newRow("infinite") << qInf() << "0:00";
        QTest::newRow("negative") << -4.0 << "0:00";
        QTest::newRow("huge is capped, not overflowed") << 1e300 << "277777:46:40";
    }
    void formatDuration()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(Attachment::formatDuration(seconds), text);
    }

    void jsonRoundTrip()
    {
        Note note = noteWith(QStringLiteral("body"), { audio(QStringLiteral("r.m4a"), 12.25) });
        note.createdAt = Date { 786543210.123456789 };
        note.deleted = true;
        const QByteArray json = QJsonDocument(note.toJson()).toJson();
        const auto decoded = Note::fromJson(QJsonDocument::fromJson(json).object());
        QVERIFY(decoded);
        QCOMPARE(*decoded, note);
        QVERIFY(
            !note.toJson().value(u"attachments").toArray().at(0).toObject().contains(u"nothing"));
        QVERIFY(!image(QStringLiteral("x")).toJson().contains(u"duration"));
    }

    void jsonDecoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<int>("attachments");
        const QByteArray base = R"("id":"n","body":"b","createdAt":1,"updatedAt":2)";
        QTest::newRow("no attachments member") << "{" + base + R"(,"deleted":false})" << true << 0;
        QTest::newRow("no deleted member") << "{" + base + "}" << false << 0;
        QTest::newRow("date as string")
            << QByteArray(R"({"id":"n","body":"b","createdAt":"1","updatedAt":2,"deleted":false})")
            << false << 0;
        QTest::newRow("unknown kind") << "{" + base
                + R"(,"deleted":false,"attachments":[{"id":"a","kind":"video","filename":"f","createdAt":1}]})"
                                      << false << 0;
        QTest::newRow("attachment without duration") << "{" + base
                + R"(,"deleted":false,"attachments":[{"id":"a","kind":"image","filename":"f","createdAt":1}]})"
                                                     << true << 1;
        QTest::newRow("unknown members ignored")
            << "{" + base + R"(,"deleted":true,"extra":[1]})" << true << 0;
    }
    void jsonDecoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        QFETCH(int, attachments);
        const auto note = Note::fromJson(QJsonDocument::fromJson(json).object());
        QCOMPARE(note.has_value(), decodes);
        if (note)
            QCOMPARE(note->attachments.size(), attachments);
    }

    void datesAreSecondsSince2001()
    {
        const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
        QCOMPARE(Date::fromDateTime(reference).seconds, 0.0);
        QCOMPARE(Date::fromDateTime(reference.addSecs(90)).seconds, 90.0);
        QCOMPARE(Date { 1.5 }.unixMilliseconds(), 978307201500.0);
        QVERIFY(!Date { 1e300 }.toDateTime().isValid());
    }

    void slugs_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("slug");
        QTest::newRow("punctuation") << "Shopping list, June!"
                                     << "shopping-list-june";
        QTest::newRow("accents and inverted question")
            << QString::fromUtf8("¿Qué tal?") << "que-tal";
        QTest::newRow("tree") << QString::fromUtf8("Árbol") << "arbol";
        QTest::newRow("only symbols") << "!!!"
                                      << "nota";
        QTest::newRow("cut at 48 may end in a dash")
            << QString(47, u'a') + QStringLiteral(" b") << QString(47, u'a') + u'-';
        QTest::newRow("non-latin letters kept")
            << QString::fromUtf8("日本 語") << QString::fromUtf8("日本-語");
    }
    void slugs()
    {
        QFETCH(QString, title);
        QFETCH(QString, slug);
        QCOMPARE(NoteStore::slug(title), slug);
    }
};

QTEST_GUILESS_MAIN(TestNote)
#include "tst_note.moc"
