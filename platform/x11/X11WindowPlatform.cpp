// The real workspace, accessibility, window list, screens and window server of this process.
#include "platform/Platform.h"
#include "platform/qt/QtScreens.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11WindowList.h"
#include "platform/x11/X11WindowServer.h"
#include "platform/x11/X11Workspace.h"

namespace mirano {

Workspace& Platform::workspace() {
    static auto* workspace = new x11::X11Workspace(x11::X11Desktop::shared());
    return *workspace;
}

Accessibility& Platform::accessibility() {
    static auto* accessibility = new x11::X11Accessibility(x11::X11Desktop::shared());
    return *accessibility;
}

WindowList& Platform::windowList() {
    static auto* list = new x11::X11WindowList(x11::X11Desktop::shared());
    return *list;
}

Screens& Platform::screens() {
    static auto* screens = new QtScreens();
    return *screens;
}

WindowServer& Platform::windowServer() {
    static auto* server = new x11::X11WindowServer(x11::X11Desktop::shared());
    return *server;
}

}  // namespace mirano
