#include "store/StoreLock.h"

#include <QDir>
#include <QLockFile>

StoreLock::StoreLock(std::unique_ptr<QLockFile> lock, QString path)
    : m_lock(std::move(lock))
    , m_path(std::move(path))
{
}

StoreLock::StoreLock(StoreLock &&) noexcept = default;
StoreLock &StoreLock::operator=(StoreLock &&) noexcept = default;
StoreLock::~StoreLock() = default;

QString StoreLock::path() const
{
    return m_path;
}

std::expected<StoreLock, QString> StoreLock::acquire(const QString &supportFolder)
{
    if (!QDir().mkpath(supportFolder))
        return std::unexpected(QStringLiteral("cannot create %1").arg(supportFolder));
    const QString path = QDir(supportFolder).filePath(QStringLiteral("store.lock"));
    auto lock = std::make_unique<QLockFile>(path);
    // Never stale by age: a long-running app keeps its lock. QLockFile still takes over a
    // lock whose process is gone.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return StoreLock(std::move(lock), path);
    switch (lock->error()) {
    case QLockFile::LockFailedError: {
        qint64 pid = 0;
        QString host, app;
        lock->getLockInfo(&pid, &host, &app);
        return std::unexpected(
            QStringLiteral("%1 is in use by another process (pid %2)").arg(path).arg(pid));
    }
    case QLockFile::PermissionError:
        return std::unexpected(QStringLiteral("%1: permission denied").arg(path));
    default:
        return std::unexpected(QStringLiteral("%1: cannot be locked").arg(path));
    }
}
