// The process-wide open-settings handler, reachable from code that runs outside any window.
#pragma once

#include <functional>

namespace mirano {

/// Empty until the application stores one; replaced by each store. Main thread only.
std::function<void()>& openSettingsHandler();

}  // namespace mirano
