// The media blocks of the preview, their menu and the file exports they share, the recording
// screen and the editor's recording and PDF states: real widgets offscreen, a real PulseAudio
// input for the recordings.
#include "PulseAudioServer.h"
#include "../screens/ScreenFixture.h"

#include "export/PDFExport.h"
#include "media/AudioPlayer.h"
#include "store/NoteStore.h"
#include "ui/ai/AIResultPanel.h"
#include "ui/editor/EditorView.h"
#include "ui/editor/MarkdownView.h"
#include "ui/media/AudioBlockView.h"
#include "ui/media/ImageBlockView.h"
#include "ui/media/MediaActions.h"
#include "ui/media/MediaMenu.h"
#include "ui/media/Scrubber.h"
#include "ui/recording/RecordingView.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace std::chrono_literals;

namespace {

QStringList entryNames(QMenu *menu)
{
    QStringList names;
    for (QAction *action : menu->actions())
        names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    return names;
}

QStringList buttonSymbols(const ImageBlockView &block)
{
    QStringList symbols;
    for (QToolButton *button : block.hoverButtons())
        symbols << button->objectName();
    return symbols;
}

QAction *menuEntry(QMenu *menu, const QString &name)
{
    for (QAction *action : menu->actions())
        if (action->objectName() == name)
            return action;
    return nullptr;
}

} // namespace

class MediaBlocksTest : public QObject
{
    Q_OBJECT

    PulseAudioServer m_pulse;
    QString m_pulseProblem;

    static MediaContext context(QStringList *calls, const QString &folder, bool ai)
    {
        MediaContext media;
        media.resolve = [folder](const QString &path) { return QDir(folder).filePath(path); };
        const auto record = [calls](const QString &what) {
            return [calls, what](const QString &path) { calls->append(what + u':' + path); };
        };
        media.exportMedia = record(QStringLiteral("export"));
        media.reveal = record(QStringLiteral("reveal"));
        media.remove = record(QStringLiteral("remove"));
        if (ai) {
            media.extractText = record(QStringLiteral("extractText"));
            media.transcribe = record(QStringLiteral("transcribe"));
        }
        return media;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        m_pulseProblem = m_pulse.start();
    }

    void menuEntries_data()
    {
        QTest::addColumn<bool>("image");
        QTest::addColumn<bool>("ai");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("image with text recognition") << true << true
            << QStringList { "ai.extractText", "-", "export", "reveal", "-", "remove" };
        QTest::newRow("image without") << true << false << QStringList { "export", "reveal", "-", "remove" };
        QTest::newRow("audio with transcription") << false << true
            << QStringList { "ai.transcribe", "-", "export", "reveal", "-", "remove" };
        QTest::newRow("audio without") << false << false << QStringList { "export", "reveal", "-", "remove" };
    }
    void menuEntries()
    {
        QFETCH(bool, image);
        QFETCH(bool, ai);
        QFETCH(QStringList, entries);
        QStringList calls;
        QMenu menu;
        const QString path = QStringLiteral("attachments/abc/f");
        MediaMenu::fill(&menu, path, image ? Attachment::Kind::Image : Attachment::Kind::Audio,
                        context(&calls, QString(), ai));
        QCOMPARE(entryNames(&menu), entries);
        QCOMPARE(menuEntry(&menu, QStringLiteral("export"))->text(),
                 L(image ? "editor.export.image" : "editor.export.audio"));
        QCOMPARE(menuEntry(&menu, QStringLiteral("remove"))->text(),
                 L(image ? "editor.attachment.remove.image" : "editor.attachment.remove.audio"));
        for (QAction *action : menu.actions())
            if (!action->isSeparator())
                action->trigger();
        QStringList expected;
        for (const QString &entry : entries)
            if (entry != u"-")
                expected << entry.section(u'.', -1) + u':' + path;
        QCOMPARE(calls, expected);
    }

