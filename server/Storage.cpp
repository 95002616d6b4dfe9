#include "Storage.h"

#include "ServerConfig.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrlQuery>
#include <QUuid>

#include <atomic>

namespace {

// Each thread's connections, closed when the thread ends (worker threads of the HTTP server
// come and go with it; a PostgreSQL connection must not outlive them).
struct ThreadConnections
{
    QStringList names;
    ~ThreadConnections()
    {
        for (const QString &name : names) {
            {
                QSqlDatabase db = QSqlDatabase::database(name, false);
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        }
    }
};
thread_local ThreadConnections t_connections;
std::atomic<int> s_storageCount { 0 };

StorageError dbError(const QString &what, const QSqlError &error)
{
    return StorageError { StorageError::Kind::Database, what + QStringLiteral(": ") + error.text() };
}

// Qt binds a null QString as SQL NULL; the columns hold texts, empty included.
template<typename T> QVariant bindable(const T &value)
{
    if constexpr (std::is_same_v<T, QString>)
        return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
    else
        return QVariant::fromValue(value);
}

// One prepared statement with positional values.
class Sql
{
public:
    Sql(QSqlDatabase &db, const QString &text) : m_query(db)
    {
        m_query.setForwardOnly(true);
        m_prepared = m_query.prepare(text);
    }
    template<typename... V> bool run(const V &...values)
    {
        (m_query.addBindValue(bindable(values)), ...);
        return m_prepared && m_query.exec();
    }
    bool next() { return m_query.next(); }
    QVariant at(int i) const { return m_query.value(i); }
    QString text(int i) const { return m_query.value(i).toString(); }
    qint64 integer(int i) const { return m_query.value(i).toLongLong(); }
    double number(int i) const { return m_query.value(i).toDouble(); }
    int affected() const { return m_query.numRowsAffected(); }
    QSqlError error() const { return m_query.lastError(); }
    StorageError failure(const QString &what) const { return dbError(what, m_query.lastError()); }

private:
    QSqlQuery m_query;
    bool m_prepared = false;
};

// The statements are plain SQL both engines take (ON CONFLICT needs SQLite 3.24).
const QList<QStringList> &migrations()
{
    static const QList<QStringList> list = {
        {
            QStringLiteral("CREATE TABLE accounts (id TEXT PRIMARY KEY, email TEXT NOT NULL UNIQUE, "
                           "avatar_url TEXT, telemetry_enabled INTEGER NOT NULL DEFAULT 0, "
                           "created_at DOUBLE PRECISION NOT NULL, change_seq BIGINT NOT NULL DEFAULT 0, "
                           "note_bytes BIGINT NOT NULL DEFAULT 0)"),
            QStringLiteral("CREATE TABLE sessions (token_hash TEXT PRIMARY KEY, account_id TEXT NOT NULL, "
                           "device TEXT, created_at DOUBLE PRECISION NOT NULL, "
                           "expires_at DOUBLE PRECISION NOT NULL)"),
            QStringLiteral("CREATE INDEX sessions_account ON sessions (account_id)"),
            QStringLiteral("CREATE TABLE notes (account_id TEXT NOT NULL, id TEXT NOT NULL, title TEXT NOT NULL, "
                           "body TEXT NOT NULL, created_at DOUBLE PRECISION NOT NULL, "
                           "updated_at DOUBLE PRECISION NOT NULL, deleted INTEGER NOT NULL, "
                           "attachments TEXT NOT NULL, seq BIGINT NOT NULL, PRIMARY KEY (account_id, id))"),
            QStringLiteral("CREATE INDEX notes_changes ON notes (account_id, seq)"),
            QStringLiteral("CREATE TABLE note_media (account_id TEXT NOT NULL, note_id TEXT NOT NULL, "
                           "filename TEXT NOT NULL, PRIMARY KEY (account_id, note_id, filename))"),
            QStringLiteral("CREATE TABLE media (account_id TEXT NOT NULL, note_id TEXT NOT NULL, "
                           "filename TEXT NOT NULL, size BIGINT NOT NULL, created_at DOUBLE PRECISION NOT NULL, "
                           "PRIMARY KEY (account_id, note_id, filename))"),
            QStringLiteral("CREATE TABLE shares (token TEXT PRIMARY KEY, account_id TEXT NOT NULL, "
                           "note_id TEXT NOT NULL, created_at DOUBLE PRECISION NOT NULL, "
                           "revoked_at DOUBLE PRECISION)"),
            QStringLiteral("CREATE INDEX shares_note ON shares (account_id, note_id)"),
            QStringLiteral("CREATE TABLE web_codes (code_hash TEXT PRIMARY KEY, account_id TEXT NOT NULL, "
                           "expires_at DOUBLE PRECISION NOT NULL)"),
            QStringLiteral("CREATE TABLE telemetry (id TEXT PRIMARY KEY, account_id TEXT NOT NULL, "
                           "received_at DOUBLE PRECISION NOT NULL, payload TEXT NOT NULL)"),
            QStringLiteral("CREATE INDEX telemetry_account ON telemetry (account_id)"),
            QStringLiteral("CREATE TABLE feedback (id TEXT PRIMARY KEY, account_id TEXT NOT NULL, "
                           "received_at DOUBLE PRECISION NOT NULL, message TEXT NOT NULL, "
                           "fields TEXT NOT NULL, files TEXT NOT NULL)"),
        },
    };
    return list;
}

QString hashOf(const QString &secret)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(secret.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString randomToken(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(raw.data()), bytes / 4);
    return QString::fromLatin1(raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString newId()
{
    return QUuid::createUuid().toString(QUuid::Id128);
}

QString attachmentsJson(const QList<WireAttachment> &attachments)
{
    QJsonArray list;
    for (const WireAttachment &a : attachments)
        list.append(a.toJson());
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

QList<WireAttachment> attachmentsFrom(const QString &json)
{
    QList<WireAttachment> result;
    for (const QJsonValue &value : QJsonDocument::fromJson(json.toUtf8()).array())
        if (auto a = WireAttachment::fromJson(value))
            result.append(*a);
    return result;
}

qint64 noteSize(const WireNote &note)
{
    return note.body.toUtf8().size() + note.title.toUtf8().size();
}

// Columns: id, title, body, created_at, updated_at, deleted, attachments (from index `first`).
WireNote noteFrom(const Sql &q, int first)
{
    WireNote note;
    note.id = q.text(first);
    note.title = q.text(first + 1);
    note.body = q.text(first + 2);
    note.createdAt = q.number(first + 3);
    note.updatedAt = q.number(first + 4);
    note.deleted = q.integer(first + 5) != 0;
    note.attachments = attachmentsFrom(q.text(first + 6));
    return note;
}

bool sameContent(const WireNote &a, const WireNote &b)
{
    return a.body == b.body && a.deleted == b.deleted && a.updatedAt == b.updatedAt
        && a.createdAt == b.createdAt && a.attachments == b.attachments;
}

std::optional<Account> accountFrom(Sql &q)
{
    if (!q.next())
        return std::nullopt;
    Account account;
    account.id = q.text(0);
    account.email = q.text(1);
    if (!q.at(2).isNull() && !q.text(2).isEmpty())
        account.avatarUrl = q.text(2);
    account.telemetryEnabled = q.integer(3) != 0;
    account.createdAt = q.number(4);
    return account;
}

const QString kAccountColumns
    = QStringLiteral("a.id, a.email, a.avatar_url, a.telemetry_enabled, a.created_at");

// Runs `body` in a write transaction: committed when it succeeds, rolled back otherwise.
template<typename T, typename Begin, typename Body>
Stored<T> inTransaction(std::expected<QSqlDatabase, QString> opened, Begin begin, Body body)
{
    if (!opened)
        return std::unexpected(StorageError { StorageError::Kind::Database, opened.error() });
    QSqlDatabase db = *opened;
    if (!begin(db)) {
        const StorageError error = dbError(QStringLiteral("begin"), db.lastError());
        // A connection the database dropped (a restart): the next call opens a new one.
        db.close();
        return std::unexpected(error);
    }
    Stored<T> result = body(db);
    if (!result) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return result;
    }
    QSqlQuery commit(db);
    if (!commit.exec(QStringLiteral("COMMIT"))) {
        const StorageError error = dbError(QStringLiteral("commit"), commit.lastError());
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return std::unexpected(error);
    }
    return result;
}

// ---- the engines ----------------------------------------------------------------------------

class SqliteStorage final : public Storage
{
public:
    explicit SqliteStorage(QString file, QString prefix)
        : Storage(std::move(prefix)), m_file(std::move(file))
    {
    }
    QString engineName() const override { return QStringLiteral("sqlite"); }

protected:
    std::expected<QSqlDatabase, QString> connect(const QString &name) override
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_file);
        // Writers wait for each other instead of failing at once.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
        if (!db.open())
            return std::unexpected(db.lastError().text());
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        pragma.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
        return db;
    }
    // IMMEDIATE takes the write lock at once: two writers never both read and then both
    // try to upgrade (which SQLite answers with a busy error instead of waiting).
    bool beginWrite(QSqlDatabase &db) override
    {
        return QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    // The database's one write lock already serialises every writer.
    bool lockAccount(QSqlDatabase &, const QString &) override { return true; }
    bool lockMigrations(QSqlDatabase &) override { return true; }

private:
    QString m_file;
};

class PostgresStorage final : public Storage
{
public:
    PostgresStorage(QUrl url, QString prefix) : Storage(std::move(prefix)), m_url(std::move(url)) { }
    QString engineName() const override { return QStringLiteral("postgresql"); }

protected:
    std::expected<QSqlDatabase, QString> connect(const QString &name) override
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        if (!db.isValid())
            return std::unexpected(QStringLiteral("the PostgreSQL driver of Qt SQL is not installed"));
        const QUrlQuery query(m_url);
        QString host = m_url.host();
        if (query.hasQueryItem(QStringLiteral("host")))
            host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
        db.setHostName(host);
        if (m_url.port() > 0)
            db.setPort(m_url.port());
        db.setUserName(m_url.userName(QUrl::FullyDecoded));
        db.setPassword(m_url.password(QUrl::FullyDecoded));
        QString dbname = m_url.path(QUrl::FullyDecoded);
        while (dbname.startsWith(u'/'))
            dbname.remove(0, 1);
        db.setDatabaseName(dbname);
        QStringList options;
        for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded))
            if (key != u"host")
                options << key + u'=' + value;
        db.setConnectOptions(options.join(u';'));
        if (!db.open())
            return std::unexpected(db.lastError().text());
        return db;
    }
    bool beginWrite(QSqlDatabase &db) override { return QSqlQuery(db).exec(QStringLiteral("BEGIN")); }
    // The row lock is held to the end of the transaction, so the account's next sequence
    // number is only taken after the previous holder committed or rolled back.
    bool lockAccount(QSqlDatabase &db, const QString &accountId) override
    {
        Sql q(db, QStringLiteral("SELECT id FROM accounts WHERE id = ? FOR UPDATE"));
        return q.run(accountId);
    }
    bool lockMigrations(QSqlDatabase &db) override
    {
        return QSqlQuery(db).exec(QStringLiteral("SELECT pg_advisory_xact_lock(87870001)"));
    }

private:
    QUrl m_url;
};

} // namespace

