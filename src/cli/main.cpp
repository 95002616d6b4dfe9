// scrivel: the command-line tool. It works on the same notes folder and index as the app,
// through the same store, and takes the same lock; while the app runs, the note commands go
// through the app instead (see runStoreCommand).
#include "ai/AIService.h"
#include "ai/local/LocalEngine.h"
#include "base/AppInfo.h"
#include "commands/NoteCommands.h"
#include "export/MarkdownExport.h"
#include "export/PDFExport.h"
#include "media/AudioRecorder.h"
#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "markdown/InlineRenderer.h"
#include "markdown/MarkdownBlock.h"
#include "store/NoteStore.h"
#include "store/StoreLock.h"
#include "platform/Keychain.h"
#include "platform/linux/SingleInstance.h"
#include "platform/linux/XdgLoginItem.h"
#include "sync/APIClient.h"
#include "sync/SyncEngine.h"
#include "telemetry/AppLog.h"
#include "telemetry/CrashHandler.h"
#include "telemetry/Diagnostics.h"
#include "telemetry/Telemetry.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <expected>
#include <memory>
#include <optional>
#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace {

using enum NoteCommands::Exit;
using NoteCommands::Arguments;

const char *const kHelp = R"(Usage: scrivel [--notes DIR] [--support DIR] COMMAND [ARGS...]

Markdown:
  blocks                      read Markdown on standard input, print its blocks as JSON
  inline                      read inline Markdown on standard input, print its HTML

Notes (every command writes its changes out before it exits; while the app runs, the
commands go through it and work on its notes):
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

