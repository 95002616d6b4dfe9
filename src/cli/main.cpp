// scrivel: the command-line tool. It works on the same notes folder and index as the app,
// through the same store, and takes the same lock.
#include "base/AppInfo.h"
#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "markdown/InlineRenderer.h"
#include "markdown/MarkdownBlock.h"
#include "store/NoteStore.h"
#include "store/StoreLock.h"
#include "platform/Keychain.h"
#include "platform/linux/XdgLoginItem.h"
#include "sync/APIClient.h"
#include "sync/SyncEngine.h"
#include "telemetry/Telemetry.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <expected>
#include <optional>
#include <unistd.h>

namespace {

enum Exit {
    Ok = 0,
    Failed = 1,
    Usage = 2,
    UnknownId = 3,
    Locked = 4,
    Unwritable = 8,
    SyncFailed = 5,
    SyncSignedOut = 6,
    SyncLocalOnly = 7,
};

const char *const kHelp = R"(Usage: scrivel [--notes DIR] [--support DIR] COMMAND [ARGS...]

Markdown:
  blocks                      read Markdown on standard input, print its blocks as JSON
  inline                      read inline Markdown on standard input, print its HTML

Notes (every command writes its changes out before it exits):
  list [--trash] [--tag text|image|audio] [--json]
                              list the notes, most recently changed first
  search QUERY [--tag T] [--json]
                              notes whose text holds every word of QUERY
  show ID                     print a note's text exactly
  new [TEXT]                  create a note (from standard input when TEXT is absent
                              and input is not a terminal); prints its id
  set ID [TEXT]               replace a note's text (standard input when TEXT is absent)
  delete ID                   move a note to the trash
  restore ID                  take a note out of the trash
  purge ID                    delete a trashed note for good
  empty-trash                 delete every trashed note for good
  delete-all                  delete every note
  toggle ID INDEX             flip the INDEX-th task-list box (counting from 0)
  attach ID FILE --kind image|audio [--duration S] [--move]
                              copy (or move) a file into a note and reference it
  detach ID ATTACHMENT_ID     remove an attachment's reference (its file is parked)
  rescan                      take in changes other programs made to the notes folder

Server:
  health --server URL [--json]
                              ask the server for its health and capabilities
  sync [--server URL] [--json]
                              one sync of the notes with the server (default: the app's
                              server) with the app's session; prints the final state,
                              the pushed, pulled and file counts and the conflict copies

Account (the session lives in the desktop keychain, like the app's; with SCRIVEL_TOKEN
set, that token is used instead and nothing is stored; this holds for sync too):
  signin --server URL [--accept-terms]
                              sign in with Google in the browser (the address to open
                              is printed when no browser can be started), store the
                              session, then sync; --accept-terms accepts the server's
                              terms of use
  signout                     end the session on this device; the notes stay and are
                              all pushed again after the next sign-in
  share ID [--server URL]     publish a note read-only (syncing it first when needed)
                              and print its public link
  unshare ID [--server URL]   revoke every public link of a note

Options:
  --notes DIR                 the notes folder (default: the app's setting, else
                              ~/Documents/ScrivelBar)
  --support DIR               the support folder with the index (default:
                              ~/.local/share/ScrivelBar)
  --json                      print notes (or the sync and health results) as JSON
  --server URL                the server address (health, sync, account commands)
  -h, --help                  show this help
  --version                   show the version

Exit status: 0 success, 1 failure, 2 bad usage, 3 unknown id, 4 folder in use,
8 support folder not writable (list, search and show then still read);
sync: 0 idle, 5 failed, 6 signed out, 7 local only; health: 0 healthy, 5 failed;
signin, signout, share, unshare: 0 done, 5 failed, 6 not signed in.
)";

void out(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int fail(int code, const QString &message)
{
    std::fprintf(stderr, "scrivel: %s\n", message.toUtf8().constData());
    return code;
}

QString readStandardInput()
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(input.readAll());
}

struct Arguments
{
    QString notes;
    QString support;
    QString command;
    QStringList positional;
    QHash<QString, QString> options; // --name value, or --flag with an empty value
};

