// Renders the screens offscreen in a light and a dark palette. With SCRIVEL_SCREENSHOT_DIR set
// the pictures are written there (docs/screenshots is made this way); without, the test only
// checks that every screen renders at the panel's width in both palettes.
#include "ScreenFixture.h"
#include "PulseAudioServer.h"

#include "export/PDFExport.h"
#include "media/AudioPlayer.h"
#include "ui/editor/MarkdownView.h"
#include "ui/media/AudioBlockView.h"
#include "ui/media/ImageBlockView.h"
#include "ui/recording/RecordingView.h"

#include "base/Localization.h"
#include "media/Thumbnails.h"
#include "telemetry/Telemetry.h"
#include "ai/AIService.h"
#include "ai/local/LocalEngine.h"
#include "ui/account/AISettingsSection.h"
#include "ScriptedHotKeys.h"
#include "platform/HotKeyManager.h"
#include "ui/account/AccountView.h"
#include "ui/ai/AIConsent.h"
#include "ui/ai/AIResultPanel.h"
#include "ui/editor/EditorView.h"
#include "ui/feedback/FeedbackView.h"
#include "ui/list/NoteListView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QScrollArea>
#include <QScrollBar>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <QCoro/QCoroTask>

namespace {

QPalette darkPalette()
{
    QPalette p;
    const QColor window(37, 37, 40), base(30, 30, 32), text(235, 235, 240);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window.lighter(110));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window.lighter(115));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(10, 132, 255));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(150, 150, 158));
    p.setColor(QPalette::ToolTipBase, QColor(58, 58, 62));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Mid, QColor(80, 80, 86));
    p.setColor(QPalette::Link, QColor(64, 156, 255));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(110, 110, 116));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(110, 110, 116));
    // Menus draw disabled entries in Text, etched with Light: without these they come out
    // bright on the dark background.
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(110, 110, 116));
    p.setColor(QPalette::Light, window.lighter(135));
    p.setColor(QPalette::Midlight, window.lighter(120));
    p.setColor(QPalette::Dark, window.darker(150));
    p.setColor(QPalette::Shadow, Qt::black);
    return p;
}

} // namespace

class ScreenshotsTest : public QObject
{
    Q_OBJECT

    QString m_dir;
    QPalette m_light;
    PulseAudioServer m_pulse;
    QString m_pulseProblem;

    void save(QWidget *widget, const QString &name)
    {
        QCoreApplication::processEvents();
        const QPixmap picture = widget->grab();
        QCOMPARE(picture.width(), 380);
        if (!m_dir.isEmpty())
            QVERIFY(picture.save(QDir(m_dir).filePath(name + QStringLiteral(".png"))));
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        m_light = QApplication::style()->standardPalette();
        // Before anything touches QtMultimedia: the recording screen records from it.
        m_pulseProblem = m_pulse.start();
        m_dir = qEnvironmentVariable("SCRIVEL_SCREENSHOT_DIR");
        if (!m_dir.isEmpty())
            QDir().mkpath(m_dir);
    }

