// Provider keys in the in-memory keychain and, inside with-keyring.sh, in a real
// gnome-keyring; and the `scrivel ai` commands end to end with that keyring, a provider
// played by a local server, and a search for the key everywhere it must not be.
#include "MemoryKeychain.h"
#include "MemoryLoginItem.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "ai/AIService.h"
#include "base/Localization.h"
#include "platform/Keychain.h"
#include "settings/AppSettings.h"

#include <QCoroTask>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDirIterator>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using TestSupport::HttpRequest;
using TestSupport::HttpResponse;
using TestSupport::TestHttpServer;

namespace {

const QString kKey = QStringLiteral("sk-ant-cli-4d3c2b1a");

bool secretServiceOnBus()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()
        && bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value();
}

bool insideKeyring()
{
    return qEnvironmentVariable("SCRIVEL_IN_KEYRING") == u"1" && secretServiceOnBus();
}

} // namespace

class TestAIKeys : public QObject
{
    Q_OBJECT

    TestSupport::TempFolders m_folders;
    TestHttpServer m_server;
    QStringList m_outputs;

    struct Run
    {
        int code = -1;
        QString out;
        QString err;
    };

    Run scrivel(const QStringList &arguments, const QByteArray &input = {})
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SCRIVEL_ANTHROPIC_URL"), m_server.url());
        env.insert(QStringLiteral("SCRIVEL_OPENAI_URL"), m_server.url());
        env.insert(QStringLiteral("SCRIVEL_DEEPSEEK_URL"), m_server.url());
        env.insert(QStringLiteral("SCRIVEL_OPENROUTER_URL"), m_server.url());
        process.setProcessEnvironment(env);
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(QStringLiteral(SCRIVEL_CLI_PATH),
                      QStringList { QStringLiteral("--notes"), m_folders.notes(),
                                    QStringLiteral("--support"), m_folders.support() }
                          + arguments);
        process.write(input);
        process.closeWriteChannel();
        if (!finished.wait(60000))
            process.kill();
        const Run run { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                        QString::fromUtf8(process.readAllStandardOutput()),
                        QString::fromUtf8(process.readAllStandardError()) };
        m_outputs << run.out << run.err;
        return run;
    }

    // The settings file the tool reads (the user's, inside the private HOME).
    static QString settingsFile()
    {
        return qEnvironmentVariable("XDG_CONFIG_HOME")
            + QStringLiteral("/ScrivelBar/ScrivelBar.conf");
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        QVERIFY(m_folders.isValid());
        QVERIFY(m_server.listen());
    }

    void keysInAKeychain_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::newRow("memory") << QStringLiteral("memory");
        QTest::newRow("secret service") << QStringLiteral("secret service");
    }

    void keysInAKeychain()
    {
        QFETCH(QString, backend);
        std::unique_ptr<Keychain> keychain;
        if (backend == u"memory") {
            keychain = std::make_unique<MemoryKeychain>();
        } else {
            if (!insideKeyring())
                QSKIP("no private Secret Service (run through with-keyring.sh)");
            keychain = Keychain::create();
        }
        Keychain *store = keychain.get();
        AppSettings settings(m_folders.path(QStringLiteral("keys.ini")),
                             std::make_unique<MemoryLoginItem>());
        {
            AIService::Options options;
            AIService ai(&settings, nullptr, std::move(keychain), options);
            QSignalSpy loaded(&ai, &AIService::keysLoaded);
            if (ai.isLoadingKeys())
                QVERIFY(loaded.wait(20000));
            QVERIFY2(ai.keyProblem().isEmpty(), qPrintable(ai.keyProblem()));
            QVERIFY(ai.storedKeys().isEmpty());
            QCOMPARE(
                QCoro::waitFor(ai.saveKey(QStringLiteral(" k-deepseek\n"), AIProvider::DeepSeek)),
                QString());
            QCOMPARE(
                QCoro::waitFor(ai.saveKey(QStringLiteral("k-openrouter"), AIProvider::OpenRouter)),
                QString());
            QCOMPARE(ai.storedKeys(),
                     (QList<AIProvider> { AIProvider::DeepSeek, AIProvider::OpenRouter }));
            const KeychainResult read = QCoro::waitFor(
                store->read(AIService::keychainService(), QStringLiteral("deepseek")));
            QCOMPARE(read.secret, QStringLiteral("k-deepseek"));
            QCOMPARE(QCoro::waitFor(ai.removeKey(AIProvider::OpenRouter)), QString());
            QCOMPARE(ai.storedKeys(), QList<AIProvider> { AIProvider::DeepSeek });
            if (backend == u"memory")
                return;
        }
        // A new service finds what the keyring kept, then everything is removed again.
        AIService::Options options;
        AIService again(&settings, nullptr, Keychain::create(), options);
        QSignalSpy loaded(&again, &AIService::keysLoaded);
        if (again.isLoadingKeys())
            QVERIFY(loaded.wait(20000));
        QCOMPARE(again.storedKeys(), QList<AIProvider> { AIProvider::DeepSeek });
        QCOMPARE(QCoro::waitFor(again.removeKey(AIProvider::DeepSeek)), QString());
        QVERIFY(again.storedKeys().isEmpty());
    }

    void toolEndToEnd()
    {
        if (!insideKeyring())
            QSKIP("only inside with-keyring.sh: the commands use the user's own keychain and "
                  "settings");
        QVERIFY(scrivel({ QStringLiteral("--help") }).out.contains(u"ai summarize ID"));
        const Run created
            = scrivel({ QStringLiteral("new"), QStringLiteral("Meeting\n- ship it") });
        QCOMPARE(created.code, 0);
        const QString id = created.out.trimmed();

        // The key comes from standard input only.
        QCOMPARE(scrivel({ QStringLiteral("ai"), QStringLiteral("key"), QStringLiteral("set"),
                           QStringLiteral("anthropic") },
                         "  " + kKey.toUtf8() + " \n")
                     .code,
                 0);
        QCOMPARE(scrivel({ QStringLiteral("ai"), QStringLiteral("keys") }).out,
                 QStringLiteral("anthropic\n"));
        QCOMPARE(scrivel({ QStringLiteral("ai"), QStringLiteral("key"), QStringLiteral("set"),
                           QStringLiteral("none") },
                         "x")
                     .code,
                 2);

        m_server.setHandler([](const HttpRequest &request) {
            if (request.path != u"/v1/messages")
                return HttpResponse::json({}, 404);
            return HttpResponse::json(
                { { QStringLiteral("content"),
                    QJsonArray { QJsonObject {
                        { QStringLiteral("type"), QStringLiteral("text") },
                        { QStringLiteral("text"), QStringLiteral("Ship it.") } } } } });
        });
        const QStringList summarize {
            QStringLiteral("ai"),       QStringLiteral("summarize"), id,
            QStringLiteral("--engine"), QStringLiteral("provider"),  QStringLiteral("--provider"),
            QStringLiteral("anthropic")
        };

        // Consent is needed and nobody can answer: nothing leaves the machine.
        const Run refused = scrivel(summarize);
        QCOMPARE(refused.code, 8);
        QVERIFY2(refused.err.contains(L("ai.consent.noTerminal", QStringLiteral("Anthropic"))),
                 qPrintable(refused.err));
        QVERIFY(m_server.requests().isEmpty());

        const Run summary
            = scrivel(summarize
                      + QStringList { QStringLiteral("--yes"), QStringLiteral("--apply"),
                                      QStringLiteral("insert") });
        QCOMPARE(summary.code, 0);
        QCOMPARE(summary.out, QStringLiteral("Ship it.\n"));
        QCOMPARE(m_server.requests().size(), 1);
        QCOMPARE(m_server.requests().first().header("x-api-key"), kKey.toUtf8());
        QCOMPARE(m_server.requests()
                     .first()
                     .json()
                     .value(QStringLiteral("messages"))
                     .toArray()
                     .at(0)
                     .toObject()
                     .value(QStringLiteral("content"))
                     .toString(),
                 QStringLiteral("Meeting\n- ship it"));
        const Run shown = scrivel({ QStringLiteral("show"), id });
        QVERIFY2(shown.out.contains(QStringLiteral("## ") + L("ai.summary.heading")
                                    + QStringLiteral("\n\nShip it.")),
                 qPrintable(shown.out));

        // The overrides were for that run only.
        {
            AppSettings user(settingsFile(), std::make_unique<MemoryLoginItem>());
            QCOMPARE(user.summaryEngine(), AIEngine::Local);
            QCOMPARE(user.aiProvider(), AIProvider::None);
            QVERIFY(user.aiAskBeforeSending());
        }

        // A provider's refusal is exit status 8 with its message.
        m_server.setHandler([](const HttpRequest &) {
            return HttpResponse::json(
                { { QStringLiteral("error"),
                    QJsonObject { { QStringLiteral("message"), QStringLiteral("bad key") } } } },
                401);
        });
        const Run failed = scrivel(summarize + QStringList { QStringLiteral("--yes") });
        QCOMPARE(failed.code, 8);
        QVERIFY(failed.err.contains(L("ai.error.http", 401, QStringLiteral("bad key"))));

        // The on-device engine reads the file and says it is no image; DeepSeek does not
        // transcribe.
        const QString file = m_folders.path(QStringLiteral("memo.m4a"));
        QVERIFY(TestSupport::writeFile(file, "audio"));
        const Run ocr = scrivel({ QStringLiteral("ai"), QStringLiteral("ocr"), file });
        QCOMPARE(ocr.code, 8);
        QVERIFY(ocr.err.contains(L("ai.error.imageUnreadable")));
        const Run deepseek = scrivel({ QStringLiteral("ai"), QStringLiteral("transcribe"), file,
                                       QStringLiteral("--engine"), QStringLiteral("provider"),
                                       QStringLiteral("--provider"), QStringLiteral("deepseek"),
                                       QStringLiteral("--yes") });
        QCOMPARE(deepseek.code, 8);
        QVERIFY(deepseek.err.contains(L("ai.error.noTranscription", QStringLiteral("DeepSeek"))));
        const Run unknown = scrivel({ QStringLiteral("ai"), QStringLiteral("summarize"),
                                      QStringLiteral("ffffffffffff"), QStringLiteral("--yes") });
        QCOMPARE(unknown.code, 3);

        // The key is nowhere but in the keyring: not in the support or notes folders, not in
        // the settings, not in anything the tool printed.
        const QByteArray key = kKey.toUtf8();
        for (const QString &root :
             { m_folders.support(), m_folders.notes(), qEnvironmentVariable("XDG_CONFIG_HOME") }) {
            QDirIterator files(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (files.hasNext()) {
                const QString path = files.next();
                QVERIFY2(!TestSupport::readFile(path).contains(key), qPrintable(path));
            }
        }
        for (const QString &output : std::as_const(m_outputs))
            QVERIFY2(!output.contains(kKey), qPrintable(output));

        QCOMPARE(scrivel({ QStringLiteral("ai"), QStringLiteral("key"), QStringLiteral("remove"),
                           QStringLiteral("anthropic") })
                     .code,
                 0);
        QCOMPARE(scrivel({ QStringLiteral("ai"), QStringLiteral("keys") }).out, QString());
    }
};

QTEST_GUILESS_MAIN(TestAIKeys)
#include "tst_aikeys.moc"
