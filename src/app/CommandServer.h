#pragma once

#include "platform/linux/SingleInstance.h"

class NoteStore;

/// Runs the `scrivel` tool's note commands on the app's live store while the app holds the
/// notes: the single-instance socket hands each request here. The app is the one writer; any
/// number of tools are its clients, and each gets the output and exit code it would have had
/// working on the folder itself.
class CommandServer
{
public:
    /// Answers the command requests of `instance` from `store` (neither owned; both must
    /// outlive the server, or the handler be replaced first).
    CommandServer(SingleInstance &instance, NoteStore &store);
    ~CommandServer();
    CommandServer(const CommandServer &) = delete;
    CommandServer &operator=(const CommandServer &) = delete;

    /// One request: parsed like the tool's command line and refused when it names other
    /// folders than the live store's or a command that is not a note command.
    CommandReply handle(const CommandRequest &request);

private:
    SingleInstance &m_instance;
    NoteStore &m_store;
};
