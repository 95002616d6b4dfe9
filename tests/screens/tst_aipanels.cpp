// The AI screens: the result panel under the note, the consent question, the editor's AI
// controls and the AI block of the account screen, driven by a real AIService whose cloud
// provider is played by a local HTTP server.
#include "ScreenFixture.h"
#include "RecordingBrowser.h"
#include "ScriptedLocalAI.h"
#include "TestHttpServer.h"

#include "ai/AIService.h"
#include "ai/local/LocalEndpoints.h"
#include "ai/local/LocalEngine.h"
#include "base/Localization.h"
#include "ui/account/AISettingsSection.h"
#include "ui/ai/AIConsent.h"
#include "ui/ai/AIResultPanel.h"
#include "ui/editor/EditorView.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

using TestSupport::HttpRequest;
using TestSupport::HttpResponse;
using TestSupport::TestHttpServer;
using State = AIResultPanel::State;

Q_DECLARE_METATYPE(TestSupport::HttpResponse)
Q_DECLARE_METATYPE(std::optional<int>)

namespace {

const QString kKey = QStringLiteral("sk-panel-secret-42");
const QString kChatPath = QStringLiteral("/v1/chat/completions");

HttpResponse chatAnswer(const QString &content, int delayMs = 0)
{
    HttpResponse response = HttpResponse::json(
        { { QStringLiteral("choices"),
            QJsonArray { QJsonObject {
                { QStringLiteral("message"),
                  QJsonObject { { QStringLiteral("content"), content } } } } } } });
    response.delayMs = delayMs;
    return response;
}

} // namespace

class TestAIPanels : public QObject
{
    Q_OBJECT

    TestHttpServer m_server;
    std::unique_ptr<ScreenFixture> m_fx;
    std::unique_ptr<ScriptedLocalAI> m_local;
    std::unique_ptr<AIService> m_ai;
    RecordingBrowser m_browser;

    void makeService(bool withLocal = false)
    {
        AIService::Options options;
        options.keychain = &m_fx->keychain;
        options.browser = &m_browser;
        options.connectTimeout = std::chrono::seconds(5);
        options.local = withLocal ? m_local.get() : nullptr;
        options.recorder = nullptr;
        m_ai = std::make_unique<AIService>(m_fx->settings.get(), m_fx->store.get(), options);
        QTRY_VERIFY(!m_ai->isLoadingKeys());
    }

    // Summaries at OpenAI with a stored key, asking first or not.
    void useOpenAI(bool ask)
    {
        m_fx->settings->setAiProvider(AIProvider::OpenAI);
        m_fx->settings->setSummaryEngine(AIEngine::Provider);
        m_fx->settings->setTranscriptionEngine(AIEngine::Provider);
        m_fx->settings->setAiAskBeforeSending(ask);
        m_fx->keychain.set(AIService::keychainService(), QStringLiteral("openai"), kKey);
    }

    Note noteWithAttachment(Attachment::Kind kind, const QString &text)
    {
        const QString source = m_fx->folders.path(kind == Attachment::Kind::Audio
                                                      ? QStringLiteral("in.m4a")
                                                      : QStringLiteral("in.png"));
        TestSupport::writeFile(source, QByteArray("media bytes"));
        auto note = m_fx->store->createWithAttachment(source, kind, std::nullopt);
        Q_ASSERT(note);
        m_fx->store->setBody(text + QStringLiteral("\n\n") + note->body, note->id, false);
        return *m_fx->store->note(note->id);
    }

    static QAction *menuEntry(EditorView &view, const QString &name)
    {
        for (QAction *action : view.moreMenu()->actions())
            if (action->objectName() == name)
                return action;
        return nullptr;
    }

