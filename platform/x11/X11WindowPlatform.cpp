// The real windows and screens services of this process.
#include "platform/Platform.h"
#include "platform/qt/QtScreens.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Windows.h"

namespace mirano {

Windows& Platform::windows() {
    static auto* windows = new x11::X11Windows(x11::X11Desktop::shared());
    return *windows;
}

Screens& Platform::screens() {
    static auto* screens = new QtScreens();
    return *screens;
}

}  // namespace mirano
