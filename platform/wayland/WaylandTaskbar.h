// The taskbar entry of Mirano's titled windows on Wayland.
#pragma once

#include "platform/Taskbar.h"

namespace mirano::wayland {

/// Wayland has no request for it: the desktop's taskbar lists every toplevel (the settings
/// window) and never a layer surface (the panels), which is what Mirano wants anyway.
class WaylandTaskbar final : public Taskbar {
public:
    void setListed(QWindow&, bool) override {}
};

}  // namespace mirano::wayland
