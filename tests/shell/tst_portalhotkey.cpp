// The Wayland hot key against a scripted GlobalShortcuts portal on a private session bus
// (CTest runs this executable inside dbus-run-session).
#include "TestSupport.h"

#include "settings/SettingsTypes.h"
#include "platform/HotKeyManager.h"
#include "platform/linux/PortalHotKey.h"

#include <QGuiApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

Q_DECLARE_METATYPE(HotKeyCombo)

namespace {

const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString root = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsIface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

struct PortalCall
{
    QString member;
    QString path;
    QString signature;
    QVariantMap options;
    QString session;     // BindShortcuts: the session argument
    QList<PortalShortcut> shortcuts;
};

// The portal's side. It lives on its own connection and thread, so the client may block on it
// (the backend factory reads the "version" property synchronously).
class FakePortal : public QDBusVirtualObject
{
public:
    // Scripted answers.
    bool hasGlobalShortcuts = true;
    uint createCode = 0;
    bool createErrorReply = false;
    uint bindCode = 0;

    QList<PortalCall> calls()
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    QList<PortalCall> callsNamed(const QString &member)
    {
        QList<PortalCall> matching;
        for (const PortalCall &call : calls())
            if (call.member == member)
                matching << call;
        return matching;
    }
    // Close calls for the sessions of this test's CreateSession calls (a previous test's
    // manager may still be closing its own session).
    QList<PortalCall> closes()
    {
        QList<PortalCall> matching;
        const auto creates = callsNamed(QStringLiteral("CreateSession"));
        for (const PortalCall &call : callsNamed(QStringLiteral("Close")))
            for (const PortalCall &create : creates)
                if (call.path.endsWith(
                        '/' + create.options.value("session_handle_token").toString()))
                    matching << call;
        return matching;
    }
    void reset(QDBusConnection connection)
    {
        QMutexLocker lock(&m_mutex);
        m_calls.clear();
        m_connection = connection;
        hasGlobalShortcuts = true;
        createCode = 0;
        createErrorReply = false;
        bindCode = 0;
    }

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        PortalCall call { message.member(), message.path(), message.signature(), {}, {}, {} };
        const QVariantList args = message.arguments();
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));

        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")
            && message.member() == QLatin1String("Get")) {
            if (hasGlobalShortcuts && args.value(0).toString() == shortcutsIface)
                connection.send(message.createReply(QVariant::fromValue(QDBusVariant(1u))));
            else
                connection.send(message.createErrorReply(
                    QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"), "no such"));
            return true;
        }
        if (message.interface() == QLatin1String("org.freedesktop.portal.Session")
            && message.member() == QLatin1String("Close")) {
            record(call);
            connection.send(message.createReply());
            return true;
        }
        if (message.interface() != shortcutsIface)
            return false;

        if (message.member() == QLatin1String("CreateSession")) {
            call.options = qdbus_cast<QVariantMap>(args.value(0));
            record(call);
            if (createErrorReply) {
                connection.send(message.createErrorReply(
                    QStringLiteral("org.freedesktop.portal.Error.Failed"), "refused"));
                return true;
            }
            const QString request = root + "/request/" + sender + '/'
                + call.options.value("handle_token").toString();
            const QString session = root + "/session/" + sender + '/'
                + call.options.value("session_handle_token").toString();
            connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
            // The portal sends the session handle as a string.
            respond(connection, request, createCode,
                    createCode == 0 ? QVariantMap { { "session_handle", session } } : QVariantMap {});
            return true;
        }
        if (message.member() == QLatin1String("BindShortcuts")) {
            if (message.signature() == QLatin1String("oa(sa{sv})sa{sv}")) {
                call.session = args.value(0).value<QDBusObjectPath>().path();
                call.shortcuts = qdbus_cast<QList<PortalShortcut>>(args.value(1));
                call.options = qdbus_cast<QVariantMap>(args.value(3));
            }
            record(call);
            const QString request = root + "/request/" + sender + '/'
                + call.options.value("handle_token").toString();
            connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
            respond(connection, request, bindCode, {});
            return true;
        }
        return false;
    }

    void activate(const QString &session, const QString &id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(root, shortcutsIface, "Activated");
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(42)
               << QVariantMap {};
        QMutexLocker lock(&m_mutex);
        m_connection.send(signal);
    }

private:
    void record(const PortalCall &call)
    {
        QMutexLocker lock(&m_mutex);
        m_calls << call;
    }
    static void respond(const QDBusConnection &connection, const QString &request, uint code,
                        const QVariantMap &results)
    {
        QDBusMessage signal
            = QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
        signal << code << results;
        connection.send(signal);
    }

    QMutex m_mutex;
    QList<PortalCall> m_calls;
    QDBusConnection m_connection { QString() };
};

