#include "store/NoteStore.h"

#include "base/AppPaths.h"
#include "base/Localization.h"
#include "markdown/MarkdownBlock.h"
#include "base/DurableFile.h"
#include "store/FolderWatcher.h"
#include "base/UsageRecorder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QThreadPool>
#include <QTimer>
#include <QUndoCommand>
#include <QUndoStack>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

Q_LOGGING_CATEGORY(lcStore, "app.scrivelbar.app.store")

namespace {

const QString kIndexName = QStringLiteral("index.json");
const QString kTrashName = QStringLiteral("trash");
const QString kAttachmentsName = QStringLiteral("attachments");

std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    // Stateless, so that a cut-off sequence at the end counts as an error too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QByteArray> readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

size_t digestOf(const QByteArray &bytes)
{
    return qHash(QByteArrayView(bytes), size_t(0x5c1e));
}

QString newNoteId()
{
    const quint64 value = QRandomGenerator::system()->generate64() & ((quint64(1) << 48) - 1);
    return QString::asprintf("%012llx", static_cast<unsigned long long>(value));
}

bool isProgramId(QStringView piece)
{
    if (piece.size() != 12)
        return false;
    return std::all_of(piece.begin(), piece.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
    });
}

Date modificationDate(const QFileInfo &info)
{
    const QDateTime modified = info.lastModified().toUTC();
    return modified.isValid() ? Date::fromDateTime(modified) : Clock::now();
}

// Top-level Markdown and text files; hidden files (our temporary files among them) are skipped.
QFileInfoList noteFilesOnDisk(const QString &folder, bool *listed = nullptr)
{
    QDir dir(folder);
    QFileInfoList result;
    if (!dir.exists() || !dir.isReadable()) {
        if (listed)
            *listed = false;
        return result;
    }
    if (listed)
        *listed = true;
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : entries) {
        const QString suffix = info.suffix().toLower();
        if (suffix == u"md" || suffix == u"txt")
            result.append(info);
    }
    return result;
}

bool isBlank(const QString &text)
{
    return text.trimmed().isEmpty();
}

// Removes a path only if it is inside `root`, so that no damaged name can reach elsewhere.
void removeTree(const QString &path)
{
    QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else if (info.exists() || info.isSymLink())
        QFile::remove(path);
}

} // namespace

// One undoable body edit. Undo and redo re-apply a body through the store, which marks the
// note dirty and schedules its write just like typing does.
class EditCommand : public QUndoCommand
{
public:
    EditCommand(NoteStore *store, QString id, QString before, QString after)
        : m_store(store)
        , m_id(std::move(id))
        , m_before(std::move(before))
        , m_after(std::move(after))
    {
        setText(L("store.undo.editNote"));
    }
    const QString &noteId() const { return m_id; }
    // The history is of the user's own edits. Once sync, another program or an edit without
    // undo has replaced the text, putting back `before` (or `after`) would throw away text
    // the user never wrote here, and upload the result: such a step no longer applies.
    bool canUndo() const { return shows(m_after); }
    bool canRedo() const { return shows(m_before); }
    void undo() override
    {
        if (!canUndo()) {
            setObsolete(true); // the stack drops it
            return;
        }
        m_store->applyBody(m_id, m_before);
    }
    void redo() override
    {
        // The edit is already applied when the command is pushed.
        if (m_first) {
            m_first = false;
            return;
        }
        if (!canRedo()) {
            setObsolete(true);
            return;
        }
        m_store->applyBody(m_id, m_after);
    }

private:
    bool shows(const QString &body) const
    {
        const auto it = m_store->m_items.constFind(m_id);
        return it != m_store->m_items.cend() && !it->deleted && it->body == body;
    }

    NoteStore *m_store;
    QString m_id;
    QString m_before;
    QString m_after;
    bool m_first = true;
};

// ---------------------------------------------------------------------------------------------

NoteStore::NoteStore(const Options &options, QObject *parent)
    : QObject(parent)
    , m_notesFolder(QDir::cleanPath(
          QFileInfo(options.notesFolder.isEmpty() ? defaultNotesFolder() : options.notesFolder)
              .absoluteFilePath()))
    , m_supportFolder(
          QDir::cleanPath(QFileInfo(options.supportFolder.isEmpty() ? defaultSupportFolder()
                                                                    : options.supportFolder)
                              .absoluteFilePath()))
    , m_options(options)
{
    qRegisterMetaType<Note>();
    m_writerPool = new QThreadPool(this);
    m_writerPool->setMaxThreadCount(1);
    m_undoStack = new QUndoStack(this);
    m_indexTimer = new QTimer(this);
    m_indexTimer->setSingleShot(true);
    m_indexTimer->setInterval(m_options.indexWriteDelay);
    connect(m_indexTimer, &QTimer::timeout, this, [this] {
        if (m_options.backgroundIndexWrites)
            startBackgroundIndexWrite();
        else
            writeIndexNow();
    });
    m_rescanTimer = new QTimer(this);
    m_rescanTimer->setSingleShot(true);
    m_rescanTimer->setInterval(m_options.rescanDelay);
    connect(m_rescanTimer, &QTimer::timeout, this, [this] { rescan(true); });

    migrateFromPreviousAppNameIfNeeded();
    migrateLegacyLayoutIfNeeded();
    load();
    startWatching();
}