Storage::Storage(QString connectionPrefix) : m_prefix(std::move(connectionPrefix)) { }

Storage::~Storage() = default;

std::expected<std::unique_ptr<Storage>, QString> Storage::open(const ServerConfig &config)
{
    const QString prefix = QStringLiteral("scrivel-storage-%1").arg(++s_storageCount);
    std::unique_ptr<Storage> storage;
    if (config.isPostgres()) {
        const QUrl url(config.database, QUrl::StrictMode);
        if (!url.isValid())
            return std::unexpected(QStringLiteral("the PostgreSQL address does not parse"));
        storage = std::make_unique<PostgresStorage>(url, prefix);
    } else {
        if (!QDir().mkpath(config.dataDir))
            return std::unexpected(QStringLiteral("cannot create the data folder ") + config.dataDir);
        storage = std::make_unique<SqliteStorage>(
            QDir(config.dataDir).filePath(QStringLiteral("scrivel-server.sqlite")), prefix);
    }
    if (auto migrated = storage->migrate(); !migrated)
        return std::unexpected(migrated.error());
    return storage;
}

std::expected<QSqlDatabase, QString> Storage::database()
{
    const QString name = QStringLiteral("%1-%2").arg(m_prefix).arg(
        quintptr(QThread::currentThreadId()));
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            return db;
        if (db.open())
            return db;
        return std::unexpected(db.lastError().text());
    }
    auto db = connect(name);
    t_connections.names.append(name);
    return db;
}

