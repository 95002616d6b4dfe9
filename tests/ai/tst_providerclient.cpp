// The provider clients against a local server that plays each provider: every request is
// checked member by member, and every answer shape and error status is mapped.
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "ai/ProviderClient.h"
#include "base/Localization.h"

#include <QCoroTask>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::HttpRequest;
using TestSupport::HttpResponse;
using TestSupport::TestHttpServer;

Q_DECLARE_METATYPE(AIProvider)

namespace {

const char *const kVariables[]
    = { "SCRIVEL_ANTHROPIC_URL", "SCRIVEL_OPENAI_URL", "SCRIVEL_DEEPSEEK_URL",
        "SCRIVEL_OPENROUTER_URL", "SCRIVEL_OPENROUTER_AUTH_URL" };

template<typename T> T wait(QCoro::Task<T> task)
{
    return QCoro::waitFor(std::move(task));
}

HttpResponse anthropicText(const QJsonArray &content,
                           const QString &stop = QStringLiteral("end_turn"))
{
    return HttpResponse::json(
        { { QStringLiteral("content"), content }, { QStringLiteral("stop_reason"), stop } });
}

QJsonObject textBlock(const QString &text)
{
    return { { QStringLiteral("type"), QStringLiteral("text") }, { QStringLiteral("text"), text } };
}

HttpResponse chatAnswer(const QJsonValue &content)
{
    return HttpResponse::json(
        { { QStringLiteral("choices"),
            QJsonArray { QJsonObject {
                { QStringLiteral("message"),
                  QJsonObject { { QStringLiteral("role"), QStringLiteral("assistant") },
                                { QStringLiteral("content"), content } } } } } } });
}

} // namespace

class TestProviderClient : public QObject
{
    Q_OBJECT

    TestHttpServer m_server;
    QTemporaryDir m_dir;

    ProviderClient client(AIProvider provider, const QString &model = QString())
    {
        return ProviderClient(provider, QStringLiteral("sk-test-123"),
                              model.isEmpty() ? aiProviderDefaultModel(provider) : model);
    }