NoteStore::~NoteStore()
{
    // Nothing typed may be lost, whoever forgets to flush.
    flush();
    m_writerPool->waitForDone();
}

QString NoteStore::defaultNotesFolder()
{
    return AppPaths::defaultNotesFolder();
}

QString NoteStore::defaultSupportFolder()
{
    return AppPaths::defaultSupportFolder();
}

QString NoteStore::indexPath() const
{
    return QDir(m_supportFolder).filePath(kIndexName);
}

void NoteStore::setLastError(const QString &message)
{
    if (message == m_lastError)
        return;
    m_lastError = message;
    if (!message.isEmpty())
        qCWarning(lcStore).noquote() << message;
    Q_EMIT lastErrorChanged(m_lastError);
}

void NoteStore::setMassDeletionWarning(const QString &message)
{
    if (message == m_massDeletionWarning)
        return;
    m_massDeletionWarning = message;
    Q_EMIT massDeletionWarningChanged(m_massDeletionWarning);
}

// ---- migrations and load ----------------------------------------------------------------------

void NoteStore::migrateFromPreviousAppName(const QString &target)
{
    const QFileInfo info(target);
    if (info.fileName() != u"ScrivelBar")
        return;
    const QString old = QDir(info.absolutePath()).filePath(QStringLiteral("Scrivel"));
    if (QFileInfo(old).isDir() && !info.exists())
        QDir().rename(old, target);
}

void NoteStore::migrateFromPreviousAppNameIfNeeded()
{
    migrateFromPreviousAppName(m_supportFolder);
    migrateFromPreviousAppName(m_notesFolder);
}

void NoteStore::migrateLegacyLayoutIfNeeded()
{
    const QString legacy = QDir(m_supportFolder).filePath(QStringLiteral("notes"));
    QDir legacyDir(legacy);
    if (!legacyDir.exists() || !legacyDir.isReadable())
        return;
    const QStringList entries = legacyDir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                    | QDir::NoDotAndDotDot);
    if (entries.isEmpty() || QFileInfo::exists(m_notesFolder))
        return;
    if (!QDir().mkpath(m_notesFolder)) {
        setLastError(L("store.error.folder", m_notesFolder));
        return;
    }
    for (const QString &name : entries)
        QDir().rename(legacyDir.filePath(name), QDir(m_notesFolder).filePath(name));
    // Only an emptied folder goes: an entry that could not be moved must not be lost.
    QDir().rmdir(legacy);
}

void NoteStore::load()
{
    QDir().mkpath(m_supportFolder);
    QDir().mkpath(m_notesFolder);

    std::optional<IndexFile> index;
    if (auto bytes = readBytes(indexPath()))
        index = IndexFile::decode(*bytes);

    if (index) {
        if (index->skippedRecords > 0)
            qCWarning(lcStore) << "index: left out" << index->skippedRecords << "damaged records";
        m_cursor = index->cursor;
        m_meta = index->meta;
        m_items = index->notes;
        refresh();
        rescan(true);
        embedUnreferencedMedia();
        for (const Note &trashed : trashedNotes()) {
            if (isBlank(trashed.body))
                purge(trashed.id);
        }
        return;
    }

    // Without a usable index the files are the truth: adopt them all; every note is dirty.
    m_cursor = 0;
    for (const QFileInfo &info : noteFilesOnDisk(m_notesFolder))
        adopt(info.absoluteFilePath());
    refresh();
    scheduleIndexWrite();
}

void NoteStore::adopt(const QString &path)
{
    const QFileInfo info(path);
    const auto bytes = readBytes(path);
    if (!bytes)
        return;
    const auto text = decodeUtf8(*bytes);
    if (!text)
        return;

    const QStringList pieces = info.completeBaseName().split(u'-', Qt::SkipEmptyParts);
    const QString last = pieces.isEmpty() ? QString() : pieces.last();
    QString id = (isProgramId(last) && !m_items.contains(last)) ? last : QString();
    while (id.isEmpty() || m_items.contains(id))
        id = newNoteId();

    Note note;
    note.id = id;
    note.body = *text;
    const QDateTime born = info.birthTime().toUTC();
    note.createdAt = born.isValid() ? Date::fromDateTime(born) : Clock::now();
    note.updatedAt = modificationDate(info);
    m_items.insert(id, note);
    m_meta.insert(id, Meta { id, info.fileName(), true, std::nullopt });
    rememberDisk(id, info.fileName(), *bytes);
}

void NoteStore::startWatching()
{
    if (!m_options.watchFolder)
        return;
    delete m_watcher;
    m_watcher = new FolderWatcher([this] { scheduleRescan(); }, this);
    m_watcher->start(m_notesFolder);
}

