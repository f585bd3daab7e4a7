// Which of a stream's pictures to show when the user asked for fewer frames than come.
#pragma once

#include <chrono>
#include <optional>

namespace mirano::wayland {

/// At most one picture per interval over time, as the pictures come: one that comes up to a
/// quarter of an interval before it is due still counts (a 60 fps stream shown at 60 fps jitters
/// around every due time), and the next one is then due an interval after the one it stood for,
/// so the pace never exceeds the interval. After a pause the count starts afresh. Not
/// thread-safe.
class FramePacer {
public:
    using Clock = std::chrono::steady_clock;

    /// Seconds between pictures; 0 lets every picture through.
    void setInterval(double seconds) { interval_ = std::chrono::duration<double>(seconds); }
    /// Whether a picture that comes at `now` is to be shown.
    bool isDue(Clock::time_point now) const;
    /// A picture that came at `now` was shown.
    void shown(Clock::time_point now);

private:
    std::chrono::duration<double> interval_{0};
    std::optional<Clock::time_point> due_;
};

}  // namespace mirano::wayland
