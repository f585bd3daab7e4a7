// The workspace on an EWMH desktop: the active window's owner is the frontmost application.
#pragma once

#include "platform/Workspace.h"

#include <optional>

namespace mirano::x11 {

class X11Desktop;

/// Activation = the owner (_NET_WM_PID) of _NET_ACTIVE_WINDOW changes; space change =
/// _NET_CURRENT_DESKTOP changes or the active window enters or leaves full screen.
class X11Workspace final : public Workspace {
public:
    explicit X11Workspace(X11Desktop& desktop, QObject* parent = nullptr);

    std::optional<ProcessID> frontmostApplicationPID() override;
    std::optional<RunningApplication> runningApplication(ProcessID pid) override;
    void activate(const RunningApplication& application, unsigned options) override;

    /// Whether a process with that id exists (/proc).
    static bool processExists(ProcessID pid);

private:
    void activeWindowChanged();
    void checkFullscreenChange();

    X11Desktop& desktop_;
    std::optional<ProcessID> frontPid_;
    bool activeFullscreen_ = false;
};

}  // namespace mirano::x11