void NoteStore::scheduleRescan()
{
    m_rescanTimer->start(); // restarting postpones: one rescan after the burst
}

// ---- rescan ---------------------------------------------------------------------------------

void NoteStore::rescan(bool allowDeletions)
{
    // A file whose write is still landing must not look missing or stale.
    waitForAllWrites();
    bool listed = false;
    const QFileInfoList files = noteFilesOnDisk(m_notesFolder, &listed);
    if (!listed) {
        Q_EMIT rescanned();
        return;
    }

    QHash<QString, QString> idByFilename;
    for (const Meta &entry : std::as_const(m_meta)) {
        if (!entry.filename.isEmpty())
            idByFilename.insert(entry.filename, entry.id);
    }

    bool changed = false;
    QSet<QString> seen;
    for (const QFileInfo &info : files) {
        const QString name = info.fileName();
        seen.insert(name);
        const auto known = idByFilename.constFind(name);
        if (known == idByFilename.cend()) {
            const qsizetype before = m_items.size();
            adopt(info.absoluteFilePath());
            changed = changed || m_items.size() != before;
            continue;
        }
        const QString id = *known;
        if (m_writeTasks.contains(id))
            continue; // our own write is pending or recent: the file is not authoritative
        auto item = m_items.find(id);
        if (item == m_items.end() || item->deleted)
            continue;
        // Unchanged files are recognised by size and digest without decoding them.
        const auto bytes = readBytes(info.absoluteFilePath());
        if (!bytes)
            continue;
        const DiskState state = m_disk.value(id);
        if (state.filename == name && state.size == bytes->size()
            && state.digest == digestOf(*bytes))
            continue;
        const auto text = decodeUtf8(*bytes);
        if (!text)
            continue;
        rememberDisk(id, name, *bytes);
        if (*text == item->body)
            continue;
        const Date modified = modificationDate(info);
        if (modified > item->updatedAt) {
            Note updated = *item;
            updated.body = *text;
            updated.updatedAt = std::max(item->updatedAt.addingSeconds(0.001), modified);
            storeNote(updated);
            m_meta[id].dirty = true;
            changed = true;
        }
    }

    auto finish = [&] {
        if (changed) {
            refresh();
            scheduleIndexWrite();
        }
        if (m_watcher && !m_watcher->isRunning())
            m_watcher->start(m_notesFolder); // the folder is back (a drive was mounted again)
        Q_EMIT rescanned();
    };

    if (!allowDeletions) {
        finish();
        return;
    }

    QStringList missing;
    for (const Meta &entry : std::as_const(m_meta)) {
        if (entry.filename.isEmpty() || seen.contains(entry.filename))
            continue;
        const auto item = m_items.constFind(entry.id);
        if (item != m_items.cend() && !item->deleted)
            missing.append(entry.id);
    }
    if (missing.isEmpty()) {
        finish();
        return;
    }

    const qsizetype m = missing.size();
    const qsizetype n = std::count_if(m_items.cbegin(), m_items.cend(),
                                      [](const Note &note) { return !note.deleted; });
    if (m > 5 && n < 2 * m) {
        setMassDeletionWarning(L("store.warning.massDeletion", int(m), int(n)));
        finish();
        return;
    }
    for (const QString &id : std::as_const(missing))
        deleteNote(id);
    changed = true;
    finish();
}

void NoteStore::refresh()
{
    QList<Note> live;
    live.reserve(m_items.size());
    for (const Note &note : std::as_const(m_items)) {
        if (!note.deleted)
            live.append(note);
    }
    std::sort(live.begin(), live.end(), [](const Note &a, const Note &b) {
        if (a.updatedAt != b.updatedAt)
            return a.updatedAt > b.updatedAt;
        return a.id < b.id;
    });
    m_notes = std::move(live);
    Q_EMIT notesChanged(m_notes);
    Q_EMIT changed();
}

// ---- lookups --------------------------------------------------------------------------------

std::optional<Note> NoteStore::note(const QString &id) const
{
    const auto it = m_items.constFind(id);
    if (it == m_items.cend())
        return std::nullopt;
    return *it;
}

std::optional<Meta> NoteStore::meta(const QString &id) const
{
    const auto it = m_meta.constFind(id);
    if (it == m_meta.cend())
        return std::nullopt;
    return *it;
}

std::optional<QString> NoteStore::filePath(const QString &id) const
{
    const auto it = m_meta.constFind(id);
    if (it == m_meta.cend() || it->filename.isEmpty())
        return std::nullopt;
    const QString path = QDir(m_notesFolder).filePath(it->filename);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return path;
}

// ---- index file -----------------------------------------------------------------------------

IndexFile NoteStore::snapshot() const
{
    IndexFile index;
    index.cursor = m_cursor;
    index.notes = m_items; // implicitly shared: cheap, and safe to read on another thread
    index.meta = m_meta;
    return index;
}

namespace {
QString writeIndexFile(const IndexFile &index, const QString &supportFolder, const QString &path)
{
    if (!QDir().mkpath(supportFolder))
        return supportFolder;
    const auto result = DurableFile::write(path, index.encode());
    return result ? QString() : result.error();
}
} // namespace

