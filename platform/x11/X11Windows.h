// Other applications' windows on an EWMH desktop.
#pragma once

#include <xcb/xcb.h>

#include "platform/FocusTracker.h"
#include "platform/Windows.h"

namespace mirano::x11 {

class X11Desktop;

/// The focused window is _NET_ACTIVE_WINDOW; its application is its process (_NET_WM_PID,
/// else the X Resource extension) or, failing both, the window itself; full screen and
/// minimised are _NET_WM_STATE_FULLSCREEN and _NET_WM_STATE_HIDDEN. Windows marked as
/// Mirano's key panels are looked through. Geometry leaves here in Qt's logical pixels.
class X11Windows final : public Windows {
    Q_OBJECT
public:
    explicit X11Windows(X11Desktop& desktop, QObject* parent = nullptr);

    std::optional<SourceWindow> focusedWindow() override;
    std::optional<QRectF> frame(WindowNumber window) override;
    bool isFullScreen(WindowNumber window) override;
    bool isMinimized(WindowNumber window) override;
    void unminimize(WindowNumber window) override;
    void activate(WindowNumber window) override;

private:
    /// The active window unless it is one of our key panels, else the one focused before it.
    xcb_window_t userFocusedWindow();
    SourceWindow describe(xcb_window_t window);
    void activeWindowChanged();
    void checkFullScreenChange();

    X11Desktop& desktop_;
    xcb_window_t lastFocused_ = XCB_NONE;
    FocusTracker focus_;
    /// A key panel of ours has the focus, or just had it and nothing has it since.
    bool keyPanelActive_ = false;
};

}  // namespace mirano::x11
