// The on-device engine's local servers against scripted servers on 127.0.0.1: the addresses
// it accepts, the speech server's two dialects and its fallback, the model server's status
// and every reason a local summary cannot run.
#include "MemoryLoginItem.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "ai/local/AudioDecoder.h"
#include "ai/local/LocalEndpoints.h"
#include "ai/local/LocalEngine.h"
#include "ai/local/ModelServerClient.h"
#include "ai/local/SpeechServerClient.h"
#include "base/Localization.h"
#include "settings/AppSettings.h"

#include <QCoroTask>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using TestSupport::HttpRequest;
using TestSupport::HttpResponse;
using TestSupport::TestHttpServer;

Q_DECLARE_METATYPE(TestSupport::HttpResponse)

namespace {

HttpResponse models(const QStringList &ids, int status = 200)
{
    QJsonArray data;
    for (const QString &id : ids)
        data.append(QJsonObject { { QStringLiteral("id"), id } });
    return HttpResponse::json({ { QStringLiteral("data"), data } }, status);
}

HttpResponse chat(const QString &content, const QString &finish = QStringLiteral("stop"))
{
    const QJsonObject message { { QStringLiteral("role"), QStringLiteral("assistant") },
                                { QStringLiteral("content"), content } };
    return HttpResponse::json({ { QStringLiteral("choices"),
                                  QJsonArray { QJsonObject {
                                      { QStringLiteral("message"), message },
                                      { QStringLiteral("finish_reason"), finish } } } } });
}

// One second of a 440 Hz tone at half scale: loud enough to be no silence.
QByteArray tone()
{
    QByteArray pcm(AudioDecoder::sampleRate * 2, Qt::Uninitialized);
    auto *samples = reinterpret_cast<qint16 *>(pcm.data());
    for (int i = 0; i < AudioDecoder::sampleRate; ++i)
        samples[i] = qint16(16000 * std::sin(2 * M_PI * 440 * i / AudioDecoder::sampleRate));
    return pcm;
}

} // namespace

