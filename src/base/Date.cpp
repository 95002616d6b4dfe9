#include "base/Date.h"

#include <cmath>

namespace {
std::function<Date()> &nowOverride()
{
    static std::function<Date()> function;
    return function;
}
} // namespace

Date Date::fromDateTime(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return {};
    return fromUnixMilliseconds(double(dateTime.toMSecsSinceEpoch()));
}

Date Date::fromUnixMilliseconds(double milliseconds)
{
    return Date { (milliseconds - double(referenceUnixMs)) / 1000.0 };
}

QDateTime Date::toDateTime() const
{
    const double ms = unixMilliseconds();
    // Out-of-range values (from a damaged index) must not overflow the conversion.
    if (!std::isfinite(ms) || std::fabs(ms) > 8.64e15)
        return {};
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(ms)), Qt::UTC);
}

namespace Clock {

Date now()
{
    if (const auto &function = nowOverride())
        return function();
    return Date::fromDateTime(QDateTime::currentDateTimeUtc());
}

void setNowFunction(std::function<Date()> now)
{
    nowOverride() = std::move(now);
}

} // namespace Clock
