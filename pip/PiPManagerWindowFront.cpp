// The PiP controller gives the captured window back to the user.
#include "pip/PiPManager.h"

namespace mirano {

void PiPManager::bringSourceWindowToFront() {
    if (!capturedAppPID_ || !capturedWindowElement_) return;
    const auto resolved =
        helpers_.bringWindowToFront(*capturedAppPID_, *capturedWindowElement_, capturedWindowID_);
    if (resolved) setCapturedWindowID(*resolved);
}

}  // namespace mirano
