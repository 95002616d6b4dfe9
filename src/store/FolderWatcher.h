#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

/// Calls `onChange` on the main thread whenever something inside a folder changes: files
/// created, written in place, replaced by a rename, removed, or the folder itself moved away.
/// Built on one inotify watch on the folder, which (unlike QFileSystemWatcher on a folder)
/// also reports in-place rewrites of the files inside it.
class FolderWatcher : public QObject
{
    Q_OBJECT
public:
    explicit FolderWatcher(std::function<void()> onChange, QObject *parent = nullptr);
    ~FolderWatcher() override;

    /// Stops any running watch and starts one on `path`. False (and stopped) when the
    /// folder cannot be watched, e.g. because it does not exist.
    bool start(const QString &path);
    void stop();
    /// False once stopped, or when the watched folder itself was removed or moved away.
    bool isRunning() const { return m_fd >= 0 && m_watch >= 0; }

private:
    void readEvents();

    std::function<void()> m_onChange;
    int m_fd = -1;
    int m_watch = -1;
    QSocketNotifier *m_notifier = nullptr;
};
