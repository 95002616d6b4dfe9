#pragma once

#include <QMutex>
#include <QMutexLocker>

/// A one-shot flag: the first caller of `testAndSet()` wins, every later caller loses. It lets
/// callbacks that may fire more than once, on any thread, finish a waiting flow exactly once.
class OnceFlag
{
public:
    /// True for the first caller only.
    bool testAndSet()
    {
        const QMutexLocker locker(&m_lock);
        if (m_done)
            return false;
        m_done = true;
        return true;
    }

    bool isSet() const
    {
        const QMutexLocker locker(&m_lock);
        return m_done;
    }

private:
    mutable QMutex m_lock;
    bool m_done = false;
};