Export and voice memos:
  html ID                     print the HTML the PDF export prints (images inlined)
  export-pdf ID OUT.pdf       export a note as PDF (pandoc with typst when both are in
                              ~/.local/bin, /usr/local/bin or /usr/bin; else printed)
  export-md ID OUT.md         write a note's Markdown with its media beside it
                              (OUT's folder/attachments/ID/...)
  record [--seconds N] [--note ID]
                              record a voice memo from the default input into a new
                              note (or note ID) until Ctrl+C or N seconds; prints the id

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
  feedback MESSAGE [--no-diagnostics] [--server URL]
                              send a message to the makers with the diagnostics
                              bundle (without it with --no-diagnostics)

Diagnostics:
  diagnostics                 print the diagnostics bundle a feedback message carries:
                              versions, the computer, the app's log of the last 24
                              hours and the newest crash reports

AI (the same settings, keys and consent as the app; keys live in the desktop keychain):
  ai summarize ID [--engine local|provider] [--provider P] [--apply insert|new] [--yes]
                              print a summary of a note; --engine and --provider
                              replace the settings for this run; --apply keeps the
                              summary in the note (insert) or as a new note (new)
  ai ocr FILE [--yes]         print the text recognized in an image
  ai transcribe FILE [--engine local|provider] [--provider P] [--locale L] [--yes]
                              print the transcript of a recording (L: system, en, es,
                              pt-BR)
  ai key set PROVIDER         store a provider's key, read from standard input
  ai key remove PROVIDER      delete a provider's key
  ai keys                     list the providers that have a key (never the key)
  Before a job sends anything to a cloud provider it asks on the terminal, unless the
  settings say not to ask; --yes answers yes for this run; without a terminal and
  without --yes it refuses. PROVIDER: anthropic, openai, deepseek, openrouter.
  SCRIVEL_ANTHROPIC_URL, SCRIVEL_OPENAI_URL, SCRIVEL_DEEPSEEK_URL, SCRIVEL_OPENROUTER_URL
  replace a provider's address (https, or http to 127.0.0.1/localhost only).
  On this device (--engine local): text in images with tesseract; speech with the local
  speech server (whisper.cpp or OpenAI-compatible) when one answers, else pocketsphinx
  (US English); summaries with the local model server (Ollama or OpenAI-compatible).
  SCRIVEL_LOCAL_SPEECH_URL and SCRIVEL_LOCAL_LLM_URL replace their addresses (this
  computer only); the settings hold them and the model otherwise.

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
signin, signout, share, unshare, feedback: 0 done, 5 failed, 6 not signed in;
ai: 0 done, 8 the job failed or was not allowed to send (the reason on standard error).
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

// Store options for a one-shot command (no watcher, index written in place).
NoteStore::Options storeOptions(const Arguments &args, const QString &support)
{
    NoteStore::Options options;
    options.notesFolder = args.notes.isEmpty() ? defaultNotesFolder() : args.notes;
    options.supportFolder = support;
    options.watchFolder = false;
    options.backgroundIndexWrites = false;
    return options;
}

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
    NoteStore::Options options = storeOptions(args, support);
    options.readOnly = !lock;
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

int emitOutcome(const NoteCommands::Outcome &outcome)
{
    out(outcome.out);
    const QByteArray err = outcome.err.toUtf8();
    std::fwrite(err.constData(), 1, size_t(err.size()), stderr);
    return outcome.exitCode;
}

// A note command. While the app runs it holds the folder's lock, and the command goes to the
// app over its local socket and runs on the app's live store; otherwise this process opens
// the store itself. Either way the same code runs the command.
NoteCommands::Outcome storeOutcome(const Arguments &args, const QStringList &commandLine);

int runStoreCommand(const Arguments &args, const QStringList &commandLine)
{
    return emitOutcome(storeOutcome(args, commandLine));
}

NoteCommands::Outcome failure(int code, const QString &message)
{
    return { code, QString(), QStringLiteral("scrivel: ") + message + u'\n' };
}

NoteCommands::Outcome storeOutcome(const Arguments &args, const QStringList &commandLine)
{
    if (const auto usage = NoteCommands::checkUsage(args))
        return *usage;
    NoteCommands::Context context;
    context.workingDirectory = QDir::currentPath();
    if (NoteCommands::readsStandardInput(args, ::isatty(STDIN_FILENO)))
        context.standardInput = readStandardInput();

    const QString support
        = args.support.isEmpty() ? NoteStore::defaultSupportFolder() : args.support;
    NoteStore::migrateFromPreviousAppName(support);
    auto lock = StoreLock::tryAcquire(support);
    const bool unwritable = !lock && lock.error().kind == StoreLock::Failure::Kind::Unwritable;
    if (!lock && !unwritable) {
        const CommandRequest request { commandLine, context.workingDirectory,
                                       context.standardInput };
        const auto reply
            = SingleInstance::runInRunning(SingleInstance::serverNameFor(support), request);
        if (reply)
            return { reply->exitCode, reply->out, reply->err };
        // Nobody answers on the socket (another tool holds the lock, or an app too old to
        // take commands): the folder is simply in use.
        if (reply.error().notDelivered)
            return failure(Locked, lock.error().message);
        return failure(Failed, reply.error().message);
    }
    // No lock can be made at all (a full or read-only support disk): reading still works.
    const bool readsOnly = args.command == u"list" || args.command == u"search"
        || args.command == u"show";
    if (!lock && !readsOnly)
        return failure(Unwritable, lock.error().message);
    if (!lock)
        fail(Ok, lock.error().message + QStringLiteral(" (reading only)"));
    NoteStore::Options options = storeOptions(args, support);
    options.readOnly = !lock;
    NoteStore store(options);
    return NoteCommands::run(store, args, context);
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

template<typename T> T awaitTask(QCoreApplication &app, QCoro::Task<T> task);

int runDiagnostics(const Arguments &args)
{
    if (!args.positional.isEmpty() || !args.options.isEmpty())
        return fail(Usage, QStringLiteral("diagnostics takes no arguments"));
    const Diagnostics::Bundle bundle = Diagnostics::collect();
    out(bundle.text.endsWith(u'\n') ? bundle.text : bundle.text + u'\n');
    return Ok;
}

int runFeedback(QCoreApplication &app, const Arguments &args, bool withDiagnostics)
{
    if (args.positional.size() != 1 || args.positional.first().trimmed().isEmpty())
        return fail(Usage, QStringLiteral("feedback needs one MESSAGE (see scrivel --help)"));
    for (auto it = args.options.cbegin(); it != args.options.cend(); ++it)
        if (it.key() != u"--server")
            return fail(Usage, QStringLiteral("'feedback' does not take %1").arg(it.key()));
    AccountSession session;
    if (const int code = openAccountSession(app, args, session); code != Ok)
        return code;
    SyncEngine &engine = *session.engine;
    if (!engine.account())
        return fail(SyncSignedOut, L("editor.shareLink.signedOut"));
    std::optional<FeedbackDiagnostics> diagnostics;
    if (withDiagnostics) {
        const Diagnostics::Bundle bundle = Diagnostics::collect();
        diagnostics = FeedbackDiagnostics { bundle.text, bundle.crashReports };
    }
    const auto sent = awaitTask(app, engine.sendFeedback(args.positional.first().trimmed(),
                                                          std::nullopt, diagnostics));
    if (!sent)
        return fail(SyncFailed, L("feedback.failed", describe(sent.error())));
    out(L("feedback.sent") + u'\n');
    return Ok;
}

// ---- AI ----

// Waits for a task on the tool's event loop. The flag covers a task that is already done
// when its callback is connected (exit() before exec() would be lost).
template<typename T> T awaitTask(QCoreApplication &app, QCoro::Task<T> task)
{
    std::optional<T> value;
    QCoro::connect(std::move(task), &app, [&](T answer) {
        value = std::move(answer);
        app.exit(0);
    });
    while (!value)
        app.exec();
    return std::move(*value);
}

std::optional<AIProvider> parseProvider(const QString &raw)
{
    for (const AIProvider provider : allAIProviders())
        if (aiProviderRawValue(provider) == raw)
            return provider;
    return std::nullopt;
}

// Reads the key: the first line when a person types it (without echo), else all of the input.
QString readKey()
{
    if (!::isatty(STDIN_FILENO))
        return readStandardInput();
    termios saved {};
    const bool quiet = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &silent);
    }
    QTextStream input(stdin);
    const QString line = input.readLine();
    if (quiet) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::fputc('\n', stderr);
    }
    return line;
}

