// Taskbar entries on X11 through a _NET_WM_STATE request to the window manager.
#include "platform/x11/X11Taskbar.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWindow>
#include <cstring>

#include "platform/x11/XConnection.h"

namespace mirano::x11 {

namespace {

constexpr std::uint32_t kStateRemove = 0, kStateAdd = 1;
constexpr std::uint32_t kSourceApplication = 1;

xcb_connection_t* qtConnection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    auto r = reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

void X11Taskbar::setListed(QWindow& window, bool listed) {
    xcb_connection_t* c = qtConnection();
    if (!c || xcb_connection_has_error(c)) return;
    const xcb_atom_t state = intern(c, "_NET_WM_STATE");
    const xcb_atom_t skipTaskbar = intern(c, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skipTaskbar == XCB_ATOM_NONE) return;
    const auto xid = static_cast<xcb_window_t>(window.winId());
    // The window manager listens on the root of the window's own screen, which with several X
    // screens need not be the first.
    auto geometry = reply(xcb_get_geometry_reply(c, xcb_get_geometry(c, xid), nullptr));
    if (!geometry) return;
    // A mapped window's state belongs to the window manager: ask it (EWMH client message).
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = xid;
    ev.type = state;
    ev.data.data32[0] = listed ? kStateRemove : kStateAdd;
    ev.data.data32[1] = skipTaskbar;
    ev.data.data32[3] = kSourceApplication;
    xcb_send_event(c, 0, geometry->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}

}  // namespace mirano::x11
