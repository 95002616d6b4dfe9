#pragma once

#include "Storage.h"
#include "sync/WireRecords.h"

#include <QString>

#include <functional>

/// The server's HTML pages. Every text from a note or an account is escaped; the pages carry
/// no script (and are served with a policy that forbids any).
namespace Pages {

/// The Content-Security-Policy of every page.
extern const char *const contentSecurityPolicy;

/// A note's Markdown as a read-only page, rendered with the app's own block parser and inline
/// renderer. `mediaAddress` gives the address of one of the note's media files by file name
/// (empty: the file is not offered, and the block shows its label).
QString sharedNote(const WireNote &note, const std::function<QString(const QString &)> &mediaAddress);
/// The account's small web dashboard.
QString dashboard(const Account &account, const AccountStats &stats, qint64 mediaQuota,
                  const QList<ShareRecord> &shares, const QString &publicBase);
QString privacy(const QString &publicBase);
QString terms(const QString &version);
/// A short page for a failure or a notice ("This link is no longer shared").
QString message(const QString &title, const QString &text);

/// The file name of a body's media path "attachments/<noteId>/<file>" when it names a
/// usable file of that note; empty otherwise.
QString mediaFileOf(const QString &path, const QString &noteId);

} // namespace Pages