std::expected<void, QString> Storage::migrate()
{
    auto done = inTransaction<int>(database(), [this](QSqlDatabase &db) { return beginWrite(db); },
                                   [this](QSqlDatabase &db) -> Stored<int> {
        if (!lockMigrations(db))
            return std::unexpected(dbError(QStringLiteral("migration lock"), db.lastError()));
        // Schema statements run unprepared: PostgreSQL prepares only queries and changes.
        QSqlQuery create(db);
        if (!create.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_migrations "
                                        "(version INTEGER PRIMARY KEY, applied_at DOUBLE PRECISION)")))
            return std::unexpected(dbError(QStringLiteral("schema_migrations"), create.lastError()));
        Sql current(db, QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_migrations"));
        if (!current.run() || !current.next())
            return std::unexpected(current.failure(QStringLiteral("schema version")));
        const int version = int(current.integer(0));
        const auto &steps = migrations();
        if (version > steps.size())
            return std::unexpected(StorageError { StorageError::Kind::Database,
                QStringLiteral("the database has schema version %1, newer than this server's %2")
                    .arg(version).arg(steps.size()) });
        for (int v = version + 1; v <= steps.size(); ++v) {
            for (const QString &statement : steps.at(v - 1)) {
                QSqlQuery step(db);
                if (!step.exec(statement))
                    return std::unexpected(dbError(QStringLiteral("migration %1").arg(v), step.lastError()));
            }
            Sql mark(db, QStringLiteral("INSERT INTO schema_migrations (version, applied_at) VALUES (?, ?)"));
            if (!mark.run(v, double(QDateTime::currentMSecsSinceEpoch())))
                return std::unexpected(mark.failure(QStringLiteral("migration mark")));
        }
        return int(steps.size());
    });
    if (!done)
        return std::unexpected(done.error().message);
    return {};
}

