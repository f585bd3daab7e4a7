// Change detection of the user's focus, shared by every backend's window service.
#include "platform/FocusTracker.h"

namespace mirano {

void FocusTracker::assume(std::optional<AppIdentity> application, bool fullScreen) {
    application_ = std::move(application);
    fullScreen_ = fullScreen;
}

bool FocusTracker::focus(std::optional<AppIdentity> application) {
    const bool news =
        application && (!application_ || !application_->isSameApplication(*application));
    if (news || !application) application_ = std::move(application);
    return news;
}

bool FocusTracker::setFullScreen(bool fullScreen) {
    if (fullScreen == fullScreen_) return false;
    fullScreen_ = fullScreen;
    return true;
}

}  // namespace mirano
