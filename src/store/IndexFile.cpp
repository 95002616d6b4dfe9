#include "store/IndexFile.h"

#include "store/IndexReader.h"

#include "base/DurableFile.h"
#include "store/JsonText.h"
#include "store/JsonView.h"

#include <QFile>
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
        if (!fileStamp.isEmpty())
            object.insert(QStringLiteral("fileStamp"), fileStamp);
    }
    return object;
}

std::optional<Meta> Meta::fromJson(const QJsonValue &value)
{
    return readMeta(QtJsonView(value));
}

namespace {

// An object or array being written: members at `level`, the closing bracket one level out.
// Qt's encoder puts every member on its own line and the brackets of an empty one on two.
class Container
{
public:
    Container(JsonText &json, int level, char open, char close)
        : m_json(json), m_level(level), m_close(close)
    {
        m_json.out() += open;
        m_json.out() += '\n';
    }
    ~Container()
    {
        if (!m_first)
            m_json.out() += '\n';
        m_json.indent(m_level - 1);
        m_json.out() += m_close;
    }
    Container(const Container &) = delete;
    Container &operator=(const Container &) = delete;

    /// Starts the next member of an object (keys must come in sorted order).
    JsonText &member(const char *name)
    {
        next();
        m_json.key(m_level, name);
        return m_json;
    }
    /// Starts the next element of an array.
    JsonText &element()
    {
        next();
        m_json.indent(m_level);
        return m_json;
    }
    int level() const { return m_level; }

private:
    void next()
    {
        if (!m_first)
            m_json.out() += ",\n";
        m_first = false;
    }

    JsonText &m_json;
    int m_level;
    char m_close;
    bool m_first = true;
};

void writeAttachment(JsonText &json, int level, const Attachment &attachment)
{
    Container object(json, level, '{', '}');
    object.member("createdAt").number(attachment.createdAt.seconds);
    if (attachment.duration)
        object.member("duration").number(*attachment.duration);
    object.member("filename").string(attachment.filename);
    object.member("id").string(attachment.id);
    object.member("kind").string(Attachment::kindRawValue(attachment.kind));
}

void writeNote(JsonText &json, int level, const Note &note)
{
    Container object(json, level, '{', '}');
    object.member("attachments");
    {
        Container list(json, level + 1, '[', ']');
        for (const Attachment &attachment : note.attachments) {
            list.element();
            writeAttachment(json, level + 2, attachment);
        }
    }
    object.member("body").string(note.body.view());
    object.member("createdAt").number(note.createdAt.seconds);
    object.member("deleted").boolean(note.deleted);
    object.member("id").string(note.id);
    object.member("updatedAt").number(note.updatedAt.seconds);
}

void writeMeta(JsonText &json, int level, const Meta &entry)
{
    Container object(json, level, '{', '}');
    object.member("dirty").boolean(entry.dirty);
    const bool recorded = !entry.fileHash.isEmpty() && entry.fileSize;
    if (recorded) {
        object.member("fileHash").string(entry.fileHash);
        object.member("fileSize").integer(*entry.fileSize);
        if (!entry.fileStamp.isEmpty())
            object.member("fileStamp").string(entry.fileStamp);
    }
    object.member("filename").string(entry.filename);
    object.member("id").string(entry.id);
    if (entry.purged)
        object.member("purged").boolean(*entry.purged);
}

} // namespace

namespace {

// Streamed: a document tree of every body would be a second and third copy of all the text,
// and building it costs more than writing the text itself. With `write`, the text goes out in
// pieces between records, so that even the bytes are never all in memory at once; without
// it, everything stays in `out`.
bool encodeIndex(const IndexFile &index, QByteArray &out, qsizetype chunk,
                 const std::function<bool(QByteArrayView)> &write,
                 const std::function<void(Meta &)> &completeMeta)
{
    bool ok = true;
    const auto drain = [&] {
        if (write && ok && out.size() >= chunk) {
            ok = write(QByteArrayView(out));
            out.resize(0);
        }
    };
    JsonText json(out);
    {
        Container root(json, 1, '{', '}');
        root.member("cursor").integer(index.cursor);
        if (!index.heldMissing.isEmpty()) {
            root.member("heldMissing");
            Container list(json, 2, '[', ']');
            for (const QString &id : index.heldMissing)
                list.element().string(id);
        }
        root.member("meta");
        {
            Container list(json, 2, '[', ']');
            for (const Meta &entry : index.meta) {
                list.element();
                if (completeMeta) {
                    Meta complete = entry;
                    completeMeta(complete);
                    writeMeta(json, 3, complete);
                } else {
                    writeMeta(json, 3, entry);
                }
                drain();
            }
        }
        root.member("notes");
        {
            Container list(json, 2, '[', ']');
            for (const Note &note : index.notes) {
                list.element();
                writeNote(json, 3, note);
                drain();
                if (!ok)
                    break;
            }
        }
        root.member("version").integer(IndexFile::currentVersion);
    }
    out += '\n';
    if (write && ok)
        ok = write(QByteArrayView(out));
    return ok;
}

} // namespace

bool IndexFile::encode(const std::function<bool(QByteArrayView)> &write, qsizetype chunk,
                       const std::function<void(Meta &)> &completeMeta) const
{
    QByteArray out;
    out.reserve(std::min<qsizetype>(chunk, 8 << 20) + 4096);
    return encodeIndex(*this, out, chunk, write, completeMeta);
}

