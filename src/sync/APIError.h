#pragma once

#include "sync/WireRecords.h"

#include <QString>

#include <expected>
#include <type_traits>
#include <utility>
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

/// What a client operation can fail with: a transport or status error, or an answer that
/// could not be decoded.
using ClientError = std::variant<APIError, DecodeError>;

/// The outcome of a client operation: the value or a `ClientError`.
///
/// A thin wrapper instead of `std::expected` itself: with g++ 12, `std::expected` as the
/// result of a coroutine breaks compilation (its hidden comparison operators take part in the
/// comparison of the coroutine's handles and recurse). It reads like `std::expected`.
template<typename T> class APIResult
{
public:
    using Expected = std::expected<T, ClientError>;

    APIResult() = default;
    template<typename U>
    requires std::is_constructible_v<Expected, U &&> APIResult(U &&value)
        : m_value(std::forward<U>(value))
    {
    }

    bool has_value() const { return m_value.has_value(); }
    explicit operator bool() const { return m_value.has_value(); }
    decltype(auto) operator*() & { return *m_value; }
    decltype(auto) operator*() const & { return *m_value; }
    decltype(auto) operator*() && { return *std::move(m_value); }
    auto operator->() { return m_value.operator->(); }
    auto operator->() const { return m_value.operator->(); }
    const ClientError &error() const { return m_value.error(); }
    const Expected &expected() const { return m_value; }

private:
    Expected m_value;
};

/// The user-facing description of either error.
QString describe(const ClientError &error);
/// The `APIError`, when it is one.
const APIError *asAPIError(const ClientError &error);
