#include "tests/fakes/FakeEventTap.h"

namespace mirano::fakes {

bool FakeEventTap::start(std::function<void(const KeyEvent&)> onKey,
                         std::function<void(const TapGrabs&)> onTriggerTaken) {
    ++record_->starts;
    if (!startSucceeds) return false;
    onKey_ = std::move(onKey);
    onTriggerTaken_ = std::move(onTriggerTaken);
    return true;
}

void FakeEventTap::stop() {
    ++record_->stops;
    onKey_ = nullptr;
    onTriggerTaken_ = nullptr;
}

void FakeEventTap::deliver(const KeyEvent& event) {
    if (onKey_) onKey_(event);
}

void FakeEventTap::reportTriggerTaken() {
    if (onTriggerTaken_ && !record_->grabs.empty()) onTriggerTaken_(record_->grabs.back());
}

}  // namespace mirano::fakes