void NoteStore::scheduleIndexWrite()
{
    m_indexTimer->start();
}

bool NoteStore::hasPendingIndexWrite() const
{
    return m_indexTimer->isActive() || m_indexWriter != nullptr;
}

void NoteStore::startBackgroundIndexWrite()
{
    if (m_indexWriter) {
        m_indexWriteAgain = true; // writes stay in order: the next starts when this one ends
        return;
    }
    m_indexWriter = new QFutureWatcher<QString>(this);
    connect(m_indexWriter, &QFutureWatcher<QString>::finished, this,
            &NoteStore::finishBackgroundIndexWrite);
    m_indexWriter->setFuture(
        QtConcurrent::run(m_writerPool, writeIndexFile, snapshot(), m_supportFolder, indexPath()));
}

void NoteStore::finishBackgroundIndexWrite()
{
    auto *writer = static_cast<QFutureWatcher<QString> *>(sender());
    if (!writer || writer != m_indexWriter)
        return;
    const QString error = writer->result();
    m_indexWriter = nullptr;
    writer->deleteLater();
    if (!error.isEmpty())
        setLastError(L("store.error.index", error));
    if (m_indexWriteAgain) {
        m_indexWriteAgain = false;
        startBackgroundIndexWrite();
    }
}

bool NoteStore::writeIndexNow()
{
    m_indexTimer->stop();
    m_indexWriteAgain = false;
    if (m_indexWriter) {
        // A write in flight holds an older state; let it land before the current one.
        m_indexWriter->waitForFinished();
        const QString error = m_indexWriter->result();
        m_indexWriter->deleteLater();
        m_indexWriter = nullptr;
        if (!error.isEmpty())
            qCWarning(lcStore).noquote() << "earlier index write failed:" << error;
    }
    const QString error = writeIndexFile(snapshot(), m_supportFolder, indexPath());
    if (!error.isEmpty()) {
        setLastError(L("store.error.index", error));
        return false;
    }
    return true;
}

// ---- file naming ----------------------------------------------------------------------------

QString NoteStore::slug(const QString &text)
{
    // Case- and accent-insensitive folding: lower-case, then drop the combining marks.
    const QString decomposed = text.toLower().normalized(QString::NormalizationForm_KD);
    QString result;
    result.reserve(decomposed.size());
    bool lastWasDash = false;
    for (qsizetype i = 0; i < decomposed.size(); ++i) {
        const char32_t c = decomposed.at(i).isHighSurrogate() && i + 1 < decomposed.size()
            ? QChar::surrogateToUcs4(decomposed.at(i), decomposed.at(i + 1))
            : decomposed.at(i).unicode();
        const int width = c > 0xFFFF ? 2 : 1;
        const auto category = QChar::category(c);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing
            || category == QChar::Mark_SpacingCombining) {
            i += width - 1;
            continue;
        }
        if (QChar::isLetterOrNumber(c)) {
            result += decomposed.mid(i, width);
            lastWasDash = false;
        } else if (!result.isEmpty() && !lastWasDash) {
            result += u'-';
            lastWasDash = true;
        }
        i += width - 1;
    }
    while (result.endsWith(u'-'))
        result.chop(1);
    result = TextUtil::prefixCharacters(result, 48);
    return result.isEmpty() ? QStringLiteral("nota") : result;
}

QString NoteStore::desiredFilename(const Note &note)
{
    QString base;
    if (const auto title = note.textTitle())
        base = slug(*title);
    else if (!note.images().isEmpty())
        base = QStringLiteral("image");
    else if (!note.recordings().isEmpty())
        base = QStringLiteral("audio");
    else
        base = QStringLiteral("note");
    return base + u'-' + note.id + QStringLiteral(".md");
}

// ---- writing note files ---------------------------------------------------------------------

void NoteStore::rememberDisk(const QString &id, const QString &filename, const QByteArray &bytes)
{
    m_disk.insert(id, DiskState { filename, digestOf(bytes), bytes.size() });
}

// Before a note file is replaced: if another program changed it since the store last wrote or
// read it, its text must not vanish. When the store has no change of its own to write, the
// file is left for the next rescan to take in (returns false: skip the write). When both sides
// changed, the other program's text becomes a conflict copy and the store's text is written.
bool NoteStore::prepareTarget(const Note &note, const QString &filename, const QByteArray &bytes)
{
    const QString path = QDir(m_notesFolder).filePath(filename);
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    const auto onDisk = readBytes(path);
    if (!onDisk || *onDisk == bytes)
        return true;
    const auto state = m_disk.constFind(note.id);
    const bool known = state != m_disk.cend() && state->filename == filename;
    if (known && state->size == onDisk->size() && state->digest == digestOf(*onDisk))
        return true; // still what we left there
    if (known && state->size == bytes.size() && state->digest == digestOf(bytes))
        return false; // only the other program changed it: the rescan takes its text in
    const QString text = decodeUtf8(*onDisk).value_or(QString::fromUtf8(*onDisk));
    // Settled: the outside text is kept, so the file may be replaced (after a rename too).
    rememberDisk(note.id, filename, *onDisk);
    if (!isBlank(text)) {
        const Note copy = makeConflictCopy(text, modificationDate(info));
        qCInfo(lcStore) << "kept an outside edit of" << filename << "as note" << copy.id;
        Q_EMIT externalConflict(note.id, copy.id);
    }
    return true;
}

