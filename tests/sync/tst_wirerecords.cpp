// The JSON records exchanged with the server: decoding rules, limits and conversions.
#include "TestSupport.h"

#include "base/Localization.h"
#include "sync/WireRecords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace {

QJsonObject parse(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

QJsonObject syncAnswer(const QJsonObject &extra = {})
{
    QJsonObject answer {
        { QStringLiteral("cursor"), 7 },
        { QStringLiteral("hasMore"), false },
        { QStringLiteral("serverTime"), 1.5 },
        { QStringLiteral("notes"), QJsonArray() },
        { QStringLiteral("accepted"), QJsonArray() },
        { QStringLiteral("rejected"), QJsonArray() },
    };
    for (auto it = extra.begin(); it != extra.end(); ++it) {
        if (it.value() == QJsonValue(QStringLiteral("<absent>")))
            answer.remove(it.key());
        else
            answer.insert(it.key(), it.value());
    }
    return answer;
}

} // namespace

class TestWireRecords : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void minimalNoteDecodesWithDefaults()
    {
        const auto note
            = WireNote::fromJson(parse("{\"id\":\"abc\",\"createdAt\":1000,\"updatedAt\":2000.5}"));
        QVERIFY(note.has_value());
        QCOMPARE(note->id, QStringLiteral("abc"));
        QCOMPARE(note->body, QString());
        QCOMPARE(note->title, QString());
        QCOMPARE(note->format, QStringLiteral("md"));
        QCOMPARE(note->deleted, false);
        QVERIFY(note->attachments.isEmpty());
        QCOMPARE(note->updatedAt, 2000.5);
    }

    void noteDecoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<QString>("pathInError");
        QTest::newRow("null optional members")
            << QByteArray("{\"id\":\"a\",\"createdAt\":1,\"updatedAt\":2,\"body\":null,\"deleted\":"
                          "null,\"attachments\":null}")
            << true << QString();
        QTest::newRow("unknown members ignored") << QByteArray(
            "{\"id\":\"a\",\"createdAt\":1,\"updatedAt\":2,\"colour\":\"red\",\"x\":{\"y\":1}}")
                                                 << true << QString();
        QTest::newRow("missing id")
            << QByteArray("{\"createdAt\":1,\"updatedAt\":2}") << false << QStringLiteral("id");
        QTest::newRow("id is a number") << QByteArray("{\"id\":5,\"createdAt\":1,\"updatedAt\":2}")
                                        << false << QStringLiteral("id");
        QTest::newRow("missing updatedAt")
            << QByteArray("{\"id\":\"a\",\"createdAt\":1}") << false << QStringLiteral("updatedAt");
        QTest::newRow("time as text")
            << QByteArray("{\"id\":\"a\",\"createdAt\":\"1\",\"updatedAt\":2}") << false
            << QStringLiteral("createdAt");
        QTest::newRow("body is an array")
            << QByteArray("{\"id\":\"a\",\"createdAt\":1,\"updatedAt\":2,\"body\":[]}") << false
            << QStringLiteral("body");
        QTest::newRow("deleted as text")
            << QByteArray("{\"id\":\"a\",\"createdAt\":1,\"updatedAt\":2,\"deleted\":\"yes\"}")
            << false << QStringLiteral("deleted");
        QTest::newRow("attachments an object")
            << QByteArray("{\"id\":\"a\",\"createdAt\":1,\"updatedAt\":2,\"attachments\":{}}")
            << false << QStringLiteral("attachments");
        QTest::newRow("attachment without filename")
            << QByteArray("{\"id\":\"a\",\"createdAt\":1,\"updatedAt\":2,\"attachments\":[{\"id\":"
                          "\"x\",\"kind\":\"image\",\"createdAt\":1}]}")
            << false << QStringLiteral("attachments[0].filename");
        QTest::newRow("attachment duration as text") << QByteArray(
            "{\"id\":\"a\",\"createdAt\":1,\"updatedAt\":2,\"attachments\":[{\"id\":\"x\",\"kind\":"
            "\"audio\",\"filename\":\"f.m4a\",\"createdAt\":1,\"duration\":\"3\"}]}")
                                                     << false << QStringLiteral("duration");
    }

    void noteDecoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        QFETCH(QString, pathInError);
        const auto note = WireNote::fromJson(QJsonDocument::fromJson(json).object());
        QCOMPARE(note.has_value(), decodes);
        if (!decodes) {
            QVERIFY2(note.error().detail.contains(pathInError), qPrintable(note.error().detail));
            QCOMPARE(note.error().description(), L("error.invalidResponse"));
        }
    }

    void syncResponse_data()
    {
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("complete") << syncAnswer() << true;
        QTest::newRow("cursor missing")
            << syncAnswer({ { QStringLiteral("cursor"), QStringLiteral("<absent>") } }) << false;
        QTest::newRow("cursor fraction")
            << syncAnswer({ { QStringLiteral("cursor"), 1.5 } }) << false;
        QTest::newRow("cursor text")
            << syncAnswer({ { QStringLiteral("cursor"), QStringLiteral("7") } }) << false;
        QTest::newRow("cursor beyond 64 bits")
            << syncAnswer({ { QStringLiteral("cursor"), 1e300 } }) << false;
        QTest::newRow("hasMore missing")
            << syncAnswer({ { QStringLiteral("hasMore"), QStringLiteral("<absent>") } }) << false;
        QTest::newRow("notes not an array")
            << syncAnswer({ { QStringLiteral("notes"), QStringLiteral("x") } }) << false;
        QTest::newRow("accepted holds a number")
            << syncAnswer({ { QStringLiteral("accepted"), QJsonArray { 1 } } }) << false;
        QTest::newRow("rejected missing")
            << syncAnswer({ { QStringLiteral("rejected"), QStringLiteral("<absent>") } }) << false;
        QTest::newRow("mediaWanted wrong type")
            << syncAnswer({ { QStringLiteral("mediaWanted"), 3 } }) << false;
        QTest::newRow("mediaWanted entry incomplete")
            << syncAnswer({ { QStringLiteral("mediaWanted"),
                              QJsonArray { QJsonObject {
                                  { QStringLiteral("noteId"), QStringLiteral("a") } } } } })
            << false;
        QTest::newRow("serverTime missing")
            << syncAnswer({ { QStringLiteral("serverTime"), QStringLiteral("<absent>") } })
            << false;
    }

    void syncResponse()
    {
        QFETCH(QJsonObject, answer);
        QFETCH(bool, decodes);
        QCOMPARE(SyncResponse::fromJson(answer).has_value(), decodes);
    }

    void mediaWantedPresenceDiffersFromAbsence()
    {
        const auto without = SyncResponse::fromJson(syncAnswer());
        const auto empty = SyncResponse::fromJson(
            syncAnswer({ { QStringLiteral("mediaWanted"), QJsonArray() } }));
        QVERIFY(without && empty);
        QVERIFY(!without->mediaWanted.has_value());
        QVERIFY(empty->mediaWanted.has_value());
        QVERIFY(empty->mediaWanted->isEmpty());
    }

    void hugeArraysFailTheAnswer()
    {
        QJsonArray accepted;
        for (qsizetype i = 0; i <= Wire::maxArrayItems; ++i)
            accepted.append(QStringLiteral("a"));
        const auto answer
            = SyncResponse::fromJson(syncAnswer({ { QStringLiteral("accepted"), accepted } }));
        QVERIFY(!answer);
        QVERIFY(answer.error().detail.contains(QStringLiteral("accepted")));
    }

    void notJsonOrNotAnObject_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("html") << QByteArray("<html>oops</html>");
        QTest::newRow("array") << QByteArray("[1,2]");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated") << QByteArray("{\"cursor\":1,");
    }

    void notJsonOrNotAnObject()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!Wire::parseObject(bytes).has_value());
    }

    void receivedNames_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("usable");
        QTest::newRow("program id") << QStringLiteral("0123456789ab") << true;
        QTest::newRow("uuid") << QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF") << true;
        QTest::newRow("slash") << QStringLiteral("a/b") << false;
        QTest::newRow("dot dot") << QStringLiteral("..") << false;
        QTest::newRow("dot") << QStringLiteral(".") << false;
        QTest::newRow("absolute") << QStringLiteral("/etc/passwd") << false;
        QTest::newRow("backslash") << QStringLiteral("..\\x") << false;
        QTest::newRow("nul") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"))
                             << false;
        QTest::newRow("newline") << QStringLiteral("a\nb") << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("too long") << QString(200, u'a') << false;
    }

    void receivedNames()
    {
        QFETCH(QString, id);
        QFETCH(bool, usable);
        WireNote wire;
        wire.id = id;
        wire.createdAt = 1000;
        wire.updatedAt = 2000;
        QCOMPARE(wire.toNote().has_value(), usable);
    }

    void receivedAttachmentsAreFiltered()
    {
        WireNote wire;
        wire.id = QStringLiteral("0123456789ab");
        wire.createdAt = 978307200000.0; // 2001-01-01
        wire.updatedAt = 978307201000.0;
        wire.attachments = {
            { QStringLiteral("A1"), QStringLiteral("image"), QStringLiteral("p.png"),
              978307200000.0, std::nullopt },
            { QStringLiteral("A2"), QStringLiteral("video"), QStringLiteral("v.mp4"), 0,
              std::nullopt },
            { QStringLiteral("A3"), QStringLiteral("audio"), QStringLiteral("../../x.m4a"), 0,
              3.0 },
            { QStringLiteral("A4"), QStringLiteral("audio"), QStringLiteral("r.m4a"),
              978307202000.0, 61.5 },
        };
        const auto note = wire.toNote();
        QVERIFY(note);
        QCOMPARE(note->attachments.size(), 2);
        QCOMPARE(note->attachments[0].filename, QStringLiteral("p.png"));
        QCOMPARE(note->attachments[1].kind, Attachment::Kind::Audio);
        QCOMPARE(note->attachments[1].duration, std::optional<double>(61.5));
        QCOMPARE(note->attachments[1].createdAt.seconds, 2.0);
        QCOMPARE(note->createdAt.seconds, 0.0);
        QCOMPARE(note->updatedAt.seconds, 1.0);
    }

    void noteRoundTrip()
    {
        Note note;
        note.id = QStringLiteral("0123456789ab");
        note.createdAt = Date { 700000000.123 };
        note.updatedAt = Date { 700000100.456 };
        const Attachment image { QStringLiteral("IMG"), Attachment::Kind::Image,
                                 QStringLiteral("i.png"), Date { 700000000.5 }, std::nullopt };
        const Attachment audio { QStringLiteral("AUD"), Attachment::Kind::Audio,
                                 QStringLiteral("a.m4a"), Date { 700000001.25 }, 12.5 };
        const Attachment unreferenced { QStringLiteral("OLD"), Attachment::Kind::Image,
                                        QStringLiteral("o.png"), Date { 1 }, std::nullopt };
        note.attachments = { image, audio, unreferenced };
        note.body = QStringLiteral("Shopping\n");
        note.appendReference(image, QStringLiteral("photo"));
        note.appendReference(audio);

        const WireNote wire = WireNote::fromNote(note);
        QCOMPARE(wire.title, QStringLiteral("Shopping"));
        QCOMPARE(wire.format, QStringLiteral("md"));
        QCOMPARE(wire.attachments.size(), 2); // the unreferenced one stays home
        const QJsonObject json = wire.toJson();
        for (const char *member : { "id", "title", "body", "format", "createdAt", "updatedAt",
                                    "deleted", "attachments" })
            QVERIFY2(json.contains(QLatin1String(member)), member);
        QVERIFY(!json.value(QStringLiteral("attachments"))
                     .toArray()
                     .at(0)
                     .toObject()
                     .contains(QStringLiteral("duration")));

        const auto decoded = WireNote::fromJson(json);
        QVERIFY(decoded);
        const auto back = decoded->toNote();
        QVERIFY(back);
        QCOMPARE(back->id, note.id);
        QCOMPARE(back->body, note.body);
        QCOMPARE(back->deleted, note.deleted);
        QVERIFY(qAbs(back->createdAt.seconds - note.createdAt.seconds) < 1e-6);
        QVERIFY(qAbs(back->updatedAt.seconds - note.updatedAt.seconds) < 1e-6);
        QCOMPARE(back->attachments.size(), 2);
        QCOMPARE(back->attachments[1].duration, std::optional<double>(12.5));
    }

    void deletedNoteSendsNoAttachments()
    {
        Note note;
        note.id = QStringLiteral("0123456789ab");
        const Attachment image { QStringLiteral("IMG"), Attachment::Kind::Image,
                                 QStringLiteral("i.png"), Date { 1 }, std::nullopt };
        note.attachments = { image };
        note.appendReference(image, QStringLiteral("x"));
        note.deleted = true;
        QVERIFY(WireNote::fromNote(note).attachments.isEmpty());
        QVERIFY(WireNote::fromNote(note).toJson().value(QStringLiteral("attachments")).isArray());
    }

    void untitledNoteSendsEmptyTitle()
    {
        Note note;
        note.id = QStringLiteral("0123456789ab");
        QCOMPARE(note.title(), L("note.untitled"));
        QCOMPARE(WireNote::fromNote(note).title, QString());
    }

    void percent_data()
    {
        QTest::addColumn<qint64>("used");
        QTest::addColumn<qint64>("quota");
        QTest::addColumn<int>("percent");
        QTest::newRow("no quota") << qint64(10) << qint64(0) << 0;
        QTest::newRow("negative quota") << qint64(10) << qint64(-5) << 0;
        QTest::newRow("half") << qint64(512) << qint64(1024) << 50;
        QTest::newRow("over quota") << qint64(5000) << qint64(1024) << 100;
        QTest::newRow("half rounds up") << qint64(1) << qint64(200) << 1;
        QTest::newRow("negative usage") << qint64(-50) << qint64(100) << 0;
    }

    void percent()
    {
        QFETCH(qint64, used);
        QFETCH(qint64, quota);
        QFETCH(int, percent);
        QCOMPARE((MediaUsage { used, quota, 0 }).percent(), percent);
    }

    void mediaUsageNeedsIntegers()
    {
        {
            const bool decodes = MediaUsage::fromJson(
                                     parse("{\"usedBytes\":1,\"quotaBytes\":2,\"maxFileBytes\":3}"))
                                     .has_value();
            QVERIFY(decodes);
        }
        {
            const bool decodes
                = MediaUsage::fromJson(
                      parse("{\"usedBytes\":1.5,\"quotaBytes\":2,\"maxFileBytes\":3}"))
                      .has_value();
            QVERIFY(!decodes);
        }
        {
            const bool decodes
                = MediaUsage::fromJson(parse("{\"usedBytes\":1,\"quotaBytes\":2}")).has_value();
            QVERIFY(!decodes);
        }
    }

    void shareLinkNeedsAUrl()
    {
        {
            const bool decodes
                = ShareLink::fromJson(
                      parse("{\"token\":\"t\",\"url\":\"https://scrivelbar.app/s/t\"}"))
                      .has_value();
            QVERIFY(decodes);
        }
        {
            const bool decodes
                = ShareLink::fromJson(parse("{\"token\":\"t\",\"url\":\"not a url\"}")).has_value();
            QVERIFY(!decodes);
        }
        {
            const bool decodes
                = ShareLink::fromJson(parse("{\"token\":\"t\",\"url\":5}")).has_value();
            QVERIFY(!decodes);
        }
        for (const char *hostile : { "javascript:alert(1)", "file:///etc/passwd", "data:text/html,x" }) {
            const QByteArray json = "{\"token\":\"t\",\"url\":\"" + QByteArray(hostile) + "\"}";
            QVERIFY2(!ShareLink::fromJson(parse(json.constData())).has_value(), hostile);
        }
    }

    void healthAndAuth()
    {
        const auto health = ServerHealth::fromJson(
            parse("{\"ok\":true,\"version\":\"1.2\",\"db\":\"ok\",\"capabilities\":{\"signup\":"
                  "true,\"media\":true,\"google\":false,\"termsUrl\":\"https://x/terms\"}}"));
        QVERIFY(health);
        QVERIFY(health->capabilities.media);
        QCOMPARE(health->capabilities.termsUrl,
                 std::optional<QString>(QStringLiteral("https://x/terms")));
        QVERIFY(!health->capabilities.googleClientId);
        {
            const bool decodes = ServerHealth::fromJson(
                                     parse("{\"ok\":true,\"version\":\"1.2\",\"db\":\"ok\","
                                           "\"capabilities\":{\"signup\":true,\"google\":false}}"))
                                     .has_value();
            QVERIFY(!decodes);
        }

        const auto auth
            = AuthResponse::fromJson(parse("{\"token\":\"tok\",\"expiresAt\":1,\"user\":{\"id\":"
                                           "\"u\",\"email\":\"e@x\",\"avatarUrl\":null}}"));
        QVERIFY(auth);
        QCOMPARE(auth->user.email, QStringLiteral("e@x"));
        QVERIFY(!auth->user.avatarUrl);
        {
            const bool decodes
                = AuthResponse::fromJson(
                      parse("{\"token\":\"tok\",\"expiresAt\":1,\"user\":{\"id\":\"u\"}}"))
                      .has_value();
            QVERIFY(!decodes);
        }
    }
};

QTEST_GUILESS_MAIN(TestWireRecords)
#include "tst_wirerecords.moc"
