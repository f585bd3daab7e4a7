// The capture hotkey, the Backspace close and the PiP shutdown at quit.
#pragma once

namespace mirano {

class Permissions;
class PiPControl;

/// Main thread only; the hotkey manager calls these from its event handling.
class HotkeyActions {
public:
    HotkeyActions(Permissions& permissions, PiPControl& pip);

    /// Starts a PiP of the focused window, stops it when that window is already mirrored, or
    /// replaces a PiP of another window. A PiP still opening is withdrawn, whatever has the
    /// focus. Without capture permission it only asks for it.
    void captureToggle();
    /// Closes the PiP when the pointer is over its panel; returns whether the key was used.
    bool backspaceClose();
    /// Ends any running PiP (last step of termination).
    void shutdown();

private:
    Permissions& permissions_;
    PiPControl& pip_;
};

}  // namespace mirano