    void screens_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void screens()
    {
        QFETCH(bool, dark);
        QApplication::setPalette(dark ? darkPalette() : m_light);
        const QString suffix = dark ? QStringLiteral("-dark") : QStringLiteral("-light");
        ScreenFixture f;
        Clock::setNowFunction([] { return Date { 790000000 }; });
        {
            NoteListView empty(f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs);
            empty.resize(380, 520);
            empty.show();
            save(&empty, QStringLiteral("list-empty") + suffix);
        }
        const double base = 790000000;
        auto add = [&](const QString &body, double ago) {
            Clock::setNowFunction([=] { return Date { base - ago }; });
            const QString id = f.store->create(body).id;
            return id;
        };
        add(QStringLiteral("Weekend plans\nHike on Saturday morning, then lunch by the lake."), 86400 * 3);
        add(QStringLiteral("# Groceries\n- [x] Milk\n- [ ] Eggs\n- [ ] Bread"), 3600 * 5);
        add(QStringLiteral("Book list\nThe Left Hand of Darkness, Piranesi, The Dispossessed"), 86400 * 40);
        Clock::setNowFunction([=] { return Date { base - 600 }; });
        auto image = f.store->createWithAttachment(f.image(QStringLiteral("sunset.png"), { 320, 200 }, QColor(240, 140, 60)),
                                                   Attachment::Kind::Image);
        const QString editorNote = add(QStringLiteral(
            "# Release checklist\n\nShip **version 2** before *Friday*, see https://example.org.\n\n"
            "## Tasks\n- [x] Write the notes\n- [ ] Tag the build\n- Plain bullet\n1. First\n2. Second\n\n"
            "> Small steps, often.\n\n```\nninja -C build\nctest --output-on-failure\n```\n\n---\n\n"
            "![Whiteboard](attachments/0123456789ab/missing.png)"), 90);
        Clock::setNowFunction([=] { return Date { base }; });
        Q_UNUSED(image);
        {
            NoteListView list(f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs);
            list.resize(380, 520);
            list.show();
            QTRY_VERIFY_WITH_TIMEOUT(!Thumbnails::shared().cached(
                                         f.store->liveMediaPath(image->id, image->attachments.first().filename)).isNull(), 5000);
            list.listView()->viewport()->update();
            save(&list, QStringLiteral("list") + suffix);
            list.setConflictCount(1);
            save(&list, QStringLiteral("list-conflict") + suffix);
            list.setConflictCount(0);
            list.setTagFilter(Note::Tag::Image);
            save(&list, QStringLiteral("list-filtered") + suffix);
            list.setTagFilter(std::nullopt);
            list.setQuery(QStringLiteral("zebra"));
            save(&list, QStringLiteral("list-no-result") + suffix);
            list.setQuery(QString());
            f.store->setLastError(L("store.error.save", QStringLiteral("Groceries"),
                                    QStringLiteral("No space left on device")));
            save(&list, QStringLiteral("list-error") + suffix);
            f.store->setLastError(QString());
            list.showNotice(QStringLiteral("Notice text"));
            QTest::qWait(250);
            save(&list, QStringLiteral("list-notice") + suffix);
        }
        {
            // A drive or a sync tool took most of the files at once: the store holds the notes.
            ScreenFixture held;
            QStringList ids;
            for (int i = 0; i < 10; ++i) {
                Clock::setNowFunction([=] { return Date { base - 86400.0 * (10 - i) }; });
                ids << held.store->create(QStringLiteral("Meeting notes %1\nAgenda, decisions and follow-ups.").arg(i + 1)).id;
            }
            Clock::setNowFunction([=] { return Date { base }; });
            held.store->flush();
            for (int i = 0; i < 7; ++i)
                QVERIFY(QFile::remove(*held.store->filePath(ids[i])));
            held.store->rescan(true);
            QCOMPARE(held.store->massDeletionHeld().size(), 7);
            NoteListView list(held.store.get(), held.settings.get(), held.sync.get(), &held.dialogs);
            list.resize(380, 520);
            list.show();
            save(&list, QStringLiteral("list-deletion-held") + suffix);
        }
        {
            f.store->deleteNote(f.store->notes().last().id);
            NoteListView trash(f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs);
            trash.setTrashMode(true);
            trash.resize(380, 520);
            trash.show();
            save(&trash, QStringLiteral("trash") + suffix);
        }
        {
            EditorView editor(editorNote, f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs);
            editor.resize(380, 620);
            editor.show();
            // Images decode off the main thread: the picture shows them as a user sees them.
            for (ImageBlockView *block : editor.preview()->findChildren<ImageBlockView *>())
                QTRY_VERIFY(block->isLoaded());
            QApplication::processEvents();
            save(&editor, QStringLiteral("editor-preview") + suffix);
            editor.setMode(EditorView::Mode::Edit);
            save(&editor, QStringLiteral("editor-edit") + suffix);
        }
        Clock::setNowFunction({});
    }