// Counts Activated signals as the client's connection sees them, to know they were dispatched.
class ActivatedProbe : public QObject
{
    Q_OBJECT
public:
    int seen = 0;
public slots:
    void onActivated(const QDBusMessage &)
    {
        ++seen;
    }
};

} // namespace

class PortalHotKeyTest : public QObject
{
    Q_OBJECT

    QThread m_thread;
    FakePortal *m_portal = nullptr;
    QDBusConnection m_portalBus { QString() };
    ActivatedProbe m_probe;

    // A manager on the portal backend; `backend` stays valid while the manager lives.
    std::unique_ptr<HotKeyManager> makeManager(XdgPortalHotKeyBackend *&backend)
    {
        auto owned = std::make_unique<XdgPortalHotKeyBackend>(QDBusConnection::sessionBus());
        backend = owned.get();
        return std::make_unique<HotKeyManager>(std::move(owned));
    }

    // Sends Activated signals and waits until the client has dispatched all of them.
    void activate(const QList<QPair<QString, QString>> &signals_)
    {
        const int before = m_probe.seen;
        for (const auto &[session, id] : signals_)
            m_portal->activate(session, id);
        QTRY_COMPARE(m_probe.seen, before + int(signals_.size()));
        QCoreApplication::processEvents(); // the manager runs its action queued
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("needs a session bus: run under dbus-run-session (CTest does)");
        m_portal = new FakePortal;
        m_portalBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-portal");
        QVERIFY(m_portalBus.isConnected());
        m_thread.start();
        m_portal->moveToThread(&m_thread);
        bool registered = false;
        QMetaObject::invokeMethod(
            m_portal,
            [&] {
                registered = m_portalBus.registerVirtualObject(root, m_portal,
                                                               QDBusConnection::SubPath);
            },
            Qt::BlockingQueuedConnection);
        QVERIFY(registered);
        QVERIFY(m_portalBus.registerService(service));
        QVERIFY(QDBusConnection::sessionBus().connect(
            service, root, shortcutsIface, "Activated", &m_probe,
            SLOT(onActivated(QDBusMessage))));
    }

    void cleanupTestCase()
    {
        if (!m_portal)
            return;
        m_portalBus.unregisterObject(root, QDBusConnection::UnregisterTree);
        m_thread.quit();
        m_thread.wait();
        delete m_portal;
        QDBusConnection::disconnectFromBus("fake-portal");
    }

    void init() { m_portal->reset(m_portalBus); }

    void bindsTrigger_data()
    {
        QTest::addColumn<HotKeyCombo>("combo");
        QTest::addColumn<QString>("trigger");
        QTest::newRow("Option-Space") << HotKeyCombo::OptionSpace << "ALT+space";
        QTest::newRow("Control-Space") << HotKeyCombo::ControlSpace << "CTRL+space";
        QTest::newRow("Command-Shift-Space")
            << HotKeyCombo::CommandShiftSpace << "CTRL+SHIFT+space";
        QTest::newRow("Control-Option-N") << HotKeyCombo::ControlOptionN << "CTRL+ALT+n";
    }

