// The loopback listener and the Google browser flow, with real HTTP requests sent by the test
// to the listener the way a browser follows the redirect.
#include "TestSupport.h"
#include "RecordingBrowser.h"

#include "base/Localization.h"
#include "platform/Browser.h"
#include "sync/GoogleSignIn.h"
#include "sync/LoopbackRedirect.h"
#include "sync/OnceFlag.h"

#include <QCoroTask>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QUrlQuery>

#include <QtConcurrent>

using namespace std::chrono_literals;
namespace LR = LoopbackRedirect;

namespace {

// What the "browser" got back from the listener.
struct Page
{
    QByteArray head;
    QByteArray body;
};

// Sends `request` to the listener on `port` and reads the whole answer.
Page send(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(request);
    socket.waitForBytesWritten(5000);
    QByteArray all;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000))
        all += socket.readAll();
    all += socket.readAll();
    const qsizetype split = all.indexOf("\r\n\r\n");
    if (split < 0)
        return { all, {} };
    return { all.left(split), all.mid(split + 4) };
}

QByteArray get(const QByteArray &target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: test\r\n\r\n";
}

// Runs one capture in which the browser "follows" with `request` to the redirect's port.
struct Run
{
    LR::Outcome outcome;
    Page page;
    QUrl authorizeURL;
};

Run captureWith(const QByteArray &request, std::chrono::milliseconds timeout = 10s,
                const QString &pageDone = QStringLiteral("done"),
                const QString &pageDenied = QStringLiteral("denied"))
{
    Run run;
    RecordingBrowser browser;
    QFuture<Page> pageFuture;
    browser.onOpen = [&](const QUrl &url) {
        const QUrl redirect(QUrlQuery(url).queryItemValue(QStringLiteral("r"), QUrl::FullyDecoded));
        const auto port = quint16(redirect.port());
        if (!request.isEmpty())
            pageFuture = QtConcurrent::run([port, request] { return send(port, request); });
    };
    auto task = LR::capture(
        QStringLiteral("127.0.0.1"), timeout, pageDone, pageDenied,
        [](const QString &redirect) {
            QUrl url(QStringLiteral("https://auth.example/authorize"));
            QUrlQuery query;
            query.addQueryItem(QStringLiteral("r"), redirect);
            url.setQuery(query);
            return url;
        },
        &browser);
    run.outcome = QCoro::waitFor(std::move(task));
    if (pageFuture.isValid()) {
        while (!pageFuture.isFinished())
            QTest::qWait(5);
        run.page = pageFuture.result();
    }
    if (!browser.opened.isEmpty())
        run.authorizeURL = browser.opened.first();
    return run;
}

} // namespace

