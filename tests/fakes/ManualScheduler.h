// A scheduler driven by the test: a manual clock and a main queue drained on demand.
#pragma once

#include <deque>
#include <map>
#include <memory>

#include "platform/Scheduler.h"

namespace mirano::fakes {

class ManualScheduler final : public Scheduler {
public:
    void post(std::function<void()> task) override;
    void postAfter(double seconds, std::function<void()> task) override;
    std::unique_ptr<Timer> schedule(double seconds, bool repeats,
                                    std::function<void()> task) override;
    double now() const override { return now_; }

    /// Runs queued tasks (including ones they queue) until the queue is empty; returns how many.
    int drain();
    /// Moves the clock forward, firing due timers in time order, draining the queue after each.
    void advance(double seconds);
    /// Timers that are still scheduled.
    int pendingTimers() const;
    std::size_t queued() const { return queue_.size(); }

private:
    struct Entry {
        double due;
        double interval;
        bool repeats;
        std::function<void()> task;
        std::shared_ptr<bool> valid;
    };
    std::deque<std::function<void()>> queue_;
    std::multimap<double, std::shared_ptr<Entry>> timers_;
    double now_ = 1000.0;
};

}  // namespace mirano::fakes
