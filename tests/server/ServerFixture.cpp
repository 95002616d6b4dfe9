#include "ServerFixture.h"

#include "MemoryLoginItem.h"

#include "platform/Keychain.h"

#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QUuid>

#include <pwd.h>
#include <unistd.h>

namespace ServerFixture {

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString findPostgresBin()
{
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    std::sort(versions.begin(), versions.end(),
              [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &version : versions) {
        const QString bin = root.filePath(version + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return {};
}

} // namespace

Postgres &Postgres::shared()
{
    static Postgres instance;
    return instance;
}

bool Postgres::run(const QString &program, const QStringList &arguments, QString *output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(m_dir);
    if (m_asPostgresUser)
        process.start(QStringLiteral("runuser"), QStringList { QStringLiteral("-u"), QStringLiteral("postgres"),
                                                               QStringLiteral("--"), m_bin + u'/' + program } + arguments);
    else
        process.start(m_bin + u'/' + program, arguments);
    const bool done = process.waitForFinished(60000);
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

Postgres::Postgres()
{
    m_bin = findPostgresBin();
    if (m_bin.isEmpty()) {
        m_reason = QStringLiteral("PostgreSQL is not installed (/usr/lib/postgresql/*/bin/initdb)");
        return;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        m_reason = QStringLiteral("the Qt SQL PostgreSQL driver (libqt6sql6-psql) is not installed");
        return;
    }
    m_temporary = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/scrivel-pg-XXXXXX"));
    m_dir = m_temporary->path();
    // PostgreSQL refuses to run as root: the cluster belongs to the "postgres" user then.
    if (::geteuid() == 0) {
        const passwd *user = ::getpwnam("postgres");
        if (!user) {
            m_reason = QStringLiteral("running as root and there is no \"postgres\" user to run PostgreSQL as");
            return;
        }
        if (::chown(m_dir.toLocal8Bit().constData(), user->pw_uid, user->pw_gid) != 0) {
            m_reason = QStringLiteral("cannot hand the temporary folder to the postgres user");
            return;
        }
        m_asPostgresUser = true;
    }
    const QString data = m_dir + QStringLiteral("/data");
    QString output;
    if (!run(QStringLiteral("initdb"), { QStringLiteral("-D"), data, QStringLiteral("-A"), QStringLiteral("trust"),
                                        QStringLiteral("-U"), QStringLiteral("scrivel"), QStringLiteral("-E"),
                                        QStringLiteral("UTF8"), QStringLiteral("--no-sync") }, &output)) {
        m_reason = QStringLiteral("initdb failed: ") + output.right(400);
        return;
    }
    m_port = freePort();
    const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                                           "-c synchronous_commit=off -c full_page_writes=off -c max_connections=200")
                                .arg(m_port).arg(m_dir);
    if (!run(QStringLiteral("pg_ctl"), { QStringLiteral("-D"), data, QStringLiteral("-o"), options,
                                        QStringLiteral("-l"), m_dir + QStringLiteral("/log"), QStringLiteral("-w"),
                                        QStringLiteral("start") }, &output)) {
        m_reason = QStringLiteral("pg_ctl start failed: ") + output.right(400);
        return;
    }
    m_ok = true;
}

Postgres::~Postgres()
{
    if (m_ok)
        run(QStringLiteral("pg_ctl"), { QStringLiteral("-D"), m_dir + QStringLiteral("/data"),
                                       QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("stop") });
}

QString Postgres::newDatabase()
{
    const QString name = QStringLiteral("scrivel_test_%1").arg(++m_databases);
    const QString base = QStringLiteral("postgresql://scrivel@127.0.0.1:%1/").arg(m_port);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("fixture-admin"));
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(m_port);
        db.setUserName(QStringLiteral("scrivel"));
        db.setDatabaseName(QStringLiteral("postgres"));
        if (db.open())
            QSqlQuery(db).exec(QStringLiteral("CREATE DATABASE ") + name);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture-admin"));
    return base + name;
}

QByteArray idToken(const QJsonObject &claims)
{
    const auto part = [](const QByteArray &raw) {
        return raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    };
    return part(R"({"alg":"RS256"})") + '.' + part(QJsonDocument(claims).toJson(QJsonDocument::Compact))
        + '.' + part("signature");
}

ServerConfig config(const QString &engine, const QString &dataDir)
{
    ServerConfig config;
    config.listenHost = QStringLiteral("127.0.0.1");
    config.listenPort = 0;
    config.dataDir = dataDir;
    config.threads = 8;
    config.rateLimit = 100000;
    if (engine == u"postgresql")
        config.database = Postgres::shared().newDatabase();
    return config;
}

std::unique_ptr<Running> start(const QString &engine, QString *why,
                               const std::function<void(ServerConfig &)> &adjust)
{
    if (engine == u"postgresql" && !Postgres::shared().available()) {
        *why = QStringLiteral("PostgreSQL tests skipped: ") + Postgres::shared().reason();
        return nullptr;
    }
    auto running = std::make_unique<Running>();
    running->data = std::make_unique<QTemporaryDir>();
    ServerConfig c = config(engine, running->data->path());
    if (adjust)
        adjust(c);
    auto storage = Storage::open(c);
    if (!storage) {
        *why = storage.error();
        return nullptr;
    }
    running->server = std::make_unique<SyncServer>(c, std::move(*storage));
    auto port = running->server->start();
    if (!port) {
        *why = port.error();
        return nullptr;
    }
    running->url = running->server->address();
    return running;
}

Session newAccount(Storage &storage, const QString &email)
{
    Session session;
    session.email = email.isEmpty()
        ? QUuid::createUuid().toString(QUuid::Id128).left(12) + QStringLiteral("@example.com")
        : email;
    const auto account = storage.createAccount(session.email);
    if (!account)
        return session;
    session.accountId = account->id;
    session.token = storage.createSession(account->id, QStringLiteral("test"), 4.0e12).value_or(QString());
    return session;
}

Device::Device(const QString &url, const QString &token, const QString &email,
               const std::function<void(SyncEngine::Options &)> &adjust)
{
    NoteStore::Options options;
    options.notesFolder = m_folders.notes();
    options.supportFolder = m_folders.support();
    options.noteWriteDelay = std::chrono::milliseconds(1);
    options.indexWriteDelay = std::chrono::milliseconds(1);
    options.watchFolder = false;
    options.backgroundIndexWrites = false;
    m_store = std::make_unique<NoteStore>(options);
    m_store->movesToSystemTrash = false;
    m_settings = std::make_unique<AppSettings>(m_folders.path(QStringLiteral("settings.ini")),
                                               std::make_unique<MemoryLoginItem>());
    m_settings->setEmail(email);
    if (!token.isEmpty())
        m_keychain.set(Keychain::syncService(), Keychain::sessionTokenAccount(), token);
    SyncEngine::Options engine;
    engine.serverURL = url;
    engine.syncInterval = std::chrono::hours(1);
    engine.changeDebounce = std::chrono::hours(1);
    if (adjust)
        adjust(engine);
    m_engine = std::make_unique<SyncEngine>(m_store.get(), m_settings.get(), &m_keychain, engine);
    if (m_engine->isRestoringSession()) {
        QSignalSpy restored(m_engine.get(), &SyncEngine::sessionRestored);
        restored.wait(10000);
    }
}

Device::~Device() = default;

bool Device::sync()
{
    QSignalSpy finished(m_engine.get(), &SyncEngine::syncFinished);
    m_engine->sync();
    return finished.count() > 0 || finished.wait(20000);
}

} // namespace ServerFixture