    QString audioFile(qint64 size, const QString &name = QStringLiteral("memo.m4a"))
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        if (size <= 1024)
            file.write(QByteArray(size, 'a'));
        else
            file.resize(size); // sparse: no need to write megabytes
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        QVERIFY(m_dir.isValid());
        QVERIFY(m_server.listen());
        for (const char *variable : kVariables)
            qputenv(variable, m_server.url().toUtf8());
    }

    void init()
    {
        m_server.clearRequests();
        m_server.setHandler({});
        for (const char *variable : kVariables)
            qputenv(variable, m_server.url().toUtf8());
    }

    void anthropicRequest_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("fallback");
        QTest::newRow("default model") << QStringLiteral("claude-opus-5") << true;
        QTest::newRow("longer fable name") << QStringLiteral("claude-fable-5-20260101") << true;
        QTest::newRow("other model") << QStringLiteral("claude-sonnet-4") << false;
        QTest::newRow("prefix elsewhere") << QStringLiteral("my-claude-opus-5") << false;
    }

    void anthropicRequest()
    {
        QFETCH(QString, model);
        QFETCH(bool, fallback);
        m_server.enqueue("POST", QStringLiteral("/v1/messages"),
                         anthropicText({ textBlock(QStringLiteral("  The gist.  ")) }));
        const auto answer
            = wait(client(AIProvider::Anthropic, model)
                       .anthropic(QStringLiteral("INSTRUCTIONS"), QStringLiteral("note text")));
        QVERIFY(answer);
        QCOMPARE(*answer, QStringLiteral("The gist."));

        QCOMPARE(m_server.requests().size(), 1);
        const HttpRequest &request = m_server.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QStringLiteral("/v1/messages"));
        QCOMPARE(request.header("content-type"), QByteArray("application/json"));
        QCOMPARE(request.header("x-api-key"), QByteArray("sk-test-123"));
        QCOMPARE(request.header("anthropic-version"), QByteArray("2023-06-01"));
        QVERIFY(request.header("authorization").isEmpty());
        QVERIFY(request.header("cookie").isEmpty());
        const QJsonObject body = request.json();
        QCOMPARE(body.value(QStringLiteral("model")).toString(), model);
        QVERIFY(body.value(QStringLiteral("max_tokens")).isDouble());
        QCOMPARE(body.value(QStringLiteral("max_tokens")).toInt(), 16000);
        QCOMPARE(body.value(QStringLiteral("system")).toString(), QStringLiteral("INSTRUCTIONS"));
        const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.at(0).toObject(),
                 (QJsonObject { { QStringLiteral("role"), QStringLiteral("user") },
                                { QStringLiteral("content"), QStringLiteral("note text") } }));
        if (fallback) {
            QCOMPARE(request.header("anthropic-beta"),
                     QByteArray("server-side-fallback-2026-07-01"));
            QCOMPARE(body.value(QStringLiteral("fallbacks")).toString(), QStringLiteral("default"));
            QCOMPARE(body.size(), 5);
        } else {
            QVERIFY(!request.headers.contains("anthropic-beta"));
            QVERIFY(!body.contains(QStringLiteral("fallbacks")));
            QCOMPARE(body.size(), 4);
        }
    }

    void anthropicAnswers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("text"); // empty: fails
        QTest::addColumn<int>("kind");
        const int none = -1;
        QTest::newRow("two texts around a tool block") << QByteArray(
            R"({"content":[{"type":"text","text":"One. "},{"type":"tool_use","id":"t","name":"x","input":{}},{"type":"text","text":"Two."}]})")
                                                       << QStringLiteral("One. Two.") << none;
        QTest::newRow("all text blocks blank") << QByteArray(
            R"({"content":[{"type":"text","text":"  "},{"type":"text","text":"\n"}]})")
                                               << QString() << int(AIError::Kind::Empty);
        QTest::newRow("refusal") << QByteArray(
            R"({"content":[{"type":"text","text":"No."}],"stop_reason":"refusal"})")
                                 << QString() << int(AIError::Kind::Refused);
        QTest::newRow("content missing")
            << QByteArray(R"({"id":"x"})") << QString() << int(AIError::Kind::Empty);
        QTest::newRow("content not an array")
            << QByteArray(R"({"content":"text"})") << QString() << int(AIError::Kind::Empty);
        QTest::newRow("text not a string")
            << QByteArray(R"({"content":[{"type":"text","text":5},{"type":"text","text":"ok"}]})")
            << QStringLiteral("ok") << none;
        QTest::newRow("not JSON") << QByteArray("hello") << QString() << int(AIError::Kind::Empty);
        QTest::newRow("JSON array")
            << QByteArray("[1,2]") << QString() << int(AIError::Kind::Empty);
    }

    void anthropicAnswers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, text);
        QFETCH(int, kind);
        HttpResponse response;
        response.body = answer;
        response.headers = { { "Content-Type", "application/json" } };
        m_server.enqueue("POST", QStringLiteral("/v1/messages"), response);
        const auto result = wait(
            client(AIProvider::Anthropic).anthropic(QStringLiteral("i"), QStringLiteral("t")));
        if (kind < 0) {
            QVERIFY(result);
            QCOMPARE(*result, text);
        } else {
            QVERIFY(!result);
            QCOMPARE(int(result.error().kind), kind);
        }
    }

    void chatRequest_data()
    {
        QTest::addColumn<AIProvider>("provider");
        QTest::addColumn<QString>("path");
        QTest::newRow("openai") << AIProvider::OpenAI << QStringLiteral("/v1/chat/completions");
        QTest::newRow("deepseek") << AIProvider::DeepSeek << QStringLiteral("/chat/completions");
        QTest::newRow("openrouter")
            << AIProvider::OpenRouter << QStringLiteral("/api/v1/chat/completions");
    }

    void chatRequest()
    {
        QFETCH(AIProvider, provider);
        QFETCH(QString, path);
        m_server.enqueue("POST", path, chatAnswer(QStringLiteral("\n- point\n")));
        const auto answer = wait(client(provider).chatCompletions(QStringLiteral("INSTRUCTIONS"),
                                                                  QStringLiteral("input")));
        QVERIFY(answer);
        QCOMPARE(*answer, QStringLiteral("- point"));
        QCOMPARE(m_server.requests().size(), 1);
        const HttpRequest &request = m_server.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, path);
        QCOMPARE(request.header("content-type"), QByteArray("application/json"));
        QCOMPARE(request.header("authorization"), QByteArray("Bearer sk-test-123"));
        QVERIFY(!request.headers.contains("x-api-key"));
        if (provider == AIProvider::OpenRouter) {
            QCOMPARE(request.header("http-referer"), QByteArray(ProviderHosts::appWebsite));
            QCOMPARE(request.header("x-title"), QByteArray("ScrivelBar"));
        } else {
            QVERIFY(!request.headers.contains("http-referer"));
            QVERIFY(!request.headers.contains("x-title"));
        }
        const QJsonObject body = request.json();
        QCOMPARE(body.size(), 2); // model and messages, no token limit
        QCOMPARE(body.value(QStringLiteral("model")).toString(), aiProviderDefaultModel(provider));
        const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages.at(0).toObject(),
                 (QJsonObject { { QStringLiteral("role"), QStringLiteral("system") },
                                { QStringLiteral("content"), QStringLiteral("INSTRUCTIONS") } }));
        QCOMPARE(messages.at(1).toObject(),
                 (QJsonObject { { QStringLiteral("role"), QStringLiteral("user") },
                                { QStringLiteral("content"), QStringLiteral("input") } }));
    }

    void chatAnswers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("text");
        QTest::newRow("content") << QByteArray(R"({"choices":[{"message":{"content":"Hi"}}]})")
                                 << QStringLiteral("Hi");
        QTest::newRow("empty choices") << QByteArray(R"({"choices":[]})") << QString();
        QTest::newRow("no message") << QByteArray(R"({"choices":[{"text":"Hi"}]})") << QString();
        QTest::newRow("content null")
            << QByteArray(R"({"choices":[{"message":{"content":null}}]})") << QString();
        QTest::newRow("choices an object")
            << QByteArray(R"({"choices":{"message":"x"}})") << QString();
        QTest::newRow("only the first choice counts") << QByteArray(
            R"({"choices":[{"message":{"content":" "}},{"message":{"content":"B"}}]})")
                                                      << QString();
    }

    void chatAnswers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, text);
        HttpResponse response;
        response.body = answer;
        m_server.enqueue("POST", QStringLiteral("/v1/chat/completions"), response);
        const auto result = wait(
            client(AIProvider::OpenAI).chatCompletions(QStringLiteral("i"), QStringLiteral("t")));
        if (text.isEmpty()) {
            QVERIFY(!result);
            QCOMPARE(result.error().kind, AIError::Kind::Empty);
            QCOMPARE(result.error().description(), L("ai.error.empty"));
        } else {
            QVERIFY(result);
            QCOMPARE(*result, text);
        }
    }

    void errorStatuses_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("401 with a message")
            << 401 << QByteArray(R"({"error":{"message":"invalid x-api-key","type":"auth"}})")
            << QStringLiteral("invalid x-api-key");
        const QByteArray html = "<html><head><title>502 Bad Gateway</title></head><body>"
            + QByteArray(300, 'x') + "</body></html>";
        QTest::newRow("502 with HTML") << 502 << html << QString::fromUtf8(html.left(200));
        QTest::newRow("429 without a body") << 429 << QByteArray() << QString();
        QTest::newRow("500 with a number as message")
            << 500 << QByteArray(R"({"error":{"message":7}})")
            << QStringLiteral(R"({"error":{"message":7}})");
        QTest::newRow("400 with a string error")
            << 400 << QByteArray(R"({"error":"bad"})") << QStringLiteral(R"({"error":"bad"})");
        QTest::newRow("403 not UTF-8") << 403 << QByteArray("\xff\xfe\xfd") << QString();
        QTest::newRow("302 is not followed") << 302 << QByteArray() << QString();
        QTest::newRow("404") << 404 << QByteArray("not found") << QStringLiteral("not found");
        QTest::newRow("503") << 503 << QByteArray(R"({"error":{"message":"overloaded"}})")
                             << QStringLiteral("overloaded");
    }

    void errorStatuses()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        HttpResponse response = HttpResponse::text(body, status);
        if (status == 302)
            response.headers.append({ "Location", (m_server.url() + "/elsewhere").toUtf8() });
        // The same mapping for all three calls.
        m_server.setHandler([response](const HttpRequest &) { return response; });
        const auto anthropic = wait(
            client(AIProvider::Anthropic).anthropic(QStringLiteral("i"), QStringLiteral("t")));
        const auto chat = wait(
            client(AIProvider::DeepSeek).chatCompletions(QStringLiteral("i"), QStringLiteral("t")));
        const auto transcript
            = wait(client(AIProvider::OpenAI).transcribe(audioFile(10), std::nullopt));
        for (const auto *result : { &anthropic, &chat, &transcript }) {
            QVERIFY(!*result);
            QCOMPARE(result->error(), AIError::http(status, message));
            QCOMPARE(result->error().description(), L("ai.error.http", status, message));
        }
        QCOMPARE(m_server.requests().size(), 3);
        QVERIFY(m_server.requests(QStringLiteral("/elsewhere")).isEmpty());
    }

    void transcriptionRequest_data()
    {
        QTest::addColumn<std::optional<QString>>("language");
        QTest::newRow("with language") << std::optional<QString>(QStringLiteral("es"));
        QTest::newRow("without language") << std::optional<QString>();
    }

    void transcriptionRequest()
    {
        QFETCH(std::optional<QString>, language);
        const QString path = audioFile(5, QStringLiteral("rec \"1\".m4a"));
        QFile::remove(path);
        QVERIFY(TestSupport::writeFile(path, QByteArray("\x00\x01\r\nAB", 6)));
        m_server.enqueue(
            "POST", QStringLiteral("/v1/audio/transcriptions"),
            HttpResponse::json({ { QStringLiteral("text"), QStringLiteral(" Hola. ") } }));
        const auto result = wait(client(AIProvider::OpenAI).transcribe(path, language));
        QVERIFY(result);
        QCOMPARE(*result, QStringLiteral("Hola."));
        QCOMPARE(m_server.requests().size(), 1);
        const HttpRequest &request = m_server.requests().first();
        QCOMPARE(request.path, QStringLiteral("/v1/audio/transcriptions"));
        QCOMPARE(request.header("authorization"), QByteArray("Bearer sk-test-123"));
        const QByteArray type = request.header("content-type");
        const QRegularExpression shape(QStringLiteral(
            "^multipart/form-data; "
            "boundary=(scrivelbar-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12})$"));
        const auto match = shape.match(QString::fromLatin1(type));
        QVERIFY2(match.hasMatch(), type.constData());
        const QByteArray b = "--" + match.captured(1).toLatin1();
        QByteArray expected = b
            + "\r\nContent-Disposition: form-data; name=\"model\"\r\n\r\nwhisper-1\r\n" + b
            + "\r\nContent-Disposition: form-data; name=\"response_format\"\r\n\r\njson\r\n";
        if (language)
            expected += b + "\r\nContent-Disposition: form-data; name=\"language\"\r\n\r\n"
                + language->toUtf8() + "\r\n";
        expected += b
            + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"rec _1_.m4a\"\r\n"
              "Content-Type: application/octet-stream\r\n\r\n"
            + QByteArray("\x00\x01\r\nAB", 6) + "\r\n" + b + "--\r\n";
        QCOMPARE(request.body, expected);
    }

    void transcriptionLimit_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("sent");
        QTest::newRow("at the limit") << ProviderClient::maxAudioBytes << true;
        QTest::newRow("one byte over") << ProviderClient::maxAudioBytes + 1 << false;
    }

    void transcriptionLimit()
    {
        QFETCH(qint64, size);
        QFETCH(bool, sent);
        const QString path = audioFile(size, QStringLiteral("big.m4a"));
        m_server.setHandler([](const HttpRequest &) {
            return HttpResponse::json({ { QStringLiteral("text"), QStringLiteral("ok") } });
        });
        const auto result = wait(client(AIProvider::OpenAI).transcribe(path, std::nullopt));
        QFile::remove(path);
        QCOMPARE(m_server.requests().size(), sent ? 1 : 0);
        if (sent) {
            QVERIFY(result);
        } else {
            QVERIFY(!result);
            QCOMPARE(result.error(), AIError::tooLarge(QStringLiteral("25 MB")));
            QCOMPARE(result.error().description(), L("ai.error.tooLarge", QStringLiteral("25 MB")));
        }
    }

    void transcriptionAnswers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("ok");
        QTest::newRow("text") << QByteArray(R"({"text":"words"})") << true;
        QTest::newRow("blank text") << QByteArray(R"({"text":"   "})") << false;
        QTest::newRow("text not a string") << QByteArray(R"({"text":["a"]})") << false;
        QTest::newRow("no text") << QByteArray(R"({})") << false;
    }

    void transcriptionAnswers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, ok);
        HttpResponse response;
        response.body = answer;
        m_server.enqueue("POST", QStringLiteral("/v1/audio/transcriptions"), response);
        const auto result = wait(client(AIProvider::OpenAI).transcribe(audioFile(3), std::nullopt));
        QCOMPARE(result.has_value(), ok);
        if (!ok)
            QCOMPARE(result.error().kind, AIError::Kind::Empty);
    }

    void unreadableFileIsItsOwnError()
    {
        const auto result
            = wait(client(AIProvider::OpenAI)
                       .transcribe(m_dir.filePath(QStringLiteral("missing.m4a")), std::nullopt));
        QVERIFY(!result);
        QCOMPARE(result.error().kind, AIError::Kind::System);
        QVERIFY(!result.error().description().isEmpty());
        QVERIFY(m_server.requests().isEmpty());
    }

    void oversizedAnswerIsCutOff()
    {
        HttpResponse response;
        response.body = QByteArray(5 * 1024 * 1024, 'x');
        m_server.enqueue("POST", QStringLiteral("/v1/chat/completions"), response);
        const auto result = wait(
            client(AIProvider::OpenAI).chatCompletions(QStringLiteral("i"), QStringLiteral("t")));
        QVERIFY(!result);
        QCOMPARE(result.error(), AIError::system(L("ai.error.answerTooLarge")));
    }

    void silentProviderTimesOut()
    {
        HttpResponse response = chatAnswer(QStringLiteral("late"));
        response.delayMs = 2000;
        m_server.enqueue("POST", QStringLiteral("/v1/chat/completions"), response);
        ProviderClient::Options options;
        options.requestTimeout = std::chrono::milliseconds(200);
        const ProviderClient impatient(AIProvider::OpenAI, QStringLiteral("k"), QStringLiteral("m"),
                                       options);
        const auto result
            = wait(impatient.chatCompletions(QStringLiteral("i"), QStringLiteral("t")));
        QVERIFY(!result);
        QCOMPARE(result.error(), AIError::system(L("ai.error.timedOut")));
    }

    void droppedConnectionIsANetworkError()
    {
        HttpResponse response;
        response.drop = true;
        // Every attempt: the network layer may retry a request whose connection closed.
        m_server.setHandler([response](const HttpRequest &) { return response; });
        const auto result = wait(
            client(AIProvider::Anthropic).anthropic(QStringLiteral("i"), QStringLiteral("t")));
        QVERIFY(!result);
        QCOMPARE(result.error().kind, AIError::Kind::System);
        QVERIFY(result.error().description().startsWith(L("ai.error.network", QString())));
    }

    void baseAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("accepted"); // empty: refused
        QTest::newRow("https") << QStringLiteral("https://gateway.example.com/openai/")
                               << QStringLiteral("https://gateway.example.com/openai");
        QTest::newRow("http to 127.0.0.1")
            << QStringLiteral("http://127.0.0.1:8080") << QStringLiteral("http://127.0.0.1:8080");
        QTest::newRow("http to localhost") << QStringLiteral("http://localhost:11434/v")
                                           << QStringLiteral("http://localhost:11434/v");
        QTest::newRow("plain http elsewhere")
            << QStringLiteral("http://gateway.example.com") << QString();
        QTest::newRow("http to a look-alike")
            << QStringLiteral("http://127.0.0.1.evil.com") << QString();
        QTest::newRow("user info") << QStringLiteral("https://user:pw@example.com") << QString();
        QTest::newRow("query") << QStringLiteral("https://example.com/?a=b") << QString();
        QTest::newRow("fragment") << QStringLiteral("https://example.com/#x") << QString();
        QTest::newRow("file") << QStringLiteral("file:///etc/passwd") << QString();
        QTest::newRow("typo without scheme") << QStringLiteral("api.openai.com") << QString();
        QTest::newRow("empty") << QString() << QString();
    }

    void baseAddresses()
    {
        QFETCH(QString, text);
        QFETCH(QString, accepted);
        const auto url = ProviderHosts::acceptableBase(text);
        if (accepted.isEmpty())
            QVERIFY(!url);
        else
            QCOMPARE(url->toString(), accepted);
    }

    void defaultsAreThePublicHosts()
    {
        for (const char *variable : kVariables)
            qunsetenv(variable);
        using ProviderHosts::Host;
        QCOMPARE(ProviderHosts::base(Host::Anthropic)->toString(),
                 QStringLiteral("https://api.anthropic.com"));
        QCOMPARE(ProviderHosts::base(Host::OpenAI)->toString(),
                 QStringLiteral("https://api.openai.com"));
        QCOMPARE(ProviderHosts::base(Host::DeepSeek)->toString(),
                 QStringLiteral("https://api.deepseek.com"));
        QCOMPARE(ProviderHosts::base(Host::OpenRouter)->toString(),
                 QStringLiteral("https://openrouter.ai"));
        QCOMPARE(ProviderHosts::base(Host::OpenRouterAuth)->toString(),
                 QStringLiteral("https://openrouter.ai"));
        QCOMPARE(ProviderHosts::keyPage(AIProvider::OpenAI).path(), QStringLiteral("/api-keys"));
        QCOMPARE(ProviderHosts::keyPage(AIProvider::DeepSeek).path(), QStringLiteral("/api_keys"));
        QCOMPARE(ProviderHosts::keyPage(AIProvider::Anthropic).path(),
                 QStringLiteral("/settings/keys"));
        QCOMPARE(ProviderHosts::keyPage(AIProvider::OpenRouter).path(),
                 QStringLiteral("/settings/keys"));
        QVERIFY(ProviderHosts::keyPage(AIProvider::None).isEmpty());
    }

    void unusableOverrideSendsNothing()
    {
        qputenv("SCRIVEL_OPENAI_URL", "http://gateway.example.com");
        const auto result = wait(
            client(AIProvider::OpenAI).chatCompletions(QStringLiteral("i"), QStringLiteral("t")));
        QVERIFY(!result);
        QCOMPARE(result.error().kind, AIError::Kind::Unavailable);
        QVERIFY(result.error().description().contains(u"SCRIVEL_OPENAI_URL"));
        QVERIFY(m_server.requests().isEmpty());
    }

    void gatewayBasePathIsKept()
    {
        qputenv("SCRIVEL_DEEPSEEK_URL", (m_server.url() + QStringLiteral("/gw/")).toUtf8());
        m_server.enqueue("POST", QStringLiteral("/gw/chat/completions"),
                         chatAnswer(QStringLiteral("x")));
        QVERIFY(wait(client(AIProvider::DeepSeek)
                         .chatCompletions(QStringLiteral("i"), QStringLiteral("t"))));
        QCOMPARE(m_server.requests().first().path, QStringLiteral("/gw/chat/completions"));
    }

    void errorDescriptions()
    {
        QCOMPARE(AIError::noKey(AIProvider::DeepSeek).description(),
                 L("ai.error.noKey", QStringLiteral("DeepSeek")));
        QCOMPARE(AIError::refused().description(), L("ai.error.refused"));
        QCOMPARE(AIError::unavailable(QStringLiteral("as is")).description(),
                 QStringLiteral("as is"));
        QVERIFY(L("ai.error.noKey", QStringLiteral("DeepSeek")).contains(u"DeepSeek"));
    }
};

QTEST_GUILESS_MAIN(TestProviderClient)
#include "tst_providerclient.moc"