    // The account screen signed out (a healthy server offering Google sign-in) and signed in
    // (usage, pending uploads, telemetry offered), each from its top.
    void accountScreens_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("signedIn");
        QTest::newRow("signed out, light") << false << false;
        QTest::newRow("signed out, dark") << true << false;
        QTest::newRow("signed in, light") << false << true;
        QTest::newRow("signed in, dark") << true << true;
    }
    void accountScreens()
    {
        using namespace std::chrono_literals;
        QFETCH(bool, dark);
        QFETCH(bool, signedIn);
        QApplication::setPalette(dark ? darkPalette() : m_light);
        ScreenFixture f;
        TestSupport::HealthOptions health;
        health.version = QStringLiteral("1.4.2");
        health.media = true;
        health.googleClientId = QStringLiteral("client.apps.googleusercontent.com");
        health.termsUrl = QStringLiteral("https://example.org/terms");
        f.server = std::make_unique<TestSupport::TestHttpServer>();
        QVERIFY(f.server->listen());
        f.server->setHandler([&f, health](const TestSupport::HttpRequest &request) {
            if (request.path == u"/health")
                return TestSupport::healthAnswer(health);
            if (request.path == u"/v1/auth/me")
                return TestSupport::meAnswer(
                    TestSupport::userJson(QStringLiteral("u1"), QStringLiteral("ann.example@example.com")),
                    TestSupport::telemetryJson(false, false, true));
            if (request.path == u"/v1/media/usage")
                return TestSupport::HttpResponse::json(TestSupport::mediaUsageJson(
                    1100LL * 1024 * 1024, 5LL * 1024 * 1024 * 1024, 100LL * 1024 * 1024));
            return f.answer(request);
        });
        for (const char *text : { "Weekend plans", "Groceries", "Book list" })
            f.store->create(QString::fromUtf8(text));
        SyncEngine::Options options;
        options.serverURL = f.server->url();
        options.syncInterval = 1h;
        options.changeDebounce = 1h;
        Telemetry telemetry;
        options.telemetry = &telemetry;
        if (signedIn) {
            f.keychain.set(Keychain::syncService(), Keychain::sessionTokenAccount(),
                           QStringLiteral("tok"));
            f.settings->setEmail(QStringLiteral("ann.example@example.com"));
        }
        f.sync.reset();
        f.sync = std::make_unique<SyncEngine>(f.store.get(), f.settings.get(), &f.keychain, options);
        if (signedIn) {
            QTRY_VERIFY(f.sync->account().has_value());
            QCoro::waitFor(telemetry.configure(f.sync->client()));
        }
        AccountView view(f.store.get(), f.sync.get(), f.settings.get(), &f.dialogs, {}, {}, &telemetry);
        view.resize(380, 560);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(f.sync->health().has_value() && f.sync->health()->has_value());
        if (signedIn) {
            f.sync->refreshMediaUsage();
            QTRY_VERIFY(f.sync->mediaUsage().has_value());
        }
        QTest::qWait(100);
        save(&view, QStringLiteral("account-signed-%1-%2")
                        .arg(signedIn ? QStringLiteral("in") : QStringLiteral("out"),
                             dark ? QStringLiteral("dark") : QStringLiteral("light")));
    }

    // The feedback sheet: the form with a message, with the diagnostics shown, and sent.
    void feedbackSheet_data() { screens_data(); }
    void feedbackSheet()
    {
        QFETCH(bool, dark);
        QApplication::setPalette(dark ? darkPalette() : m_light);
        const QString suffix = dark ? QStringLiteral("-dark") : QStringLiteral("-light");
        ScreenFixture f;
        f.signIn();
        FeedbackView::Options options;
        options.collect = [] {
            return Diagnostics::Bundle {
                QStringLiteral("ScrivelBar 0.1.0 (1)\nLinux Debian GNU/Linux 12 (bookworm)\n"
                               "Machine LENOVO 20XW0055GE\n\n== Log (last 24 hours)\n"
                               "2026-12-09T08:12:03Z [sync] sync ok: 2 up, 1 down, 0 files\n"
                               "2026-12-09T08:17:41Z [sync] sync failed: offline\n"
                               "2026-12-09T08:22:03Z [sync] sync ok: 0 up, 0 down, 0 files\n"
                               "2026-12-09T09:02:15Z [ai] summarize via openai failed\n"
                               "2026-12-09T09:05:00Z [sync] sync ok: 1 up, 0 down, 1 files"),
                0 };
        };
        FeedbackView view(f.sync.get(), QByteArray("png"), [] {}, nullptr, options);
        view.resize(380, 560);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(view.diagnostics().has_value());
        view.findChild<QPlainTextEdit *>(QStringLiteral("feedback.message"))
            ->setPlainText(QStringLiteral("Searching for \"café\" does not find notes that say "
                                          "\"cafe\". Could search ignore accents?"));
        QTest::qWait(50);
        save(&view, QStringLiteral("feedback-form") + suffix);
        view.toggleDiagnostics();
        QTest::qWait(50);
        save(&view, QStringLiteral("feedback-bundle") + suffix);
        QSignalSpy finished(&view, &FeedbackView::sendingFinished);
        view.send();
        QVERIFY(finished.count() > 0 || finished.wait(5000));
        QVERIFY(view.isSent());
        QTest::qWait(50);
        save(&view, QStringLiteral("feedback-sent") + suffix);
    }

    // The hot-key row of the account screen when the desktop grants the combination and when
    // another program holds it.
    void hotKeyRow_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("taken");
        QTest::newRow("working, light") << false << false;
        QTest::newRow("working, dark") << true << false;
        QTest::newRow("taken, light") << false << true;
        QTest::newRow("taken, dark") << true << true;
    }
    void hotKeyRow()
    {
        QFETCH(bool, dark);
        QFETCH(bool, taken);
        QApplication::setPalette(dark ? darkPalette() : m_light);
        ScreenFixture f;
        QStringList log;
        std::function<void()> press;
        auto desktop = std::make_unique<ScriptedHotKeys>(&log, &press);
        if (taken)
            desktop->taken = HotKeyCombo::OptionSpace;
        HotKeyManager hotKeys(std::move(desktop));
        hotKeys.apply(globalHotKey(HotKeyCombo::OptionSpace), [] {});
        AccountView view(f.store.get(), f.sync.get(), f.settings.get(), &f.dialogs, {}, {},
                         nullptr, &hotKeys);
        view.resize(380, 560);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        // Scroll the preferences, where the row is, to the top.
        auto *scroll = view.findChild<QScrollArea *>();
        QVERIFY(scroll);
        auto *shortcut = view.findChild<QWidget *>(QStringLiteral("account.hotkey"));
        QVERIFY(shortcut);
        QCoreApplication::processEvents();
        scroll->verticalScrollBar()->setValue(shortcut->mapTo(scroll->widget(), QPoint()).y() - 120);
        QCoreApplication::processEvents();
        save(&view, QStringLiteral("account-hotkey-%1-%2")
                        .arg(taken ? QStringLiteral("taken") : QStringLiteral("working"),
                             dark ? QStringLiteral("dark") : QStringLiteral("light")));
    }

    // The editor's more menu for a shared note while signed in, drawn over the editor where
    // it opens under its button.
    void sharedNoteMenu_data() { screens_data(); }
    void sharedNoteMenu()
    {
        QFETCH(bool, dark);
        QApplication::setPalette(dark ? darkPalette() : m_light);
        ScreenFixture f;
        f.signIn();
        if (QTest::currentTestFailed())
            return;
        const QString id
            = f.store->create(QStringLiteral("# Trip notes\n\nTrain at 8:40, platform 3.")).id;
        QVERIFY(QCoro::waitFor(f.sync->publicLink(id)));
        EditorView editor(id, f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs);
        editor.resize(380, 520);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QTRY_VERIFY(editor.publicLink());
        QToolButton *more = nullptr;
        for (auto *button : editor.findChildren<QToolButton *>())
            if (button->toolTip() == L("editor.more"))
                more = button;
        QVERIFY(more);
        QMenu *menu = editor.moreMenu();
        menu->popup(
            more->mapToGlobal(QPoint(more->width() - menu->sizeHint().width(), more->height())));
        QTRY_VERIFY(menu->isVisible());
        QCoreApplication::processEvents();
        QPixmap picture = editor.grab();
        {
            QPainter painter(&picture);
            painter.drawPixmap(menu->pos() - editor.mapToGlobal(QPoint(0, 0)), menu->grab());
        }
        menu->hide();
        QCOMPARE(picture.width(), 380);
        if (!m_dir.isEmpty())
            QVERIFY(picture.save(QDir(m_dir).filePath(
                QStringLiteral("editor-menu-shared%1.png")
                    .arg(dark ? QStringLiteral("-dark") : QStringLiteral("-light")))));
    }

    // The AI result panel under a note (running, result, problem), the consent question
    // over the editor, and the AI block of the account screen; OpenAI is played by a local
    // server.
    void aiPanels_data() { screens_data(); }
    void aiPanels()
    {
        QFETCH(bool, dark);
        QApplication::setPalette(dark ? darkPalette() : m_light);
        const QString suffix = dark ? QStringLiteral("-dark") : QStringLiteral("-light");
        ScreenFixture f;
        TestSupport::TestHttpServer provider;
        QVERIFY(provider.listen());
        qputenv("SCRIVEL_OPENAI_URL", provider.url().toUtf8());
        qputenv("SCRIVEL_OPENROUTER_URL", provider.url().toUtf8());
        int status = 200;
        provider.setHandler([&status](const TestSupport::HttpRequest &) {
            const QString summary = QStringLiteral(
                "The team agreed to ship the beta on Friday.\n\n- Anna writes the release notes\n"
                "- Ben fixes the sync banner\n- Demo for the client on Monday");
            TestSupport::HttpResponse answer = status == 200
                ? TestSupport::HttpResponse::json(
                      { { QStringLiteral("choices"),
                          QJsonArray { QJsonObject { { QStringLiteral("message"),
                                                       QJsonObject { { QStringLiteral("content"),
                                                                       summary } } } } } } })
                : TestSupport::HttpResponse::json(
                      { { QStringLiteral("error"),
                          QJsonObject { { QStringLiteral("message"),
                                          QStringLiteral("You exceeded your current quota.") } } } },
                      status);
            answer.delayMs = 400;
            return answer;
        });
        f.settings->setAiProvider(AIProvider::OpenAI);
        f.settings->setSummaryEngine(AIEngine::Provider);
        f.settings->setAiAskBeforeSending(false);
        f.keychain.set(AIService::keychainService(), QStringLiteral("openai"), QStringLiteral("sk-x"));
        AIService::Options options;
        options.keychain = &f.keychain;
        // The real on-device engine, with its default addresses (where nothing runs here).
        LocalEngine local(f.settings.get());
        QSignalSpy looked(&local, &LocalEngine::statusRefreshed);
        QVERIFY(looked.wait(5000));
        options.local = &local;
        AIService ai(f.settings.get(), f.store.get(), options);
        QTRY_VERIFY(!ai.isLoadingKeys());
        const QString id = f.store
                               ->create(QStringLiteral("# Team meeting\n\nBeta ships Friday. Anna: "
                                                       "release notes. Ben: sync banner.\n"
                                                       "Client demo Monday."))
                               .id;
        {
            EditorView editor(id, f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs,
                              nullptr, &ai);
            editor.resize(380, 620);
            editor.show();
            QVERIFY(QTest::qWaitForWindowExposed(&editor));
            ai.run(AIService::Action::summarize(), id);
            QTest::qWait(150);
            save(&editor, QStringLiteral("ai-result-running") + suffix);
            QTRY_VERIFY(ai.result());
            QTRY_VERIFY(editor.summarizeButton()->isEnabled());
            save(&editor, QStringLiteral("ai-result-result") + suffix);
            ai.dismissResult();
            status = 429;
            ai.run(AIService::Action::summarize(), id);
            QTRY_VERIFY(ai.problem());
            save(&editor, QStringLiteral("ai-result-problem") + suffix);
            ai.clearProblem();

            // The consent question, drawn over the editor where it opens.
            AIService::Consent consent;
            consent.job.noteID = id;
            consent.job.action = AIService::Action::summarize();
            consent.provider = AIProvider::OpenAI;
            std::unique_ptr<QMessageBox> box(SystemDialogs::choiceBox(&editor, AIConsent::choice(consent)));
            box->show();
            QVERIFY(QTest::qWaitForWindowExposed(box.get()));
            QCoreApplication::processEvents();
            QPixmap picture = editor.grab();
            {
                QPainter painter(&picture);
                painter.fillRect(picture.rect(), QColor(0, 0, 0, 60));
                const QPixmap dialog = box->grab();
                painter.drawPixmap((picture.width() - dialog.width()) / 2, 90, dialog);
            }
            box->hide();
            QCOMPARE(picture.width(), 380);
            if (!m_dir.isEmpty())
                QVERIFY(picture.save(QDir(m_dir).filePath(QStringLiteral("ai-consent") + suffix
                                                          + QStringLiteral(".png"))));
        }
        {
            f.settings->setAiProvider(AIProvider::OpenRouter);
            f.settings->setAiAskBeforeSending(true);
            AccountView view(f.store.get(), f.sync.get(), f.settings.get(), &f.dialogs, {}, {},
                             nullptr, nullptr, &ai);
            view.resize(380, 620);
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view));
            auto *scroll = view.findChild<QScrollArea *>(QStringLiteral("account.scroll"));
            QVERIFY(scroll && view.aiSection());
            QCoreApplication::processEvents();
            scroll->verticalScrollBar()->setValue(view.aiSection()->y() - 8);
            save(&view, QStringLiteral("account-ai") + suffix);
        }
        qunsetenv("SCRIVEL_OPENAI_URL");
        qunsetenv("SCRIVEL_OPENROUTER_URL");
    }

    // The recording screen, an image block with its hover buttons, an audio block playing,
    // and a printed PDF page.
    void mediaScreens_data() { screens_data(); }
    void mediaScreens()
    {
        QFETCH(bool, dark);
        if (!m_pulseProblem.isEmpty())
            QFAIL(qPrintable(m_pulseProblem));
        QApplication::setPalette(dark ? darkPalette() : m_light);
        const QString suffix = dark ? QStringLiteral("-dark") : QStringLiteral("-light");
        ScreenFixture f;
        {
            const QString id = f.store->create(QString()).id;
            EditorView editor(id, f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs);
            AudioRecorder::Options options;
            options.tick = std::chrono::milliseconds(20);
            options.folder = f.folders.path(QStringLiteral("takes"));
            editor.setRecorderOptions(options);
            editor.setMode(EditorView::Mode::Edit);
            editor.resize(380, 420);
            editor.show();
            editor.startRecording();
            QTRY_COMPARE(editor.recordingView()->page(), QStringLiteral("recording"));
            QTRY_VERIFY_WITH_TIMEOUT(editor.recordingView()->recorder()->elapsed() >= 1.2, 5000);
            save(&editor, QStringLiteral("recording") + suffix);
            editor.recordingView()->cancel();
        }
        {
            QImage picture(640, 400, QImage::Format_RGB32);
            QPainter painter(&picture);
            QLinearGradient sky(0, 0, 0, 400);
            sky.setColorAt(0, QColor(250, 170, 90));
            sky.setColorAt(1, QColor(120, 60, 140));
            painter.fillRect(picture.rect(), sky);
            painter.setBrush(QColor(255, 220, 120));
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(QPoint(320, 300), 90, 90);
            painter.fillRect(QRect(0, 320, 640, 80), QColor(40, 30, 70));
            painter.end();
            const QString file = f.folders.path(QStringLiteral("sunset.png"));
            QVERIFY(picture.save(file));
            auto note = f.store->createWithAttachment(file, Attachment::Kind::Image);
            f.store->setBody(QStringLiteral("# Evening walk\n\nThe light over the bay.\n\n") + note->body, note->id, false);
            EditorView editor(note->id, f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs);
            editor.resize(380, 420);
            editor.show();
            QTRY_COMPARE(editor.preview()->findChildren<ImageBlockView *>().size(), 1);
            ImageBlockView *block = editor.preview()->findChildren<ImageBlockView *>().first();
            QTRY_VERIFY(block->isLoaded());
            QApplication::processEvents();
            block->setHovering(true);
            save(&editor, QStringLiteral("media-image") + suffix);
        }
        {
            const QString tone = f.folders.path(QStringLiteral("memo.wav"));
            QVERIFY(PulseAudioServer::tone(tone, 8, 330));
            const QString id = f.store->create(QStringLiteral("Standup memo\n\nWhat we agreed on.")).id;
            QVERIFY(f.store->importAttachment(tone, Attachment::Kind::Audio, id, 8.0));
            EditorView editor(id, f.store.get(), f.settings.get(), f.sync.get(), &f.dialogs);
            editor.resize(380, 300);
            editor.show();
            QTRY_COMPARE(editor.preview()->findChildren<AudioBlockView *>().size(), 1);
            AudioBlockView *block = editor.preview()->findChildren<AudioBlockView *>().first();
            QTRY_VERIFY_WITH_TIMEOUT(block->player()->duration() > 0, 5000);
            block->playButton()->click();
            QTRY_VERIFY_WITH_TIMEOUT(block->player()->currentTime() >= 2.6, 8000);
            save(&editor, QStringLiteral("media-audio-playing") + suffix);
            block->player()->stop();
        }
        if (!dark) {
            const QString base = f.folders.notes();
            QDir(base).mkpath(QStringLiteral("attachments/n"));
            QImage chart(480, 200, QImage::Format_RGB32);
            chart.fill(QColor(238, 242, 246));
            QPainter painter(&chart);
            for (int i = 0; i < 6; ++i)
                painter.fillRect(QRect(30 + i * 75, 190 - 25 * (i + 1), 50, 25 * (i + 1)), QColor(27, 108, 168));
            painter.end();
            QVERIFY(chart.save(QDir(base).filePath(QStringLiteral("attachments/n/chart.png"))));
            const QString pdf = f.folders.path(QStringLiteral("page.pdf"));
            QVERIFY(PDFExport::withPrinting(
                QStringLiteral("# Quarterly review\n\nSales grew **12 %** over the quarter; see the chart.\n\n"
                               "## Next steps\n- [x] Close the books\n- [ ] Plan the offsite\n- Hire *two* engineers\n"
                               "1. Budget\n2. Roadmap\n\n> Small steps, often.\n\n```\nmake report\n```\n\n"
                               "![Chart](attachments/n/chart.png)\n\n[Recording 0:42](attachments/n/memo.m4a)\n\n---\n\n"
                               "More at https://example.org."),
                base, pdf));
            if (!m_dir.isEmpty()) {
                QProcess render;
                render.start(QStringLiteral("pdftoppm"), { QStringLiteral("-r"), QStringLiteral("80"), QStringLiteral("-png"),
                                                           QStringLiteral("-singlefile"), pdf,
                                                           QDir(m_dir).filePath(QStringLiteral("pdf-page")) });
                QVERIFY(render.waitForFinished(30000));
                QCOMPARE(render.exitCode(), 0);
            }
        }
    }
};

QTEST_MAIN(ScreenshotsTest)
#include "tst_screenshots.moc"
