#include "store/FolderWatcher.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

FolderWatcher::FolderWatcher(std::function<void()> onChange, QObject *parent)
    : QObject(parent)
    , m_onChange(std::move(onChange))
{
}

FolderWatcher::~FolderWatcher()
{
    stop();
}

bool FolderWatcher::start(const QString &path)
{
    stop();
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return false;
    const uint32_t mask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM
        | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    m_watch = ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(), mask);
    if (m_watch < 0) {
        stop();
        return false;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
    return true;
}

void FolderWatcher::stop()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0)
        ::close(m_fd); // closing the descriptor removes its watches
    m_fd = -1;
    m_watch = -1;
}

void FolderWatcher::readEvents()
{
    // The details do not matter: the store rescans the whole folder after a pause.
    alignas(inotify_event) char buffer[16 * 1024];
    bool any = false;
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length > 0) {
            any = true;
            for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                if (event->mask & IN_IGNORED)
                    m_watch = -1; // the folder itself went away; the watch is gone with it
                offset += ssize_t(sizeof(inotify_event)) + event->len;
            }
            continue;
        }
        if (length < 0 && errno == EINTR)
            continue;
        break;
    }
    if (any && m_onChange)
        m_onChange();
}