    // Every text the section shows or holds, to prove a stored key is never among them.
    static QStringList shownTexts(QWidget *root)
    {
        QStringList texts;
        for (QLabel *label : root->findChildren<QLabel *>())
            texts << label->text() << label->toolTip();
        for (QLineEdit *field : root->findChildren<QLineEdit *>())
            texts << field->text() << field->placeholderText();
        return texts;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        QVERIFY(m_server.listen());
        for (const char *variable : { "SCRIVEL_ANTHROPIC_URL", "SCRIVEL_OPENAI_URL",
                                      "SCRIVEL_DEEPSEEK_URL", "SCRIVEL_OPENROUTER_URL",
                                      "SCRIVEL_OPENROUTER_AUTH_URL" })
            qputenv(variable, m_server.url().toUtf8());
    }

    void init()
    {
        m_server.clearRequests();
        m_server.setHandler([](const HttpRequest &) { return chatAnswer(QStringLiteral("The gist.")); });
        m_fx = std::make_unique<ScreenFixture>();
        m_local = std::make_unique<ScriptedLocalAI>();
        m_browser = RecordingBrowser();
    }

    void cleanup()
    {
        m_ai.reset();
        m_fx.reset();
    }

    // ---- result panel ----------------------------------------------------------------------

    void panelFollowsTheJob_data()
    {
        QTest::addColumn<HttpResponse>("answer");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("shown");
        QTest::newRow("result") << chatAnswer(QStringLiteral("<b>Gist</b> of it"), 150)
                                << int(State::Result) << QStringLiteral("<b>Gist</b> of it");
        QTest::newRow("http failure")
            << [] {
                   HttpResponse r = HttpResponse::json(
                       { { QStringLiteral("error"),
                           QJsonObject { { QStringLiteral("message"), QStringLiteral("quota") } } } },
                       429);
                   r.delayMs = 150;
                   return r;
               }()
            << int(State::Problem) << QStringLiteral("quota");
    }

    void panelFollowsTheJob()
    {
        QFETCH(HttpResponse, answer);
        QFETCH(int, state);
        QFETCH(QString, shown);
        useOpenAI(false);
        makeService();
        m_server.setHandler([answer](const HttpRequest &) { return answer; });
        const Note note = m_fx->store->create(QStringLiteral("Meeting notes\n- ship it"));
        QWidget host;
        auto &panel = *new AIResultPanel(m_ai.get(), note.id, &host);
        host.show();
        QCOMPARE(panel.state(), State::Hidden);
        QVERIFY(panel.isHidden());

        m_ai->run(AIService::Action::summarize(), note.id);
        QCOMPARE(panel.state(), State::Running);
        QCOMPARE(panel.runningText(), L("ai.running.summary", QStringLiteral("OpenAI")));
        QTRY_VERIFY(!m_ai->running());
        QCOMPARE(int(panel.state()), state);
        QCOMPARE(m_server.requests(kChatPath).size(), 1);
        if (State(state) == State::Result) {
            QCOMPARE(panel.resultTitle(), L("ai.result.summary") + QStringLiteral(" · OpenAI"));
            // Shown as the plain text it is, markup and all.
            QCOMPARE(panel.resultEdit()->toPlainText(), shown);
            QCOMPARE(panel.insertButton()->text(), L("ai.result.append"));
            panel.discardButton()->click();
            QVERIFY(!m_ai->result());
        } else {
            QVERIFY(panel.problemText().contains(shown));
            QVERIFY(panel.problemText().contains(QStringLiteral("429")));
            panel.okButton()->click();
            QVERIFY(!m_ai->problem());
        }
        QCOMPARE(panel.state(), State::Hidden);
    }

