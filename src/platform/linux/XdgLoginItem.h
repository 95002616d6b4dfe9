#pragma once

#include "platform/LoginItem.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <expected>
#include <optional>

/// Login item as an XDG autostart desktop entry "<autostart folder>/app.scrivelbar.desktop".
class XdgLoginItem final : public LoginItem
{
public:
    /// `autostartDirectory` empty → $XDG_CONFIG_HOME/autostart; `executable` empty → the
    /// installed copy of the running program (programToStart).
    explicit XdgLoginItem(QString autostartDirectory = {}, QString executable = {});

    QString autostartDirectory() const { return m_directory; }
    QString entryPath() const;
    QString executable() const { return m_executable; }

    Status status() const override;
    std::expected<void, LoginItemError> registerItem() override;
    std::expected<void, LoginItemError> unregisterItem() override;

    /// The program a login should start for the running program `running`: the AppImage
    /// file rather than its mount point (gone at the next login), the installed copy found on
    /// the environment's PATH rather than a build folder's, otherwise `running` itself. The
    /// error is a description for people when no program would still be there at login.
    static std::expected<QString, QString> programToStart(const QString &running,
                                                          const QProcessEnvironment &environment);
    /// The start-up argument: the panel stays closed until the user opens it.
    static QString hiddenArgument() { return QStringLiteral("--hidden"); }

    /// The desktop entry text written for `executable` (exposed for tests).
    static QByteArray entryText(const QString &executable);
    /// One argument quoted for an Exec line (quoting of the Desktop Entry specification, then
    /// the string escapes of the file format).
    static QString quoteExecArgument(const QString &argument);
    /// Splits an Exec value (as read from the file) into its arguments; nothing when it is
    /// malformed (an unclosed quote, a bad escape).
    static std::optional<QStringList> splitExec(const QString &value);

private:
    QString m_directory;
    QString m_executable;
    /// Why no program can be registered (the running one is not installed); empty when fine.
    QString m_notInstalled;
};