bool NoteStore::writeBodyNow(const Note &note)
{
    waitForWrite(note.id); // one write per note at a time, and the disk state is settled
    const QString desired = desiredFilename(note);
    const Meta previous = m_meta.value(note.id);
    const QString old = previous.filename;
    const QByteArray bytes = note.body.toUtf8();
    QDir folder(m_notesFolder);

    auto fail = [&](const QString &description) {
        setLastError(L("store.error.save", note.title(), description));
        return false;
    };

    if (!QDir().mkpath(m_notesFolder))
        return fail(m_notesFolder);

    if (!old.isEmpty() && old != desired && QFileInfo::exists(folder.filePath(old))) {
        if (!prepareTarget(note, old, bytes))
            return true;
        if (QFileInfo::exists(folder.filePath(desired)))
            discard(folder.filePath(desired));
        if (folder.rename(old, desired)) {
            auto state = m_disk.find(note.id);
            if (state != m_disk.end())
                state->filename = desired;
            // The file has its new name even if the write below fails.
            if (auto entry = m_meta.find(note.id); entry != m_meta.end())
                entry->filename = desired;
        }
    }
    if (!prepareTarget(note, desired, bytes))
        return true;
    // The temporary file is written here; syncing and renaming it (the slow part, two
    // fsyncs) happens on the writer thread so that typing never waits for the disk.
    const auto prepared = DurableFile::prepare(folder.filePath(desired), bytes);
    if (!prepared)
        return fail(prepared.error());

    InflightWrite inflight;
    if (const auto state = m_disk.constFind(note.id); state != m_disk.cend())
        inflight.previous = *state;
    inflight.title = note.title();
    rememberDisk(note.id, desired, bytes);
    const bool dirty = m_meta.contains(note.id) ? previous.dirty : true;
    m_meta.insert(note.id, Meta { note.id, desired, dirty, std::nullopt });

    inflight.watcher = new QFutureWatcher<QString>(this);
    auto *watcher = inflight.watcher;
    const QString id = note.id;
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, id, watcher] {
        const auto it = m_inflight.constFind(id);
        if (it != m_inflight.cend() && it->watcher == watcher)
            finishWrite(id);
    });
    m_inflight.insert(id, inflight);
    watcher->setFuture(QtConcurrent::run(m_writerPool, [prepared = *prepared] {
        const auto committed = DurableFile::commit(prepared);
        return committed ? QString() : committed.error();
    }));
    return true;
}

void NoteStore::finishWrite(const QString &id)
{
    const InflightWrite inflight = m_inflight.take(id);
    if (!inflight.watcher)
        return;
    inflight.watcher->waitForFinished();
    const QString error = inflight.watcher->result();
    inflight.watcher->deleteLater();
    if (error.isEmpty())
        return;
    // The old file is still there: remember that, report, and try again at the next flush.
    if (inflight.previous)
        m_disk.insert(id, *inflight.previous);
    else
        m_disk.remove(id);
    writeTask(id);
    setLastError(L("store.error.save", inflight.title, error));
}

void NoteStore::waitForWrite(const QString &id)
{
    if (m_inflight.contains(id))
        finishWrite(id);
}

void NoteStore::waitForAllWrites()
{
    const QStringList ids = m_inflight.keys();
    for (const QString &id : ids)
        finishWrite(id);
}

void NoteStore::storeNote(const Note &note)
{
    m_items.insert(note.id, note);
    m_searchCache.remove(note.id);
}

void NoteStore::discard(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return;
    if (movesToSystemTrash) {
        // Without the data folder, moveToTrash drops the file into the working directory.
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
        QString inTrash;
        if (QFile::moveToTrash(path, &inTrash))
            return;
    }
    removeTree(path);
}

// ---- editing --------------------------------------------------------------------------------

Note NoteStore::create(const QString &body)
{
    UsageRecorder::shared().record(QStringLiteral("note_created"));
    QString id = newNoteId();
    while (m_items.contains(id))
        id = newNoteId();
    Note note;
    note.id = id;
    note.body = body;
    note.createdAt = note.updatedAt = Clock::now();
    storeNote(note);
    m_meta.insert(id, Meta { id, desiredFilename(note), true, std::nullopt });
    refresh();
    writeBodyNow(note);
    scheduleIndexWrite();
    return note;
}