// The settings of one AI run: the user's own, or (with --engine, --provider or --locale) a
// scratch copy of them that this run may change without touching the user's choices.
struct AISettings
{
    std::unique_ptr<AppSettings> user;
    QTemporaryDir scratch;
    std::unique_ptr<AppSettings> run;
    AppSettings *active() const { return run ? run.get() : user.get(); }
};

int openAISettings(const Arguments &args, AISettings &settings)
{
    settings.user = std::make_unique<AppSettings>();
    const QString engine = args.options.value(QStringLiteral("--engine"));
    const QString provider = args.options.value(QStringLiteral("--provider"));
    const QString locale = args.options.value(QStringLiteral("--locale"));
    const bool overrides = args.options.contains(QStringLiteral("--engine"))
        || args.options.contains(QStringLiteral("--provider"))
        || args.options.contains(QStringLiteral("--locale"));
    if (!overrides)
        return Ok;
    if (args.options.contains(QStringLiteral("--engine")) && engine != u"local"
        && engine != u"provider")
        return fail(Usage, QStringLiteral("--engine must be local or provider"));
    std::optional<AIProvider> chosen;
    if (args.options.contains(QStringLiteral("--provider"))) {
        chosen = parseProvider(provider);
        if (!chosen)
            return fail(Usage,
                        QStringLiteral("--provider must be none, anthropic, openai, deepseek or "
                                       "openrouter"));
    }
    std::optional<AppLanguage> speech;
    if (args.options.contains(QStringLiteral("--locale"))) {
        const QString code = locale == u"pt-BR" || locale == u"pt_BR" ? QStringLiteral("pt") : locale;
        speech = appLanguageFromRawValue(code, AppLanguage::System);
        if (appLanguageRawValue(*speech) != code)
            return fail(Usage, QStringLiteral("--locale must be system, en, es or pt-BR"));
    }
    if (!settings.scratch.isValid())
        return fail(Failed, settings.scratch.errorString());
    const AppSettings &user = *settings.user;
    settings.run = std::make_unique<AppSettings>(
        settings.scratch.filePath(QStringLiteral("settings.ini")),
        // Nothing this run does may reach the user's autostart folder.
        std::make_unique<XdgLoginItem>(settings.scratch.filePath(QStringLiteral("autostart"))));
    AppSettings &run = *settings.run;
    run.setLanguage(user.language());
    run.setNotesFolder(user.notesFolder());
    run.setAiProvider(chosen.value_or(user.aiProvider()));
    run.setAiModels(user.aiModels());
    const auto engineValue = [&](AIEngine stored) {
        return engine.isEmpty() ? stored : aiEngineFromRawValue(engine);
    };
    run.setSummaryEngine(engineValue(user.summaryEngine()));
    run.setTranscriptionEngine(engineValue(user.transcriptionEngine()));
    run.setSpeechLanguage(speech.value_or(user.speechLanguage()));
    run.setAiAskBeforeSending(user.aiAskBeforeSending());
    run.setLocalSpeechURL(user.localSpeechURL());
    run.setLocalModelURL(user.localModelURL());
    run.setLocalModel(user.localModel());
    return Ok;
}