    void imageBlock_data()
    {
        QTest::addColumn<QSize>("size");   // of the picture; empty: the case below
        QTest::addColumn<QString>("kind"); // "image", "missing", "damaged"
        QTest::addColumn<QSize>("shown");
        QTest::newRow("wide picture fits the width") << QSize(1600, 800) << "image" << QSize(356, 178);
        QTest::newRow("tall picture at most 220 high") << QSize(300, 1200) << "image" << QSize(55, 220);
        QTest::newRow("small picture not enlarged") << QSize(80, 40) << "image" << QSize(80, 40);
        QTest::newRow("missing file") << QSize() << "missing" << QSize();
        QTest::newRow("damaged file") << QSize() << "damaged" << QSize();
    }
    void imageBlock()
    {
        QFETCH(QSize, size);
        QFETCH(QString, kind);
        QFETCH(QSize, shown);
        ScreenFixture f;
        const QString folder = f.folders.notes();
        QDir(folder).mkpath(QStringLiteral("attachments/n"));
        const QString path = QStringLiteral("attachments/n/p.png");
        if (kind == u"image") {
            QImage picture(size, QImage::Format_RGB32);
            picture.fill(Qt::green);
            QVERIFY(picture.save(QDir(folder).filePath(path)));
        } else if (kind == u"damaged") {
            QFile file(QDir(folder).filePath(path));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("\x89PNG\r\n\x1a\n garbage that is no picture");
        }
        QStringList calls;
        ImageBlockView block(path, context(&calls, folder, false));
        block.resize(356, 200);
        block.show();
        QTRY_VERIFY(block.isLoaded());
        QCOMPARE(block.isMissing(), kind != u"image");
        if (kind == u"image") {
            QCOMPARE(block.heightForWidth(356), shown.height());
            QVERIFY2(block.image().width() <= 356 * block.devicePixelRatioF(),
                     "decoded only as large as the block needs");
            block.resize(356, block.heightForWidth(356));
            const QImage grabbed = block.grab().toImage();
            // Below the hover row (whatever the pointer does offscreen), inside the corners.
            QCOMPARE(grabbed.pixelColor(shown.width() / 2, shown.height() - 4), QColor(Qt::green));
        } else {
            QVERIFY(block.findChild<QWidget *>(QStringLiteral("missing"))->isVisible());
        }
        // Its buttons still work without a picture: remove stays useful.
        block.setHovering(false);
        for (QToolButton *button : block.hoverButtons())
            QVERIFY(!button->isVisible());
        block.setHovering(true);
        QCOMPARE(buttonSymbols(block), (QStringList { "square.and.arrow.down", "xmark" }));
        for (QToolButton *button : block.hoverButtons()) {
            QVERIFY(button->isVisible());
            QVERIFY(!button->toolTip().isEmpty());
            QCOMPARE(button->accessibleName(), button->toolTip());
            button->click();
        }
        QCOMPARE(calls, (QStringList { "export:" + path, "remove:" + path }));
    }

    void hoverRowOffersTextRecognitionOnlyWithTheCallback()
    {
        QStringList calls;
        ImageBlockView with(QStringLiteral("a.png"), context(&calls, QString(), true));
        QCOMPARE(buttonSymbols(with), (QStringList { "text.viewfinder", "square.and.arrow.down", "xmark" }));
        QCOMPARE(with.hoverButtons().first()->toolTip(), L("ai.extractText"));
    }

