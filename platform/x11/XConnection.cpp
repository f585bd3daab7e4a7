#include "platform/x11/XConnection.h"

namespace mirano::x11 {

xcb_screen_t* screenOf(xcb_connection_t* connection, int number) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < number && it.rem; ++i) xcb_screen_next(&it);
    return it.rem ? it.data : nullptr;
}

XConnection::XConnection(const char* display) {
    conn_ = xcb_connect(display, &screenNumber_);
    if (xcb_connection_has_error(conn_)) return;
    screen_ = screenOf(conn_, screenNumber_);
}

XConnection::~XConnection() {
    if (conn_) xcb_disconnect(conn_);
}

bool XConnection::isValid() const { return conn_ && screen_ && !xcb_connection_has_error(conn_); }

std::vector<std::uint32_t> XConnection::property32(xcb_window_t window, xcb_atom_t property,
                                                   xcb_atom_t type) {
    if (!isValid() || window == XCB_NONE) return {};
    auto cookie = xcb_get_property(conn_, 0, window, property, type, 0, 4096);
    auto r = reply(xcb_get_property_reply(conn_, cookie, nullptr));
    if (!r || r->format != 32 || r->type == XCB_ATOM_NONE) return {};
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(r.get()));
    const int n = xcb_get_property_value_length(r.get()) / 4;
    return std::vector<std::uint32_t>(data, data + n);
}

std::optional<QByteArray> XConnection::propertyBytes(xcb_window_t window, xcb_atom_t property,
                                                     xcb_atom_t type) {
    if (!isValid() || window == XCB_NONE) return std::nullopt;
    auto cookie = xcb_get_property(conn_, 0, window, property, type, 0, 65536);
    auto r = reply(xcb_get_property_reply(conn_, cookie, nullptr));
    if (!r || r->type == XCB_ATOM_NONE || r->format != 8) return std::nullopt;
    return QByteArray(static_cast<const char*>(xcb_get_property_value(r.get())),
                      xcb_get_property_value_length(r.get()));
}

void XConnection::flush() {
    if (isValid()) xcb_flush(conn_);
}

}  // namespace mirano::x11
