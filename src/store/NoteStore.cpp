#include "store/NoteStore.h"

#include "base/AppPaths.h"
#include "base/Localization.h"
#include "markdown/MarkdownBlock.h"
#include "base/DurableFile.h"
#include "store/FolderWatcher.h"
#include "store/TextSearch.h"
#include "base/UsageRecorder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QMutexLocker>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTextBoundaryFinder>
#include <QThreadPool>
#include <QTimer>
#include <QUndoCommand>
#include <QUndoStack>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcStore, "app.scrivelbar.app.store")

namespace {

const QString kIndexName = QStringLiteral("index.json");
const QString kTrashName = QStringLiteral("trash");
const QString kAttachmentsName = QStringLiteral("attachments");

// NAME_MAX is 255 bytes; the durable write's temporary name adds "." and ".tmp-" with up to
// 13 characters (19 bytes); "-" + a 12-digit id + ".md" take 16 more.
constexpr qsizetype kMaxSlugBytes = 255 - 19 - 16;

std::optional<QByteArray> readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QByteArray digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

std::optional<std::pair<quint64, quint64>> folderIdentityOf(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;
    return std::pair<quint64, quint64>(quint64(info.st_dev), quint64(info.st_ino));
}

bool folderIsEmpty(const QString &path)
{
    return QDir(path)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .isEmpty();
}

// The last "-"-separated piece of a file's base name: where the store puts a note's id.
QString idPieceOf(const QString &fileName)
{
    // The complete base name: everything before the last dot.
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QStringList pieces
        = (dot < 0 ? fileName : fileName.first(dot)).split(u'-', Qt::SkipEmptyParts);
    return pieces.isEmpty() ? QString() : pieces.last();
}

QString timeStamp()
{
    return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
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

using FileTimes = NoteStore::FileTimes;

// In milliseconds, as QFileInfo gives it: notes taken in by a listing and by QFileInfo agree.
Date modificationDate(const FileTimes &times)
{
    const qint64 ms = times.modifiedNs / 1000000 - (times.modifiedNs % 1000000 < 0 ? 1 : 0);
    return Date::fromUnixMilliseconds(double(ms));
}

FileTimes fileTimesOf(const struct stat &status)
{
    return FileTimes { qint64(status.st_size),
                       qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
                       qint64(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec };
}

// What proves a file unchanged without reading it: its size and its modification and change
// times. The change time cannot be set back by any program, so equal stamps mean equal bytes,
// provided the stamp was taken when both times were safely past: a later write within the same
// tick of a coarse file system clock could otherwise leave all three as they were.
std::optional<FileTimes> fileTimesAt(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return fileTimesOf(status);
}

// When the file was made, to the millisecond as QFileInfo gives it; now when the file
// system does not know.
Date creationDate(const QString &path)
{
    struct statx status {};
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), 0, STATX_BTIME, &status) == 0
        && (status.stx_mask & STATX_BTIME))
        return Date::fromUnixMilliseconds(double(qint64(status.stx_btime.tv_sec) * 1000
                                                 + status.stx_btime.tv_nsec / 1000000));
    return Clock::now();
}

// The index keeps a stamp as "size:modified:changed", the times in nanoseconds.
QString formatStamp(const FileTimes &times)
{
    return QString::number(times.size) + u':' + QString::number(times.modifiedNs) + u':'
        + QString::number(times.changedNs);
}

std::optional<FileTimes> parseStamp(QStringView text)
{
    const qsizetype first = text.indexOf(u':');
    const qsizetype second = first < 0 ? -1 : text.indexOf(u':', first + 1);
    if (second < 0)
        return std::nullopt;
    bool sizeOk = false, modifiedOk = false, changedOk = false;
    const FileTimes times { text.first(first).toLongLong(&sizeOk),
                            text.sliced(first + 1, second - first - 1).toLongLong(&modifiedOk),
                            text.sliced(second + 1).toLongLong(&changedOk) };
    if (!sizeOk || !modifiedOk || !changedOk || times.size < 0)
        return std::nullopt;
    return times;
}

bool stampSettled(const FileTimes &times, std::chrono::milliseconds delay)
{
    const qint64 now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    const qint64 limit = now - std::chrono::duration_cast<std::chrono::nanoseconds>(delay).count();
    return times.modifiedNs <= limit && times.changedNs <= limit;
}

