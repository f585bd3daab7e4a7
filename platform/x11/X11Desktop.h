// The main thread's own X connection: EWMH reads and requests on client windows, and the
// property changes of the root and the active window, turned into signals.
#pragma once

#include "platform/Types.h"
#include "platform/x11/XConnection.h"

#include <QObject>
#include <QRect>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;

namespace mirano::x11 {

/// Main thread only. Every call is safe on a failed connection (it then finds nothing).
class X11Desktop : public QObject {
    Q_OBJECT
public:
    /// Connects to `display` (or $DISPLAY when null).
    explicit X11Desktop(const char* display = nullptr, QObject* parent = nullptr);
    ~X11Desktop() override;

    /// The desktop of this process, on $DISPLAY, built on first use.
    static X11Desktop& shared();

    bool isValid() const { return conn_.isValid(); }
    XConnection& connection() { return conn_; }

    /// The EWMH active window (a client window), or XCB_NONE.
    xcb_window_t activeWindow();
    /// _NET_WM_PID of a window.
    std::optional<ProcessID> windowPid(xcb_window_t window);
    /// Managed client windows, bottom to top (_NET_CLIENT_LIST_STACKING, else _NET_CLIENT_LIST).
    std::vector<xcb_window_t> clientsStacking();
    /// The top-most client window owned by `pid`, or XCB_NONE.
    xcb_window_t topClientOf(ProcessID pid);
    /// Whether _NET_WM_STATE of the window holds the named state atom.
    bool hasState(xcb_window_t window, const char* stateAtom);
    /// The class part of WM_CLASS, nothing when absent or empty.
    std::optional<QString> wmClassClass(xcb_window_t window);
    /// The window exists on the server.
    bool windowExists(xcb_window_t window);
    /// Mapped and viewable.
    bool isViewable(xcb_window_t window);
    /// Client-area geometry in root coordinates (top-left origin).
    std::optional<QRect> geometryInRoot(xcb_window_t window);
    /// _NET_CURRENT_DESKTOP, nothing when the window manager does not publish it.
    std::optional<std::uint32_t> currentDesktop();

    /// Asks the window manager to activate the window (source indication 2: a pager/tool).
    void requestActivate(xcb_window_t window);
    /// Asks the window manager to restack the window above its siblings.
    void requestRaise(xcb_window_t window);
    /// Asks the window manager to iconify the window.
    void requestIconify(xcb_window_t window);
    void mapWindow(xcb_window_t window);
    /// Gives the window keyboard focus when it is viewable.
    void setInputFocus(xcb_window_t window);

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
    void sendRootMessage(xcb_window_t window, xcb_atom_t type, std::uint32_t d0, std::uint32_t d1,
                         std::uint32_t d2);
    void watchActiveWindow();

    XConnection conn_;
    std::unique_ptr<QSocketNotifier> notifier_;
    xcb_window_t watched_ = XCB_NONE;
};

}  // namespace mirano::x11
