// An event tap driven by the test: records what the logic asks of it and lets the test inject
// events and read the verdicts.
#pragma once

#include "platform/EventTap.h"

#include <memory>
#include <vector>

namespace mirano::fakes {

class FakeEventTap final : public EventTap {
public:
    /// What the tap was asked, kept alive by the test after the tap itself is gone.
    struct Record {
        int starts = 0;
        int stops = 0;
        std::vector<TapGrabs> grabs;
        std::vector<TapVerdict> verdicts;
    };

    FakeEventTap() : record_(std::make_shared<Record>()) {}

    bool start(std::function<TapVerdict(const KeyEvent&)> handler) override;
    void stop() override;
    void setGrabs(const TapGrabs& grabs) override;

    /// Hands the event to the handler as the real tap would; nothing when no tap is running.
    std::optional<TapVerdict> inject(const KeyEvent& event);

    /// Whether start() succeeds.
    bool startSucceeds = true;
    std::shared_ptr<Record> record() const { return record_; }
    bool isRunning() const { return static_cast<bool>(handler_); }

private:
    std::function<TapVerdict(const KeyEvent&)> handler_;
    std::shared_ptr<Record> record_;
};

}  // namespace mirano::fakes
