#include "tests/support/ScreenInspector.h"

#include <xcb/xcb_icccm.h>

namespace mirano::testing {

namespace {

/// The reply to `cookie`, freed with the returned pointer.
template <typename ReplyFn, typename Cookie>
auto ask(x11::XConnection& conn, ReplyFn replyFn, Cookie cookie) {
    return x11::reply(replyFn(conn.get(), cookie, nullptr));
}

}  // namespace

QColor ScreenInspector::pixel(QPoint p) {
    auto r = ask(conn_, xcb_get_image_reply,
                 xcb_get_image(conn_.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, conn_.root(), int16_t(p.x()),
                               int16_t(p.y()), 1, 1, ~0u));
    if (!r || xcb_get_image_data_length(r.get()) < 4) return {};
    const uint8_t* bgr = xcb_get_image_data(r.get());
    return QColor(bgr[2], bgr[1], bgr[0]);
}

QPoint ScreenInspector::pointer() {
    auto r = ask(conn_, xcb_query_pointer_reply, xcb_query_pointer(conn_.get(), conn_.root()));
    return r ? QPoint(r->root_x, r->root_y) : QPoint(-1, -1);
}

bool ScreenInspector::selectionOwned(const char* name) {
    auto r = ask(conn_, xcb_get_selection_owner_reply,
                 xcb_get_selection_owner(conn_.get(), conn_.atom(name)));
    return r && r->owner != XCB_NONE;
}

x11::XReply<xcb_get_window_attributes_reply_t> ScreenInspector::attributes(xcb_window_t window) {
    return ask(conn_, xcb_get_window_attributes_reply,
               xcb_get_window_attributes(conn_.get(), window));
}

xcb_window_t ScreenInspector::inputFocus() {
    auto r = ask(conn_, xcb_get_input_focus_reply, xcb_get_input_focus(conn_.get()));
    return r ? r->focus : XCB_NONE;
}

QStringList ScreenInspector::atomNames(xcb_window_t window, const char* property) {
    QStringList names;
    for (std::uint32_t a : conn_.property32(window, conn_.atom(property), XCB_ATOM_ATOM))
        if (auto r = ask(conn_, xcb_get_atom_name_reply, xcb_get_atom_name(conn_.get(), a)))
            names << QString::fromLatin1(xcb_get_atom_name_name(r.get()),
                                         xcb_get_atom_name_name_length(r.get()));
    return names;
}

std::vector<std::uint32_t> ScreenInspector::cardinals(xcb_window_t window, const char* property) {
    return conn_.property32(window, conn_.atom(property), XCB_ATOM_CARDINAL);
}

std::optional<bool> ScreenInspector::inputHint(xcb_window_t window) {
    xcb_icccm_wm_hints_t h{};
    if (!xcb_icccm_get_wm_hints_reply(conn_.get(), xcb_icccm_get_wm_hints(conn_.get(), window), &h,
                                      nullptr) ||
        !(h.flags & XCB_ICCCM_WM_HINT_INPUT))
        return std::nullopt;
    return h.input != 0;
}

std::optional<QSize> ScreenInspector::minimumSize(xcb_window_t window) {
    xcb_size_hints_t h{};
    if (!xcb_icccm_get_wm_normal_hints_reply(
            conn_.get(), xcb_icccm_get_wm_normal_hints(conn_.get(), window), &h, nullptr) ||
        !(h.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE))
        return std::nullopt;
    return QSize(h.min_width, h.min_height);
}

QRect ScreenInspector::rootGeometry(xcb_window_t window) {
    auto g = ask(conn_, xcb_get_geometry_reply, xcb_get_geometry(conn_.get(), window));
    auto t = ask(conn_, xcb_translate_coordinates_reply,
                 xcb_translate_coordinates(conn_.get(), window, conn_.root(), 0, 0));
    return g && t ? QRect(t->dst_x, t->dst_y, g->width, g->height) : QRect();
}

bool ScreenInspector::pointerGrabbedElsewhere() {
    auto r = ask(conn_, xcb_grab_pointer_reply,
                 xcb_grab_pointer(conn_.get(), 0, conn_.root(), 0, XCB_GRAB_MODE_ASYNC,
                                  XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME));
    if (r && r->status == XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_pointer(conn_.get(), XCB_CURRENT_TIME);
        conn_.flush();
    }
    return r && r->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
}

}  // namespace mirano::testing
