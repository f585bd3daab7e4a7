// An owned XCB connection with an atom cache and owned replies.
#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11/Atoms.h"

namespace mirano::x11 {

/// Frees an XCB reply or error with free().
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XReply = std::unique_ptr<T, FreeDeleter>;

/// Takes a reply from an `xcb_*_reply` call: `auto r = reply(xcb_get_geometry_reply(c, ck, &e))`.
template <typename T>
XReply<T> reply(T* raw) {
    return XReply<T>(raw);
}

/// Screen `number` of the server `connection` talks to, or null when it has none such.
xcb_screen_t* screenOf(xcb_connection_t* connection, int number);

/// One connection to the X server, owned. Each thread that talks to X owns its own.
class XConnection {
public:
    /// Connects to `display` (or $DISPLAY when empty). Check isValid() afterwards.
    explicit XConnection(const char* display = nullptr);
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    /// Connected and the connection has not failed since.
    bool isValid() const;
    xcb_connection_t* get() const { return conn_; }
    xcb_screen_t* screen() const { return screen_; }
    xcb_window_t root() const { return screen_ ? screen_->root : XCB_NONE; }
    int screenNumber() const { return screenNumber_; }

    /// Interns (and caches) an atom by name.
    xcb_atom_t atom(const char* name) { return atoms_.get(name); }
    AtomCache& atoms() { return atoms_; }

    /// Reads a property as 32-bit items (CARDINAL, WINDOW, ATOM). Empty when absent.
    std::vector<std::uint32_t> property32(xcb_window_t window, xcb_atom_t property,
                                          xcb_atom_t type);
    /// Reads a property as bytes (STRING, UTF8_STRING). Nothing when absent.
    std::optional<QByteArray> propertyBytes(xcb_window_t window, xcb_atom_t property,
                                            xcb_atom_t type);
    void flush();

private:
    xcb_connection_t* conn_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    int screenNumber_ = 0;
    AtomCache atoms_{[this](const std::vector<const char*>& names) {
        return internAtoms(isValid() ? conn_ : nullptr, names);
    }};
};

}  // namespace mirano::x11