// Whether anything (a link included) is there under `path`.
bool exists(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

bool hasNoteSuffix(const char *name, size_t length)
{
    const auto endsWith = [&](const char *suffix, size_t suffixLength) {
        if (length <= suffixLength)
            return false;
        const char *tail = name + length - suffixLength;
        for (size_t i = 0; i < suffixLength; ++i) {
            const char c = tail[i];
            if ((c >= 'A' && c <= 'Z' ? char(c + 32) : c) != suffix[i])
                return false;
        }
        return true;
    };
    return endsWith(".md", 3) || endsWith(".txt", 4);
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

NoteStore::FolderListing NoteStore::listNoteFiles(const QString &folder)
{
    FolderListing listing;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return listing;
    const int dirFd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            // A folder that fails half-way (a drive going away) is not a folder without
            // the rest of its notes.
            listing.listed = errno == 0;
            break;
        }
        const char *name = entry->d_name;
        if (name[0] == '.') // hidden, our temporary files among them
            continue;
        const size_t length = std::strlen(name);
        if (!hasNoteSuffix(name, length))
            continue;
        struct stat status {};
        if (::fstatat(dirFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const bool link = S_ISLNK(status.st_mode);
        // Only regular files and links go on: a FIFO or a device would block or never end
        // when read.
        if (!link && !S_ISREG(status.st_mode))
            continue;
        listing.files.push_back(
            FileEntry { QFile::decodeName(QByteArray(name, qsizetype(length))), link, fileTimesOf(status) });
    }
    ::closedir(dir);
    if (!listing.listed)
        listing.files.clear();
    std::sort(listing.files.begin(), listing.files.end(),
              [](const FileEntry &a, const FileEntry &b) { return a.name < b.name; });
    return listing;
}

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
    m_indexRecord = std::make_shared<IndexWriteRecord>();
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
    connect(m_rescanTimer, &QTimer::timeout, this, &NoteStore::startBackgroundRescan);
    m_retryTimer = new QTimer(this);
    m_retryTimer->setSingleShot(true);
    m_retryTimer->setInterval(m_options.retryDelay);
    connect(m_retryTimer, &QTimer::timeout, this, &NoteStore::retryPending);

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

QString NoteStore::backupIndexPath() const
{
    return indexPath() + QStringLiteral(".bak");
}

void NoteStore::load()
{
    if (!m_options.readOnly) {
        QDir().mkpath(m_supportFolder);
        // Only this process writes here now (it holds the lock): what matches our temporary
        // pattern is left by a writer that was killed.
        DurableFile::removeStaleTemporaries(m_supportFolder);
    }

    const auto listFolder = [folder = m_notesFolder, clean = !m_options.readOnly] {
        if (clean)
            DurableFile::removeStaleTemporaries(folder);
        return listNoteFiles(folder);
    };
    const QString path = indexPath();
    const bool checkLater = m_options.checkFolderLater && !m_options.readOnly && QFileInfo::exists(path);
    // Otherwise the notes folder is listed on another core while this one reads the index:
    // at start the two are most of the work, and neither needs the other.
    QFuture<FolderListing> listing;
    if (!checkLater)
        listing = QtConcurrent::run(listFolder);

    std::optional<IndexFile> index;
    bool cleanIndex = false;
    if (QFileInfo::exists(path)) {
        index = IndexFile::read(path);
        if (index) {
            m_indexRecord->wrote(path, std::nullopt);
            cleanIndex = index->skippedRecords == 0 && index->duplicateNotes.isEmpty()
                && index->duplicateMeta == 0 && index->unsafeFilenames == 0;
        } else {
            // Never replace a damaged index without a copy: it may hold what the files do not
            // (trash, attachments, sync state). Then fall back to the last good one.
            QString kept = path;
            if (!m_options.readOnly) {
                kept = path + QStringLiteral(".damaged-") + timeStamp();
                if (!QFile::rename(path, kept))
                    kept = path;
            }
            if (QFileInfo::exists(backupIndexPath()))
                index = IndexFile::read(backupIndexPath());
            setLastError(index ? L("store.error.indexRestored", kept)
                               : L("store.error.indexRebuilt", kept));
        }
    }

    bool knowsFiles = false;
    if (index) {
        for (const Meta &entry : std::as_const(index->meta))
            knowsFiles = knowsFiles || !entry.filename.isEmpty();
    }
    FolderListing files = listing.isValid() ? listing.result() : FolderListing {};
    // A missing folder that held notes is most likely a drive that is not mounted: creating
    // it would put new files beneath the mount point. The rescan reports it instead.
    if (!m_options.readOnly && !knowsFiles)
        QDir().mkpath(m_notesFolder);

    if (index) {
        const int repaired = index->skippedRecords + int(index->duplicateNotes.size())
            + index->duplicateMeta + index->unsafeFilenames;
        if (repaired > 0) {
            qCWarning(lcStore) << "index: left out" << index->skippedRecords
                               << "damaged records," << repaired - index->skippedRecords
                               << "repeated or unsafe ones";
            if (m_lastError.isEmpty())
                setLastError(L("store.error.indexRepaired", repaired));
        }
        m_cursor = index->cursor;
        m_meta = std::move(index->meta);
        m_items = std::move(index->notes);
        // What the index says of each file is kept once, compactly, beside the bookkeeping.
        m_disk.reserve(m_meta.size());
        for (Meta &entry : m_meta) {
            if (!entry.filename.isEmpty() && entry.fileSize && !entry.fileHash.isEmpty())
                m_disk.insert(entry.id,
                              DiskState { entry.filename,
                                          QByteArray::fromHex(entry.fileHash.toLatin1()),
                                          *entry.fileSize, parseStamp(entry.fileStamp) });
            entry.fileHash.clear();
            entry.fileSize.reset();
            entry.fileStamp.clear();
        }
        m_held = index->heldMissing;
        if (!m_held.isEmpty())
            Q_EMIT massDeletionHeldChanged(m_held);
        refresh();
        m_newStamps = 0;
        if (checkLater) {
            // The notes the index holds are there to show now; the folder is listed on
            // another core meanwhile and taken in from the event loop.
            m_afterRescan = [this, duplicates = std::move(index->duplicateNotes), cleanIndex] {
                finishLoad(duplicates, cleanIndex);
            };
            // Writes may run by the time the listing is done: what killed writers left is
            // removed then, between writes, on this thread.
            m_removeTemporariesFirst = true;
            startBackgroundRescan();
            return;
        }
        // Listed before the folder may have been made: listed again then.
        rescanWith(files.listed ? std::move(files) : listNoteFiles(m_notesFolder), !m_options.readOnly);
        finishLoad(index->duplicateNotes, cleanIndex);
        return;
    }

    // Without a usable index the files are the truth: adopt them all; every note is dirty.
    m_cursor = 0;
    QStringList unreadable;
    if (!files.listed)
        files = listing.isValid() ? listNoteFiles(m_notesFolder) : listFolder();
    QStringList paths;
    for (const FileEntry &file : files.files) {
        if (file.symlink)
            unreadable.append(file.name); // never followed
        else
            paths.append(QDir(m_notesFolder).filePath(file.name));
    }
    readInBatches(paths, [&](qsizetype i, FileContent content) {
        if (!adopt(paths.at(i), std::move(content)))
            unreadable.append(QFileInfo(paths.at(i)).fileName());
    });
    setUnreadableFiles(unreadable);
    m_folderIdentity = folderIdentityOf(m_notesFolder);
    refresh();
    scheduleIndexWrite();
}

void NoteStore::finishLoad(const QList<Note> &duplicates, bool cleanIndex)
{
    if (m_options.readOnly) {
        Q_EMIT folderChecked();
        return;
    }
    // Files read in full this time are proven unchanged by their stamps from now on, once
    // the index holds them.
    if (m_newStamps > 0)
        scheduleIndexWrite();
    // A duplicate record's text that the kept record does not have survives as a copy.
    for (const Note &duplicate : duplicates) {
        const auto kept = m_items.constFind(duplicate.id);
        if (!duplicate.body.isBlank() && (kept == m_items.cend() || kept->body != duplicate.body))
            makeConflictCopy(duplicate.body, duplicate.updatedAt, true);
    }
    embedUnreferencedMedia();
    for (const Note &trashed : trashedNotes()) {
        if (trashed.body.isBlank())
            purge(trashed.id);
    }
    // Read as written and nothing changed since (no edit either, which may be waiting for
    // its file to be written before it asks for an index write): the file needs no rewrite.
    if (cleanIndex && !hasPendingIndexWrite() && m_writeTasks.isEmpty())
        m_indexWritten = snapshot();
    Q_EMIT folderChecked();
}

NoteStore::FileContent NoteStore::readContent(const QString &path)
{
    FileContent content;
    content.bytes = readBytes(path);
    if (content.bytes) {
        content.digest = digestOf(*content.bytes);
        content.text = NoteText::fromFileBytes(*content.bytes);
    }
    return content;
}

void NoteStore::readInBatches(const QStringList &paths,
                              const std::function<void(qsizetype, FileContent)> &use)
{
    constexpr qsizetype batch = 128;
    for (qsizetype from = 0; from < paths.size(); from += batch) {
        const QStringList part = paths.mid(from, batch);
        QList<FileContent> contents = part.size() > 8
            ? QtConcurrent::blockingMapped(part, &NoteStore::readContent)
            : [&] {
                  QList<FileContent> read;
                  for (const QString &path : part)
                      read.append(readContent(path));
                  return read;
              }();
        for (qsizetype i = 0; i < contents.size(); ++i)
            use(from + i, std::move(contents[i]));
    }
}

bool NoteStore::adopt(const QString &path)
{
    return adopt(path, readContent(path));
}

bool NoteStore::adopt(const QString &path, FileContent content)
{
    if (!content.bytes || !content.text)
        return false;
    const QString name = QFileInfo(path).fileName();
    const QString last = idPieceOf(name);
    QString id = (isProgramId(last) && !m_items.contains(last)) ? last : QString();
    while (id.isEmpty() || m_items.contains(id))
        id = newNoteId();

    Note note;
    note.id = id;
    note.body = std::move(*content.text);
    note.createdAt = creationDate(path);
    const auto times = fileTimesAt(path);
    note.updatedAt = times ? modificationDate(*times) : Clock::now();
    m_items.insert(id, note);
    ++m_filesRead;
    m_meta.insert(id, Meta { id, name, true, std::nullopt });
    rememberDisk(id, name, content.bytes->size(), content.digest);
    rememberStamp(id, name);
    return true;
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

void NoteStore::markFolderUnavailable()
{
    // Said once per outage: the retry timer keeps looking without repeating the message.
    if (!m_folderUnavailable)
        setLastError(L("store.error.folder", m_notesFolder));
    m_folderUnavailable = true;
    if (!m_options.readOnly)
        m_retryTimer->start();
}

void NoteStore::setUnreadableFiles(const QStringList &names)
{
    QStringList sorted = names;
    sorted.sort();
    sorted.removeDuplicates();
    if (sorted == m_unreadable)
        return;
    m_unreadable = sorted;
    if (!sorted.isEmpty())
        qCWarning(lcStore) << "cannot read as notes:" << sorted;
    Q_EMIT unreadableFilesChanged(m_unreadable);
}

void NoteStore::setHeld(QStringList ids)
{
    ids.sort();
    if (ids == m_held)
        return;
    m_held = ids;
    Q_EMIT massDeletionHeldChanged(m_held);
}

void NoteStore::linkFile(const QString &id, const QString &filename)
{
    m_meta[id].id = id;
    m_meta[id].filename = filename;
    // The recorded bytes stay valid: a renamed file that still holds them is unchanged.
    if (auto state = m_disk.find(id); state != m_disk.end())
        state->filename = filename;
}

// Reads one file that belongs to a note and reconciles it with the note.
bool NoteStore::takeInReads(const QString &id, const FileEntry &file) const
{
    if (m_writeTasks.contains(id) || file.symlink)
        return false;
    const auto item = m_items.constFind(id);
    const auto entry = m_meta.constFind(id);
    if (item == m_items.cend() || (entry != m_meta.cend() && entry->isPurged()))
        return false;
    const auto state = m_disk.constFind(id);
    return !stampProvesUnchanged(state == m_disk.cend() ? nullptr : &*state, *item, file);
}

bool NoteStore::stampProvesUnchanged(const DiskState *state, const Note &note,
                                     const FileEntry &file)
{
    return state && state->filename == file.name && state->size >= 0 && !note.deleted
        && state->stamp && state->size == file.times.size && *state->stamp == file.times;
}

NoteStore::TakeIn NoteStore::takeIn(const QString &id, const FileEntry &file,
                                    QStringList &unreadable, std::optional<FileContent> content)
{
    if (m_writeTasks.contains(id))
        return TakeIn::Unchanged; // our own write is pending or recent: not authoritative
    const auto item = m_items.constFind(id);
    const auto entry = m_meta.constFind(id);
    if (item == m_items.cend() || (entry != m_meta.cend() && entry->isPurged()))
        return TakeIn::Unchanged;
    const QString &name = file.name;
    if (file.symlink) {
        unreadable.append(name);
        return TakeIn::Unchanged;
    }
    const auto found = m_disk.constFind(id);
    if (stampProvesUnchanged(found == m_disk.cend() ? nullptr : &*found, *item, file))
        return TakeIn::Unchanged; // the bytes we recorded, without reading them again
    const DiskState state = found == m_disk.cend() ? DiskState {} : *found;
    const bool recorded = state.filename == name && state.size >= 0;
    ++m_filesRead;
    const QString path = QDir(m_notesFolder).filePath(name);
    const FileContent read = content ? std::move(*content) : readContent(path);
    const std::optional<QByteArray> &bytes = read.bytes;
    if (!bytes) {
        if (exists(path))
            unreadable.append(name);
        return TakeIn::Unchanged;
    }
    const bool unchanged = recorded && state.size == bytes->size() && state.digest == read.digest;
    if (unchanged && !item->deleted) {
        rememberStamp(id, name);
        return TakeIn::Unchanged;
    }
    const std::optional<NoteText> &text = read.text;
    if (!text) {
        unreadable.append(name);
        if (!item->deleted)
            return TakeIn::Unchanged;
        // The file is back, if in a form we cannot read: the note is not deleted. It keeps its
        // text, and the file stays untouched until the note is written (then it is set aside).
        Note revived = *item;
        revived.deleted = false;
        revived.updatedAt = std::max(item->updatedAt.addingSeconds(0.001), Clock::now());
        storeNote(revived);
        m_meta[id].dirty = true;
        return TakeIn::Changed;
    }

    if (item->deleted) {
        // The file of a trashed note is back (moved back, a backup, a checkout): the note
        // is live again. A different text is a different note; the trashed one stays.
        if (!item->body.isBlank() && *text != item->body)
            return TakeIn::AdoptInstead;
        Note revived = *item;
        revived.deleted = false;
        revived.body = *text;
        revived.updatedAt = std::max(item->updatedAt.addingSeconds(0.001), Clock::now());
        storeNote(revived);
        m_meta[id].dirty = true;
        rememberDisk(id, name, bytes->size(), read.digest);
        rememberStamp(id, name);
        return TakeIn::Changed;
    }

    rememberDisk(id, name, bytes->size(), read.digest);
    rememberStamp(id, name);
    if (*text == item->body)
        return TakeIn::Unchanged;
    const Date modified = modificationDate(file.times);
    // What differs from the bytes we last wrote or read is another program's edit, whatever
    // its file time (rsync -t, restored backups and sync tools keep old times). Only without
    // such a record is the time all there is to go by; an older text then survives as a copy.
    if (recorded || modified > item->updatedAt) {
        Note updated = *item;
        updated.body = *text;
        updated.updatedAt = std::max(item->updatedAt.addingSeconds(0.001), modified);
        storeNote(updated);
        m_meta[id].dirty = true;
        return TakeIn::Changed;
    }
    if (!text->isBlank()) {
        const Note copy = makeConflictCopy(*text, modified, true);
        qCInfo(lcStore) << "kept an older outside text of" << name << "as note" << copy.id;
        Q_EMIT externalConflict(id, copy.id);
    }
    scheduleBodyWrite(id); // the note's own text goes back into its file
    return TakeIn::Changed;
}

void NoteStore::rescan(bool allowDeletions)
{
    // A file whose write is still landing must not look missing or stale.
    waitForAllWrites();
    rescanWith(listNoteFiles(m_notesFolder), allowDeletions);
}

void NoteStore::startBackgroundRescan()
{
    // Listing tens of thousands of files takes a while; the store goes on meanwhile and
    // takes the listing in when it is ready.
    if (m_rescanListing) {
        m_rescanAgain = true;
        return;
    }
    m_rescanListing = new QFutureWatcher<FolderListing>(this);
    connect(m_rescanListing, &QFutureWatcher<FolderListing>::finished, this, [this] {
        auto *watcher = std::exchange(m_rescanListing, nullptr);
        watcher->deleteLater();
        waitForAllWrites();
        if (std::exchange(m_removeTemporariesFirst, false))
            DurableFile::removeStaleTemporaries(m_notesFolder);
        rescanWith(watcher->result(), true);
        if (const auto then = std::exchange(m_afterRescan, {}))
            then();
        if (std::exchange(m_rescanAgain, false))
            startBackgroundRescan();
    });
    m_rescanListing->setFuture(QtConcurrent::run(&NoteStore::listNoteFiles, m_notesFolder));
}

// The listing may be a moment old: what it names may have gone since (a file removed, or
// renamed by a write of the store's own), and what was added since is not in it. Another
// rescan follows such changes; until then, a file that is not there is neither reported
// nor taken for a note's vanished file without a look.
void NoteStore::rescanWith(FolderListing listing, bool allowDeletions)
{
    m_filesRead = 0;
    const std::vector<FileEntry> &files = listing.files;
    if (!listing.listed) {
        markFolderUnavailable();
        Q_EMIT rescanned();
        return;
    }

    QHash<QString, QString> idByFilename;
    idByFilename.reserve(m_meta.size());
    int knownLiveFiles = 0;
    for (const Meta &entry : std::as_const(m_meta)) {
        const auto item = m_items.constFind(entry.id);
        if (entry.filename.isEmpty() || entry.isPurged() || item == m_items.cend())
            continue;
        idByFilename.insert(entry.filename, entry.id);
        if (!item->deleted && !m_writeTasks.contains(entry.id))
            ++knownLiveFiles; // a note whose write is pending may have no file yet
    }

    // Each file's note, looked up once: with tens of thousands of files the lookups are most
    // of a rescan that reads nothing.
    std::vector<const QString *> knownIds(files.size(), nullptr);
    // An unmounted drive leaves no folder, an empty mount point or another file system in
    // its place. None of our files in it is an unavailable folder, not a deletion of them all.
    int knownSeen = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        const auto known = idByFilename.constFind(files[i].name);
        if (known == idByFilename.cend())
            continue;
        knownIds[i] = &*known;
        const auto item = m_items.constFind(*known);
        if (item != m_items.cend() && !item->deleted)
            ++knownSeen;
    }
    const auto identity = folderIdentityOf(m_notesFolder);
    if (knownLiveFiles > 0 && knownSeen == 0
        && (folderIsEmpty(m_notesFolder) || (m_folderIdentity && identity != m_folderIdentity))) {
        markFolderUnavailable();
        Q_EMIT rescanned();
        return;
    }
    m_folderIdentity = identity;
    const bool wasUnavailable = std::exchange(m_folderUnavailable, false);

    bool changed = false;
    QStringList unreadable;
    QSet<QString> seen;
    seen.reserve(qsizetype(files.size()));
    QSet<QString> seenIds;
    seenIds.reserve(qsizetype(files.size()));
    QList<const FileEntry *> unknown;
    // Files whose stamps do not prove them unchanged (a first start, a folder copied or
    // restored) are read ahead on every core, a batch at a time.
    QHash<QString, FileContent> readAhead;
    QStringList toRead;
    QList<qsizetype> toReadAt;
    // A known file that takeIn would not read (its stamp proves it unchanged, or it is not
    // the store's to take in now) needs nothing more from it, unless it is a link to report.
    std::vector<bool> needsTakeIn(files.size(), false);
    for (qsizetype i = 0; i < qsizetype(files.size()); ++i) {
        const QString *known = knownIds[size_t(i)];
        if (!known)
            continue;
        if (takeInReads(*known, files[size_t(i)])) {
            toRead.append(QDir(m_notesFolder).filePath(files[size_t(i)].name));
            toReadAt.append(i);
            needsTakeIn[size_t(i)] = true;
        } else {
            needsTakeIn[size_t(i)] = files[size_t(i)].symlink;
        }
    }
    qsizetype readUpTo = 0; // files before this index have been read ahead where needed
    for (qsizetype i = 0; i < qsizetype(files.size()); ++i) {
        const FileEntry &file = files[size_t(i)];
        if (toRead.size() > 64 && i >= readUpTo) {
            const qsizetype first = std::lower_bound(toReadAt.cbegin(), toReadAt.cend(), i) - toReadAt.cbegin();
            const QStringList batch = toRead.mid(first, 128);
            readInBatches(batch, [&](qsizetype k, FileContent content) {
                readAhead.insert(files[size_t(toReadAt[first + k])].name, std::move(content));
            });
            readUpTo = first + batch.size() < toReadAt.size() ? toReadAt[first + batch.size()] : qsizetype(files.size());
        }
        const QString &name = file.name;
        seen.insert(name);
        const QString *known = knownIds[size_t(i)];
        if (!known) {
            unknown.append(&file);
            continue;
        }
        const QString id = *known;
        seenIds.insert(id);
        if (!needsTakeIn[size_t(i)])
            continue;
        std::optional<FileContent> ahead;
        if (auto it = readAhead.find(name); it != readAhead.end()) {
            ahead = std::move(*it);
            readAhead.erase(it);
        }
        switch (takeIn(id, file, unreadable, std::move(ahead))) {
        case TakeIn::Unchanged:
            break;
        case TakeIn::Changed:
            changed = true;
            break;
        case TakeIn::AdoptInstead:
            // The trashed note keeps its text in the index; the file becomes a note of its own.
            m_meta[id].filename.clear();
            m_disk.remove(id);
            unknown.append(&file);
            break;
        }
    }

    // Live notes without their file: linkable to a file that carries their id or their bytes
    // under another name; missing (trash candidates) when no write of theirs is pending.
    QSet<QString> linkable;
    QSet<QString> missing;
    QHash<QByteArray, QString> linkableByDigest;
    for (const Meta &entry : std::as_const(m_meta)) {
        const auto item = m_items.constFind(entry.id);
        if (item == m_items.cend() || item->deleted || entry.isPurged())
            continue;
        if (!entry.filename.isEmpty() && seen.contains(entry.filename))
            continue;
        // Not in the listing, yet there: put there after the listing was made.
        if (!entry.filename.isEmpty() && exists(QDir(m_notesFolder).filePath(entry.filename)))
            continue;
        linkable.insert(entry.id);
        if (const auto state = m_disk.constFind(entry.id); state != m_disk.cend())
            linkableByDigest.insert(state->digest, entry.id);
        if (!entry.filename.isEmpty() && !m_writeTasks.contains(entry.id))
            missing.insert(entry.id);
    }

    for (const FileEntry *entry : std::as_const(unknown)) {
        const FileEntry &file = *entry;
        const QString &name = file.name;
        const QString path = QDir(m_notesFolder).filePath(name);
        if (!exists(path))
            continue; // gone since the listing was made
        if (file.symlink) {
            unreadable.append(name); // never followed, neither in nor out of the folder
            continue;
        }
        // A file whose name carries a known id is that note, renamed (by hand, or by us just
        // before a crash), moved back, or checked out under an older title.
        QString owner;
        const QString piece = idPieceOf(name);
        const auto item = m_items.constFind(piece);
        if (item != m_items.cend() && !m_meta.value(piece).isPurged()) {
            if (!item->deleted && linkable.contains(piece))
                owner = piece;
            else if (item->deleted && !seenIds.contains(piece) && !m_meta.value(piece).filename.isEmpty())
                owner = piece;
        }
        // Moved under a name without its id: the very bytes of a note whose file vanished.
        if (owner.isEmpty() && !linkableByDigest.isEmpty()) {
            if (const auto bytes = readBytes(path)) {
                const QString match = linkableByDigest.value(digestOf(*bytes));
                if (!match.isEmpty() && linkable.contains(match)
                    && m_disk.value(match).size == bytes->size())
                    owner = match;
            }
        }
        if (!owner.isEmpty()) {
            const QString before = m_meta.value(owner).filename;
            linkFile(owner, name);
            linkable.remove(owner);
            missing.remove(owner);
            seenIds.insert(owner);
            changed = true;
            if (takeIn(owner, file, unreadable) == TakeIn::AdoptInstead) {
                linkFile(owner, before);
                if (!adopt(path) && exists(path))
                    unreadable.append(name);
            }
            continue;
        }
        if (adopt(path))
            changed = true;
        else if (exists(path))
            unreadable.append(name);
    }
    setUnreadableFiles(unreadable);

    auto finish = [&] {
        if (changed) {
            refresh();
            scheduleIndexWrite();
        }
        if (m_watcher && !m_watcher->isRunning())
            m_watcher->start(m_notesFolder); // the folder is back (a drive was mounted again)
        if (wasUnavailable && !m_failedWrites.isEmpty())
            m_retryTimer->start(0); // writes that waited for the folder
        Q_EMIT rescanned();
    };

    if (!allowDeletions) {
        finish();
        return;
    }

    // Held notes whose files came back (or that left the live notes) are released.
    QStringList held;
    for (const QString &id : std::as_const(m_held)) {
        if (missing.contains(id))
            held.append(id);
    }
    const bool wasHolding = !m_held.isEmpty();
    const qsizetype n = std::count_if(m_items.cbegin(), m_items.cend(),
                                      [](const Note &note) { return !note.deleted; });
    const qsizetype m = missing.size();
    // Once tripped, the guard holds until the user decides: later changes of the counts
    // (new notes, more vanished files) never turn it into a silent mass deletion.
    if (!held.isEmpty() || (m > 5 && n < 2 * m)) {
        QStringList ids(missing.cbegin(), missing.cend());
        const bool grew = ids.size() > m_held.size() || !wasHolding;
        setHeld(ids);
        if (grew)
            setMassDeletionWarning(L("store.warning.massDeletion", int(m), int(n)));
        changed = true;
        finish();
        return;
    }
    if (wasHolding) {
        setHeld({});
        setMassDeletionWarning({});
        changed = true;
    }
    for (const QString &id : std::as_const(missing))
        deleteNote(id);
    changed = changed || !missing.isEmpty();
    finish();
}

void NoteStore::putBackHeldFiles()
{
    const QStringList held = m_held;
    setHeld({});
    setMassDeletionWarning({});
    for (const QString &id : held) {
        const auto it = m_items.constFind(id);
        if (it == m_items.cend() || it->deleted)
            continue;
        // The index holds every body: the file is written anew under its proper name.
        if (!writeBodyNow(*it))
            continue; // stays pending; the retry writes it
    }
    waitForAllWrites();
    scheduleIndexWrite();
}

void NoteStore::trashHeldNotes()
{
    const QStringList held = m_held;
    setHeld({});
    setMassDeletionWarning({});
    for (const QString &id : held) {
        const auto it = m_items.constFind(id);
        if (it != m_items.cend() && !it->deleted)
            deleteNote(id);
    }
    refresh();
    scheduleIndexWrite();
}

void NoteStore::retryPending()
{
    if (m_folderUnavailable)
        rescan(true);
    if (!m_folderUnavailable && !m_failedWrites.isEmpty())
        flush();
    if (m_folderUnavailable || !m_failedWrites.isEmpty())
        m_retryTimer->start(m_options.retryDelay);
}

namespace {
// The list's order: most recently changed first; the id settles ties.
bool moreRecent(const Note &a, const Note &b)
{
    if (a.updatedAt != b.updatedAt)
        return a.updatedAt > b.updatedAt;
    return a.id < b.id;
}
} // namespace

void NoteStore::refresh()
{
    QList<Note> live;
    live.reserve(m_items.size());
    for (const Note &note : std::as_const(m_items)) {
        if (!note.deleted)
            live.append(note);
    }
    std::sort(live.begin(), live.end(), moreRecent);
    m_notes = std::move(live);
    Q_EMIT notesChanged(m_notes);
    Q_EMIT changed();
}

void NoteStore::refreshNote(const QString &id)
{
    // Only this note changed: it leaves its place and takes the one its date gives it. A
    // keystroke or a note from the server then costs a pass over the list, not a sort of
    // every note in it.
    const auto found = std::find_if(m_notes.cbegin(), m_notes.cend(),
                                    [&](const Note &note) { return note.id == id; });
    if (found != m_notes.cend())
        m_notes.removeAt(found - m_notes.cbegin());
    const auto item = m_items.constFind(id);
    if (item != m_items.cend() && !item->deleted) {
        const auto place = std::lower_bound(m_notes.cbegin(), m_notes.cend(), *item, moreRecent);
        m_notes.insert(place - m_notes.cbegin(), *item);
    }
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

NoteStore::IndexSnapshot NoteStore::snapshot() const
{
    // Implicitly shared: cheap, and safe to read on another thread.
    IndexSnapshot snapshot;
    snapshot.index.cursor = m_cursor;
    snapshot.index.notes = m_items;
    snapshot.index.meta = m_meta;
    snapshot.index.heldMissing = m_held;
    snapshot.disk = m_disk;
    return snapshot;
}

bool NoteStore::IndexSnapshot::sameAs(const IndexSnapshot &other) const
{
    // Every change of a note, its bookkeeping or its file record goes through a non-const
    // access, which detaches the store's container from the one written: a container still
    // shared is one nobody touched.
    return index.notes.isSharedWith(other.index.notes) && index.meta.isSharedWith(other.index.meta)
        && disk.isSharedWith(other.disk) && index.cursor == other.index.cursor
        && index.heldMissing == other.index.heldMissing;
}

bool NoteStore::indexUpToDate() const
{
    return m_indexWritten && snapshot().sameAs(*m_indexWritten)
        && m_indexRecord->unchanged(indexPath()) && QFileInfo::exists(backupIndexPath());
}

QString NoteStore::writeIndexFile(const IndexSnapshot &snapshot, const QString &supportFolder,
                                  const QString &path,
                                  const std::shared_ptr<IndexWriteRecord> &record)
{
    if (!QDir().mkpath(supportFolder))
        return supportFolder;
    auto stream = DurableFile::Stream::open(path);
    if (!stream)
        return stream.error();
    // The file records are kept apart from the bookkeeping in memory; the index holds them in
    // the entries' optional members.
    const auto completeMeta = [&snapshot](Meta &entry) {
        const auto state = snapshot.disk.constFind(entry.id);
        if (state == snapshot.disk.cend() || entry.filename.isEmpty()
            || state->filename != entry.filename || state->size < 0)
            return;
        entry.fileHash = QString::fromLatin1(state->digest.toHex());
        entry.fileSize = state->size;
        if (state->stamp)
            entry.fileStamp = formatStamp(*state->stamp);
    };
    QString error;
    qint64 size = 0;
    quint64 hash = 0;
    const bool encoded = snapshot.index.encode(
        [&](QByteArrayView piece) {
            size += piece.size();
            hash = record->hashOf(piece, hash);
            if (auto appended = stream->append(piece.data(), piece.size()); !appended) {
                error = appended.error();
                return false;
            }
            return true;
        },
        1 << 20, completeMeta);
    if (!encoded)
        return error;
    auto prepared = stream->finish();
    if (!prepared)
        return prepared.error();
    // The same bytes as the file already holds (a change that was undone, a sync that brought
    // nothing new): a rewrite would only cost the disk's time. Until a backup exists, the
    // write goes ahead anyway, so that the last good index has a copy.
    if (record->holds(path, size, hash) && QFileInfo::exists(path + QStringLiteral(".bak"))) {
        DurableFile::abandon(*prepared);
        return {};
    }
    // The index we are about to replace was written by us and loaded fine: it becomes the
    // fallback should the new one ever be damaged. A hard link costs nothing at any size.
    const QByteArray current = QFile::encodeName(path);
    const QByteArray backup = QFile::encodeName(path + QStringLiteral(".bak"));
    const QByteArray fresh = backup + ".new";
    ::unlink(fresh.constData());
    if (::link(current.constData(), fresh.constData()) == 0
        || (errno != ENOENT && QFile::copy(path, QFile::decodeName(fresh))))
        ::rename(fresh.constData(), backup.constData());
    if (const auto committed = DurableFile::commit(*prepared); !committed)
        return committed.error();
    record->wrote(path, hash);
    return {};
}

IndexWriteRecord::IndexWriteRecord() : m_seed(size_t(QRandomGenerator::system()->generate64())) { }

namespace {
struct FileIdentity
{
    qint64 size = -1;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
};

std::optional<FileIdentity> identityOf(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity { qint64(status.st_size),
                          qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
                          quint64(status.st_ino) };
}
} // namespace

bool IndexWriteRecord::unchanged(const QString &path) const
{
    const auto identity = identityOf(path);
    QMutexLocker lock(&m_mutex);
    return m_known && identity && identity->size == m_size && identity->modifiedNs == m_modifiedNs
        && identity->inode == m_inode;
}

bool IndexWriteRecord::holds(const QString &path, qint64 size, quint64 hash) const
{
    if (!unchanged(path))
        return false;
    QMutexLocker lock(&m_mutex);
    return m_size == size && m_hash == hash;
}

void IndexWriteRecord::wrote(const QString &path, std::optional<quint64> hash)
{
    const auto identity = identityOf(path);
    QMutexLocker lock(&m_mutex);
    m_known = identity.has_value();
    m_size = identity ? identity->size : -1;
    m_modifiedNs = identity ? identity->modifiedNs : 0;
    m_inode = identity ? identity->inode : 0;
    m_hash = hash;
}

quint64 IndexWriteRecord::hashOf(QByteArrayView piece, quint64 previous) const
{
    return quint64(qHashBits(piece.data(), size_t(piece.size()), size_t(m_seed ^ previous)));
}

void NoteStore::scheduleIndexWrite()
{
    if (!m_options.readOnly)
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
    if (indexUpToDate())
        return;
    m_indexWriter = new QFutureWatcher<QString>(this);
    connect(m_indexWriter, &QFutureWatcher<QString>::finished, this,
            &NoteStore::finishBackgroundIndexWrite);
    m_indexWriting = snapshot();
    m_indexWriter->setFuture(QtConcurrent::run(m_writerPool, &NoteStore::writeIndexFile,
                                               m_indexWriting, m_supportFolder, indexPath(),
                                               m_indexRecord));
}

void NoteStore::finishBackgroundIndexWrite()
{
    auto *writer = static_cast<QFutureWatcher<QString> *>(sender());
    if (!writer || writer != m_indexWriter)
        return;
    const QString error = writer->result();
    m_indexWriter = nullptr;
    writer->deleteLater();
    if (error.isEmpty())
        m_indexWritten = std::exchange(m_indexWriting, {});
    else
        setLastError(L("store.error.index", error));
    m_indexWriting = {};
    if (m_indexWriteAgain) {
        m_indexWriteAgain = false;
        startBackgroundIndexWrite();
    }
}

bool NoteStore::writeIndexNow()
{
    m_indexTimer->stop();
    if (m_options.readOnly)
        return true;
    m_indexWriteAgain = false;
    if (m_indexWriter) {
        // A write in flight holds an older state; let it land before the current one.
        m_indexWriter->waitForFinished();
        const QString error = m_indexWriter->result();
        m_indexWriter->deleteLater();
        m_indexWriter = nullptr;
        if (error.isEmpty())
            m_indexWritten = std::exchange(m_indexWriting, {});
        else
            qCWarning(lcStore).noquote() << "earlier index write failed:" << error;
        m_indexWriting = {};
    }
    if (indexUpToDate())
        return true;
    IndexSnapshot current = snapshot();
    const QString error = writeIndexFile(current, m_supportFolder, indexPath(), m_indexRecord);
    if (!error.isEmpty()) {
        setLastError(L("store.error.index", error));
        return false;
    }
    m_indexWritten = std::move(current);
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
    // Composed again, so that a Hangul syllable is one character (three bytes), not three jamo.
    result = TextUtil::prefixCharacters(result.normalized(QString::NormalizationForm_C), 48);
    // File names are limited in bytes, and the temporary name adds to the note's file name.
    if (result.toUtf8().size() > kMaxSlugBytes) {
        // Cut at the last character boundary that fits.
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, result);
        qsizetype fits = 0;
        for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary()) {
            if (QStringView(result).left(at).toUtf8().size() > kMaxSlugBytes)
                break;
            fits = at;
        }
        result.truncate(fits);
    }
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
    rememberDisk(id, filename, bytes.size(), digestOf(bytes));
}

void NoteStore::rememberDisk(const QString &id, const QString &filename, qint64 size,
                             const QByteArray &digest)
{
    m_disk.insert(id, DiskState { filename, digest, size, {} });
}

void NoteStore::rememberStamp(const QString &id, const QString &filename)
{
    const auto state = m_disk.constFind(id);
    if (state == m_disk.cend() || state->filename != filename)
        return;
    // Looked at after the bytes were read: a later change moves the change time on.
    const auto times = fileTimesAt(QDir(m_notesFolder).filePath(filename));
    if (!times || times->size != state->size || !stampSettled(*times, m_options.stampSettleDelay))
        return; // too fresh to prove anything yet: the next look at it decides
    if (state->stamp != times) {
        m_disk[id].stamp = times;
        ++m_newStamps;
    }
}

QString NoteStore::setAside(const QString &path)
{
    const QString trash = QDir(m_supportFolder).filePath(kTrashName);
    QDir().mkpath(trash);
    const QString target
        = QDir(trash).filePath(QFileInfo(path).fileName() + QStringLiteral(".kept-") + timeStamp());
    const QByteArray from = QFile::encodeName(path);
    const QByteArray to = QFile::encodeName(target);
    // rename() moves the entry itself: a link stays a link, bytes stay bytes.
    if (::rename(from.constData(), to.constData()) == 0)
        return target;
    if (errno != EXDEV)
        return {};
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QByteArray link = QFile::encodeName(info.symLinkTarget());
        if (::symlink(link.constData(), to.constData()) == 0 && ::unlink(from.constData()) == 0)
            return target;
        return {};
    }
    if (QFile::copy(path, target) && QFile::remove(path))
        return target;
    return {};
}