int Storage::schemaVersion()
{
    auto db = database();
    if (!db)
        return 0;
    Sql q(*db, QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_migrations"));
    return q.run() && q.next() ? int(q.integer(0)) : 0;
}

QString Storage::status()
{
    auto db = database();
    if (!db)
        return QStringLiteral("unavailable: ") + db.error();
    Sql q(*db, QStringLiteral("SELECT 1"));
    if (!q.run() || !q.next()) {
        // A connection the database dropped (a restart): open it anew next time.
        db->close();
        return QStringLiteral("unavailable: ") + q.error().text();
    }
    return QStringLiteral("ok");
}

// ---- accounts -----------------------------------------------------------------------------

#define BEGIN_WRITE [this](QSqlDatabase &db) { return beginWrite(db); }

Stored<Account> Storage::createAccount(const QString &email)
{
    return inTransaction<Account>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<Account> {
        Sql existing(db, QStringLiteral("SELECT id FROM accounts WHERE email = ?"));
        if (!existing.run(email))
            return std::unexpected(existing.failure(QStringLiteral("account lookup")));
        if (existing.next())
            return std::unexpected(StorageError { StorageError::Kind::Conflict,
                                                  QStringLiteral("an account with that e-mail exists") });
        Account account;
        account.id = QString::fromLatin1(QUuid::createUuid().toRfc4122().toHex().left(24));
        account.email = email;
        account.createdAt = double(QDateTime::currentMSecsSinceEpoch());
        Sql insert(db, QStringLiteral("INSERT INTO accounts (id, email, created_at) VALUES (?, ?, ?)"));
        if (!insert.run(account.id, email, account.createdAt))
            return std::unexpected(insert.failure(QStringLiteral("account insert")));
        return account;
    });
}

Stored<std::optional<Account>> Storage::accountByEmail(const QString &email)
{
    auto db = database();
    if (!db)
        return std::unexpected(StorageError { StorageError::Kind::Database, db.error() });
    Sql q(*db, QStringLiteral("SELECT %1 FROM accounts a WHERE a.email = ?").arg(kAccountColumns));
    if (!q.run(email))
        return std::unexpected(q.failure(QStringLiteral("account by e-mail")));
    return accountFrom(q);
}

Stored<std::optional<Account>> Storage::accountById(const QString &id)
{
    auto db = database();
    if (!db)
        return std::unexpected(StorageError { StorageError::Kind::Database, db.error() });
    Sql q(*db, QStringLiteral("SELECT %1 FROM accounts a WHERE a.id = ?").arg(kAccountColumns));
    if (!q.run(id))
        return std::unexpected(q.failure(QStringLiteral("account by id")));
    return accountFrom(q);
}

Stored<void> Storage::setAvatar(const QString &accountId, const QString &url)
{
    return inTransaction<void>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<void> {
        Sql q(db, QStringLiteral("UPDATE accounts SET avatar_url = ? WHERE id = ?"));
        if (!q.run(url, accountId))
            return std::unexpected(q.failure(QStringLiteral("avatar")));
        return {};
    });
}

Stored<void> Storage::setTelemetryEnabled(const QString &accountId, bool enabled)
{
    return inTransaction<void>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<void> {
        Sql q(db, QStringLiteral("UPDATE accounts SET telemetry_enabled = ? WHERE id = ?"));
        if (!q.run(enabled ? 1 : 0, accountId))
            return std::unexpected(q.failure(QStringLiteral("telemetry choice")));
        return {};
    });
}

Stored<QString> Storage::createSession(const QString &accountId, const QString &device,
                                       double expiresAt)
{
    const QString token = randomToken(32);
    return inTransaction<QString>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<QString> {
        Sql q(db, QStringLiteral("INSERT INTO sessions (token_hash, account_id, device, created_at, "
                                 "expires_at) VALUES (?, ?, ?, ?, ?)"));
        if (!q.run(hashOf(token), accountId, device.left(200),
                   double(QDateTime::currentMSecsSinceEpoch()), expiresAt))
            return std::unexpected(q.failure(QStringLiteral("session insert")));
        return token;
    });
}

Stored<std::optional<Account>> Storage::accountForToken(const QString &token, double now)
{
    auto db = database();
    if (!db)
        return std::unexpected(StorageError { StorageError::Kind::Database, db.error() });
    Sql q(*db, QStringLiteral("SELECT %1 FROM sessions s JOIN accounts a ON a.id = s.account_id "
                              "WHERE s.token_hash = ? AND s.expires_at > ?").arg(kAccountColumns));
    if (!q.run(hashOf(token), now))
        return std::unexpected(q.failure(QStringLiteral("session lookup")));
    return accountFrom(q);
}

