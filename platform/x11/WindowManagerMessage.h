// Requests to the window manager as EWMH has them: client messages to the root window.
#pragma once

#include <xcb/xcb.h>

#include <array>
#include <cstdint>

namespace mirano::x11 {

/// Asks the window manager to act on `window`: a client message of `type` carrying `data`,
/// sent to the root window of the screen the window is on (not flushed). False when the
/// window is gone or `type` is none.
bool sendToWindowManager(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t type,
                         const std::array<std::uint32_t, 5>& data);

}  // namespace mirano::x11
