#pragma once

#include "platform/LoginItem.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

/// Login item as an XDG autostart desktop entry "<autostart folder>/app.scrivelbar.desktop".
class XdgLoginItem final : public LoginItem
{
public:
    /// `autostartDirectory` empty → $XDG_CONFIG_HOME/autostart; `executable` empty → the running
    /// program's absolute path.
    explicit XdgLoginItem(QString autostartDirectory = {}, QString executable = {});

    QString autostartDirectory() const { return m_directory; }
    QString entryPath() const;
    QString executable() const { return m_executable; }

    Status status() const override;
    std::expected<void, LoginItemError> registerItem() override;
    std::expected<void, LoginItemError> unregisterItem() override;

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
};
