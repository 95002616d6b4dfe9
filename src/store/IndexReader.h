#pragma once

// The index file's decoding, shared by its two readers: the streaming one that reads the
// file as the store starts (IndexFile::read) and the one over a whole document in memory
// (IndexFile::decode). Internal to the store.

#include "store/IndexFile.h"

#include <QSet>

#include <functional>

#include <optional>

/// Collects an index's records as a parser meets them, with the repairs `IndexFile::decode`
/// promises: unreadable or unsafe records are left out and counted, a repeated note keeps its
/// newest record, a repeated bookkeeping entry its first, and a note without bookkeeping is
/// left out with it.
class IndexBuilder
{
public:
    void setCursor(qint64 cursor) { m_index.cursor = cursor; }
    /// A note record; nothing for one that could not be read.
    void addNote(std::optional<Note> note);
    /// A bookkeeping record; nothing for one that could not be read. Entries are matched
    /// against the notes: add them once every note is in.
    void addMeta(std::optional<Meta> entry);
    /// Ends the records; `held` are the ids the file lists as held (only known notes stay).
    IndexFile finish(const QStringList &held);

private:
    IndexFile m_index;
    QSet<QString> m_filenames;
};

namespace IndexReader {
/// Reads the index file at `path` from the disk in one pass without holding a document tree
/// or a copy of the file: each note is built as its record is met, and the file's bytes are
/// let go of as soon as they are read. Nothing when this fast path cannot decide (a file it
/// cannot read, anything but the plainest JSON); the caller then decodes the whole file.
std::optional<IndexFile> readFast(const QString &path);
/// Test seam: run once the file is walked, before the bodies are all made (a test cuts the
/// file short there).
std::function<void()> &testHook();
/// For tests: run by the helper thread (on files large enough for one) before it makes its
/// first body.
std::function<void()> &helperTestHook();
} // namespace IndexReader