    void panelShowsOnlyItsNote()
    {
        useOpenAI(false);
        makeService();
        const Note a = m_fx->store->create(QStringLiteral("Note A text"));
        const Note b = m_fx->store->create(QStringLiteral("Note B text"));
        m_ai->run(AIService::Action::summarize(), a.id);
        QTRY_VERIFY(m_ai->result());
        {
            AIResultPanel other(m_ai.get(), b.id);
            QCOMPARE(other.state(), State::Hidden);
        }
        AIResultPanel again(m_ai.get(), a.id);
        QCOMPARE(again.state(), State::Result);
        // A new job for the note shows its spinner although the old result still exists.
        m_server.setHandler([](const HttpRequest &) { return chatAnswer(QStringLiteral("New."), 150); });
        m_ai->run(AIService::Action::summarize(), a.id);
        QCOMPARE(again.state(), State::Running);
        QTRY_COMPARE(again.state(), State::Result);
        QCOMPARE(again.resultEdit()->toPlainText(), QStringLiteral("New."));
    }

    void keepingAResultChangesTheStore_data()
    {
        QTest::addColumn<bool>("asNewNote");
        QTest::newRow("append") << false;
        QTest::newRow("new note") << true;
    }

    void keepingAResultChangesTheStore()
    {
        QFETCH(bool, asNewNote);
        useOpenAI(false);
        makeService();
        const Note note = m_fx->store->create(QStringLiteral("Groceries: milk, eggs"));
        AIResultPanel panel(m_ai.get(), note.id);
        QSignalSpy opened(&panel, &AIResultPanel::openNote);
        m_ai->run(AIService::Action::summarize(), note.id);
        QTRY_COMPARE(panel.state(), State::Result);
        // The user's correction is what gets kept.
        panel.resultEdit()->setPlainText(QStringLiteral("Buy milk."));
        QCOMPARE(m_ai->result()->text, QStringLiteral("Buy milk."));
        const int before = m_fx->store->notes().size();
        if (asNewNote) {
            panel.newNoteButton()->click();
            QCOMPARE(m_fx->store->notes().size(), before + 1);
            QCOMPARE(opened.size(), 1);
            const auto created = m_fx->store->note(opened.first().first().toString());
            QVERIFY(created);
            QVERIFY(created->body.toString().startsWith(QStringLiteral("# ")));
            QVERIFY(created->body.toString().endsWith(QStringLiteral("Buy milk.\n")));
            QCOMPARE(m_fx->store->note(note.id)->body, note.body);
        } else {
            panel.insertButton()->click();
            QCOMPARE(m_fx->store->notes().size(), before);
            QCOMPARE(opened.size(), 0);
            const QString body = m_fx->store->note(note.id)->body;
            QVERIFY(body.contains(QStringLiteral("## ") + L("ai.summary.heading")));
            QVERIFY(body.endsWith(QStringLiteral("Buy milk.")) || body.contains(QStringLiteral("Buy milk.\n")));
        }
        QVERIFY(!m_ai->result());
        QCOMPARE(panel.state(), State::Hidden);
    }

