#pragma once

#include "store/Note.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

/// Bookkeeping of one note, kept in the index file beside the note itself.
struct Meta
{
    QString id;
    QString filename; ///< the note's file in the notes folder; empty when it has none
    bool dirty = false;
    std::optional<bool> purged;

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
    /// Records that were unreadable or unsafe and were left out while decoding.
    int skippedRecords = 0;

    /// Pretty-printed JSON with sorted keys.
    QByteArray encode() const;

    /// Nothing when the data is not JSON or a top-level member is missing or of the wrong
    /// type. Single records that are damaged (a wrong type, an identifier that is not a plain
    /// name) are left out and counted instead of sinking the whole index; a note and its
    /// bookkeeping entry are kept or left out together, so a left-out note's file is adopted
    /// again under its own identifier.
    static std::optional<IndexFile> decode(const QByteArray &data);
};
