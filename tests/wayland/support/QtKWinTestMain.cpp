// Entry point for tests that need Qt on KWin: starts a private headless KWin with its portals
// first, then the Qt application on it as a Wayland client of its session bus.
#include "platform/wayland/WaylandShell.h"
#include "tests/support/TestEnvironment.h"
#include "tests/wayland/support/KWinSession.h"

namespace mirano::testing {
KWinSession* gKWin = nullptr;
}

int main(int argc, char** argv) {
    using namespace mirano::testing;
    if (!hasSanitizerOptions()) return 1;
    KWinSession session;
    useCompositorOf(session);
    mirano::wayland::prepareQtForPanels();
    return runTestsIn(session, gKWin, argc, argv);
}
