// Usage events against a real API client and a scripted HTTP server: the account's flags gate
// recording, uploads carry the context and the queued events, failed uploads keep them.
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "base/Date.h"
#include "sync/APIClient.h"
#include "telemetry/Telemetry.h"

#include <QCoroTask>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using TestSupport::HttpRequest;
using TestSupport::HttpResponse;
using TestSupport::TestHttpServer;

namespace {

QJsonObject flags(bool enabled, bool required = false)
{
    return { { QStringLiteral("beta"), false },
             { QStringLiteral("required"), required },
             { QStringLiteral("enabled"), enabled } };
}

HttpResponse meAnswer(bool enabled, bool required = false)
{
    return HttpResponse::json(
        { { QStringLiteral("user"),
            QJsonObject { { QStringLiteral("id"), QStringLiteral("u1") },
                          { QStringLiteral("email"), QStringLiteral("me@example.com") } } },
          { QStringLiteral("telemetry"), flags(enabled, required) } });
}

// Runs a task to its end while the event loop (and so the test server) keeps running.
template<typename T> void finish(QCoro::Task<T> &&task)
{
    bool done = false;
    auto waiting = [](QCoro::Task<T> task, bool *done) -> QCoro::Task<> {
        co_await task;
        *done = true;
    }(std::move(task), &done);
    QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
}

QStringList eventNames(const QJsonArray &events)
{
    QStringList names;
    for (const QJsonValue &event : events)
        names << event.toObject().value(QStringLiteral("name")).toString();
    return names;
}

QStringList queuedNames(const Telemetry &telemetry)
{
    QStringList names;
    for (const Telemetry::Event &event : telemetry.queue())
        names << event.name;
    return names;
}

} // namespace