Note NoteStore::makeConflictCopy(const QString &body, Date stampDate)
{
    const QLocale locale = Localization::locale();
    const bool monthFirst
        = locale.language() == QLocale::English && locale.territory() != QLocale::UnitedKingdom;
    const QString format
        = monthFirst ? QStringLiteral("MMM d, HH:mm") : QStringLiteral("d MMM HH:mm");
    const QString when = locale.toString(stampDate.toDateTime().toLocalTime(), format);
    return create(body + QStringLiteral("\n\n---\n") + L("store.conflictCopy", when));
}

void NoteStore::setBody(const QString &body, QString id, bool registerUndo)
{
    const auto it = m_items.constFind(id);
    // A trashed note is not edited: its file is in the trash and must not reappear.
    if (it == m_items.cend() || it->deleted || it->body == body)
        return;
    const QString before = it->body;
    applyBody(id, body);
    if (registerUndo)
        m_undoStack->push(new EditCommand(this, id, before, body));
}

bool NoteStore::canUndo(const QString &id) const
{
    for (int i = m_undoStack->index() - 1; i >= 0; --i) {
        const auto *step = dynamic_cast<const EditCommand *>(m_undoStack->command(i));
        if (!step || step->noteId() != id)
            return false;
        if (step->canUndo())
            return true;
    }
    return false;
}

bool NoteStore::canRedo(const QString &id) const
{
    for (int i = m_undoStack->index(); i < m_undoStack->count(); ++i) {
        const auto *step = dynamic_cast<const EditCommand *>(m_undoStack->command(i));
        if (!step || step->noteId() != id)
            return false;
        if (step->canRedo())
            return true;
    }
    return false;
}

bool NoteStore::undo(const QString &id)
{
    while (m_undoStack->index() > 0) {
        const auto *step
            = dynamic_cast<const EditCommand *>(m_undoStack->command(m_undoStack->index() - 1));
        if (!step || step->noteId() != id)
            return false;
        const int count = m_undoStack->count();
        m_undoStack->undo();
        // A step that no longer applies leaves the stack instead: try the one before it.
        if (m_undoStack->count() == count)
            return true;
    }
    return false;
}

bool NoteStore::redo(const QString &id)
{
    while (m_undoStack->index() < m_undoStack->count()) {
        const auto *step
            = dynamic_cast<const EditCommand *>(m_undoStack->command(m_undoStack->index()));
        if (!step || step->noteId() != id)
            return false;
        const int count = m_undoStack->count();
        m_undoStack->redo();
        if (m_undoStack->count() == count)
            return true;
    }
    return false;
}

void NoteStore::applyBody(QString id, const QString &body)
{
    const auto it = m_items.constFind(id);
    if (it == m_items.cend() || it->deleted || it->body == body)
        return;
    Note note = *it;
    note.body = body;
    note.updatedAt = Clock::now();
    storeNote(note);
    if (auto entry = m_meta.find(id); entry != m_meta.end())
        entry->dirty = true;
    if (!note.attachments.isEmpty())
        reconcileMedia(note);
    refresh();
    scheduleBodyWrite(id);
}

QTimer *NoteStore::writeTask(const QString &id)
{
    QTimer *timer = m_writeTasks.value(id);
    if (!timer) {
        timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(m_options.noteWriteDelay);
        connect(timer, &QTimer::timeout, this, [this, id] {
            const auto it = m_items.constFind(id);
            if (it == m_items.cend() || it->deleted)
                return;
            writeBodyNow(*it);
            scheduleIndexWrite();
        });
        m_writeTasks.insert(id, timer);
    }
    return timer;
}

void NoteStore::scheduleBodyWrite(const QString &id)
{
    writeTask(id)->start();
}

void NoteStore::flush()
{
    const QHash<QString, QTimer *> tasks = std::exchange(m_writeTasks, {});
    for (auto it = tasks.cbegin(); it != tasks.cend(); ++it) {
        QTimer *task = it.value();
        task->stop();
        const auto note = m_items.constFind(it.key());
        if (note != m_items.cend() && !note->deleted && !writeBodyNow(*note)) {
            // The file is stale: keep the entry so that rescans leave it alone and the next
            // flush tries again. (A commit that fails later puts its entry back itself.)
            m_writeTasks.insert(it.key(), task);
            continue;
        }
        delete task;
    }
    waitForAllWrites();
    writeIndexNow();
}

// ---- trash ----------------------------------------------------------------------------------

void NoteStore::deleteNote(QString id)
{
    auto it = m_items.find(id);
    if (it == m_items.end())
        return;
    UsageRecorder::shared().record(QStringLiteral("note_deleted"));
    waitForWrite(id); // a write still landing would put the file back after the move
    const QString filename = m_meta.value(id).filename;
    if (!filename.isEmpty()) {
        const QString path = QDir(m_notesFolder).filePath(filename);
        if (QFileInfo::exists(path)) {
            const QString trash = QDir(m_supportFolder).filePath(kTrashName);
            QDir().mkpath(trash);
            const QString target = QDir(trash).filePath(filename);
            removeTree(target);
            QFile::rename(path, target);
        }
    }
    Note note = *it;
    note.deleted = true;
    note.updatedAt = Clock::now();
    storeNote(note);
    m_meta[id].id = id;
    m_meta[id].dirty = true;
    if (QTimer *task = m_writeTasks.value(id))
        task->stop();
    if (isBlank(note.body))
        purge(id);
    refresh();
    scheduleIndexWrite();
}

