#pragma once

#include "base/Date.h"

#include <QString>

/// "5 min ago"-style texts in the interface language (abbreviated units), for the note rows.
namespace RelativeDate {

/// The time of `then` relative to `now`. Times in the future (a clock that runs ahead on
/// another device) read as "now" rather than as a negative age.
QString format(Date then, Date now);

} // namespace RelativeDate
