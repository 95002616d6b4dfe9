#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>

class QThreadPool;

/// Small previews of image files, decoded off the main thread and kept in one process-wide
/// memory cache keyed by the file's path and modification time (a replaced file gets a new
/// entry). Only the preview is decoded where the format allows it, and EXIF orientation is
/// applied; previews are always true colour (RGB or ARGB), palette images included. The cache
/// and the request bookkeeping live on the main thread.
class Thumbnails : public QObject
{
    Q_OBJECT
public:
    /// Longest side of a preview, in pixels.
    static constexpr int maxPixelSize = 88;

    /// The process-wide instance (created on first use, on the main thread).
    static Thumbnails &shared();

    explicit Thumbnails(QObject *parent = nullptr);
    ~Thumbnails() override;

    /// "<path>#<modification time in seconds since 1970>" (0 when it cannot be read).
    static QString cacheKey(const QString &path);
    /// Decodes a preview synchronously (empty image when the file is missing or no image).
    static QImage decode(const QString &path, int maxSize = maxPixelSize);

    /// The cached preview of the file as it is now, if any.
    QImage cached(const QString &path) const;
    /// Answers from the cache at once, else decodes in the background and calls `done` on
    /// the main thread (with an empty image on failure) unless `context` is gone by then.
    /// Requests for a file already being decoded share that decode. The newest request is
    /// decoded first, so what the user looks at now is not stuck behind rows scrolled past.
    void request(const QString &path, QObject *context, std::function<void(const QImage &)> done);

    /// Number of decodes started (tests).
    int decodeCount() const { return m_decodes; }
    /// Waits for every decode in flight (tests, shutdown).
    void waitForDone();
    void clear();

Q_SIGNALS:
    /// A decode finished; `image` is empty when the file could not be read as an image.
    void ready(const QString &path, const QImage &image);

private:
    void finished(const QString &key, const QString &path, const QImage &image);

    QCache<QString, QImage> m_cache;
    struct Waiter
    {
        QPointer<QObject> context;
        bool hadContext = false;
        std::function<void(const QImage &)> done;
    };
    QHash<QString, QList<Waiter>> m_inflight; ///< by cache key
    QThreadPool *m_pool = nullptr;
    int m_decodes = 0;
    int m_priority = 0;
};
