#include "sync/LoopbackRedirect.h"

#include "base/Localization.h"
#include "platform/Browser.h"
#include "sync/LoopbackSession.h"

#include <QCoroSignal>
#include <QCryptographicHash>
#include <QPointer>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <memory>

namespace LoopbackRedirect {

QString Failure::description() const
{
    return kind == Kind::TimedOut ? L("ai.connect.timedOut") : message;
}

std::optional<QString> Callback::value(const QString &name) const
{
    for (const auto &item : items) {
        if (item.first == name)
            return item.second;
    }
    return std::nullopt;
}

QString randomString(int length)
{
    static constexpr char alphabet[]
        = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
    constexpr int size = int(sizeof(alphabet) - 1);
    static_assert(size == 66);
    // 198 is the largest multiple of 66 not above 256: bytes from 198 up are thrown away, so
    // that every character is equally likely.
    constexpr int limit = (256 / size) * size;
    QString result;
    result.reserve(qMax(length, 0));
    QRandomGenerator *random = QRandomGenerator::system();
    while (result.size() < length) {
        quint32 word = random->generate();
        for (int i = 0; i < 4 && result.size() < length; ++i, word >>= 8) {
            const int byte = int(word & 0xff);
            if (byte < limit)
                result.append(QLatin1Char(alphabet[byte % size]));
        }
    }
    return result;
}

QString codeChallenge(const QString &verifier)
{
    const QByteArray digest
        = QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(
        digest.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QByteArray page(const QString &text)
{
    return QByteArrayLiteral("<!doctype html><meta charset=\"utf-8\"><title>ScrivelBar</title>\n"
                             "<body style=\"font-family:-apple-system,system-ui;display:grid;"
                             "place-items:center;height:100vh;margin:0;color:#333\">\n"
                             "<p style=\"font-size:18px\">")
        + text.toHtmlEscaped().toUtf8() + QByteArrayLiteral("</p></body>");
}

QByteArray response(const QString &text)
{
    const QByteArray body = page(text);
    // The length is the body's UTF-8 byte count, not its character count: a localized page
    // with accented letters would otherwise be cut short by the browser.
    return QByteArrayLiteral("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                             "Content-Length: ")
        + QByteArray::number(body.size()) + QByteArrayLiteral("\r\nConnection: close\r\n\r\n")
        + body;
}

namespace detail {

// The method and target of the request line; empty when there is none.
QPair<QString, QString> requestLine(const QString &requestText)
{
    const qsizetype end = requestText.indexOf(QStringLiteral("\r\n"));
    const QString first = end < 0 ? requestText : requestText.left(end);
    const QStringList tokens = first.split(u' ');
    return { tokens.value(0), tokens.value(1) };
}

QUrl targetURL(const QString &host, const QString &target)
{
    // Only origin-form targets ("/path?query") belong to a redirect; anything else would let
    // the request name another host.
    if (!target.startsWith(u'/') || target.startsWith(QStringLiteral("//")))
        return {};
    return QUrl(QStringLiteral("http://") + host + target, QUrl::StrictMode);
}

QString redirectAddress(const QString &host, quint16 port)
{
    return QStringLiteral("http://%1:%2/callback").arg(host).arg(port);
}

} // namespace detail

using namespace detail;

Callback parseRequest(const QString &host, quint16 port, const QString &requestText)
{
    Callback callback;
    callback.redirectURI = redirectAddress(host, port);
    const QUrl url = targetURL(host, requestLine(requestText).second);
    if (!url.isValid() || !url.hasQuery())
        return callback;
    const QUrlQuery query(url);
    for (const auto &item : query.queryItems(QUrl::FullyDecoded))
        callback.items.append(item);
    return callback;
}

QCoro::Task<Outcome> capture(QString host, std::chrono::milliseconds timeout, QString pageDone,
                             QString pageDenied, AuthorizeURL authorizeURL, Browser *browser,
                             Limits limits, std::function<void(const QUrl &, bool)> opened,
                             Canceller *canceller)
{
    auto session = std::make_unique<Session>(host, pageDone, pageDenied, limits);
    if (!session->start(timeout))
        co_return session->outcome();
    if (canceller)
        QObject::connect(canceller, &Canceller::cancelled, session.get(), &Session::cancel);
    const QUrl address = authorizeURL(session->redirectURI());
    const bool started = browser && browser->open(address);
    if (opened)
        opened(address, started);
    else if (!started)
        // Nobody shows the address to the user either: waiting would only end in the timeout.
        session->abandon(L("error.noBrowser"));
    if (!session->isFinished())
        co_await qCoro(session.get(), &Session::finished);
    co_return session->outcome();
}

} // namespace LoopbackRedirect
