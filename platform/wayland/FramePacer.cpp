// Frame pacing by due times.
#include "platform/wayland/FramePacer.h"

#include <algorithm>

namespace mirano::wayland {

bool FramePacer::keep(Clock::time_point now, double interval) {
    const auto step = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(std::max(interval, 0.0)));
    if (due_ && now + step / 2 < *due_) return false;
    // On time: the next one is due a step after this one was. Late by a step or more: from now.
    due_ = (due_ && now - *due_ < step) ? *due_ + step : now + step;
    return true;
}

}  // namespace mirano::wayland
