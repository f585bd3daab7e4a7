// A scheduler driven by the test: a manual clock and a main queue drained on demand.
#pragma once

#include <algorithm>
#include <deque>
#include <map>
#include <memory>

#include "platform/Scheduler.h"

namespace mirano::fakes {

class ManualScheduler final : public Scheduler {
public:
    void post(std::function<void()> task) override { queue_.push_back(std::move(task)); }
    void postAfter(double seconds, std::function<void()> task) override {
        add(seconds, false, std::move(task));
    }
    std::unique_ptr<Timer> schedule(double seconds, bool repeats,
                                    std::function<void()> task) override {
        return std::make_unique<ManualTimer>(add(seconds, repeats, std::move(task)));
    }
    double now() const override { return now_; }

    /// Runs queued tasks (including ones they queue) until the queue is empty; returns how many.
    int drain() {
        int n = 0;
        for (; !queue_.empty(); ++n) {
            auto task = std::move(queue_.front());
            queue_.pop_front();
            task();
        }
        return n;
    }
    /// Moves the clock forward, firing due timers in time order, draining the queue after each.
    void advance(double seconds) {
        const double target = now_ + seconds;
        drain();
        while (true) {
            std::erase_if(timers_, [](const auto& t) { return !*t.second->valid; });
            if (timers_.empty() || timers_.begin()->first > target + 1e-9) break;
            auto entry = timers_.begin()->second;
            timers_.erase(timers_.begin());
            now_ = std::max(now_, entry->due);
            if (entry->repeats) {
                entry->due = now_ + entry->interval;
                timers_.emplace(entry->due, entry);
            } else {
                *entry->valid = false;
            }
            auto task = entry->task;
            task();
            drain();
        }
        now_ = target;
    }
    /// Timers that are still scheduled.
    int pendingTimers() const {
        return int(std::count_if(timers_.begin(), timers_.end(),
                                 [](const auto& t) { return *t.second->valid; }));
    }
    std::size_t queued() const { return queue_.size(); }

private:
    class ManualTimer final : public Timer {
    public:
        explicit ManualTimer(std::shared_ptr<bool> valid) : valid_(std::move(valid)) {}
        ~ManualTimer() override { *valid_ = false; }
        void invalidate() override { *valid_ = false; }
        bool isValid() const override { return *valid_; }

    private:
        std::shared_ptr<bool> valid_;
    };
    struct Entry {
        double due;
        double interval;
        bool repeats;
        std::function<void()> task;
        std::shared_ptr<bool> valid;
    };
    /// Schedules `task`; returns the flag that says whether it is still scheduled.
    std::shared_ptr<bool> add(double seconds, bool repeats, std::function<void()> task) {
        auto valid = std::make_shared<bool>(true);
        auto entry = std::make_shared<Entry>(
            Entry{now_ + seconds, seconds, repeats, std::move(task), valid});
        timers_.emplace(entry->due, entry);
        return valid;
    }

    std::deque<std::function<void()>> queue_;
    std::multimap<double, std::shared_ptr<Entry>> timers_;
    double now_ = 1000.0;
};

}  // namespace mirano::fakes