    void scrubberFraction_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("fraction");
        QTest::newRow("before the start") << -40.0 << 0.0;
        QTest::newRow("start") << 0.0 << 0.0;
        QTest::newRow("quarter") << 50.0 << 0.25;
        QTest::newRow("past the end") << 500.0 << 1.0;
    }
    void scrubberFraction()
    {
        QFETCH(double, x);
        QFETCH(double, fraction);
        QCOMPARE(Scrubber::fractionAt(x, 200), fraction);
        Scrubber scrubber;
        scrubber.resize(200, 10);
        QList<double> seeks;
        scrubber.setOnSeek([&](double f) { seeks << f; });
        scrubber.show();
        QTest::mousePress(&scrubber, Qt::LeftButton, {}, QPoint(std::clamp(int(x), 0, 199), 5));
        QCOMPARE(seeks.size(), 1);
        QVERIFY(seeks.first() >= 0 && seeks.first() <= 1);
    }

    void audioBlockProblemDisablesPlay()
    {
        QStringList calls;
        QTemporaryDir dir;
        AudioBlockView block(QStringLiteral("attachments/n/none.m4a"), context(&calls, dir.path(), true));
        block.resize(356, 60);
        block.show();
        QTRY_VERIFY(!block.player()->problem().isEmpty());
        QVERIFY(!block.playButton()->isEnabled());
        QVERIFY(block.problemLabel()->isVisible());
        QVERIFY(!block.timeLabel()->isVisible());
        QVERIFY(block.transcribeButton());
        block.transcribeButton()->click();
        QCOMPARE(calls, QStringList { "transcribe:attachments/n/none.m4a" });
    }

    void audioBlockPlaysAndStopsWhenHidden()
    {
        if (!m_pulseProblem.isEmpty())
            QFAIL(qPrintable(m_pulseProblem));
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("attachments/n"));
        QVERIFY(PulseAudioServer::tone(dir.filePath(QStringLiteral("attachments/n/t.wav")), 3));
        QStringList calls;
        AudioBlockView block(QStringLiteral("attachments/n/t.wav"), context(&calls, dir.path(), false));
        QVERIFY(!block.transcribeButton());
        block.resize(356, 60);
        block.show();
        QTRY_COMPARE(block.durationLabel()->text(), QStringLiteral("0:03"));
        QCOMPARE(block.playButton()->toolTip(), L("player.play"));
        block.playButton()->click();
        QVERIFY(block.player()->isPlaying());
        QCOMPARE(block.playButton()->toolTip(), L("player.pause"));
        QTRY_VERIFY_WITH_TIMEOUT(block.scrubber()->progress() > 0, 5000);
        block.hide();
        QVERIFY(!block.player()->isPlaying());
        QCOMPARE(block.player()->currentTime(), 0.0);
    }

    void recordingScreenStates_data()
    {
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<QString>("page");
        QTest::newRow("refused") << false << "denied";
        QTest::newRow("recording") << true << "recording";
    }
    void recordingScreenStates()
    {
        QFETCH(bool, allowed);
        QFETCH(QString, page);
        if (allowed && !m_pulseProblem.isEmpty())
            QFAIL(qPrintable(m_pulseProblem));
        QTemporaryDir dir;
        AudioRecorder::Options options;
        options.tick = 20ms;
        options.folder = dir.path();
        options.permission = [allowed] { return allowed; };
        RecordingView view(options);
        QSignalSpy finished(&view, &RecordingView::finished);
        QSignalSpy cancelled(&view, &RecordingView::cancelled);
        QSignalSpy held(&view, &RecordingView::holdPanel);
        QSignalSpy released(&view, &RecordingView::releasePanel);
        QCOMPARE(view.page(), QStringLiteral("waiting"));
        view.resize(380, 400);
        view.show();
        QTRY_COMPARE(view.page(), page);
        QCOMPARE(held.count(), 1);
        QCOMPARE(released.count(), 1);
        QVERIFY(view.cancelButton()->isVisible());
        if (!allowed) {
            // Return in the denied state does nothing; Escape cancels.
            QTest::keyClick(&view, Qt::Key_Return);
            QCOMPARE(finished.count() + cancelled.count(), 0);
            QTest::keyClick(&view, Qt::Key_Escape);
            QCOMPARE(cancelled.count(), 1);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(view.recorder()->elapsed() >= 0.5, 5000);
        QCOMPARE(view.clock()->text(), Attachment::formatDuration(view.recorder()->elapsed()));
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(finished.count(), 1);
        QVERIFY(QFile::exists(finished.first().at(0).toString()));
        QVERIFY(finished.first().at(1).toDouble() >= 0.5);
    }

    void recordingScreenShowsFailure()
    {
        if (!m_pulseProblem.isEmpty())
            QFAIL(qPrintable(m_pulseProblem));
        // The encoder cannot write its file there: the take fails at its start.
        RecordingView view({ 20ms, QStringLiteral("/proc/scrivel-no-such-folder"), {} });
        QSignalSpy finished(&view, &RecordingView::finished);
        view.show();
        QTRY_COMPARE(view.page(), QStringLiteral("failed"));
        QVERIFY(view.findChild<QLabel *>(QStringLiteral("failure"))->text().startsWith(
            L("recorder.failed", QString()).trimmed()));
        QTest::keyClick(&view, Qt::Key_Return); // only cancel is offered
        QCOMPARE(finished.count(), 0);
        QVERIFY(view.cancelButton()->isVisible());
    }

    void editorRecordingState()
    {
        if (!m_pulseProblem.isEmpty())
            QFAIL(qPrintable(m_pulseProblem));
        ScreenFixture f;
        const QString id = f.store->create(QString()).id;
        EditorView editor(id, f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs);
        QVERIFY(editor.canRecord());
        AudioRecorder::Options options;
        options.tick = 20ms;
        options.folder = f.folders.path(QStringLiteral("takes"));
        editor.setRecorderOptions(options);
        editor.setMode(EditorView::Mode::Edit);
        editor.resize(380, 500);
        editor.show();
        editor.startRecording();
        QVERIFY(editor.isRecording());
        for (const char *name : { "modes" })
            QVERIFY(!editor.findChild<QWidget *>(QLatin1String(name))->isEnabled());
        QVERIFY(!editor.aiPanel()->parentWidget()->isVisible());
        QTRY_COMPARE(editor.recordingView()->page(), QStringLiteral("recording"));
        // Escape is the recording screen's: it cancels, and the editor stays.
        QSignalSpy back2(&editor, &EditorView::back);
        QTest::keyClick(editor.recordingView(), Qt::Key_Escape);
        QVERIFY(!editor.isRecording());
        QCOMPARE(back2.count(), 0);
        QCOMPARE(editor.mode(), EditorView::Mode::Edit);
        QVERIFY(editor.findChild<QWidget *>(QStringLiteral("modes"))->isEnabled());
        QCOMPARE(QDir(options.folder).entryList(QDir::Files), QStringList());

        // A finished take becomes the note's recording, and the preview shows its player.
        editor.startRecording();
        QTRY_VERIFY_WITH_TIMEOUT(editor.recordingView()->recorder()->elapsed() >= 0.5, 5000);
        editor.recordingView()->stop();
        QVERIFY(!editor.isRecording());
        QCOMPARE(editor.mode(), EditorView::Mode::Preview);
        const auto note = f.store->note(id);
        QCOMPARE(note->attachments.size(), 1);
        QCOMPARE(note->attachments.first().kind, Attachment::Kind::Audio);
        QVERIFY(note->attachments.first().duration.value_or(0) >= 0.5);
        QVERIFY(QFile::exists(f.store->liveMediaPath(id, note->attachments.first().filename)));
        QCOMPARE(QDir(options.folder).entryList(QDir::Files), QStringList());
        QTRY_COMPARE(editor.preview()->findChildren<AudioBlockView *>().size(), 1);
    }

    void editorMenuEntries_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("pdfEnabled");
        QTest::newRow("signed out") << false << "text" << false;
        QTest::newRow("signed in, blank") << true << "  \n" << false;
        QTest::newRow("signed in, text") << true << "text" << true;
    }
    void editorMenuEntries()
    {
        QFETCH(bool, signedIn);
        QFETCH(QString, body);
        QFETCH(bool, pdfEnabled);
        ScreenFixture f;
        if (signedIn)
            f.signIn();
        const QString id = f.store->create(body).id;
        EditorView editor(id, f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs);
        QMenu *menu = editor.moreMenu();
        QAction *pdf = menuEntry(menu, QStringLiteral("editor.export.pdf"));
        QVERIFY(pdf);
        QCOMPARE(pdf->isEnabled(), pdfEnabled);
        QAction *audio = menuEntry(menu, QStringLiteral("editor.addAudio"));
        QVERIFY(audio);
        QVERIFY(audio->isEnabled());
    }

    void editorExportsPDF()
    {
        ScreenFixture f;
        f.signIn();
        const auto note = f.store->createWithAttachment(f.image(QStringLiteral("pic.png")), Attachment::Kind::Image);
        f.store->setBody(QStringLiteral("# Holiday\n\n") + note->body, note->id, false);
        EditorView editor(note->id, f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs);
        PDFExport::Options options;
        options.toolDirectories = { f.folders.path(QStringLiteral("no-tools")) };
        editor.setPDFOptions(options);
        const QString out = f.folders.path(QStringLiteral("out.pdf"));
        QFile old(out);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        f.dialogs.saveAnswer = out;
        editor.exportPDF();
        QTRY_VERIFY(QFileInfo(out).size() > 1000);
        QFile pdf(out);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(4) == "%PDF");
        QVERIFY(f.dialogs.alerts.isEmpty());
        // A place that cannot be written ends in the alert.
        f.dialogs.saveAnswer = f.folders.path(QStringLiteral("missing/folder/x.pdf"));
        editor.exportPDF();
        QTRY_COMPARE(f.dialogs.alerts.size(), 1);
        QVERIFY(f.dialogs.alerts.first().startsWith(L("editor.export.failed")));
    }

    void exportOneMediaFile_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("existing");
        QTest::newRow("new place") << false << false;
        QTest::newRow("replaces what is there") << false << true;
        QTest::newRow("cancelled") << true << false;
    }
    void exportOneMediaFile()
    {
        QFETCH(bool, cancel);
        QFETCH(bool, existing);
        ScreenFixture f;
        const QString source = f.folders.path(QStringLiteral("take.m4a"));
        QFile in(source);
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write("audio bytes");
        in.close();
        const QString target = f.folders.path(QStringLiteral("exported.m4a"));
        if (existing) {
            QFile out(target);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("older");
        }
        if (!cancel)
            f.dialogs.saveAnswer = target;
        const Date created = Date::fromDateTime(QDateTime(QDate(2026, 3, 1), QTime(9, 30)));
        QCOMPARE(MediaActions::suggestedMediaName(source, Attachment::Kind::Audio, created),
                 L("note.audio") + QStringLiteral("-2026-03-01-0930.m4a"));
        MediaActions::exportMedia(nullptr, &f.dialogs, source, Attachment::Kind::Audio, created);
        QFile out(target);
        if (cancel) {
            QVERIFY(!out.exists());
            return;
        }
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), QByteArray("audio bytes"));
        QVERIFY(f.dialogs.alerts.isEmpty());
    }

    void editorRemovesMediaFromTheMenu()
    {
        ScreenFixture f;
        const auto note = f.store->createWithAttachment(f.image(QStringLiteral("x.png")), Attachment::Kind::Image);
        EditorView editor(note->id, f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs);
        const MediaContext media = editor.mediaContext();
        const QString path = note->mediaPath(note->attachments.first());
        QVERIFY(QFile::exists(media.resolve(path)));
        QCOMPARE(media.resolve(QStringLiteral("../../etc/passwd")), QString());
        // Export goes through the save dialog with the attachment's file.
        const QString target = f.folders.path(QStringLiteral("copy.png"));
        f.dialogs.saveAnswer = target;
        media.exportMedia(path);
        QVERIFY(QFile::exists(target));
        media.remove(path);
        QVERIFY(f.store->note(note->id)->referencedAttachments().isEmpty());
        QVERIFY(!editor.text().contains(path));
    }
};

QTEST_MAIN(MediaBlocksTest)
#include "tst_mediablocks.moc"