int checkAIOptions(const Arguments &args, const QSet<QString> &allowed, qsizetype positional)
{
    if (args.positional.size() != positional)
        return fail(Usage, QStringLiteral("wrong number of arguments for 'ai %1' (see scrivel --help)")
                               .arg(args.positional.value(0)));
    for (auto it = args.options.cbegin(); it != args.options.cend(); ++it)
        if (!allowed.contains(it.key()))
            return fail(Usage, QStringLiteral("'ai %1' does not take %2")
                                   .arg(args.positional.value(0), it.key()));
    return Ok;
}

// One job of the AI service, with the consent question asked here on the terminal.
int runAIJob(QCoreApplication &app, const Arguments &args, AIService &service,
             AppSettings &userSettings, const std::function<void()> &start)
{
    const bool yes = args.options.contains(QStringLiteral("--yes"));
    bool finished = false;
    int code = Ok;
    QObject::connect(&service, &AIService::jobFinished, &app, [&] {
        finished = true;
        app.exit(0);
    });
    QObject::connect(&service, &AIService::consentChanged, &app, [&] {
        const auto consent = service.consent();
        if (!consent)
            return;
        const QString name = aiProviderDisplayName(consent->provider);
        if (yes) {
            service.approveConsent(*consent, false);
            return;
        }
        if (!::isatty(STDIN_FILENO)) {
            code = fail(AIFailed, L("ai.consent.noTerminal", name));
            service.declineConsent(*consent);
            finished = true;
            app.exit(0);
            return;
        }
        const bool summary = consent->job.action.kind == AIService::Action::Kind::Summarize;
        std::fprintf(stderr, "%s\n%s\n%s", L("ai.consent.title", name).toUtf8().constData(),
                     (summary ? L("ai.consent.message.text", name)
                              : L("ai.consent.message.audio", name))
                         .toUtf8()
                         .constData(),
                     L("ai.consent.terminal").toUtf8().constData());
        std::fflush(stderr);
        const QString answer = QTextStream(stdin).readLine().trimmed().toLower();
        if (answer == u"y" || answer == u"a") {
            // "Always" is the user's lasting choice, also when this run has its own settings.
            if (answer == u"a")
                userSettings.setAiAskBeforeSending(false);
            service.approveConsent(*consent, answer == u"a");
            return;
        }
        code = fail(AIFailed, L("ai.consent.declined"));
        service.declineConsent(*consent);
        finished = true;
        app.exit(0);
    });
    start();
    while (!finished)
        app.exec();
    if (code != Ok)
        return code;
    if (const auto problem = service.problem())
        return fail(AIFailed, problem->message);
    return Ok;
}

