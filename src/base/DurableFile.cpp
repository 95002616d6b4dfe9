#include "base/DurableFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace DurableFile {

namespace {

std::function<bool(Step, const QString &)> &faultHook()
{
    static std::function<bool(Step, const QString &)> hook;
    return hook;
}

bool allowed(Step step, const QString &path)
{
    const auto &hook = faultHook();
    return !hook || hook(step, path);
}

QString failure(const QString &path, const char *what, int error)
{
    return QStringLiteral("%1: %2 (%3)")
        .arg(QDir::toNativeSeparators(path), QString::fromUtf8(what),
             QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

void setFaultHook(std::function<bool(Step, const QString &)> hook)
{
    faultHook() = std::move(hook);
}

bool isTemporaryName(QStringView name)
{
    const qsizetype marker = name.lastIndexOf(u".tmp-");
    // At least one character of the target's name between the dot and the marker.
    if (!name.startsWith(u'.') || marker < 2 || marker + 5 >= name.size())
        return false;
    for (QChar c : name.mid(marker + 5)) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z')))
            return false;
    }
    return true;
}

int removeStaleTemporaries(const QString &folder)
{
    // Read straight from the folder: it may hold tens of thousands of notes, and only the
    // few hidden names can be ours.
    int removed = 0;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return 0;
    const int dirFd = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.' || !isTemporaryName(QFile::decodeName(entry->d_name)))
            continue;
        struct stat info
        {
        };
        // Not followed: a link that happens to carry the name is not ours.
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(info.st_mode) && ::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

bool isSafeComponent(QStringView name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    for (QChar c : name) {
        if (c == u'/' || c == u'\\' || c == QChar(0))
            return false;
    }
    return true;
}

std::expected<Stream, QString> Stream::open(const QString &path)
{
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    const QString temporary = folder + QStringLiteral("/.") + target.fileName()
        + QStringLiteral(".tmp-") + QString::number(QRandomGenerator::system()->generate64(), 36);
    const QByteArray temporaryPath = QFile::encodeName(temporary);
    const QByteArray targetPath = QFile::encodeName(target.absoluteFilePath());

    // Keep the permissions of the file we replace; new files get the usual 0644 under umask.
    mode_t mode = 0666;
    struct stat existing
    {
    };
    if (::stat(targetPath.constData(), &existing) == 0)
        mode = existing.st_mode & 07777;

    if (!allowed(Step::Create, path))
        return std::unexpected(failure(path, "cannot create a temporary file", ENOSPC));
    const int fd = ::open(temporaryPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return std::unexpected(failure(path, "cannot create a temporary file", errno));
    if (existing.st_mode != 0)
        ::fchmod(fd, mode); // the umask must not narrow an existing file's permissions
    return Stream(fd, Prepared { temporary, target.absoluteFilePath() });
}

Stream::Stream(Stream &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_names(std::move(other.m_names))
{
}

Stream::~Stream()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(QFile::encodeName(m_names.temporaryPath).constData());
    }
}

std::expected<void, QString> Stream::append(const char *data, qsizetype size)
{
    const QString &path = m_names.targetPath;
    if (m_fd < 0)
        return std::unexpected(failure(path, "cannot write", EBADF));
    while (size > 0) {
        if (!allowed(Step::Write, path))
            return std::unexpected(failure(path, "cannot write", ENOSPC));
        const ssize_t written = ::write(m_fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(failure(path, "cannot write", errno));
        }
        data += written;
        size -= written;
    }
    return {};
}

std::expected<Prepared, QString> Stream::finish()
{
    const QString &path = m_names.targetPath;
    const QByteArray temporaryPath = QFile::encodeName(m_names.temporaryPath);
    if (m_fd < 0)
        return std::unexpected(failure(path, "cannot close", EBADF));
    if (!allowed(Step::Close, path)) {
        ::close(std::exchange(m_fd, -1));
        ::unlink(temporaryPath.constData());
        return std::unexpected(failure(path, "cannot close", EIO));
    }
    // Never retry close(): on Linux the descriptor is gone even when it reports EINTR.
    if (::close(std::exchange(m_fd, -1)) != 0) {
        const int error = errno;
        ::unlink(temporaryPath.constData());
        return std::unexpected(failure(path, "cannot close", error));
    }
    return m_names;
}

std::expected<Prepared, QString> prepare(const QString &path, const QByteArray &data)
{
    auto stream = Stream::open(path);
    if (!stream)
        return std::unexpected(stream.error());
    if (auto appended = stream->append(data.constData(), data.size()); !appended)
        return std::unexpected(appended.error());
    return stream->finish();
}

std::expected<void, QString> commit(const Prepared &prepared)
{
    const QString &path = prepared.targetPath;
    const QByteArray temporaryPath = QFile::encodeName(prepared.temporaryPath);
    auto abandon = [&](const char *what, int error) {
        ::unlink(temporaryPath.constData());
        return std::unexpected(failure(path, what, error));
    };
    // fsync through a new descriptor flushes the same file's data.
    const int fd = ::open(temporaryPath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return abandon("cannot sync", errno);
    const bool syncAllowed = allowed(Step::Sync, path);
    const int synced = syncAllowed ? ::fsync(fd) : -1;
    const int syncError = syncAllowed ? errno : EIO;
    ::close(fd);
    if (synced != 0)
        return abandon("cannot sync", syncError);
    const bool renameAllowed = allowed(Step::Rename, path);
    if (!renameAllowed
        || ::rename(temporaryPath.constData(), QFile::encodeName(path).constData()) != 0)
        return abandon("cannot replace", renameAllowed ? errno : EIO);
    // The rename is durable only once the folder's entry is on disk.
    if (!allowed(Step::SyncFolder, path))
        return std::unexpected(failure(path, "cannot sync the folder", EIO));
    const QString folder = QFileInfo(path).absolutePath();
    const int dirFd
        = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return std::unexpected(failure(path, "cannot sync the folder", errno));
    const int folderSynced = ::fsync(dirFd);
    const int folderError = errno;
    ::close(dirFd);
    if (folderSynced != 0 && folderError != EINVAL) // some file systems cannot sync folders
        return std::unexpected(failure(path, "cannot sync the folder", folderError));
    return {};
}

void abandon(const Prepared &prepared)
{
    ::unlink(QFile::encodeName(prepared.temporaryPath).constData());
}

std::expected<void, QString> write(const QString &path, const QByteArray &data)
{
    auto prepared = prepare(path, data);
    if (!prepared)
        return std::unexpected(prepared.error());
    return commit(*prepared);
}

} // namespace DurableFile
