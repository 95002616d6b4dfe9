#include "commands/NoteCommands.h"

#include "base/Localization.h"

#include "store/NoteStore.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QPair>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace NoteCommands {

namespace {

const QSet<QString> kValueOptions = { QStringLiteral("--tag"), QStringLiteral("--kind"),
                                      QStringLiteral("--duration"), QStringLiteral("--server"),
                                      QStringLiteral("--engine"),   QStringLiteral("--provider"),
                                      QStringLiteral("--apply"),    QStringLiteral("--locale"),
                                      QStringLiteral("--seconds"),  QStringLiteral("--note") };
const QSet<QString> kFlags = { QStringLiteral("--json"), QStringLiteral("--trash"),
                               QStringLiteral("--move"), QStringLiteral("--accept-terms"),
                               QStringLiteral("--yes") };

// How many positional arguments each note command takes (least, most).
const QHash<QString, QPair<int, int>> &arities()
{
    static const QHash<QString, QPair<int, int>> arity = {
        { QStringLiteral("list"), { 0, 0 } },        { QStringLiteral("search"), { 1, 1 } },
        { QStringLiteral("show"), { 1, 1 } },        { QStringLiteral("new"), { 0, 1 } },
        { QStringLiteral("set"), { 1, 2 } },         { QStringLiteral("delete"), { 1, 1 } },
        { QStringLiteral("restore"), { 1, 1 } },     { QStringLiteral("purge"), { 1, 1 } },
        { QStringLiteral("empty-trash"), { 0, 0 } }, { QStringLiteral("delete-all"), { 0, 0 } },
        { QStringLiteral("toggle"), { 2, 2 } },      { QStringLiteral("attach"), { 2, 2 } },
        { QStringLiteral("detach"), { 2, 2 } },      { QStringLiteral("rescan"), { 0, 0 } },
    };
    return arity;
}

std::optional<Note::Tag> parseTag(const QString &text, bool *ok)
{
    *ok = true;
    if (text.isNull())
        return std::nullopt;
    if (text == u"text")
        return Note::Tag::Text;
    if (text == u"image")
        return Note::Tag::Image;
    if (text == u"audio")
        return Note::Tag::Audio;
    *ok = false;
    return std::nullopt;
}

QJsonObject noteJson(const NoteStore &store, const Note &note)
{
    const Note::Tags tags = note.tags();
    QJsonArray tagList;
    if (tags.text)
        tagList.append(QStringLiteral("text"));
    if (tags.image)
        tagList.append(QStringLiteral("image"));
    if (tags.audio)
        tagList.append(QStringLiteral("audio"));
    QJsonArray attachments;
    for (const Attachment &attachment : note.attachments)
        attachments.append(attachment.toJson());
    const Meta meta = store.meta(note.id).value_or(Meta {});
    return QJsonObject {
        { QStringLiteral("id"), note.id },
        { QStringLiteral("title"), note.title() },
        { QStringLiteral("preview"), note.preview() },
        { QStringLiteral("tags"), tagList },
        { QStringLiteral("createdAt"), note.createdAt.seconds },
        { QStringLiteral("updatedAt"), note.updatedAt.seconds },
        { QStringLiteral("deleted"), note.deleted },
        { QStringLiteral("attachments"), attachments },
        { QStringLiteral("filename"), meta.filename },
        { QStringLiteral("dirty"), meta.dirty },
    };
}

QString printNotes(const NoteStore &store, const QList<Note> &notes, bool json)
{
    if (json) {
        QJsonArray array;
        for (const Note &note : notes)
            array.append(noteJson(store, note));
        return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
    }
    QString text;
    for (const Note &note : notes) {
        const QString when = note.updatedAt.toDateTime().toLocalTime().toString(Qt::ISODate);
        text += note.id + u'\t' + when + u'\t' + note.title() + u'\n';
    }
    return text;
}

Outcome failure(int code, const QString &message)
{
    return Outcome { code, QString(), QStringLiteral("scrivel: ") + message + u'\n' };
}

} // namespace

