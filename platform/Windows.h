// Other applications' windows as Mirano needs them: the focused one and its application, where
// a window is, whether it is full screen or minimised, giving it back to the user, and changes
// of the active application.
#pragma once

#include <QObject>
#include <QRectF>
#include <QString>
#include <optional>

#include "platform/Types.h"

namespace mirano {

/// The application a window belongs to, as far as the desktop can tell.
struct AppIdentity {
    /// The owning process; nothing when no process can be found for the window.
    std::optional<ProcessID> pid;
    /// Without a process, the window itself stands for its application.
    WindowNumber soleWindow = 0;
    /// The name per-application settings are remembered under (on X11 the WM_CLASS class);
    /// nothing when the window has none.
    std::optional<QString> applicationID;

    /// Same process where both are known, else the very same window (a process may be learnt
    /// after a window was first seen).
    bool isSameApplication(const AppIdentity& other) const {
        if (pid && other.pid) return pid == other.pid;
        return soleWindow != 0 && soleWindow == other.soleWindow;
    }
    bool operator==(const AppIdentity&) const = default;
};

/// A top-level window of another application and who owns it.
struct SourceWindow {
    WindowNumber windowID = 0;
    AppIdentity application;
    bool operator==(const SourceWindow&) const = default;
};

/// Main thread only; the signals are emitted on the main thread. Geometry is in Qt's logical
/// coordinates (top-left origin of the virtual desktop, y down, device-independent pixels).
class Windows : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Windows() override = default;

    /// The window that has the keyboard focus, or nothing (the desktop, no window manager).
    /// Mirano's own panels that take keys without activating Mirano never count: while one
    /// has the focus, the window focused before it is answered.
    virtual std::optional<SourceWindow> focusedWindow() = 0;
    /// The window's client area, or nothing when the window is gone.
    virtual std::optional<QRectF> frame(WindowNumber window) = 0;
    /// The name of the screen (output) holding the window, where the desktop tells that but
    /// not the frame; nothing when unknown.
    virtual std::optional<QString> screenName(WindowNumber) { return std::nullopt; }
    virtual bool isFullScreen(WindowNumber window) = 0;
    virtual bool isMinimized(WindowNumber window) = 0;
    /// Restores a minimised window.
    virtual void unminimize(WindowNumber window) = 0;
    /// Asks the window manager to raise this very window and give it the focus, as a user
    /// action would.
    virtual void activate(WindowNumber window) = 0;

signals:
    /// The focus moved to a window of another application (Mirano's own windows included,
    /// its key-taking panels excluded).
    void applicationActivated(const mirano::AppIdentity& application);
    /// The focused window entered or left full screen, or the visible desktop changed.
    void fullScreenOrDesktopChanged();
};

}  // namespace mirano