const QSet<QString> kValueOptions = { QStringLiteral("--tag"), QStringLiteral("--kind"),
                                      QStringLiteral("--duration"), QStringLiteral("--server") };
const QSet<QString> kFlags = { QStringLiteral("--json"), QStringLiteral("--trash"),
                               QStringLiteral("--move"), QStringLiteral("--accept-terms") };

std::optional<Arguments> parseArguments(const QStringList &all, QString *error)
{
    Arguments parsed;
    for (qsizetype i = 1; i < all.size(); ++i) {
        const QString &a = all[i];
        auto value = [&](QString *into) {
            if (i + 1 >= all.size()) {
                *error = a + QStringLiteral(" needs a value");
                return false;
            }
            *into = all[++i];
            return true;
        };
        if (a == u"--notes" || a == u"--support") {
            QString v;
            if (!value(&v))
                return std::nullopt;
            (a == u"--notes" ? parsed.notes : parsed.support) = v;
        } else if (kValueOptions.contains(a)) {
            QString v;
            if (!value(&v))
                return std::nullopt;
            parsed.options.insert(a, v);
        } else if (kFlags.contains(a)) {
            parsed.options.insert(a, QString());
        } else if (a == u"--") {
            for (++i; i < all.size(); ++i)
                parsed.positional << all[i];
        } else if (a.startsWith(u"--") && a.size() > 2) {
            *error = QStringLiteral("unknown option ") + a;
            return std::nullopt;
        } else if (parsed.command.isEmpty()) {
            parsed.command = a;
        } else {
            parsed.positional << a;
        }
    }
    return parsed;
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

void printNotes(const NoteStore &store, const QList<Note> &notes, bool json)
{
    if (json) {
        QJsonArray array;
        for (const Note &note : notes)
            array.append(noteJson(store, note));
        out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
        return;
    }
    for (const Note &note : notes) {
        const QString when = note.updatedAt.toDateTime().toLocalTime().toString(Qt::ISODate);
        out(note.id + u'\t' + when + u'\t' + note.title() + u'\n');
    }
}

QString defaultNotesFolder()
{
    // The app keeps the user's choice of folder in its settings.
    return AppSettings().notesFolder();
}

// The folders of this run: the support folder migrated and locked, and store options for a
// one-shot command (no watcher, index written in place).
struct LockedFolders
{
    std::optional<StoreLock> lock; ///< none for a read-only run
    NoteStore::Options options;
};

// A command that only reads may run without the lock when none can be made (a full disk);
// its store then writes nothing.
std::expected<LockedFolders, int> lockFolders(const Arguments &args, bool readOnlyAllowed = false)
{
    const QString support
        = args.support.isEmpty() ? NoteStore::defaultSupportFolder() : args.support;
    NoteStore::migrateFromPreviousAppName(support);
    auto lock = StoreLock::tryAcquire(support);
    const bool unwritable = !lock && lock.error().kind == StoreLock::Failure::Kind::Unwritable;
    if (!lock && !(unwritable && readOnlyAllowed))
        return std::unexpected(fail(unwritable ? Unwritable : Locked, lock.error().message));
    if (!lock)
        fail(Ok, lock.error().message + QStringLiteral(" (reading only)"));
    NoteStore::Options options;
    options.readOnly = !lock;
    options.notesFolder = args.notes.isEmpty() ? defaultNotesFolder() : args.notes;
    options.supportFolder = support;
    options.watchFolder = false;
    options.backgroundIndexWrites = false;
    std::optional<StoreLock> held;
    if (lock)
        held.emplace(std::move(*lock));
    return LockedFolders{std::move(held), options};
}

int runMarkdown(const Arguments &args)
{
    if (!args.positional.isEmpty() || !args.options.isEmpty())
        return fail(Usage, args.command + QStringLiteral(" takes no arguments"));
    const QString input = readStandardInput();
    if (args.command == u"blocks") {
        out(QString::fromUtf8(QJsonDocument(Markdown::toJson(Markdown::parse(input)))
                                  .toJson(QJsonDocument::Indented)));
    } else {
        QString text = input;
        if (text.endsWith(u'\n'))
            text.chop(1); // the line end that terminates standard input is not part of the text
        out(Markdown::inlineHtml(text) + u'\n');
    }
    return Ok;
}

int runStoreCommand(const Arguments &args)
{
    const QString &command = args.command;
    const QStringList &p = args.positional;
    static const QHash<QString, QPair<int, int>> arity = {
        { QStringLiteral("list"), { 0, 0 } },        { QStringLiteral("search"), { 1, 1 } },
        { QStringLiteral("show"), { 1, 1 } },        { QStringLiteral("new"), { 0, 1 } },
        { QStringLiteral("set"), { 1, 2 } },         { QStringLiteral("delete"), { 1, 1 } },
        { QStringLiteral("restore"), { 1, 1 } },     { QStringLiteral("purge"), { 1, 1 } },
        { QStringLiteral("empty-trash"), { 0, 0 } }, { QStringLiteral("delete-all"), { 0, 0 } },
        { QStringLiteral("toggle"), { 2, 2 } },      { QStringLiteral("attach"), { 2, 2 } },
        { QStringLiteral("detach"), { 2, 2 } },      { QStringLiteral("rescan"), { 0, 0 } },
    };
    const auto range = arity.constFind(command);
    if (range == arity.cend())
        return fail(Usage,
                    QStringLiteral("unknown command '%1' (see scrivel --help)").arg(command));
    if (p.size() < range->first || p.size() > range->second)
        return fail(
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
            return fail(Usage, QStringLiteral("'%1' does not take %2").arg(command, it.key()));
    }
    bool tagOk = true;
    const auto tag = parseTag(args.options.value(QStringLiteral("--tag")), &tagOk);
    if (!tagOk)
        return fail(Usage, QStringLiteral("--tag must be text, image or audio"));

    const bool readsOnly = command == u"list" || command == u"search" || command == u"show";
    auto folders = lockFolders(args, readsOnly);
    if (!folders)
        return folders.error();
    NoteStore store(folders->options);
    auto reportUnreadable = [&] {
        if (!store.unreadableFiles().isEmpty())
            fail(Ok, L("store.warning.unreadableFiles", int(store.unreadableFiles().size()),
                       store.unreadableFiles().join(QStringLiteral(", "))));
    };

    auto finish = [&](int code) {
        store.flush();
        if (!store.lastError().isEmpty()) {
            fail(Failed, store.lastError());
            return code == Ok ? int(Failed) : code;
        }
        return code;
    };
    auto requireNote = [&](const QString &id) {
        return store.note(id).has_value();
    };
    const bool json = args.options.contains(QStringLiteral("--json"));

    if (command == u"list") {
        QList<Note> list = args.options.contains(QStringLiteral("--trash")) ? store.trashedNotes()
                                                                            : store.notes();
        printNotes(store, store.search(QString(), tag, list), json);
        reportUnreadable();
    } else if (command == u"search") {
        printNotes(store, store.search(p[0], tag), json);
    } else if (command == u"show") {
        const auto note = store.note(p[0]);
        if (!note)
            return fail(UnknownId, QStringLiteral("no note with id '%1'").arg(p[0]));
        out(note->body);
    } else if (command == u"new") {
        const QString text
            = !p.isEmpty() ? p[0] : (::isatty(STDIN_FILENO) ? QString() : readStandardInput());
        out(store.create(text).id + u'\n');
    } else if (command == u"set") {
        if (!requireNote(p[0]) || store.note(p[0])->deleted)
            return fail(UnknownId, QStringLiteral("no live note with id '%1'").arg(p[0]));
        store.setBody(p.size() > 1 ? p[1] : readStandardInput(), p[0], true);
    } else if (command == u"delete" || command == u"restore" || command == u"purge") {
        if (!requireNote(p[0]))
            return fail(UnknownId, QStringLiteral("no note with id '%1'").arg(p[0]));
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
            return fail(Usage, QStringLiteral("INDEX must be a whole number from 0"));
        if (!requireNote(p[0]))
            return fail(UnknownId, QStringLiteral("no note with id '%1'").arg(p[0]));
        store.toggleCheckbox(index, p[0]);
    } else if (command == u"attach") {
        const QString kind = args.options.value(QStringLiteral("--kind"));
        if (kind != u"image" && kind != u"audio")
            return fail(Usage, QStringLiteral("--kind must be image or audio"));
        std::optional<double> duration;
        if (args.options.contains(QStringLiteral("--duration"))) {
            bool ok = false;
            duration = args.options.value(QStringLiteral("--duration")).toDouble(&ok);
            if (!ok || !std::isfinite(*duration) || *duration < 0)
                return fail(Usage, QStringLiteral("--duration must be a number of seconds"));
        }
        if (!requireNote(p[0]))
            return fail(UnknownId, QStringLiteral("no note with id '%1'").arg(p[0]));
        const auto attachment = store.importAttachment(
            p[1], kind == u"audio" ? Attachment::Kind::Audio : Attachment::Kind::Image, p[0],
            duration, args.options.contains(QStringLiteral("--move")));
        if (!attachment)
            return finish(Failed);
        out(attachment->id + u'\n');
    } else if (command == u"detach") {
        const auto note = store.note(p[0]);
        if (!note)
            return fail(UnknownId, QStringLiteral("no note with id '%1'").arg(p[0]));
        const bool known = std::any_of(note->attachments.cbegin(), note->attachments.cend(),
                                       [&](const Attachment &a) { return a.id == p[1]; });
        if (!known)
            return fail(UnknownId,
                        QStringLiteral("note '%1' has no attachment '%2'").arg(p[0], p[1]));
        store.removeAttachment(p[1], p[0]);
    } else if (command == u"rescan") {
        store.rescan(true);
        if (!store.massDeletionWarning().isEmpty())
            fail(Ok, store.massDeletionWarning());
        reportUnreadable();
    }
    return finish(Ok);
}

QString stateName(SyncState::Kind kind)
{
    switch (kind) {
    case SyncState::Kind::Idle:
        return QStringLiteral("idle");
    case SyncState::Kind::Failed:
        return QStringLiteral("failed");
    case SyncState::Kind::SignedOut:
        return QStringLiteral("signedOut");
    case SyncState::Kind::Syncing:
        return QStringLiteral("syncing");
    case SyncState::Kind::LocalOnly:
        return QStringLiteral("localOnly");
    }
    return QString();
}

int checkServerOptions(const Arguments &args, bool serverRequired)
{
    if (!args.positional.isEmpty())
        return fail(Usage, args.command + QStringLiteral(" takes no arguments"));
    for (auto it = args.options.cbegin(); it != args.options.cend(); ++it) {
        if (it.key() != u"--server" && it.key() != u"--json")
            return fail(Usage, QStringLiteral("'%1' does not take %2").arg(args.command, it.key()));
    }
    if (serverRequired && args.options.value(QStringLiteral("--server")).trimmed().isEmpty())
        return fail(Usage, args.command + QStringLiteral(" needs --server URL"));
    return Ok;
}

int runHealth(QCoreApplication &app, const Arguments &args)
{
    if (const int usage = checkServerOptions(args, true); usage != Ok)
        return usage;
    const bool json = args.options.contains(QStringLiteral("--json"));
    APIClient client;
    client.configure(args.options.value(QStringLiteral("--server")), std::nullopt);
    int code = SyncFailed;
    QCoro::connect(client.health(), &app, [&](const APIResult<ServerHealth> &result) {
        if (!result) {
            fail(SyncFailed, describe(result.error()));
            app.exit(SyncFailed);
            return;
        }
        const ServerHealth &health = *result;
        const Capabilities &c = health.capabilities;
        if (json) {
            QJsonObject capabilities { { QStringLiteral("signup"), c.signup },
                                       { QStringLiteral("media"), c.media },
                                       { QStringLiteral("google"), c.google } };
            if (c.termsUrl)
                capabilities.insert(QStringLiteral("termsUrl"), *c.termsUrl);
            if (c.termsVersion)
                capabilities.insert(QStringLiteral("termsVersion"), *c.termsVersion);
            out(QString::fromUtf8(QJsonDocument(QJsonObject {
                                                    { QStringLiteral("ok"), health.ok },
                                                    { QStringLiteral("version"), health.version },
                                                    { QStringLiteral("db"), health.db },
                                                    { QStringLiteral("capabilities"), capabilities } })
                                      .toJson(QJsonDocument::Indented)));
        } else {
            auto yes = [](bool on) { return on ? QStringLiteral("yes") : QStringLiteral("no"); };
            out(QStringLiteral("ok: %1\nversion: %2\ndb: %3\nsignup: %4\nmedia: %5\ngoogle: %6\n")
                    .arg(yes(health.ok), health.version, health.db, yes(c.signup), yes(c.media),
                         yes(c.google)));
        }
        app.exit(health.ok ? int(Ok) : int(SyncFailed));
    });
    code = app.exec();
    return code;
}

// The session token of a run that got it from SCRIVEL_TOKEN: it serves the run's requests and
// is never written anywhere; a sign-out or sign-in in that run changes only this copy.
class EnvironmentTokenKeychain final : public Keychain
{
public:
    explicit EnvironmentTokenKeychain(QString token = {}) : m_token(std::move(token)) { }
    QCoro::Task<KeychainResult> read(QString service, QString account) override
    {
        if (!isSession(service, account) || m_token.isEmpty())
            co_return KeychainResult {};
        co_return KeychainResult { QString(), m_token };
    }
    QCoro::Task<KeychainResult> save(QString secret, QString service, QString account) override
    {
        if (isSession(service, account))
            m_token = secret;
        co_return KeychainResult {};
    }
    QCoro::Task<KeychainResult> remove(QString service, QString account) override
    {
        if (isSession(service, account))
            m_token.clear();
        co_return KeychainResult {};
    }

private:
    static bool isSession(const QString &service, const QString &account)
    {
        return service == Keychain::syncService() && account == Keychain::sessionTokenAccount();
    }
    QString m_token;
};

// The store, settings, keychain and engine of one account command.
struct AccountSession
{
    std::optional<StoreLock> lock;
    std::unique_ptr<NoteStore> store;
    std::unique_ptr<AppSettings> settings;
    QTemporaryDir scratch;
    EnvironmentTokenKeychain environmentKeychain;
    std::unique_ptr<Keychain> desktopKeychain;
    std::unique_ptr<SyncEngine> engine;
};

// Opens the notes and the session for an account command; a non-zero exit code on failure.
int openAccountSession(QCoreApplication &app, const Arguments &args, AccountSession &session,
                       const SyncEngine::Options &base = {})
{
    auto folders = lockFolders(args);
    if (!folders)
        return folders.error();
    session.lock = std::move(folders->lock);
    session.store = std::make_unique<NoteStore>(folders->options);

    Keychain *keychain = nullptr;
    const QString token = qEnvironmentVariable("SCRIVEL_TOKEN").trimmed();
    if (!token.isEmpty()) {
        // A token from the environment is this run's own: the user's settings stay untouched.
        if (!session.scratch.isValid())
            return fail(Failed, session.scratch.errorString());
        const QString email = AppSettings().email();
        session.settings = std::make_unique<AppSettings>(
            session.scratch.filePath(QStringLiteral("settings.ini")),
            // Nothing this run does may reach the user's autostart folder.
            std::make_unique<XdgLoginItem>(session.scratch.filePath(QStringLiteral("autostart"))));
        session.settings->setEmail(email.isEmpty() ? QStringLiteral("scrivel") : email);
        session.environmentKeychain = EnvironmentTokenKeychain(token);
        keychain = &session.environmentKeychain;
    } else {
        session.settings = std::make_unique<AppSettings>();
        session.desktopKeychain = Keychain::create();
        keychain = session.desktopKeychain.get();
    }
    SyncEngine::Options options = base;
    options.telemetry = &Telemetry::shared();
    if (args.options.contains(QStringLiteral("--server")))
        options.serverURL = args.options.value(QStringLiteral("--server"));
    session.engine = std::make_unique<SyncEngine>(session.store.get(), session.settings.get(),
                                                  keychain, options);
    if (session.engine->isRestoringSession()) {
        QObject::connect(session.engine.get(), &SyncEngine::sessionRestored, &app,
                         [&app] { app.exit(0); });
        app.exec();
    }
    return Ok;
}

// Runs `start` and the event loop until the engine's account operation (and a sync it
// started) ends.
void runAccountOperation(QCoreApplication &app, SyncEngine &engine,
                         const std::function<void()> &start)
{
    bool done = false;
    auto finished = QObject::connect(&engine, &SyncEngine::accountOperationFinished, &app, [&] {
        done = true;
        app.exit(0);
    });
    auto synced
        = QObject::connect(&engine, &SyncEngine::syncFinished, &app, [&app] { app.exit(0); });
    start();
    // A successful sign-in announces its end and then starts a sync: wait for that too.
    while (!done || engine.isSyncing())
        app.exec();
    QObject::disconnect(finished);
    QObject::disconnect(synced);
}

int stateExit(const SyncState &state)
{
    switch (state.kind) {
    case SyncState::Kind::Idle:
        return Ok;
    case SyncState::Kind::SignedOut:
        return SyncSignedOut;
    case SyncState::Kind::LocalOnly:
        return SyncLocalOnly;
    default:
        return SyncFailed;
    }
}

int runSync(QCoreApplication &app, const Arguments &args)
{
    if (const int usage = checkServerOptions(args, false); usage != Ok)
        return usage;
    const bool json = args.options.contains(QStringLiteral("--json"));

    // The same session as the app's (the desktop keychain), or SCRIVEL_TOKEN's.
    AccountSession session;
    if (const int code = openAccountSession(app, args, session); code != Ok)
        return code;
    NoteStore &store = *session.store;
    SyncEngine &engine = *session.engine;
    QObject::connect(&engine, &SyncEngine::syncFinished, &app, [&app] { app.exit(0); });
    engine.sync();
    if (engine.isSyncing())
        app.exec();
    store.flush();
    const SyncState state = engine.state();
    const SyncReport report = engine.lastReport();
    const bool idle = state.kind == SyncState::Kind::Idle;
    QJsonArray conflicts;
    for (const Note &copy : engine.lastConflicts())
        conflicts.append(copy.id);
    if (json) {
        QJsonObject object { { QStringLiteral("state"), stateName(state.kind) },
                             { QStringLiteral("pushed"), idle ? report.pushed : 0 },
                             { QStringLiteral("pulled"), idle ? report.pulled : 0 },
                             { QStringLiteral("files"), idle ? report.files : 0 },
                             { QStringLiteral("skipped"), idle ? report.skipped : 0 },
                             { QStringLiteral("mediaPending"), engine.mediaPending() },
                             { QStringLiteral("conflicts"), conflicts } };
        if (!state.message.isEmpty())
            object.insert(QStringLiteral("message"), state.message);
        out(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
    } else {
        out(QStringLiteral("state: %1\n").arg(stateName(state.kind)));
        if (!state.message.isEmpty())
            out(QStringLiteral("message: %1\n").arg(state.message));
        if (idle) {
            out(QStringLiteral("pushed: %1\npulled: %2\nfiles: %3\n")
                    .arg(report.pushed)
                    .arg(report.pulled)
                    .arg(report.files));
            if (report.skipped > 0)
                out(QStringLiteral("skipped: %1\n").arg(report.skipped));
            if (engine.mediaPending() > 0)
                out(QStringLiteral("media pending: %1\n").arg(engine.mediaPending()));
            for (const QJsonValue &id : conflicts)
                out(QStringLiteral("conflict copy: %1\n").arg(id.toString()));
        }
    }
    if (!store.lastError().isEmpty())
        fail(Ok, store.lastError());
    return stateExit(state);
}


int runAccountCommand(QCoreApplication &app, const Arguments &args)
{
    const QString &command = args.command;
    const bool needsId = command == u"share" || command == u"unshare";
    if (args.positional.size() != (needsId ? 1 : 0))
        return fail(Usage,
                    QStringLiteral("wrong number of arguments for '%1' (see scrivel --help)").arg(command));
    for (auto it = args.options.cbegin(); it != args.options.cend(); ++it) {
        const bool allowed = it.key() == u"--server"
            || (command == u"signin" && it.key() == u"--accept-terms");
        if (!allowed)
            return fail(Usage, QStringLiteral("'%1' does not take %2").arg(command, it.key()));
    }
    if (command == u"signin" && args.options.value(QStringLiteral("--server")).trimmed().isEmpty())
        return fail(Usage, QStringLiteral("signin needs --server URL"));

    SyncEngine::Options options;
    options.telemetry = &Telemetry::shared();
    options.signInAddress = [](const QUrl &url, bool opened) {
        if (!opened)
            std::fprintf(stderr, "scrivel: no browser could be started; open this address:\n%s\n",
                         url.toString(QUrl::FullyEncoded).toUtf8().constData());
    };
    AccountSession session;
    if (const int code = openAccountSession(app, args, session, options); code != Ok)
        return code;
    SyncEngine &engine = *session.engine;
    int code = Ok;

    if (command == u"signin") {
        QObject::connect(&engine, &SyncEngine::healthChanged, &app, [&app] { app.exit(0); });
        engine.checkHealth();
        app.exec();
        runAccountOperation(app, engine, [&] {
            engine.signInWithGoogle(args.options.contains(QStringLiteral("--accept-terms")));
        });
        if (engine.account())
            out(QStringLiteral("signed in: %1\n").arg(engine.account()->email));
        out(QStringLiteral("state: %1\n").arg(stateName(engine.state().kind)));
        if (!engine.state().message.isEmpty())
            out(QStringLiteral("message: %1\n").arg(engine.state().message));
        code = engine.account() ? stateExit(engine.state()) : int(SyncFailed);
        if (engine.state().kind == SyncState::Kind::Failed)
            code = SyncFailed;
    } else if (!engine.account()) {
        code = fail(SyncSignedOut, L("editor.shareLink.signedOut"));
    } else if (command == u"signout") {
        runAccountOperation(app, engine, [&] { engine.signOut(); });
        out(QStringLiteral("state: %1\n").arg(stateName(engine.state().kind)));
    } else {
        const QString id = args.positional.first();
        if (!session.store->meta(id))
            return fail(UnknownId, QStringLiteral("no note with id '%1'").arg(id));
        if (command == u"share") {
            QCoro::connect(engine.publicLink(id), &app, [&](const APIResult<QUrl> &link) {
                if (link)
                    out((*link).toString() + u'\n');
                else
                    code = fail(SyncFailed, describe(link.error()));
                app.exit(0);
            });
        } else {
            QCoro::connect(engine.stopSharing(id), &app, [&](const APIResult<void> &stopped) {
                if (!stopped)
                    code = fail(SyncFailed, describe(stopped.error()));
                app.exit(0);
            });
        }
        app.exec();
    }
    session.store->flush();
    if (!session.store->lastError().isEmpty())
        fail(Ok, session.store->lastError());
    return code;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("ScrivelBar"));
    QCoreApplication::setApplicationName(QStringLiteral("ScrivelBar"));
    QCoreApplication::setApplicationVersion(AppInfo::version());

    const QStringList all = QCoreApplication::arguments();
    if (all.contains(QStringLiteral("-h")) || all.contains(QStringLiteral("--help"))
        || all.size() == 1) {
        out(QString::fromUtf8(kHelp));
        return all.size() == 1 ? int(Usage) : int(Ok);
    }
    if (all.contains(QStringLiteral("--version"))) {
        out(QStringLiteral("scrivel %1 (%2)\n").arg(AppInfo::version(), AppInfo::build()));
        return Ok;
    }
    QString error;
    const auto args = parseArguments(all, &error);
    if (!args)
        return fail(Usage, error + QStringLiteral(" (see scrivel --help)"));
    if (args->command.isEmpty())
        return fail(Usage, QStringLiteral("no command given (see scrivel --help)"));
    if (args->command == u"blocks" || args->command == u"inline")
        return runMarkdown(*args);
    if (args->command == u"health")
        return runHealth(app, *args);
    if (args->command == u"sync")
        return runSync(app, *args);
    if (args->command == u"signin" || args->command == u"signout" || args->command == u"share"
        || args->command == u"unshare")
        return runAccountCommand(app, *args);
    return runStoreCommand(*args);
}
