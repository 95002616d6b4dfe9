#pragma once

#include <QImage>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class QNetworkAccessManager;
class QNetworkReply;

/// A round account picture. With an address it shows the picture loaded from it, scaled to
/// fill and clipped to a circle; while loading, when loading fails and without an address it
/// shows the symbol "person.crop.circle.fill".
///
/// The address comes from the server and is untrusted: only http and https are fetched, the
/// download is capped, and anything that does not decode as a picture leaves the symbol.
class Avatar : public QWidget
{
    Q_OBJECT
public:
    /// Largest picture accepted, in bytes.
    static constexpr qint64 maxBytes = 2 * 1024 * 1024;

    explicit Avatar(int diameter = 28, QWidget *parent = nullptr);
    ~Avatar() override;

    QUrl url() const { return m_url; }
    /// Starts loading `url` (a change drops any picture or download of the previous one).
    void setUrl(const QUrl &url);
    /// True once a picture has been loaded for the current address.
    bool hasPicture() const { return !m_picture.isNull(); }

    QSize sizeHint() const override;

Q_SIGNALS:
    /// Loading of the current address ended (`hasPicture()` tells how).
    void loaded();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void finish(QNetworkReply *reply);

    int m_diameter;
    QUrl m_url;
    QImage m_picture;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
};
