#pragma once

#include "store/IndexFile.h"
#include "store/Note.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QMutex>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class FolderWatcher;

/// What the index file held when this store last read or wrote it, so that a write of the
/// very same bytes can be skipped. Shared with the writer thread.
class IndexWriteRecord
{
public:
    IndexWriteRecord();
    /// Whether the file at `path` is still the one last written or read here: nobody
    /// removed or replaced it since.
    bool unchanged(const QString &path) const;
    /// Whether, besides, it holds `size` bytes whose hash (`hashOf` of its pieces) is `hash`.
    bool holds(const QString &path, qint64 size, quint64 hash) const;
    /// Records the file as it is now; its hash only when known.
    void wrote(const QString &path, std::optional<quint64> hash);
    /// The hash of text handed over in pieces: each piece's hash is seeded with the last.
    quint64 hashOf(QByteArrayView piece, quint64 previous) const;

private:
    mutable QMutex m_mutex;
    size_t m_seed = 0;
    bool m_known = false;
    qint64 m_size = -1;
    qint64 m_modifiedNs = 0;
    quint64 m_inode = 0;
    std::optional<quint64> m_hash;
};
class QFileInfo;
class QThreadPool;
class QTimer;
class QUndoStack;

/// The single owner of the notes, the note files, the attachment files and the index file.
///
/// Notes are Markdown files `<slug>-<id>.md` in the notes folder; the index file in the
/// support folder keeps every note with its dates, attachments, trash state and sync
/// bookkeeping. The store never throws to its callers: failures set `lastError`.
/// Main thread only.
class NoteStore : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<Note> notes READ notes NOTIFY notesChanged)
    Q_PROPERTY(QString lastError READ lastError WRITE setLastError NOTIFY lastErrorChanged)
    Q_PROPERTY(QString massDeletionWarning READ massDeletionWarning WRITE setMassDeletionWarning
                   NOTIFY massDeletionWarningChanged)
    Q_PROPERTY(QStringList massDeletionHeld READ massDeletionHeld NOTIFY massDeletionHeldChanged)
    Q_PROPERTY(QStringList unreadableFiles READ unreadableFiles NOTIFY unreadableFilesChanged)

