// The backends built into the program, most preferred first: the list a new window system joins.
#include "platform/RealPlatform.h"

#include <cstdio>

#include "platform/Platform.h"
#include "platform/qt/QtDesktopServices.h"
#include "platform/x11/X11Backend.h"
#ifdef MIRANO_WITH_WAYLAND
#include "platform/wayland/WaylandBackend.h"
#endif

namespace mirano {

Platform* startRealPlatform() {
    std::vector<std::unique_ptr<Backend>> backends;
    // A Wayland session usually offers XWayland too: its own backend sees every window there.
#ifdef MIRANO_WITH_WAYLAND
    backends.push_back(std::make_unique<wayland::WaylandBackend>());
#endif
    backends.push_back(std::make_unique<x11::X11Backend>());
    QString error;
    auto backend =
        chooseBackend(std::move(backends), qEnvironmentVariable("MIRANO_BACKEND"), &error);
    if (!backend) {
        std::fprintf(stderr, "mirano: %s\n", qPrintable(error));
        return nullptr;
    }
    return &Platform::startReal(std::move(backend), std::make_unique<QtDesktopServices>());
}

}  // namespace mirano