QString NoteStore::filenameOwner(const QString &filename, const QString &except) const
{
    for (const Meta &entry : m_meta) {
        if (entry.id != except && entry.filename == filename && !entry.isPurged())
            return entry.id;
    }
    return {};
}

// Before a note file is replaced: if another program changed it since the store last wrote or
// read it, its text must not vanish. When the store has no change of its own to write, the
// file is left for the next rescan to take in (Skip). When both sides changed, the other
// program's text becomes a conflict copy and the store's text is written. Bytes that are not
// text, and links, are never replaced: they are moved unchanged into the trash folder first.
NoteStore::Target NoteStore::prepareTarget(const Note &note, const QString &filename,
                                           const QByteArray &bytes)
{
    const QString path = QDir(m_notesFolder).filePath(filename);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return Target::Proceed;
    const auto onDisk = info.isSymLink() ? std::nullopt : readBytes(path);
    const auto text = onDisk ? NoteText::fromFileBytes(*onDisk) : std::nullopt;
    if (!text) {
        const QString kept = setAside(path);
        if (kept.isEmpty()) {
            setLastError(L("store.error.save", note.title(), path));
            return Target::Blocked;
        }
        m_disk.remove(note.id);
        setLastError(L("store.error.fileKept", filename, kept));
        return Target::Proceed;
    }
    if (*onDisk == bytes)
        return Target::Proceed;
    const auto state = m_disk.constFind(note.id);
    const bool known = state != m_disk.cend() && state->filename == filename;
    if (known && state->size == onDisk->size() && state->digest == digestOf(*onDisk))
        return Target::Proceed; // still what we left there
    if (known && state->size == bytes.size() && state->digest == digestOf(bytes))
        return Target::Skip; // only the other program changed it: the rescan takes its text in
    // Settled: the outside text is kept, so the file may be replaced (after a rename too).
    rememberDisk(note.id, filename, *onDisk);
    if (!text->isBlank()) {
        const Note copy = makeConflictCopy(*text, modificationDate(info), true);
        qCInfo(lcStore) << "kept an outside edit of" << filename << "as note" << copy.id;
        Q_EMIT externalConflict(note.id, copy.id);
    }
    return Target::Proceed;
}

