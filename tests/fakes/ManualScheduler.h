// A scheduler driven by the test: a manual clock and a main queue drained on demand.
#pragma once

#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

#include "platform/Scheduler.h"

namespace mirano::fakes {

struct ManualScheduler final : Scheduler {
    void post(std::function<void()> task) override { queue_.push_back(std::move(task)); }
    void postAfter(double s, std::function<void()> t) override { add(s, false, std::move(t)); }
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
            std::erase_if(timers_, [](const auto& t) { return !t->valid; });
            // The earliest due; among equal ones, the first scheduled.
            const auto next = std::ranges::min_element(timers_, {}, [](auto& t) { return t->due; });
            if (next == timers_.end() || (*next)->due > target + 1e-9) break;
            const auto entry = *next;
            timers_.erase(next);
            now_ = std::max(now_, entry->due);
            entry->due = now_ + entry->interval;
            entry->valid = entry->repeats;
            if (entry->repeats) timers_.push_back(entry);
            auto task = entry->task;
            task();
            drain();
        }
        now_ = target;
    }
    /// Timers that are still scheduled.
    int pendingTimers() const {
        return int(std::count_if(timers_.begin(), timers_.end(), [](auto& t) { return t->valid; }));
    }

private:
    struct Entry {
        double due, interval;
        bool repeats;
        std::function<void()> task;
        bool valid = true;
    };
    struct ManualTimer final : Timer {
        explicit ManualTimer(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}
        ~ManualTimer() override { entry_->valid = false; }
        void invalidate() override { entry_->valid = false; }
        bool isValid() const override { return entry_->valid; }

    private:
        std::shared_ptr<Entry> entry_;
    };
    /// Schedules `task`; returns its entry, whose `valid` says whether it is still scheduled.
    std::shared_ptr<Entry> add(double seconds, bool repeats, std::function<void()> task) {
        timers_.push_back(
            std::make_shared<Entry>(Entry{now_ + seconds, seconds, repeats, std::move(task)}));
        return timers_.back();
    }

    std::deque<std::function<void()>> queue_;
    std::vector<std::shared_ptr<Entry>> timers_;
    double now_ = 1000.0;
};

}  // namespace mirano::fakes
