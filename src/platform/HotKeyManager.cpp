#include "platform/HotKeyManager.h"

#include <QPointer>

HotKeyManager::HotKeyManager(std::unique_ptr<HotKeyBackend> backend, QObject *parent)
    : QObject(parent)
    , m_backend(backend ? std::move(backend) : HotKeyBackend::create())
{
    QPointer<HotKeyManager> self(this);
    m_backend->installOutcomeHandler([self](bool bound) {
        if (self)
            self->outcome(bound);
    });
}

HotKeyManager::~HotKeyManager()
{
    if (holdsRegistration())
        m_backend->unregisterKeys();
}

void HotKeyManager::apply(const std::optional<GlobalHotKey> &hotKey, std::function<void()> action)
{
    m_action = std::move(action);
    m_replaced.reset();
    if (holdsRegistration())
        m_backend->unregisterKeys();
    m_requested.reset();
    m_registered.reset();
    if (!hotKey) {
        setStatus(Status::Off);
        return;
    }
    registerNow(*hotKey);
}

std::optional<qsizetype> HotKeyManager::applyFirstFree(const QList<GlobalHotKey> &candidates,
                                                       std::function<void()> action)
{
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        apply(candidates.at(i), action);
        // Only a refusal known now can be worked around; an answer that comes later (the
        // portal) lets the desktop ask the user instead.
        if (m_status == Status::Taken)
            continue;
        if (m_status == Status::Unsupported)
            return std::nullopt;
        if (i > 0)
            m_replaced = candidates.first();
        return i;
    }
    return std::nullopt;
}

bool HotKeyManager::holdsRegistration() const
{
    // A refused combination left nothing with the desktop; one still being asked for did.
    return m_registered || m_status == Status::Pending;
}

void HotKeyManager::registerNow(const GlobalHotKey &hotKey)
{
    m_requested = hotKey;
    if (!m_backend->available()) {
        setStatus(Status::Unsupported);
        return;
    }
    if (!m_handlerInstalled) {
        QPointer<HotKeyManager> self(this);
        m_backend->installHandler([self] {
            if (self)
                self->pressed();
        });
        m_handlerInstalled = true;
    }
    if (!m_backend->registerKeys(hotKey)) {
        setStatus(Status::Taken);
        return;
    }
    if (m_backend->confirmsLater()) {
        setStatus(Status::Pending);
        return;
    }
    m_registered = hotKey;
    setStatus(Status::Active);
}

void HotKeyManager::outcome(bool bound)
{
    // Answers with nothing asked for (off, or a backend answering late) change nothing.
    if (!m_requested || m_status == Status::Off || m_status == Status::Unsupported)
        return;
    if (bound) {
        m_registered = m_requested;
        setStatus(Status::Active);
    } else {
        m_registered.reset();
        setStatus(Status::Taken);
    }
}

void HotKeyManager::setStatus(Status status)
{
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged(status);
}

void HotKeyManager::pressed()
{
    // Run the action from the event loop, never from inside the native event dispatch.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_action)
                m_action();
        },
        Qt::QueuedConnection);
}