void NoteStore::writeFailed(const QString &id)
{
    // The note keeps a pending write: rescans do not take it for missing, flushes and the
    // retry timer write it again (the disk may have room by then).
    m_failedWrites.insert(id);
    writeTask(id);
    m_retryTimer->start();
}

bool NoteStore::writeBodyNow(const Note &note)
{
    if (m_options.readOnly)
        return false;
    waitForWrite(note.id); // one write per note at a time, and the disk state is settled
    QString desired = desiredFilename(note);
    const Meta previous = m_meta.value(note.id);
    // A name that another note's file has taken meanwhile is not ours to rename.
    const QString old
        = filenameOwner(previous.filename, note.id).isEmpty() ? previous.filename : QString();
    const QByteArray bytes = note.body.toUtf8();
    QDir folder(m_notesFolder);

    auto fail = [&](const QString &description) {
        setLastError(L("store.error.save", note.title(), description));
        writeFailed(note.id);
        return false;
    };

    // A folder that went away is not created again under a mount point: the write waits.
    if (m_folderUnavailable)
        return fail(m_notesFolder);
    if (!QFileInfo(m_notesFolder).isDir()) {
        if (m_folderIdentity || !QDir().mkpath(m_notesFolder))
            return fail(m_notesFolder);
        m_folderIdentity = folderIdentityOf(m_notesFolder);
    }

    // Another note's file already has the name (two files of one note after a checkout): keep
    // the current name rather than replace that note's file.
    if (!filenameOwner(desired, note.id).isEmpty()) {
        if (!old.isEmpty())
            desired = old;
        else
            desired = QFileInfo(desired).completeBaseName().chopped(note.id.size() + 1)
                + QStringLiteral("-1-") + note.id + QStringLiteral(".md");
    }

    if (!old.isEmpty() && old != desired && QFileInfo::exists(folder.filePath(old))) {
        switch (prepareTarget(note, old, bytes)) {
        case Target::Skip:
            return true;
        case Target::Blocked:
            writeFailed(note.id);
            return false;
        case Target::Proceed:
            break;
        }
        // Whatever sits under the new name is not ours: keep its text before the rename.
        const QFileInfo occupant(folder.filePath(desired));
        if (occupant.exists() || occupant.isSymLink()) {
            const Note other { note.id + QStringLiteral("-occupant"), {}, {}, {}, false, {} };
            const Target target = prepareTarget(other, desired, QByteArray());
            m_disk.remove(other.id);
            if (target == Target::Blocked) {
                writeFailed(note.id);
                return false;
            }
        }
        if (folder.rename(old, desired)) {
            auto state = m_disk.find(note.id);
            if (state != m_disk.end())
                state->filename = desired;
            // The file has its new name even if the write below fails.
            if (auto entry = m_meta.find(note.id); entry != m_meta.end())
                entry->filename = desired;
        }
    }
    switch (prepareTarget(note, desired, bytes)) {
    case Target::Skip:
        return true;
    case Target::Blocked:
        writeFailed(note.id);
        return false;
    case Target::Proceed:
        break;
    }
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
    if (error.isEmpty()) {
        m_failedWrites.remove(id);
        return;
    }
    // The old file is still there: remember that, report, and try again at the next flush.
    if (inflight.previous)
        m_disk.insert(id, *inflight.previous);
    else
        m_disk.remove(id);
    writeFailed(id);
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
    // The record of the last index write shares the store's tables: let go of it before they
    // change, or the first change after every write would copy all of them. Without it, the
    // next index write simply goes ahead.
    m_indexWritten.reset();
    m_items.insert(note.id, note);
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
    refreshNote(id);
    writeBodyNow(note);
    scheduleIndexWrite();
    return note;
}

