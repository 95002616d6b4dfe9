// Attachment files: import, parking of media a body no longer references, and lookups.
#include "store/NoteStore.h"

#include "base/Localization.h"
#include "base/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUuid>

namespace {

const QString kAttachments = QStringLiteral("attachments");

QString newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// Only letters and digits survive: the extension becomes part of a file name we create.
QString cleanExtension(const QString &suffix)
{
    QString result;
    for (QChar c : suffix.toLower()) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            result += c;
    }
    return result.left(16);
}

bool moveFile(const QString &from, const QString &to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    return QFile::rename(from, to);
}

// Copies a folder tree (links are copied as links, never followed). False with the first
// path that failed.
bool copyTree(const QString &from, const QString &to, QString *failed)
{
    if (!QDir().mkpath(to)) {
        *failed = to;
        return false;
    }
    const QFileInfoList entries = QDir(from).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString destination = QDir(to).filePath(entry.fileName());
        bool ok = false;
        if (entry.isSymLink())
            ok = QFile::link(entry.symLinkTarget(), destination);
        else if (entry.isDir())
            ok = copyTree(entry.absoluteFilePath(), destination, failed);
        else
            ok = QFile::copy(entry.absoluteFilePath(), destination);
        if (!ok) {
            if (failed->isEmpty())
                *failed = entry.absoluteFilePath();
            return false;
        }
    }
    return true;
}

} // namespace

QString NoteStore::liveMediaPath(const QString &noteId, const QString &filename) const
{
    if (!DurableFile::isSafeComponent(noteId) || !DurableFile::isSafeComponent(filename))
        return {};
    return m_notesFolder + u'/' + kAttachments + u'/' + noteId + u'/' + filename;
}

QString NoteStore::parkedMediaPath(const QString &noteId, const QString &filename) const
{
    if (!DurableFile::isSafeComponent(noteId) || !DurableFile::isSafeComponent(filename))
        return {};
    return m_supportFolder + QStringLiteral("/trash/") + kAttachments + u'/' + noteId + u'/'
        + filename;
}

std::optional<Attachment> NoteStore::importAttachment(const QString &sourcePath,
                                                      Attachment::Kind kind, QString noteId,
                                                      std::optional<double> duration,
                                                      bool removeSource)
{
    const auto it = m_items.constFind(noteId);
    if (it == m_items.cend() || !DurableFile::isSafeComponent(noteId))
        return std::nullopt;
    const QFileInfo source(sourcePath);
    QString extension = cleanExtension(source.suffix());
    if (extension.isEmpty())
        extension = kind == Attachment::Kind::Audio ? QStringLiteral("m4a") : QStringLiteral("jpg");

    Attachment attachment;
    attachment.id = newUuid();
    attachment.kind = kind;
    attachment.filename = newUuid() + u'.' + extension;
    attachment.createdAt = Clock::now();
    if (kind == Attachment::Kind::Audio)
        attachment.duration = duration;

    const QString target = liveMediaPath(noteId, attachment.filename);
    const QString folder = QFileInfo(target).absolutePath();
    QString problem;
    if (!source.isFile())
        problem = sourcePath;
    else if (!QDir().mkpath(folder))
        problem = folder;
    else {
        QFile file(sourcePath);
        const bool done = removeSource ? file.rename(target) : file.copy(target);
        if (!done)
            problem = sourcePath + QStringLiteral(": ") + file.errorString();
    }
    if (!problem.isEmpty()) {
        setLastError(L("store.error.attachment", problem));
        return std::nullopt;
    }

    Note note = *it;
    note.attachments.append(attachment);
    storeNote(note);
    std::optional<QString> label;
    if (kind == Attachment::Kind::Image)
        label = source.completeBaseName();
    note.appendReference(attachment, label);
    setBody(note.body, noteId, true);
    scheduleIndexWrite();
    return attachment;
}

std::optional<Note> NoteStore::createWithAttachment(const QString &sourcePath,
                                                    Attachment::Kind kind,
                                                    std::optional<double> duration,
                                                    bool removeSource)
{
    const Note created = create(QString());
    if (!importAttachment(sourcePath, kind, created.id, duration, removeSource)) {
        // No empty note may stay behind after a failed import.
        waitForWrite(created.id);
        const QString filename = m_meta.value(created.id).filename;
        if (!filename.isEmpty())
            QFile::remove(QDir(m_notesFolder).filePath(filename));
        m_items.remove(created.id);
        m_meta.remove(created.id);
        m_disk.remove(created.id);
        refresh();
        scheduleIndexWrite();
        return std::nullopt;
    }
    const Note stored = m_items.value(created.id);
    writeBodyNow(stored);
    scheduleIndexWrite();
    return stored;
}

void NoteStore::removeAttachment(const QString &attachmentId, QString noteId)
{
    const auto it = m_items.constFind(noteId);
    if (it == m_items.cend())
        return;
    for (const Attachment &attachment : it->attachments) {
        if (attachment.id != attachmentId)
            continue;
        Note note = *it;
        note.removeReference(attachment);
        setBody(note.body, noteId, true);
        return;
    }
}

