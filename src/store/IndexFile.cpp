#include "store/IndexFile.h"

#include "base/DurableFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

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
    if (!fileHash.isEmpty() && fileSize) {
        object.insert(QStringLiteral("fileHash"), fileHash);
        object.insert(QStringLiteral("fileSize"), *fileSize);
    }
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
    // Optional and advisory: a damaged value only costs the recognition of an outside edit.
    const QJsonValue hash = object.value(u"fileHash");
    const QJsonValue size = object.value(u"fileSize");
    if (hash.isString() && size.isDouble() && size.toDouble() >= 0
        && size.toDouble() == std::floor(size.toDouble())) {
        meta.fileHash = hash.toString();
        meta.fileSize = qint64(size.toDouble());
    }
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
    QJsonObject root {
        { QStringLiteral("version"), currentVersion },
        { QStringLiteral("cursor"), cursor },
        { QStringLiteral("notes"), noteArray },
        { QStringLiteral("meta"), metaArray },
    };
    if (!heldMissing.isEmpty())
        root.insert(QStringLiteral("heldMissing"), QJsonArray::fromStringList(heldMissing));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool isNoteFilename(QStringView name)
{
    if (!DurableFile::isSafeComponent(name) || name.startsWith(u'.'))
        return false;
    return name.endsWith(u".md", Qt::CaseInsensitive) || name.endsWith(u".txt", Qt::CaseInsensitive);
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
        // Only a damaged or hand-made index repeats an id. Keep the newest record (the first
        // of equals) and hand the others back, so that their text is not silently dropped.
        const auto existing = index.notes.find(note->id);
        if (existing == index.notes.end()) {
            index.notes.insert(note->id, *note);
        } else if (note->updatedAt > existing->updatedAt) {
            index.duplicateNotes.append(*existing);
            *existing = *note;
        } else {
            index.duplicateNotes.append(*note);
        }
    }
    QSet<QString> filenames;
    for (const QJsonValue &item : meta.toArray()) {
        auto entry = Meta::fromJson(item);
        if (!entry || !index.notes.contains(entry->id)) {
            ++index.skippedRecords;
            continue;
        }
        if (index.meta.contains(entry->id)) {
            ++index.duplicateMeta; // the first entry wins
            continue;
        }
        // A name that is not a plain note file name could lead outside the notes folder or
        // onto the media folder: forget it. The rescan finds the note's file by the id in its
        // name, and the note gets its proper name on its next write.
        if (!entry->filename.isEmpty() && !isNoteFilename(entry->filename)) {
            ++index.unsafeFilenames;
            entry->filename.clear();
            entry->fileHash.clear();
            entry->fileSize.reset();
        }
        // Two notes never share a file; the later one finds its own by its id.
        if (!entry->filename.isEmpty() && filenames.contains(entry->filename)) {
            ++index.duplicateMeta;
            entry->filename.clear();
            entry->fileHash.clear();
            entry->fileSize.reset();
        }
        if (!entry->filename.isEmpty())
            filenames.insert(entry->filename);
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
    const QJsonValue held = root.value(u"heldMissing");
    if (held.isArray()) {
        for (const QJsonValue &id : held.toArray()) {
            if (id.isString() && index.notes.contains(id.toString()))
                index.heldMissing.append(id.toString());
        }
    }
    return index;
}
