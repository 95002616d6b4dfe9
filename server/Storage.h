#pragma once

#include "sync/WireRecords.h"

#include <QJsonObject>
#include <QSqlDatabase>
#include <QString>

#include <expected>
#include <functional>
#include <memory>
#include <optional>

struct ServerConfig;

/// Why a storage operation failed.
struct StorageError
{
    enum class Kind { Database, NotesFull, MediaFull, NotFound, Conflict };
    Kind kind = Kind::Database;
    QString message;
};

template<typename T> using Stored = std::expected<T, StorageError>;

struct Account
{
    QString id;
    QString email;
    std::optional<QString> avatarUrl;
    bool telemetryEnabled = false;
    double createdAt = 0;

    APIUser user() const { return APIUser { id, email, avatarUrl }; }
};

/// Limits of one sync exchange.
struct SyncLimits
{
    int pageSize = 500;
    qint64 notesQuota = 0;
    bool media = true;
    int maxMediaWanted = 1000;
};

struct ShareRecord
{
    QString token;
    QString accountId;
    QString noteId;
};

struct AccountStats
{
    qint64 notes = 0;
    qint64 noteBytes = 0;
    qint64 mediaBytes = 0;
    qint64 mediaFiles = 0;
    qint64 liveShares = 0;
};

/// The server's data behind one interface. Two engines implement it: SQLite (one file in the
/// data folder, the default) and PostgreSQL (several server processes may share one database).
/// Both use the same SQL; an engine supplies only its connection, its way of starting a write
/// transaction and its way of locking one account's rows.
///
/// Thread safety: every thread gets its own database connection (Qt SQL connections belong to
/// the thread that opened them); the connections close when their thread ends.
///
/// The sync cursor is a per-account sequence number. A write that changes an account's notes
/// first locks that account's row, takes the next number and commits before the lock is
/// released, so numbers become visible in the order they were given out: a reader that has
/// seen number n has seen every change numbered below n (no gap can fill in later).
class Storage
{
public:
    virtual ~Storage();

    /// Opens the engine the configuration names and brings its schema up to date.
    static std::expected<std::unique_ptr<Storage>, QString> open(const ServerConfig &config);

    /// "sqlite" or "postgresql".
    virtual QString engineName() const = 0;
    /// The schema version after migrating.
    int schemaVersion();
    /// A short status for the health record: "ok" or what is wrong.
    QString status();

    // ---- accounts and sessions ------------------------------------------------------------
    Stored<Account> createAccount(const QString &email);
    Stored<std::optional<Account>> accountByEmail(const QString &email);
    Stored<std::optional<Account>> accountById(const QString &id);
    Stored<void> setAvatar(const QString &accountId, const QString &url);
    Stored<void> setTelemetryEnabled(const QString &accountId, bool enabled);
    /// A new opaque session token (only its hash is kept) valid until `expiresAt` (ms).
    Stored<QString> createSession(const QString &accountId, const QString &device, double expiresAt);
    /// The account of an unexpired session token.
    Stored<std::optional<Account>> accountForToken(const QString &token, double now);
    Stored<void> deleteSession(const QString &token);
    /// Every row of the account (notes, sessions, media records, shares, telemetry,
    /// feedback, codes). Files are the caller's.
    Stored<void> deleteAccount(const QString &accountId);
    /// A one-time code for the web dashboard (hash kept), valid until `expiresAt`.
    Stored<QString> createWebCode(const QString &accountId, double expiresAt);
    /// The account of a code, which is used up by this call.
    Stored<std::optional<QString>> consumeWebCode(const QString &code, double now);
    Stored<AccountStats> stats(const QString &accountId);

    // ---- sync -----------------------------------------------------------------------------
    /// One exchange: stores each change that is newer than the stored note (or new), answers
    /// the stored version of the others, then the changes after `cursor`.
    Stored<SyncResponse> sync(const QString &accountId, const SyncRequest &request,
                              const SyncLimits &limits, double now);
    Stored<std::optional<WireNote>> note(const QString &accountId, const QString &noteId);

    // ---- media ----------------------------------------------------------------------------
    Stored<qint64> mediaBytes(const QString &accountId);
    /// Records a stored media file of `size` bytes; fails with MediaFull when the account
    /// would exceed `quota`. `place` runs inside the transaction (it moves the file into
    /// place); when it fails, nothing is recorded.
    Stored<void> addMedia(const QString &accountId, const QString &noteId, const QString &filename,
                          qint64 size, qint64 quota, const std::function<bool()> &place);
    Stored<bool> hasMedia(const QString &accountId, const QString &noteId, const QString &filename);

    // ---- shares ---------------------------------------------------------------------------
    /// The live link of the note, or a new one with `newToken`. NotFound when the account has
    /// no such live note.
    Stored<ShareRecord> createShare(const QString &accountId, const QString &noteId,
                                    const QString &newToken, double now);
    Stored<QList<ShareRecord>> shares(const QString &accountId, const QString &noteId);
    /// False when the account has no live link with that token.
    Stored<bool> revokeShare(const QString &accountId, const QString &token, double now);
    Stored<std::optional<ShareRecord>> liveShare(const QString &token);
    Stored<QList<ShareRecord>> allLiveShares(const QString &accountId);

    // ---- intake ---------------------------------------------------------------------------
    Stored<void> addTelemetry(const QString &accountId, const QByteArray &payload, double now);
    /// Returns the new feedback's identifier.
    Stored<QString> addFeedback(const QString &accountId, const QString &message,
                                const QJsonObject &fields, const QString &files, double now);
    Stored<qint64> count(const QString &table, const QString &accountId);

protected:
    explicit Storage(QString connectionPrefix);
    /// Opens a new connection for the calling thread.
    virtual std::expected<QSqlDatabase, QString> connect(const QString &name) = 0;
    /// Starts a transaction that will write.
    virtual bool beginWrite(QSqlDatabase &db) = 0;
    /// Locks one account's row until the transaction ends; false when it cannot.
    virtual bool lockAccount(QSqlDatabase &db, const QString &accountId) = 0;
    /// Serialises concurrent migrations (several processes starting at once).
    virtual bool lockMigrations(QSqlDatabase &db) = 0;
    std::expected<void, QString> migrate();

    /// The calling thread's connection.
    std::expected<QSqlDatabase, QString> database();

private:
    QString m_prefix;
};
