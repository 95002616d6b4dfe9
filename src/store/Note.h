#pragma once

#include "base/Date.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

/// A media file that belongs to a note.
struct Attachment
{
    enum class Kind { Image, Audio };

    QString id; ///< random UUID, upper-case text form
    Kind kind = Kind::Image;
    QString filename; ///< a second random UUID, a dot and the lower-cased extension
    Date createdAt;
    std::optional<double> duration; ///< seconds, recordings only

    static QString kindRawValue(Kind kind);
    static std::optional<Kind> kindFromRawValue(const QString &raw);

    /// "m:ss" below an hour, "h:mm:ss" from an hour on, after rounding to whole seconds.
    /// Values that are not finite, or negative, show as "0:00".
    static QString formatDuration(double seconds);

    QJsonObject toJson() const;
    /// Nothing when a required member is missing or of the wrong type.
    static std::optional<Attachment> fromJson(const QJsonValue &value);

    bool operator==(const Attachment &) const = default;
};

/// A media reference line: `![label](path)` or `[label](path)`.
struct MediaReference
{
    QString label;
    QString path;
    bool operator==(const MediaReference &) const = default;
};

/// Parses one body line as a media reference (the path must start with "attachments/" and
/// hold no space); nothing for any other line.
std::optional<MediaReference> mediaReference(QStringView line);

/// The date stamp used in generated titles ("d MMM" and the time in the locale's hour
/// convention), formatted for the interface locale in local time.
QString stamp(Date date);

/// A note: a Markdown body with a little bookkeeping and its media files.
struct Note
{
    enum class Tag { Text, Image, Audio };

    /// The tags of a note, as used by the list's filter.
    struct Tags
    {
        bool text = false;
        bool image = false;
        bool audio = false;
        bool contains(Tag tag) const;
        bool operator==(const Tags &) const = default;
    };

    QString id;
    QString body;
    Date createdAt;
    Date updatedAt;
    bool deleted = false;
    QList<Attachment> attachments;

    // Derived values; none is stored.

    /// Body lines (split at "\n", empty lines kept) that are not media references.
    QStringList textLines() const;
    /// The first text line with leading block markers stripped, cut to 120 characters.
    std::optional<QString> textTitle() const;
    /// `textTitle`, else a title made from the first image label or the creation stamp.
    QString title() const;
    /// The text after the title line, joined with spaces, at most 160 characters.
    QString preview() const;
    Tags tags() const;
    /// Attachments the body references, in body order, each once.
    QList<Attachment> referencedAttachments() const;
    QList<Attachment> images() const;
    QList<Attachment> recordings() const;
    std::optional<QString> firstImageLabel() const;

    /// "attachments/<note id>/<filename>": the reference path of an attachment of this note.
    QString mediaPath(const Attachment &attachment) const;
    /// The Markdown line that references the attachment. The label is used for images only.
    QString markdownReference(const Attachment &attachment,
                              const std::optional<QString> &label = std::nullopt) const;

    // Body edits. None of them changes updatedAt: the store does that.
    void appendText(const QString &text);
    void appendReference(const Attachment &attachment,
                         const std::optional<QString> &label = std::nullopt);
    void removeReference(const Attachment &attachment);
    void insertText(const QString &text, const QString &afterMediaPath);

    QJsonObject toJson() const;
    /// Nothing when a required member is missing or of the wrong type.
    static std::optional<Note> fromJson(const QJsonValue &value);

    bool operator==(const Note &) const = default;
};

namespace TextUtil {
/// Trims spaces and tabs only.
QString trimSpacesAndTabs(QStringView text);
/// Trims white space and line ends.
QString trimWhitespace(QStringView text);
/// The first `count` user-perceived characters of `text`.
QString prefixCharacters(const QString &text, int count);
} // namespace TextUtil
