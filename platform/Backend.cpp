// The choice of the backend at start.
#include "platform/Backend.h"

namespace mirano {

std::unique_ptr<Backend> chooseBackend(std::vector<std::unique_ptr<Backend>> candidates) {
    for (auto& candidate : candidates)
        if (candidate->canRun()) return std::move(candidate);
    return candidates.empty() ? nullptr : std::move(candidates.front());
}

}  // namespace mirano
