#pragma once

#include <QString>

#include <expected>
#include <memory>

class QLockFile;

/// Exclusive use of a support folder (and so of its index file) by one process at a time.
/// The app and the command-line tool both take it before they open the store. A lock left by
/// a process that died is taken over.
class StoreLock
{
public:
    StoreLock(StoreLock &&) noexcept;
    StoreLock &operator=(StoreLock &&) noexcept;
    ~StoreLock();

    /// Why the lock could not be taken.
    struct Failure
    {
        enum class Kind {
            InUse, ///< another live process holds it
            Unwritable, ///< the lock file cannot be created (full disk, read-only, no access)
        };
        Kind kind;
        QString message; ///< names the lock file and the system's reason
    };

    /// Creates the support folder if needed and takes its lock. Fails at once, with a message
    /// naming the lock file, when another live process holds it or it cannot be created.
    static std::expected<StoreLock, QString> acquire(const QString &supportFolder);
    /// The same, telling a folder in use from one where no lock file can be made.
    static std::expected<StoreLock, Failure> tryAcquire(const QString &supportFolder);

    QString path() const;

private:
    explicit StoreLock(std::unique_ptr<QLockFile> lock, QString path);
    std::unique_ptr<QLockFile> m_lock;
    QString m_path;
};
