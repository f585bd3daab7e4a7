#include "platform/x11/XConnection.h"

#include <cstring>

namespace mirano::x11 {

XConnection::XConnection(const char* display) {
    conn_ = xcb_connect(display, &screenNumber_);
    if (xcb_connection_has_error(conn_)) return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; i < screenNumber_ && it.rem; ++i) xcb_screen_next(&it);
    screen_ = it.rem ? it.data : nullptr;
}

XConnection::~XConnection() {
    if (conn_) xcb_disconnect(conn_);
}

bool XConnection::isValid() const { return conn_ && screen_ && !xcb_connection_has_error(conn_); }

xcb_atom_t XConnection::atom(const char* name) {
    const QByteArray key(name);
    auto it = atoms_.constFind(key);
    if (it != atoms_.constEnd()) return *it;
    if (!isValid()) return XCB_ATOM_NONE;
    auto cookie = xcb_intern_atom(conn_, 0, static_cast<uint16_t>(std::strlen(name)), name);
    auto r = reply(xcb_intern_atom_reply(conn_, cookie, nullptr));
    const xcb_atom_t atom = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    if (atom != XCB_ATOM_NONE) atoms_.insert(key, atom);
    return atom;
}

void XConnection::preload(const std::vector<const char*>& names) {
    if (!isValid()) return;
    std::vector<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(names.size());
    for (const char* n : names)
        cookies.push_back(xcb_intern_atom(conn_, 0, static_cast<uint16_t>(std::strlen(n)), n));
    for (size_t i = 0; i < names.size(); ++i) {
        auto r = reply(xcb_intern_atom_reply(conn_, cookies[i], nullptr));
        if (r && r->atom != XCB_ATOM_NONE) atoms_.insert(QByteArray(names[i]), r->atom);
    }
}

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

bool XConnection::hasExtension(const char* name) {
    if (!isValid()) return false;
    auto cookie = xcb_query_extension(conn_, static_cast<uint16_t>(std::strlen(name)), name);
    auto r = reply(xcb_query_extension_reply(conn_, cookie, nullptr));
    return r && r->present;
}

void XConnection::flush() {
    if (isValid()) xcb_flush(conn_);
}

}  // namespace mirano::x11