Stored<void> Storage::deleteSession(const QString &token)
{
    return inTransaction<void>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<void> {
        Sql q(db, QStringLiteral("DELETE FROM sessions WHERE token_hash = ?"));
        if (!q.run(hashOf(token)))
            return std::unexpected(q.failure(QStringLiteral("logout")));
        return {};
    });
}

Stored<void> Storage::deleteAccount(const QString &accountId)
{
    return inTransaction<void>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<void> {
        if (!lockAccount(db, accountId))
            return std::unexpected(dbError(QStringLiteral("lock"), db.lastError()));
        for (const char *table : { "sessions", "notes", "note_media", "media", "shares",
                                   "web_codes", "telemetry", "feedback" }) {
            Sql q(db, QStringLiteral("DELETE FROM %1 WHERE account_id = ?").arg(QLatin1String(table)));
            if (!q.run(accountId))
                return std::unexpected(q.failure(QStringLiteral("delete ") + QLatin1String(table)));
        }
        Sql q(db, QStringLiteral("DELETE FROM accounts WHERE id = ?"));
        if (!q.run(accountId))
            return std::unexpected(q.failure(QStringLiteral("delete account")));
        return {};
    });
}

Stored<QString> Storage::createWebCode(const QString &accountId, double expiresAt)
{
    const QString code = randomToken(24);
    return inTransaction<QString>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<QString> {
        Sql q(db, QStringLiteral("INSERT INTO web_codes (code_hash, account_id, expires_at) VALUES (?, ?, ?)"));
        if (!q.run(hashOf(code), accountId, expiresAt))
            return std::unexpected(q.failure(QStringLiteral("web code")));
        return code;
    });
}

Stored<std::optional<QString>> Storage::consumeWebCode(const QString &code, double now)
{
    using Result = std::optional<QString>;
    return inTransaction<Result>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<Result> {
        Sql q(db, QStringLiteral("SELECT account_id, expires_at FROM web_codes WHERE code_hash = ?"));
        if (!q.run(hashOf(code)))
            return std::unexpected(q.failure(QStringLiteral("web code")));
        if (!q.next())
            return Result {};
        const QString account = q.text(0);
        const bool live = q.number(1) > now;
        Sql remove(db, QStringLiteral("DELETE FROM web_codes WHERE code_hash = ?"));
        if (!remove.run(hashOf(code)))
            return std::unexpected(remove.failure(QStringLiteral("web code")));
        return live ? Result(account) : Result {};
    });
}

Stored<qint64> Storage::count(const QString &table, const QString &accountId)
{
    auto db = database();
    if (!db)
        return std::unexpected(StorageError { StorageError::Kind::Database, db.error() });
    Sql q(*db, QStringLiteral("SELECT COUNT(*) FROM %1 WHERE account_id = ?").arg(table));
    if (!q.run(accountId) || !q.next())
        return std::unexpected(q.failure(QStringLiteral("count")));
    return q.integer(0);
}

Stored<AccountStats> Storage::stats(const QString &accountId)
{
    auto db = database();
    if (!db)
        return std::unexpected(StorageError { StorageError::Kind::Database, db.error() });
    AccountStats stats;
    Sql notes(*db, QStringLiteral("SELECT COUNT(*) FROM notes WHERE account_id = ? AND deleted = 0"));
    Sql bytes(*db, QStringLiteral("SELECT note_bytes FROM accounts WHERE id = ?"));
    Sql media(*db, QStringLiteral("SELECT COUNT(*), COALESCE(SUM(size), 0) FROM media WHERE account_id = ?"));
    Sql shares(*db, QStringLiteral("SELECT COUNT(*) FROM shares WHERE account_id = ? AND revoked_at IS NULL"));
    if (!notes.run(accountId) || !notes.next() || !bytes.run(accountId) || !media.run(accountId)
        || !media.next() || !shares.run(accountId) || !shares.next())
        return std::unexpected(StorageError { StorageError::Kind::Database, QStringLiteral("stats") });
    stats.notes = notes.integer(0);
    stats.noteBytes = bytes.next() ? bytes.integer(0) : 0;
    stats.mediaFiles = media.integer(0);
    stats.mediaBytes = media.integer(1);
    stats.liveShares = shares.integer(0);
    return stats;
}

// ---- sync ---------------------------------------------------------------------------------

Stored<std::optional<WireNote>> Storage::note(const QString &accountId, const QString &noteId)
{
    auto db = database();
    if (!db)
        return std::unexpected(StorageError { StorageError::Kind::Database, db.error() });
    Sql q(*db, QStringLiteral("SELECT id, title, body, created_at, updated_at, deleted, attachments "
                              "FROM notes WHERE account_id = ? AND id = ?"));
    if (!q.run(accountId, noteId))
        return std::unexpected(q.failure(QStringLiteral("note")));
    if (!q.next())
        return std::optional<WireNote> {};
    return std::optional<WireNote>(noteFrom(q, 0));
}

