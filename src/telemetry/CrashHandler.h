#pragma once

#include <QString>

/// Crash reports of our own, as the desktop keeps none that the app could read back. On
/// SIGSEGV, SIGBUS, SIGFPE, SIGILL or SIGABRT the handler writes
/// "ScrivelBar-<UTC time>.crash" into the crash folder, with the version, the signal, the
/// faulting address and a backtrace (our functions named: the executable exports its
/// symbols), then lets the signal end the process as it would have without us, so that
/// systemd-coredump or the desktop's crash dialog still see it.
///
/// The handler only calls async-signal-safe functions: everything it needs (folder, version)
/// is prepared by `install`, it allocates nothing, takes no lock and touches no Qt.
namespace CrashHandler {

/// Reports kept in the folder; older ones are removed at `install`.
inline constexpr int keptReports = 20;

/// AppLog::stateFolder() + "/crashes".
QString crashFolder();

/// Creates `folder`, removes all but the newest `keptReports` reports, and installs the
/// handler (on its own stack, so a stack overflow is reported too). Call early in main.
/// False when the folder cannot be made (no handler then).
bool install(const QString &folder = crashFolder());

/// The hidden test hook: when SCRIVELBAR_CRASH_TEST names a crash ("segv", "abort", "fpe",
/// "ill", "bus"), the process crashes that way, from a function of ours. Nothing otherwise.
void crashIfAsked();
/// Crashes the named way now (see crashIfAsked); an unknown name does nothing.
void crashNow(const QString &how);

} // namespace CrashHandler
