#pragma once

#include "platform/HotKeyBackend.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

/// The global hot key. At most one combination is registered at any time; `apply` replaces
/// it (unregistering the old one first). A refused registration is not reported: the hot key
/// simply does not fire.
class HotKeyManager : public QObject
{
    Q_OBJECT
public:
    /// `backend` null → the desktop's facility.
    explicit HotKeyManager(std::unique_ptr<HotKeyBackend> backend = nullptr,
                           QObject *parent = nullptr);
    ~HotKeyManager() override;

    /// Makes `hotKey` the hot key with `action` to run on a press; nothing removes the hot key.
    void apply(const std::optional<GlobalHotKey> &hotKey, std::function<void()> action);
    /// The combination currently registered with the desktop, if any.
    std::optional<GlobalHotKey> registered() const { return m_registered; }
    bool handlerInstalled() const { return m_handlerInstalled; }

private:
    void pressed();

    std::unique_ptr<HotKeyBackend> m_backend;
    std::function<void()> m_action;
    std::optional<GlobalHotKey> m_registered;
    bool m_handlerInstalled = false;
};
