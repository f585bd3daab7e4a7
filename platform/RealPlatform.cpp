// The backends built into the program, most preferred first: the list a new window system joins.
#include "platform/RealPlatform.h"

#include "platform/Platform.h"
#include "platform/qt/QtDesktopServices.h"
#include "platform/x11/X11Backend.h"

namespace mirano {

Platform& startRealPlatform() {
    std::vector<std::unique_ptr<Backend>> backends;
    backends.push_back(std::make_unique<x11::X11Backend>());
    return Platform::startReal(chooseBackend(std::move(backends)),
                               std::make_unique<QtDesktopServices>());
}

}  // namespace mirano
