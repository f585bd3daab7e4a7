// Entry point for tests that need Qt on a real Wayland compositor: starts a private headless
// sway first (with the outputs of MIRANO_TEST_OUTPUTS, sway `output` commands separated by '|';
// or, with MIRANO_TEST_KWIN=1, KWin with its portals), then the Qt application on it as a
// Wayland client of the session's bus.
#include "platform/wayland/WaylandShell.h"
#include "tests/support/TestEnvironment.h"
#include "tests/wayland/support/KWinSession.h"

mirano::testing::WaylandSession* mirano::testing::gWayland = nullptr;

int main(int argc, char** argv) {
    using namespace mirano::testing;
    if (!hasSanitizerOptions()) return 1;
    const std::unique_ptr<WaylandSession> session =
        qEnvironmentVariable("MIRANO_TEST_KWIN") == "1"
            ? std::make_unique<KWinSession>()
            : std::make_unique<WaylandSession>(WaylandSessionOptions{
                  .outputs =
                      qEnvironmentVariable("MIRANO_TEST_OUTPUTS").split('|', Qt::SkipEmptyParts)});
    qputenv("QT_QPA_PLATFORM", "wayland");
    qputenv("WAYLAND_DISPLAY", session->waylandDisplay().toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS", session->busAddress().toLocal8Bit());
    qputenv("SWAYSOCK", session->swaySocket().toLocal8Bit());
    qunsetenv("DISPLAY");
    mirano::wayland::prepareQtForPanels();
    return runTestsIn(*session, gWayland, argc, argv);
}
