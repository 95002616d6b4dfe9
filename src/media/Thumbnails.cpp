#include "media/Thumbnails.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent>

#include <cmath>

namespace {
// About 7,000 previews of 88 × 88; a memory bound the system cache would otherwise impose.
constexpr qsizetype kCacheBytes = 200 * 1024 * 1024;

bool hasColourTable(QImage::Format format)
{
    return format == QImage::Format_Indexed8 || format == QImage::Format_Mono
        || format == QImage::Format_MonoLSB;
}
} // namespace

Thumbnails &Thumbnails::shared()
{
    static Thumbnails *instance = [] {
        auto *thumbnails = new Thumbnails(QCoreApplication::instance());
        return thumbnails;
    }();
    return *instance;
}

Thumbnails::Thumbnails(QObject *parent) : QObject(parent), m_pool(new QThreadPool(this))
{
    m_cache.setMaxCost(kCacheBytes);
    // Decoding is I/O plus a little CPU; two workers keep the disk busy without starving the
    // other background work of the program.
    m_pool->setMaxThreadCount(2);
}

Thumbnails::~Thumbnails()
{
    m_pool->clear();
    m_pool->waitForDone();
}

QString Thumbnails::cacheKey(const QString &path)
{
    const QFileInfo info(path);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    const double seconds = modified.isValid() ? double(modified.toMSecsSinceEpoch()) / 1000.0 : 0.0;
    return path + u'#' + QString::number(seconds, 'f', 3);
}

QImage Thumbnails::decode(const QString &path, int maxSize)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // Scaling an image with a colour table maps the blended pixels back onto a palette, which
    // turns previews grey and dithered. Such images (palette PNGs, GIFs) are read whole, made
    // true colour and scaled afterwards; their readers decode the whole picture before scaling
    // anyway, so this costs nothing extra.
    const bool paletted = hasColourTable(reader.imageFormat());
    const QSize stored = reader.size();
    if (!paletted && stored.isValid() && !stored.isEmpty()) {
        const int longest = std::max(stored.width(), stored.height());
        if (longest > maxSize) {
            // One factor for both sides: the orientation is applied after scaling, so the
            // aspect ratio must survive the scaling unchanged.
            const double factor = double(maxSize) / longest;
            reader.setScaledSize(QSize(std::max(1, int(std::lround(stored.width() * factor))),
                                       std::max(1, int(std::lround(stored.height() * factor)))));
        }
    }
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (hasColourTable(image.format()))
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32);
    // Formats that cannot scale while decoding still come out small.
    if (std::max(image.width(), image.height()) > maxSize)
        image = image.scaled(maxSize, maxSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage Thumbnails::cached(const QString &path) const
{
    if (const QImage *image = m_cache.object(cacheKey(path)))
        return *image;
    return {};
}

void Thumbnails::request(const QString &path, QObject *context,
                         std::function<void(const QImage &)> done)
{
    const QString key = cacheKey(path);
    if (const QImage *image = m_cache.object(key)) {
        if (done)
            done(*image);
        return;
    }
    auto inflight = m_inflight.find(key);
    const bool started = inflight != m_inflight.end();
    if (!started)
        inflight = m_inflight.insert(key, {});
    if (done)
        inflight->append(Waiter { context, context != nullptr, std::move(done) });
    if (started)
        return;

    ++m_decodes;
    QtConcurrent::task([path] { return decode(path); })
        .onThreadPool(*m_pool)
        .withPriority(++m_priority)
        .spawn()
        .then(this, [this, key, path](const QImage &image) { finished(key, path, image); });
}

void Thumbnails::finished(const QString &key, const QString &path, const QImage &image)
{
    if (!image.isNull())
        m_cache.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes()));
    const QList<Waiter> waiters = m_inflight.take(key);
    for (const Waiter &waiter : waiters) {
        if (waiter.hadContext && !waiter.context)
            continue;
        waiter.done(image);
    }
    Q_EMIT ready(path, image);
}

void Thumbnails::waitForDone()
{
    m_pool->waitForDone();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

void Thumbnails::clear()
{
    m_cache.clear();
}
