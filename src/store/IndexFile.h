#pragma once

#include "store/Note.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

/// True for a name the store may use for a note file: a plain, visible name ending in ".md"
/// or ".txt" (so never "attachments", "trash", "." or "..").
bool isNoteFilename(QStringView name);

/// Bookkeeping of one note, kept in the index file beside the note itself.
struct Meta
{
    QString id;
    QString filename; ///< the note's file in the notes folder; empty when it has none
    bool dirty = false;
    std::optional<bool> purged;
    /// SHA-256 (hex) and size of the bytes the store last wrote to or read from `filename`,
    /// so that a change made by another program is recognised whatever its file time.
    QString fileHash;
    std::optional<qint64> fileSize;
    /// Proof that the file still holds those bytes without reading it: its size, change and
    /// modification times as the store last saw them, recorded only once those times were
    /// safely in the past. Empty when unknown; never trusted without `fileHash`.
    QString fileStamp;

    bool isPurged() const { return purged.value_or(false); }
    QJsonObject toJson() const;
    static std::optional<Meta> fromJson(const QJsonValue &value);
    bool operator==(const Meta &) const = default;
};

/// The whole index file: every note (live, trashed and purged), its bookkeeping and the
/// sync cursor.
struct IndexFile
{
    static constexpr int currentVersion = 2;

    qint64 cursor = 0;
    QHash<QString, Note> notes;
    QHash<QString, Meta> meta;
    /// Notes whose files vanished in a mass deletion and that wait for the user's decision.
    QStringList heldMissing;
    /// Records that were unreadable or unsafe and were left out while decoding.
    int skippedRecords = 0;
    /// Further records with an identifier already seen. The newest note record is kept; the
    /// others are here so that no text of theirs is lost.
    QList<Note> duplicateNotes;
    int duplicateMeta = 0;
    /// Bookkeeping entries whose file name was not a plain note file name (now empty).
    int unsafeFilenames = 0;

    /// Pretty-printed JSON with sorted keys.
    QByteArray encode() const;
    /// The same text handed to `write` in pieces of about `chunk` bytes as it is made, so
    /// that an index of any size goes to disk through a small buffer. Stops, and returns
    /// false, as soon as `write` returns false. `completeMeta`, when given, may fill in each
    /// bookkeeping entry's file record just before it is written.
    bool encode(const std::function<bool(QByteArrayView)> &write, qsizetype chunk = 1 << 20,
                const std::function<void(Meta &)> &completeMeta = {}) const;

    /// Nothing when the data is not JSON or a top-level member is missing or of the wrong
    /// type. Single records that are damaged (a wrong type, an identifier that is not a plain
    /// name) are left out and counted instead of sinking the whole index; a note and its
    /// bookkeeping entry are kept or left out together, so a left-out note's file is adopted
    /// again under its own identifier.
    static std::optional<IndexFile> decode(const QByteArray &data);
    /// The index file at `path`, as `decode` would read its bytes, but streamed from the
    /// disk: neither the whole file nor a document tree is ever held. Nothing when the file
    /// cannot be read or decoded.
    static std::optional<IndexFile> read(const QString &path);
};