int runAI(QCoreApplication &app, const Arguments &args)
{
    const QString sub = args.positional.value(0);
    if (sub == u"keys" || sub == u"key") {
        if (sub == u"keys") {
            if (const int usage = checkAIOptions(args, {}, 1); usage != Ok)
                return usage;
        } else if (const int usage = checkAIOptions(args, {}, 3); usage != Ok) {
            return usage;
        }
        std::optional<AIProvider> provider;
        if (sub == u"key") {
            const QString verb = args.positional.at(1);
            if (verb != u"set" && verb != u"remove")
                return fail(Usage, QStringLiteral("ai key takes set or remove"));
            provider = parseProvider(args.positional.at(2));
            if (!provider || (*provider == AIProvider::None && verb == u"set"))
                return fail(Usage, QStringLiteral("PROVIDER must be anthropic, openai, deepseek "
                                                  "or openrouter"));
        }
        AppSettings settings;
        AIService::Options options;
        AIService service(&settings, nullptr, Keychain::create(), options);
        bool loaded = !service.isLoadingKeys();
        QObject::connect(&service, &AIService::keysLoaded, &app, [&] {
            loaded = true;
            app.exit(0);
        });
        while (!loaded)
            app.exec();
        if (sub == u"keys") {
            if (!service.keyProblem().isEmpty())
                return fail(Failed, service.keyProblem());
            for (const AIProvider p : service.storedKeys())
                out(aiProviderRawValue(p) + u'\n');
            return Ok;
        }
        QString problem;
        if (args.positional.at(1) == u"set") {
            const QString key = readKey().trimmed();
            if (key.isEmpty())
                return fail(Usage, QStringLiteral("no key on standard input"));
            problem = awaitTask(app, service.saveKey(key, *provider));
        } else {
            problem = awaitTask(app, service.removeKey(*provider));
        }
        return problem.isEmpty() ? int(Ok) : fail(Failed, problem);
    }

    if (sub != u"summarize" && sub != u"ocr" && sub != u"transcribe")
        return fail(Usage, QStringLiteral("unknown ai command '%1' (see scrivel --help)").arg(sub));
    const QSet<QString> allowed = sub == u"summarize"
        ? QSet<QString> { QStringLiteral("--engine"), QStringLiteral("--provider"),
                          QStringLiteral("--apply"), QStringLiteral("--yes") }
        : sub == u"transcribe"
        ? QSet<QString> { QStringLiteral("--engine"), QStringLiteral("--provider"),
                          QStringLiteral("--locale"), QStringLiteral("--yes") }
        : QSet<QString> { QStringLiteral("--yes") };
    if (const int usage = checkAIOptions(args, allowed, 2); usage != Ok)
        return usage;
    const QString apply = args.options.value(QStringLiteral("--apply"));
    if (args.options.contains(QStringLiteral("--apply")) && apply != u"insert" && apply != u"new")
        return fail(Usage, QStringLiteral("--apply must be insert or new"));

    AISettings settings;
    if (const int code = openAISettings(args, settings); code != Ok)
        return code;
    // The jobs ask the servers themselves; a look in advance would only cost time.
    LocalEngine::Options localOptions;
    localOptions.probeAtStart = false;
    LocalEngine local(settings.active(), localOptions);
    AIService::Options options;
    options.local = &local;

    if (sub != u"summarize") {
        const QString file = args.positional.at(1);
        if (!QFileInfo(file).isFile())
            return fail(Failed, QStringLiteral("no file '%1'").arg(file));
        AIService service(settings.active(), nullptr, Keychain::create(), options);
        const auto kind = sub == u"ocr" ? AIService::Action::Kind::ExtractText
                                        : AIService::Action::Kind::Transcribe;
        const int code = runAIJob(app, args, service, *settings.user,
                                  [&] { service.runOnFile(kind, file); });
        if (code != Ok)
            return code;
        if (const auto result = service.result())
            out(result->text.endsWith(u'\n') ? result->text : result->text + u'\n');
        return Ok;
    }

    // A summary reads the note, and keeping it writes the note: the store of this process,
    // under the folder's lock.
    auto folders = lockFolders(args);
    if (!folders)
        return folders.error();
    NoteStore store(folders->options);
    const QString id = args.positional.at(1);
    const auto note = store.note(id);
    if (!note || note->deleted)
        return fail(UnknownId, QStringLiteral("no note with id '%1'").arg(id));
    AIService service(settings.active(), &store, Keychain::create(), options);
    const int code = runAIJob(app, args, service, *settings.user,
                              [&] { service.run(AIService::Action::summarize(), id); });
    if (code != Ok)
        return code;
    const auto result = service.result();
    if (!result)
        return fail(AIFailed, L("ai.error.empty"));
    out(result->text.endsWith(u'\n') ? result->text : result->text + u'\n');
    if (apply == u"insert") {
        service.insertIntoNote(*result);
    } else if (apply == u"new") {
        if (const auto created = service.saveAsNewNote(*result))
            std::fprintf(stderr, "scrivel: new note %s\n", created->id.toUtf8().constData());
    }
    store.flush();
    if (!store.lastError().isEmpty())
        return fail(Failed, store.lastError());
    return Ok;
}

