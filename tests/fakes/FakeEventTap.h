// An event tap driven by the test: records what the logic asks of it and lets the test play
// the tap's part.
#pragma once

#include <memory>
#include <vector>

#include "platform/EventTap.h"

namespace mirano::fakes {

struct FakeEventTap final : EventTap {
    /// What the tap was asked, kept alive by the test after the tap itself is gone.
    struct Record {
        int starts = 0, stops = 0;
        std::vector<TapGrabs> grabs;
    };

    bool start(std::function<void(const KeyEvent&)> onKey,
               std::function<void(const TapGrabs&)> onTriggerTaken) override {
        ++record_->starts;
        if (!startSucceeds) return false;
        onKey_ = std::move(onKey);
        onTriggerTaken_ = std::move(onTriggerTaken);
        return true;
    }
    void stop() override {
        ++record_->stops;
        onKey_ = nullptr;
        onTriggerTaken_ = nullptr;
    }
    void setGrabs(const TapGrabs& grabs) override { record_->grabs.push_back(grabs); }
    bool seesSessionKeys() const override { return sessionKeys; }

    /// Hands an event to the logic as the real tap would; nothing when no tap is running.
    void deliver(const KeyEvent& event) {
        if (onKey_) onKey_(event);
    }
    /// Says that another program holds the trigger combination of the latest grabs.
    void reportTriggerTaken() {
        if (onTriggerTaken_ && !record_->grabs.empty()) onTriggerTaken_(record_->grabs.back());
    }

    /// Whether start() succeeds.
    bool startSucceeds = true;
    /// Whether the tap sees the session's keys (an X11 tap) or none (a Wayland one).
    bool sessionKeys = true;
    std::shared_ptr<Record> record() const { return record_; }

private:
    std::function<void(const KeyEvent&)> onKey_;
    std::function<void(const TapGrabs&)> onTriggerTaken_;
    std::shared_ptr<Record> record_ = std::make_shared<Record>();
};

}  // namespace mirano::fakes