    void bindsTrigger()
    {
        QFETCH(HotKeyCombo, combo);
        QFETCH(QString, trigger);
        XdgPortalHotKeyBackend *backend = nullptr;
        auto manager = makeManager(backend);
        manager->apply(globalHotKey(combo), [] {});
        // Asked, not yet answered: nothing is shown as working before the portal says so.
        QCOMPARE(manager->status(), HotKeyManager::Status::Pending);
        QVERIFY(!manager->registered());
        QTRY_VERIFY(backend->isBound());
        QCOMPARE(manager->status(), HotKeyManager::Status::Active);
        QVERIFY(manager->registered() == globalHotKey(combo));

        const auto creates = m_portal->callsNamed("CreateSession");
        QCOMPARE(creates.size(), 1);
        QCOMPARE(creates[0].signature, QStringLiteral("a{sv}"));
        QVERIFY(!creates[0].options.value("handle_token").toString().isEmpty());
        const QString sessionToken = creates[0].options.value("session_handle_token").toString();
        QVERIFY(!sessionToken.isEmpty());

        const auto binds = m_portal->callsNamed("BindShortcuts");
        QCOMPARE(binds.size(), 1);
        QCOMPARE(binds[0].signature, QStringLiteral("oa(sa{sv})sa{sv}"));
        QVERIFY(binds[0].session.endsWith('/' + sessionToken));
        QCOMPARE(binds[0].session, backend->sessionHandle());
        QVERIFY(!binds[0].options.value("handle_token").toString().isEmpty());
        QCOMPARE(binds[0].shortcuts.size(), 1);
        QCOMPARE(binds[0].shortcuts[0].id, QStringLiteral("toggle-panel"));
        QCOMPARE(binds[0].shortcuts[0].properties.value("preferred_trigger").toString(), trigger);
        QCOMPARE(binds[0].shortcuts[0].properties.value("description").toString(),
                 hotKeyComboLabel(combo));
    }

    void activatedRunsActionOnce()
    {
        XdgPortalHotKeyBackend *backend = nullptr;
        auto manager = makeManager(backend);
        int presses = 0;
        manager->apply(globalHotKey(HotKeyCombo::OptionSpace), [&] { ++presses; });
        QTRY_VERIFY(backend->isBound());
        const QString session = backend->sessionHandle();

        activate({ { session, "other-shortcut" },
                   { root + "/session/someone/else", "toggle-panel" },
                   { session, "toggle-panel" } });
        QCOMPARE(presses, 1);
    }

    void switchingClosesTheOldSession()
    {
        XdgPortalHotKeyBackend *backend = nullptr;
        auto manager = makeManager(backend);
        int presses = 0;
        manager->apply(globalHotKey(HotKeyCombo::OptionSpace), [&] { ++presses; });
        QTRY_VERIFY(backend->isBound());
        const QString first = backend->sessionHandle();

        manager->apply(globalHotKey(HotKeyCombo::ControlOptionN), [&] { ++presses; });
        QVERIFY(!manager->registered());
        QTRY_VERIFY(backend->isBound());
        QCOMPARE(manager->status(), HotKeyManager::Status::Active);
        QVERIFY(manager->registered() == globalHotKey(HotKeyCombo::ControlOptionN));
        const QString second = backend->sessionHandle();
        QVERIFY(second != first);
        QTRY_COMPARE(m_portal->closes().size(), 1);
        QCOMPARE(m_portal->closes()[0].path, first);
        QCOMPARE(m_portal->callsNamed("BindShortcuts")
                     .last()
                     .shortcuts.value(0)
                     .properties.value("preferred_trigger")
                     .toString(),
                 QStringLiteral("CTRL+ALT+n"));

        activate({ { first, "toggle-panel" } });
        QCOMPARE(presses, 0);
        activate({ { second, "toggle-panel" } });
        QCOMPARE(presses, 1);

        manager->apply(std::nullopt, {});
        QVERIFY(!backend->isBound());
        QCOMPARE(manager->status(), HotKeyManager::Status::Off);
        QTRY_COMPARE(m_portal->closes().size(), 2);
        QCOMPARE(m_portal->closes()[1].path, second);
        activate({ { second, "toggle-panel" } });
        QCOMPARE(presses, 1);
    }

    void sessionCreatedAfterSwitchingOffIsClosed()
    {
        XdgPortalHotKeyBackend *backend = nullptr;
        auto manager = makeManager(backend);
        int presses = 0;
        manager->apply(globalHotKey(HotKeyCombo::OptionSpace), [&] { ++presses; });
        manager->apply(std::nullopt, {}); // before the portal has answered
        QTRY_COMPARE(m_portal->closes().size(), 1);
        QVERIFY(m_portal->callsNamed("BindShortcuts").isEmpty());
        QVERIFY(!backend->isBound());
        QVERIFY(backend->sessionHandle().isEmpty());
        const QString token
            = m_portal->callsNamed("CreateSession")[0].options.value("session_handle_token").toString();
        QVERIFY(m_portal->closes()[0].path.endsWith('/' + token));
        activate({ { m_portal->closes()[0].path, "toggle-panel" } });
        QCOMPARE(presses, 0);
    }

