// The AI service: engine choice, consent, jobs, results, problems, telemetry, keys and the
// OpenRouter connect flow. Cloud providers are played by a local HTTP server.
#include "MemoryKeychain.h"
#include "MemoryLoginItem.h"
#include "RecordingBrowser.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "ai/AIService.h"
#include "ai/LocalAI.h"
#include "base/Localization.h"
#include "base/UsageRecorder.h"
#include "settings/AppSettings.h"
#include "store/NoteStore.h"
#include "sync/LoopbackRedirect.h"

#include <QCoroTask>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>
#include <QUrlQuery>

using TestSupport::HttpRequest;
using TestSupport::HttpResponse;
using TestSupport::TestHttpServer;
using Kind = AIService::Action::Kind;

Q_DECLARE_METATYPE(AIProvider)
Q_DECLARE_METATYPE(AIEngine)

namespace {

const QString kKey = QStringLiteral("sk-secret-9f8e7d");

struct RecordedEvent
{
    QString name;
    QVariantMap properties;
};

class ListRecorder final : public UsageRecorder
{
public:
    void record(const QString &name, const QVariantMap &properties) override
    {
        events.append({ name, properties });
    }
    QList<RecordedEvent> events;
};

// The on-device engine as a script: what it answers, and what it was asked.
class ScriptedLocalAI final : public LocalAI
{
public:
    QCoro::Task<AIResult<QString>> recognizeText(QString filePath) override
    {
        calls.append(QStringLiteral("text:") + filePath);
        co_return answer;
    }
    QCoro::Task<AIResult<QString>> transcribe(QString filePath, QLocale locale) override
    {
        calls.append(QStringLiteral("speech:") + filePath + u'@' + locale.name());
        co_return answer;
    }
    QCoro::Task<AIResult<QString>> summarize(QString text, QString instructions) override
    {
        calls.append(QStringLiteral("summary:") + text);
        lastInstructions = instructions;
        co_return answer;
    }
    std::optional<QString> summaryUnavailableReason() override { return std::nullopt; }

    AIResult<QString> answer = QStringLiteral("local answer");
    QStringList calls;
    QString lastInstructions;
};

QStringList g_log;
QtMessageHandler g_previous = nullptr;
void captureLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    g_log.append(QString::fromUtf8(context.category ? context.category : "") + u' ' + message);
    if (g_previous)
        g_previous(type, context, message);
}

HttpResponse chatAnswer(const QString &content)
{
    return HttpResponse::json(
        { { QStringLiteral("choices"),
            QJsonArray {
                QJsonObject { { QStringLiteral("message"),
                                QJsonObject { { QStringLiteral("content"), content } } } } } } });
}

HttpResponse anthropicAnswer(const QString &text)
{
    return HttpResponse::json(
        { { QStringLiteral("content"),
            QJsonArray { QJsonObject { { QStringLiteral("type"), QStringLiteral("text") },
                                       { QStringLiteral("text"), text } } } } });
}

QString pathOf(AIProvider provider)
{
    switch (provider) {
    case AIProvider::Anthropic:
        return QStringLiteral("/v1/messages");
    case AIProvider::OpenAI:
        return QStringLiteral("/v1/chat/completions");
    case AIProvider::DeepSeek:
        return QStringLiteral("/chat/completions");
    case AIProvider::OpenRouter:
        return QStringLiteral("/api/v1/chat/completions");
    case AIProvider::None:
        break;
    }
    return QString();
}

} // namespace

class TestAIService : public QObject
{
    Q_OBJECT

    TestHttpServer m_server;
    std::unique_ptr<TestSupport::TempFolders> m_folders;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<NoteStore> m_store;
    MemoryKeychain m_keychain;
    RecordingBrowser m_browser;
    ListRecorder m_recorder;
    ScriptedLocalAI m_local;

    std::unique_ptr<AIService> service(LocalAI *local = nullptr, Keychain *keychain = nullptr)
    {
        AIService::Options options;
        options.keychain = keychain ? keychain : &m_keychain;
        options.local = local;
        options.browser = &m_browser;
        options.recorder = &m_recorder;
        options.connectTimeout = std::chrono::seconds(20);
        return std::make_unique<AIService>(m_settings.get(), m_store.get(), options);
    }

    void useCloud(AIProvider provider, bool ask = false)
    {
        m_settings->setAiProvider(provider);
        m_settings->setSummaryEngine(AIEngine::Provider);
        m_settings->setTranscriptionEngine(AIEngine::Provider);
        m_settings->setAiAskBeforeSending(ask);
        if (provider != AIProvider::None)
            m_keychain.set(AIService::keychainService(), aiProviderRawValue(provider), kKey);
    }

    // A note with a recording (or an image) and some text; returns it and its media path.
    QPair<Note, QString> noteWithMedia(Attachment::Kind kind, const QString &text)
    {
        const QString source = m_folders->path(
            kind == Attachment::Kind::Audio ? QStringLiteral("in.m4a") : QStringLiteral("in.png"));
        TestSupport::writeFile(source, QByteArray("media bytes"));
        auto note = m_store->createWithAttachment(source, kind, std::nullopt);
        Q_ASSERT(note);
        const QString path = note->mediaPath(note->attachments.first());
        m_store->setBody(text + QStringLiteral("\n\n") + note->body, note->id, false);
        return { *m_store->note(note->id), path };
    }

