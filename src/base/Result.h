#pragma once

#include <expected>
#include <type_traits>
#include <utility>

/// The outcome of an operation that can fail: the value, or an error value with a code and a
/// description for people. It reads like `std::expected`, which it wraps.
///
/// A thin wrapper instead of `std::expected` itself: with g++ 12, `std::expected` as the
/// result of a coroutine breaks compilation (its hidden comparison operators take part in the
/// comparison of the coroutine's handles and recurse).
template<typename T, typename E> class Result
{
public:
    using Expected = std::expected<T, E>;

    Result() = default;
    template<typename U>
    requires std::is_constructible_v<Expected, U &&> Result(U &&value)
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
    const E &error() const { return m_value.error(); }
    const Expected &expected() const { return m_value; }

    /// A failure, without naming the value type at the call site.
    static Result failure(E error) { return Result(std::unexpected(std::move(error))); }

private:
    Expected m_value;
};
