#include "ui/style/Icons.h"

#include <QCache>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QLoggingCategory>
#include <QPainter>
#include <QSvgRenderer>

namespace {

Q_LOGGING_CATEGORY(lcIcons, "app.scrivelbar.app.ui")

// Symbol names as the product speaks of them → Lucide file names. Where Lucide has no filled
// variant the outline stands in; callers that need emphasis tint it (accent, orange).
const QHash<QString, QString> &table()
{
    static const QHash<QString, QString> map = {
        { QStringLiteral("magnifyingglass"), QStringLiteral("search") },
        { QStringLiteral("square.and.pencil"), QStringLiteral("square-pen") },
        { QStringLiteral("gearshape"), QStringLiteral("settings") },
        { QStringLiteral("arrow.triangle.2.circlepath"), QStringLiteral("refresh-cw") },
        { QStringLiteral("power"), QStringLiteral("power") },
        { QStringLiteral("textformat.abc.dottedunderline"), QStringLiteral("spell-check-2") },
        { QStringLiteral("pencil.and.outline"), QStringLiteral("pencil-line") },
        { QStringLiteral("doc.append"), QStringLiteral("file-plus") },
        { QStringLiteral("rectangle.stack"), QStringLiteral("layers") },
        { QStringLiteral("list.bullet.below.rectangle"), QStringLiteral("layout-list") },
        { QStringLiteral("trash"), QStringLiteral("trash-2") },
        { QStringLiteral("trash.slash"), QStringLiteral("trash-off") },
        { QStringLiteral("photo"), QStringLiteral("image") },
        { QStringLiteral("photo.badge.plus"), QStringLiteral("image-plus") },
        { QStringLiteral("photo.badge.exclamationmark"), QStringLiteral("image-off") },
        { QStringLiteral("mic"), QStringLiteral("mic") },
        { QStringLiteral("mic.slash"), QStringLiteral("mic-off") },
        { QStringLiteral("mic.badge.plus"), QStringLiteral("mic-vocal") },
        { QStringLiteral("checkmark.square.fill"), QStringLiteral("square-check") },
        { QStringLiteral("square"), QStringLiteral("square") },
        { QStringLiteral("chevron.left"), QStringLiteral("chevron-left") },
        { QStringLiteral("ellipsis.circle"), QStringLiteral("circle-ellipsis") },
        { QStringLiteral("square.and.arrow.up"), QStringLiteral("share") },
        { QStringLiteral("square.and.arrow.down"), QStringLiteral("download") },
        { QStringLiteral("line.3.horizontal.decrease.circle"), QStringLiteral("list-filter") },
        { QStringLiteral("line.3.horizontal.decrease.circle.fill"), QStringLiteral("funnel") },
        { QStringLiteral("xmark.circle.fill"), QStringLiteral("circle-x") },
        { QStringLiteral("xmark"), QStringLiteral("x") },
        { QStringLiteral("play.circle.fill"), QStringLiteral("circle-play") },
        { QStringLiteral("pause.circle.fill"), QStringLiteral("circle-pause") },
        { QStringLiteral("stop.circle.fill"), QStringLiteral("circle-stop") },
        { QStringLiteral("sparkles"), QStringLiteral("sparkles") },
        { QStringLiteral("person.crop.circle.fill"), QStringLiteral("circle-user-round") },
        { QStringLiteral("person.badge.key"), QStringLiteral("user-round-key") },
        { QStringLiteral("key.fill"), QStringLiteral("key-round") },
        { QStringLiteral("exclamationmark.triangle"), QStringLiteral("triangle-alert") },
        { QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("triangle-alert") },
        { QStringLiteral("chart.bar.xaxis"), QStringLiteral("chart-column") },
        { QStringLiteral("checkmark.circle"), QStringLiteral("circle-check") },
        { QStringLiteral("eye.slash"), QStringLiteral("eye-off") },
        { QStringLiteral("link"), QStringLiteral("link") },
        { QStringLiteral("doc.on.doc"), QStringLiteral("copy") },
        { QStringLiteral("doc.richtext"), QStringLiteral("file-type") },
        { QStringLiteral("doc.text"), QStringLiteral("file-text") },
        { QStringLiteral("note.text"), QStringLiteral("sticky-note") },
        { QStringLiteral("waveform"), QStringLiteral("audio-waveform") },
        { QStringLiteral("folder"), QStringLiteral("folder") },
        { QStringLiteral("arrow.up.right"), QStringLiteral("arrow-up-right") },
        { QStringLiteral("bubble.left.and.exclamationmark.bubble.right"),
          QStringLiteral("messages-square") },
        { QStringLiteral("text.viewfinder"), QStringLiteral("scan-text") },
        { QStringLiteral("text.quote"), QStringLiteral("text-quote") },
    };
    return map;
}

QByteArray svgData(const QString &path)
{
    static QHash<QString, QByteArray> loaded;
    auto it = loaded.constFind(path);
    if (it != loaded.cend())
        return *it;
    QFile file(path);
    QByteArray data;
    if (file.open(QIODevice::ReadOnly))
        data = file.readAll();
    loaded.insert(path, data);
    return data;
}

// The glyph in one colour: the SVG is drawn as a mask and the colour poured into it
// (SourceIn), so every stroke and fill takes the tint whatever colours the file names.
QImage renderTinted(const QByteArray &svg, const QColor &color, QSize pixels)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return image;
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

QString cacheKey(const QString &symbol, const QColor &color, QSize size, qreal dpr,
                 const char *variant = "")
{
    return QStringLiteral("%1|%2|%3x%4|%5|%6")
        .arg(symbol, color.name(QColor::HexArgb))
        .arg(size.width())
        .arg(size.height())
        .arg(dpr)
        .arg(QLatin1String(variant));
}

QCache<QString, QPixmap> &pixmapCache()
{
    // Toolbars draw a few dozen glyphs at two or three sizes; this holds them all.
    static QCache<QString, QPixmap> cache(4096);
    return cache;
}

qreal currentRatio()
{
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

// Renders on demand at whatever size and ratio the widget asks, from the shared cache.
class TintedIconEngine : public QIconEngine
{
public:
    TintedIconEngine(QString symbol, QColor color)
        : m_symbol(std::move(symbol))
        , m_color(color)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, dpr));
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        QColor color = m_color;
        if (mode == QIcon::Disabled)
            color.setAlphaF(color.alphaF() * 0.35f);
        return Icons::pixmap(m_symbol, color, size, scale);
    }
    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine *clone() const override { return new TintedIconEngine(m_symbol, m_color); }
    QString key() const override { return QStringLiteral("scrivelbar-tinted"); }
    bool isNull() override { return false; }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return { QSize(16, 16), QSize(22, 22), QSize(32, 32) };
    }

