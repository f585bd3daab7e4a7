// Taskbar entries on X11 through a _NET_WM_STATE request to the window manager.
#include "platform/x11/X11Taskbar.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWindow>

#include "platform/x11/Atoms.h"
#include "platform/x11/WindowManagerMessage.h"

namespace mirano::x11 {

namespace {

constexpr std::uint32_t kStateRemove = 0, kStateAdd = 1;
constexpr std::uint32_t kSourceApplication = 1;

xcb_connection_t* qtConnection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

}  // namespace

void X11Taskbar::setListed(QWindow& window, bool listed) {
    xcb_connection_t* c = qtConnection();
    if (!c || xcb_connection_has_error(c)) return;
    const std::vector<xcb_atom_t> atoms =
        internAtoms(c, {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"});
    if (atoms[1] == XCB_ATOM_NONE) return;
    // A mapped window's state belongs to the window manager: ask it (EWMH client message).
    const auto xid = static_cast<xcb_window_t>(window.winId());
    if (sendToWindowManager(
            c, xid, atoms[0],
            {listed ? kStateRemove : kStateAdd, atoms[1], 0, kSourceApplication, 0}))
        xcb_flush(c);
}

}  // namespace mirano::x11
