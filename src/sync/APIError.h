#pragma once

#include "base/Result.h"
#include "sync/WireRecords.h"

#include <QString>

#include <variant>

/// The error of every server operation.
struct APIError
{
    enum class Kind {
        Server, ///< the server answered with a status outside 200–299
        Transport, ///< the request did not complete; `message` is the network's description
        NoServer, ///< no server address is configured
        Unauthorized, ///< no token, or an authenticated request answered 401
    };

    Kind kind = Kind::Transport;
    int status = 0; ///< Server only
    QString message; ///< Server: the answer's "error" member or empty; Transport: description

    static APIError server(int status, const QString &message)
    {
        return { Kind::Server, status, message };
    }
    static APIError transport(const QString &message) { return { Kind::Transport, 0, message }; }
    static APIError noServer() { return { Kind::NoServer, 0, {} }; }
    static APIError unauthorized() { return { Kind::Unauthorized, 0, {} }; }

    /// The localized description shown to users ("error.*").
    QString description() const;

    bool operator==(const APIError &) const = default;
};

/// A share or account operation without a signed-in account.
struct SignedOutError
{
    /// "editor.shareLink.signedOut".
    QString description() const;
    bool operator==(const SignedOutError &) const = default;
};

/// The desktop keychain could not be asked for the session.
struct KeychainError
{
    QString message; ///< the keychain's own description, a complete sentence
    QString description() const { return message; }
    bool operator==(const KeychainError &) const = default;
};

/// What an operation on the server can fail with: a transport or status error, an answer that
/// could not be decoded, no signed-in account, or a keychain that could not be asked.
using ClientError = std::variant<APIError, DecodeError, SignedOutError, KeychainError>;

/// The outcome of every server operation, of the client and of the engine alike.
template<typename T> using APIResult = Result<T, ClientError>;

/// The user-facing description of any of them; screens and the command-line tool call it
/// where they show the failure.
QString describe(const ClientError &error);
/// The `APIError`, when it is one.
const APIError *asAPIError(const ClientError &error);
