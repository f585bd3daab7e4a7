#include "platform/wayland/pipewire/FramePacer.h"

namespace mirano::wayland {

namespace {
FramePacer::Clock::duration ticks(std::chrono::duration<double> seconds) {
    return std::chrono::duration_cast<FramePacer::Clock::duration>(seconds);
}
}  // namespace

bool FramePacer::isDue(Clock::time_point now) const {
    return interval_.count() <= 0 || !due_ || now >= *due_ - ticks(interval_) / 4;
}

void FramePacer::shown(Clock::time_point now) {
    const auto interval = ticks(interval_);
    // On time or nearly: the next is due an interval after this one was; late by more than an
    // interval (a pause, a stalled producer): an interval from now.
    due_ = due_ && now < *due_ + interval ? *due_ + interval : now + interval;
}

}  // namespace mirano::wayland