Stored<SyncResponse> Storage::sync(const QString &accountId, const SyncRequest &request,
                                   const SyncLimits &limits, double now)
{
    return inTransaction<SyncResponse>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<SyncResponse> {
        if (!lockAccount(db, accountId))
            return std::unexpected(dbError(QStringLiteral("lock"), db.lastError()));
        Sql head(db, QStringLiteral("SELECT change_seq, note_bytes FROM accounts WHERE id = ?"));
        if (!head.run(accountId))
            return std::unexpected(head.failure(QStringLiteral("account")));
        if (!head.next())
            return std::unexpected(StorageError { StorageError::Kind::NotFound, QStringLiteral("no account") });
        const qint64 before = head.integer(0);
        qint64 seq = before;
        qint64 bytes = head.integer(1);

        SyncResponse answer;
        answer.serverTime = now;
        QSet<QString> answered;
        for (const WireNote &change : request.changes) {
            Sql load(db, QStringLiteral("SELECT id, title, body, created_at, updated_at, deleted, "
                                        "attachments FROM notes WHERE account_id = ? AND id = ?"));
            if (!load.run(accountId, change.id))
                return std::unexpected(load.failure(QStringLiteral("note")));
            std::optional<WireNote> stored;
            if (load.next())
                stored = noteFrom(load, 0);
            if (stored && sameContent(*stored, change)) {
                answer.accepted.append(change.id); // a repeated push: nothing changes
                answered.insert(change.id);
                continue;
            }
            // Newer wins. On equal times the stored text stays, one millisecond later: a
            // client takes a remote note only when it is newer than its own, so only then does
            // the sender keep its text as a conflict copy and adopt the stored one, and other
            // devices still holding the stored text see nothing new to them. Neither side is
            // lost and every device converges.
            if (stored && !(change.updatedAt > stored->updatedAt)) {
                if (change.updatedAt == stored->updatedAt) {
                    stored->updatedAt += 1.0;
                    ++seq;
                    Sql nudge(db, QStringLiteral("UPDATE notes SET updated_at = ?, seq = ? "
                                                 "WHERE account_id = ? AND id = ?"));
                    if (!nudge.run(stored->updatedAt, seq, accountId, change.id))
                        return std::unexpected(nudge.failure(QStringLiteral("note write")));
                }
                answer.rejected.append(*stored);
                answered.insert(change.id);
                continue;
            }
            const qint64 grown = noteSize(change) - (stored ? noteSize(*stored) : 0);
            if (limits.notesQuota > 0 && grown > 0 && bytes + grown > limits.notesQuota)
                return std::unexpected(StorageError { StorageError::Kind::NotesFull,
                                                      QStringLiteral("note storage is full") });
            bytes += grown;
            ++seq;
            Sql write(db, QStringLiteral(
                "INSERT INTO notes (account_id, id, title, body, created_at, updated_at, deleted, "
                "attachments, seq) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) "
                "ON CONFLICT (account_id, id) DO UPDATE SET title = excluded.title, "
                "body = excluded.body, created_at = excluded.created_at, "
                "updated_at = excluded.updated_at, deleted = excluded.deleted, "
                "attachments = excluded.attachments, seq = excluded.seq"));
            const QList<WireAttachment> attachments = change.deleted ? QList<WireAttachment> {}
                                                                     : change.attachments;
            if (!write.run(accountId, change.id, change.title, change.body, change.createdAt,
                           change.updatedAt, change.deleted ? 1 : 0, attachmentsJson(attachments), seq))
                return std::unexpected(write.failure(QStringLiteral("note write")));
            Sql clear(db, QStringLiteral("DELETE FROM note_media WHERE account_id = ? AND note_id = ?"));
            if (!clear.run(accountId, change.id))
                return std::unexpected(clear.failure(QStringLiteral("note media")));
            for (const WireAttachment &a : attachments) {
                if (!Wire::isUsableName(a.filename, Wire::maxFilenameBytes) || a.filename.startsWith(u'.'))
                    continue;
                Sql add(db, QStringLiteral("INSERT INTO note_media (account_id, note_id, filename) "
                                           "VALUES (?, ?, ?) ON CONFLICT DO NOTHING"));
                if (!add.run(accountId, change.id, a.filename))
                    return std::unexpected(add.failure(QStringLiteral("note media")));
            }
            answer.accepted.append(change.id);
            answered.insert(change.id);
        }
        if (seq != before) {
            Sql bump(db, QStringLiteral("UPDATE accounts SET change_seq = ?, note_bytes = ? WHERE id = ?"));
            if (!bump.run(seq, bytes, accountId))
                return std::unexpected(bump.failure(QStringLiteral("change sequence")));
        }

        // What changed after the sender's cursor, up to where this exchange began (later
        // numbers are this exchange's own writes). A cursor from the future (another
        // server's, a restored backup) starts over.
        qint64 cursor = request.cursor;
        if (cursor < 0 || cursor > before)
            cursor = 0;
        Sql changes(db, QStringLiteral("SELECT seq, id, title, body, created_at, updated_at, deleted, "
                                       "attachments FROM notes WHERE account_id = ? AND seq > ? "
                                       "AND seq <= ? ORDER BY seq LIMIT ?"));
        if (!changes.run(accountId, cursor, before, limits.pageSize + 1))
            return std::unexpected(changes.failure(QStringLiteral("changes")));
        qint64 last = cursor;
        qint64 pageBytes = 0;
        int taken = 0;
        while (changes.next()) {
            if (taken >= limits.pageSize || pageBytes > 8 * 1024 * 1024) {
                answer.hasMore = true;
                break;
            }
            ++taken;
            last = changes.integer(0);
            WireNote note = noteFrom(changes, 1);
            if (answered.contains(note.id))
                continue; // already in "rejected", or the sender's own accepted text
            pageBytes += noteSize(note);
            answer.notes.append(std::move(note));
        }
        answer.cursor = answer.hasMore ? last : seq;

        if (limits.media) {
            Sql wanted(db, QStringLiteral(
                "SELECT n.note_id, n.filename FROM note_media n WHERE n.account_id = ? AND NOT EXISTS "
                "(SELECT 1 FROM media m WHERE m.account_id = n.account_id AND m.note_id = n.note_id "
                "AND m.filename = n.filename) ORDER BY n.note_id, n.filename LIMIT ?"));
            if (!wanted.run(accountId, limits.maxMediaWanted))
                return std::unexpected(wanted.failure(QStringLiteral("media wanted")));
            QList<MediaRef> refs;
            while (wanted.next())
                refs.append(MediaRef { wanted.text(0), wanted.text(1) });
            answer.mediaWanted = refs;
        }
        return answer;
    });
}

