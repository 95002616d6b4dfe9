#include "ScreenFixture.h"

#include "base/Localization.h"
#include "telemetry/Telemetry.h"
#include "media/AudioRecorder.h"
#include "ui/editor/EditorView.h"
#include "ui/widgets/Menu.h"
#include "export/MarkdownExport.h"
#include "ui/editor/MarkdownView.h"
#include "ui/list/NoteListView.h"
#include "ui/share/ShareButton.h"
#include "ui/shell/RootView.h"
#include "ui/style/ScreenStyle.h"
#include "ui/widgets/Notice.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QUndoStack>
#include <QUrlQuery>

#include <QCoro/QCoroTask>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(AppLanguage)

namespace {

QAction *action(QMenu *menu, const QString &text)
{
    for (QAction *entry : menu->actions())
        if (entry->text() == text)
            return entry;
    return nullptr;
}

// The label of a preview whose text (plain, or the rich text's source) contains `needle`.
QLabel *labelWith(QWidget *view, const QString &needle)
{
    for (QLabel *label : view->findChildren<QLabel *>())
        if (label->isVisible() && label->text().contains(needle))
            return label;
    return nullptr;
}

// The darkest grey level of what `widget` draws (0 is black, 255 white).
int darkest(QWidget *widget)
{
    const QImage image = widget->grab().toImage();
    int level = 255;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            level = std::min(level, qGray(image.pixel(x, y)));
    return level;
}

// The first line of `widget`'s drawing with dark ink, in `frame`'s coordinates.
int inkTop(QWidget *widget, QWidget *frame)
{
    const QImage image = widget->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 180)
                return widget->mapTo(frame, QPoint(0, int(y / image.devicePixelRatio()))).y();
    return -1;
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

// Records the addresses QDesktopServices is asked to open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
    UrlRecorder()
    {
        for (const char *scheme : { "http", "https", "mailto", "file", "javascript", "ftp" })
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlRecorder() override
    {
        for (const char *scheme : { "http", "https", "mailto", "file", "javascript", "ftp" })
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }
};

} // namespace

class EditorTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ScreenFixture> f;
    std::unique_ptr<EditorView> editor;

    void open(const QString &id, EditorView::Mode mode = EditorView::Mode::Preview)
    {
        editor = std::make_unique<EditorView>(id, f->store.get(), f->settings.get(), f->sync.get(),
                                              &f->dialogs, &f->telemetry);
        if (mode == EditorView::Mode::Edit)
            editor->setMode(mode);
        editor->resize(380, 520);
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
    }

    // A note the server already shares as "s1" (created through the engine, so the server's
    // link list holds it), open in a signed-in editor that has found the link.
    void openShared()
    {
        f->signIn();
        const QString id = f->store->create(QStringLiteral("shared")).id;
        QVERIFY(QCoro::waitFor(f->sync->publicLink(id)));
        open(id);
        QTRY_COMPARE_WITH_TIMEOUT(editor->publicLink(), std::optional(QUrl(s1)), 5000);
    }
    static inline const QString s1 = QStringLiteral("https://share.example/s1");

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        // No session bus, so no file manager: revealing a file falls back to the desktop's
        // handler, which the offscreen platform does not have.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    }
    void init() { f = std::make_unique<ScreenFixture>(); }
    void cleanup()
    {
        editor.reset();
        f.reset();
        Clock::setNowFunction({});
        Localization::setLanguage(AppLanguage::En);
    }

    void typingReachesTheStore()
    {
        const QString id = f->store->create(QString()).id;
        open(id, EditorView::Mode::Edit);
        QTRY_VERIFY(editor->textEdit()->hasFocus());
        QTest::keyClicks(editor->textEdit(), QStringLiteral("Hello"));
        QCOMPARE(f->store->note(id)->body, QStringLiteral("Hello"));
        QVERIFY(f->store->undoStack()->count() > 0);
        // A no-break space stays what it is.
        QTest::keyClicks(editor->textEdit(), QString(QChar(0x00a0)));
        QCOMPARE(f->store->note(id)->body, QStringLiteral("Hello") + QChar(0x00a0));
    }

    void blankNoteRemovedOnClose_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("withImage");
        QTest::addColumn<bool>("kept");
        QTest::newRow("empty") << "" << false << false;
        QTest::newRow("spaces and line breaks") << "  \n\t\n " << false << false;
        QTest::newRow("text") << "x" << false << true;
        QTest::newRow("only an image reference") << "" << true << true;
    }
    void blankNoteRemovedOnClose()
    {
        QFETCH(QString, body);
        QFETCH(bool, withImage);
        QFETCH(bool, kept);
        QString id;
        if (withImage) {
            id = f->store->createWithAttachment(f->image(QStringLiteral("i.png")), Attachment::Kind::Image)->id;
        } else {
            id = f->store->create(QString()).id;
            open(id, EditorView::Mode::Edit);
            editor->textEdit()->insertPlainText(body); // typed or pasted
        }
        if (!editor)
            open(id);
        editor->closeNote();
        QCOMPARE(f->store->notes().size(), kept ? 1 : 0);
        editor.reset(); // a second close (the destructor) changes nothing
        QCOMPARE(f->store->notes().size(), kept ? 1 : 0);
    }

    void changesFromElsewhereKeepTheCursor()
    {
        const QString id = f->store->create(QStringLiteral("alpha beta")).id;
        open(id, EditorView::Mode::Edit);
        QTextCursor cursor = editor->textEdit()->textCursor();
        cursor.setPosition(3);
        editor->textEdit()->setTextCursor(cursor);
        f->store->setBody(QStringLiteral("alpha beta gamma"), id, false); // e.g. a sync
        QCOMPARE(editor->textEdit()->toPlainText(), QStringLiteral("alpha beta gamma"));
        QCOMPARE(editor->text(), QStringLiteral("alpha beta gamma"));
        QCOMPARE(editor->textEdit()->textCursor().position(), 3);
        // Text inserted before the cursor moves it along with the text.
        f->store->setBody(QStringLiteral(">> alpha beta gamma"), id, false);
        QCOMPARE(editor->textEdit()->textCursor().position(), 6);
        // Applying the change did not send it back as an edit of its own.
        QCOMPARE(f->store->note(id)->body, QStringLiteral(">> alpha beta gamma"));
    }

    void changesFromElsewhereReachThePreview()
    {
        const QString id = f->store->create(QStringLiteral("one")).id;
        open(id);
        QCOMPARE(editor->preview()->blockWidgets().size(), 1);
        f->store->setBody(QStringLiteral("# one\n\ntwo\n\n---"), id, false);
        QCOMPARE(editor->preview()->blockWidgets().size(), 3);
    }

    void deletedElsewhereKeepsTheText()
    {
        const QString id = f->store->create(QStringLiteral("keep me")).id;
        open(id, EditorView::Mode::Edit);
        f->store->deleteNote(id);
        QCOMPARE(editor->text(), QStringLiteral("keep me"));
        QTest::keyClicks(editor->textEdit(), QStringLiteral("!"));
        QCOMPARE(f->store->note(id)->body, QStringLiteral("keep me")); // nothing written back
    }

    void checkboxTogglesReachTheStore()
    {
        const QString id = f->store->create(QStringLiteral("- [ ] first\n- plain\n- [ ] second")).id;
        open(id);
        QCOMPARE(editor->mode(), EditorView::Mode::Preview);
        const auto boxes = editor->preview()->checkboxes();
        QCOMPARE(boxes.size(), 2);
        QVERIFY(boxes[1]->isEnabled());
        QTest::mouseClick(boxes[1], Qt::LeftButton);
        QCOMPARE(f->store->note(id)->body, QStringLiteral("- [ ] first\n- plain\n- [x] second"));
        QCOMPARE(editor->text(), f->store->note(id)->body);
        QCOMPARE(editor->textEdit()->toPlainText(), f->store->note(id)->body);
        QTRY_COMPARE(editor->preview()->checkboxes().size(), 2);
        QCOMPARE(editor->preview()->checkboxes()[1]->property("taskChecked").toBool(), true);
        QCOMPARE(editor->mode(), EditorView::Mode::Preview);
    }

    void checkboxWithoutHandlerIsDisabled()
    {
        MarkdownView view;
        view.setText(QStringLiteral("- [x] done"));
        QCOMPARE(view.checkboxes().size(), 1);
        QVERIFY(!view.checkboxes().first()->isEnabled());
    }

    void previewClickSwitchesToEdit()
    {
        const QString id = f->store->create(QStringLiteral("Some text")).id;
        open(id);
        QWidget *block = editor->preview()->blockWidgets().first();
        QTest::mouseClick(block, Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(editor->mode(), EditorView::Mode::Edit);
        QTRY_VERIFY(editor->textEdit()->hasFocus());
        editor->setMode(EditorView::Mode::Preview);
        QVERIFY(!editor->textEdit()->hasFocus());
    }

    void escapeGoesBack()
    {
        const QString id = f->store->create(QStringLiteral("x")).id;
        open(id, EditorView::Mode::Edit);
        QTRY_VERIFY(editor->textEdit()->hasFocus());
        QSignalSpy back(editor.get(), &EditorView::back);
        QTest::keyClick(editor->textEdit(), Qt::Key_Escape);
        QCOMPARE(back.count(), 1);
    }

    void deleteAsksFirst()
    {
        const QString id = f->store->create(QStringLiteral("doomed")).id;
        open(id);
        QSignalSpy back(editor.get(), &EditorView::back);
        f->dialogs.confirmAnswer = false;
        action(editor->moreMenu(), L("editor.delete"))->trigger();
        QCOMPARE(f->dialogs.confirmations.size(), 1);
        QCOMPARE(f->dialogs.confirmations.first().title, L("editor.delete.title"));
        QCOMPARE(f->store->notes().size(), 1);
        f->dialogs.confirmAnswer = true;
        action(editor->moreMenu(), L("editor.delete"))->trigger();
        QVERIFY(f->store->notes().isEmpty());
        QCOMPARE(back.count(), 1);
    }

    void moreMenuWhileSignedOut()
    {
        const QString id = f->store->create(QStringLiteral("text")).id;
        open(id);
        QMenu *menu = editor->moreMenu();
        QVERIFY(action(menu, L("editor.signedOut.note")));
        QVERIFY(!action(menu, L("editor.signedOut.note"))->isEnabled());
        QVERIFY(!action(menu, L("editor.shareLink"))->isEnabled());
        // Not built yet, so not offered (never shown disabled without a reason).
        // PDF export is offered but needs an account; recording is offered where it can run.
        QVERIFY(action(menu, L("editor.export.pdf")));
        QVERIFY(!action(menu, L("editor.export.pdf"))->isEnabled());
        QCOMPARE(bool(action(menu, L("editor.addAudio"))), AudioRecorder::isAvailable());
        QVERIFY(action(menu, L("editor.addImage"))->isEnabled());
        QVERIFY(!action(menu, L("ai.extractText"))); // no image
    }

    void addImageSwitchesToPreview()
    {
        const QString id = f->store->create(QStringLiteral("text")).id;
        open(id, EditorView::Mode::Edit);
        f->dialogs.openAnswer = QStringList { f->image(QStringLiteral("add.png")) };
        action(editor->moreMenu(), L("editor.addImage"))->trigger();
        QCOMPARE(editor->mode(), EditorView::Mode::Preview);
        QCOMPARE(f->store->note(id)->images().size(), 1);
        QVERIFY(editor->text().contains(QStringLiteral("attachments/") + id));
        // The AI entries come with the AI service: until then they are not shown at all.
        QVERIFY(!action(editor->moreMenu(), L("ai.extractText")));
    }

    void exportMarkdownWithMedia()
    {
        auto note = f->store->createWithAttachment(f->image(QStringLiteral("e.png")), Attachment::Kind::Image);
        QVERIFY(note);
        open(note->id);
        const QString target = f->folders.path(QStringLiteral("out/sub/exported.md"));
        QDir().mkpath(QFileInfo(target).absolutePath());
        f->dialogs.saveAnswer = target;
        editor->exportMarkdown();
        QVERIFY2(f->dialogs.alerts.isEmpty(), qPrintable(f->dialogs.alerts.join(u'|')));
        QCOMPARE(QString::fromUtf8(TestSupport::readFile(target)), editor->text());
        const QString copied = f->folders.path(QStringLiteral("out/sub/attachments/") + note->id + u'/'
                                               + note->attachments.first().filename);
        QVERIFY(QFile::exists(copied));
    }

    void exportIntoTheNotesFolderKeepsTheMedia()
    {
        auto note = f->store->createWithAttachment(f->image(QStringLiteral("k.png")), Attachment::Kind::Image);
        QVERIFY(note);
        const QString media = f->store->liveMediaPath(note->id, note->attachments.first().filename);
        QVERIFY(QFile::exists(media));
        open(note->id);
        f->dialogs.saveAnswer = QDir(f->folders.notes()).filePath(QStringLiteral("copy.md"));
        editor->exportMarkdown();
        QVERIFY(f->dialogs.alerts.isEmpty());
        QVERIFY(QFile::exists(media));
        QVERIFY(!TestSupport::readFile(media).isEmpty());
    }

    void exportRefusesPathsOutsideTheTarget()
    {
        TestSupport::TempFolders folders;
        const QString source = folders.path(QStringLiteral("s.bin"));
        QVERIFY(TestSupport::writeFile(source, "x"));
        const auto result = MarkdownExport::write(QStringLiteral("t"), folders.path(QStringLiteral("out/n.md")),
                                                  { { source, QStringLiteral("attachments/../../escape.bin") } });
        QDir().mkpath(folders.path(QStringLiteral("out")));
        const auto again = MarkdownExport::write(QStringLiteral("t"), folders.path(QStringLiteral("out/n.md")),
                                                 { { source, QStringLiteral("attachments/../../escape.bin") } });
        QVERIFY(!again);
        QVERIFY(!QFile::exists(folders.path(QStringLiteral("escape.bin"))));
        Q_UNUSED(result);
    }

    void exportFailureIsShown()
    {
        const QString id = f->store->create(QStringLiteral("text")).id;
        open(id);
        f->dialogs.saveAnswer = f->folders.path(QStringLiteral("no/such/folder/x.md"));
        editor->exportMarkdown();
        QCOMPARE(f->dialogs.alerts.size(), 1);
        QVERIFY(f->dialogs.alerts.first().startsWith(L("editor.export.failed")));
        QVERIFY(f->dialogs.alerts.first().contains(QStringLiteral("x.md")));
    }

    void shareItems_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("withImage");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("files");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("blank lines only") << "\n\n  \n" << false << "" << 0 << false;
        QTest::newRow("only an image") << "" << true << "" << 1 << true;
        QTest::newRow("text and image") << "Hello\n\n" << true << "Hello" << 1 << true;
        QTest::newRow("text keeps inner blank lines") << "\n a\n\nb \n" << false << "a\n\nb" << 0 << true;
    }
    void shareItems()
    {
        QFETCH(QString, body);
        QFETCH(bool, withImage);
        QFETCH(QString, text);
        QFETCH(int, files);
        QFETCH(bool, enabled);
        QString id;
        if (withImage) {
            auto note = f->store->createWithAttachment(f->image(QStringLiteral("s.png")), Attachment::Kind::Image);
            id = note->id;
            f->store->setBody(body + note->body, id, false);
        } else {
            id = f->store->create(body).id;
        }
        open(id);
        const ShareButton::Items items = editor->shareItems();
        QCOMPARE(items.text, text);
        QCOMPARE(items.files.size(), files);
        for (const QString &file : items.files)
            QVERIFY(QFile::exists(file));
        QCOMPARE(editor->shareButton()->isEnabled(), enabled);
    }

    void shareMenuHoldsThePanelOnce()
    {
        const QString id = f->store->create(QStringLiteral("Share me")).id;
        open(id);
        QSignalSpy hold(&f->dialogs, &Dialogs::holdPanel);
        QSignalSpy release(&f->dialogs, &Dialogs::releasePanel);
        QMenu *menu = editor->shareButton()->shareMenu();
        menu->popup(editor->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(hold.count(), 1);
        menu->hide();
        menu->close();
        QCOMPARE(release.count(), 1);
        action(menu, L("share.copyText"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Share me"));
        QCOMPARE(editor->notice()->message(), L("share.copied.text"));
    }

    void emailEncodesTheText()
    {
        const QUrl url = ShareButton::mailtoUrl(QStringLiteral("a&b=c + d#e\nnext"));
        QCOMPARE(url.scheme(), QStringLiteral("mailto"));
        QCOMPARE(QUrlQuery(url).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
                 QStringLiteral("a&b=c + d#e\nnext"));
        QVERIFY(!url.toString(QUrl::FullyEncoded).contains(u'+'));
    }

    void onlySafeLinksOpen_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("opens");
        QTest::newRow("https") << "https://example.org/a" << true;
        QTest::newRow("http") << "http://example.org" << true;
        QTest::newRow("mailto") << "mailto:me@example.org" << true;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("ftp") << "ftp://example.org" << false;
    }
    void onlySafeLinksOpen()
    {
        QFETCH(QString, link);
        QFETCH(bool, opens);
        UrlRecorder recorder;
        QCOMPARE(MarkdownView::openLink(QUrl(link)), opens);
        QCOMPARE(recorder.urls.size(), opens ? 1 : 0);
    }

    void previewBlocks()
    {
        MarkdownView view;
        view.setText(QStringLiteral("# Title with `code`\n\npara **bold**\n\n1. one\n> quoted\n\n```\n**raw**\n```\n\n![](attachments/abc/x.png)\n\n---"));
        const auto blocks = view.blockWidgets();
        QCOMPARE(blocks.size(), 7);
        auto *heading = qobject_cast<QLabel *>(blocks[0]);
        QVERIFY(heading);
        QVERIFY(heading->text().contains(QStringLiteral("<code style=")));
        QVERIFY(heading->text().contains(QStringLiteral(">code</code>")));
        QCOMPARE(heading->font().pixelSize(), 20);
        QCOMPARE(heading->accessibleDescription(), L("editor.preview.heading", 1));
        QVERIFY(qobject_cast<QLabel *>(blocks[1])->text().contains(QStringLiteral("<strong>bold</strong>")));
        auto *code = qobject_cast<QLabel *>(blocks[4]);
        QVERIFY(code);
        QCOMPARE(code->textFormat(), Qt::PlainText);
        QCOMPARE(code->text(), QStringLiteral("**raw**"));
        auto *image = qobject_cast<QLabel *>(blocks[5]);
        QCOMPARE(image->text(), QStringLiteral("attachments/abc/x.png"));
    }

    // ---- share links ---------------------------------------------------------------------

    void shareLinkEntry_data() { ScreenFixture::shareLinkEntryRows(); }
    void shareLinkEntry()
    {
        QFETCH(bool, signedIn);
        QFETCH(bool, enabled);
        const QString id = f->shareLinkEntryNote();
        if (QTest::currentTestFailed())
            return;
        open(id);
        QMenu *menu = editor->moreMenu();
        QCOMPARE(action(menu, L("editor.signedOut.note")) != nullptr, !signedIn);
        QAction *share = action(menu, L("editor.shareLink"));
        QVERIFY(share);
        QCOMPARE(share->isEnabled(), enabled);
        QCOMPARE(share->toolTip(), L("editor.shareLink.hint"));
        QVERIFY(!action(menu, L("editor.shareLink.stop"))); // not shared
    }

    void copyPublicLink_data()
    {
        QTest::addColumn<bool>("syncedBefore");
        QTest::addColumn<bool>("typedAfter");
        QTest::addColumn<bool>("syncsFirst");
        QTest::newRow("never synced") << false << false << true;
        QTest::newRow("clean") << true << false << false;
        QTest::newRow("typed in after a sync") << true << true << true;
    }
    void copyPublicLink()
    {
        QFETCH(bool, syncedBefore);
        QFETCH(bool, typedAfter);
        QFETCH(bool, syncsFirst);
        f->signIn();
        const QString id = f->store->create(QStringLiteral("shared")).id;
        if (syncedBefore) {
            QSignalSpy synced(f->sync.get(), &SyncEngine::syncFinished);
            f->sync->sync();
            QVERIFY(synced.wait(10000));
        }
        open(id, typedAfter ? EditorView::Mode::Edit : EditorView::Mode::Preview);
        if (typedAfter)
            QTest::keyClicks(editor->textEdit(), QStringLiteral("!"));
        f->server->clearRequests();
        QSignalSpy recorded(&f->telemetry, &Telemetry::recorded);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));

        action(editor->moreMenu(), L("editor.shareLink"))->trigger();
        QVERIFY(editor->isSharing());
        QVERIFY(!action(editor->moreMenu(), L("editor.shareLink"))->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!editor->isSharing(), 10000);

        QCOMPARE(QGuiApplication::clipboard()->text(), s1);
        QCOMPARE(editor->publicLink(), std::optional(QUrl(s1)));
        QCOMPARE(editor->notice()->message(), L("editor.shareLink.copied"));
        QList<QVariantMap> shared; // a sync records its own events
        for (const auto &event : recorded)
            if (event.at(0).toString() == u"note_shared")
                shared << event.at(1).toMap();
        QCOMPARE(shared,
                 (QList<QVariantMap> { { { QStringLiteral("how"), QStringLiteral("link") } } }));
        QStringList posts;
        for (const auto &request : f->server->requests())
            if (request.method == "POST")
                posts << request.path;
        QCOMPARE(posts.join(u' '),
                 syncsFirst ? QStringLiteral("/v1/sync /v1/shares") : QStringLiteral("/v1/shares"));
        QAction *stop = action(editor->moreMenu(), L("editor.shareLink.stop"));
        QVERIFY(stop);
        QVERIFY(stop->isEnabled());
    }

    void shareFailureKeepsTheLink_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("copy") << false;
        QTest::newRow("stop sharing") << true;
    }
    void shareFailureKeepsTheLink()
    {
        QFETCH(bool, stop);
        openShared();
        if (QTest::currentTestFailed())
            return;
        f->server->enqueue(
            "POST", stop ? QStringLiteral("/v1/shares/s1/revoke") : QStringLiteral("/v1/shares"),
            TestSupport::HttpResponse::text("{}", 500));
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        stop ? editor->stopSharing() : editor->copyPublicLink();
        QVERIFY(editor->isSharing());
        QTRY_VERIFY_WITH_TIMEOUT(!editor->isSharing(), 10000);
        QCOMPARE(editor->notice()->message(), APIError::server(500, {}).description());
        QCOMPARE(editor->publicLink(), std::optional(QUrl(s1)));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    }

    void linkEnds_data()
    {
        QTest::addColumn<bool>("signOut");
        QTest::newRow("stop sharing") << false;
        QTest::newRow("sign out") << true; // the live-link query runs again and finds none
    }
    void linkEnds()
    {
        QFETCH(bool, signOut);
        openShared();
        if (QTest::currentTestFailed())
            return;
        if (signOut)
            f->sync->signOut();
        else
            action(editor->moreMenu(), L("editor.shareLink.stop"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(editor->publicLink(), std::nullopt, 10000);
        QVERIFY(!editor->isSharing());
        QCOMPARE(editor->notice()->message(), signOut ? QString() : L("editor.shareLink.stopped"));
        QCOMPARE(f->server->requests(QStringLiteral("/v1/shares/s1/revoke")).size(),
                 signOut ? 0 : 1);
        QMenu *menu = editor->moreMenu();
        QVERIFY(!action(menu, L("editor.shareLink.stop")));
        QCOMPARE(action(menu, L("editor.shareLink"))->isEnabled(), !signOut);
    }

    void lateLiveLinksAnswerAfterSignOutIsDropped()
    {
        f->signIn();
        const QString id = f->store->create(QStringLiteral("shared")).id;
        QVERIFY(QCoro::waitFor(f->sync->publicLink(id)));
        // The editor's question reaches the server before the sign-out, its answer (still
        // naming the link) comes after.
        auto late = TestSupport::sharesAnswer(f->links);
        late.delayMs = 1000;
        f->server->enqueue("GET", QStringLiteral("/v1/shares"), late);
        const auto answered = f->countAnswers("GET", QStringLiteral("/v1/shares"));
        open(id);
        f->sync->signOut();
        QTRY_VERIFY_WITH_TIMEOUT(!f->sync->account(), 10000);
        QCOMPARE(*answered, 0);
        QTRY_COMPARE_WITH_TIMEOUT(*answered, 1, 10000);
        QCOMPARE(editor->publicLink(), std::nullopt);
    }

    void editorGoneBeforeTheAnswer()
    {
        f->signIn();
        const QString id = f->store->create(QStringLiteral("shared")).id;
        auto slow
            = TestSupport::HttpResponse::json(TestSupport::shareLinkJson(QStringLiteral("s9")));
        slow.delayMs = 200;
        f->server->enqueue("POST", QStringLiteral("/v1/shares"), slow);
        const auto answered = f->countAnswers("POST", QStringLiteral("/v1/shares"));
        open(id);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        editor->copyPublicLink();
        editor.reset(); // back to the list while the request runs
        QTRY_COMPARE_WITH_TIMEOUT(*answered, 1, 10000);
        // The link the user asked for still reaches the clipboard; nothing else is touched.
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("https://share.example/s9"));
        QCOMPARE(f->store->notes().size(), 1);
    }

    // ---- one undo history ----------------------------------------------------------------

    void undoNeverRevertsTextFromElsewhere_data()
    {
        QTest::addColumn<bool>("sync"); // else an edit made without undo (another program)
        QTest::newRow("sync") << true;
        QTest::newRow("edit without undo") << false;
    }
    void undoNeverRevertsTextFromElsewhere()
    {
        QFETCH(bool, sync);
        double now = 100;
        Clock::setNowFunction([&now] { return Date { now }; });
        const QString id = f->store->create(QStringLiteral("base")).id;
        open(id, EditorView::Mode::Edit);
        QTRY_VERIFY(editor->textEdit()->hasFocus());
        QTest::keyClicks(editor->textEdit(), QStringLiteral(" mine"));
        QCOMPARE(f->store->note(id)->body, QStringLiteral("base mine"));
        const QString theirs = QStringLiteral("the other device's text");
        if (sync)
            f->store->applyRemote(remoteNote(id, theirs, 200));
        else
            f->store->setBody(theirs, id, false);
        QCOMPARE(editor->textEdit()->toPlainText(), theirs);

        QTest::keyClick(editor->textEdit(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f->store->note(id)->body, theirs);
        QCOMPARE(editor->textEdit()->toPlainText(), theirs);

        // The user's own edit after the merge is one step of the store's history.
        now = 300;
        QTest::keyClick(editor->textEdit(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(editor->textEdit(), QStringLiteral("!"));
        QCOMPARE(f->store->note(id)->body, theirs + u'!');
        QTest::keyClick(editor->textEdit(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f->store->note(id)->body, theirs);
        QCOMPARE(editor->textEdit()->toPlainText(), theirs);
        QCOMPARE(editor->textEdit()->textCursor().position(), theirs.size());
        QTest::keyClick(editor->textEdit(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f->store->note(id)->body, theirs);
        QTest::keyClick(editor->textEdit(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f->store->note(id)->body, theirs + u'!');
        QCOMPARE(editor->textEdit()->toPlainText(), theirs + u'!');
        QTest::keyClick(editor->textEdit(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(editor->textEdit(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(f->store->note(id)->body, theirs + u'!');
        QVERIFY(!editor->textEdit()->document()->isUndoRedoEnabled());
    }

    void taskBoxToggleIsOneStoreStep()
    {
        const QString id = f->store->create(QStringLiteral("- [ ] task")).id;
        open(id);
        QTest::mouseClick(editor->preview()->checkboxes().first(), Qt::LeftButton);
        QCOMPARE(f->store->note(id)->body, QStringLiteral("- [x] task"));
        QCOMPARE(f->store->undoStack()->count(), 1);
        editor->setMode(EditorView::Mode::Edit);
        QTRY_VERIFY(editor->textEdit()->hasFocus());
        QTest::keyClick(editor->textEdit(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f->store->note(id)->body, QStringLiteral("- [ ] task"));
        QCOMPARE(f->store->undoStack()->index(), 0); // the store's step, undone
        QCOMPARE(f->store->undoStack()->count(), 1);
        // Nothing else to undo: the box's text never became a step of the field's own.
        QTest::keyClick(editor->textEdit(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f->store->note(id)->body, QStringLiteral("- [ ] task"));
        QCOMPARE(editor->textEdit()->toPlainText(), QStringLiteral("- [ ] task"));
    }

    void textMenuUndoDrivesTheStore()
    {
        const QString id = f->store->create(QString()).id;
        open(id, EditorView::Mode::Edit);
        QTRY_VERIFY(editor->textEdit()->hasFocus());
        QTest::keyClicks(editor->textEdit(), QStringLiteral("ab"));
        std::unique_ptr<QMenu> menu(editor->textMenu(QPoint(2, 2)));
        QAction *undo = action(menu.get(), L("menu.undo"));
        QVERIFY(undo);
        QVERIFY(undo->isEnabled());
        QVERIFY(!action(menu.get(), L("menu.redo"))->isEnabled());
        for (QAction *entry : menu->actions()) // the field's own entries are gone
            QVERIFY(entry->objectName() != u"edit-undo" && entry->objectName() != u"edit-redo");
        undo->trigger();
        QCOMPARE(f->store->note(id)->body, QStringLiteral("a"));
        menu.reset(editor->textMenu(QPoint(2, 2)));
        action(menu.get(), L("menu.redo"))->trigger();
        QCOMPARE(f->store->note(id)->body, QStringLiteral("ab"));
    }

    // ---- focus and caret -----------------------------------------------------------------

    void focusReturnsWhenThePanelOpensAgain_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::newRow("edit mode") << true;
        QTest::newRow("preview mode") << false;
    }
    void focusReturnsWhenThePanelOpensAgain()
    {
        QFETCH(bool, edit);
        const QString id = f->store->create(QStringLiteral("text")).id;
        ScreenEnvironment environment {
            f->store.get(), f->sync.get(), f->settings.get(), &f->dialogs, {}
        };
        RootView root(environment, ScreenFactories::standard());
        root.setScreen(Screen::editor(id, edit, false));
        root.resize(380, 520);
        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));
        auto *view = root.findChild<EditorView *>();
        QVERIFY(view);
        if (edit)
            QTRY_VERIFY(view->textEdit()->hasFocus());
        // The panel closes as another window takes the focus, and opens again; opening it
        // focuses the screen.
        root.hide();
        QWidget elsewhere;
        elsewhere.show();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        root.show();
        root.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&root));
        root.focusScreen();
        if (edit) {
            QTRY_VERIFY(view->textEdit()->hasFocus());
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("!"));
            QCOMPARE(f->store->note(id)->body, QStringLiteral("text!"));
        } else {
            // The page, which scrolls with the keys, not the editor's frame.
            QWidget *focused = QApplication::focusWidget();
            QVERIFY(focused && focused != view && view->isAncestorOf(focused));
            QVERIFY(focused->focusPolicy() & Qt::TabFocus);
            QVERIFY(!view->textEdit()->hasFocus());
        }
    }

    void noteFromTheSearchQueryTypesAtTheEnd()
    {
        f->store->create(QStringLiteral("something else"));
        ScreenEnvironment environment {
            f->store.get(), f->sync.get(), f->settings.get(), &f->dialogs, {}
        };
        RootView root(environment, ScreenFactories::standard());
        root.resize(380, 520);
        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));
        auto *list = root.findChild<NoteListView *>();
        QVERIFY(list);
        QTest::keyClicks(list->searchField(), QStringLiteral("buy stamps"));
        QTest::keyClick(list->searchField(), Qt::Key_Return);
        QCOMPARE(root.screen().kind, Screen::Kind::Editor);
        QTRY_VERIFY(root.findChild<EditorView *>()
                    && root.findChild<EditorView *>()->textEdit()->hasFocus());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" today"));
        QCOMPARE(f->store->note(root.screen().noteId)->body, QStringLiteral("buy stamps today"));
    }

    // ---- look ----------------------------------------------------------------------------

    void modeLabelsFit_data()
    {
        QTest::addColumn<AppLanguage>("language");
        QTest::newRow("en") << AppLanguage::En;
        QTest::newRow("es") << AppLanguage::Es;
        QTest::newRow("pt_BR") << AppLanguage::Pt;
    }
    void modeLabelsFit()
    {
        QFETCH(AppLanguage, language);
        Localization::setLanguage(language);
        const QString id = f->store->create(QStringLiteral("text")).id;
        open(id);
        for (const char *name : { "editTab", "previewTab" }) {
            auto *tab = editor->findChild<QToolButton *>(QLatin1String(name));
            QVERIFY(tab);
            const int text = tab->fontMetrics().horizontalAdvance(tab->text());
            QVERIFY2(tab->width() >= tab->sizeHint().width() && tab->width() >= text + 12,
                     qPrintable(QStringLiteral("%1: %2 px for %3 px of text")
                                    .arg(tab->text())
                                    .arg(tab->width())
                                    .arg(text)));
        }
        // The wider switch still leaves the whole toolbar inside the panel.
        QVERIFY2(editor->minimumSizeHint().width() <= 380,
                 qPrintable(QString::number(editor->minimumSizeHint().width())));
        QCOMPARE(editor->width(), 380);
        QToolButton *more = nullptr;
        for (auto *button : editor->findChildren<QToolButton *>())
            if (button->toolTip() == L("editor.more"))
                more = button;
        QVERIFY(more);
        QVERIFY(more->mapTo(editor.get(), QPoint(more->width(), 0)).x() <= editor->width());
    }

    void secondaryColourIsLighterThanText_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("needle");
        QTest::newRow("quote") << "> quoted words"
                               << "quoted words";
        QTest::newRow("checked task") << "- [x] finished task"
                                      << "finished task";
        QTest::newRow("ordered marker") << "1. item"
                                        << "1.";
        QTest::newRow("bullet") << "- item"
                                << "•";
        QTest::newRow("image caption") << "![Holiday](attachments/abc/x.png)"
                                       << "Holiday";
    }
    void secondaryColourIsLighterThanText()
    {
        QFETCH(QString, body);
        QFETCH(QString, needle);
        MarkdownView view;
        view.resize(300, 200);
        view.setText(QStringLiteral("Body text\n\n") + body);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QLabel *secondary = labelWith(&view, needle);
        QVERIFY(secondary);
        const int text = darkest(labelWith(&view, QStringLiteral("Body text")));
        const int expected = qGray(ScreenStyle::secondaryOnWindow(view.palette()).rgb());
        QVERIFY2(ScreenStyle::isDark(view.palette()) || expected > text + 60,
                 qPrintable(QString::number(expected)));
        // The half-transparent placeholder colour keeps its lightness instead of going black.
        const int drawn = darkest(secondary);
        QVERIFY2(std::abs(drawn - expected) <= 12,
                 qPrintable(QStringLiteral("drawn %1, expected %2, text %3")
                                .arg(drawn)
                                .arg(expected)
                                .arg(text)));
    }

    void inlineCodeIsStyled()
    {
        MarkdownView view;
        view.resize(300, 200);
        view.setText(QStringLiteral("some `inline` words"));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QLabel *label = labelWith(&view, QStringLiteral("inline"));
        QVERIFY(label);
        QTextDocument document;
        document.setDefaultFont(label->font());
        document.setHtml(label->text());
        const QTextCursor code = document.find(QStringLiteral("inline"));
        QVERIFY(!code.isNull());
        const QTextCharFormat format = code.charFormat();
        const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
        QVERIFY2(format.fontFamilies().toStringList().contains(fixed),
                 qPrintable(format.fontFamilies().toStringList().join(u',')));
        QVERIFY(QFontInfo(format.font()).fixedPitch());
        QCOMPARE(format.background().style(), Qt::SolidPattern);
        const QColor background = format.background().color();
        QVERIFY(background != view.palette().color(QPalette::Window));
        // And the background is drawn.
        const QImage image = label->grab().toImage();
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                painted += QColor(image.pixel(x, y)) == background;
        QVERIFY2(painted > 20, qPrintable(QString::number(painted)));
        const QTextCursor words = document.find(QStringLiteral("words"));
        QCOMPARE(words.charFormat().background().style(), Qt::NoBrush);
    }

    void listTextStartsLevelWithItsMarker_data()
    {
        QTest::addColumn<QString>("body");
        QTest::newRow("ordered with code") << "1. plain text with a longer line that wraps over "
                                              "`several` lines because it is long";
        QTest::newRow("ordered, code first")
            << "1. `std::vector<int>` holds `a` lot of numbers in a row here";
        QTest::newRow("bullet with code")
            << "- plain text with a longer line that wraps over `several` lines because it is long";
    }
    void listTextStartsLevelWithItsMarker()
    {
        QFETCH(QString, body);
        MarkdownView view;
        view.resize(200, 300);
        view.setText(QStringLiteral("1. `code` and text\n\n") + body);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QWidget *row = view.blockWidgets().last();
        const auto labels = row->findChildren<QLabel *>();
        QCOMPARE(labels.size(), 2);
        const int marker = inkTop(labels[0], row);
        const int text = inkTop(labels[1], row);
        QVERIFY(marker >= 0 && text >= 0);
        QVERIFY2(
            std::abs(marker - text) <= 3,
            qPrintable(QStringLiteral("marker ink at %1, text ink at %2").arg(marker).arg(text)));
        // No gap under the text either: the row is as tall as its lines.
        QCOMPARE(labels[1]->height(), labels[1]->heightForWidth(labels[1]->width()));
    }

    // ---- accessibility -------------------------------------------------------------------

    void taskBoxesAreNamedByTheirTask()
    {
        MarkdownView view;
        view.setText(QStringLiteral("- [ ] buy **milk**\n- [x] call `Ana`\n- [ ] "));
        const auto boxes = view.checkboxes();
        QCOMPARE(boxes.size(), 3);
        QCOMPARE(boxes[0]->accessibleName(), QStringLiteral("buy milk"));
        QCOMPARE(boxes[0]->accessibleDescription(), L("editor.checkbox.unchecked"));
        QVERIFY(boxes[0]->isCheckable() && !boxes[0]->isChecked());
        QCOMPARE(boxes[1]->accessibleName(), QStringLiteral("call Ana"));
        QCOMPARE(boxes[1]->accessibleDescription(), L("editor.checkbox.checked"));
        QVERIFY(boxes[1]->isChecked());
        QCOMPARE(boxes[2]->accessibleName(),
                 L("editor.checkbox.unchecked")); // no text to name it by
    }

    void onlyInteractiveItemsAreTabStops()
    {
        const QString id
            = f->store
                  ->create(QStringLiteral("# Heading\n\nIntro words\n\n- [ ] first\n\nSee [the "
                                          "site](https://example.org) now\n\n"
                                          "plain words\n\n1. ordered\n\n> quoted\n\n- [x] second"))
                  .id;
        open(id);
        editor->setFocus(); // as the root does: the preview takes it
        QTRY_VERIFY(editor->isAncestorOf(QApplication::focusWidget()));
        QList<QWidget *> stops;
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *focused = QApplication::focusWidget();
            if (editor->preview()->isAncestorOf(focused)) {
                if (!stops.contains(focused))
                    stops << focused;
            } else if (!stops.isEmpty()) {
                break; // out of the page again
            }
        }
        const auto boxes = editor->preview()->checkboxes();
        QCOMPARE(boxes.size(), 2);
        QLabel *link = labelWith(editor->preview(), QStringLiteral("the site"));
        QVERIFY(link);
        QCOMPARE(stops, (QList<QWidget *> { boxes[0], link, boxes[1] }));
        for (QLabel *label : editor->preview()->findChildren<QLabel *>())
            if (label != link)
                QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    }

    void destructiveEntriesAreRed()
    {
        const QString id = f->store->create(QStringLiteral("text")).id;
        open(id);
        QMenu *menu = editor->moreMenu();
        for (QAction *entry : menu->actions())
            QCOMPARE(Menu::isDestructive(entry), entry->text() == L("editor.delete"));
        menu->popup(editor->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(menu->isVisible());
        const QImage image = menu->grab().toImage();
        const auto reddish = [&](QAction *entry) {
            const QRect area = menu->actionGeometry(entry);
            int count = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x) {
                    const QColor c(image.pixel(x, y));
                    count += c.red() > 150 && c.red() > c.green() + 70 && c.red() > c.blue() + 60;
                }
            return count;
        };
        QVERIFY(reddish(action(menu, L("editor.delete"))) > 10);
        QCOMPARE(reddish(action(menu, L("editor.export.text"))), 0);
        menu->hide();
    }

    // ---- failures in words ---------------------------------------------------------------

    void linkWithoutProgramSaysSo()
    {
        QVERIFY2(!QDesktopServices::openUrl(QUrl(QStringLiteral("https://example.org"))),
                 "the offscreen platform opens no addresses");
        const QString id
            = f->store->create(QStringLiteral("See [the site](https://example.org/a)")).id;
        open(id);
        QLabel *link = labelWith(editor->preview(), QStringLiteral("the site"));
        QVERIFY(link);
        link->setFocus(Qt::TabFocusReason);
        QTest::keyClick(link, Qt::Key_Tab); // selects the link
        QTest::keyClick(link, Qt::Key_Return);
        QCOMPARE(editor->notice()->message(),
                 L("editor.link.failed", QStringLiteral("https://example.org/a")));
    }

    void shareWithoutProgramSaysSo_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("notice");
        QTest::newRow("e-mail") << L("share.email") << L("share.email.failed");
        QTest::newRow("show files") << L("share.showFiles") << L("share.showFiles.failed");
    }
    void shareWithoutProgramSaysSo()
    {
        QFETCH(QString, entry);
        QFETCH(QString, notice);
        auto note = f->store->createWithAttachment(f->image(QStringLiteral("s.png")),
                                                   Attachment::Kind::Image);
        QVERIFY(note);
        f->store->setBody(QStringLiteral("Text\n") + note->body, note->id, false);
        open(note->id);
        QAction *share = action(editor->shareButton()->shareMenu(), entry);
        QVERIFY(share && share->isEnabled());
        share->trigger();
        QCOMPARE(editor->notice()->message(), notice);
    }

    void revealWithoutFileManagerSaysSo_data()
    {
        QTest::addColumn<bool>("withFile");
        QTest::newRow("the note's file") << true;
        QTest::newRow("the notes folder") << false;
    }
    void revealWithoutFileManagerSaysSo()
    {
        QFETCH(bool, withFile);
        const QString id = f->store->create(QStringLiteral("text")).id;
        if (!withFile) {
            f->store->flush();
            QVERIFY(f->store->filePath(id));
            QVERIFY(QFile::remove(*f->store->filePath(id)));
            QVERIFY(!f->store->filePath(id));
        }
        open(id);
        action(editor->moreMenu(), L("editor.reveal"))->trigger();
        QCOMPARE(editor->notice()->message(), L("editor.reveal.failed"));
    }

    void everyControlIsDescribed()
    {
        const QString id = f->store->create(QStringLiteral("- [ ] task")).id;
        open(id);
        for (auto *button : editor->findChildren<QAbstractButton *>()) {
            if (!button->isVisibleTo(editor.get()))
                continue;
            QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->objectName()));
            QVERIFY2(!button->toolTip().isEmpty(), qPrintable(button->objectName()));
        }
        QVERIFY(!editor->textEdit()->accessibleName().isEmpty());
    }
};

QTEST_MAIN(EditorTest)
#include "tst_editor.moc"