    void copyLeavesTheResult()
    {
        useOpenAI(false);
        makeService();
        const Note note = m_fx->store->create(QStringLiteral("Copy me"));
        AIResultPanel panel(m_ai.get(), note.id);
        m_ai->run(AIService::Action::summarize(), note.id);
        QTRY_COMPARE(panel.state(), State::Result);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        panel.copyButton()->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("The gist."));
        QCOMPARE(panel.state(), State::Result);
    }

    // ---- consent ---------------------------------------------------------------------------

    void consentComesBeforeAnyRequest_data()
    {
        QTest::addColumn<std::optional<int>>("answer");
        QTest::addColumn<int>("requests");
        QTest::addColumn<bool>("askLater");
        QTest::newRow("once") << std::optional<int>(0) << 1 << true;
        QTest::newRow("always") << std::optional<int>(1) << 1 << false;
        QTest::newRow("cancel") << std::optional<int>() << 0 << true;
    }

    void consentComesBeforeAnyRequest()
    {
        QFETCH(std::optional<int>, answer);
        QFETCH(int, requests);
        QFETCH(bool, askLater);
        useOpenAI(true);
        makeService();
        const Note note = m_fx->store->create(QStringLiteral("Private plans"));
        int requestsWhenAsked = -1;
        m_fx->dialogs.chooseScript = [&](const Dialogs::Choice &) {
            requestsWhenAsked = int(m_server.requests().size());
            return answer;
        };
        EditorView view(note.id, m_fx->store.get(), m_fx->settings.get(), m_fx->sync.get(),
                        &m_fx->dialogs, nullptr, m_ai.get());
        view.show();
        QVERIFY(view.summarizeButton()->isEnabled());
        view.summarizeButton()->click();
        QTRY_COMPARE(m_fx->dialogs.choices.size(), 1);
        QCOMPARE(requestsWhenAsked, 0);
        const Dialogs::Choice asked = m_fx->dialogs.choices.first();
        QCOMPARE(asked.title, L("ai.consent.title", QStringLiteral("OpenAI")));
        QCOMPARE(asked.message, L("ai.consent.message.text", QStringLiteral("OpenAI")));
        QCOMPARE(asked.answers, QStringList({ L("ai.consent.send", QStringLiteral("OpenAI")),
                                              L("ai.consent.always") }));
        QVERIFY(!m_ai->consent());
        QTRY_VERIFY(!m_ai->running());
        QTest::qWait(20);
        QCOMPARE(int(m_server.requests(kChatPath).size()), requests);
        QCOMPARE(m_fx->settings->aiAskBeforeSending(), askLater);
        QCOMPARE(m_fx->dialogs.choices.size(), 1);
    }

    void consentForMediaNamesTheFile()
    {
        useOpenAI(true);
        makeService();
        const Note note = noteWithAttachment(Attachment::Kind::Audio, QStringLiteral("Call"));
        AIService::Consent consent;
        consent.job.noteID = note.id;
        consent.job.action = AIService::Action::transcribe(note.mediaPath(note.attachments.first()));
        consent.provider = AIProvider::OpenAI;
        const Dialogs::Choice choice = AIConsent::choice(consent);
        QCOMPARE(choice.message, L("ai.consent.message.audio", QStringLiteral("OpenAI")));
    }

    // ---- editor ----------------------------------------------------------------------------

    void summarizeButtonRules_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("text") << QStringLiteral("Some words") << true;
        QTest::newRow("blank") << QStringLiteral("  \n\t\n") << false;
        QTest::newRow("only media") << QStringLiteral("![](attachments/x/a.png)\n\n") << false;
    }

    void summarizeButtonRules()
    {
        QFETCH(QString, body);
        QFETCH(bool, enabled);
        useOpenAI(false);
        makeService();
        const Note note = m_fx->store->create(QStringLiteral("x"));
        m_fx->store->setBody(body, note.id, false);
        EditorView view(note.id, m_fx->store.get(), m_fx->settings.get(), m_fx->sync.get(),
                        &m_fx->dialogs, nullptr, m_ai.get());
        QCOMPARE(view.summarizeButton()->isEnabled(), enabled);
        // Off while any job runs, for any note.
        const Note other = m_fx->store->create(QStringLiteral("Another note"));
        m_server.setHandler([](const HttpRequest &) { return chatAnswer(QStringLiteral("S"), 150); });
        m_ai->run(AIService::Action::summarize(), other.id);
        QVERIFY(m_ai->running());
        QVERIFY(!view.summarizeButton()->isEnabled());
        QTRY_VERIFY(!m_ai->running());
        QCOMPARE(view.summarizeButton()->isEnabled(), enabled);
        view.closeNote();
    }

    void summarizeWithoutServiceIsOff()
    {
        const Note note = m_fx->store->create(QStringLiteral("Text"));
        EditorView view(note.id, m_fx->store.get(), m_fx->settings.get(), m_fx->sync.get(),
                        &m_fx->dialogs);
        QVERIFY(!view.summarizeButton()->isEnabled());
        QVERIFY(view.aiPanel()->isHidden());
    }

    void mediaEntries_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("local");
        QTest::addColumn<int>("provider");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("hidden");
        const int image = int(Attachment::Kind::Image);
        const int audio = int(Attachment::Kind::Audio);
        QTest::newRow("image, on-device engine")
            << image << true << int(AIProvider::OpenAI) << "ai.extractText" << "ai.transcribe";
        QTest::newRow("image, no engine") << image << false << int(AIProvider::OpenAI) << ""
                                          << "ai.extractText";
        QTest::newRow("audio, OpenAI")
            << audio << false << int(AIProvider::OpenAI) << "ai.transcribe" << "ai.extractText";
        QTest::newRow("audio, DeepSeek") << audio << false << int(AIProvider::DeepSeek) << ""
                                         << "ai.transcribe";
    }

    void mediaEntries()
    {
        QFETCH(int, kind);
        QFETCH(bool, local);
        QFETCH(int, provider);
        QFETCH(QString, shown);
        QFETCH(QString, hidden);
        useOpenAI(false);
        m_fx->settings->setAiProvider(AIProvider(provider));
        m_fx->keychain.set(AIService::keychainService(), aiProviderRawValue(AIProvider(provider)), kKey);
        makeService(local);
        m_server.setHandler([](const HttpRequest &request) {
            if (request.path.endsWith(QStringLiteral("/audio/transcriptions")))
                return HttpResponse::json({ { QStringLiteral("text"), QStringLiteral("The gist.") } });
            return chatAnswer(QStringLiteral("The gist."));
        });
        const Note note = noteWithAttachment(Attachment::Kind(kind), QStringLiteral("Words"));
        EditorView view(note.id, m_fx->store.get(), m_fx->settings.get(), m_fx->sync.get(),
                        &m_fx->dialogs, nullptr, m_ai.get());
        QVERIFY(!menuEntry(view, hidden));
        if (shown.isEmpty())
            return;
        QAction *entry = menuEntry(view, shown);
        QVERIFY(entry);
        QVERIFY(entry->isEnabled());
        QSignalSpy finished(m_ai.get(), &AIService::jobFinished);
        entry->trigger();
        QTRY_COMPARE(finished.size(), 1);
        QVERIFY2(view.aiPanel()->state() == State::Result, qPrintable(view.aiPanel()->problemText()));
        const QString path = note.mediaPath(note.attachments.first());
        QCOMPARE(m_ai->result()->job.action.path, path);
        QCOMPARE(view.aiPanel()->insertButton()->text(), L("ai.result.insert"));
        view.aiPanel()->insertButton()->click();
        QVERIFY(!m_ai->result());
        QVERIFY(view.text().contains(shown == u"ai.transcribe" ? QStringLiteral("The gist.")
                                                                : QStringLiteral("local answer")));
    }

    void leavingTheEditorMidJobIsSafe()
    {
        useOpenAI(false);
        makeService();
        m_server.setHandler([](const HttpRequest &) { return chatAnswer(QStringLiteral("Late."), 200); });
        const Note note = m_fx->store->create(QStringLiteral("Long note"));
        auto view = std::make_unique<EditorView>(note.id, m_fx->store.get(), m_fx->settings.get(),
                                                 m_fx->sync.get(), &m_fx->dialogs, nullptr,
                                                 m_ai.get());
        view->show();
        view->summarizeButton()->click();
        QVERIFY(m_ai->running());
        view.reset();
        QTRY_VERIFY(!m_ai->running());
        QVERIFY(m_ai->result());
        QCOMPARE(m_fx->store->note(note.id)->body, QStringLiteral("Long note"));
        // Opened again, the note shows its result.
        EditorView again(note.id, m_fx->store.get(), m_fx->settings.get(), m_fx->sync.get(),
                         &m_fx->dialogs, nullptr, m_ai.get());
        QCOMPARE(again.aiPanel()->state(), State::Result);
    }

    void leavingTheEditorWithAPendingQuestion()
    {
        useOpenAI(true);
        makeService();
        const Note note = m_fx->store->create(QStringLiteral("Secret"));
        auto view = std::make_unique<EditorView>(note.id, m_fx->store.get(), m_fx->settings.get(),
                                                 m_fx->sync.get(), &m_fx->dialogs, nullptr,
                                                 m_ai.get());
        view->summarizeButton()->click();
        QVERIFY(m_ai->consent());
        view.reset(); // before the question could be shown
        QTest::qWait(20);
        QCOMPARE(m_fx->dialogs.choices.size(), 0);
        QCOMPARE(m_server.requests().size(), 0);
        // Opened again, the question is asked then.
        m_fx->dialogs.chooseAnswer = std::nullopt;
        EditorView again(note.id, m_fx->store.get(), m_fx->settings.get(), m_fx->sync.get(),
                         &m_fx->dialogs, nullptr, m_ai.get());
        QTRY_COMPARE(m_fx->dialogs.choices.size(), 1);
        QVERIFY(!m_ai->consent());
        QCOMPARE(m_server.requests().size(), 0);
    }

    // ---- settings section -------------------------------------------------------------------

    void keySaveAndRemove()
    {
        m_fx->settings->setAiProvider(AIProvider::Anthropic);
        makeService();
        AISettingsSection section(m_fx->settings.get(), m_ai.get(), nullptr);
        section.show();
        QVERIFY(section.keyField()->isVisible());
        QCOMPARE(section.keyField()->echoMode(), QLineEdit::Password);
        section.setKeyDraft(QStringLiteral("   "));
        section.refresh();
        QVERIFY(!section.saveButton()->isEnabled());
        section.setKeyDraft(QStringLiteral("  ") + kKey + QStringLiteral("\n"));
        section.refresh();
        QVERIFY(section.saveButton()->isEnabled());
        section.saveButton()->click();
        QCOMPARE(section.keyDraft(), QString());
        QTRY_VERIFY(m_ai->hasKey(AIProvider::Anthropic));
        QCOMPARE(m_fx->keychain.value(AIService::keychainService(), QStringLiteral("anthropic")), kKey);
        section.refresh();
        QVERIFY(section.removeButton()->isVisible());
        QVERIFY(!section.keyField()->isVisible());
        QVERIFY(!shownTexts(&section).join(u'\n').contains(kKey));
        section.removeButton()->click();
        QTRY_VERIFY(!m_ai->hasKey(AIProvider::Anthropic));
        QVERIFY(!m_fx->keychain.value(AIService::keychainService(), QStringLiteral("anthropic")));
        section.refresh();
        QVERIFY(section.keyField()->isVisible());
    }

    void keychainFailureIsShown()
    {
        m_fx->settings->setAiProvider(AIProvider::DeepSeek);
        makeService();
        AISettingsSection section(m_fx->settings.get(), m_ai.get(), nullptr);
        section.show();
        m_fx->keychain.setFailure(QStringLiteral("The keyring is locked."));
        section.setKeyDraft(kKey);
        section.saveKey();
        QTRY_COMPARE(m_ai->keyProblem().isEmpty(), false);
        section.refresh();
        auto *problem = section.findChild<QLabel *>(QStringLiteral("ai.key.problem"));
        QVERIFY(problem->isVisible());
        QVERIFY(problem->text().contains(QStringLiteral("locked")));
        QVERIFY(!m_ai->hasKey(AIProvider::DeepSeek));
        QVERIFY(!shownTexts(&section).join(u'\n').contains(kKey));
    }

    void switchingProviderClearsTheDraft()
    {
        m_fx->settings->setAiProvider(AIProvider::OpenRouter);
        makeService();
        AISettingsSection section(m_fx->settings.get(), m_ai.get(), nullptr);
        section.show();
        QVERIFY(section.connectButton()->isVisible());
        section.setKeyDraft(QStringLiteral("sk-half"));
        auto *provider = section.findChild<QComboBox *>(QStringLiteral("ai.provider"));
        provider->setCurrentIndex(provider->findData(int(AIProvider::OpenAI)));
        QCOMPARE(m_fx->settings->aiProvider(), AIProvider::OpenAI);
        QCOMPARE(section.keyDraft(), QString());
        QVERIFY(!section.connectProblem());
        section.refresh();
        QVERIFY(!section.connectButton()->isVisible());
    }

    void connectFailureIsShownUntilTheProviderChanges()
    {
        m_fx->settings->setAiProvider(AIProvider::OpenRouter);
        m_browser.succeeds = false; // no browser on this desktop
        makeService();
        AISettingsSection section(m_fx->settings.get(), m_ai.get(), nullptr);
        section.show();
        auto *caption = section.findChild<QLabel *>(QStringLiteral("ai.connect.caption"));
        QCOMPARE(caption->text(), L("ai.connect.hint"));
        section.connectButton()->click();
        QTRY_VERIFY(section.connectProblem().has_value());
        QTRY_VERIFY(!m_ai->connecting());
        section.refresh();
        QCOMPARE(caption->text(), *section.connectProblem());
        QVERIFY(section.connectButton()->isEnabled());
        QVERIFY(!m_ai->hasKey(AIProvider::OpenRouter));
        auto *provider = section.findChild<QComboBox *>(QStringLiteral("ai.provider"));
        provider->setCurrentIndex(provider->findData(int(AIProvider::Anthropic)));
        QVERIFY(!section.connectProblem());
        provider->setCurrentIndex(provider->findData(int(AIProvider::OpenRouter)));
        section.refresh();
        QCOMPARE(caption->text(), L("ai.connect.hint"));
    }

    void captionsFollowTheSettings_data()
    {
        QTest::addColumn<int>("provider");
        QTest::addColumn<int>("transcription");
        QTest::addColumn<bool>("openaiOnly");
        QTest::addColumn<bool>("details");
        QTest::newRow("none, local") << int(AIProvider::None) << int(AIEngine::Local) << false << false;
        QTest::newRow("deepseek, cloud") << int(AIProvider::DeepSeek) << int(AIEngine::Provider) << true << true;
        QTest::newRow("openai, cloud") << int(AIProvider::OpenAI) << int(AIEngine::Provider) << false << true;
    }

    void captionsFollowTheSettings()
    {
        QFETCH(int, provider);
        QFETCH(int, transcription);
        QFETCH(bool, openaiOnly);
        QFETCH(bool, details);
        m_fx->settings->setAiProvider(AIProvider(provider));
        m_fx->settings->setTranscriptionEngine(AIEngine(transcription));
        m_fx->settings->setSummaryEngine(AIEngine::Local);
        m_local->unavailable = QStringLiteral("Needs the model download.");
        makeService(true);
        AISettingsSection section(m_fx->settings.get(), m_ai.get(), nullptr);
        section.show();
        QCOMPARE(section.findChild<QLabel *>(QStringLiteral("ai.transcription.openaiOnly"))->isVisible(),
                 openaiOnly);
        QCOMPARE(section.findChild<QWidget *>(QStringLiteral("ai.details"))->isVisible(), details);
        auto *reason = section.findChild<QLabel *>(QStringLiteral("ai.summaries.reason"));
        QVERIFY(reason->isVisible());
        QCOMPARE(reason->text(), QStringLiteral("Needs the model download."));
        if (details) {
            auto *hint = section.findChild<QLabel *>(QStringLiteral("ai.provider.hint"));
            QCOMPARE(hint->text(), L("ai.provider.hint", aiProviderDisplayName(AIProvider(provider))));
            auto *model = section.findChild<QLineEdit *>(QStringLiteral("ai.model"));
            QCOMPARE(model->placeholderText(), aiProviderDefaultModel(AIProvider(provider)));
            QTest::keyClicks(model, QStringLiteral("my-model"));
            QCOMPARE(m_fx->settings->aiModel(AIProvider(provider)), QStringLiteral("my-model"));
        }
    }

    // The real on-device engine behind the section: it says why summaries cannot run and
    // which engine runs each job, and the address fields refuse what is not this computer.
    void localEngineSection_data()
    {
        QTest::addColumn<QJsonArray>("models");
        QTest::addColumn<QString>("reasonKey"); // empty: no reason shown
        QTest::newRow("model pulled") << QJsonArray { QJsonObject { { QStringLiteral("id"), QStringLiteral("llama3.2:latest") } } }
                                      << "";
        QTest::newRow("model missing") << QJsonArray { QJsonObject { { QStringLiteral("id"), QStringLiteral("mistral") } } }
                                       << "ai.local.summary.notReady";
    }

    void localEngineSection()
    {
        QFETCH(QJsonArray, models);
        QFETCH(QString, reasonKey);
        TestSupport::TestHttpServer server;
        QVERIFY(server.listen());
        server.setHandler([models](const TestSupport::HttpRequest &request) {
            if (request.path == u"/v1/models")
                return TestSupport::HttpResponse::json({ { QStringLiteral("data"), models } });
            return TestSupport::HttpResponse::text("whisper", 200);
        });
        m_fx->settings->setSummaryEngine(AIEngine::Local);
        m_fx->settings->setTranscriptionEngine(AIEngine::Local);
        m_fx->settings->setLocalModelURL(server.url());
        m_fx->settings->setLocalSpeechURL(server.url());
        LocalEngine engine(m_fx->settings.get());
        AIService::Options options;
        options.keychain = &m_fx->keychain;
        options.browser = &m_browser;
        options.local = &engine;
        AIService ai(m_fx->settings.get(), m_fx->store.get(), options);
        AISettingsSection section(m_fx->settings.get(), &ai, nullptr);
        section.show();
        auto *reason = section.findChild<QLabel *>(QStringLiteral("ai.summaries.reason"));
        auto *engines = section.findChild<QLabel *>(QStringLiteral("ai.local.engines"));
        QTRY_VERIFY(engines->text().contains(L("ai.local.engine.speechServer", server.url())));
        QVERIFY(engines->text().contains(QStringLiteral("tesseract")));
        QVERIFY(engines->text().contains(L("ai.local.engine.summary", QStringLiteral("llama3.2"), server.url())));
        if (reasonKey.isEmpty())
            QTRY_VERIFY(!reason->isVisible());
        else
            QTRY_COMPARE(reason->text(), L(reasonKey.toLatin1().constData()));

        // An address elsewhere is kept as written but refused, in words, under the field.
        auto *field = section.modelServerField();
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("http://192.168.0.7:11434"));
        QCOMPARE(m_fx->settings->localModelURL(), server.url()); // not yet: still typing
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(m_fx->settings->localModelURL(), QStringLiteral("http://192.168.0.7:11434"));
        auto *note = section.findChild<QLabel *>(QStringLiteral("ai.local.modelURL.note"));
        QTRY_VERIFY(note->isVisible());
        QCOMPARE(note->text(), L("ai.local.address.notLocal", QStringLiteral("http://192.168.0.7:11434")));
        QTRY_COMPARE(reason->text(), note->text());

        // The environment's address wins for the session: the field shows it and is off.
        qputenv(LocalEndpoints::speechVariable, "http://127.0.0.1:9");
        m_fx->settings->setLocalSpeechURL(QStringLiteral("http://localhost:8081"));
        QTRY_VERIFY(!section.speechServerField()->isEnabled());
        QCOMPARE(section.speechServerField()->text(), QStringLiteral("http://127.0.0.1:9"));
        QCOMPARE(section.findChild<QLabel *>(QStringLiteral("ai.local.speechURL.note"))->text(),
                 L("ai.local.environment", QString::fromLatin1(LocalEndpoints::speechVariable)));
        QTRY_VERIFY(engines->text().contains(L("ai.local.engine.speechClassic")));
        qunsetenv(LocalEndpoints::speechVariable);
    }
};

QTEST_MAIN(TestAIPanels)
#include "tst_aipanels.moc"
