#include "app/DesktopIdentity.h"

#include <QIconEngine>
#include <QPainter>

namespace {

// The drawn pixmaps under a theme icon's name: QIcon::fromTheme would give the name but
// render the theme's file unchanged, which a dark panel can swallow.
class NamedIconEngine final : public QIconEngine
{
public:
    NamedIconEngine(QIcon pixmaps, QString name)
        : m_pixmaps(std::move(pixmaps))
        , m_name(std::move(name))
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        m_pixmaps.paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_pixmaps.pixmap(size, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_pixmaps.actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return m_pixmaps.availableSizes(mode, state);
    }
    QString iconName() override { return m_name; }
    bool isNull() override { return m_pixmaps.isNull(); }
    QString key() const override { return QStringLiteral("app.scrivelbar.named"); }
    QIconEngine *clone() const override { return new NamedIconEngine(m_pixmaps, m_name); }

private:
    QIcon m_pixmaps;
    QString m_name;
};

} // namespace

namespace DesktopIdentity {

QIcon applicationIcon()
{
    return QIcon::fromTheme(QString::fromLatin1(iconName),
                            QIcon(QString::fromLatin1(bundledIconPath)));
}

QIcon trayIcon(const QIcon &drawn, bool isAppGlyph)
{
    const QString name = QString::fromLatin1(trayIconName);
    if (!isAppGlyph || drawn.isNull() || !QIcon::hasThemeIcon(name))
        return drawn;
    return QIcon(new NamedIconEngine(drawn, name));
}

} // namespace DesktopIdentity
