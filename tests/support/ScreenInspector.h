// Looks at the test display from outside, on a connection of its own: pixels as shown, the
// pointer, the focus and what the window manager was told about a window.
#pragma once

#include <QColor>
#include <QRect>
#include <QStringList>
#include <optional>
#include <vector>

#include "platform/x11/XConnection.h"

namespace mirano::testing {

class ScreenInspector {
public:
    /// On $DISPLAY, or on `display`.
    explicit ScreenInspector(const char* display = nullptr) : conn_(display) {}
    bool isValid() const { return conn_.isValid(); }
    x11::XConnection& connection() { return conn_; }

    /// One pixel of the screen as shown (composited when a compositing manager runs).
    QColor pixel(QPoint p);
    /// Where the pointer is, in root coordinates.
    QPoint pointer();
    /// Whether some client owns the selection (a tray, a compositing manager).
    bool selectionOwned(const char* name);
    /// The window's attributes; null when it is gone.
    x11::XReply<xcb_get_window_attributes_reply_t> attributes(xcb_window_t window);
    xcb_window_t inputFocus();
    /// The names of the atoms in an ATOM property (_NET_WM_STATE, WM_PROTOCOLS).
    QStringList atomNames(xcb_window_t window, const char* property);
    std::vector<std::uint32_t> cardinals(xcb_window_t window, const char* property);
    /// WM_HINTS input field; nothing when the hint is absent.
    std::optional<bool> inputHint(xcb_window_t window);
    /// The minimum size in WM_NORMAL_HINTS; nothing when it is not set.
    std::optional<QSize> minimumSize(xcb_window_t window);
    /// The window's rectangle in root coordinates (empty when it is gone).
    QRect rootGeometry(xcb_window_t window);
    /// Someone (the window manager during a move or resize) holds the pointer grab.
    bool pointerGrabbedElsewhere();

private:
    x11::XConnection conn_;
};

}  // namespace mirano::testing