class TestTelemetry : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<APIClient> m_client;
    std::unique_ptr<Telemetry> m_telemetry;
    double m_now = 1000;

    void enable(bool required = false)
    {
        m_server->enqueue("GET", QStringLiteral("/v1/auth/me"), meAnswer(true, required));
        finish(m_telemetry->configure(m_client.get()));
        QVERIFY(m_telemetry->state().enabled);
    }

    QList<HttpRequest> uploads() const { return m_server->requests(QStringLiteral("/v1/telemetry")); }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        Clock::setNowFunction([this] { return Date { m_now }; });
    }
    void cleanupTestCase() { Clock::setNowFunction({}); }

    void init()
    {
        m_now = 1000;
        m_server = std::make_unique<TestHttpServer>();
        QVERIFY(m_server->listen());
        m_server->setHandler([](const HttpRequest &) { return HttpResponse::json({}); });
        m_client = std::make_unique<APIClient>();
        m_client->configure(m_server->url(), QStringLiteral("tok"));
        Telemetry::Options options;
        options.flushInterval = std::chrono::hours(1);
        m_telemetry = std::make_unique<Telemetry>(options);
    }

    void cleanup()
    {
        m_telemetry.reset();
        m_client.reset();
        m_server.reset();
    }

    // Until the account's flags say "enabled", nothing is kept and nothing is sent.
    void inertUntilEnabled_data()
    {
        QTest::addColumn<bool>("configured");
        QTest::newRow("never configured") << false;
        QTest::newRow("account has telemetry off") << true;
        QTest::newRow("flags member missing") << true;
    }

    void inertUntilEnabled()
    {
        QFETCH(bool, configured);
        if (configured) {
            const bool missing = QByteArray(QTest::currentDataTag()).contains("missing");
            m_server->enqueue("GET", QStringLiteral("/v1/auth/me"),
                              missing ? HttpResponse::json({ { QStringLiteral("user"), QJsonObject() } })
                                      : meAnswer(false));
            finish(m_telemetry->configure(m_client.get()));
        }
        m_telemetry->record(QStringLiteral("note_created"), { { QStringLiteral("kind"), QStringLiteral("md") } });
        QVERIFY(m_telemetry->queue().isEmpty());
        finish(m_telemetry->flush());
        QVERIFY(uploads().isEmpty()); // not even "app_active"
    }

    void queueKeepsTheNewest300()
    {
        enable();
        for (int i = 0; i < 305; ++i)
            m_telemetry->record(QStringLiteral("e%1").arg(i));
        const QStringList names = queuedNames(*m_telemetry);
        QCOMPARE(names.size(), Telemetry::maxQueue);
        QCOMPARE(names.first(), QStringLiteral("e5"));
        QCOMPARE(names.last(), QStringLiteral("e304"));
    }

    void flushUploadsContextAndEvents()
    {
        enable();
        m_telemetry->record(QStringLiteral("note_exported"), { { QStringLiteral("format"), QStringLiteral("md") },
                                                               { QStringLiteral("ms"), 12 },
                                                               { QStringLiteral("ok"), true } });
        m_now += 93; // 1.55 minutes since the telemetry object started
        finish(m_telemetry->flush());
        QVERIFY(m_telemetry->queue().isEmpty());
        QCOMPARE(uploads().size(), 1);
        const HttpRequest upload = uploads().first();
        QCOMPARE(upload.method, QByteArray("POST"));
        QCOMPARE(upload.header("authorization"), QByteArray("Bearer tok"));
        const QJsonObject body = upload.json();
        const QJsonObject context = body.value(QStringLiteral("context")).toObject();
        for (const char *key : { "app_version", "os_version", "mac_model", "lang" })
            QVERIFY2(!context.value(QLatin1String(key)).toString().isEmpty(), key);
        QCOMPARE(context.value(QStringLiteral("os_version")).toString().count(u'.'), 1);
        QVERIFY(context.value(QStringLiteral("apple_intelligence")).isBool());

        const QJsonArray events = body.value(QStringLiteral("events")).toArray();
        QCOMPARE(eventNames(events), QStringList({ QStringLiteral("note_exported"), QStringLiteral("app_active") }));
        const QJsonObject exported = events.at(0).toObject();
        QCOMPARE(exported.value(QStringLiteral("at")).toDouble(), Date { 1000 }.unixMilliseconds());
        const QJsonObject props = exported.value(QStringLiteral("props")).toObject();
        QCOMPARE(props.value(QStringLiteral("format")), QJsonValue(QStringLiteral("md")));
        QCOMPARE(props.value(QStringLiteral("ms")), QJsonValue(12));
        QCOMPARE(props.value(QStringLiteral("ok")), QJsonValue(true));
        // Minutes since the start, to one decimal, halves away from zero.
        QCOMPARE(events.at(1).toObject().value(QStringLiteral("props")).toObject().value(QStringLiteral("minutes")),
                 QJsonValue(1.6));

        // The next flush counts from this one.
        m_now += 60;
        finish(m_telemetry->flush());
        const QJsonArray next = uploads().last().json().value(QStringLiteral("events")).toArray();
        QCOMPARE(eventNames(next), QStringList { QStringLiteral("app_active") });
        QCOMPARE(next.at(0).toObject().value(QStringLiteral("props")).toObject().value(QStringLiteral("minutes")),
                 QJsonValue(1.0));
    }

    // Events recorded while a failing upload is out end up behind the ones it gives back.
    void failedUploadKeepsItsEventsFirst()
    {
        enable();
        m_telemetry->record(QStringLiteral("a"));
        m_telemetry->record(QStringLiteral("b"));
        HttpResponse refused = HttpResponse::text("{}", 500);
        refused.delayMs = 200;
        m_server->enqueue("POST", QStringLiteral("/v1/telemetry"), refused);
        bool done = false;
        auto flushing = [](Telemetry *telemetry, bool *done) -> QCoro::Task<> {
            co_await telemetry->flush();
            *done = true;
        }(m_telemetry.get(), &done);
        QVERIFY(m_telemetry->isFlushing());
        m_telemetry->record(QStringLiteral("c"));
        m_telemetry->record(QStringLiteral("d"));
        QTRY_VERIFY(done);
        QVERIFY(!m_telemetry->isFlushing());
        QCOMPARE(queuedNames(*m_telemetry),
                 QStringList({ QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("app_active"),
                               QStringLiteral("c"), QStringLiteral("d") }));
    }

    // A sign-out while an upload is out: if that upload fails, its events are the ended
    // session's and must not wait in the queue for the next account.
    void failedUploadOfAnEndedSessionIsDropped()
    {
        enable();
        m_telemetry->record(QStringLiteral("a"));
        HttpResponse refused = HttpResponse::text("{}", 500);
        refused.delayMs = 150;
        m_server->enqueue("POST", QStringLiteral("/v1/telemetry"), refused);
        bool done = false;
        auto flushing = [](Telemetry *telemetry, bool *done) -> QCoro::Task<> {
            co_await telemetry->flush();
            *done = true;
        }(m_telemetry.get(), &done);
        m_telemetry->silence();
        QTRY_VERIFY(done);
        QVERIFY(m_telemetry->queue().isEmpty());
    }

    // Quick toggles: the answers cross, the last choice sent wins.
    void lastChoiceWins()
    {
        enable();
        HttpResponse slowOff = HttpResponse::json(flags(false));
        slowOff.delayMs = 200;
        m_server->enqueue("POST", QStringLiteral("/v1/telemetry/choice"), slowOff);
        m_server->enqueue("POST", QStringLiteral("/v1/telemetry/choice"), HttpResponse::json(flags(true)));
        int done = 0;
        auto choose = [](Telemetry *telemetry, bool enabled, int *done) -> QCoro::Task<> {
            co_await telemetry->setChoice(enabled);
            ++*done;
        };
        auto off = choose(m_telemetry.get(), false, &done);
        auto on = choose(m_telemetry.get(), true, &done);
        QTRY_COMPARE(done, 2);
        QVERIFY(m_telemetry->state().enabled);
    }

    void configureStartsOneTimer()
    {
        Telemetry::Options options;
        options.flushInterval = std::chrono::milliseconds(30);
        m_telemetry = std::make_unique<Telemetry>(options);
        enable();
        m_server->enqueue("GET", QStringLiteral("/v1/auth/me"), HttpResponse::text("{}", 500));
        finish(m_telemetry->configure(m_client.get()));
        QVERIFY(m_telemetry->state().enabled); // a failed fetch leaves the flags alone
        QCOMPARE(m_telemetry->findChildren<QTimer *>().size(), 1);
        // The timer flushes by itself ("app_active" alone is worth an upload).
        QTRY_VERIFY(!uploads().isEmpty());
    }

    void choice_data()
    {
        QTest::addColumn<bool>("required");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("requestSent");
        QTest::addColumn<bool>("enabledAfter");
        QTest::newRow("optional, switched off") << false << 200 << true << false;
        QTest::newRow("optional, request fails") << false << 500 << true << true;
        QTest::newRow("required") << true << 200 << false << true;
    }

    void choice()
    {
        QFETCH(bool, required);
        QFETCH(int, status);
        QFETCH(bool, requestSent);
        QFETCH(bool, enabledAfter);
        enable(required);
        m_server->enqueue("POST", QStringLiteral("/v1/telemetry/choice"),
                          status == 200 ? HttpResponse::json(flags(false)) : HttpResponse::text("{}", status));
        finish(m_telemetry->setChoice(false));
        const auto sent = m_server->requests(QStringLiteral("/v1/telemetry/choice"));
        QCOMPARE(sent.size(), requestSent ? 1 : 0);
        if (requestSent)
            QCOMPARE(sent.first().json(), QJsonObject({ { QStringLiteral("enabled"), false } }));
        QCOMPARE(m_telemetry->state().enabled, enabledAfter);
    }

    // After a sign-out nothing is kept, and flags fetched for the old session do not switch
    // recording back on.
    void silenceWinsOverALateFlagFetch()
    {
        enable();
        m_telemetry->record(QStringLiteral("a"));
        HttpResponse late = meAnswer(true);
        late.delayMs = 150;
        m_server->enqueue("GET", QStringLiteral("/v1/auth/me"), late);
        bool done = false;
        auto configuring = [](Telemetry *telemetry, APIClient *client, bool *done) -> QCoro::Task<> {
            co_await telemetry->configure(client);
            *done = true;
        }(m_telemetry.get(), m_client.get(), &done);
        m_telemetry->silence();
        QVERIFY(m_telemetry->queue().isEmpty());
        QTRY_VERIFY(done);
        QVERIFY(!m_telemetry->state().enabled);
        m_telemetry->record(QStringLiteral("b"));
        QVERIFY(m_telemetry->queue().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTelemetry)
#include "tst_telemetry.moc"
