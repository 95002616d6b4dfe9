#include "sync/WireRecords.h"

#include "base/Localization.h"
#include "base/DurableFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

QString DecodeError::description() const
{
    return L("error.invalidResponse");
}

namespace Wire {

bool isUsableName(QStringView name, qsizetype maxBytes)
{
    if (!DurableFile::isSafeComponent(name))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return name.toUtf8().size() <= maxBytes;
}

Decoded<QJsonObject> parseObject(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return std::unexpected(DecodeError { QStringLiteral("not JSON: ") + error.errorString() });
    if (!document.isObject())
        return std::unexpected(DecodeError { QStringLiteral("not a JSON object") });
    return document.object();
}

} // namespace Wire

namespace {

// One object being decoded. The first failure wins and carries the member's path, so the log
// says which part of an answer was wrong.
class Reader
{
public:
    Reader(const QJsonValue &value, QString path)
        : m_path(std::move(path))
    {
        if (!value.isObject())
            fail(m_path.isEmpty() ? QStringLiteral("answer") : m_path,
                 QStringLiteral("expected an object"));
        m_object = value.toObject();
    }

    bool ok() const { return !m_error; }
    DecodeError error() const { return *m_error; }

    QString path(const char *key) const
    {
        const QString name = QString::fromLatin1(key);
        return m_path.isEmpty() ? name : m_path + u'.' + name;
    }

    // Absent or null counts as absent for optional members.
    bool present(const char *key) const
    {
        const QJsonValue value = m_object.value(QLatin1String(key));
        return !value.isUndefined() && !value.isNull();
    }
    QJsonValue raw(const char *key) const { return m_object.value(QLatin1String(key)); }

    QString string(const char *key) { return required(key, &Reader::asString, QString()); }
    bool boolean(const char *key) { return required(key, &Reader::asBool, false); }
    double number(const char *key) { return required(key, &Reader::asNumber, 0.0); }
    qint64 integer(const char *key) { return required(key, &Reader::asInteger, qint64(0)); }

    std::optional<QString> optionalString(const char *key)
    {
        return optional(key, &Reader::asString, QString());
    }
    std::optional<bool> optionalBool(const char *key)
    {
        return optional(key, &Reader::asBool, false);
    }
    std::optional<double> optionalNumber(const char *key)
    {
        return optional(key, &Reader::asNumber, 0.0);
    }

    template<typename T, typename Decode>
    std::optional<QList<T>> optionalArray(const char *key, Decode decode)
    {
        if (!present(key))
            return std::nullopt;
        return array<T>(key, decode);
    }

    template<typename T, typename Decode> QList<T> array(const char *key, Decode decode)
    {
        QList<T> result;
        if (!ok())
            return result;
        const QJsonValue value = raw(key);
        if (!value.isArray()) {
            fail(path(key),
                 value.isUndefined() ? QStringLiteral("missing")
                                     : QStringLiteral("expected an array"));
            return result;
        }
        const QJsonArray items = value.toArray();
        if (items.size() > Wire::maxArrayItems) {
            fail(path(key), QStringLiteral("more than %1 entries").arg(Wire::maxArrayItems));
            return result;
        }
        result.reserve(items.size());
        for (qsizetype i = 0; i < items.size(); ++i) {
            const QString itemPath = path(key) + u'[' + QString::number(i) + u']';
            auto item = decode(items.at(i), itemPath);
            if (!item) {
                m_error = item.error();
                return {};
            }
            result.append(std::move(*item));
        }
        return result;
    }

    void fail(const QString &where, const QString &what)
    {
        if (!m_error)
            m_error = DecodeError { where + QStringLiteral(": ") + what };
    }

private:
    static std::optional<QString> asString(const QJsonValue &v)
    {
        return v.isString() ? std::optional(v.toString()) : std::nullopt;
    }
    static std::optional<bool> asBool(const QJsonValue &v)
    {
        return v.isBool() ? std::optional(v.toBool()) : std::nullopt;
    }
    static std::optional<double> asNumber(const QJsonValue &v)
    {
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            return std::nullopt;
        return v.toDouble();
    }
    static std::optional<qint64> asInteger(const QJsonValue &v)
    {
        if (!v.isDouble())
            return std::nullopt;
        // Whole numbers that fit a qint64 only: 1.5 or 1e300 are not integers.
        const QVariant variant = v.toVariant();
        if (variant.typeId() == QMetaType::LongLong)
            return variant.toLongLong();
        const double d = v.toDouble();
        if (!std::isfinite(d) || std::trunc(d) != d || std::fabs(d) > 9.0e15)
            return std::nullopt;
        return qint64(d);
    }

