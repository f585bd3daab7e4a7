// Entry point for tests that need Qt on a real Wayland compositor: starts a private headless
// sway first (or, with MIRANO_TEST_KWIN=1, KWin with its portals), then the Qt application on it
// as a Wayland client of the session's bus.
#include "platform/wayland/WaylandShell.h"
#include "tests/support/TestEnvironment.h"
#include "tests/wayland/support/KWinSession.h"

namespace mirano::testing {
WaylandSession* gSway = nullptr;
KWinSession* gKWin = nullptr;

/// Runs the tests as a Wayland client of `session`'s compositor, on its bus.
template <typename Session>
int runTestsOn(Session& session, Session*& current, int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "wayland");
    qputenv("WAYLAND_DISPLAY", session.waylandDisplay().toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS", session.busAddress().toLocal8Bit());
    qunsetenv("DISPLAY");
    mirano::wayland::prepareQtForPanels();
    return runTestsIn(session, current, argc, argv);
}
}  // namespace mirano::testing

int main(int argc, char** argv) {
    using namespace mirano::testing;
    if (!hasSanitizerOptions()) return 1;
    if (qEnvironmentVariable("MIRANO_TEST_KWIN") == "1") {
        KWinSession session;
        return runTestsOn(session, gKWin, argc, argv);
    }
    WaylandSession session;
    return runTestsOn(session, gSway, argc, argv);
}
