// How often the update checker looks for updates, in seconds.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace mirano {

enum class UpdateCheckInterval : std::int64_t {
    daily = 86400,
    every3Days = 259200,
    weekly = 604800
};

namespace UpdateCheckIntervals {
inline constexpr std::array<UpdateCheckInterval, 3> allCases = {
    UpdateCheckInterval::daily, UpdateCheckInterval::every3Days, UpdateCheckInterval::weekly};
std::int64_t rawValue(UpdateCheckInterval interval);
std::optional<UpdateCheckInterval> fromRaw(std::int64_t seconds);
/// The updater's interval (seconds) truncated towards zero; anything unknown reads as weekly.
UpdateCheckInterval fromSeconds(double seconds);
QString displayName(UpdateCheckInterval interval);
}  // namespace UpdateCheckIntervals

}  // namespace mirano
