#pragma once

#include "ServerConfig.h"
#include "SyncServer.h"

#include "MemoryKeychain.h"
#include "TestSupport.h"

#include "platform/Keychain.h"
#include "settings/AppSettings.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"

#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

#include <memory>

/// Real components for the server's tests: a PostgreSQL started in a temporary folder, the
/// real server on 127.0.0.1, and devices made of the app's own store and sync engine.
namespace ServerFixture {

/// One PostgreSQL server for the whole test process, started on first use with initdb and
/// pg_ctl in a temporary folder (as the "postgres" user when the tests run as root) and
/// stopped at exit. `available()` is false, with `reason()`, when that cannot work here.
class Postgres
{
public:
    static Postgres &shared();
    ~Postgres();
    bool available() const { return m_ok; }
    QString reason() const { return m_reason; }
    /// A new, empty database's connection address.
    QString newDatabase();

private:
    Postgres();
    bool run(const QString &program, const QStringList &arguments, QString *output = nullptr);
    bool m_ok = false;
    QString m_reason;
    QString m_bin;
    QString m_dir;
    std::unique_ptr<QTemporaryDir> m_temporary;
    quint16 m_port = 0;
    bool m_asPostgresUser = false;
    int m_databases = 0;
};

/// An ID token as a token endpoint hands it out, with these claims (the signature is not
/// checked: the token comes straight from the endpoint over TLS).
QByteArray idToken(const QJsonObject &claims);

/// The configuration of a test server: port 0, a few workers, the given engine.
ServerConfig config(const QString &engine, const QString &dataDir);

/// A running server with its data folder.
struct Running
{
    std::unique_ptr<QTemporaryDir> data;
    std::unique_ptr<SyncServer> server;
    QString url;
};

/// Starts the server for `engine` ("sqlite" or "postgresql"); null with `why` set when it
/// cannot start (PostgreSQL missing here).
std::unique_ptr<Running> start(const QString &engine, QString *why,
                               const std::function<void(ServerConfig &)> &adjust = {});

/// An account and a session token for it.
struct Session
{
    QString accountId;
    QString email;
    QString token;
};
Session newAccount(Storage &storage, const QString &email = {});

/// One device: the app's own note store and sync engine on temporary folders, signed in with
/// `token` to `url`.
class Device
{
public:
    Device(const QString &url, const QString &token, const QString &email = QStringLiteral("me@example.com"),
           const std::function<void(SyncEngine::Options &)> &adjust = {});
    ~Device();
    NoteStore &store() { return *m_store; }
    SyncEngine &engine() { return *m_engine; }
    /// Runs one sync to its end; false when it did not end in time.
    bool sync();
    /// Waits for a coroutine of the engine.
    template<typename T> T await(QCoro::Task<T> task);
    QString notesFolder() const { return m_folders.notes(); }
    QString storedToken() const
    {
        return m_keychain.value(Keychain::syncService(), Keychain::sessionTokenAccount()).value_or(QString());
    }

private:
    TestSupport::TempFolders m_folders;
    std::unique_ptr<NoteStore> m_store;
    std::unique_ptr<AppSettings> m_settings;
    MemoryKeychain m_keychain;
    std::unique_ptr<SyncEngine> m_engine;
};

} // namespace ServerFixture

#include <QEventLoop>
#include <QTimer>

template<typename T> T ServerFixture::Device::await(QCoro::Task<T> task)
{
    std::optional<T> value;
    QEventLoop loop;
    QCoro::connect(std::move(task), &loop, [&](T answer) {
        value = std::move(answer);
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    if (!value)
        loop.exec();
    return std::move(*value);
}