std::expected<Arguments, QString> parse(const QStringList &all)
{
    Arguments parsed;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QString &a = all[i];
        auto value = [&](QString *into) {
            if (i + 1 >= all.size())
                return false;
            *into = all[++i];
            return true;
        };
        if (a == u"--notes" || a == u"--support") {
            QString v;
            if (!value(&v))
                return std::unexpected(a + QStringLiteral(" needs a value"));
            (a == u"--notes" ? parsed.notes : parsed.support) = v;
        } else if (kValueOptions.contains(a)) {
            QString v;
            if (!value(&v))
                return std::unexpected(a + QStringLiteral(" needs a value"));
            parsed.options.insert(a, v);
        } else if (kFlags.contains(a)) {
            parsed.options.insert(a, QString());
        } else if (a == u"--") {
            for (++i; i < all.size(); ++i)
                parsed.positional << all[i];
        } else if (a.startsWith(u"--") && a.size() > 2) {
            return std::unexpected(QStringLiteral("unknown option ") + a);
        } else if (parsed.command.isEmpty()) {
            parsed.command = a;
        } else {
            parsed.positional << a;
        }
    }
    return parsed;
}

bool isNoteCommand(const QString &command)
{
    return arities().contains(command);
}

std::optional<Outcome> checkUsage(const Arguments &args)
{
    const QString &command = args.command;
    const auto range = arities().constFind(command);
    if (range == arities().cend())
        return failure(Usage,
                       QStringLiteral("unknown command '%1' (see scrivel --help)").arg(command));
    const qsizetype count = args.positional.size();
    if (count < range->first || count > range->second)
        return failure(
            Usage,
            QStringLiteral("wrong number of arguments for '%1' (see scrivel --help)").arg(command));
    static const QHash<QString, QSet<QString>> allowed = {
        { QStringLiteral("list"),
          { QStringLiteral("--trash"), QStringLiteral("--tag"), QStringLiteral("--json") } },
        { QStringLiteral("search"), { QStringLiteral("--tag"), QStringLiteral("--json") } },
        { QStringLiteral("attach"),
          { QStringLiteral("--kind"), QStringLiteral("--duration"), QStringLiteral("--move") } },
    };
    for (auto it = args.options.cbegin(); it != args.options.cend(); ++it) {
        if (!allowed.value(command).contains(it.key()))
            return failure(Usage, QStringLiteral("'%1' does not take %2").arg(command, it.key()));
    }
    bool tagOk = true;
    parseTag(args.options.value(QStringLiteral("--tag")), &tagOk);
    if (!tagOk)
        return failure(Usage, QStringLiteral("--tag must be text, image or audio"));
    return std::nullopt;
}

bool readsStandardInput(const Arguments &args, bool inputIsTerminal)
{
    if (args.command == u"new")
        return args.positional.isEmpty() && !inputIsTerminal;
    if (args.command == u"set")
        return args.positional.size() == 1;
    return false;
}