// ---- media --------------------------------------------------------------------------------

Stored<qint64> Storage::mediaBytes(const QString &accountId)
{
    auto db = database();
    if (!db)
        return std::unexpected(StorageError { StorageError::Kind::Database, db.error() });
    Sql q(*db, QStringLiteral("SELECT COALESCE(SUM(size), 0) FROM media WHERE account_id = ?"));
    if (!q.run(accountId) || !q.next())
        return std::unexpected(q.failure(QStringLiteral("media usage")));
    return q.integer(0);
}

Stored<void> Storage::addMedia(const QString &accountId, const QString &noteId,
                               const QString &filename, qint64 size, qint64 quota,
                               const std::function<bool()> &place)
{
    return inTransaction<void>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<void> {
        if (!lockAccount(db, accountId))
            return std::unexpected(dbError(QStringLiteral("lock"), db.lastError()));
        Sql used(db, QStringLiteral("SELECT COALESCE(SUM(size), 0) FROM media WHERE account_id = ? "
                                    "AND NOT (note_id = ? AND filename = ?)"));
        if (!used.run(accountId, noteId, filename) || !used.next())
            return std::unexpected(used.failure(QStringLiteral("media usage")));
        if (quota > 0 && used.integer(0) + size > quota)
            return std::unexpected(StorageError { StorageError::Kind::MediaFull,
                                                  QStringLiteral("media storage is full") });
        Sql q(db, QStringLiteral("INSERT INTO media (account_id, note_id, filename, size, created_at) "
                                 "VALUES (?, ?, ?, ?, ?) ON CONFLICT (account_id, note_id, filename) "
                                 "DO UPDATE SET size = excluded.size, created_at = excluded.created_at"));
        if (!q.run(accountId, noteId, filename, size, double(QDateTime::currentMSecsSinceEpoch())))
            return std::unexpected(q.failure(QStringLiteral("media record")));
        if (!place())
            return std::unexpected(StorageError { StorageError::Kind::Database,
                                                  QStringLiteral("the media file could not be stored") });
        return {};
    });
}

Stored<bool> Storage::hasMedia(const QString &accountId, const QString &noteId, const QString &filename)
{
    auto db = database();
    if (!db)
        return std::unexpected(StorageError { StorageError::Kind::Database, db.error() });
    Sql q(*db, QStringLiteral("SELECT 1 FROM media WHERE account_id = ? AND note_id = ? AND filename = ?"));
    if (!q.run(accountId, noteId, filename))
        return std::unexpected(q.failure(QStringLiteral("media")));
    return q.next();
}

// ---- shares -------------------------------------------------------------------------------

