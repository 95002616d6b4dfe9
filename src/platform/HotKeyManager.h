#pragma once

#include "platform/HotKeyBackend.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

/// The global hot key. At most one combination is registered at any time; `apply` replaces
/// it (unregistering the old one first). `status` says whether the hot key works, so that a
/// refused combination is never shown as the working shortcut.
class HotKeyManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
public:
    /// Off: no combination chosen. Active: the desktop delivers its presses. Taken: the
    /// desktop refused it (another program holds it, or the portal declined). Pending: the
    /// desktop has not answered yet. Unsupported: this desktop has no facility for it.
    enum class Status { Off, Active, Taken, Pending, Unsupported };
    Q_ENUM(Status)

    /// `backend` null → the desktop's facility.
    explicit HotKeyManager(std::unique_ptr<HotKeyBackend> backend = nullptr,
                           QObject *parent = nullptr);
    ~HotKeyManager() override;

    /// Makes `hotKey` the hot key with `action` to run on a press; nothing removes the hot key.
    void apply(const std::optional<GlobalHotKey> &hotKey, std::function<void()> action);
    /// Tries `candidates` in order and keeps the first one the desktop grants at once; the
    /// index of that one, or nothing (the last refusal stays in `status`). When a later
    /// candidate wins, `replacedHotKey` names the first one until the next `apply`.
    std::optional<qsizetype> applyFirstFree(const QList<GlobalHotKey> &candidates,
                                            std::function<void()> action);
    /// The combination currently registered with the desktop and confirmed by it, if any.
    std::optional<GlobalHotKey> registered() const { return m_registered; }
    /// The combination last asked for (registered or not); nothing when off.
    std::optional<GlobalHotKey> requested() const { return m_requested; }
    /// The preferred combination `applyFirstFree` passed over because it was taken.
    std::optional<GlobalHotKey> replacedHotKey() const { return m_replaced; }
    Status status() const { return m_status; }
    bool handlerInstalled() const { return m_handlerInstalled; }

signals:
    void statusChanged(HotKeyManager::Status status);

private:
    void pressed();
    bool holdsRegistration() const;
    void registerNow(const GlobalHotKey &hotKey);
    void outcome(bool bound);
    void setStatus(Status status);

    std::unique_ptr<HotKeyBackend> m_backend;
    std::function<void()> m_action;
    std::optional<GlobalHotKey> m_requested;
    std::optional<GlobalHotKey> m_registered;
    std::optional<GlobalHotKey> m_replaced;
    Status m_status = Status::Off;
    bool m_handlerInstalled = false;
};
