// Frontmost application, activation and desktop changes from EWMH root properties.
#include "platform/x11/X11Workspace.h"

#include "platform/x11/X11Desktop.h"

#include <QFileInfo>

namespace mirano::x11 {

X11Workspace::X11Workspace(X11Desktop& desktop, QObject* parent)
    : Workspace(parent), desktop_(desktop) {
    const xcb_window_t active = desktop_.activeWindow();
    frontPid_ = desktop_.windowPid(active);
    activeFullscreen_ = desktop_.hasState(active, "_NET_WM_STATE_FULLSCREEN");
    connect(&desktop_, &X11Desktop::activeWindowChanged, this,
            &X11Workspace::activeWindowChanged);
    connect(&desktop_, &X11Desktop::activeWindowStateChanged, this,
            &X11Workspace::checkFullscreenChange);
    connect(&desktop_, &X11Desktop::currentDesktopChanged, this,
            &Workspace::activeSpaceDidChange);
}

bool X11Workspace::processExists(ProcessID pid) {
    return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

std::optional<ProcessID> X11Workspace::frontmostApplicationPID() {
    return desktop_.windowPid(desktop_.activeWindow());
}

std::optional<RunningApplication> X11Workspace::runningApplication(ProcessID pid) {
    if (!processExists(pid)) return std::nullopt;
    const xcb_window_t client = desktop_.topClientOf(pid);
    RunningApplication app{pid, std::nullopt};
    if (client != XCB_NONE) app.bundleIdentifier = desktop_.wmClassClass(client);
    return app;
}

void X11Workspace::activate(const RunningApplication& application, unsigned /*options*/) {
    // Bringing the top-most client forward is how an EWMH desktop activates an application.
    desktop_.requestActivate(desktop_.topClientOf(application.pid));
}

void X11Workspace::activeWindowChanged() {
    const auto pid = desktop_.windowPid(desktop_.activeWindow());
    if (pid && pid != frontPid_) {
        frontPid_ = pid;
        emit didActivateApplication(ActivationNotification{pid});
    } else if (!pid) {
        // Focus on no application (the desktop): the next application counts as activated.
        frontPid_.reset();
    }
    checkFullscreenChange();
}

void X11Workspace::checkFullscreenChange() {
    // A full-screen window has no desktop of its own here, so entering or leaving full screen
    // stands in for a change of space.
    const bool full = desktop_.hasState(desktop_.activeWindow(), "_NET_WM_STATE_FULLSCREEN");
    if (full == activeFullscreen_) return;
    activeFullscreen_ = full;
    emit activeSpaceDidChange();
}

}  // namespace mirano::x11
