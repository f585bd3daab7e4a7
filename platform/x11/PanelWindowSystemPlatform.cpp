// The process-wide panel window system.
#include "platform/Platform.h"
#include "platform/x11/X11PanelWindowSystem.h"

namespace mirano {

PanelWindowSystem& Platform::panelWindowSystem() {
    static auto* windowSystem = new X11PanelWindowSystem();
    return *windowSystem;
}

}  // namespace mirano
