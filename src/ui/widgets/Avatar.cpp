#include "ui/widgets/Avatar.h"

#include "ui/style/Icons.h"
#include "ui/style/ScreenStyle.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QPainterPath>

namespace {
// A profile picture bigger than this on either side is not a profile picture; refusing it
// keeps a hostile answer from making us decode a huge image.
constexpr int kMaxSide = 4096;
constexpr int kTimeoutMs = 15000;
} // namespace

Avatar::Avatar(int diameter, QWidget *parent) : QWidget(parent), m_diameter(diameter)
{
    setObjectName(QStringLiteral("avatar"));
    setFixedSize(diameter, diameter);
}

Avatar::~Avatar()
{
    if (m_reply)
        m_reply->abort();
}

QSize Avatar::sizeHint() const
{
    return { m_diameter, m_diameter };
}

void Avatar::setUrl(const QUrl &url)
{
    if (url == m_url)
        return;
    m_url = url;
    m_picture = QImage();
    update();
    if (m_reply) {
        // The newest address wins: the old download must not land on the new account.
        QNetworkReply *old = m_reply;
        m_reply = nullptr;
        old->abort();
    }
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"https" && scheme != u"http")) {
        Q_EMIT loaded();
        return;
    }
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(kTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > maxBytes || total > maxBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
}

void Avatar::finish(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_reply)
        return; // an abandoned download
    m_reply = nullptr;
    if (reply->error() == QNetworkReply::NoError) {
        QByteArray data = reply->read(maxBytes + 1);
        if (data.size() <= maxBytes) {
            QBuffer buffer(&data);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            reader.setAutoTransform(true);
            const QSize size = reader.size();
            if (size.isValid() && size.width() <= kMaxSide && size.height() <= kMaxSide)
                m_picture = reader.read();
        }
    }
    update();
    Q_EMIT loaded();
}

void Avatar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF circle(0, 0, m_diameter, m_diameter);
    if (m_picture.isNull()) {
        const QPixmap symbol = Icons::pixmap(QStringLiteral("person.crop.circle.fill"),
                                             ScreenStyle::secondary(palette()),
                                             QSize(m_diameter, m_diameter), devicePixelRatioF());
        painter.drawPixmap(circle.toRect(), symbol);
        return;
    }
    QPainterPath clip;
    clip.addEllipse(circle);
    painter.setClipPath(clip);
    // Fill the circle: scale the shorter side to the diameter and centre the rest.
    const QSizeF scaled = QSizeF(m_picture.size()).scaled(circle.size(), Qt::KeepAspectRatioByExpanding);
    const QRectF target(QPointF((m_diameter - scaled.width()) / 2, (m_diameter - scaled.height()) / 2),
                        scaled);
    painter.drawImage(target, m_picture);
}
