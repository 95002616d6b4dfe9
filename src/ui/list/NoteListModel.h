#pragma once

#include "store/Note.h"

#include <QAbstractListModel>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSet>
#include <QTimer>

/// The rows of the note list: a plain list of notes with the values each row shows. The
/// per-row values (title, detail, symbol, thumbnail file) are derived lazily and cached per
/// note, so a list of 10,000 notes costs only what is on screen.
class NoteListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        TitleRole,     ///< Note::title()
        DetailRole,    ///< the row's detail text (may be empty)
        DateRole,      ///< updatedAt as Date seconds (double)
        SymbolRole,    ///< "photo", "waveform" or "doc.text"
        ThumbnailRole, ///< absolute path of the first image file, or empty
    };

    /// `notesFolder`: where "attachments/<id>/<file>" lives, for the thumbnail paths.
    explicit NoteListModel(QObject *parent = nullptr);

    void setNotesFolder(const QString &folder);
    /// Replaces the rows. When the same notes come back in the same order only their values
    /// are refreshed, so the view keeps its scroll position and current row.
    void setNotes(const QList<Note> &notes);
    const QList<Note> &notes() const { return m_notes; }
    const Note &noteAt(int row) const { return m_notes.at(row); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    /// Tells the views that time has passed: every row's relative date is drawn again.
    void refreshDates();

    /// The note's tags, cached like the other derived values.
    Note::Tags tags(const Note &note) const;
    /// The preview of a thumbnail file when it is ready; otherwise starts decoding it (once)
    /// and returns an empty image; the rows repaint when it arrives.
    QImage thumbnail(const QString &path) const;

    /// The row detail: the note's preview, else the first recording's duration and "×N"
    /// images, joined by " · ".
    static QString detail(const Note &note);

private:
    struct Derived
    {
        NoteText body; ///< the body these values were made from
        QList<Attachment> attachments;
        QString title;
        QString detail;
        QString symbol;
        QString thumbnail;
        Note::Tags tags;
    };
    const Derived &derived(const Note &note) const;
    void scheduleThumbnailRepaint();

    QList<Note> m_notes;
    QString m_notesFolder;
    mutable QHash<QString, Derived> m_derived;
    mutable QSet<QString> m_requested; ///< thumbnail cache keys in flight or failed
    QTimer m_repaint;
};
