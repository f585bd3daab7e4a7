#include "tests/fakes/FakeEventTap.h"

namespace mirano::fakes {

bool FakeEventTap::start(std::function<TapVerdict(const KeyEvent&)> handler) {
    ++record_->starts;
    if (!startSucceeds) return false;
    handler_ = std::move(handler);
    return true;
}

void FakeEventTap::stop() {
    ++record_->stops;
    handler_ = nullptr;
}

void FakeEventTap::setGrabs(const TapGrabs& grabs) { record_->grabs.push_back(grabs); }

std::optional<TapVerdict> FakeEventTap::inject(const KeyEvent& event) {
    if (!handler_) return std::nullopt;
    const TapVerdict verdict = handler_(event);
    record_->verdicts.push_back(verdict);
    return verdict;
}

}  // namespace mirano::fakes
