#include "tests/fakes/ManualScheduler.h"

namespace mirano::fakes {

namespace {
class ManualTimer final : public Timer {
public:
    explicit ManualTimer(std::shared_ptr<bool> valid) : valid_(std::move(valid)) {}
    ~ManualTimer() override { *valid_ = false; }
    void invalidate() override { *valid_ = false; }
    bool isValid() const override { return *valid_; }

private:
    std::shared_ptr<bool> valid_;
};
}  // namespace

void ManualScheduler::post(std::function<void()> task) { queue_.push_back(std::move(task)); }

void ManualScheduler::postAfter(double seconds, std::function<void()> task) {
    auto entry = std::make_shared<Entry>(
        Entry{now_ + seconds, seconds, false, std::move(task), std::make_shared<bool>(true)});
    timers_.emplace(entry->due, entry);
}

std::unique_ptr<Timer> ManualScheduler::schedule(double seconds, bool repeats,
                                                 std::function<void()> task) {
    auto valid = std::make_shared<bool>(true);
    auto entry =
        std::make_shared<Entry>(Entry{now_ + seconds, seconds, repeats, std::move(task), valid});
    timers_.emplace(entry->due, entry);
    return std::make_unique<ManualTimer>(valid);
}

int ManualScheduler::drain() {
    int n = 0;
    while (!queue_.empty()) {
        auto task = std::move(queue_.front());
        queue_.pop_front();
        task();
        ++n;
    }
    return n;
}

void ManualScheduler::advance(double seconds) {
    const double target = now_ + seconds;
    drain();
    while (true) {
        // Drop dead timers; find the next due one.
        for (auto it = timers_.begin(); it != timers_.end();) {
            if (!*it->second->valid)
                it = timers_.erase(it);
            else
                ++it;
        }
        if (timers_.empty() || timers_.begin()->first > target + 1e-9) break;
        auto it = timers_.begin();
        auto entry = it->second;
        timers_.erase(it);
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

int ManualScheduler::pendingTimers() const {
    int n = 0;
    for (const auto& [due, entry] : timers_)
        if (*entry->valid) ++n;
    return n;
}

}  // namespace mirano::fakes
