#pragma once

#include <QHash>
#include <QMutex>
#include <QString>

#include <chrono>

/// Per-key token buckets: `perMinute` requests a minute on average, bursts up to the same
/// number. One process's view; several server processes each keep their own.
class RateLimiter
{
public:
    using Clock = std::chrono::steady_clock;

    explicit RateLimiter(int perMinute) : m_perMinute(perMinute) { }

    /// Takes one request's token; false when the key has none left.
    bool take(const QString &key, Clock::time_point now = Clock::now())
    {
        QMutexLocker lock(&m_lock);
        if (m_buckets.size() > 100000)
            m_buckets.clear(); // bounded memory under a flood of addresses
        Bucket &bucket = m_buckets[key];
        if (bucket.last == Clock::time_point {}) {
            bucket.tokens = m_perMinute;
        } else {
            const double seconds = std::chrono::duration<double>(now - bucket.last).count();
            bucket.tokens = std::min<double>(m_perMinute, bucket.tokens + seconds * m_perMinute / 60.0);
        }
        bucket.last = now;
        if (bucket.tokens < 1.0)
            return false;
        bucket.tokens -= 1.0;
        return true;
    }

private:
    struct Bucket
    {
        double tokens = 0;
        Clock::time_point last {};
    };
    int m_perMinute;
    QMutex m_lock;
    QHash<QString, Bucket> m_buckets;
};
