#include "ui/list/NoteListModel.h"

#include "media/Thumbnails.h"

#include <QDir>

NoteListModel::NoteListModel(QObject *parent) : QAbstractListModel(parent)
{
    // Thumbnails land one by one; one repaint per event-loop turn is enough.
    m_repaint.setSingleShot(true);
    m_repaint.setInterval(0);
    connect(&m_repaint, &QTimer::timeout, this, [this] {
        if (!m_notes.isEmpty())
            Q_EMIT dataChanged(index(0), index(int(m_notes.size()) - 1), { ThumbnailRole });
    });
}

void NoteListModel::setNotesFolder(const QString &folder)
{
    if (folder == m_notesFolder)
        return;
    m_notesFolder = folder;
    m_derived.clear();
}

void NoteListModel::setNotes(const QList<Note> &notes)
{
    const bool sameRows = notes.size() == m_notes.size()
        && std::equal(notes.cbegin(), notes.cend(), m_notes.cbegin(),
                      [](const Note &a, const Note &b) { return a.id == b.id; });
    if (sameRows) {
        m_notes = notes;
        if (!m_notes.isEmpty())
            Q_EMIT dataChanged(index(0), index(int(m_notes.size()) - 1));
        return;
    }
    beginResetModel();
    m_notes = notes;
    endResetModel();
    // Keep the cache from growing without bound as notes come and go.
    if (m_derived.size() > 4 * std::max<qsizetype>(m_notes.size(), 1024))
        m_derived.clear();
}

void NoteListModel::refreshDates()
{
    if (!m_notes.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_notes.size()) - 1), { DateRole });
}

int NoteListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_notes.size());
}

QString NoteListModel::detail(const Note &note)
{
    const QString preview = note.preview();
    if (!preview.isEmpty())
        return preview;
    QStringList parts;
    const QList<Attachment> recordings = note.recordings();
    if (!recordings.isEmpty() && recordings.first().duration)
        parts << Attachment::formatDuration(*recordings.first().duration);
    const qsizetype images = note.images().size();
    if (images > 1)
        parts << QStringLiteral("×") + QString::number(images);
    return parts.join(QStringLiteral(" · "));
}

const NoteListModel::Derived &NoteListModel::derived(const Note &note) const
{
    auto it = m_derived.find(note.id);
    if (it != m_derived.end() && it->body == note.body && it->attachments == note.attachments)
        return *it;
    Derived values;
    values.body = note.body;
    values.attachments = note.attachments;
    values.title = note.title();
    values.detail = detail(note);
    values.tags = note.tags();
    values.symbol = values.tags.image ? QStringLiteral("photo")
        : values.tags.audio           ? QStringLiteral("waveform")
                                      : QStringLiteral("doc.text");
    const QList<Attachment> images = note.images();
    if (!images.isEmpty() && !m_notesFolder.isEmpty())
        values.thumbnail = QDir(m_notesFolder).filePath(QStringLiteral("attachments/") + note.id
                                                        + u'/' + images.first().filename);
    return *m_derived.insert(note.id, values);
}

Note::Tags NoteListModel::tags(const Note &note) const
{
    return derived(note).tags;
}

QVariant NoteListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_notes.size())
        return {};
    const Note &note = m_notes.at(index.row());
    switch (role) {
    case IdRole:
        return note.id;
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
    case TitleRole:
        return derived(note).title;
    case DetailRole:
        return derived(note).detail;
    case DateRole:
        return note.updatedAt.seconds;
    case SymbolRole:
        return derived(note).symbol;
    case ThumbnailRole:
        return derived(note).thumbnail;
    default:
        return {};
    }
}

QImage NoteListModel::thumbnail(const QString &path) const
{
    if (path.isEmpty())
        return {};
    Thumbnails &thumbnails = Thumbnails::shared();
    const QString key = Thumbnails::cacheKey(path);
    QImage image = thumbnails.cached(path);
    if (!image.isNull() || m_requested.contains(key))
        return image;
    m_requested.insert(key);
    auto *self = const_cast<NoteListModel *>(this);
    thumbnails.request(path, self, [self, key](const QImage &result) {
        // Failures stay remembered so a broken file is not decoded again on every paint;
        // successes are forgotten so an evicted preview can be made again.
        if (!result.isNull()) {
            self->m_requested.remove(key);
            self->scheduleThumbnailRepaint();
        }
    });
    return thumbnails.cached(path); // a cache hit answers synchronously
}

void NoteListModel::scheduleThumbnailRepaint()
{
    m_repaint.start();
}
