// Kills real writer processes at random moments and checks that the index and every note
// file are still whole and loadable afterwards.
#include "TestSupport.h"

#include "store/IndexFile.h"
#include "store/NoteStore.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>

class TestDurability : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void killedWritersLeaveWholeFiles()
    {
        TestSupport::TempFolders folders;
        const QStringList base = { QStringLiteral("--notes"), folders.notes(),
                                   QStringLiteral("--support"), folders.support() };
        QStringList ids;
        QSet<QByteArray> versions; // every text any writer was asked to write
        for (int i = 0; i < 3; ++i) {
            QProcess create;
            const QByteArray body
                = "Note " + QByteArray::number(i) + "\n" + QByteArray(60000, 'a' + i);
            create.start(QStringLiteral(SCRIVEL_CLI_PATH),
                         base + QStringList { QStringLiteral("new"), QString::fromUtf8(body) });
            QVERIFY(create.waitForFinished(20000));
            QCOMPARE(create.exitCode(), 0);
            ids << QString::fromUtf8(create.readAllStandardOutput()).trimmed();
            versions.insert(body);
        }

        auto *random = QRandomGenerator::global();
        for (int round = 0; round < 25; ++round) {
            const QString id = ids[round % ids.size()];
            const QByteArray body = "Note " + id.toUtf8() + " round " + QByteArray::number(round)
                + "\n" + QByteArray(150000 + round, 'k');
            versions.insert(body);
            QProcess writer;
            // Through standard input: a single argument may not exceed 128 KiB.
            writer.start(QStringLiteral(SCRIVEL_CLI_PATH),
                         base + QStringList { QStringLiteral("set"), id });
            QVERIFY(writer.waitForStarted());
            writer.write(body);
            writer.closeWriteChannel();
            QTest::qWait(int(random->bounded(60)));
            // processId() is 0 once the writer is gone, and kill(0) would hit our own group.
            const qint64 pid = writer.processId();
            if (pid > 0 && writer.state() != QProcess::NotRunning)
                ::kill(pid_t(pid), SIGKILL);
            writer.waitForFinished();

            // The index parses, and every note file holds one complete version.
            const QByteArray index
                = TestSupport::readFile(folders.support() + QStringLiteral("/index.json"));
            QVERIFY2(IndexFile::decode(index).has_value(),
                     qPrintable(QStringLiteral("round %1").arg(round)));
            const QStringList files
                = QDir(folders.notes()).entryList({ QStringLiteral("*.md") }, QDir::Files);
            QCOMPARE(files.size(), ids.size());
            for (const QString &file : files) {
                const QByteArray text = TestSupport::readFile(folders.notes() + u'/' + file);
                QVERIFY2(versions.contains(text), qPrintable(file));
            }
        }

        // A store opens over what the killed writers left, with every note intact.
        QDir(folders.support()).remove(QStringLiteral("store.lock"));
        NoteStore::Options options;
        options.notesFolder = folders.notes();
        options.supportFolder = folders.support();
        options.watchFolder = false;
        NoteStore store(options);
        QCOMPARE(store.notes().size(), ids.size());
        for (const Note &note : store.notes())
            QVERIFY(versions.contains(note.body.toUtf8()));
    }
};

QTEST_GUILESS_MAIN(TestDurability)
#include "tst_durability.moc"
