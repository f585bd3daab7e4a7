// Which frames of a source to keep for a chosen frame rate.
#pragma once

#include <chrono>
#include <optional>

namespace mirano::wayland {

/// Keeps a frame when it is due. Due times step by the interval, and a frame up to half an
/// interval early still counts, so a source at the chosen rate keeps all its frames despite
/// the jitter of its clock, and a faster one is thinned evenly. After a gap the steps start
/// again from the next frame.
class FramePacer {
public:
    using Clock = std::chrono::steady_clock;

    /// Whether the frame arriving at `now` is kept; `interval` in seconds, 0 keeps every frame.
    bool keep(Clock::time_point now, double interval);

private:
    std::optional<Clock::time_point> due_;
};

}  // namespace mirano::wayland
