// Which application the user is in, and whether its window is full screen: the news the window
// services announce, told apart from repeats of what is known.
#pragma once

#include <optional>

#include "platform/Windows.h"

namespace mirano {

/// Each window service feeds it what its window system says of the user's focus and emits
/// Windows' signals when it answers true. Main thread only.
class FocusTracker {
public:
    /// The state as it is at start (or as it was found out late): no news.
    void assume(std::optional<AppIdentity> application, bool fullScreen);
    /// The application in front is now `application` (nothing: no application, so the next one
    /// counts as activated); true when that is another application than before.
    bool focus(std::optional<AppIdentity> application);
    /// The focused window is full screen or not; true when that changed.
    bool setFullScreen(bool fullScreen);
    /// What assume() or focus() said last.
    const std::optional<AppIdentity>& application() const { return application_; }

private:
    std::optional<AppIdentity> application_;
    bool fullScreen_ = false;
};

}  // namespace mirano
