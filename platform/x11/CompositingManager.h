// Whether a compositing manager runs on a screen.
#pragma once

#include <xcb/xcb.h>

namespace mirano::x11 {

class AtomCache;

/// Whether a compositing manager runs on screen `screenNumber`: as EWMH has it, one owns the
/// selection _NET_WM_CM_S<n>. False when the server cannot be asked.
bool compositingManagerRuns(xcb_connection_t* connection, AtomCache& atoms, int screenNumber);

}  // namespace mirano::x11
