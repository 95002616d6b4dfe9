#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <expected>
#include <memory>
#include <optional>

/// Why registering or unregistering the login item failed.
struct LoginItemError
{
    enum class Code {
        /// The autostart entry could not be written or removed (folder or file not writable).
        WriteFailed,
        /// The entry was written but does not read back as enabled.
        NotEffective,
    };
    Code code = Code::WriteFailed;
    /// Description for people, with the path involved; goes into "account.launchAtLogin.failed".
    QString message;
};

/// Starting the application when the user logs in.
class LoginItem
{
public:
    enum class Status {
        Enabled, ///< the application starts at login
        NotRegistered, ///< no entry, or an entry the user switched off
        RequiresApproval, ///< registered but waiting for the user to allow it
        NotFound, ///< an entry exists but the program it starts is missing
    };

    enum class Backend {
        Xdg, ///< an XDG autostart entry (the desktop default)
        InMemory, ///< a fake that keeps the status in memory (tests)
    };

    virtual ~LoginItem() = default;

    virtual Status status() const = 0;
    /// Makes the application start at login. Afterwards status() is Enabled.
    virtual std::expected<void, LoginItemError> registerItem() = 0;
    /// Stops the application from starting at login. Not registered is not an error.
    virtual std::expected<void, LoginItemError> unregisterItem() = 0;

    /// The one place that picks an implementation.
    static std::unique_ptr<LoginItem> create(Backend backend = Backend::Xdg);
};

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

/// In-memory login item for tests: a settable status and injectable failures.
class MemoryLoginItem final : public LoginItem
{
public:
    Status status() const override { return m_status; }
    std::expected<void, LoginItemError> registerItem() override;
    std::expected<void, LoginItemError> unregisterItem() override;

    void setStatus(Status status) { m_status = status; }
    /// The next register/unregister calls fail with `message` (empty: they succeed again).
    void setFailure(const QString &message) { m_failure = message; }
    int registerCalls() const { return m_registerCalls; }
    int unregisterCalls() const { return m_unregisterCalls; }

private:
    Status m_status = Status::NotRegistered;
    QString m_failure;
    int m_registerCalls = 0;
    int m_unregisterCalls = 0;
};