// ---- Export and voice memos ----

// Reads a note without taking the folder's lock: the export only reads, and the running
// app (which holds the lock) writes its files atomically.
int withNote(const Arguments &args, int positionals,
             const std::function<int(const NoteStore &, const Note &)> &work)
{
    if (args.positional.size() != positionals || !args.options.isEmpty())
        return fail(Usage, args.command + QStringLiteral(": wrong arguments (see scrivel --help)"));
    const QString support = args.support.isEmpty() ? NoteStore::defaultSupportFolder() : args.support;
    NoteStore::Options options = storeOptions(args, support);
    options.readOnly = true;
    NoteStore store(options);
    const QString id = args.positional.at(0);
    const auto note = store.note(id);
    if (!note || note->deleted)
        return fail(UnknownId, QStringLiteral("no note with id '%1'").arg(id));
    return work(store, *note);
}

int runExport(QCoreApplication &app, const Arguments &args)
{
    if (args.command == u"html")
        return withNote(args, 1, [](const NoteStore &store, const Note &note) {
            const QString folder = store.notesFolder();
            out(PDFExport::html(note.body, [&](const QString &path) { return PDFExport::dataURI(folder, path); })
                + u'\n');
            return int(Ok);
        });
    if (args.command == u"export-md")
        return withNote(args, 2, [&](const NoteStore &store, const Note &note) {
            QList<MarkdownExport::Media> media;
            for (const Attachment &attachment : note.referencedAttachments())
                media.append({ store.liveMediaPath(note.id, attachment.filename), note.mediaPath(attachment) });
            const QString target = QFileInfo(args.positional.at(1)).absoluteFilePath();
            if (auto written = MarkdownExport::write(note.body, target, media); !written)
                return fail(Failed, written.error());
            return int(Ok);
        });
    return withNote(args, 2, [&](const NoteStore &store, const Note &note) {
        const QString target = QFileInfo(args.positional.at(1)).absoluteFilePath();
        QFile::remove(target);
        const PDFExport::Outcome outcome
            = awaitTask(app, PDFExport::exportPDF(note.body, store.notesFolder(), target));
        if (!outcome)
            return fail(Failed, outcome.error().describe());
        return int(Ok);
    });
}

volatile std::sig_atomic_t interrupted = 0;

