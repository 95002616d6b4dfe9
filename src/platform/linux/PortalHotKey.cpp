#include "platform/linux/PortalHotKey.h"


#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <QRandomGenerator>

namespace {

// The same category as the X11 grab, so one filter rule covers the hot key on every desktop.
Q_LOGGING_CATEGORY(lcPortalHotKey, "app.scrivelbar.app.hotkey")

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

void registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        return true;
    }();
    Q_UNUSED(registered);
}

// The portal answers with an object path or, in older versions, a string.
QString pathText(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    if (value.metaType() == QMetaType::fromType<QString>())
        return value.toString();
    return {};
}

bool validObjectPath(const QString &path)
{
    return !path.isEmpty() && QDBusObjectPath(path).path() == path;
}

} // namespace

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

QString portalTrigger(QKeyCombination keys)
{
    QString key;
    const Qt::Key qtKey = keys.key();
    if (qtKey == Qt::Key_Space)
        key = QStringLiteral("space");
    else if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        key = QChar(u'a' + (qtKey - Qt::Key_A));
    else
        return {};
    const Qt::KeyboardModifiers modifiers = keys.keyboardModifiers();
    QStringList parts;
    if (modifiers & Qt::ControlModifier)
        parts << QStringLiteral("CTRL");
    if (modifiers & Qt::ShiftModifier)
        parts << QStringLiteral("SHIFT");
    if (modifiers & Qt::AltModifier)
        parts << QStringLiteral("ALT");
    if (modifiers & Qt::MetaModifier)
        parts << QStringLiteral("LOGO");
    parts << key;
    return parts.join(QLatin1Char('+'));
}

bool xdgPortalGlobalShortcutsAvailable(const QDBusConnection &bus, int timeoutMs)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    QDBusConnectionInterface *daemon = bus.interface();
    bool present = daemon->isServiceRegistered(portalService).value();
    if (!present) {
        const QDBusReply<QStringList> activatable = daemon->call(
            QStringLiteral("ListActivatableNames"));
        present = activatable.isValid() && activatable.value().contains(portalService);
    }
    if (!present)
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << shortcutsInterface << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCInfo(lcPortalHotKey) << "portal has no GlobalShortcuts:" << reply.errorMessage();
        return false;
    }
    return true;
}

XdgPortalHotKeyBackend::XdgPortalHotKeyBackend(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    registerTypes();
    if (m_bus.isConnected())
        m_bus.connect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"),
                      this, SLOT(onActivated(QDBusMessage)));
}

XdgPortalHotKeyBackend::~XdgPortalHotKeyBackend()
{
    XdgPortalHotKeyBackend::unregisterKeys();
    const auto paths = m_requests.keys();
    for (const QString &path : paths)
        forgetRequest(path);
}

void XdgPortalHotKeyBackend::installHandler(std::function<void()> pressed)
{
    m_pressed = std::move(pressed);
}

void XdgPortalHotKeyBackend::installOutcomeHandler(std::function<void(bool bound)> outcome)
{
    m_outcome = std::move(outcome);
}

bool XdgPortalHotKeyBackend::registerKeys(const GlobalHotKey &hotKey)
{
    unregisterKeys();
    if (portalTrigger(hotKey.keys).isEmpty() || !m_bus.isConnected())
        return false;
    m_hotKey = hotKey;
    createSession();
    return true;
}

void XdgPortalHotKeyBackend::unregisterKeys()
{
    // Requests still in flight stay watched: a session they create later is closed on arrival.
    ++m_generation;
    m_hotKey = {};
    m_bound = false;
    closeSession(m_sessionHandle);
    m_sessionHandle.clear();
}

void XdgPortalHotKeyBackend::createSession()
{
    const QString token = newToken();
    const QString expected = expectedRequestPath(token);
    // Subscribe before calling: the portal may send Response before our call returns.
    watchRequest(expected, Step::CreateSession);
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath,
                                                       shortcutsInterface,
                                                       QStringLiteral("CreateSession"));
    call << QVariantMap { { QStringLiteral("handle_token"), token },
                          { QStringLiteral("session_handle_token"), newToken() } };
    sendRequest(call, expected);
}

void XdgPortalHotKeyBackend::sendRequest(const QDBusMessage &call, const QString &expected)
{
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, expected, method = call.member()](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *w;
                if (reply.isError()) {
                    const bool current = m_requests.value(expected).generation == m_generation;
                    forgetRequest(expected);
                    if (current)
                        fail(method + QStringLiteral(" failed: ") + reply.error().message());
                    return;
                }
                adoptRequestPath(expected, reply.value().path());
            });
}

