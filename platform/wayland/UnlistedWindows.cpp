// The window service of a desktop that lists no windows: says so once per behaviour.
#include "platform/wayland/UnlistedWindows.h"

namespace mirano::wayland {

void UnlistedWindows::sayNoFocus() {
    focusLog_(
        QStringLiteral("Wayland: this desktop does not tell which window has the focus; "
                       "following the focused window and bringing it to the front are "
                       "unavailable"));
}

std::optional<SourceWindow> UnlistedWindows::focusedWindow() {
    sayNoFocus();
    return std::nullopt;
}

std::optional<QRectF> UnlistedWindows::frame(WindowNumber) { return std::nullopt; }

bool UnlistedWindows::isFullScreen(WindowNumber) {
    fullScreenLog_(
        QStringLiteral("Wayland: this desktop does not tell which window is full "
                       "screen; the PiP is not withdrawn over full-screen windows"));
    return false;
}

bool UnlistedWindows::isMinimized(WindowNumber) { return false; }

void UnlistedWindows::unminimize(WindowNumber) { sayNoFocus(); }

void UnlistedWindows::activate(WindowNumber) { sayNoFocus(); }

}  // namespace mirano::wayland
