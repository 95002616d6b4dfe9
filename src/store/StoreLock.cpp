#include "store/StoreLock.h"

#include <QDir>
#include <QFile>
#include <QLockFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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
    auto lock = tryAcquire(supportFolder);
    if (!lock)
        return std::unexpected(lock.error().message);
    return std::move(*lock);
}

namespace {
// QLockFile does not say why it could not create its file; the system does.
QString creationProblem(const QString &path)
{
    const QByteArray probe = QFile::encodeName(path + QStringLiteral(".probe"));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.constData());
        return QStringLiteral("the path is taken by something that is not a lock file");
    }
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

std::expected<StoreLock, StoreLock::Failure> StoreLock::tryAcquire(const QString &supportFolder)
{
    if (!QDir().mkpath(supportFolder))
        return std::unexpected(Failure { Failure::Kind::Unwritable,
                                         QStringLiteral("cannot create the support folder %1: %2")
                                             .arg(supportFolder, creationProblem(supportFolder)) });
    const QString path = QDir(supportFolder).filePath(QStringLiteral("store.lock"));
    auto lock = std::make_unique<QLockFile>(path);
    // Never stale by age: a long-running app keeps its lock. QLockFile still takes over a
    // lock whose process is gone.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return StoreLock(std::move(lock), path);
    qint64 pid = 0;
    QString host, app;
    // A lock held by a live process names it; one whose file cannot even be read is no lock.
    if (lock->error() == QLockFile::LockFailedError && lock->getLockInfo(&pid, &host, &app)) {
        return std::unexpected(
            Failure { Failure::Kind::InUse,
                      QStringLiteral("%1 is in use by another process (pid %2)").arg(path).arg(pid) });
    }
    // Not in use: the lock file cannot be written (a full disk, a read-only or foreign folder).
    return std::unexpected(Failure {
        Failure::Kind::Unwritable,
        QStringLiteral("the lock file %1 cannot be created: %2").arg(path, creationProblem(path)) });
}
