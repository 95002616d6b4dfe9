#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <expected>
#include <optional>

class NoteStore;

/// The `scrivel` note commands (list, search, show, new, set, delete, restore, purge,
/// empty-trash, delete-all, toggle, attach, detach, rescan) against a note store. The
/// command-line tool runs them on a store it opens itself; the running app runs the same code
/// on its live store for a tool that reached it over the local socket, so both give the same
/// output and exit codes.
namespace NoteCommands {

/// The tool's exit codes.
enum Exit {
    Ok = 0,
    Failed = 1,
    Usage = 2,
    UnknownId = 3,
    Locked = 4,
    SyncFailed = 5,
    SyncSignedOut = 6,
    SyncLocalOnly = 7,
    AIFailed = 8, ///< an AI job failed or was not allowed to send
    /// No lock can be made in the support folder (a full or read-only disk): only reading
    /// commands run.
    Unwritable = 9,
};

/// A parsed command line.
struct Arguments
{
    QString notes; ///< --notes DIR
    QString support; ///< --support DIR
    QString command;
    QStringList positional;
    QHash<QString, QString> options; ///< --name value, or --flag with an empty value
};

/// Parses the arguments that follow the program name; the message says what is wrong.
std::expected<Arguments, QString> parse(const QStringList &arguments);

/// True for the commands that work on the notes (run by `run`).
bool isNoteCommand(const QString &command);

/// What one command printed and how it ended. Error lines carry the "scrivel: " prefix and
/// their line end, as the tool prints them.
struct Outcome
{
    int exitCode = Ok;
    QString out;
    QString err;
    bool operator==(const Outcome &) const = default;
};

/// The usage failure of a note command (unknown command, wrong arguments or options), found
/// before any store is opened; nothing when the command line is well formed.
std::optional<Outcome> checkUsage(const Arguments &arguments);

/// True when the command takes its text from standard input (`new` without TEXT when the
/// input is not a terminal, `set` without TEXT).
bool readsStandardInput(const Arguments &arguments, bool inputIsTerminal);

/// Where a command runs.
struct Context
{
    /// Relative paths of the command line (the file of `attach`) are taken from here; empty →
    /// this process's current folder.
    QString workingDirectory;
    /// The text of standard input, for a command that reads it (`readsStandardInput`).
    QString standardInput;
    /// Report a store error that was already standing before the command (true for a store
    /// opened for this command, whose load errors belong to it; false for the app's live
    /// store, whose earlier errors the app shows itself).
    bool reportStandingError = true;
};

/// Runs one note command on `store` and writes its changes out (`flush`) before returning.
Outcome run(NoteStore &store, const Arguments &arguments, const Context &context);

} // namespace NoteCommands