QByteArray IndexFile::encode() const
{
    QByteArray out;
    qsizetype estimate = 4096;
    for (const Note &note : notes)
        estimate += note.body.byteSize() + note.body.byteSize() / 16 + 256;
    out.reserve(estimate + meta.size() * 256);
    encodeIndex(*this, out, 0, {}, {});
    return out;
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

namespace {

template<typename View> std::optional<IndexFile> decodeIndex(const View &root)
{
    if (!root.isObject())
        return std::nullopt;
    const View version = root.member("version");
    const View cursor = root.member("cursor");
    const View notes = root.member("notes");
    const View meta = root.member("meta");
    if (!version.isNumber() || !cursor.isNumber() || !notes.isArray() || !meta.isArray())
        return std::nullopt;
    const double cursorValue = cursor.toDouble();
    if (!std::isfinite(cursorValue) || cursorValue != std::floor(cursorValue))
        return std::nullopt;

    IndexBuilder builder;
    builder.setCursor(qint64(cursorValue));
    notes.forEach([&](const View &item) { builder.addNote(readNote(item)); });
    meta.forEach([&](const View &item) { builder.addMeta(readMeta(item)); });
    QStringList held;
    root.member("heldMissing").forEach([&](const View &id) {
        if (id.isString())
            held.append(id.toString());
    });
    return builder.finish(held);
}

} // namespace

void IndexBuilder::addNote(std::optional<Note> note)
{
    if (!note || !isSafeNote(*note)) {
        ++m_index.skippedRecords;
        return;
    }
    // Only a damaged or hand-made index repeats an id. Keep the newest record (the first of
    // equals) and hand the others back, so that their text is not silently dropped.
    const auto existing = m_index.notes.find(note->id);
    if (existing == m_index.notes.end()) {
        QString id = note->id;
        m_index.notes.emplace(std::move(id), std::move(*note));
    } else if (note->updatedAt > existing->updatedAt) {
        m_index.duplicateNotes.append(*existing);
        *existing = std::move(*note);
    } else {
        m_index.duplicateNotes.append(std::move(*note));
    }
}

void IndexBuilder::addMeta(std::optional<Meta> entry)
{
    const auto note = entry ? m_index.notes.constFind(entry->id) : m_index.notes.cend();
    if (note == m_index.notes.cend()) {
        ++m_index.skippedRecords;
        return;
    }
    // One copy of the id serves the note, its bookkeeping and every table keyed by it.
    entry->id = note.key();
    if (m_index.meta.contains(entry->id)) {
        ++m_index.duplicateMeta; // the first entry wins
        return;
    }
    // A name that is not a plain note file name could lead outside the notes folder or onto
    // the media folder: forget it. The rescan finds the note's file by the id in its name, and
    // the note gets its proper name on its next write.
    const auto forgetFile = [&] {
        entry->filename.clear();
        entry->fileHash.clear();
        entry->fileSize.reset();
        entry->fileStamp.clear();
    };
    if (!entry->filename.isEmpty() && !isNoteFilename(entry->filename)) {
        ++m_index.unsafeFilenames;
        forgetFile();
    }
    // Two notes never share a file; the later one finds its own by its id.
    if (!entry->filename.isEmpty() && m_filenames.contains(entry->filename)) {
        ++m_index.duplicateMeta;
        forgetFile();
    }
    if (!entry->filename.isEmpty())
        m_filenames.insert(entry->filename);
    QString id = entry->id;
    m_index.meta.emplace(std::move(id), std::move(*entry));
}

IndexFile IndexBuilder::finish(const QStringList &held)
{
    // A note without bookkeeping cannot be tied to its file; leaving it out lets the file be
    // adopted again under the same identifier instead of turning into a duplicate.
    for (auto it = m_index.notes.begin(); it != m_index.notes.end();) {
        if (m_index.meta.contains(it.key())) {
            ++it;
        } else {
            ++m_index.skippedRecords;
            it = m_index.notes.erase(it);
        }
    }
    for (const QString &id : held) {
        if (m_index.notes.contains(id))
            m_index.heldMissing.append(id);
    }
    m_filenames.clear();
    return std::move(m_index);
}

std::optional<IndexFile> IndexFile::decode(const QByteArray &data)
{
    // RapidJSON reads the index several times faster than Qt's parser. It is stricter in a few
    // corners (a byte order mark, a lone surrogate escape); whatever it refuses is read again
    // by Qt's parser, so no index that loaded before is ever called damaged now.
    // (A NUL byte would end the in-place text early; only Qt's parser reads such a file.)
    if (!data.contains('\0')) {
        QByteArray text(data.constData(), data.size()); // parsed in place: strings stay in it
        rapidjson::Document document;
        constexpr unsigned flags = rapidjson::kParseInsituFlag | rapidjson::kParseValidateEncodingFlag
            | rapidjson::kParseFullPrecisionFlag | rapidjson::kParseIterativeFlag;
        document.ParseInsitu<flags>(text.data());
        if (!document.HasParseError())
            return decodeIndex(RapidJsonView(&document));
    }
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return decodeIndex(QtJsonView(document.object()));
}

std::optional<IndexFile> IndexFile::read(const QString &path)
{
    if (auto index = IndexReader::readFast(path))
        return index;
    // Anything the streaming reader did not take (a byte order mark, a repeated top-level
    // member, a damaged file) is decoded whole, by the same rules as ever.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decode(file.readAll());
}