class TestLocalServers : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempFolders> m_folders;
    std::unique_ptr<AppSettings> m_settings;

    std::unique_ptr<LocalEngine> engine(bool probe = false)
    {
        LocalEngine::Options options;
        options.probeAtStart = probe;
        options.model.probeTimeout = std::chrono::milliseconds(3000);
        options.speech.probeTimeout = std::chrono::milliseconds(3000);
        return std::make_unique<LocalEngine>(m_settings.get(), options);
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void init()
    {
        qunsetenv(LocalEndpoints::speechVariable);
        qunsetenv(LocalEndpoints::modelVariable);
        Localization::setLanguage(AppLanguage::En);
        m_folders = std::make_unique<TestSupport::TempFolders>();
        m_settings = std::make_unique<AppSettings>(m_folders->path(QStringLiteral("settings.ini")),
                                                   std::make_unique<MemoryLoginItem>());
    }

    void cleanup()
    {
        qunsetenv(LocalEndpoints::speechVariable);
        qunsetenv(LocalEndpoints::modelVariable);
        m_settings.reset();
        m_folders.reset();
    }

    // ---- addresses ----

    void addresses_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("url"); // empty: refused
        QTest::addColumn<QString>("problemKey");
        QTest::newRow("loopback") << "http://127.0.0.1:8080" << "http://127.0.0.1:8080" << "";
        QTest::newRow("trailing slashes") << "http://127.0.0.1:8080//" << "http://127.0.0.1:8080" << "";
        QTest::newRow("openai base with /v1") << "http://localhost:11434/v1/"
                                              << "http://localhost:11434" << "";
        QTest::newRow("other loopback") << "http://127.0.0.2:9000" << "http://127.0.0.2:9000" << "";
        QTest::newRow("ipv6 loopback") << "http://[::1]:8080" << "http://[::1]:8080" << "";
        QTest::newRow("spaces around") << "  https://localhost:8443  " << "https://localhost:8443" << "";
        QTest::newRow("another machine") << "http://192.168.1.20:11434" << "" << "notLocal";
        QTest::newRow("a host name") << "http://ollama.example.com" << "" << "notLocal";
        QTest::newRow("not http") << "ftp://127.0.0.1/" << "" << "invalid";
        QTest::newRow("no scheme") << "127.0.0.1:8080" << "" << "invalid";
        QTest::newRow("user info") << "http://me:pw@127.0.0.1:8080" << "" << "invalid";
        QTest::newRow("query") << "http://127.0.0.1:8080?x=1" << "" << "invalid";
        QTest::newRow("garbage") << "not an address" << "" << "invalid";
    }

    void addresses()
    {
        QFETCH(QString, written);
        QFETCH(QString, url);
        QFETCH(QString, problemKey);
        const auto endpoint = LocalEndpoints::parse(written);
        QCOMPARE(endpoint.url.toString(), url);
        if (problemKey == u"notLocal")
            QCOMPARE(endpoint.problem, L("ai.local.address.notLocal", written.trimmed()));
        else if (problemKey == u"invalid")
            QCOMPARE(endpoint.problem, L("ai.local.address.invalid", written.trimmed()));
        else
            QVERIFY2(endpoint.problem.isEmpty(), qPrintable(endpoint.problem));
    }

    void environmentOverridesTheSetting()
    {
        m_settings->setLocalSpeechURL(QStringLiteral("http://127.0.0.1:1111"));
        m_settings->setLocalModelURL(QStringLiteral("http://127.0.0.1:2222"));
        QCOMPARE(LocalEndpoints::speechServer(*m_settings).url.port(), 1111);
        QVERIFY(!LocalEndpoints::speechServer(*m_settings).fromEnvironment);
        qputenv(LocalEndpoints::speechVariable, "http://127.0.0.1:3333");
        qputenv(LocalEndpoints::modelVariable, "http://10.0.0.5:11434");
        const auto speech = LocalEndpoints::speechServer(*m_settings);
        QCOMPARE(speech.url.port(), 3333);
        QVERIFY(speech.fromEnvironment);
        // An override elsewhere is refused like a setting elsewhere: nothing leaves the machine.
        const auto model = LocalEndpoints::modelServer(*m_settings);
        QVERIFY(!model.url.isValid());
        QVERIFY(model.problem.contains(QStringLiteral("10.0.0.5")));
    }

    void settingsDefaultsAndClearing()
    {
        QCOMPARE(m_settings->localSpeechURL(), QString::fromLatin1(AppSettings::defaultLocalSpeechURL));
        QCOMPARE(m_settings->localModelURL(), QStringLiteral("http://127.0.0.1:11434"));
        QCOMPARE(m_settings->localModel(), QString::fromLatin1(AppSettings::defaultLocalModel));
        QSignalSpy changed(m_settings.get(), &AppSettings::localModelChanged);
        m_settings->setLocalModel(QStringLiteral("  qwen2.5:3b \n"));
        QCOMPARE(m_settings->localModel(), QStringLiteral("qwen2.5:3b"));
        m_settings->setLocalModel(QStringLiteral("qwen2.5:3b"));
        QCOMPARE(changed.count(), 1);
        {
            AppSettings reread(m_folders->path(QStringLiteral("settings.ini")),
                               std::make_unique<MemoryLoginItem>());
            QCOMPARE(reread.localModel(), QStringLiteral("qwen2.5:3b"));
        }
        m_settings->setLocalModel(QStringLiteral("   "));
        QCOMPARE(m_settings->localModel(), QString::fromLatin1(AppSettings::defaultLocalModel));
        AppSettings reread(m_folders->path(QStringLiteral("settings.ini")),
                           std::make_unique<MemoryLoginItem>());
        QCOMPARE(reread.localModel(), QString::fromLatin1(AppSettings::defaultLocalModel));
    }

    // ---- speech server ----

    void speechServerDialects_data()
    {
        QTest::addColumn<bool>("openAI"); // else whisper.cpp (404 on the OpenAI path)
        QTest::addColumn<QString>("language");
        QTest::newRow("OpenAI-compatible, Spanish") << true << "es";
        QTest::newRow("whisper.cpp, Portuguese") << false << "pt";
    }

    void speechServerDialects()
    {
        QFETCH(bool, openAI);
        QFETCH(QString, language);
        TestHttpServer server;
        QVERIFY(server.listen());
        server.setHandler([openAI](const HttpRequest &request) {
            const bool mine = openAI ? request.path == QLatin1String(SpeechServerClient::openAIPath)
                                     : request.path == QLatin1String(SpeechServerClient::whisperPath);
            if (!mine)
                return HttpResponse::text("not found", 404);
            return HttpResponse::json({ { QStringLiteral("text"), QStringLiteral("  hola mundo \n") } });
        });
        SpeechServerClient client;
        const QByteArray wav = AudioDecoder::wav(tone());
        const auto outcome = QCoro::waitFor(client.transcribe(QUrl(server.url()), wav, language));
        QCOMPARE(outcome.kind, SpeechServerClient::Outcome::Kind::Text);
        QCOMPARE(outcome.text, QStringLiteral("hola mundo"));
        QCOMPARE(server.requests().size(), openAI ? 1 : 2);
        const HttpRequest &last = server.requests().last();
        QCOMPARE(last.method, QByteArray("POST"));
        QVERIFY(last.header("content-type").startsWith("multipart/form-data; boundary=scrivelbar-"));
        QVERIFY(last.body.contains("name=\"language\"\r\n\r\n" + language.toUtf8() + "\r\n"));
        QVERIFY(last.body.contains("name=\"response_format\"\r\n\r\njson\r\n"));
        // The upload is the decoded audio as a WAV file, which every such server reads.
        QVERIFY(last.body.contains("filename=\"recording.wav\""));
        QVERIFY(last.body.contains(wav.left(44)));
    }

    void speechServerOutcomes_data()
    {
        QTest::addColumn<HttpResponse>("answer");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        using Kind = SpeechServerClient::Outcome::Kind;
        QTest::newRow("heard nothing") << HttpResponse::json({ { QStringLiteral("text"), QStringLiteral(" ") } })
                                       << int(Kind::NoSpeech) << "";
        QTest::newRow("server error") << HttpResponse::json({ { QStringLiteral("error"), QStringLiteral("model missing") } }, 500)
                                      << int(Kind::Failed) << "model missing";
        QTest::newRow("no text member") << HttpResponse::json({ { QStringLiteral("result"), 1 } })
                                        << int(Kind::Failed) << L("error.invalidResponse");
        QTest::newRow("not a speech server") << HttpResponse::text("no", 404)
                                             << int(Kind::NotRunning) << "";
    }

    void speechServerOutcomes()
    {
        QFETCH(HttpResponse, answer);
        QFETCH(int, kind);
        QFETCH(QString, message);
        TestHttpServer server;
        QVERIFY(server.listen());
        server.setHandler([answer](const HttpRequest &) { return answer; });
        SpeechServerClient client;
        const auto outcome = QCoro::waitFor(
            client.transcribe(QUrl(server.url()), AudioDecoder::wav(tone()), std::nullopt));
        QCOMPARE(int(outcome.kind), kind);
        if (!message.isEmpty())
            QVERIFY2(outcome.error.description().contains(message),
                     qPrintable(outcome.error.description()));
        QVERIFY(!server.requests().isEmpty());
        QVERIFY(!server.requests().first().body.contains("name=\"language\""));
    }

    void speechServerNotRunning()
    {
        SpeechServerClient client;
        const auto outcome = QCoro::waitFor(
            client.transcribe(QUrl(TestSupport::unusedAddress()), AudioDecoder::wav(tone()), QStringLiteral("en")));
        QCOMPARE(outcome.kind, SpeechServerClient::Outcome::Kind::NotRunning);
        QVERIFY(!QCoro::waitFor(client.answers(QUrl(TestSupport::unusedAddress()))));
    }

    // ---- model server ----

    void modelStatus_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<HttpResponse>("answer");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("reasonKey"); // empty: summaries can run
        QTest::newRow("nothing listens") << false << HttpResponse() << "llama3.2" << "ai.local.summary.off";
        QTest::newRow("model pulled (Ollama tag)") << true << models({ QStringLiteral("llama3.2:latest") })
                                                   << "llama3.2" << "";
        QTest::newRow("model with a tag") << true << models({ QStringLiteral("qwen2.5:3b") })
                                          << "qwen2.5:3b" << "";
        QTest::newRow("other models only") << true << models({ QStringLiteral("mistral:latest") })
                                           << "llama3.2" << "ai.local.summary.notReady";
        QTest::newRow("no models") << true << models({}) << "llama3.2" << "ai.local.summary.notReady";
        QTest::newRow("still loading") << true << HttpResponse::text("Loading model", 503)
                                       << "llama3.2" << "ai.local.summary.notReady";
        QTest::newRow("not JSON") << true << HttpResponse::text("<html>hi</html>", 200)
                                  << "llama3.2" << "ai.local.summary.notReady";
    }

    void modelStatus()
    {
        QFETCH(bool, running);
        QFETCH(HttpResponse, answer);
        QFETCH(QString, model);
        QFETCH(QString, reasonKey);
        TestHttpServer server;
        QVERIFY(server.listen());
        server.setHandler([answer](const HttpRequest &) { return answer; });
        m_settings->setLocalModelURL(running ? server.url() : TestSupport::unusedAddress());
        m_settings->setLocalModel(model);
        m_settings->setLocalSpeechURL(TestSupport::unusedAddress());
        auto local = engine();
        QCOMPARE(local->summaryUnavailableReason(), std::optional(L("ai.local.summary.checking")));
        QSignalSpy refreshed(local.get(), &LocalEngine::statusRefreshed);
        local->refreshStatus();
        QVERIFY(refreshed.wait(5000));
        const auto reason = local->summaryUnavailableReason();
        if (reasonKey.isEmpty())
            QVERIFY2(!reason, qPrintable(reason.value_or(QString())));
        else
            QCOMPARE(reason, std::optional(L(reasonKey.toLatin1().constData())));
        if (running) {
            QCOMPARE(server.requests().size(), 1);
            QCOMPARE(server.requests().first().path, QStringLiteral("/v1/models"));
        }
    }

    void notLocalModelServerIsNeverAsked()
    {
        m_settings->setLocalModelURL(QStringLiteral("http://203.0.113.9:11434"));
        auto local = engine();
        QCOMPARE(local->summaryUnavailableReason(),
                 std::optional(L("ai.local.address.notLocal", QStringLiteral("http://203.0.113.9:11434"))));
        const auto summary = QCoro::waitFor(local->summarize(QStringLiteral("a note"), QStringLiteral("be brief")));
        QVERIFY(!summary);
        QVERIFY(summary.error().description().contains(QStringLiteral("203.0.113.9")));
    }

    void summaries_data()
    {
        QTest::addColumn<HttpResponse>("answer");
        QTest::addColumn<QString>("summary"); // empty: fails
        QTest::addColumn<QString>("message");
        QTest::newRow("summary") << chat(QStringLiteral("\n The gist.\n- a fact\n"))
                                 << "The gist.\n- a fact" << "";
        QTest::newRow("empty answer") << chat(QStringLiteral("  \n")) << "" << L("ai.error.empty");
        QTest::newRow("no choices") << HttpResponse::json({}) << "" << L("ai.error.empty");
        QTest::newRow("OpenAI-style context error")
            << HttpResponse::json({ { QStringLiteral("error"),
                                      QJsonObject { { QStringLiteral("code"), QStringLiteral("context_length_exceeded") },
                                                    { QStringLiteral("message"), QStringLiteral("too many tokens") } } } },
                                  400)
            << "" << L("ai.error.tooLongForLocal");
        QTest::newRow("llama.cpp context error")
            << HttpResponse::json({ { QStringLiteral("error"),
                                      QJsonObject { { QStringLiteral("type"), QStringLiteral("exceed_context_size_error") },
                                                    { QStringLiteral("message"), QStringLiteral("the request exceeds the available context size") } } } },
                                  400)
            << "" << L("ai.error.tooLongForLocal");
        QTest::newRow("answer cut off by the context") << chat(QStringLiteral("The gi"), QStringLiteral("length"))
                                                       << "" << L("ai.error.tooLongForLocal");
        QTest::newRow("model not pulled (Ollama)")
            << HttpResponse::json({ { QStringLiteral("error"),
                                      QJsonObject { { QStringLiteral("message"), QStringLiteral("model \"llama3.2\" not found, try pulling it first") } } } },
                                  404)
            << "" << L("ai.local.summary.notReady");
        QTest::newRow("loading (llama.cpp)") << HttpResponse::text("Loading model", 503) << ""
                                             << L("ai.local.summary.notReady");
        QTest::newRow("other failure") << HttpResponse::json({ { QStringLiteral("error"), QStringLiteral("out of memory") } }, 500)
                                       << "" << L("ai.error.http", 500, QStringLiteral("out of memory"));
    }

    void summaries()
    {
        QFETCH(HttpResponse, answer);
        QFETCH(QString, summary);
        QFETCH(QString, message);
        TestHttpServer server;
        QVERIFY(server.listen());
        server.enqueue("POST", QStringLiteral("/v1/chat/completions"), answer);
        server.setHandler([](const HttpRequest &) { return models({ QStringLiteral("llama3.2:latest") }); });
        m_settings->setLocalModelURL(server.url() + QStringLiteral("/v1"));
        auto local = engine();
        const auto result = QCoro::waitFor(
            local->summarize(QStringLiteral("Buy milk. Call Ana."), QStringLiteral("Summarize.")));
        if (summary.isEmpty()) {
            QVERIFY(!result);
            QCOMPARE(result.error().description(), message);
        } else {
            QVERIFY2(result, qPrintable(result ? QString() : result.error().description()));
            QCOMPARE(*result, summary);
        }
        const auto sent = server.requests(QStringLiteral("/v1/chat/completions"));
        QCOMPARE(sent.size(), 1);
        const QJsonObject body = sent.first().json();
        QCOMPARE(body.value(QStringLiteral("model")).toString(), QString::fromLatin1(AppSettings::defaultLocalModel));
        QCOMPARE(body.value(QStringLiteral("stream")).toBool(true), false);
        const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages.at(0).toObject().value(QStringLiteral("role")).toString(), QStringLiteral("system"));
        QCOMPARE(messages.at(0).toObject().value(QStringLiteral("content")).toString(), QStringLiteral("Summarize."));
        QCOMPARE(messages.at(1).toObject().value(QStringLiteral("content")).toString(),
                 QStringLiteral("Buy milk. Call Ana."));
    }

    void summaryWhenNothingListens()
    {
        m_settings->setLocalModelURL(TestSupport::unusedAddress());
        auto local = engine();
        const auto result = QCoro::waitFor(local->summarize(QStringLiteral("text"), QStringLiteral("i")));
        QVERIFY(!result);
        QCOMPARE(result.error().description(), L("ai.local.summary.off"));
    }

    // ---- which engine runs ----

    void enginesFollowTheServers()
    {
        TestHttpServer speech;
        QVERIFY(speech.listen());
        speech.setHandler([](const HttpRequest &) { return HttpResponse::text("whisper.cpp", 200); });
        m_settings->setLocalSpeechURL(TestSupport::unusedAddress());
        m_settings->setLocalModelURL(TestSupport::unusedAddress());
        auto local = engine(true);
        int changes = 0;
        local->setStatusListener([&changes] { ++changes; });
        QSignalSpy refreshed(local.get(), &LocalEngine::statusRefreshed);
        QVERIFY(refreshed.wait(5000));
        QCOMPARE(local->engineFor(LocalAI::Job::Speech), L("ai.local.engine.speechClassic"));
        QVERIFY(local->engineFor(LocalAI::Job::Text).contains(L("ai.language.es")));
        QVERIFY(local->engineFor(LocalAI::Job::Summary).contains(QString::fromLatin1(AppSettings::defaultLocalModel)));
        // A changed address is looked at again at once.
        m_settings->setLocalSpeechURL(speech.url());
        QVERIFY(refreshed.wait(5000));
        QCOMPARE(local->engineFor(LocalAI::Job::Speech), L("ai.local.engine.speechServer", speech.url()));
        QVERIFY(changes >= 2);
    }
};

QTEST_GUILESS_MAIN(TestLocalServers)
#include "tst_localservers.moc"
