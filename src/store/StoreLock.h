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

    /// Creates the support folder if needed and takes its lock. Fails at once, with a message
    /// naming the lock file, when another live process holds it.
    static std::expected<StoreLock, QString> acquire(const QString &supportFolder);

    QString path() const;

private:
    explicit StoreLock(std::unique_ptr<QLockFile> lock, QString path);
    std::unique_ptr<QLockFile> m_lock;
    QString m_path;
};
