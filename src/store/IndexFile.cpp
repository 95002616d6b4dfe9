#include "store/IndexFile.h"

#include "base/DurableFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

QJsonObject Meta::toJson() const
{
    QJsonObject object {
        { QStringLiteral("id"), id },
        { QStringLiteral("filename"), filename },
        { QStringLiteral("dirty"), dirty },
    };
    if (purged)
        object.insert(QStringLiteral("purged"), *purged);
    return object;
}

std::optional<Meta> Meta::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue id = object.value(u"id");
    const QJsonValue filename = object.value(u"filename");
    const QJsonValue dirty = object.value(u"dirty");
    const QJsonValue purged = object.value(u"purged");
    if (!id.isString() || !filename.isString() || !dirty.isBool())
        return std::nullopt;
    Meta meta;
    meta.id = id.toString();
    meta.filename = filename.toString();
    meta.dirty = dirty.toBool();
    if (purged.isBool())
        meta.purged = purged.toBool();
    else if (!purged.isUndefined() && !purged.isNull())
        return std::nullopt;
    return meta;
}

QByteArray IndexFile::encode() const
{
    QJsonArray noteArray;
    for (const Note &note : notes)
        noteArray.append(note.toJson());
    QJsonArray metaArray;
    for (const Meta &entry : meta)
        metaArray.append(entry.toJson());
    const QJsonObject root {
        { QStringLiteral("version"), currentVersion },
        { QStringLiteral("cursor"), cursor },
        { QStringLiteral("notes"), noteArray },
        { QStringLiteral("meta"), metaArray },
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

namespace {

bool isFiniteDate(Date date)
{
    return std::isfinite(date.seconds);
}

// A record is kept only if every name in it can safely become a path.
bool isSafeNote(const Note &note)
{
    if (!DurableFile::isSafeComponent(note.id) || !isFiniteDate(note.createdAt)
        || !isFiniteDate(note.updatedAt))
        return false;
    for (const Attachment &attachment : note.attachments) {
        if (!DurableFile::isSafeComponent(attachment.filename))
            return false;
    }
    return true;
}

} // namespace

std::optional<IndexFile> IndexFile::decode(const QByteArray &data)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    const QJsonValue version = root.value(u"version");
    const QJsonValue cursor = root.value(u"cursor");
    const QJsonValue notes = root.value(u"notes");
    const QJsonValue meta = root.value(u"meta");
    if (!version.isDouble() || !cursor.isDouble() || !notes.isArray() || !meta.isArray())
        return std::nullopt;
    const double cursorValue = cursor.toDouble();
    if (!std::isfinite(cursorValue) || cursorValue != std::floor(cursorValue))
        return std::nullopt;

    IndexFile index;
    index.cursor = qint64(cursorValue);
    for (const QJsonValue &item : notes.toArray()) {
        auto note = Note::fromJson(item);
        if (!note || !isSafeNote(*note)) {
            ++index.skippedRecords;
            continue;
        }
        index.notes.insert(note->id, *note); // a later duplicate replaces an earlier one
    }
    for (const QJsonValue &item : meta.toArray()) {
        auto entry = Meta::fromJson(item);
        if (!entry || !index.notes.contains(entry->id)) {
            ++index.skippedRecords;
            continue;
        }
        // A file name that is not a plain name would lead outside the notes folder: forget it,
        // and the note gets its proper name on its next write.
        if (!entry->filename.isEmpty() && !DurableFile::isSafeComponent(entry->filename))
            entry->filename.clear();
        index.meta.insert(entry->id, *entry);
    }
    // A note without bookkeeping cannot be tied to its file; leaving it out lets the file be
    // adopted again under the same identifier instead of turning into a duplicate.
    for (auto it = index.notes.begin(); it != index.notes.end();) {
        if (index.meta.contains(it.key())) {
            ++it;
        } else {
            ++index.skippedRecords;
            it = index.notes.erase(it);
        }
    }
    return index;
}
