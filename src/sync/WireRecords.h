#pragma once

#include "store/Note.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <expected>
#include <optional>

/// An answer from the server that could not be used: a member missing or of the wrong type,
/// malformed JSON, or an answer larger than the client accepts. It is not an `APIError`: the
/// server answered, but with something we cannot read.
struct DecodeError
{
    /// Technical detail for the log ("notes[3].createdAt: expected a number").
    QString detail;
    /// The user-facing description ("error.invalidResponse").
    QString description() const;
    bool operator==(const DecodeError &) const = default;
};

template<typename T> using Decoded = std::expected<T, DecodeError>;

/// Decoding limits and name checks for everything that arrives from the server.
namespace Wire {
/// The most entries one JSON array of an answer may hold; more fails the whole answer.
inline constexpr qsizetype maxArrayItems = 10000;
/// The longest note or attachment identifier taken from the server (UTF-8 bytes).
inline constexpr qsizetype maxIdentifierBytes = 128;
/// The longest media file name taken from the server (UTF-8 bytes; a file system's limit).
inline constexpr qsizetype maxFilenameBytes = 255;

/// True when `name` may become one component of a path under the notes folder: a safe
/// component (not "." or "..", no "/", "\\" or NUL), no control characters, and at most
/// `maxBytes` bytes of UTF-8.
bool isUsableName(QStringView name, qsizetype maxBytes);

/// Parses `bytes` as a JSON object; a `DecodeError` for anything else.
Decoded<QJsonObject> parseObject(const QByteArray &bytes);
} // namespace Wire

/// The signed-in account.
struct APIUser
{
    QString id;
    QString email;
    std::optional<QString> avatarUrl;

    static Decoded<APIUser> fromJson(const QJsonValue &value, const QString &path = {});
    QJsonObject toJson() const;
    bool operator==(const APIUser &) const = default;
};

/// An image or recording of a note as it travels.
struct WireAttachment
{
    QString id;
    QString kind; ///< "image" or "audio" when we send; anything when we receive
    QString filename;
    double createdAt = 0; ///< milliseconds since 1970
    std::optional<double> duration;

    static Decoded<WireAttachment> fromJson(const QJsonValue &value, const QString &path = {});
    QJsonObject toJson() const;
    bool operator==(const WireAttachment &) const = default;
};

/// A note as it travels in a sync request or answer.
struct WireNote
{
    QString id;
    QString title;
    QString body;
    QString format = QStringLiteral("md");
    double createdAt = 0; ///< milliseconds since 1970
    double updatedAt = 0; ///< milliseconds since 1970
    bool deleted = false;
    QList<WireAttachment> attachments;

    static Decoded<WireNote> fromJson(const QJsonValue &value, const QString &path = {});
    /// All eight members, always.
    QJsonObject toJson() const;

    /// The note as it is pushed: the derived title (empty for the untitled placeholder), "md",
    /// times in milliseconds, and the attachments its body references (none when deleted).
    static WireNote fromNote(const Note &note);
    /// The note as the store takes it in. Fails (the record is skipped) when the identifier
    /// cannot name a file; attachments of an unknown kind or with an unusable file name are
    /// dropped.
    std::expected<Note, QString> toNote() const;

    bool operator==(const WireNote &) const = default;
};

/// One media file the server lacks and asks for.
struct MediaRef
{
    QString noteId;
    QString filename;

    static Decoded<MediaRef> fromJson(const QJsonValue &value, const QString &path = {});
    QJsonObject toJson() const;
    bool operator==(const MediaRef &) const = default;
};

inline size_t qHash(const MediaRef &ref, size_t seed = 0)
{
    return qHashMulti(seed, ref.noteId, ref.filename);
}

/// The answer of "/v1/sync".
struct SyncResponse
{
    qint64 cursor = 0;
    bool hasMore = false;
    double serverTime = 0;
    QList<WireNote> notes;
    QStringList accepted;
    QList<WireNote> rejected;
    /// Present (even empty) when the server handles media.
    std::optional<QList<MediaRef>> mediaWanted;

    static Decoded<SyncResponse> fromJson(const QJsonValue &value);
    QJsonObject toJson() const;
};

/// The body of "/v1/sync": the sender's cursor (0 before its first sync) and its changes.
struct SyncRequest
{
    qint64 cursor = 0;
    QList<WireNote> changes;

    static Decoded<SyncRequest> fromJson(const QJsonValue &value);
    QJsonObject toJson() const;
};

/// The body of "/v1/auth/google": the browser flow's outcome for the server to exchange.
struct GoogleSignInRequest
{
    QString code;
    QString redirectUri;
    QString codeVerifier;
    QString device;
    bool acceptedTerms = false;

    static Decoded<GoogleSignInRequest> fromJson(const QJsonValue &value);
    QJsonObject toJson() const;
};

/// The answer of a sign-in.
struct AuthResponse
{
    QString token;
    double expiresAt = 0;
    APIUser user;

    static Decoded<AuthResponse> fromJson(const QJsonValue &value);
    QJsonObject toJson() const;
};

/// What a server offers (nested in `ServerHealth`).
struct Capabilities
{
    bool signup = false;
    bool media = false;
    bool google = false;
    std::optional<QString> googleClientId;
    std::optional<QString> termsUrl;
    std::optional<QString> termsVersion;

    static Decoded<Capabilities> fromJson(const QJsonValue &value, const QString &path = {});
    QJsonObject toJson() const;
    bool operator==(const Capabilities &) const = default;
};

/// The answer of "/health".
struct ServerHealth
{
    bool ok = false;
    QString version;
    QString db;
    Capabilities capabilities;

    static Decoded<ServerHealth> fromJson(const QJsonValue &value);
    QJsonObject toJson() const;
    bool operator==(const ServerHealth &) const = default;
};

/// The account's media storage, from "/v1/media/usage".
struct MediaUsage
{
    qint64 usedBytes = 0;
    qint64 quotaBytes = 0;
    qint64 maxFileBytes = 0;

    /// 0 for a quota below 1; else used ÷ quota × 100, rounded half away from zero, in 0…100.
    int percent() const;

    static Decoded<MediaUsage> fromJson(const QJsonValue &value);
    QJsonObject toJson() const;
    bool operator==(const MediaUsage &) const = default;
};

/// A public read-only link to a note.
struct ShareLink
{
    QString token;
    QUrl url;

    static Decoded<ShareLink> fromJson(const QJsonValue &value, const QString &path = {});
    QJsonObject toJson() const;
    bool operator==(const ShareLink &) const = default;
};

/// The account's telemetry flags.
struct TelemetryState
{
    bool beta = false;
    bool required = false;
    bool enabled = false;

    static Decoded<TelemetryState> fromJson(const QJsonValue &value, const QString &path = {});
    QJsonObject toJson() const;
    bool operator==(const TelemetryState &) const = default;
};
