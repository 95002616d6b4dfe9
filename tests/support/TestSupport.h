#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

/// Shared fixtures for the Qt Test executables.
namespace TestSupport {

/// A notes folder and a support folder inside one temporary directory, removed afterwards.
class TempFolders
{
public:
    TempFolders();
    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    QString notes() const { return m_dir.filePath(QStringLiteral("notes")); }
    QString support() const { return m_dir.filePath(QStringLiteral("support")); }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

private:
    QTemporaryDir m_dir;
};

/// Reads a whole file; an empty array when it cannot be read.
QByteArray readFile(const QString &path);
/// Writes a whole file (creating its folder); false on failure.
bool writeFile(const QString &path, const QByteArray &data);
/// A file at `path` (folders made as needed) that the owner may run; `data` is its content.
bool writeExecutable(const QString &path, const QByteArray &data = "#!/bin/sh\n");

/// Common start of every test executable: test mode for standard paths, a private
/// XDG_RUNTIME_DIR, this build's recognizer module, and the English interface language.
void initTestEnvironment();

/// "http://127.0.0.1:<port>" for a port where nothing listens (it was free a moment ago).
QString unusedAddress();

} // namespace TestSupport
