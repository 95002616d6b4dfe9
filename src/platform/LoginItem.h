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
        /// The running program will not be there at the next login (a build folder, an
        /// AppImage whose file is gone) and no installed copy was found.
        NotInstalled,
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

    virtual ~LoginItem() = default;

    virtual Status status() const = 0;
    /// Makes the application start at login. Afterwards status() is Enabled.
    virtual std::expected<void, LoginItemError> registerItem() = 0;
    /// Stops the application from starting at login. Not registered is not an error.
    virtual std::expected<void, LoginItemError> unregisterItem() = 0;

    /// The desktop's login item (an XDG autostart entry).
    static std::unique_ptr<LoginItem> create();
};