    void refusalLeavesNothingBound_data()
    {
        QTest::addColumn<uint>("createCode");
        QTest::addColumn<bool>("createError");
        QTest::addColumn<uint>("bindCode");
        QTest::addColumn<int>("binds");
        QTest::addColumn<int>("closes");
        QTest::newRow("session denied") << 1u << false << 0u << 0 << 0;
        QTest::newRow("session cancelled") << 2u << false << 0u << 0 << 0;
        QTest::newRow("session error reply") << 0u << true << 0u << 0 << 0;
        QTest::newRow("shortcut denied") << 0u << false << 1u << 1 << 1;
    }

    void refusalLeavesNothingBound()
    {
        QFETCH(uint, createCode);
        QFETCH(bool, createError);
        QFETCH(uint, bindCode);
        QFETCH(int, binds);
        QFETCH(int, closes);
        m_portal->createCode = createCode;
        m_portal->createErrorReply = createError;
        m_portal->bindCode = bindCode;

        XdgPortalHotKeyBackend *backend = nullptr;
        auto manager = makeManager(backend);
        QSignalSpy finished(backend, &XdgPortalHotKeyBackend::bindingFinished);
        int presses = 0;
        manager->apply(globalHotKey(HotKeyCombo::OptionSpace), [&] { ++presses; });
        QSignalSpy statusChanges(manager.get(), &HotKeyManager::statusChanged);
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toBool(), false);
        QVERIFY(!backend->isBound());
        // A refusal is what the user hears of: taken, and nothing shown as registered.
        QCOMPARE(manager->status(), HotKeyManager::Status::Taken);
        QCOMPARE(statusChanges.size(), 1);
        QVERIFY(!manager->registered());
        QVERIFY(backend->sessionHandle().isEmpty());
        QCOMPARE(m_portal->callsNamed("BindShortcuts").size(), binds);
        QTRY_COMPARE(m_portal->closes().size(), closes);
        if (binds)
            activate({ { m_portal->callsNamed("BindShortcuts")[0].session, "toggle-panel" } });
        QCOMPARE(presses, 0);

        // The next choice asks again.
        m_portal->reset(m_portalBus);
        manager->apply(globalHotKey(HotKeyCombo::ControlSpace), [&] { ++presses; });
        QTRY_VERIFY(backend->isBound());
        QCOMPARE(manager->status(), HotKeyManager::Status::Active);
        QVERIFY(manager->registered() == globalHotKey(HotKeyCombo::ControlSpace));
        activate({ { backend->sessionHandle(), "toggle-panel" } });
        QCOMPARE(presses, 1);
    }

    void factoryPicksThePortal_data()
    {
        QTest::addColumn<bool>("hasGlobalShortcuts");
        QTest::newRow("portal with GlobalShortcuts") << true;
        QTest::newRow("portal without GlobalShortcuts") << false;
    }

    void factoryPicksThePortal()
    {
        QFETCH(bool, hasGlobalShortcuts);
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
        m_portal->hasGlobalShortcuts = hasGlobalShortcuts;
        QCOMPARE(xdgPortalGlobalShortcutsAvailable(QDBusConnection::sessionBus()),
                 hasGlobalShortcuts);

        HotKeyManager manager; // the factory's choice
        manager.apply(globalHotKey(HotKeyCombo::OptionSpace), [] {});
        if (hasGlobalShortcuts) {
            QTRY_VERIFY(manager.registered() == globalHotKey(HotKeyCombo::OptionSpace));
            QCOMPARE(manager.status(), HotKeyManager::Status::Active);
            QCOMPARE(m_portal->callsNamed("BindShortcuts").size(), 1);
        } else {
            // Neither X11 nor the portal: the user is told to bind a desktop shortcut.
            QCOMPARE(manager.status(), HotKeyManager::Status::Unsupported);
            QVERIFY(!manager.registered());
            QVERIFY(m_portal->callsNamed("CreateSession").isEmpty());
        }
        manager.apply(std::nullopt, {});
        QVERIFY(!manager.registered());
    }

    void noPortalOnTheBus()
    {
        // A bus without the service: the probe says no without blocking on activation.
        QVERIFY(m_portalBus.unregisterService(service));
        const bool available = xdgPortalGlobalShortcutsAvailable(QDBusConnection::sessionBus());
        QVERIFY(m_portalBus.registerService(service));
        QVERIFY(!available);
    }
};

QTEST_MAIN(PortalHotKeyTest)
#include "tst_portalhotkey.moc"
