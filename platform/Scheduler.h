// Main-thread tasks, timers and the clock.
#pragma once

#include <functional>
#include <memory>

namespace mirano {

/// A scheduled timer. Destroying it invalidates it, so the owner is the only one that can keep
/// it alive.
class Timer {
public:
    virtual ~Timer() = default;
    /// Stops the timer; its task never runs afterwards. Safe to call repeatedly.
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
};

/// The main dispatch queue, timers on the main thread and a monotonic clock.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    /// Runs the task on the main thread on a later turn of the event loop. Thread-safe.
    virtual void post(std::function<void()> task) = 0;
    /// Runs the task on the main thread once, after the delay (seconds). Thread-safe.
    virtual void postAfter(double seconds, std::function<void()> task) = 0;
    /// Schedules a one-shot or repeating timer on the main thread.
    virtual std::unique_ptr<Timer> schedule(double seconds, bool repeats,
                                            std::function<void()> task) = 0;
    /// Seconds on a monotonic clock.
    virtual double now() const = 0;
};

}  // namespace mirano