    static void finish(AIService &ai) { QTRY_VERIFY_WITH_TIMEOUT(!ai.running(), 10000); }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        QVERIFY(m_server.listen());
        for (const char *variable :
             { "SCRIVEL_ANTHROPIC_URL", "SCRIVEL_OPENAI_URL", "SCRIVEL_DEEPSEEK_URL",
               "SCRIVEL_OPENROUTER_URL", "SCRIVEL_OPENROUTER_AUTH_URL" })
            qputenv(variable, m_server.url().toUtf8());
        g_previous = qInstallMessageHandler(captureLog);
    }

    void cleanupTestCase() { qInstallMessageHandler(g_previous); }

    void init()
    {
        m_folders = std::make_unique<TestSupport::TempFolders>();
        QVERIFY(m_folders->isValid());
        m_settings = std::make_unique<AppSettings>(m_folders->path(QStringLiteral("settings.ini")),
                                                   std::make_unique<MemoryLoginItem>());
        NoteStore::Options options;
        options.notesFolder = m_folders->notes();
        options.supportFolder = m_folders->support();
        options.watchFolder = false;
        options.backgroundIndexWrites = false;
        m_store = std::make_unique<NoteStore>(options);
        m_keychain = MemoryKeychain();
        m_browser.opened.clear();
        m_browser.onOpen = {};
        m_recorder.events.clear();
        m_local = ScriptedLocalAI();
        m_server.clearRequests();
        m_server.setHandler({});
        g_log.clear();
    }

    void cleanup()
    {
        // No key may ever reach the log, whatever the test did.
        for (const QString &line : std::as_const(g_log))
            QVERIFY2(!line.contains(kKey), qPrintable(line));
        m_store.reset();
        m_settings.reset();
    }

    void providerFor_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<AIEngine>("summaryEngine");
        QTest::addColumn<AIEngine>("transcriptionEngine");
        QTest::addColumn<AIProvider>("provider");
        QTest::addColumn<int>("expected"); // -1: local
        const auto L_ = AIEngine::Local;
        const auto P = AIEngine::Provider;
        QTest::newRow("text is always local")
            << int(Kind::ExtractText) << P << P << AIProvider::OpenAI << -1;
        QTest::newRow("summary local")
            << int(Kind::Summarize) << L_ << P << AIProvider::OpenAI << -1;
        QTest::newRow("summary provider")
            << int(Kind::Summarize) << P << L_ << AIProvider::DeepSeek << int(AIProvider::DeepSeek);
        QTest::newRow("summary provider none")
            << int(Kind::Summarize) << P << L_ << AIProvider::None << int(AIProvider::None);
        QTest::newRow("transcript local")
            << int(Kind::Transcribe) << P << L_ << AIProvider::OpenAI << -1;
        QTest::newRow("transcript provider") << int(Kind::Transcribe) << L_ << P
                                             << AIProvider::Anthropic << int(AIProvider::Anthropic);
    }

    void providerFor()
    {
        QFETCH(int, kind);
        QFETCH(AIEngine, summaryEngine);
        QFETCH(AIEngine, transcriptionEngine);
        QFETCH(AIProvider, provider);
        QFETCH(int, expected);
        m_settings->setSummaryEngine(summaryEngine);
        m_settings->setTranscriptionEngine(transcriptionEngine);
        m_settings->setAiProvider(provider);
        const auto ai = service();
        const auto answer = ai->providerFor(AIService::Action { Kind(kind), QStringLiteral("p") });
        QCOMPARE(answer ? int(*answer) : -1, expected);
    }

    void localJobsWithoutEngine_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("label");
        QTest::newRow("summary") << int(Kind::Summarize) << L("ai.local.summary.unsupported")
                                 << QStringLiteral("summarize");
        QTest::newRow("text") << int(Kind::ExtractText) << L("ai.local.text.unsupported")
                              << QStringLiteral("extract_text");
        QTest::newRow("transcript") << int(Kind::Transcribe) << L("ai.local.speech.unsupported")
                                    << QStringLiteral("transcribe");
    }

    void localJobsWithoutEngine()
    {
        QFETCH(int, kind);
        QFETCH(QString, message);
        QFETCH(QString, label);
        const auto [note, path] = noteWithMedia(
            Kind(kind) == Kind::ExtractText ? Attachment::Kind::Image : Attachment::Kind::Audio,
            QStringLiteral("Some text"));
        const auto ai = service();
        ai->run(AIService::Action { Kind(kind), Kind(kind) == Kind::Summarize ? QString() : path },
                note.id);
        finish(*ai);
        QVERIFY(!ai->result());
        QCOMPARE(ai->problem(), (AIService::Problem { note.id, message }));
        QVERIFY(m_server.requests().isEmpty());
        QVERIFY(
            g_log.contains(QStringLiteral("app.scrivelbar.app.ai %1 via local failed").arg(label)));
        QCOMPARE(m_recorder.events.size(), 1);
        const RecordedEvent event = m_recorder.events.first();
        QCOMPARE(event.name, QStringLiteral("ai_used"));
        QCOMPARE(event.properties.value(QStringLiteral("action")).toString(), label);
        QCOMPARE(event.properties.value(QStringLiteral("provider")).toString(),
                 QStringLiteral("local"));
        QCOMPARE(event.properties.value(QStringLiteral("ok")).metaType(),
                 QMetaType::fromType<bool>());
        QCOMPARE(event.properties.value(QStringLiteral("ok")).toBool(), false);
        QCOMPARE(event.properties.value(QStringLiteral("ms")).metaType(),
                 QMetaType::fromType<double>());
        QVERIFY(event.properties.value(QStringLiteral("ms")).toDouble() >= 0);
    }

    void localEngineDoesTheWork_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("call"); // %1: the media file's absolute path
        QTest::newRow("summary") << int(Kind::Summarize)
                                 << QStringLiteral("summary:Title\nline two");
        QTest::newRow("text") << int(Kind::ExtractText) << QStringLiteral("text:%1");
        QTest::newRow("transcript") << int(Kind::Transcribe) << QStringLiteral("speech:%1@es_ES");
    }

    void localEngineDoesTheWork()
    {
        QFETCH(int, kind);
        QFETCH(QString, call);
        m_settings->setSpeechLanguage(AppLanguage::Es);
        const auto [note, path]
            = noteWithMedia(Attachment::Kind::Audio, QStringLiteral("Title\nline two\n"));
        const auto ai = service(&m_local);
        ai->run(AIService::Action { Kind(kind), Kind(kind) == Kind::Summarize ? QString() : path },
                note.id);
        finish(*ai);
        QVERIFY(ai->result());
        QCOMPARE(ai->result()->text, QStringLiteral("local answer"));
        QCOMPARE(ai->result()->source, L("ai.source.local"));
        QCOMPARE(ai->result()->job.noteID, note.id);
        QString expected = call.contains(u"%1") ? call.arg(m_folders->notes() + u'/' + path) : call;
        QCOMPARE(m_local.calls.size(), 1);
        // The speech locale's region depends on the system's defaults for "es".
        if (Kind(kind) == Kind::Transcribe)
            QVERIFY2(m_local.calls.first().startsWith(expected.section(u'@', 0, 0)
                                                      + QStringLiteral("@es")),
                     qPrintable(m_local.calls.first()));
        else
            QCOMPARE(m_local.calls.first(), expected);
        if (Kind(kind) == Kind::Summarize)
            QCOMPARE(m_local.lastInstructions, QString::fromUtf8(AIService::summaryPrompt));
        QVERIFY(!ai->problem());
        QCOMPARE(m_recorder.events.first().properties.value(QStringLiteral("ok")).toBool(), true);
    }

    void summaryPromptIsExact()
    {
        QCOMPARE(
            QString::fromUtf8(AIService::summaryPrompt),
            QStringLiteral(
                "You summarize a personal note. Reply with the summary only, in Markdown, in "
                "the same language the note is written in: one sentence with the gist, then at "
                "most five bullet points with the key facts, decisions and to-dos. Use only "
                "what the note says; add nothing from outside it. No title and no preamble."));
    }

    void cloudSummary_data()
    {
        QTest::addColumn<AIProvider>("provider");
        QTest::addColumn<QString>("model");
        QTest::newRow("anthropic") << AIProvider::Anthropic << QString();
        QTest::newRow("openai") << AIProvider::OpenAI << QString();
        QTest::newRow("deepseek with own model")
            << AIProvider::DeepSeek << QStringLiteral("deepseek-reasoner");
        QTest::newRow("openrouter") << AIProvider::OpenRouter << QString();
    }

    void cloudSummary()
    {
        QFETCH(AIProvider, provider);
        QFETCH(QString, model);
        useCloud(provider);
        if (!model.isEmpty())
            m_settings->setAiModel(provider, QStringLiteral("  ") + model + QStringLiteral("\t"));
        const auto [note, path]
            = noteWithMedia(Attachment::Kind::Image, QStringLiteral("\n  Groceries\n- milk\n"));
        m_server.enqueue("POST", pathOf(provider),
                         provider == AIProvider::Anthropic ? anthropicAnswer(QStringLiteral("Sum."))
                                                           : chatAnswer(QStringLiteral("Sum.")));
        const auto ai = service(&m_local);
        ai->run(AIService::Action::summarize(), note.id);
        QVERIFY(!ai->consent());
        finish(*ai);
        QVERIFY2(ai->result(), ai->problem() ? qPrintable(ai->problem()->message) : "");
        QCOMPARE(ai->result()->text, QStringLiteral("Sum."));
        QCOMPARE(ai->result()->source, aiProviderDisplayName(provider));
        QVERIFY(m_local.calls.isEmpty());

        QCOMPARE(m_server.requests().size(), 1);
        const QJsonObject body = m_server.requests().first().json();
        QCOMPARE(body.value(QStringLiteral("model")).toString(),
                 model.isEmpty() ? aiProviderDefaultModel(provider) : model);
        const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
        const QString input
            = messages.last().toObject().value(QStringLiteral("content")).toString();
        // The text lines only: no media line, trimmed.
        QCOMPARE(input, QStringLiteral("Groceries\n- milk"));
        const QString prompt = provider == AIProvider::Anthropic
            ? body.value(QStringLiteral("system")).toString()
            : messages.first().toObject().value(QStringLiteral("content")).toString();
        QCOMPARE(prompt, QString::fromUtf8(AIService::summaryPrompt));

        const RecordedEvent event = m_recorder.events.first();
        QCOMPARE(event.properties.value(QStringLiteral("provider")).toString(),
                 aiProviderRawValue(provider));
        QCOMPARE(event.properties.value(QStringLiteral("ok")).toBool(), true);
        for (const RecordedEvent &e : std::as_const(m_recorder.events))
            for (const QVariant &value : e.properties)
                QVERIFY(!value.toString().contains(kKey));
    }

    void consentComesBeforeAnyByte()
    {
        useCloud(AIProvider::OpenAI, true);
        const auto [note, path] = noteWithMedia(Attachment::Kind::Audio, QStringLiteral("Text"));
        m_server.setHandler([](const HttpRequest &) { return chatAnswer(QStringLiteral("S")); });
        const auto ai = service();
        QSignalSpy consents(ai.get(), &AIService::consentChanged);
        ai->run(AIService::Action::summarize(), note.id);
        QCOMPARE(consents.size(), 1);
        QVERIFY(ai->consent());
        QCOMPARE(ai->consent()->provider, AIProvider::OpenAI);
        QCOMPARE(ai->consent()->job,
                 (AIService::Job { note.id, AIService::Action::summarize(), false }));
        QVERIFY(!ai->running());
        QTest::qWait(100);
        QVERIFY(m_server.requests().isEmpty());
        QVERIFY(m_recorder.events.isEmpty());

        // Declining clears the question and nothing else.
        ai->declineConsent(*ai->consent());
        QVERIFY(!ai->consent());
        QTest::qWait(50);
        QVERIFY(m_server.requests().isEmpty());
        QVERIFY(m_settings->aiAskBeforeSending());

        // An answer to an old question does nothing.
        ai->run(AIService::Action::summarize(), note.id);
        const AIService::Consent pending = *ai->consent();
        AIService::Consent stale = pending;
        stale.id = QStringLiteral("old");
        ai->approveConsent(stale, true);
        QCOMPARE(ai->consent(), pending);
        QVERIFY(m_settings->aiAskBeforeSending());

        // "Always": the setting goes off, the job runs, and the next job asks nothing.
        ai->approveConsent(pending, true);
        QVERIFY(!ai->consent());
        QVERIFY(!m_settings->aiAskBeforeSending());
        QVERIFY(ai->running());
        finish(*ai);
        QCOMPARE(m_server.requests().size(), 1);
        ai->run(AIService::Action::transcribe(path), note.id);
        QVERIFY(!ai->consent());
        finish(*ai);
    }

    void approvingOnceKeepsAsking()
    {
        useCloud(AIProvider::DeepSeek, true);
        const Note note = m_store->create(QStringLiteral("Text"));
        m_server.setHandler([](const HttpRequest &) { return chatAnswer(QStringLiteral("S")); });
        const auto ai = service();
        ai->run(AIService::Action::summarize(), note.id);
        ai->approveConsent(*ai->consent(), false);
        finish(*ai);
        QVERIFY(ai->result());
        QVERIFY(m_settings->aiAskBeforeSending());
        ai->run(AIService::Action::summarize(), note.id);
        QVERIFY(ai->consent());
    }

    void problems_data()
    {
        QTest::addColumn<AIProvider>("provider");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("key");
        QTest::addColumn<QString>("body"); // the note's text above the media line
        QTest::addColumn<QString>("message");
        QTest::newRow("provider none: no consent, no provider")
            << AIProvider::None << int(Kind::Summarize) << false << QStringLiteral("Text")
            << L("ai.error.noProvider");
        QTest::newRow("nothing to summarize")
            << AIProvider::OpenAI << int(Kind::Summarize) << true << QStringLiteral("\n  \n")
            << L("ai.error.nothingToSummarize");
        QTest::newRow("no key") << AIProvider::Anthropic << int(Kind::Summarize) << false
                                << QStringLiteral("Text")
                                << L("ai.error.noKey", QStringLiteral("Anthropic"));
        QTest::newRow("deepseek cannot transcribe")
            << AIProvider::DeepSeek << int(Kind::Transcribe) << true << QStringLiteral("Text")
            << L("ai.error.noTranscription", QStringLiteral("DeepSeek"));
        QTest::newRow("none cannot transcribe")
            << AIProvider::None << int(Kind::Transcribe) << false << QStringLiteral("Text")
            << L("ai.error.noTranscription", QString());
        QTest::newRow("openai transcription without key")
            << AIProvider::OpenAI << int(Kind::Transcribe) << false << QStringLiteral("Text")
            << L("ai.error.noKey", QStringLiteral("OpenAI"));
    }

    void problems()
    {
        QFETCH(AIProvider, provider);
        QFETCH(int, kind);
        QFETCH(bool, key);
        QFETCH(QString, body);
        QFETCH(QString, message);
        useCloud(provider, true);
        if (!key)
            m_keychain = MemoryKeychain();
        // Consent is asked only when something would be sent; answer it when it comes.
        const auto [note, path] = noteWithMedia(Attachment::Kind::Audio, body);
        const auto ai = service(&m_local);
        connect(ai.get(), &AIService::consentChanged, this, [&ai] {
            if (ai->consent())
                ai->approveConsent(*ai->consent(), false);
        });
        ai->run(AIService::Action { Kind(kind), Kind(kind) == Kind::Summarize ? QString() : path },
                note.id);
        finish(*ai);
        QVERIFY(ai->problem());
        QCOMPARE(ai->problem()->message, message);
        QCOMPARE(ai->problem()->noteID, note.id);
        QVERIFY(m_server.requests().isEmpty());
        QVERIFY(m_local.calls.isEmpty());
        QCOMPARE(m_recorder.events.size(), 1);
        QCOMPARE(m_recorder.events.first().properties.value(QStringLiteral("provider")).toString(),
                 aiProviderRawValue(provider));
        // The next run clears the problem.
        ai->run(AIService::Action { Kind(kind), path }, QStringLiteral("000000000000"));
        finish(*ai);
        QCOMPARE(ai->problem()->noteID, QStringLiteral("000000000000"));
    }

    void providerErrorsEndAsProblems()
    {
        useCloud(AIProvider::OpenRouter);
        const Note note = m_store->create(QStringLiteral("Text"));
        m_server.enqueue(
            "POST", QStringLiteral("/api/v1/chat/completions"),
            HttpResponse::json(
                { { QStringLiteral("error"),
                    QJsonObject { { QStringLiteral("message"), QStringLiteral("No credits") } } } },
                402));
        const auto ai = service();
        ai->run(AIService::Action::summarize(), note.id);
        finish(*ai);
        QCOMPARE(ai->problem()->message, L("ai.error.http", 402, QStringLiteral("No credits")));
        QVERIFY(g_log.contains(
            QStringLiteral("app.scrivelbar.app.ai summarize via openrouter failed")));
        QCOMPARE(m_server.requests().first().header("authorization"), ("Bearer " + kKey).toUtf8());
    }

    void unreachableKeychainIsAMessage()
    {
        useCloud(AIProvider::Anthropic);
        const Note note = m_store->create(QStringLiteral("Text"));
        MemoryKeychain broken;
        broken.setFailure(QStringLiteral("no keychain here"));
        const auto ai = service(nullptr, &broken);
        QCOMPARE(ai->keyProblem(), QStringLiteral("no keychain here"));
        QVERIFY(ai->storedKeys().isEmpty());
        ai->run(AIService::Action::summarize(), note.id);
        finish(*ai);
        QCOMPARE(ai->problem()->message, QStringLiteral("no keychain here"));
        QCOMPARE(QCoro::waitFor(ai->saveKey(QStringLiteral("k"), AIProvider::OpenAI)),
                 QStringLiteral("no keychain here"));
        QVERIFY(ai->storedKeys().isEmpty());
        QVERIFY(m_server.requests().isEmpty());
    }

    void secondJobWhileOneRunsIsIgnored()
    {
        useCloud(AIProvider::DeepSeek);
        const Note a = m_store->create(QStringLiteral("Note A"));
        const Note b = m_store->create(QStringLiteral("Note B"));
        HttpResponse slow = chatAnswer(QStringLiteral("Sum A"));
        slow.delayMs = 300;
        m_server.setHandler([slow](const HttpRequest &) { return slow; });
        const auto ai = service();
        QSignalSpy running(ai.get(), &AIService::runningChanged);
        ai->run(AIService::Action::summarize(), a.id);
        ai->run(AIService::Action::summarize(), b.id);
        ai->run(AIService::Action::summarize(), a.id);
        QCOMPARE(ai->running()->noteID, a.id);
        finish(*ai);
        QCOMPARE(running.size(), 2); // on and off once
        QCOMPARE(m_server.requests().size(), 1);
        QCOMPARE(ai->result()->job.noteID, a.id);
        QCOMPARE(m_recorder.events.size(), 1);
    }

    void storeGoneWhileRunningIsSafe()
    {
        useCloud(AIProvider::OpenAI);
        const Note note = m_store->create(QStringLiteral("Text"));
        HttpResponse slow = chatAnswer(QStringLiteral("Sum"));
        slow.delayMs = 200;
        m_server.setHandler([slow](const HttpRequest &) { return slow; });
        const auto ai = service();
        ai->run(AIService::Action::summarize(), note.id);
        m_store.reset();
        finish(*ai);
        QVERIFY(ai->result());
        ai->insertIntoNote(*ai->result());
        QVERIFY(ai->result()); // nowhere to keep it: it stays
        QVERIFY(!ai->saveAsNewNote(*ai->result()));
    }

    void serviceGoneWhileRunningIsSafe()
    {
        useCloud(AIProvider::OpenAI);
        const Note note = m_store->create(QStringLiteral("Text"));
        HttpResponse slow = chatAnswer(QStringLiteral("Sum"));
        slow.delayMs = 200;
        m_server.setHandler([slow](const HttpRequest &) { return slow; });
        auto ai = service();
        ai->run(AIService::Action::summarize(), note.id);
        ai.reset();
        QTRY_COMPARE(m_server.requests().size(), 1);
        QTest::qWait(400); // the answer arrives for a job nobody waits for any more
        QVERIFY(m_recorder.events.isEmpty());
    }

    void noteTrashedWhileRunningKeepsTheResult()
    {
        useCloud(AIProvider::OpenAI);
        const Note note = m_store->create(QStringLiteral("Text"));
        HttpResponse slow = chatAnswer(QStringLiteral("Sum"));
        slow.delayMs = 200;
        m_server.setHandler([slow](const HttpRequest &) { return slow; });
        const auto ai = service();
        ai->run(AIService::Action::summarize(), note.id);
        m_store->deleteNote(note.id);
        finish(*ai);
        QVERIFY(ai->result());
        ai->insertIntoNote(*ai->result());
        QVERIFY(ai->result());
        QCOMPARE(m_store->note(note.id)->body, note.body);
        // The result can still become a note of its own.
        const auto created = ai->saveAsNewNote(*ai->result());
        QVERIFY(created);
        QVERIFY(!ai->result());
    }

    void missingNoteIsEmpty()
    {
        const auto ai = service(&m_local);
        ai->run(AIService::Action::summarize(), QStringLiteral("abcdefabcdef"));
        finish(*ai);
        QCOMPARE(ai->problem()->message, L("ai.error.empty"));
        QVERIFY(m_local.calls.isEmpty());
    }

    void mediaPathsStayInTheAttachments_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("climbs out") << QStringLiteral("attachments/../../settings.ini");
        QTest::newRow("absolute") << QStringLiteral("/etc/passwd");
        QTest::newRow("outside attachments") << QStringLiteral("../settings.ini");
        QTest::newRow("missing file") << QStringLiteral("attachments/x/none.png");
    }

    void mediaPathsStayInTheAttachments()
    {
        QFETCH(QString, path);
        useCloud(AIProvider::OpenAI);
        m_settings->setSummaryEngine(AIEngine::Local);
        const Note note = m_store->create(QStringLiteral("Text"));
        const auto ai = service(&m_local);
        for (const Kind kind : { Kind::ExtractText, Kind::Transcribe }) {
            ai->run(AIService::Action { kind, path }, note.id);
            finish(*ai);
            QCOMPARE(ai->problem()->message, L("ai.error.mediaMissing"));
        }
        QVERIFY(m_local.calls.isEmpty());
        QVERIFY(m_server.requests().isEmpty());
    }

    void cloudTranscriptionLanguage_data()
    {
        QTest::addColumn<AppLanguage>("speech");
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << AppLanguage::En << QStringLiteral("en");
        QTest::newRow("es") << AppLanguage::Es << QStringLiteral("es");
        QTest::newRow("pt is sent as pt") << AppLanguage::Pt << QStringLiteral("pt");
        // Under the C locale the tests run in, the system's locale has no language code.
        QTest::newRow("system without a language code") << AppLanguage::System << QString();
    }

    void cloudTranscriptionLanguage()
    {
        QFETCH(AppLanguage, speech);
        QFETCH(QString, language);
        useCloud(AIProvider::OpenAI);
        m_settings->setSpeechLanguage(speech);
        const auto [note, path] = noteWithMedia(Attachment::Kind::Audio, QStringLiteral("Memo"));
        m_server.enqueue(
            "POST", QStringLiteral("/v1/audio/transcriptions"),
            HttpResponse::json({ { QStringLiteral("text"), QStringLiteral("Heard.") } }));
        const auto ai = service();
        ai->run(AIService::Action::transcribe(path), note.id);
        finish(*ai);
        QCOMPARE(ai->result()->source, QStringLiteral("OpenAI"));
        QCOMPARE(ai->result()->text, QStringLiteral("Heard."));
        const QByteArray body = m_server.requests().first().body;
        if (language.isEmpty() && m_settings->speechLocale().language() == QLocale::C)
            QVERIFY(!body.contains("name=\"language\""));
        else if (language.isEmpty())
            QVERIFY(body.contains("name=\"language\"\r\n\r\n"
                                  + m_settings->speechLocale().name().section(u'_', 0, 0).toUtf8()
                                  + "\r\n"));
        else
            QVERIFY(body.contains("name=\"language\"\r\n\r\n" + language.toUtf8() + "\r\n"));
        QVERIFY(body.contains("media bytes"));
    }

    void insertIntoNote_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("summary is appended") << int(Kind::Summarize);
        QTest::newRow("transcript goes below its recording") << int(Kind::Transcribe);
    }

    void insertIntoNote()
    {
        QFETCH(int, kind);
        const auto [note, path] = noteWithMedia(Attachment::Kind::Audio, QStringLiteral("Title"));
        m_store->setBody(note.body + QStringLiteral("\nAfter\n"), note.id, false);
        const Note before = *m_store->note(note.id);
        const auto ai = service(&m_local);
        ai->run(AIService::Action { Kind(kind), Kind(kind) == Kind::Summarize ? QString() : path },
                note.id);
        finish(*ai);
        ai->editResult(QStringLiteral("Edited answer"));
        QCOMPARE(ai->result()->text, QStringLiteral("Edited answer"));
        ai->insertIntoNote(*ai->result());
        QVERIFY(!ai->result());
        Note expected = before;
        if (Kind(kind) == Kind::Summarize)
            expected.appendText(QStringLiteral("## ") + L("ai.summary.heading")
                                + QStringLiteral("\n\nEdited answer"));
        else
            expected.insertText(QStringLiteral("Edited answer"), path);
        QCOMPARE(m_store->note(note.id)->body, expected.body);
        if (Kind(kind) == Kind::Transcribe) {
            const QStringList lines = expected.body.toString().split(u'\n');
            QCOMPARE(lines.at(lines.indexOf(QStringLiteral("Edited answer")) - 2).contains(path),
                     true);
        }
        // Undo takes it back.
        QVERIFY(m_store->undoStack()->canUndo());
        m_store->undoStack()->undo();
        QCOMPARE(m_store->note(note.id)->body, before.body);
    }

    void saveAsNewNote_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("summary") << int(Kind::Summarize);
        QTest::newRow("text") << int(Kind::ExtractText);
    }

    void saveAsNewNote()
    {
        QFETCH(int, kind);
        const auto [note, path]
            = noteWithMedia(Attachment::Kind::Image, QStringLiteral("Trip plan"));
        const auto ai = service(&m_local);
        ai->run(AIService::Action { Kind(kind), Kind(kind) == Kind::Summarize ? QString() : path },
                note.id);
        finish(*ai);
        const auto created = ai->saveAsNewNote(*ai->result());
        QVERIFY(created);
        QVERIFY(!ai->result());
        const QString expected = Kind(kind) == Kind::Summarize
            ? QStringLiteral("# ") + L("ai.summary.of", QStringLiteral("Trip plan"))
                + QStringLiteral("\n\nlocal answer\n")
            : QStringLiteral("local answer\n");
        QCOMPARE(m_store->note(created->id)->body, expected);
        QCOMPARE(m_store->note(note.id)->body, note.body);
    }

    void dismissAndClear()
    {
        const Note note = m_store->create(QStringLiteral("Text"));
        const auto ai = service(&m_local);
        ai->run(AIService::Action::summarize(), note.id);
        finish(*ai);
        QSignalSpy changed(ai.get(), &AIService::resultChanged);
        ai->dismissResult();
        QVERIFY(!ai->result());
        QCOMPARE(changed.size(), 1);
        ai->dismissResult();
        QCOMPARE(changed.size(), 1);
    }

    void storedKeysAtStart()
    {
        const QString keys = AIService::keychainService();
        QCOMPARE(keys, QStringLiteral("app.scrivelbar.ai"));
        m_keychain.set(keys, QStringLiteral("openrouter"), QStringLiteral("k1"));
        m_keychain.set(keys, QStringLiteral("anthropic"), QStringLiteral("k2"));
        m_keychain.set(keys, QStringLiteral("deepseek"), QString()); // empty reads as none
        m_keychain.set(QStringLiteral("app.scrivelbar.sync"), QStringLiteral("openai"),
                       QStringLiteral("x"));
        const auto ai = service();
        QVERIFY(!ai->isLoadingKeys());
        QCOMPARE(ai->storedKeys(),
                 (QList<AIProvider> { AIProvider::Anthropic, AIProvider::OpenRouter }));
        QVERIFY(ai->keyProblem().isEmpty());
    }

    void saveAndRemoveKeys()
    {
        const auto ai = service();
        QSignalSpy changed(ai.get(), &AIService::storedKeysChanged);
        QCOMPARE(QCoro::waitFor(ai->saveKey(QStringLiteral("  sk-typed \n"), AIProvider::OpenAI)),
                 QString());
        QCOMPARE(m_keychain.value(AIService::keychainService(), QStringLiteral("openai")),
                 QStringLiteral("sk-typed"));
        QCOMPARE(ai->storedKeys(), QList<AIProvider> { AIProvider::OpenAI });
        // Blanks and None store nothing.
        QCoro::waitFor(ai->saveKey(QStringLiteral(" \t\n"), AIProvider::Anthropic));
        QCoro::waitFor(ai->saveKey(QStringLiteral("key"), AIProvider::None));
        QVERIFY(!m_keychain.value(AIService::keychainService(), QStringLiteral("anthropic")));
        QVERIFY(!m_keychain.value(AIService::keychainService(), QStringLiteral("none")));
        QCOMPARE(changed.size(), 1);
        QCoro::waitFor(ai->saveKey(QStringLiteral("a"), AIProvider::Anthropic));
        QCOMPARE(ai->storedKeys(),
                 (QList<AIProvider> { AIProvider::Anthropic, AIProvider::OpenAI }));
        QCoro::waitFor(ai->saveKey(QStringLiteral("replaced"), AIProvider::OpenAI));
        QCOMPARE(m_keychain.value(AIService::keychainService(), QStringLiteral("openai")),
                 QStringLiteral("replaced"));
        QCOMPARE(QCoro::waitFor(ai->removeKey(AIProvider::OpenAI)), QString());
        QVERIFY(!m_keychain.value(AIService::keychainService(), QStringLiteral("openai")));
        QCOMPARE(ai->storedKeys(), QList<AIProvider> { AIProvider::Anthropic });
        QCoro::waitFor(ai->removeKey(AIProvider::None));
        QCOMPARE(ai->storedKeys(), QList<AIProvider> { AIProvider::Anthropic });
        // No key in the settings file.
        m_settings.reset();
        QVERIFY(!TestSupport::readFile(m_folders->path(QStringLiteral("settings.ini")))
                     .contains("replaced"));
        m_settings = std::make_unique<AppSettings>(m_folders->path(QStringLiteral("settings.ini")),
                                                   std::make_unique<MemoryLoginItem>());
    }

    void connectOpenRouter_data()
    {
        QTest::addColumn<QString>("redirectQuery"); // what the browser comes back with
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("problem"); // empty: success
        QTest::newRow("key") << QStringLiteral("code=abc123") << 200
                             << QByteArray(R"({"key":"sk-or-new","user_id":"u"})") << QString();
        QTest::newRow("no code") << QStringLiteral("state=x") << 200 << QByteArray()
                                 << L("ai.connect.cancelled");
        QTest::newRow("denied") << QStringLiteral("error=access_denied") << 200 << QByteArray()
                                << L("ai.connect.cancelled");
        QTest::newRow("200 without key") << QStringLiteral("code=abc123") << 200 << QByteArray("{}")
                                         << L("ai.error.http", 200, QString());
        QTest::newRow("refused exchange")
            << QStringLiteral("code=abc123") << 403
            << QByteArray(R"({"error":{"message":"Invalid code"}})")
            << L("ai.error.http", 403, QStringLiteral("Invalid code"));
        QTest::newRow("not JSON") << QStringLiteral("code=abc123") << 500 << QByteArray("<html>")
                                  << L("ai.error.http", 500, QString());
    }

    void connectOpenRouter()
    {
        QFETCH(QString, redirectQuery);
        QFETCH(int, status);
        QFETCH(QByteArray, answer);
        QFETCH(QString, problem);
        const HttpResponse response = HttpResponse::text(answer, status);
        m_server.setHandler([response](const HttpRequest &) { return response; });

        QNetworkAccessManager browserSide;
        QString challenge;
        int redirectStatus = 0;
        QByteArray page;
        m_browser.onOpen = [&](const QUrl &url) {
            QCOMPARE(url.path(), QStringLiteral("/auth"));
            const QList<QPair<QString, QString>> items
                = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
            QCOMPARE(items.size(), 3);
            QCOMPARE(items.at(0).first, QStringLiteral("callback_url"));
            QCOMPARE(items.at(1).first, QStringLiteral("code_challenge"));
            QCOMPARE(items.at(2),
                     qMakePair(QStringLiteral("code_challenge_method"), QStringLiteral("S256")));
            const QUrl callback(items.at(0).second);
            QCOMPARE(callback.host(), QStringLiteral("localhost"));
            QCOMPARE(callback.path(), QStringLiteral("/callback"));
            challenge = items.at(1).second;
            // The browser follows the redirect, as a real one would after the user agreed.
            QUrl target(QStringLiteral("http://127.0.0.1:%1/callback?%2")
                            .arg(callback.port())
                            .arg(redirectQuery));
            QNetworkReply *reply = browserSide.get(QNetworkRequest(target));
            connect(reply, &QNetworkReply::finished, this, [&, reply] {
                redirectStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                page = reply->readAll();
                reply->deleteLater();
            });
        };
        const auto ai = service();
        QSignalSpy connecting(ai.get(), &AIService::connectingChanged);
        const auto outcome = QCoro::waitFor(ai->connectOpenRouter());
        QCOMPARE(m_browser.opened.size(), 1);
        QCOMPARE(connecting.size(), 2);
        QVERIFY(!ai->connecting());
        QTRY_COMPARE(redirectStatus, 200);
        QVERIFY(page.contains((redirectQuery.startsWith(u"error") ? L("ai.connect.page.denied")
                                                                  : L("ai.connect.page.done"))
                                  .toUtf8()));
        if (problem.isEmpty()) {
            QVERIFY2(!outcome, outcome ? qPrintable(*outcome) : "");
            QCOMPARE(ai->storedKeys(), QList<AIProvider> { AIProvider::OpenRouter });
            QCOMPARE(m_keychain.value(AIService::keychainService(), QStringLiteral("openrouter")),
                     QStringLiteral("sk-or-new"));
        } else {
            QCOMPARE(outcome, problem);
            QVERIFY(ai->storedKeys().isEmpty());
            QVERIFY(!m_keychain.value(AIService::keychainService(), QStringLiteral("openrouter")));
        }
        const auto exchanges = m_server.requests(QStringLiteral("/api/v1/auth/keys"));
        if (!redirectQuery.startsWith(u"code")) {
            QVERIFY(exchanges.isEmpty());
            return;
        }
        QCOMPARE(exchanges.size(), 1);
        const HttpRequest &request = exchanges.first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.header("content-type"), QByteArray("application/json"));
        const QJsonObject body = request.json();
        QCOMPARE(body.size(), 3);
        QCOMPARE(body.value(QStringLiteral("code")).toString(), QStringLiteral("abc123"));
        QCOMPARE(body.value(QStringLiteral("code_challenge_method")).toString(),
                 QStringLiteral("S256"));
        const QString verifier = body.value(QStringLiteral("code_verifier")).toString();
        QCOMPARE(verifier.size(), 64);
        QCOMPARE(LoopbackRedirect::codeChallenge(verifier), challenge);
    }

    void connectTimesOut()
    {
        AIService::Options options;
        options.keychain = &m_keychain;
        options.browser = &m_browser;
        options.recorder = &m_recorder;
        options.connectTimeout = std::chrono::milliseconds(100);
        AIService ai(m_settings.get(), m_store.get(), options);
        const auto outcome = QCoro::waitFor(ai.connectOpenRouter());
        QCOMPARE(outcome, L("ai.connect.timedOut"));
        QVERIFY(!ai.connecting());
    }
};

QTEST_GUILESS_MAIN(TestAIService)
#include "tst_aiservice.moc"