private:
    QString m_symbol;
    QColor m_color;
};

} // namespace

namespace Icons {

QStringList symbols()
{
    return table().keys();
}

bool has(const QString &symbol)
{
    return table().contains(symbol);
}

QString filePath(const QString &symbol)
{
    const auto it = table().constFind(symbol);
    if (it == table().cend())
        return {};
    return QStringLiteral(":/icons/%1.svg").arg(*it);
}

QColor color(Tint tint, const QPalette &palette)
{
    switch (tint) {
    case Tint::Text:
        return palette.color(QPalette::WindowText);
    case Tint::Secondary:
        return palette.color(QPalette::PlaceholderText);
    case Tint::Accent:
        return palette.color(QPalette::Highlight);
    case Tint::Orange:
        return QColor(0xF0, 0x8C, 0x1A);
    case Tint::Red:
        return QColor(0xE0, 0x3E, 0x36);
    }
    return palette.color(QPalette::WindowText);
}

QPixmap pixmap(const QString &symbol, const QColor &color, QSize size, qreal devicePixelRatio)
{
    const QString path = filePath(symbol);
    if (path.isEmpty() || size.isEmpty())
        return {};
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const QString key = cacheKey(symbol, color, size, dpr);
    if (QPixmap *cached = pixmapCache().object(key))
        return *cached;
    const QSize pixels(qRound(size.width() * dpr), qRound(size.height() * dpr));
    QPixmap result = QPixmap::fromImage(renderTinted(svgData(path), color, pixels));
    result.setDevicePixelRatio(dpr);
    pixmapCache().insert(key, new QPixmap(result), 1);
    return result;
}

QIcon icon(const QString &symbol, const QPalette &palette, Tint tint)
{
    if (!has(symbol)) {
        qCWarning(lcIcons) << "unknown icon symbol" << symbol;
        return {};
    }
    return QIcon(new TintedIconEngine(symbol, color(tint, palette)));
}

QIcon trayIcon(const QString &symbol, const QColor &foreground, const QColor &halo)
{
    const QString path = filePath(symbol);
    if (path.isEmpty())
        return {};
    const QByteArray svg = svgData(path);
    // The halo is the same drawing with a much wider stroke (the set is drawn with
    // stroke-width 2), so it hugs the glyph's own shape.
    QByteArray wide = svg;
    wide.replace("stroke-width=\"2\"", "stroke-width=\"5\"");
    QIcon result;
    const qreal dpr = currentRatio();
    for (int side : { 16, 22, 24, 32, 48, 64 }) {
        const QSize pixels(qRound(side * dpr), qRound(side * dpr));
        // Inset so the halo is not cut at the edges.
        const int inset = qMax(1, pixels.width() / 12);
        const QSize inner = pixels - QSize(2 * inset, 2 * inset);
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        QColor haloColor = halo;
        haloColor.setAlphaF(0.55f);
        painter.drawImage(inset, inset, renderTinted(wide, haloColor, inner));
        painter.drawImage(inset, inset, renderTinted(svg, foreground, inner));
        painter.end();
        QPixmap pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(dpr);
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace Icons