Note NoteStore::makeConflictCopy(const QString &body, Date stampDate, bool outside)
{
    const QLocale locale = Localization::locale();
    const bool monthFirst
        = locale.language() == QLocale::English && locale.territory() != QLocale::UnitedKingdom;
    const QString format
        = monthFirst ? QStringLiteral("MMM d, HH:mm") : QStringLiteral("d MMM HH:mm");
    const QString when = locale.toString(stampDate.toDateTime().toLocalTime(), format);
    // An outside program's text must not claim to come from the server.
    return create(body + QStringLiteral("\n\n---\n")
                  + (outside ? L("store.conflictCopy.outside", when) : L("store.conflictCopy", when)));
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
    refreshNote(id);
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
        if (note == m_items.cend() || note->deleted)
            m_failedWrites.remove(it.key());
        if (note != m_items.cend() && !note->deleted && !writeBodyNow(*note)) {
            // The file is stale: keep the entry so that rescans leave it alone and the next
            // flush tries again. (A commit that fails later puts its entry back itself.)
            if (!m_writeTasks.contains(it.key()))
                m_writeTasks.insert(it.key(), task);
            else
                delete task;
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
    Note note = *it;
    if (!filename.isEmpty()) {
        const QString path = QDir(m_notesFolder).filePath(filename);
        // Another program's edit that no rescan has taken in yet is the note's latest text:
        // it goes into the trash with the note, and comes back with it.
        const DiskState state = m_disk.value(id);
        if (!m_writeTasks.contains(id) && state.filename == filename && !QFileInfo(path).isSymLink()) {
            if (const auto bytes = readBytes(path);
                bytes && (bytes->size() != state.size || digestOf(*bytes) != state.digest)) {
                if (const auto text = NoteText::fromFileBytes(*bytes)) {
                    note.body = *text;
                    rememberDisk(id, filename, *bytes);
                }
            }
        }
        if (QFileInfo::exists(path)) {
            const QString trash = QDir(m_supportFolder).filePath(kTrashName);
            QDir().mkpath(trash);
            const QString target = QDir(trash).filePath(filename);
            removeTree(target);
            QFile::rename(path, target);
        }
    }
    note.deleted = true;
    note.updatedAt = Clock::now();
    storeNote(note);
    m_meta[id].id = id;
    m_meta[id].dirty = true;
    if (QTimer *task = m_writeTasks.value(id))
        task->stop();
    m_failedWrites.remove(id);
    if (m_held.contains(id)) {
        QStringList held = m_held;
        held.removeAll(id);
        setHeld(held);
    }
    if (note.body.isBlank())
        purge(id);
    refreshNote(id);
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
    } else {
        // Its name went to another file while it was in the trash: a new file.
        writeBodyNow(note);
    }
    refreshNote(id);
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
    refreshNote(id);
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
    QStringList lines = it->body.toString().split(u'\n');
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

QList<Note> NoteStore::search(const QString &query, std::optional<Note::Tag> tag,
                              const std::optional<QList<Note>> &in) const
{
    const QList<Note> &source = in ? *in : m_notes;
    const QString trimmed = query.trimmed();
    if (!tag && trimmed.isEmpty())
        return source;
    // The bodies are matched as they are held: no folded copy to build, none to keep in step.
    const QueryMatcher matcher(trimmed);
    const qsizetype count = source.size();
    std::vector<char> kept(size_t(count), 0);
    // In chunks that both cores take from: a large list is read through twice as fast, and
    // should the helper be late, this thread simply takes every chunk itself.
    constexpr qsizetype chunk = 256;
    const qsizetype chunks = (count + chunk - 1) / chunk;
    std::atomic<qsizetype> next { 0 };
    const auto scan = [&] {
        for (qsizetype c = next.fetch_add(1); c < chunks; c = next.fetch_add(1)) {
            for (qsizetype i = c * chunk; i < std::min(count, (c + 1) * chunk); ++i) {
                const Note &note = source.at(i);
                kept[size_t(i)] = (!tag || note.tags().contains(*tag)) && matcher.matches(note.body.view());
            }
        }
    };
    if (chunks > 8) {
        QFuture<void> helper = QtConcurrent::run(scan);
        scan();
        helper.waitForFinished();
    } else {
        scan();
    }
    QList<Note> result;
    result.reserve(std::count(kept.cbegin(), kept.cend(), 1));
    for (qsizetype i = 0; i < count; ++i) {
        if (kept[size_t(i)])
            result.append(source.at(i));
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
        if (m_meta.value(remote.id).dirty && !local->body.isBlank() && local->body != remote.body) {
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
    refreshNote(remote.id);
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