class TestLoopbackRedirect : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void codeChallengeOfTheRfcExample()
    {
        // RFC 7636, appendix B.
        QCOMPARE(LR::codeChallenge(QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")),
                 QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
    }

    void randomStrings_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("verifier") << 64;
        QTest::newRow("state") << 24;
        QTest::newRow("long") << 4096;
        QTest::newRow("empty") << 0;
    }

    void randomStrings()
    {
        QFETCH(int, length);
        const QString alphabet
            = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~");
        const QString a = LR::randomString(length);
        QCOMPARE(a.size(), length);
        for (QChar c : a)
            QVERIFY2(alphabet.contains(c), qPrintable(QString(c)));
        if (length >= 24)
            QVERIFY(a != LR::randomString(length));
    }

    void randomStringsUseTheWholeAlphabet()
    {
        // With rejection sampling every character turns up; a modulo bias or a short
        // alphabet would show as missing characters over this many draws.
        const QString many = LR::randomString(20000);
        QCOMPARE(QSet<QChar>(many.cbegin(), many.cend()).size(), 66);
    }

    void onceFlagLetsOneCallerWin()
    {
        OnceFlag flag;
        QVERIFY(!flag.isSet());
        QVERIFY(flag.testAndSet());
        QVERIFY(!flag.testAndSet());
        QVERIFY(flag.isSet());
        // From many threads at once, still exactly one winner.
        OnceFlag shared;
        QAtomicInt winners = 0;
        QList<QFuture<void>> futures;
        for (int i = 0; i < 16; ++i)
            futures << QtConcurrent::run([&] {
                if (shared.testAndSet())
                    winners.fetchAndAddRelaxed(1);
            });
        for (auto &f : futures)
            f.waitForFinished();
        QCOMPARE(winners.loadRelaxed(), 1);
    }

    void pageEscapesItsText()
    {
        const QByteArray body = LR::page(QStringLiteral("<script>x</script> & done"));
        QVERIFY(body.startsWith(
            "<!doctype html><meta charset=\"utf-8\"><title>ScrivelBar</title>\n<body style="));
        QVERIFY(body.contains("&lt;script&gt;x&lt;/script&gt; &amp; done"));
        QVERIFY(body.endsWith("</p></body>"));
    }

    void captureReturnsCodeAndState()
    {
        const Run run = captureWith(get("/callback?code=4%2F0abc&state=xyz"));
        QVERIFY(run.outcome.callback);
        const LR::Callback &callback = *run.outcome.callback;
        QCOMPARE(callback.value(QStringLiteral("code")), QStringLiteral("4/0abc"));
        QCOMPARE(callback.value(QStringLiteral("state")), QStringLiteral("xyz"));
        QVERIFY(!callback.value(QStringLiteral("error")));
        // The redirect address is the one the browser was sent with.
        QCOMPARE(
            QUrlQuery(run.authorizeURL).queryItemValue(QStringLiteral("r"), QUrl::FullyDecoded),
            callback.redirectURI);
        QVERIFY(QRegularExpression(QStringLiteral("^http://127\\.0\\.0\\.1:\\d+/callback$"))
                    .match(callback.redirectURI)
                    .hasMatch());
        QVERIFY(run.page.head.startsWith("HTTP/1.1 200 OK\r\n"));
        QVERIFY(run.page.head.contains("Content-Type: text/html; charset=utf-8\r\n"));
        QVERIFY(run.page.head.contains("Connection: close"));
        QVERIFY(run.page.body.contains(">done</p>"));
    }

    void errorShowsTheDeniedPage()
    {
        const Run run = captureWith(get("/callback?error=access_denied&state=xyz"));
        QVERIFY(run.outcome.callback);
        QVERIFY(run.page.body.contains(">denied</p>"));
        const auto judged = GoogleSignIn::check(*run.outcome.callback, QStringLiteral("xyz"),
                                                QStringLiteral("v"));
        QVERIFY(!judged.result);
        QCOMPARE(judged.failure.kind, GoogleSignIn::Failure::Kind::Denied);
        QCOMPARE(judged.failure.message, QStringLiteral("access_denied"));
        QCOMPARE(judged.failure.description(),
                 L("account.google.failed", QStringLiteral("access_denied")));
    }

    void incompleteRedirectsAreCancelled_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::newRow("no query") << QByteArray("/callback");
        QTest::newRow("no state") << QByteArray("/callback?code=c");
        QTest::newRow("wrong state") << QByteArray("/callback?code=c&state=other");
        QTest::newRow("no code") << QByteArray("/callback?state=xyz");
        QTest::newRow("empty code") << QByteArray("/callback?code=&state=xyz");
    }

    void incompleteRedirectsAreCancelled()
    {
        QFETCH(QByteArray, target);
        const Run run = captureWith(get(target));
        QVERIFY(run.outcome.callback);
        QVERIFY(run.page.body.contains(">done</p>"));
        const auto judged = GoogleSignIn::check(*run.outcome.callback, QStringLiteral("xyz"),
                                                QStringLiteral("v"));
        QVERIFY(!judged.result);
        QCOMPARE(judged.failure.kind, GoogleSignIn::Failure::Kind::Cancelled);
        QCOMPARE(judged.failure.description(), L("account.google.cancelled"));
    }

    void timeoutEndsTheCapture()
    {
        const Run run = captureWith(QByteArray(), 50ms);
        QVERIFY(!run.outcome.callback);
        QCOMPARE(run.outcome.failure.kind, LR::Failure::Kind::TimedOut);
        QCOMPARE(run.outcome.failure.description(), L("ai.connect.timedOut"));
    }

    void otherPathsDoNotEndTheFlow()
    {
        // A favicon request comes first; the flow must wait for the redirect itself.
        RecordingBrowser browser;
        QFuture<QPair<Page, Page>> pages;
        browser.onOpen = [&](const QUrl &url) {
            const auto port = quint16(QUrl(url.toString().section(u'=', 1)).port());
            pages = QtConcurrent::run([port] {
                const Page favicon = send(port, get("/favicon.ico"));
                return qMakePair(favicon, send(port, get("/callback?code=c&state=s")));
            });
        };
        auto task = LR::capture(
            QStringLiteral("127.0.0.1"), 10s, QStringLiteral("done"), QStringLiteral("denied"),
            [](const QString &r) { return QUrl(QStringLiteral("https://a.example/?r=") + r); },
            &browser);
        const LR::Outcome outcome = QCoro::waitFor(std::move(task));
        QTRY_VERIFY(pages.isFinished());
        QVERIFY(pages.result().first.head.startsWith("HTTP/1.1 404"));
        QVERIFY(outcome.callback);
        QCOMPARE(outcome.callback->value(QStringLiteral("code")), QStringLiteral("c"));
    }

    void contentLengthCountsUtf8Bytes()
    {
        const QString text = QStringLiteral("Sesión iniciada. Já pode voltar ✓");
        const Run run = captureWith(get("/callback?code=c&state=s"), 10s, text);
        const QByteArray expected = LR::page(text);
        QVERIFY(run.page.head.contains("Content-Length: " + QByteArray::number(expected.size())));
        QVERIFY(expected.size() != QString::fromUtf8(expected).size());
        QCOMPARE(run.page.body, expected);
    }

    void authorizationAddress()
    {
        const QUrl url = GoogleSignIn::authorizationURL(
            QStringLiteral("https://accounts.google.com"), QStringLiteral("cid"),
            QStringLiteral("http://127.0.0.1:5000/callback"), QStringLiteral("ch"),
            QStringLiteral("st"));
        QCOMPARE(url.toString(QUrl::RemoveQuery),
                 QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth"));
        QCOMPARE(
            url.query(QUrl::FullyEncoded),
            QStringLiteral("client_id=cid&redirect_uri=http%3A%2F%2F127.0.0.1%3A5000%2Fcallback"
                           "&response_type=code&scope=openid%20email%20profile"
                           "&code_challenge=ch&code_challenge_method=S256&state=st"
                           "&prompt=select_account"));
    }

    void authorizeCompletesWithTheFlowsState()
    {
        // The "browser" reads the state from the authorization address and redirects back.
        RecordingBrowser browser;
        browser.onOpen = [](const QUrl &url) {
            const QUrlQuery query(url);
            const QUrl redirect(
                query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
            const QByteArray target = "/callback?code=the-code&state="
                + query.queryItemValue(QStringLiteral("state")).toUtf8();
            const auto port = quint16(redirect.port());
            (void)QtConcurrent::run([port, target] { return send(port, get(target)); });
        };
        GoogleSignIn::Options options;
        options.browser = &browser;
        const auto outcome
            = QCoro::waitFor(GoogleSignIn::authorize(QStringLiteral("cid"), options));
        QVERIFY(outcome.result);
        QCOMPARE(outcome.result->code, QStringLiteral("the-code"));
        QCOMPARE(outcome.result->codeVerifier.size(), 64);
        const QUrlQuery query(browser.opened.first());
        QCOMPARE(query.queryItemValue(QStringLiteral("code_challenge")),
                 LR::codeChallenge(outcome.result->codeVerifier));
        QCOMPARE(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded),
                 outcome.result->redirectUri);
    }

    void authorizeTimeoutIsCancelled()
    {
        RecordingBrowser browser;
        browser.succeeds = false; // no browser: the flow still waits, then gives up
        GoogleSignIn::Options options;
        options.browser = &browser;
        options.timeout = 30ms;
        bool told = false;
        options.opened = [&](const QUrl &, bool opened) {
            told = !opened;
        };
        const auto outcome
            = QCoro::waitFor(GoogleSignIn::authorize(QStringLiteral("cid"), options));
        QVERIFY(told);
        QVERIFY(!outcome.result);
        QCOMPARE(outcome.failure.kind, GoogleSignIn::Failure::Kind::Cancelled);
    }

    void oversizedRequestIsCutAtTheLimit()
    {
        // A local program sending an endless head gets answered at the limit, never buffered
        // without bound.
        QByteArray huge = "GET /callback?code=c&state=s HTTP/1.1\r\nX: " + QByteArray(40000, 'a');
        const Run run = captureWith(huge);
        QVERIFY(run.outcome.callback);
        QCOMPARE(run.outcome.callback->value(QStringLiteral("code")), QStringLiteral("c"));
    }

    void requestTargets_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<int>("items");
        QTest::newRow("query") << QStringLiteral("GET /callback?a=1&b=2 HTTP/1.1\r\n") << 2;
        QTest::newRow("no query") << QStringLiteral("GET /callback HTTP/1.1\r\n") << 0;
        QTest::newRow("no target") << QStringLiteral("GET\r\n") << 0;
        QTest::newRow("empty (not UTF-8)") << QString() << 0;
        // A target naming another host is no redirect to this listener.
        QTest::newRow("other host")
            << QStringLiteral("GET //evil.example/callback?code=x HTTP/1.1\r\n") << 0;
    }

    void requestTargets()
    {
        QFETCH(QString, request);
        QFETCH(int, items);
        const LR::Callback callback = LR::parseRequest(QStringLiteral("127.0.0.1"), 4242, request);
        QCOMPARE(callback.items.size(), items);
        QCOMPARE(callback.redirectURI, QStringLiteral("http://127.0.0.1:4242/callback"));
    }
};

QTEST_MAIN(TestLoopbackRedirect)
#include "tst_loopbackredirect.moc"
