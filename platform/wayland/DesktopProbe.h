// Reads what the running Wayland desktop offers: its globals, its name, its bus and portal.
#pragma once

#include "platform/wayland/DesktopCapabilities.h"

namespace mirano::wayland {

/// Asks the compositor (a short connection of our own to $WAYLAND_DISPLAY) and the session bus;
/// the portal is introspected only when its name is there, and waited for at most
/// `portalTimeoutMs`. Main thread.
DesktopFacts probeDesktop(int portalTimeoutMs = 2000);

}  // namespace mirano::wayland