int runRecord(QCoreApplication &app, const Arguments &args, const QStringList &commandLine)
{
    for (auto it = args.options.cbegin(); it != args.options.cend(); ++it)
        if (it.key() != u"--seconds" && it.key() != u"--note")
            return fail(Usage, QStringLiteral("record: unknown option %1").arg(it.key()));
    if (!args.positional.isEmpty())
        return fail(Usage, QStringLiteral("record takes no arguments"));
    bool ok = true;
    const double seconds = args.options.contains(QStringLiteral("--seconds"))
        ? args.options.value(QStringLiteral("--seconds")).toDouble(&ok) : 0;
    if (!ok || seconds < 0)
        return fail(Usage, QStringLiteral("--seconds must be a number of seconds"));
    QString id = args.options.value(QStringLiteral("--note"));
    if (args.options.contains(QStringLiteral("--note")) && id.isEmpty())
        return fail(Usage, QStringLiteral("--note needs an id"));

    AudioRecorder recorder;
    recorder.start();
    if (recorder.status().kind == AudioRecorder::Status::Kind::Denied)
        return fail(Failed, L("recorder.permission.title"));
    if (recorder.status().kind != AudioRecorder::Status::Kind::Recording)
        return fail(Failed, recorder.status().message);
    std::signal(SIGINT, [](int) { interrupted = 1; });
    std::signal(SIGTERM, [](int) { interrupted = 1; });
    std::fprintf(stderr, "scrivel: recording%s (Ctrl+C stops)\n",
                 seconds > 0 ? qPrintable(QStringLiteral(" for %1 s").arg(seconds)) : "");
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        const bool failed = recorder.status().kind != AudioRecorder::Status::Kind::Recording;
        if (interrupted || failed || (seconds > 0 && recorder.elapsed() >= seconds))
            app.exit(0);
    });
    poll.start();
    app.exec();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (recorder.status().kind == AudioRecorder::Status::Kind::Failed)
        return fail(Failed, recorder.status().message);
    const auto take = recorder.stop();
    if (!take)
        return fail(Failed, QStringLiteral("the recording was too short to keep"));

    // The take goes into the notes through the note commands, so that it reaches the running
    // app's store when the app holds the folder.
    const QStringList prefix = [&] {
        QStringList words;
        if (!args.notes.isEmpty())
            words << QStringLiteral("--notes") << args.notes;
        if (!args.support.isEmpty())
            words << QStringLiteral("--support") << args.support;
        return words;
    }();
    Q_UNUSED(commandLine);
    const auto runWords = [&](const QStringList &words) {
        const auto parsed = NoteCommands::parse(prefix + words);
        if (!parsed)
            return failure(Usage, parsed.error());
        return storeOutcome(*parsed, prefix + words);
    };
    if (id.isEmpty()) {
        const NoteCommands::Outcome created = runWords({ QStringLiteral("new"), QString() });
        if (created.exitCode != Ok) {
            QFile::remove(take->file);
            return emitOutcome(created);
        }
        id = created.out.trimmed();
    }
    const NoteCommands::Outcome attached = runWords(
        { QStringLiteral("attach"), id, take->file, QStringLiteral("--kind"), QStringLiteral("audio"),
          QStringLiteral("--duration"), QString::number(take->duration, 'f', 2), QStringLiteral("--move") });
    if (attached.exitCode != Ok) {
        QFile::remove(take->file);
        return emitOutcome(attached);
    }
    out(id + u'\n');
    return Ok;
}

} // namespace

int main(int argc, char *argv[])
{
    // The tool's sync, sign-in and AI lines belong in the same log the diagnostics read.
    CrashHandler::install();
    AppLog::install();
    // Printing a PDF lays text out with fonts, which needs the GUI application (offscreen:
    // the tool never shows a window, and it runs without a display too).
    bool printing = false;
    for (int i = 1; i < argc; ++i)
        printing = printing || qstrcmp(argv[i], "export-pdf") == 0;
    if (printing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> application(printing ? new QGuiApplication(argc, argv)
                                                           : new QCoreApplication(argc, argv));
    QCoreApplication &app = *application;
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
    // Only `feedback` knows --no-diagnostics; the shared parser does not.
    QStringList commandLine = all.mid(1);
    const bool noDiagnostics = commandLine.removeAll(QStringLiteral("--no-diagnostics")) > 0;
    const auto args = NoteCommands::parse(commandLine);
    if (!args)
        return fail(Usage, args.error() + QStringLiteral(" (see scrivel --help)"));
    if (args->command.isEmpty())
        return fail(Usage, QStringLiteral("no command given (see scrivel --help)"));
    if (noDiagnostics && args->command != u"feedback")
        return fail(Usage, QStringLiteral("only feedback takes --no-diagnostics"));
    if (args->command == u"blocks" || args->command == u"inline")
        return runMarkdown(*args);
    if (args->command == u"diagnostics")
        return runDiagnostics(*args);
    if (args->command == u"feedback")
        return runFeedback(app, *args, !noDiagnostics);
    if (args->command == u"health")
        return runHealth(app, *args);
    if (args->command == u"sync")
        return runSync(app, *args);
    if (args->command == u"ai")
        return runAI(app, *args);
    if (args->command == u"html" || args->command == u"export-pdf" || args->command == u"export-md")
        return runExport(app, *args);
    if (args->command == u"record")
        return runRecord(app, *args, all.mid(1));
    if (args->command == u"signin" || args->command == u"signout" || args->command == u"share"
        || args->command == u"unshare")
        return runAccountCommand(app, *args);
    return runStoreCommand(*args, all.mid(1));
}
