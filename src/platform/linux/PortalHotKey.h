#pragma once

#include "platform/HotKeyBackend.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QDBusMessage;

/// One entry of the portal's shortcut list, D-Bus type `(sa{sv})`: an id and its properties
/// ("description", "preferred_trigger").
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};
QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut);
const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut);
Q_DECLARE_METATYPE(PortalShortcut)

/// The shortcut id the panel toggle is bound under.
inline constexpr auto portalToggleShortcutId = "toggle-panel";

/// A combination in the portal's trigger syntax ("ALT+space", "CTRL+ALT+n", …); empty for a
/// key other than Space or a letter.
QString portalTrigger(QKeyCombination keys);

/// True when `bus` has org.freedesktop.portal.Desktop (running or activatable) and its
/// GlobalShortcuts "version" property can be read. Blocks for at most `timeoutMs`.
bool xdgPortalGlobalShortcutsAvailable(const QDBusConnection &bus, int timeoutMs = 2000);

/// The Wayland global hot key: the XDG Desktop Portal GlobalShortcuts interface. Registering
/// starts an asynchronous CreateSession → BindShortcuts exchange; `registerKeys` therefore
/// only says whether the exchange could start, and `isBound` says whether the portal has
/// accepted the shortcut. The answer, binding or refusal, goes to the outcome handler and
/// `bindingFinished`; a refusal leaves nothing bound.
class XdgPortalHotKeyBackend : public QObject, public HotKeyBackend
{
    Q_OBJECT
public:
    explicit XdgPortalHotKeyBackend(QDBusConnection bus = QDBusConnection::sessionBus(),
                                    QObject *parent = nullptr);
    ~XdgPortalHotKeyBackend() override;

    void installHandler(std::function<void()> pressed) override;
    bool registerKeys(const GlobalHotKey &hotKey) override;
    void unregisterKeys() override;
    bool confirmsLater() const override { return true; }
    void installOutcomeHandler(std::function<void(bool bound)> outcome) override;

    /// True once the portal has answered BindShortcuts with success for the current combination.
    bool isBound() const { return m_bound; }
    /// The portal session of the current combination (empty before CreateSession answers).
    QString sessionHandle() const { return m_sessionHandle; }

signals:
    /// The portal accepted (true) or refused (false) the current combination.
    void bindingFinished(bool bound);

private slots:
    void onResponse(uint code, const QVariantMap &results, const QDBusMessage &message);
    void onActivated(const QDBusMessage &message);

private:
    enum class Step { CreateSession, BindShortcuts };
    struct PendingRequest
    {
        Step step;
        quint64 generation;
    };

    void createSession();
    /// Sends a portal call that answers with a request object, and follows that request.
    void sendRequest(const QDBusMessage &call, const QString &expected);
    void bindShortcuts();
    QString newToken();
    QString expectedRequestPath(const QString &token) const;
    void watchRequest(const QString &path, Step step);
    void forgetRequest(const QString &path);
    void adoptRequestPath(const QString &expected, const QString &actual);
    void closeSession(const QString &handle);
    void fail(const QString &why);
    void finish(bool bound);

    QDBusConnection m_bus;
    std::function<void()> m_pressed;
    std::function<void(bool)> m_outcome;
    GlobalHotKey m_hotKey;
    // Every register/unregister starts a new generation; answers to older ones are stale.
    quint64 m_generation = 0;
    quint64 m_tokenCounter = 0;
    QHash<QString, PendingRequest> m_requests;
    QString m_sessionHandle;
    bool m_bound = false;
};

/// The portal backend on the session bus.
std::unique_ptr<HotKeyBackend> makeXdgPortalHotKeyBackend();
