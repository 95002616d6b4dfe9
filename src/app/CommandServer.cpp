#include "app/CommandServer.h"

#include "commands/NoteCommands.h"
#include "store/NoteStore.h"

#include <QDir>
#include <QFileInfo>

namespace {

CommandReply toReply(const NoteCommands::Outcome &outcome)
{
    return CommandReply { outcome.exitCode, outcome.out, outcome.err };
}

CommandReply refuse(int code, const QString &message)
{
    return CommandReply { code, QString(), QStringLiteral("scrivel: ") + message + u'\n' };
}

// Folders are the same when they resolve to the same place (links, "..", a trailing "/").
bool sameFolder(const QString &a, const QString &b)
{
    const QString left = QFileInfo(a).canonicalFilePath();
    const QString right = QFileInfo(b).canonicalFilePath();
    if (left.isEmpty() || right.isEmpty())
        return QDir::cleanPath(QDir(a).absolutePath()) == QDir::cleanPath(QDir(b).absolutePath());
    return left == right;
}

} // namespace

CommandServer::CommandServer(SingleInstance &instance, NoteStore &store)
    : m_instance(instance)
    , m_store(store)
{
    m_instance.setCommandHandler([this](const CommandRequest &request) { return handle(request); });
}

CommandServer::~CommandServer()
{
    m_instance.setCommandHandler({});
}

CommandReply CommandServer::handle(const CommandRequest &request)
{
    // The peer is the same user, but its message is still only a message: every field is
    // checked here as the tool itself would check its command line.
    const auto arguments = NoteCommands::parse(request.arguments);
    if (!arguments)
        return refuse(NoteCommands::Usage,
                      arguments.error() + QStringLiteral(" (see scrivel --help)"));
    if (!NoteCommands::isNoteCommand(arguments->command))
        return refuse(NoteCommands::Usage,
                      QStringLiteral("'%1' is not a note command the running app takes")
                          .arg(arguments->command));
    const auto resolve = [&](const QString &path) {
        return request.workingDirectory.isEmpty()
            ? path
            : QDir(request.workingDirectory).absoluteFilePath(path);
    };
    // Another folder than the app's is not the app's to change: the tool reports it in use
    // rather than have the wrong notes changed.
    if (!arguments->support.isEmpty()
        && !sameFolder(resolve(arguments->support), m_store.supportFolder()))
        return refuse(NoteCommands::Locked,
                      QStringLiteral("the running app uses another support folder (%1)")
                          .arg(m_store.supportFolder()));
    if (!arguments->notes.isEmpty()
        && !sameFolder(resolve(arguments->notes), m_store.notesFolder()))
        return refuse(NoteCommands::Locked,
                      QStringLiteral("the running app uses another notes folder (%1)")
                          .arg(m_store.notesFolder()));
    NoteCommands::Context context;
    context.workingDirectory = request.workingDirectory;
    context.standardInput = request.standardInput;
    // The app shows its own earlier store errors; the tool hears only of what it caused.
    context.reportStandingError = false;
    return toReply(NoteCommands::run(m_store, *arguments, context));
}
