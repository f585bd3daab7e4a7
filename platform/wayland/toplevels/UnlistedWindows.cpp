// The window service of a desktop that lists no windows: the dialog picks, and says so once.
#include "platform/wayland/toplevels/UnlistedWindows.h"

namespace mirano::wayland {

namespace {
/// No application id: its consent is never kept, so each mirror asks the dialog again (a kept
/// one would always restore the same window, and the user could pick no other).
SourceWindow pickedInDialog() {
    AppIdentity app;
    app.soleWindow = UnlistedWindows::kPickedInDialog;
    return SourceWindow{UnlistedWindows::kPickedInDialog, app};
}
}  // namespace

void UnlistedWindows::sayNoFocus() {
    focusLog_(
        QStringLiteral("Wayland: this desktop does not tell which window has the focus; the "
                       "desktop's dialog picks the window to mirror, and bringing it to the "
                       "front is unavailable"));
}

QList<SourceWindow> UnlistedWindows::listedWindows() const { return {pickedInDialog()}; }

std::optional<SourceWindow> UnlistedWindows::focusedWindow() {
    sayNoFocus();
    return pickedInDialog();
}

std::optional<QRectF> UnlistedWindows::frame(WindowNumber window) {
    if (window != kPickedInDialog) return std::nullopt;
    return QRectF();
}

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