void XdgPortalHotKeyBackend::bindShortcuts()
{
    const QString token = newToken();
    const QString expected = expectedRequestPath(token);
    watchRequest(expected, Step::BindShortcuts);
    const PortalShortcut shortcut {
        QString::fromLatin1(portalToggleShortcutId),
        { { QStringLiteral("description"), m_hotKey.label },
          { QStringLiteral("preferred_trigger"), portalTrigger(m_hotKey.keys) } }
    };
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath,
                                                       shortcutsInterface,
                                                       QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(m_sessionHandle))
         << QVariant::fromValue(QList<PortalShortcut> { shortcut }) << QString()
         << QVariantMap { { QStringLiteral("handle_token"), token } };
    sendRequest(call, expected);
}

void XdgPortalHotKeyBackend::onResponse(uint code, const QVariantMap &results,
                                        const QDBusMessage &message)
{
    const QString path = message.path();
    const auto it = m_requests.constFind(path);
    if (it == m_requests.cend())
        return;
    const PendingRequest request = *it;
    forgetRequest(path);
    const bool current = request.generation == m_generation;

    if (request.step == Step::CreateSession) {
        const QString session = pathText(results.value(QStringLiteral("session_handle")));
        if (code != 0 || !validObjectPath(session)) {
            if (current)
                fail(QStringLiteral("CreateSession answered %1").arg(code));
            return;
        }
        if (!current) {
            // The combination changed while the portal was creating this session.
            closeSession(session);
            return;
        }
        m_sessionHandle = session;
        bindShortcuts();
        return;
    }

    if (!current)
        return; // its session was closed when the generation moved on
    if (code != 0) {
        fail(QStringLiteral("BindShortcuts answered %1").arg(code));
        return;
    }
    m_bound = true;
    qCInfo(lcPortalHotKey) << "hot key" << portalTrigger(m_hotKey.keys) << "bound through the portal";
    finish(true);
}

void XdgPortalHotKeyBackend::onActivated(const QDBusMessage &message)
{
    // Activated(o session_handle, s shortcut_id, t timestamp, a{sv} options); the arguments are
    // checked here rather than by signature so that a portal sending the session as a string
    // still works and anything else is ignored.
    const QVariantList args = message.arguments();
    if (!m_bound || args.size() < 2)
        return;
    if (pathText(args.at(0)) != m_sessionHandle
        || args.at(1).metaType() != QMetaType::fromType<QString>()
        || args.at(1).toString() != QLatin1String(portalToggleShortcutId))
        return;
    if (m_pressed)
        m_pressed();
}

QString XdgPortalHotKeyBackend::newToken()
{
    return QStringLiteral("scrivelbar_%1_%2")
        .arg(++m_tokenCounter)
        .arg(QRandomGenerator::global()->generate());
}

QString XdgPortalHotKeyBackend::expectedRequestPath(const QString &token) const
{
    QString sender = m_bus.baseService();
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return portalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

void XdgPortalHotKeyBackend::watchRequest(const QString &path, Step step)
{
    if (m_requests.contains(path))
        return;
    m_requests.insert(path, { step, m_generation });
    m_bus.connect(portalService, path, requestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(uint,QVariantMap,QDBusMessage)));
}

void XdgPortalHotKeyBackend::forgetRequest(const QString &path)
{
    if (!m_requests.remove(path))
        return;
    m_bus.disconnect(portalService, path, requestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint,QVariantMap,QDBusMessage)));
}

void XdgPortalHotKeyBackend::adoptRequestPath(const QString &expected, const QString &actual)
{
    // Old portals ignore handle_token and pick their own request path.
    if (actual == expected || !m_requests.contains(expected) || !validObjectPath(actual))
        return;
    const PendingRequest request = m_requests.value(expected);
    forgetRequest(expected);
    m_requests.insert(actual, request);
    m_bus.connect(portalService, actual, requestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(uint,QVariantMap,QDBusMessage)));
}

void XdgPortalHotKeyBackend::closeSession(const QString &handle)
{
    if (!validObjectPath(handle) || !m_bus.isConnected())
        return;
    m_bus.asyncCall(QDBusMessage::createMethodCall(portalService, handle, sessionInterface,
                                                   QStringLiteral("Close")));
}

void XdgPortalHotKeyBackend::fail(const QString &why)
{
    // The user hears of it through the outcome: the hot-key manager reports it as taken.
    qCInfo(lcPortalHotKey).noquote() << "portal hot key" << portalTrigger(m_hotKey.keys)
                                     << "not bound:" << why;
    m_bound = false;
    closeSession(m_sessionHandle);
    m_sessionHandle.clear();
    finish(false);
}

void XdgPortalHotKeyBackend::finish(bool bound)
{
    if (m_outcome)
        m_outcome(bound);
    emit bindingFinished(bound);
}

std::unique_ptr<HotKeyBackend> makeXdgPortalHotKeyBackend()
{
    return std::make_unique<XdgPortalHotKeyBackend>();
}
