// Says why the hotkeys do not listen on Wayland.
#include "platform/wayland/WaylandEventTap.h"

namespace mirano::wayland {

bool WaylandEventTap::start(std::function<void(const KeyEvent&)>,
                            std::function<void(const TapGrabs&)>) {
    if (desktopShortcuts_)
        reason_(QStringLiteral(
            "Wayland: no global key events reach Mirano; its three shortcuts are bound by the "
            "desktop, which may ask to confirm them and where they can be changed"));
    else
        reason_(QStringLiteral(
            "Wayland: no global key events reach Mirano; bind keys in the compositor to "
            "`mirano --toggle`, `mirano --region` and `mirano --hide` instead"));
    return true;
}

}  // namespace mirano::wayland
