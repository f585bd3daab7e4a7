// Entry point for tests that need Qt on a real Wayland compositor: starts a private headless
// sway first, then the Qt application on it as a Wayland client.
#include "platform/wayland/WaylandShell.h"
#include "tests/support/SwaySession.h"
#include "tests/support/TestEnvironment.h"

namespace mirano::testing {
SwaySession* gSway = nullptr;
}

int main(int argc, char** argv) {
    using namespace mirano::testing;
    if (!hasSanitizerOptions()) return 1;
    SwaySession session;
    qputenv("QT_QPA_PLATFORM", "wayland");
    qputenv("WAYLAND_DISPLAY", session.waylandDisplay().toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS", session.busAddress().toLocal8Bit());
    qunsetenv("DISPLAY");
    mirano::wayland::prepareQtForPanels();
    return runTestsIn(session, gSway, argc, argv);
}
