// Focus, geometry, state and activation of client windows through EWMH.
#include "platform/x11/X11Windows.h"

#include "platform/x11/LogicalCoordinates.h"
#include "platform/x11/X11Desktop.h"

namespace mirano::x11 {

X11Windows::X11Windows(X11Desktop& desktop, QObject* parent) : Windows(parent), desktop_(desktop) {
    const xcb_window_t focused = userFocusedWindow();
    focus_.assume(focused != XCB_NONE ? std::optional(describe(focused).application) : std::nullopt,
                  desktop_.hasState(focused, "_NET_WM_STATE_FULLSCREEN"));
    connect(&desktop_, &X11Desktop::activeWindowChanged, this, &X11Windows::activeWindowChanged);
    connect(&desktop_, &X11Desktop::activeWindowStateChanged, this,
            &X11Windows::checkFullScreenChange);
    connect(&desktop_, &X11Desktop::currentDesktopChanged, this,
            &Windows::fullScreenOrDesktopChanged);
}

xcb_window_t X11Windows::userFocusedWindow() {
    const xcb_window_t active = desktop_.activeWindow();
    // A key panel of ours takes the keys on the user's behalf; the window behind it stays the
    // one the user works in.
    if (active != XCB_NONE && !desktop_.isKeyPanel(active)) lastFocused_ = active;
    if (active != XCB_NONE && desktop_.isKeyPanel(active)) return lastFocused_;
    return active;
}

SourceWindow X11Windows::describe(xcb_window_t window) {
    AppIdentity app;
    app.pid = desktop_.windowPid(window);
    if (!app.pid) app.soleWindow = window;
    app.applicationID = desktop_.wmClassClass(window);
    return SourceWindow{window, app};
}

std::optional<SourceWindow> X11Windows::focusedWindow() {
    const xcb_window_t window = userFocusedWindow();
    if (window == XCB_NONE || !desktop_.geometryInRoot(window)) return std::nullopt;
    return describe(window);
}

std::optional<QRectF> X11Windows::frame(WindowNumber window) {
    const auto native = desktop_.geometryInRoot(window);
    if (!native) return std::nullopt;
    return toLogical(*native);
}

bool X11Windows::isFullScreen(WindowNumber window) {
    return desktop_.hasState(window, "_NET_WM_STATE_FULLSCREEN");
}

bool X11Windows::isMinimized(WindowNumber window) {
    return desktop_.hasState(window, "_NET_WM_STATE_HIDDEN");
}

void X11Windows::unminimize(WindowNumber window) {
    // A map request of an iconic client is how a window manager is asked to restore it.
    desktop_.mapWindow(window);
}

void X11Windows::activate(WindowNumber window) { desktop_.requestActivate(window); }

void X11Windows::activeWindowChanged() {
    const xcb_window_t active = desktop_.activeWindow();
    // Focus changes are read after the fact: a window already gone (a key panel that was
    // closed meanwhile can no longer be recognised) says nothing about the user's intent.
    if (active != XCB_NONE && !desktop_.geometryInRoot(active)) return;
    const bool keyPanel = active != XCB_NONE && desktop_.isKeyPanel(active);
    // Neither the focus passing to a key panel of ours nor the moment of no focus as the panel
    // closes is the user switching applications.
    const bool wasKeyPanel = keyPanelActive_;
    keyPanelActive_ = keyPanel || (active == XCB_NONE && wasKeyPanel);
    // A switch to another application just before the panel came up may be read only now,
    // when the panel already has the focus: the application under the panel is the one the
    // user works in, so the focus coming back to it later is no new activation. (Looked up
    // once, as the focus reaches the panel: nothing else is focused while it stays there.)
    if (keyPanel && !wasKeyPanel && lastFocused_ != XCB_NONE &&
        desktop_.geometryInRoot(lastFocused_))
        focus_.focus(describe(lastFocused_).application);
    if (keyPanelActive_) return;
    userFocusedWindow();
    // Focus on no application (the desktop): the next application counts as activated.
    const auto app =
        active != XCB_NONE ? std::optional(describe(active).application) : std::nullopt;
    if (focus_.focus(app)) emit applicationActivated(*app);
    checkFullScreenChange();
}

void X11Windows::checkFullScreenChange() {
    // A full-screen window has no desktop of its own here, so entering or leaving full screen
    // stands in for a change of desktop.
    if (focus_.setFullScreen(
            desktop_.hasState(desktop_.activeWindow(), "_NET_WM_STATE_FULLSCREEN")))
        emit fullScreenOrDesktopChanged();
}

}  // namespace mirano::x11