void NoteStore::reconcileMedia(const Note &note)
{
    QSet<QString> referenced;
    for (const Attachment &attachment : note.referencedAttachments())
        referenced.insert(attachment.filename);
    for (const Attachment &attachment : note.attachments) {
        const QString live = liveMediaPath(note.id, attachment.filename);
        const QString parked = parkedMediaPath(note.id, attachment.filename);
        if (live.isEmpty())
            continue;
        if (referenced.contains(attachment.filename)) {
            if (!QFileInfo::exists(live) && QFileInfo::exists(parked))
                moveFile(parked, live);
        } else if (QFileInfo::exists(live)) {
            moveFile(live, parked);
        }
    }
    if (referenced.isEmpty() && DurableFile::isSafeComponent(note.id)) {
        // rmdir removes the folder only when it is empty.
        QDir().rmdir(m_notesFolder + u'/' + kAttachments + u'/' + note.id);
    }
}

void NoteStore::embedUnreferencedMedia()
{
    bool changed = false;
    const QList<Note> live = m_notes;
    for (const Note &current : live) {
        if (current.attachments.isEmpty())
            continue;
        const QList<Attachment> referenced = current.referencedAttachments();
        Note note = current;
        for (const Attachment &attachment : current.attachments) {
            if (referenced.contains(attachment))
                continue;
            const QString path = liveMediaPath(current.id, attachment.filename);
            if (path.isEmpty() || !QFileInfo::exists(path))
                continue;
            const QString body = note.body.toString().trimmed();
            const QString reference = note.markdownReference(attachment);
            note.body
                = (body.isEmpty() ? reference : body + QStringLiteral("\n\n") + reference) + u'\n';
        }
        if (note.body == current.body)
            continue;
        storeNote(note);
        m_meta[note.id].id = note.id;
        m_meta[note.id].dirty = true;
        writeBodyNow(note);
        changed = true;
    }
    if (changed) {
        refresh();
        scheduleIndexWrite();
    }
}

QList<Attachment> NoteStore::missingMedia(const QString &noteId) const
{
    QList<Attachment> result;
    const auto it = m_items.constFind(noteId);
    if (it == m_items.cend() || it->deleted)
        return result;
    for (const Attachment &attachment : it->referencedAttachments()) {
        const QString path = liveMediaPath(noteId, attachment.filename);
        if (!path.isEmpty() && !QFileInfo::exists(path))
            result.append(attachment);
    }
    return result;
}

std::optional<QString> NoteStore::localMediaPath(const QString &noteId,
                                                 const QString &filename) const
{
    const auto it = m_items.constFind(noteId);
    if (it == m_items.cend())
        return std::nullopt;
    for (const Attachment &attachment : it->referencedAttachments()) {
        if (attachment.filename != filename)
            continue;
        const QString path = liveMediaPath(noteId, filename);
        if (!path.isEmpty() && QFileInfo::exists(path))
            return path;
    }
    return std::nullopt;
}

void NoteStore::saveDownloadedMedia(const QByteArray &data, const Attachment &attachment,
                                    const QString &noteId)
{
    const QString path = liveMediaPath(noteId, attachment.filename);
    if (path.isEmpty()) {
        setLastError(L("store.error.attachment", attachment.filename));
        return;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        setLastError(L("store.error.attachment", folder));
        return;
    }
    const auto written = DurableFile::write(path, data);
    if (!written) {
        setLastError(L("store.error.attachment", written.error()));
        return;
    }
    refresh();
}

bool NoteStore::trashHoldsParkedMedia() const
{
    const QDir parked(m_supportFolder + QStringLiteral("/trash/") + kAttachments);
    return parked.exists()
        && !parked.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty();
}

void NoteStore::relocate(const QString &newFolder)
{
    const QString target = QDir::cleanPath(QFileInfo(newFolder).absoluteFilePath());
    if (target == m_notesFolder)
        return;
    flush();
    if (!QDir().mkpath(target)) {
        setLastError(L("store.error.folder", target));
        return;
    }
    QDir old(m_notesFolder);
    QSet<QString> moved;
    const QFileInfoList files = old.entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo &info : files) {
        const QString suffix = info.suffix().toLower();
        if (suffix != u"md" && suffix != u"txt")
            continue;
        const QString destination = QDir(target).filePath(info.fileName());
        if (!QFileInfo::exists(destination) && QFile::rename(info.absoluteFilePath(), destination))
            moved.insert(info.fileName());
    }
    const QString oldMedia = old.filePath(kAttachments);
    const QString newMedia = QDir(target).filePath(kAttachments);
    if (QFileInfo(oldMedia).isDir() && !QFileInfo(oldMedia).isSymLink()
        && !QFileInfo::exists(newMedia) && !QDir().rename(oldMedia, newMedia)) {
        // Another file system: rename cannot move a folder there. Copy everything, and
        // remove the old media only once every file has arrived.
        QString failed;
        if (copyTree(oldMedia, newMedia, &failed))
            QDir(oldMedia).removeRecursively();
        else
            setLastError(L("store.error.attachment", failed));
    }
    m_notesFolder = target;
    // What the store knew of a moved file still holds; of a file left behind, nothing.
    for (auto it = m_disk.begin(); it != m_disk.end();) {
        if (moved.contains(it->filename))
            ++it;
        else
            it = m_disk.erase(it);
    }
    m_folderIdentity.reset();
    m_folderUnavailable = false;
    rescan(true);
    refresh();
    scheduleIndexWrite();
    startWatching();
}
