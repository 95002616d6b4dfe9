#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

/// The application's own log: every message of our logging categories ("app.scrivelbar.app"
/// and its areas ".sync", ".ai", …) goes, besides the journal or standard error, to a file in
/// the state folder, one line per message:
///
///     2026-12-09T05:26:45Z [sync] sync ok: 2 up, 0 down, 0 files
///
/// The file is rotated by size (`maxBytes`, `generations` older files "scrivelbar.log.1", …).
/// Messages pass `redact` first, so a bearer token, a provider key or a sign-in code that slips
/// into a message never reaches the disk. Diagnostics read the last 24 hours back with
/// `readLines`.
namespace AppLog {

/// The part of our categories' names before the area.
inline constexpr const char *categoryPrefix = "app.scrivelbar.app";
/// The size at which the file is rotated.
inline constexpr qint64 maxBytes = 2 * 1024 * 1024;
/// Rotated files kept besides the current one.
inline constexpr int generations = 2;
inline constexpr const char *fileName = "scrivelbar.log";

/// $XDG_STATE_HOME (else ~/.local/state) + "/" + AppPaths::folderName().
QString stateFolder();
/// The log file in `folder`.
QString filePath(const QString &folder);

/// Installs the message handler writing to `folder` (created when missing). Earlier handlers
/// (Qt's own: journal or standard error) still get every message. Installing again moves the
/// log to the new folder. Thread-safe: messages may come from any thread.
void install(const QString &folder = stateFolder());
/// Removes the handler again (tests); the previous handler is back.
void uninstall();

/// The line written for one message: UTC time, area in brackets, redacted message with its
/// line breaks written as "\n". `category` is the full category name.
QString formatLine(const QDateTime &time, const QString &category, const QString &message);
/// `message` with secrets replaced by "<redacted>": the word after "Bearer", values of
/// query or form members named like a secret (token, code, key, secret, password,
/// code_verifier) and provider keys of the "sk-…" form.
QString redact(const QString &message);

/// The lines of the files in `folder` written at `now` − 24 hours or later, oldest first, at
/// most `maxLines` (the newest). Nothing when a log file exists but cannot be read; an empty
/// list when there is no log yet.
std::optional<QStringList> readLines(const QString &folder, const QDateTime &now,
                                     int maxLines = 2000);

} // namespace AppLog