void NoteStore::restore(QString id)
{
    const auto it = m_items.constFind(id);
    if (it == m_items.cend() || !it->deleted || m_meta.value(id).isPurged())
        return;
    waitForWrite(id);
    Note note = *it;
    note.deleted = false;
    note.updatedAt = Clock::now();
    storeNote(note);
    m_meta[id].id = id;
    m_meta[id].dirty = true;
    const QString filename = m_meta.value(id).filename;
    if (!filename.isEmpty()) {
        const QString trashed = QDir(QDir(m_supportFolder).filePath(kTrashName)).filePath(filename);
        const QString live = QDir(m_notesFolder).filePath(filename);
        bool moved = false;
        if (QFileInfo::exists(trashed) && !QFileInfo::exists(live)) {
            QDir().mkpath(m_notesFolder);
            moved = QFile::rename(trashed, live);
        }
        if (moved) {
            if (auto bytes = readBytes(live))
                rememberDisk(id, filename, *bytes);
        } else {
            writeBodyNow(note);
        }
    }
    refresh();
    scheduleIndexWrite();
}

void NoteStore::purge(QString id)
{
    const auto it = m_items.constFind(id);
    if (it == m_items.cend() || !it->deleted)
        return;
    const QString filename = m_meta.value(id).filename;
    const QString trash = QDir(m_supportFolder).filePath(kTrashName);
    if (!filename.isEmpty())
        removeTree(QDir(trash).filePath(filename));
    removeTree(QDir(m_notesFolder).filePath(kAttachmentsName + u'/' + id));
    removeTree(QDir(trash).filePath(kAttachmentsName + u'/' + id));
    Note tombstone = *it;
    tombstone.body.clear();
    tombstone.attachments.clear();
    storeNote(tombstone);
    m_meta[id].id = id;
    m_meta[id].purged = true;
    m_disk.remove(id);
    refresh();
    scheduleIndexWrite();
}

QList<Note> NoteStore::trashedNotes() const
{
    QList<Note> result;
    for (const Note &note : m_items) {
        if (note.deleted && !m_meta.value(note.id).isPurged())
            result.append(note);
    }
    std::sort(result.begin(), result.end(), [](const Note &a, const Note &b) {
        if (a.updatedAt != b.updatedAt)
            return a.updatedAt > b.updatedAt;
        return a.id < b.id;
    });
    return result;
}

void NoteStore::emptyTrash()
{
    for (const Note &note : trashedNotes())
        purge(note.id);
    removeTree(QDir(m_supportFolder).filePath(kTrashName + u'/' + kAttachmentsName));
    for (const Note &note : std::as_const(m_notes)) {
        if (note.attachments.isEmpty())
            continue;
        const QList<Attachment> referenced = note.referencedAttachments();
        if (referenced.size() == note.attachments.size())
            continue;
        Note kept = note;
        kept.attachments = referenced;
        // Keep the original order of the list.
        kept.attachments.clear();
        for (const Attachment &attachment : note.attachments) {
            if (referenced.contains(attachment))
                kept.attachments.append(attachment);
        }
        storeNote(kept);
    }
    refresh();
    scheduleIndexWrite();
}

void NoteStore::deleteAllNotes()
{
    flush();
    for (const Note &note : trashedNotes())
        purge(note.id);
    const Date now = Clock::now();
    const QList<Note> live = m_notes;
    for (const Note &note : live) {
        const QString filename = m_meta.value(note.id).filename;
        if (!filename.isEmpty())
            discard(QDir(m_notesFolder).filePath(filename));
        Note tombstone = note;
        tombstone.deleted = true;
        tombstone.updatedAt = now;
        tombstone.body.clear();
        tombstone.attachments.clear();
        storeNote(tombstone);
        Meta &entry = m_meta[note.id];
        entry.id = note.id;
        entry.dirty = true;
        entry.purged = true;
        m_disk.remove(note.id);
    }
    discard(QDir(m_notesFolder).filePath(kAttachmentsName));
    removeTree(QDir(m_supportFolder).filePath(kTrashName));
    m_undoStack->clear();
    refresh();
    scheduleIndexWrite();
}

// ---- checkboxes and search ------------------------------------------------------------------

void NoteStore::toggleCheckbox(int index, QString id)
{
    const auto it = m_items.constFind(id);
    if (it == m_items.cend() || index < 0)
        return;
    // The preview numbers the boxes with the block parser's rules; map back with the same rules.
    const QList<qsizetype> boxes = Markdown::checkboxLines(it->body);
    if (index >= boxes.size())
        return;
    QStringList lines = it->body.split(u'\n');
    QString &line = lines[boxes[index]];
    // Flip the mark in place; the rest of the line, indentation included, stays.
    qsizetype start = 0;
    while (start < line.size() && (line[start] == u' ' || line[start] == u'\t'))
        ++start;
    const qsizetype bracket = line.indexOf(u'[', start + 1);
    if (bracket < 0 || bracket + 2 >= line.size() || line.at(bracket + 2) != u']')
        return;
    const QChar mark = line.at(bracket + 1);
    line[bracket + 1] = mark == u' ' ? QChar(u'x') : QChar(u' ');
    setBody(lines.join(u'\n'), id, true);
}

