#pragma once

#include <QByteArray>
#include <QString>

#include <expected>
#include <functional>

/// Crash-safe file replacement: the data goes to a hidden temporary file beside the target,
/// which is synced (and the result checked), renamed over the target, and then the folder is
/// synced. A crash or power cut at any instant leaves either the old or the new content.
/// On failure the old file is untouched and the error message names the path.
namespace DurableFile {

enum class Step { Create, Write, Sync, Close, Rename, SyncFolder };

std::expected<void, QString> write(const QString &path, const QByteArray &data);

/// A temporary file written beside its target, not yet synced or in place.
struct Prepared
{
    QString temporaryPath;
    QString targetPath;
};

/// The quick half of `write`: the temporary file with the complete data, closed.
std::expected<Prepared, QString> prepare(const QString &path, const QByteArray &data);

/// A temporary file filled piece by piece, for data too large to hold in memory at once.
/// `finish` closes it and hands it over for `commit`; a stream dropped before that removes
/// its temporary file.
class Stream
{
public:
    static std::expected<Stream, QString> open(const QString &path);
    Stream(Stream &&other) noexcept;
    Stream &operator=(Stream &&other) = delete;
    Stream(const Stream &) = delete;
    ~Stream();

    std::expected<void, QString> append(const char *data, qsizetype size);
    std::expected<Prepared, QString> finish();

private:
    Stream(int fd, Prepared names) : m_fd(fd), m_names(std::move(names)) { }
    int m_fd = -1;
    Prepared m_names;
};
/// The slow half, safe on a worker thread: sync the temporary file, rename it over the
/// target, sync the folder. On failure the temporary file is removed.
std::expected<void, QString> commit(const Prepared &prepared);
/// Removes a prepared temporary file that will not be committed.
void abandon(const Prepared &prepared);

/// Test seam: when set, called before each step; returning false makes that step fail as if
/// the system had refused it (a full disk, an I/O error).
void setFaultHook(std::function<bool(Step step, const QString &path)> hook);

/// True for the name of a temporary file that `prepare` makes: "." + target name + ".tmp-"
/// + letters and digits. Nothing else ever matches.
bool isTemporaryName(QStringView name);
/// Removes the temporary files (by that pattern only, regular files only) that writers killed
/// mid-write left in `folder`. Call only while no writer of this folder runs. Returns how many.
int removeStaleTemporaries(const QString &folder);

/// True when `name` is a single, plain path component: not empty, not "." or "..", without
/// "/", "\\" or NUL. Identifiers and file names from outside become paths only after this.
bool isSafeComponent(QStringView name);

} // namespace DurableFile
