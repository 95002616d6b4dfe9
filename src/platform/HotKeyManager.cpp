#include "platform/HotKeyManager.h"

#include <QPointer>

HotKeyManager::HotKeyManager(std::unique_ptr<HotKeyBackend> backend, QObject *parent)
    : QObject(parent)
    , m_backend(backend ? std::move(backend) : HotKeyBackend::create())
{
}

HotKeyManager::~HotKeyManager()
{
    if (m_registered)
        m_backend->unregisterKeys();
}

void HotKeyManager::apply(const std::optional<GlobalHotKey> &hotKey, std::function<void()> action)
{
    m_action = std::move(action);
    if (m_registered) {
        m_backend->unregisterKeys();
        m_registered.reset();
    }
    if (!hotKey)
        return;
    if (!m_handlerInstalled) {
        QPointer<HotKeyManager> self(this);
        m_backend->installHandler([self] {
            if (self)
                self->pressed();
        });
        m_handlerInstalled = true;
    }
    if (m_backend->registerKeys(*hotKey))
        m_registered = hotKey;
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