Stored<ShareRecord> Storage::createShare(const QString &accountId, const QString &noteId,
                                         const QString &newToken, double now)
{
    return inTransaction<ShareRecord>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<ShareRecord> {
        if (!lockAccount(db, accountId))
            return std::unexpected(dbError(QStringLiteral("lock"), db.lastError()));
        Sql note(db, QStringLiteral("SELECT 1 FROM notes WHERE account_id = ? AND id = ? AND deleted = 0"));
        if (!note.run(accountId, noteId))
            return std::unexpected(note.failure(QStringLiteral("note")));
        if (!note.next())
            return std::unexpected(StorageError { StorageError::Kind::NotFound, QStringLiteral("no such note") });
        Sql live(db, QStringLiteral("SELECT token FROM shares WHERE account_id = ? AND note_id = ? "
                                    "AND revoked_at IS NULL ORDER BY created_at LIMIT 1"));
        if (!live.run(accountId, noteId))
            return std::unexpected(live.failure(QStringLiteral("shares")));
        if (live.next())
            return ShareRecord { live.text(0), accountId, noteId };
        Sql insert(db, QStringLiteral("INSERT INTO shares (token, account_id, note_id, created_at) VALUES (?, ?, ?, ?)"));
        if (!insert.run(newToken, accountId, noteId, now))
            return std::unexpected(insert.failure(QStringLiteral("share insert")));
        return ShareRecord { newToken, accountId, noteId };
    });
}

Stored<QList<ShareRecord>> Storage::shares(const QString &accountId, const QString &noteId)
{
    auto db = database();
    if (!db)
        return std::unexpected(StorageError { StorageError::Kind::Database, db.error() });
    Sql q(*db, QStringLiteral("SELECT token FROM shares WHERE account_id = ? AND note_id = ? "
                              "AND revoked_at IS NULL ORDER BY created_at"));
    if (!q.run(accountId, noteId))
        return std::unexpected(q.failure(QStringLiteral("shares")));
    QList<ShareRecord> list;
    while (q.next())
        list.append(ShareRecord { q.text(0), accountId, noteId });
    return list;
}

Stored<QList<ShareRecord>> Storage::allLiveShares(const QString &accountId)
{
    auto db = database();
    if (!db)
        return std::unexpected(StorageError { StorageError::Kind::Database, db.error() });
    Sql q(*db, QStringLiteral("SELECT token, note_id FROM shares WHERE account_id = ? "
                              "AND revoked_at IS NULL ORDER BY created_at"));
    if (!q.run(accountId))
        return std::unexpected(q.failure(QStringLiteral("shares")));
    QList<ShareRecord> list;
    while (q.next())
        list.append(ShareRecord { q.text(0), accountId, q.text(1) });
    return list;
}

Stored<bool> Storage::revokeShare(const QString &accountId, const QString &token, double now)
{
    return inTransaction<bool>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<bool> {
        Sql q(db, QStringLiteral("UPDATE shares SET revoked_at = ? WHERE token = ? AND account_id = ? "
                                 "AND revoked_at IS NULL"));
        if (!q.run(now, token, accountId))
            return std::unexpected(q.failure(QStringLiteral("revoke")));
        return q.affected() > 0;
    });
}

Stored<std::optional<ShareRecord>> Storage::liveShare(const QString &token)
{
    auto db = database();
    if (!db)
        return std::unexpected(StorageError { StorageError::Kind::Database, db.error() });
    Sql q(*db, QStringLiteral("SELECT account_id, note_id FROM shares WHERE token = ? AND revoked_at IS NULL"));
    if (!q.run(token))
        return std::unexpected(q.failure(QStringLiteral("share")));
    if (!q.next())
        return std::optional<ShareRecord> {};
    return std::optional<ShareRecord>(ShareRecord { token, q.text(0), q.text(1) });
}

// ---- intake -------------------------------------------------------------------------------

Stored<void> Storage::addTelemetry(const QString &accountId, const QByteArray &payload, double now)
{
    return inTransaction<void>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<void> {
        Sql q(db, QStringLiteral("INSERT INTO telemetry (id, account_id, received_at, payload) VALUES (?, ?, ?, ?)"));
        if (!q.run(newId(), accountId, now, QString::fromUtf8(payload)))
            return std::unexpected(q.failure(QStringLiteral("telemetry")));
        return {};
    });
}

Stored<QString> Storage::addFeedback(const QString &accountId, const QString &message,
                                     const QJsonObject &fields, const QString &files, double now)
{
    const QString id = newId();
    return inTransaction<QString>(database(), BEGIN_WRITE, [&](QSqlDatabase &db) -> Stored<QString> {
        Sql q(db, QStringLiteral("INSERT INTO feedback (id, account_id, received_at, message, fields, files) "
                                 "VALUES (?, ?, ?, ?, ?, ?)"));
        if (!q.run(id, accountId, now, message,
                   QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact)), files))
            return std::unexpected(q.failure(QStringLiteral("feedback")));
        return id;
    });
}
