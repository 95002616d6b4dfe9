// One contract for every Keychain: the in-memory fake and the desktop's Secret Service (the
// latter only where one is on the session bus; CTest runs it inside with-keyring.sh).
#include "TestSupport.h"
#include "MemoryKeychain.h"

#include "platform/Keychain.h"
#include "platform/linux/SecretServiceKeychain.h"

#include <QCoroTask>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTest>
#include <QUuid>

namespace {

bool secretServiceOnBus()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()
        && bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value();
}

KeychainResult run(QCoro::Task<KeychainResult> task)
{
    return QCoro::waitFor(std::move(task));
}

} // namespace

class TestKeychain : public QObject
{
    Q_OBJECT

    std::unique_ptr<Keychain> m_keychain;
    QString m_service;

    void addBackends()
    {
        QTest::addColumn<QString>("backend");
        QTest::newRow("memory") << QStringLiteral("memory");
        QTest::newRow("secret service") << QStringLiteral("secret service");
    }

    // Picks the backend of the current row; false (and a skip) when it cannot run here.
    bool useBackend()
    {
        QFETCH(QString, backend);
        if (backend == u"memory") {
            m_keychain = std::make_unique<MemoryKeychain>();
            return true;
        }
        if (!secretServiceOnBus())
            return false;
        m_keychain = Keychain::create();
        return true;
    }

#define USE_BACKEND()                                                                              \
    if (!useBackend())                                                                             \
        QSKIP("no Secret Service on the session bus (run through with-keyring.sh)");

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
    }

    void init()
    {
        // A service of its own per test: a real keyring keeps entries between runs.
        m_service = QStringLiteral("app.scrivelbar.test.")
            + QUuid::createUuid().toString(QUuid::WithoutBraces);
    }

    void cleanup()
    {
        if (m_keychain) {
            run(m_keychain->remove(m_service, QStringLiteral("session-token")));
            run(m_keychain->remove(m_service, QStringLiteral("other")));
        }
        m_keychain.reset();
    }

    void savedSecretReadsBack_data()
    {
        addBackends();
    }
    void savedSecretReadsBack()
    {
        USE_BACKEND();
        const QString account = QStringLiteral("session-token");
        QCOMPARE(run(m_keychain->read(m_service, account)).secret, std::nullopt);
        QVERIFY(run(m_keychain->read(m_service, account)).ok());
        QVERIFY(run(m_keychain->save(QStringLiteral("tök-1"), m_service, account)).ok());
        QCOMPARE(run(m_keychain->read(m_service, account)).secret, QStringLiteral("tök-1"));
        // Saving again replaces the entry.
        QVERIFY(run(m_keychain->save(QStringLiteral("tok-2"), m_service, account)).ok());
        QCOMPARE(run(m_keychain->read(m_service, account)).secret, QStringLiteral("tok-2"));
    }

    void entriesAreKeptApart_data()
    {
        addBackends();
    }
    void entriesAreKeptApart()
    {
        USE_BACKEND();
        QVERIFY(
            run(m_keychain->save(QStringLiteral("a"), m_service, QStringLiteral("session-token")))
                .ok());
        QVERIFY(
            run(m_keychain->save(QStringLiteral("b"), m_service, QStringLiteral("other"))).ok());
        QCOMPARE(run(m_keychain->read(m_service, QStringLiteral("session-token"))).secret,
                 QStringLiteral("a"));
        QCOMPARE(run(m_keychain->read(m_service + QStringLiteral(".dev"),
                                      QStringLiteral("session-token")))
                     .secret,
                 std::nullopt);
        QVERIFY(run(m_keychain->remove(m_service, QStringLiteral("other"))).ok());
        QCOMPARE(run(m_keychain->read(m_service, QStringLiteral("session-token"))).secret,
                 QStringLiteral("a"));
    }

    void emptySecretReadsAsNothing_data()
    {
        addBackends();
    }
    void emptySecretReadsAsNothing()
    {
        USE_BACKEND();
        run(m_keychain->save(QString(), m_service, QStringLiteral("session-token")));
        const auto read = run(m_keychain->read(m_service, QStringLiteral("session-token")));
        QVERIFY(read.ok());
        QCOMPARE(read.secret, std::nullopt);
    }

    void removeEndsTheEntry_data()
    {
        addBackends();
    }
    void removeEndsTheEntry()
    {
        USE_BACKEND();
        const QString account = QStringLiteral("session-token");
        QVERIFY(run(m_keychain->save(QStringLiteral("x"), m_service, account)).ok());
        QVERIFY(run(m_keychain->remove(m_service, account)).ok());
        QCOMPARE(run(m_keychain->read(m_service, account)).secret, std::nullopt);
        // A missing entry is no error.
        QVERIFY(run(m_keychain->remove(m_service, account)).ok());
    }

    void unreachableKeychainIsAnError()
    {
        // No session bus at all: every operation reports it, none crashes or hangs.
        if (secretServiceOnBus())
            QSKIP("a keychain is reachable here");
        SecretServiceKeychain keychain(std::chrono::seconds(10));
        const auto read = run(keychain.read(m_service, QStringLiteral("session-token")));
        QVERIFY(!read.ok());
        QVERIFY(!read.secret);
        QVERIFY(!run(keychain.save(QStringLiteral("x"), m_service, QStringLiteral("session-token")))
                     .ok());
    }
};

QTEST_MAIN(TestKeychain)
#include "tst_keychain.moc"