    template<typename T>
    T required(const char *key, std::optional<T> (*convert)(const QJsonValue &), T fallback)
    {
        if (!ok())
            return fallback;
        const QJsonValue value = raw(key);
        if (value.isUndefined()) {
            fail(path(key), QStringLiteral("missing"));
            return fallback;
        }
        const auto converted = convert(value);
        if (!converted) {
            fail(path(key), QStringLiteral("wrong type"));
            return fallback;
        }
        return *converted;
    }

    template<typename T>
    std::optional<T> optional(const char *key, std::optional<T> (*convert)(const QJsonValue &),
                              T fallback)
    {
        Q_UNUSED(fallback);
        if (!ok() || !present(key))
            return std::nullopt;
        const auto converted = convert(raw(key));
        if (!converted)
            fail(path(key), QStringLiteral("wrong type"));
        return converted;
    }

    QJsonObject m_object;
    QString m_path;
    std::optional<DecodeError> m_error;
};

template<typename T> Decoded<T> finish(const Reader &reader, T value)
{
    if (!reader.ok())
        return std::unexpected(reader.error());
    return value;
}

QString stringMember(const QJsonValue &value)
{
    return value.toString();
}

} // namespace

// ---- APIUser -------------------------------------------------------------------------------

Decoded<APIUser> APIUser::fromJson(const QJsonValue &value, const QString &path)
{
    Reader r(value, path);
    APIUser user;
    user.id = r.string("id");
    user.email = r.string("email");
    user.avatarUrl = r.optionalString("avatarUrl");
    return finish(r, user);
}

QJsonObject APIUser::toJson() const
{
    QJsonObject object { { QStringLiteral("id"), id }, { QStringLiteral("email"), email } };
    if (avatarUrl)
        object.insert(QStringLiteral("avatarUrl"), *avatarUrl);
    return object;
}

// ---- WireAttachment ------------------------------------------------------------------------

Decoded<WireAttachment> WireAttachment::fromJson(const QJsonValue &value, const QString &path)
{
    Reader r(value, path);
    WireAttachment attachment;
    attachment.id = r.string("id");
    attachment.kind = r.string("kind");
    attachment.filename = r.string("filename");
    attachment.createdAt = r.number("createdAt");
    attachment.duration = r.optionalNumber("duration");
    return finish(r, attachment);
}

QJsonObject WireAttachment::toJson() const
{
    QJsonObject object {
        { QStringLiteral("id"), id },
        { QStringLiteral("kind"), kind },
        { QStringLiteral("filename"), filename },
        { QStringLiteral("createdAt"), createdAt },
    };
    if (duration)
        object.insert(QStringLiteral("duration"), *duration);
    return object;
}

// ---- WireNote ------------------------------------------------------------------------------

Decoded<WireNote> WireNote::fromJson(const QJsonValue &value, const QString &path)
{
    Reader r(value, path);
    WireNote note;
    note.id = r.string("id");
    note.title = r.optionalString("title").value_or(QString());
    note.body = r.optionalString("body").value_or(QString());
    note.format = r.optionalString("format").value_or(QStringLiteral("md"));
    note.createdAt = r.number("createdAt");
    note.updatedAt = r.number("updatedAt");
    note.deleted = r.optionalBool("deleted").value_or(false);
    note.attachments = r.optionalArray<WireAttachment>("attachments", &WireAttachment::fromJson)
                           .value_or(QList<WireAttachment>());
    return finish(r, note);
}

QJsonObject WireNote::toJson() const
{
    QJsonArray list;
    for (const WireAttachment &attachment : attachments)
        list.append(attachment.toJson());
    return QJsonObject {
        { QStringLiteral("id"), id },
        { QStringLiteral("title"), title },
        { QStringLiteral("body"), body },
        { QStringLiteral("format"), format },
        { QStringLiteral("createdAt"), createdAt },
        { QStringLiteral("updatedAt"), updatedAt },
        { QStringLiteral("deleted"), deleted },
        { QStringLiteral("attachments"), list },
    };
}

WireNote WireNote::fromNote(const Note &note)
{
    WireNote wire;
    wire.id = note.id;
    wire.body = note.body;
    const QString title = note.title();
    wire.title = title == L("note.untitled") ? QString() : title;
    wire.format = QStringLiteral("md");
    wire.createdAt = note.createdAt.unixMilliseconds();
    wire.updatedAt = note.updatedAt.unixMilliseconds();
    wire.deleted = note.deleted;
    if (!note.deleted) {
        for (const Attachment &attachment : note.referencedAttachments()) {
            wire.attachments.append(WireAttachment {
                attachment.id,
                Attachment::kindRawValue(attachment.kind),
                attachment.filename,
                attachment.createdAt.unixMilliseconds(),
                attachment.duration,
            });
        }
    }
    return wire;
}

