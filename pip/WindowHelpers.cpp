// The window helpers: short sequences of calls on the windows service.
#include "pip/WindowHelpers.h"

#include "platform/Platform.h"

namespace mirano {

WindowHelpers::WindowHelpers(Windows& windows) : windows_(windows) {}

WindowHelpers& WindowHelpers::shared() {
    static auto* helpers = new WindowHelpers(Platform::real().windows());
    return *helpers;
}

std::optional<SourceWindow> WindowHelpers::focusedWindow() const {
    const auto focused = windows_.focusedWindow();
    if (!focused || focused->windowID == 0) return std::nullopt;
    return focused;
}

bool WindowHelpers::isFocusedWindowFullScreen() const {
    const auto focused = focusedWindow();
    return focused && windows_.isFullScreen(focused->windowID);
}

std::optional<QRectF> WindowHelpers::windowFrame(WindowNumber windowID) const {
    return windows_.frame(windowID);
}

void WindowHelpers::bringWindowToFront(WindowNumber windowID) const {
    if (windowID == 0) return;
    if (windows_.isMinimized(windowID)) windows_.unminimize(windowID);
    // Activating the window itself, not its application: of a two-window application the
    // other window may be the one on top.
    windows_.activate(windowID);
}

}  // namespace mirano