QString NoteStore::searchText(const Note &note) const
{
    auto it = m_searchCache.find(note.id);
    if (it == m_searchCache.end()) {
        const auto stored = m_items.constFind(note.id);
        if (stored == m_items.cend() || stored->body != note.body)
            return note.body.toLower(); // a note the store does not hold in this version
        it = m_searchCache.insert(note.id, note.body.toLower());
    }
    return *it;
}

QList<Note> NoteStore::search(const QString &query, std::optional<Note::Tag> tag,
                              const std::optional<QList<Note>> &in) const
{
    const QList<Note> &source = in ? *in : m_notes;
    const QString trimmed = query.trimmed();
    if (!tag && trimmed.isEmpty())
        return source;
    const QStringList words = trimmed.toLower().split(u' ', Qt::SkipEmptyParts);
    QList<Note> result;
    for (const Note &note : source) {
        if (tag && !note.tags().contains(*tag))
            continue;
        if (!words.isEmpty()) {
            const QString text = searchText(note);
            const bool all = std::all_of(words.cbegin(), words.cend(),
                                         [&](const QString &word) { return text.contains(word); });
            if (!all)
                continue;
        }
        result.append(note);
    }
    return result;
}

// ---- sync interface -------------------------------------------------------------------------

int NoteStore::dirtyCount() const
{
    return int(
        std::count_if(m_meta.cbegin(), m_meta.cend(), [](const Meta &m) { return m.dirty; }));
}

QList<Note> NoteStore::dirtyNotes(int limit) const
{
    QList<Note> result;
    for (const Meta &entry : m_meta) {
        if (!entry.dirty)
            continue;
        const auto it = m_items.constFind(entry.id);
        if (it != m_items.cend())
            result.append(*it);
    }
    std::sort(result.begin(), result.end(), [](const Note &a, const Note &b) {
        if (a.updatedAt != b.updatedAt)
            return a.updatedAt < b.updatedAt;
        return a.id < b.id;
    });
    if (limit >= 0 && result.size() > limit)
        result.resize(limit);
    return result;
}

void NoteStore::markAccepted(const QList<QString> &ids, const QHash<QString, Date> &pushedAt)
{
    for (const QString &id : ids) {
        const auto it = m_items.constFind(id);
        const auto pushed = pushedAt.constFind(id);
        if (it == m_items.cend() || pushed == pushedAt.cend())
            continue;
        if (!(it->updatedAt > *pushed)) {
            if (auto entry = m_meta.find(id); entry != m_meta.end())
                entry->dirty = false;
        }
    }
    scheduleIndexWrite();
}

std::optional<Note> NoteStore::applyRemote(const Note &incoming)
{
    // Names from the server become paths: refuse what is not a plain name.
    if (!DurableFile::isSafeComponent(incoming.id))
        return std::nullopt;
    Note remote = incoming;
    remote.attachments.removeIf(
        [](const Attachment &a) { return !DurableFile::isSafeComponent(a.filename); });

    std::optional<Note> copy;
    const auto local = m_items.constFind(remote.id);
    if (local != m_items.cend()) {
        if (local->updatedAt >= remote.updatedAt)
            return std::nullopt;
        if (m_meta.value(remote.id).dirty && !isBlank(local->body) && local->body != remote.body) {
            const QString localBody = local->body;
            const Date localUpdated = local->updatedAt;
            copy = makeConflictCopy(localBody, localUpdated);
        }
    }
    waitForWrite(remote.id);
    const QString previousFilename = m_meta.value(remote.id).filename;
    if (remote.deleted) {
        // Through discard, so a text another program put there is still in the desktop trash.
        if (!previousFilename.isEmpty())
            discard(QDir(m_notesFolder).filePath(previousFilename));
        remote.body.clear();
        storeNote(remote);
        m_meta.insert(remote.id, Meta { remote.id, previousFilename, false, std::nullopt });
        m_disk.remove(remote.id);
        if (QTimer *task = m_writeTasks.value(remote.id))
            task->stop();
    } else {
        storeNote(remote);
        m_meta.insert(remote.id, Meta { remote.id, previousFilename, false, std::nullopt });
        if (QTimer *task = m_writeTasks.value(remote.id))
            task->stop(); // the remote text replaces whatever was waiting to be written
        writeBodyNow(remote);
        m_meta[remote.id].dirty = false;
    }
    refresh();
    scheduleIndexWrite();
    return copy;
}

void NoteStore::resetSyncState()
{
    m_cursor = 0;
    for (Meta &entry : m_meta)
        entry.dirty = true;
    scheduleIndexWrite();
}
