#include "settings/UpdateCheckInterval.h"

#include <cmath>
#include <limits>

namespace mirano::UpdateCheckIntervals {

std::int64_t rawValue(UpdateCheckInterval interval) { return static_cast<std::int64_t>(interval); }

std::optional<UpdateCheckInterval> fromRaw(std::int64_t seconds) {
    for (UpdateCheckInterval c : allCases)
        if (rawValue(c) == seconds) return c;
    return std::nullopt;
}

UpdateCheckInterval fromSeconds(double seconds) {
    // Out-of-range or non-finite values cannot name a case.
    if (!std::isfinite(seconds) || std::fabs(seconds) >= 9.2e18) return UpdateCheckInterval::weekly;
    return fromRaw(static_cast<std::int64_t>(std::trunc(seconds)))
        .value_or(UpdateCheckInterval::weekly);
}

QString displayName(UpdateCheckInterval interval) {
    switch (interval) {
        case UpdateCheckInterval::daily:
            return QStringLiteral("Daily");
        case UpdateCheckInterval::every3Days:
            return QStringLiteral("Every 3 days");
        case UpdateCheckInterval::weekly:
            return QStringLiteral("Weekly");
    }
    return QStringLiteral("Weekly");
}

}  // namespace mirano::UpdateCheckIntervals
