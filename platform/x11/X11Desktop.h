// The main thread's own X connection: EWMH reads and requests on client windows, and the
// property changes of the root and the active window, turned into signals.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <deque>
#include <memory>
#include <optional>

#include "platform/Types.h"
#include "platform/x11/XConnection.h"

class QSocketNotifier;

namespace mirano::x11 {

/// Main thread only. Every call is safe on a failed connection (it then finds nothing).
class X11Desktop : public QObject {
    Q_OBJECT
public:
    /// Connects to `display` (or $DISPLAY when null).
    explicit X11Desktop(const char* display = nullptr, QObject* parent = nullptr);
    ~X11Desktop() override;

    /// The property that marks Mirano's own panels that take keys without activating Mirano.
    static constexpr const char* kKeyPanelProperty = "_MIRANO_KEY_PANEL";

    bool isValid() const { return conn_.isValid(); }
    XConnection& connection() { return conn_; }

    /// The EWMH active window (a client window), or XCB_NONE.
    xcb_window_t activeWindow();
    /// The process owning a window: _NET_WM_PID, else the X Resource extension's client id;
    /// nothing when neither knows (a remote client, an old server).
    std::optional<ProcessID> windowPid(xcb_window_t window);
    /// Whether _NET_WM_STATE of the window holds the named state atom.
    bool hasState(xcb_window_t window, const char* stateAtom);
    /// The class part of WM_CLASS, nothing when absent or empty.
    std::optional<QString> wmClassClass(xcb_window_t window);
    /// Whether the window carries kKeyPanelProperty.
    bool isKeyPanel(xcb_window_t window);
    /// Client-area geometry in root coordinates, X pixels (top-left origin).
    std::optional<QRect> geometryInRoot(xcb_window_t window);
    /// Asks the window manager to activate the window on behalf of the user, at the server's
    /// current time (a fresh user timestamp, so focus-stealing prevention lets it through).
    void requestActivate(xcb_window_t window);
    /// Asks the window manager to map (de-iconify) a client window.
    void mapWindow(xcb_window_t window);

    /// Handles every event already received (also called before the event loop blocks).
    void processEvents();

signals:
    /// _NET_ACTIVE_WINDOW changed on the root window.
    void activeWindowChanged();
    /// _NET_CURRENT_DESKTOP changed.
    void currentDesktopChanged();
    /// _NET_WM_STATE of the watched (active) window changed.
    void activeWindowStateChanged();

private:
    /// The server's current time, read from the property change it reports on our own window.
    xcb_timestamp_t serverTime();
    std::optional<ProcessID> resourceClientPid(xcb_window_t window);
    void watchActiveWindow();

    XConnection conn_;
    std::unique_ptr<QSocketNotifier> notifier_;
    xcb_window_t watched_ = XCB_NONE;
    /// An input-only window of ours whose property changes carry server timestamps.
    xcb_window_t clock_ = XCB_NONE;
    bool hasResourceExtension_ = false;
    /// Events read while waiting for a timestamp, handled by the next processEvents().
    std::deque<XReply<xcb_generic_event_t>> pending_;
};

}  // namespace mirano::x11
