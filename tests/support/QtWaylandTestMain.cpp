// Entry point for tests that need Qt on a real Wayland compositor: starts a private headless
// sway first, then the Qt application on it as a Wayland client.
#include "platform/wayland/WaylandShell.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaylandSession.h"

namespace mirano::testing {
WaylandSession* gSway = nullptr;
}

int main(int argc, char** argv) {
    using namespace mirano::testing;
    if (!hasSanitizerOptions()) return 1;
    WaylandSession session;
    useCompositorOf(session);
    mirano::wayland::prepareQtForPanels();
    return runTestsIn(session, gSway, argc, argv);
}