std::expected<Note, QString> WireNote::toNote() const
{
    // The identifier names the note's file and its attachment folder.
    if (!Wire::isUsableName(id, Wire::maxIdentifierBytes))
        return std::unexpected(QStringLiteral("unusable note identifier"));
    Note note;
    note.id = id;
    note.body = body;
    note.deleted = deleted;
    note.createdAt = Date::fromUnixMilliseconds(createdAt);
    note.updatedAt = Date::fromUnixMilliseconds(updatedAt);
    for (const WireAttachment &wire : attachments) {
        const auto kind = Attachment::kindFromRawValue(wire.kind);
        if (!kind || !Wire::isUsableName(wire.filename, Wire::maxFilenameBytes))
            continue;
        note.attachments.append(Attachment {
            wire.id,
            *kind,
            wire.filename,
            Date::fromUnixMilliseconds(wire.createdAt),
            wire.duration,
        });
    }
    return note;
}

// ---- MediaRef and SyncResponse --------------------------------------------------------------

Decoded<MediaRef> MediaRef::fromJson(const QJsonValue &value, const QString &path)
{
    Reader r(value, path);
    MediaRef ref;
    ref.noteId = r.string("noteId");
    ref.filename = r.string("filename");
    return finish(r, ref);
}

Decoded<SyncResponse> SyncResponse::fromJson(const QJsonValue &value)
{
    Reader r(value, {});
    SyncResponse response;
    response.cursor = r.integer("cursor");
    response.hasMore = r.boolean("hasMore");
    response.serverTime = r.number("serverTime");
    response.notes = r.array<WireNote>("notes", &WireNote::fromJson);
    response.accepted = r.array<QString>("accepted", [](const QJsonValue &v, const QString &p) {
        return v.isString()
            ? Decoded<QString>(stringMember(v))
            : Decoded<QString>(std::unexpected(DecodeError { p + QStringLiteral(": wrong type") }));
    });
    response.rejected = r.array<WireNote>("rejected", &WireNote::fromJson);
    response.mediaWanted = r.optionalArray<MediaRef>("mediaWanted", &MediaRef::fromJson);
    return finish(r, response);
}

// ---- the account records --------------------------------------------------------------------

Decoded<AuthResponse> AuthResponse::fromJson(const QJsonValue &value)
{
    Reader r(value, {});
    AuthResponse response;
    response.token = r.string("token");
    response.expiresAt = r.number("expiresAt");
    if (r.ok()) {
        auto user = APIUser::fromJson(r.raw("user"), r.path("user"));
        if (!user)
            return std::unexpected(user.error());
        response.user = *user;
    }
    return finish(r, response);
}

Decoded<Capabilities> Capabilities::fromJson(const QJsonValue &value, const QString &path)
{
    Reader r(value, path);
    Capabilities c;
    c.signup = r.boolean("signup");
    c.media = r.boolean("media");
    c.google = r.boolean("google");
    c.googleClientId = r.optionalString("googleClientId");
    c.termsUrl = r.optionalString("termsUrl");
    c.termsVersion = r.optionalString("termsVersion");
    return finish(r, c);
}

Decoded<ServerHealth> ServerHealth::fromJson(const QJsonValue &value)
{
    Reader r(value, {});
    ServerHealth health;
    health.ok = r.boolean("ok");
    health.version = r.string("version");
    health.db = r.string("db");
    if (r.ok()) {
        auto capabilities = Capabilities::fromJson(r.raw("capabilities"), r.path("capabilities"));
        if (!capabilities)
            return std::unexpected(capabilities.error());
        health.capabilities = *capabilities;
    }
    return finish(r, health);
}

int MediaUsage::percent() const
{
    if (quotaBytes < 1)
        return 0;
    const double value = std::round(double(usedBytes) / double(quotaBytes) * 100.0);
    return int(std::clamp(value, 0.0, 100.0));
}

Decoded<MediaUsage> MediaUsage::fromJson(const QJsonValue &value)
{
    Reader r(value, {});
    MediaUsage usage;
    usage.usedBytes = r.integer("usedBytes");
    usage.quotaBytes = r.integer("quotaBytes");
    usage.maxFileBytes = r.integer("maxFileBytes");
    return finish(r, usage);
}

Decoded<ShareLink> ShareLink::fromJson(const QJsonValue &value, const QString &path)
{
    Reader r(value, path);
    ShareLink link;
    link.token = r.string("token");
    const QString url = r.string("url");
    if (r.ok()) {
        link.url = QUrl(url, QUrl::StrictMode);
        // The address is copied for the user to paste anywhere: only a web page will do.
        const QString scheme = link.url.scheme().toLower();
        if (!link.url.isValid() || link.url.host().isEmpty()
            || (scheme != u"https" && scheme != u"http"))
            r.fail(r.path("url"), QStringLiteral("not a web address"));
    }
    return finish(r, link);
}

