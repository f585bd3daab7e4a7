// Looks at the test display from outside, on a connection of its own: pixels as shown, the
// focus, pointer grabs and what the window manager was told about a window.
#pragma once

#include <QColor>
#include <QRect>
#include <QStringList>
#include <optional>
#include <vector>

#include "platform/x11/XConnection.h"

namespace mirano::testing {

class ScreenInspector {
    xcb_connection_t* c() const { return conn_.get(); }
    xcb_window_t root() const { return conn_.root(); }
    xcb_atom_t atom(const char* name) { return conn_.atom(name); }
    /// The reply to `cookie`, freed with the returned pointer.
    template <typename ReplyFn, typename Cookie>
    auto ask(ReplyFn replyFn, Cookie cookie) {
        return x11::reply(replyFn(c(), cookie, nullptr));
    }

public:
    /// On $DISPLAY, or on `display`.
    explicit ScreenInspector(const char* display = nullptr) : conn_(display) {}
    bool isValid() const { return conn_.isValid(); }
    x11::XConnection& connection() { return conn_; }

    /// One pixel of the screen as shown (composited when a compositing manager runs).
    QColor pixel(QPoint p) {
        auto r = ask(xcb_get_image_reply, xcb_get_image(c(), XCB_IMAGE_FORMAT_Z_PIXMAP, root(),
                                                        int16_t(p.x()), int16_t(p.y()), 1, 1, ~0u));
        if (!r || xcb_get_image_data_length(r.get()) < 4) return {};
        const uint8_t* bgr = xcb_get_image_data(r.get());
        return QColor(bgr[2], bgr[1], bgr[0]);
    }
    /// Whether some client owns the selection (a tray, a compositing manager).
    bool selectionOwned(const char* name) {
        auto r = ask(xcb_get_selection_owner_reply, xcb_get_selection_owner(c(), atom(name)));
        return r && r->owner != XCB_NONE;
    }
    /// The window's attributes; null when it is gone.
    x11::XReply<xcb_get_window_attributes_reply_t> attributes(xcb_window_t window) {
        return ask(xcb_get_window_attributes_reply, xcb_get_window_attributes(c(), window));
    }
    xcb_window_t inputFocus() {
        auto r = ask(xcb_get_input_focus_reply, xcb_get_input_focus(c()));
        return r ? r->focus : XCB_NONE;
    }
    /// The names of the atoms in an ATOM property (_NET_WM_STATE, WM_PROTOCOLS).
    QStringList atomNames(xcb_window_t window, const char* property) {
        QStringList names;
        for (std::uint32_t a : conn_.property32(window, atom(property), XCB_ATOM_ATOM))
            if (auto r = ask(xcb_get_atom_name_reply, xcb_get_atom_name(c(), a)))
                names << QString::fromLatin1(xcb_get_atom_name_name(r.get()),
                                             xcb_get_atom_name_name_length(r.get()));
        return names;
    }
    std::vector<std::uint32_t> cardinals(xcb_window_t window, const char* property) {
        return conn_.property32(window, atom(property), XCB_ATOM_CARDINAL);
    }
    /// WM_HINTS input field (its second word, flagged by bit 0); nothing when absent.
    std::optional<bool> inputHint(xcb_window_t window) {
        const auto h = conn_.property32(window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS);
        return h.size() > 1 && (h[0] & 1) ? std::optional<bool>(h[1] != 0) : std::nullopt;
    }
    /// The minimum size in WM_NORMAL_HINTS (words 5 and 6, flagged by bit 4); nothing when unset.
    std::optional<QSize> minimumSize(xcb_window_t window) {
        const auto h = conn_.property32(window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS);
        return h.size() > 6 && (h[0] & 16) ? std::optional(QSize(int(h[5]), int(h[6])))
                                           : std::nullopt;
    }
    /// The window's rectangle in root coordinates (empty when it is gone).
    QRect rootGeometry(xcb_window_t window) {
        auto g = ask(xcb_get_geometry_reply, xcb_get_geometry(c(), window));
        auto t = ask(xcb_translate_coordinates_reply,
                     xcb_translate_coordinates(c(), window, root(), 0, 0));
        return g && t ? QRect(t->dst_x, t->dst_y, g->width, g->height) : QRect();
    }
    /// Someone (the window manager during a move or resize) holds the pointer grab.
    bool pointerGrabbedElsewhere() {
        auto r = ask(xcb_grab_pointer_reply,
                     xcb_grab_pointer(c(), 0, root(), 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                      XCB_NONE, XCB_NONE, XCB_CURRENT_TIME));
        if (r && r->status == XCB_GRAB_STATUS_SUCCESS) {
            xcb_ungrab_pointer(c(), XCB_CURRENT_TIME);
            conn_.flush();
        }
        return r && r->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    }

private:
    x11::XConnection conn_;
};

}  // namespace mirano::testing
