#pragma once

#include "base/Date.h"

#include <QAnyStringView>
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUtf8StringView>

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

/// The text of a note, held as UTF-8.
///
/// The store keeps every note's text in memory for the whole session; as UTF-8 it takes half
/// the room UTF-16 would for the mostly-ASCII text of notes, it is what the files on disk and
/// the index hold already, and it is what they are written from. A `QString` is made only
/// where one is needed (the editor, a list row being drawn). What UTF-8 cannot hold (a lone
/// surrogate) is stored as "?", which is what the note's file would hold anyway.
class NoteText
{
public:
    NoteText() = default;
    NoteText(const QString &text) : m_utf8(text.toUtf8()) { }
    NoteText &operator=(const QString &text)
    {
        m_utf8 = text.toUtf8();
        return *this;
    }

    /// `bytes` must be valid UTF-8; the caller has checked it.
    static NoteText fromValidUtf8(QByteArray bytes)
    {
        NoteText text;
        text.m_utf8 = std::move(bytes);
        return text;
    }
    /// The text of a file's bytes: nothing when they are not UTF-8. A byte order mark at the
    /// start is not part of the text.
    static std::optional<NoteText> fromFileBytes(const QByteArray &bytes);

    QString toString() const;
    operator QString() const { return toString(); }
    const QByteArray &toUtf8() const { return m_utf8; }
    QUtf8StringView view() const { return QUtf8StringView(m_utf8.constData(), m_utf8.size()); }
    bool isEmpty() const { return m_utf8.isEmpty(); }
    /// Whether it holds nothing but white space and line ends.
    bool isBlank() const;
    /// Its length in UTF-8 bytes.
    qsizetype byteSize() const { return m_utf8.size(); }
    void clear() { m_utf8.clear(); }

    friend bool operator==(const NoteText &a, const NoteText &b) { return a.m_utf8 == b.m_utf8; }
    friend bool operator==(const NoteText &a, QStringView b)
    {
        return QAnyStringView::equal(a.view(), b);
    }
    friend bool operator==(const NoteText &a, const QString &b) { return a == QStringView(b); }

private:
    QByteArray m_utf8;
};

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
    NoteText body;
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
