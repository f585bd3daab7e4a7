#include "app/HotkeyActions.h"

#include "app/PiPControl.h"
#include "platform/Permissions.h"

namespace mirano {

HotkeyActions::HotkeyActions(Permissions& permissions, PiPControl& pip)
    : permissions_(permissions), pip_(pip) {}

void HotkeyActions::captureToggle() {
    if (!permissions_.canCapture()) {
        permissions_.askForCapture();
        return;
    }
    // One request at a time: a PiP still opening (its dialog may have the focus) is withdrawn.
    if (pip_.isOpening()) return pip_.stopPiP();
    const std::optional<SourceWindow> focused = pip_.focusedWindow();
    if (!focused) return;
    const std::optional<WindowNumber> captured = pip_.capturedWindowID();
    if (captured && *captured == focused->windowID) {
        pip_.stopPiP();
        return;
    }
    pip_.stopPiP();
    pip_.startPiP(*focused, std::nullopt);
}

bool HotkeyActions::backspaceClose() {
    if (pip_.hasPanel() && pip_.isHovering()) {
        pip_.stopPiP();
        return true;
    }
    return false;
}

void HotkeyActions::shutdown() { pip_.stopPiP(); }

}  // namespace mirano