Outcome run(NoteStore &store, const Arguments &args, const Context &context)
{
    if (auto usage = checkUsage(args))
        return *usage;
    const QString &command = args.command;
    const QStringList &p = args.positional;
    bool tagOk = true;
    const auto tag = parseTag(args.options.value(QStringLiteral("--tag")), &tagOk);
    const bool json = args.options.contains(QStringLiteral("--json"));

    // The store keeps one standing error; a repeat of the same text does not signal again.
    // What this command caused is what it reports, plus, for a store opened just for it, an
    // error of that store's load.
    QString raised;
    QObject scope;
    QObject::connect(&store, &NoteStore::lastErrorChanged, &scope, [&raised](const QString &m) {
        if (!m.isEmpty())
            raised = m;
    });
    Outcome outcome;
    auto finish = [&](int code) {
        store.flush();
        const QString error = !raised.isEmpty() ? raised
            : context.reportStandingError       ? store.lastError()
                                                : QString();
        if (!error.isEmpty()) {
            outcome.err += failure(Failed, error).err;
            outcome.exitCode = code == Ok ? int(Failed) : code;
        } else {
            outcome.exitCode = code;
        }
        return outcome;
    };
    // Files that could not be read are invisible in the list: say which.
    auto reportUnreadable = [&] {
        if (!store.unreadableFiles().isEmpty())
            outcome.err += failure(Ok, L("store.warning.unreadableFiles",
                                         int(store.unreadableFiles().size()),
                                         store.unreadableFiles().join(QStringLiteral(", "))))
                               .err;
    };
    auto unknown = [&](const QString &message) {
        Outcome early = failure(UnknownId, message);
        early.out = outcome.out;
        return early;
    };

    if (command == u"list") {
        const QList<Note> list = args.options.contains(QStringLiteral("--trash"))
            ? store.trashedNotes()
            : store.notes();
        outcome.out = printNotes(store, store.search(QString(), tag, list), json);
        reportUnreadable();
    } else if (command == u"search") {
        outcome.out = printNotes(store, store.search(p[0], tag), json);
    } else if (command == u"show") {
        const auto note = store.note(p[0]);
        if (!note)
            return unknown(QStringLiteral("no note with id '%1'").arg(p[0]));
        outcome.out = note->body;
    } else if (command == u"new") {
        const QString text = !p.isEmpty() ? p[0] : context.standardInput;
        outcome.out = store.create(text).id + u'\n';
    } else if (command == u"set") {
        const auto note = store.note(p[0]);
        if (!note || note->deleted)
            return unknown(QStringLiteral("no live note with id '%1'").arg(p[0]));
        store.setBody(p.size() > 1 ? p[1] : context.standardInput, p[0], true);
    } else if (command == u"delete" || command == u"restore" || command == u"purge") {
        if (!store.note(p[0]))
            return unknown(QStringLiteral("no note with id '%1'").arg(p[0]));
        if (command == u"delete")
            store.deleteNote(p[0]);
        else if (command == u"restore")
            store.restore(p[0]);
        else
            store.purge(p[0]);
    } else if (command == u"empty-trash") {
        store.emptyTrash();
    } else if (command == u"delete-all") {
        store.deleteAllNotes();
    } else if (command == u"toggle") {
        bool ok = false;
        const int index = p[1].toInt(&ok);
        if (!ok || index < 0)
            return failure(Usage, QStringLiteral("INDEX must be a whole number from 0"));
        if (!store.note(p[0]))
            return unknown(QStringLiteral("no note with id '%1'").arg(p[0]));
        store.toggleCheckbox(index, p[0]);
    } else if (command == u"attach") {
        const QString kind = args.options.value(QStringLiteral("--kind"));
        if (kind != u"image" && kind != u"audio")
            return failure(Usage, QStringLiteral("--kind must be image or audio"));
        std::optional<double> duration;
        if (args.options.contains(QStringLiteral("--duration"))) {
            bool ok = false;
            duration = args.options.value(QStringLiteral("--duration")).toDouble(&ok);
            if (!ok || !std::isfinite(*duration) || *duration < 0)
                return failure(Usage, QStringLiteral("--duration must be a number of seconds"));
        }
        if (!store.note(p[0]))
            return unknown(QStringLiteral("no note with id '%1'").arg(p[0]));
        // The file is named as the caller sees it, from the caller's folder (the app runs
        // elsewhere).
        const QString source = context.workingDirectory.isEmpty()
            ? QDir::current().absoluteFilePath(p[1])
            : QDir(context.workingDirectory).absoluteFilePath(p[1]);
        const auto attachment = store.importAttachment(
            source, kind == u"audio" ? Attachment::Kind::Audio : Attachment::Kind::Image, p[0],
            duration, args.options.contains(QStringLiteral("--move")));
        if (!attachment)
            return finish(Failed);
        outcome.out = attachment->id + u'\n';
    } else if (command == u"detach") {
        const auto note = store.note(p[0]);
        if (!note)
            return unknown(QStringLiteral("no note with id '%1'").arg(p[0]));
        const bool known = std::any_of(note->attachments.cbegin(), note->attachments.cend(),
                                       [&](const Attachment &a) { return a.id == p[1]; });
        if (!known)
            return unknown(QStringLiteral("note '%1' has no attachment '%2'").arg(p[0], p[1]));
        store.removeAttachment(p[1], p[0]);
    } else if (command == u"rescan") {
        store.rescan(true);
        if (!store.massDeletionWarning().isEmpty())
            outcome.err += failure(Ok, store.massDeletionWarning()).err;
        reportUnreadable();
    }
    return finish(Ok);
}

} // namespace NoteCommands
