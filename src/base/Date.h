#pragma once

#include <QDateTime>

#include <compare>
#include <functional>

/// A point in time as seconds since 2001-01-01 00:00:00 UTC, kept as a double so that the
/// index file's values round-trip exactly (QDateTime would cut them to milliseconds).
struct Date
{
    double seconds = 0;

    /// 2001-01-01T00:00:00Z in milliseconds since the Unix epoch.
    static constexpr qint64 referenceUnixMs = 978307200000LL;

    static Date fromDateTime(const QDateTime &dateTime);
    static Date fromUnixMilliseconds(double milliseconds);
    QDateTime toDateTime() const;
    double unixMilliseconds() const { return seconds * 1000.0 + double(referenceUnixMs); }
    Date addingSeconds(double delta) const { return Date { seconds + delta }; }

    auto operator<=>(const Date &) const = default;
    bool operator==(const Date &) const = default;
};

/// The program's one clock. Tests replace it to make time deterministic.
namespace Clock {
Date now();
/// Replaces the clock; an empty function restores the system clock.
void setNowFunction(std::function<Date()> now);
} // namespace Clock
