// The PiP controller gives the captured window back to the user.
#include "pip/PiPManager.h"

namespace mirano {

void PiPManager::bringSourceWindowToFront() {
    if (capturedWindowID_) helpers_.bringWindowToFront(*capturedWindowID_);
}

}  // namespace mirano
