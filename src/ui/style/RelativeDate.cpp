#include "ui/style/RelativeDate.h"

#include "base/Localization.h"

#include <cmath>

namespace RelativeDate {

QString format(Date then, Date now)
{
    const double age = now.seconds - then.seconds;
    if (!std::isfinite(age) || age < 1)
        return L("date.relative.now");
    const qint64 seconds = qint64(age);
    if (seconds < 60)
        return L("date.relative.seconds", int(seconds));
    const qint64 minutes = seconds / 60;
    if (minutes < 60)
        return L("date.relative.minutes", int(minutes));
    const qint64 hours = minutes / 60;
    if (hours < 24)
        return L("date.relative.hours", int(hours));
    const qint64 days = hours / 24;
    if (days < 7)
        return L("date.relative.days", int(days));
    if (days < 31)
        return L("date.relative.weeks", int(days / 7));
    if (days < 365)
        return L("date.relative.months", int(std::max<qint64>(1, days / 30)));
    return L("date.relative.years", int(std::min<qint64>(days / 365, 100000)));
}

} // namespace RelativeDate