Decoded<TelemetryState> TelemetryState::fromJson(const QJsonValue &value, const QString &path)
{
    Reader r(value, path);
    TelemetryState state;
    state.beta = r.boolean("beta");
    state.required = r.boolean("required");
    state.enabled = r.boolean("enabled");
    return finish(r, state);
}

// ---- encoding the answers (the server's side of the same records) ---------------------------

QJsonObject MediaRef::toJson() const
{
    return QJsonObject { { QStringLiteral("noteId"), noteId },
                         { QStringLiteral("filename"), filename } };
}

namespace {
QJsonArray noteArray(const QList<WireNote> &notes)
{
    QJsonArray list;
    for (const WireNote &note : notes)
        list.append(note.toJson());
    return list;
}
} // namespace

QJsonObject SyncResponse::toJson() const
{
    QJsonObject object {
        { QStringLiteral("cursor"), cursor },
        { QStringLiteral("hasMore"), hasMore },
        { QStringLiteral("serverTime"), serverTime },
        { QStringLiteral("notes"), noteArray(notes) },
        { QStringLiteral("accepted"), QJsonArray::fromStringList(accepted) },
        { QStringLiteral("rejected"), noteArray(rejected) },
    };
    if (mediaWanted) {
        QJsonArray wanted;
        for (const MediaRef &ref : *mediaWanted)
            wanted.append(ref.toJson());
        object.insert(QStringLiteral("mediaWanted"), wanted);
    }
    return object;
}

Decoded<SyncRequest> SyncRequest::fromJson(const QJsonValue &value)
{
    Reader r(value, {});
    SyncRequest request;
    request.cursor = r.integer("cursor");
    request.changes = r.array<WireNote>("changes", &WireNote::fromJson);
    return finish(r, request);
}

QJsonObject SyncRequest::toJson() const
{
    return QJsonObject { { QStringLiteral("cursor"), cursor },
                         { QStringLiteral("changes"), noteArray(changes) } };
}

Decoded<GoogleSignInRequest> GoogleSignInRequest::fromJson(const QJsonValue &value)
{
    Reader r(value, {});
    GoogleSignInRequest request;
    request.code = r.string("code");
    request.redirectUri = r.string("redirectUri");
    request.codeVerifier = r.string("codeVerifier");
    request.device = r.optionalString("device").value_or(QString());
    request.acceptedTerms = r.optionalBool("acceptedTerms").value_or(false);
    return finish(r, request);
}

QJsonObject GoogleSignInRequest::toJson() const
{
    return QJsonObject {
        { QStringLiteral("code"), code },
        { QStringLiteral("redirectUri"), redirectUri },
        { QStringLiteral("codeVerifier"), codeVerifier },
        { QStringLiteral("device"), device },
        { QStringLiteral("acceptedTerms"), acceptedTerms },
    };
}

QJsonObject AuthResponse::toJson() const
{
    return QJsonObject { { QStringLiteral("token"), token },
                         { QStringLiteral("expiresAt"), expiresAt },
                         { QStringLiteral("user"), user.toJson() } };
}

QJsonObject Capabilities::toJson() const
{
    QJsonObject object { { QStringLiteral("signup"), signup },
                         { QStringLiteral("media"), media },
                         { QStringLiteral("google"), google } };
    if (googleClientId)
        object.insert(QStringLiteral("googleClientId"), *googleClientId);
    if (termsUrl)
        object.insert(QStringLiteral("termsUrl"), *termsUrl);
    if (termsVersion)
        object.insert(QStringLiteral("termsVersion"), *termsVersion);
    return object;
}

QJsonObject ServerHealth::toJson() const
{
    return QJsonObject { { QStringLiteral("ok"), ok },
                         { QStringLiteral("version"), version },
                         { QStringLiteral("db"), db },
                         { QStringLiteral("capabilities"), capabilities.toJson() } };
}

QJsonObject MediaUsage::toJson() const
{
    return QJsonObject { { QStringLiteral("usedBytes"), usedBytes },
                         { QStringLiteral("quotaBytes"), quotaBytes },
                         { QStringLiteral("maxFileBytes"), maxFileBytes } };
}

QJsonObject ShareLink::toJson() const
{
    return QJsonObject { { QStringLiteral("token"), token },
                         { QStringLiteral("url"), url.toString(QUrl::FullyEncoded) } };
}

QJsonObject TelemetryState::toJson() const
{
    return QJsonObject { { QStringLiteral("beta"), beta },
                         { QStringLiteral("required"), required },
                         { QStringLiteral("enabled"), enabled } };
}