public:
    /// Construction parameters. Empty folders take the defaults; the delays are the product's
    /// values and only tests shorten them.
    struct Options
    {
        QString notesFolder;
        QString supportFolder;
        std::chrono::milliseconds noteWriteDelay { 500 };
        std::chrono::milliseconds indexWriteDelay { 300 };
        std::chrono::milliseconds rescanDelay { 700 };
        bool watchFolder = true;
        /// Write the debounced index on a worker thread so typing never waits for it.
        bool backgroundIndexWrites = true;
        /// After a failed note write, or while the notes folder is unavailable: how long until
        /// the store tries again (the disk may have room again, the drive may be back).
        std::chrono::milliseconds retryDelay { 10000 };
        /// Only read: no file, folder or index is created, moved or written. For commands that
        /// run without the support folder's lock.
        bool readOnly = false;
        /// How far in the past a file's times must lie before its size and times are trusted
        /// to prove its bytes unchanged (a coarse file system clock may tick that slowly).
        std::chrono::milliseconds stampSettleDelay { 2000 };
        /// With an index: the constructor makes the notes it holds available at once, and the
        /// notes folder is listed on another core and taken in from the event loop (outside
        /// changes then show a moment later; `rescanned` says when). Lets the app show its
        /// panel before a large folder has been checked. Without an index the files are the
        /// notes, and they are read before the constructor returns either way.
        bool checkFolderLater = false;
    };

    // ---- the notes folder as the store lists it ----
    /// A file's size and times as one stat() saw them.
    struct FileTimes
    {
        qint64 size = -1;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool operator==(const FileTimes &) const = default;
    };
    /// A note file as the folder listing found it.
    struct FileEntry
    {
        QString name;
        bool symlink = false;
        FileTimes times; ///< of the file; of the link itself for a link
    };
    struct FolderListing
    {
        bool listed = false; ///< false when the folder is missing or cannot be read
        std::vector<FileEntry> files; ///< sorted by name
    };
    /// The note files of a folder: top-level ".md" and ".txt" files (any case), hidden ones
    /// left out, links listed but never followed. One directory read and one fstatat() a
    /// file, so that tens of thousands of notes list in milliseconds.
    static FolderListing listNoteFiles(const QString &folder);

    explicit NoteStore(const Options &options, QObject *parent = nullptr);
    ~NoteStore() override;

    /// Moves a folder of the product's previous name ("Scrivel") to `target` when `target`
    /// is called "ScrivelBar" and does not exist yet. The constructor does this for both
    /// folders; callers that lock the support folder first call it for that one beforehand.
    static void migrateFromPreviousAppName(const QString &target);

    static QString defaultNotesFolder();
    static QString defaultSupportFolder();

    // Published state.
    const QList<Note> &notes() const { return m_notes; }
    /// Whether the constructor left the first look at the notes folder to the event loop and
    /// it has not come yet.
    bool folderCheckPending() const { return bool(m_afterRescan); }
    QString lastError() const { return m_lastError; }
    void setLastError(const QString &message);
    QString massDeletionWarning() const { return m_massDeletionWarning; }
    void setMassDeletionWarning(const QString &message);
    /// Live notes whose files vanished in a mass deletion: the guard keeps them (neither
    /// trashed nor synced as deleted) until the user picks `putBackHeldFiles` or
    /// `trashHeldNotes`.
    QStringList massDeletionHeld() const { return m_held; }
    /// Note files in the folder that the store could not read, could not decode as UTF-8, or
    /// does not follow (symbolic links); they are left untouched and are not notes.
    QStringList unreadableFiles() const { return m_unreadable; }

    QString notesFolder() const { return m_notesFolder; }
    QString supportFolder() const { return m_supportFolder; }
    QString indexPath() const;

    /// Discarded files go to the desktop trash (true) or are removed.
    bool movesToSystemTrash = true;

    // ---- folder and index ----
    std::optional<Note> note(const QString &id) const;
    std::optional<Meta> meta(const QString &id) const;
    /// The note's file, if it has one and it exists.
    std::optional<QString> filePath(const QString &id) const;
    void relocate(const QString &newFolder);
    void rescan(bool allowDeletions);
    /// `rescan` against a listing made a moment earlier (on another thread): names it holds
    /// that are gone since are passed over, and a note whose file is not in it but there now
    /// is not taken for vanished.
    void rescanWith(FolderListing listing, bool allowDeletions);
    /// The mass-deletion banner's "put back": writes the held notes' files again from the
    /// index and releases them.
    void putBackHeldFiles();
    /// The mass-deletion banner's "move to trash": trashes the held notes.
    void trashHeldNotes();
    /// False while the notes folder is missing or looks like an empty mount point.
    bool folderAvailable() const { return !m_folderUnavailable; }
    void refresh();
    /// `refresh` after a change of one note only.
    void refreshNote(const QString &id);
    void scheduleIndexWrite();
    /// Writes the index now (waiting for a background write in flight). False on failure.
    bool writeIndexNow();
    /// The file name a note is written under: `<slug of title>-<id>.md`.
    static QString desiredFilename(const Note &note);
    static QString slug(const QString &text);

    // ---- editing, trash and undo ----
    Note create(const QString &body);
    void setBody(const QString &body, QString id, bool registerUndo);
    void flush();
    void deleteNote(QString id);
    void restore(QString id);
    void purge(QString id);
    QList<Note> trashedNotes() const;
    void emptyTrash();
    void deleteAllNotes();
    void toggleCheckbox(int index, QString id);
    /// Notes whose body holds every word of the query (case-insensitive), optionally with a tag.
    QList<Note> search(const QString &query, std::optional<Note::Tag> tag = std::nullopt,
                       const std::optional<QList<Note>> &in = std::nullopt) const;
    QUndoStack *undoStack() const { return m_undoStack; }
    /// One note's undo and redo, for its editor: the next step of the shared history is taken
    /// only when it is an edit of that note. A step whose text the note no longer shows (sync,
    /// another program or an edit without undo replaced it since) is dropped instead of
    /// applied, and the next one is tried. True when a step was applied.
    bool undo(const QString &id);
    bool redo(const QString &id);
    /// Whether undo(id) / redo(id) would apply a step.
    bool canUndo(const QString &id) const;
    bool canRedo(const QString &id) const;

    // ---- sync interface ----
    int dirtyCount() const;
    QList<Note> dirtyNotes(int limit) const;
    void markAccepted(const QList<QString> &ids, const QHash<QString, Date> &pushedAt);
    /// Applies a note from the server; returns the conflict copy it made, if any.
    std::optional<Note> applyRemote(const Note &remote);
    void resetSyncState();
    qint64 cursor() const { return m_cursor; }
    void setCursor(qint64 cursor) { m_cursor = cursor; }

    // ---- attachments ----
    std::optional<Attachment> importAttachment(const QString &sourcePath, Attachment::Kind kind,
                                               QString noteId,
                                               std::optional<double> duration = std::nullopt,
                                               bool removeSource = false);
    std::optional<Note> createWithAttachment(const QString &sourcePath, Attachment::Kind kind,
                                             std::optional<double> duration = std::nullopt,
                                             bool removeSource = false);
    void removeAttachment(const QString &attachmentId, QString noteId);
    void reconcileMedia(const Note &note);
    void embedUnreferencedMedia();
    QList<Attachment> missingMedia(const QString &noteId) const;
    std::optional<QString> localMediaPath(const QString &noteId, const QString &filename) const;
    void saveDownloadedMedia(const QByteArray &data, const Attachment &attachment,
                             const QString &noteId);
    bool trashHoldsParkedMedia() const;
    /// Live and parked locations of an attachment's file.
    QString liveMediaPath(const QString &noteId, const QString &filename) const;
    QString parkedMediaPath(const QString &noteId, const QString &filename) const;

    /// Number of pending or completed-since-flush note writes (for tests and diagnostics).
    int pendingWriteCount() const { return int(m_writeTasks.size()); }
    /// Note files the last rescan read in full; the others were proven unchanged by their
    /// size and times (for tests and the benchmark).
    int filesReadInLastRescan() const { return m_filesRead; }
    bool hasPendingIndexWrite() const;

