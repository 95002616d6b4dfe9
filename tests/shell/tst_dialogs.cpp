#include "TestSupport.h"

#include "ui/shell/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Answers the next file dialog from the event loop: `answer` sees it and returns the file to
// pick (an empty text cancels). Gives up after a few seconds so a test never hangs.
void answerNextFileDialog(std::function<QString(QFileDialog *)> answer)
{
    auto *poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, tries, answer] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (++*tries > 500)
                poll->deleteLater();
            return;
        }
        poll->deleteLater();
        const QString file = answer(dialog);
        if (file.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(file);
        QMetaObject::invokeMethod(dialog, "accept"); // protected in QFileDialog
    });
    poll->start(10);
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void startFolder_data()
    {
        QTest::addColumn<bool>("lastExists");
        QTest::addColumn<bool>("picturesExists");
        QTest::addColumn<QString>("expected");
        QTest::newRow("last folder used") << true << true << "last";
        QTest::newRow("last folder without Pictures") << true << false << "last";
        QTest::newRow("last folder gone: Pictures") << false << true << "pictures";
        QTest::newRow("nothing yet: Pictures") << false << true << "pictures";
        QTest::newRow("no Pictures folder: home") << false << false << "home";
    }
    void startFolder()
    {
        QFETCH(bool, lastExists);
        QFETCH(bool, picturesExists);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString last = dir.filePath(QStringLiteral("holiday"));
        const QString pictures = dir.filePath(QStringLiteral("Pictures"));
        if (lastExists)
            QVERIFY(QDir().mkpath(last));
        if (picturesExists)
            QVERIFY(QDir().mkpath(pictures));
        const bool neverUsed = QString::fromLatin1(QTest::currentDataTag()).startsWith("nothing");
        const QString chosen = SystemDialogs::startFolder(neverUsed ? QString() : last, pictures);
        const QString want = expected == QLatin1String("last") ? last
            : expected == QLatin1String("pictures")            ? pictures
                                                               : QDir::homePath();
        QCOMPARE(chosen, want);
    }

    // The real dialog: the first one starts in Pictures (or home), the next one where the last
    // file came from; a cancelled dialog changes nothing.
    void openDialogStartsWhereTheLastFileCameFrom()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("photos"));
        QVERIFY(QDir().mkpath(folder));
        const QString picked = QDir(folder).filePath(QStringLiteral("cat.png"));
        QVERIFY(TestSupport::writeFile(picked, "not really a png"));

        SystemDialogs dialogs;
        QSignalSpy holds(&dialogs, &Dialogs::holdPanel);
        QSignalSpy releases(&dialogs, &Dialogs::releasePanel);
        const QString first = SystemDialogs::startFolder(
            {}, QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
        QCOMPARE(dialogs.openStartFolder(), first);

        QString shownIn;
        answerNextFileDialog([&](QFileDialog *dialog) {
            shownIn = dialog->directory().absolutePath();
            return picked;
        });
        QCOMPARE(
            dialogs.openFiles(nullptr, QStringLiteral("Image"), QStringLiteral("*.png"), false),
            QStringList { picked });
        QCOMPARE(QDir(shownIn), QDir(first));
        QCOMPARE(dialogs.openStartFolder(), folder);

        answerNextFileDialog([&](QFileDialog *dialog) {
            shownIn = dialog->directory().absolutePath();
            return QString();
        });
        QVERIFY(dialogs.openFiles(nullptr, QStringLiteral("Image"), QStringLiteral("*.png"), false)
                    .isEmpty());
        QCOMPARE(QDir(shownIn), QDir(folder));
        QCOMPARE(dialogs.openStartFolder(), folder);
        QCOMPARE(holds.size(), 2);
        QCOMPARE(releases.size(), 2);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
