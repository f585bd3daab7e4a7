// EWMH client messages, sent where the window manager listens for them.
#include "platform/x11/WindowManagerMessage.h"

#include <algorithm>

#include "platform/x11/XConnection.h"

namespace mirano::x11 {

bool sendToWindowManager(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t type,
                         const std::array<std::uint32_t, 5>& data) {
    if (!connection || window == XCB_NONE || type == XCB_ATOM_NONE) return false;
    // The window manager selects on the root of each screen it manages: the window's own.
    auto geometry =
        reply(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    if (!geometry) return false;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(connection, 0, geometry->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    return true;
}

}  // namespace mirano::x11