Q_SIGNALS:
    void notesChanged(const QList<Note> &notes);
    void lastErrorChanged(const QString &message);
    void massDeletionWarningChanged(const QString &message);
    void massDeletionHeldChanged(const QStringList &ids);
    void unreadableFilesChanged(const QStringList &names);
    /// Any change of the stored notes (the sync engine debounces on it).
    void changed();
    /// A rescan ran (after watcher events or an explicit call).
    void rescanned();
    /// Loading is complete: the notes folder has been taken in once. With `checkFolderLater`
    /// this comes from the event loop; otherwise within the constructor.
    void folderChecked();
    /// Another program changed a note file while the store had its own change pending; its
    /// text was kept as the note `copyId`.
    void externalConflict(const QString &noteId, const QString &copyId);

private:
    struct DiskState
    {
        QString filename;
        QByteArray digest; ///< SHA-256
        qint64 size = -1;
        /// The file's size and times when it was last seen holding these bytes (fileStamp).
        std::optional<FileTimes> stamp;
    };
    /// What an index write writes: the index, and the file records kept apart from it.
    struct IndexSnapshot
    {
        IndexFile index;
        QHash<QString, DiskState> disk;
        /// Whether it holds the same state as `other`, without comparing a single note.
        bool sameAs(const IndexSnapshot &other) const;
    };
    /// A note file as read: its bytes, their digest, and the text they hold (nothing when
    /// they are not UTF-8). Made on any thread: reading and hashing are the slow part of
    /// taking in many files.
    struct FileContent
    {
        std::optional<QByteArray> bytes;
        QByteArray digest;
        std::optional<NoteText> text;
    };
    static FileContent readContent(const QString &path);
    /// The contents of `paths`, read on every core, handed to `use` in order a batch at a
    /// time (so that only one batch is ever held).
    static void readInBatches(const QStringList &paths,
                              const std::function<void(qsizetype, FileContent)> &use);
    enum class TakeIn { Unchanged, Changed, AdoptInstead };
    enum class Target { Proceed, Skip, Blocked };

    void migrateFromPreviousAppNameIfNeeded();
    void migrateLegacyLayoutIfNeeded();
    void load();
    void startWatching();
    void scheduleRescan();
    /// Lists the folder on another thread and rescans with it.
    void startBackgroundRescan();
    /// The part of loading that follows the first rescan.
    void finishLoad(const QList<Note> &duplicates, bool cleanIndex);
    bool adopt(const QString &path);
    bool adopt(const QString &path, FileContent content);
    /// Whether taking the file in reads it (its stamp does not prove it unchanged).
    bool takeInReads(const QString &id, const FileEntry &file) const;
    /// Whether the file's size and times prove it still holds the bytes recorded for the
    /// note, so that taking it in needs no read. The one rule for takeIn and takeInReads.
    static bool stampProvesUnchanged(const DiskState *state, const Note &note,
                                     const FileEntry &file);
    TakeIn takeIn(const QString &id, const FileEntry &file, QStringList &unreadable,
                  std::optional<FileContent> content = std::nullopt);
    void linkFile(const QString &id, const QString &filename);
    void setHeld(QStringList ids);
    void setUnreadableFiles(const QStringList &names);
    void markFolderUnavailable();
    void retryPending();
    void writeFailed(const QString &id);
    QString setAside(const QString &path);
    QString filenameOwner(const QString &filename, const QString &except) const;
    QString backupIndexPath() const;
    bool writeBodyNow(const Note &note);
    void scheduleBodyWrite(const QString &id);
    QTimer *writeTask(const QString &id);
    void waitForWrite(const QString &id);
    void waitForAllWrites();
    void finishWrite(const QString &id);
    void storeNote(const Note &note);
    Target prepareTarget(const Note &note, const QString &filename, const QByteArray &bytes);
    void discard(const QString &path);
    Note makeConflictCopy(const QString &body, Date stampDate, bool outside = false);
    void rememberDisk(const QString &id, const QString &filename, const QByteArray &bytes);
    void rememberDisk(const QString &id, const QString &filename, qint64 size, const QByteArray &digest);
    void rememberStamp(const QString &id, const QString &filename);
    void applyBody(QString id, const QString &body);
    void startBackgroundIndexWrite();
    void finishBackgroundIndexWrite();
    IndexSnapshot snapshot() const;
    bool indexUpToDate() const;
    static QString writeIndexFile(const IndexSnapshot &snapshot, const QString &supportFolder,
                                  const QString &path,
                                  const std::shared_ptr<IndexWriteRecord> &record);

    QString m_notesFolder;
    QString m_supportFolder;
    Options m_options;

    QList<Note> m_notes;
    QString m_lastError;
    QString m_massDeletionWarning;
    QStringList m_held;
    QStringList m_unreadable;
    QSet<QString> m_failedWrites;
    QTimer *m_retryTimer = nullptr;
    bool m_folderUnavailable = false;
    std::optional<std::pair<quint64, quint64>> m_folderIdentity; ///< device and inode
    QHash<QString, Note> m_items;
    QHash<QString, Meta> m_meta;
    QHash<QString, DiskState> m_disk;
    QHash<QString, QTimer *> m_writeTasks; ///< pending or done since the last flush
    QTimer *m_indexTimer = nullptr;
    QTimer *m_rescanTimer = nullptr;
    FolderWatcher *m_watcher = nullptr;
    QUndoStack *m_undoStack = nullptr;
    qint64 m_cursor = 0;
    int m_newStamps = 0; ///< file stamps learnt since the index was last written
    int m_filesRead = 0;

    /// A note file whose slow half (sync and rename) runs on the writer thread.
    struct InflightWrite
    {
        QFutureWatcher<QString> *watcher = nullptr;
        std::optional<DiskState> previous; ///< what is on disk should the commit fail
        QString title;
    };
    QHash<QString, InflightWrite> m_inflight;
    /// One thread for all durable writes, so they land in the order they were made.
    QThreadPool *m_writerPool = nullptr;
    QFutureWatcher<QString> *m_indexWriter = nullptr; ///< background write in flight
    IndexSnapshot m_indexWriting; ///< what that write writes
    bool m_indexWriteAgain = false;
    std::shared_ptr<IndexWriteRecord> m_indexRecord;
    /// What the index file holds, as of the last write or a clean load: while the store's
    /// state is still shared with it, nothing changed and there is nothing to write.
    std::optional<IndexSnapshot> m_indexWritten;
    /// The listing of a rescan the watcher asked for, made on another thread.
    QFutureWatcher<FolderListing> *m_rescanListing = nullptr;
    bool m_rescanAgain = false;
    /// Run once after the next rescan from a listing made in the background.
    std::function<void()> m_afterRescan;
    /// Remove what killed writers left in the notes folder before that rescan.
    bool m_removeTemporariesFirst = false;

    friend class EditCommand;
};

Q_DECLARE_METATYPE(Note)
