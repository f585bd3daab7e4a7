// Entry point for tests that need Qt on a real Wayland compositor: starts a private headless
// sway first, then the Qt application on it as a Wayland client.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "platform/wayland/WaylandShell.h"
#include "tests/support/SwaySession.h"
#include "tests/support/TestEnvironment.h"

namespace mirano::testing {
SwaySession* gSway = nullptr;
}

int main(int argc, char** argv) {
    if (!mirano::testing::hasSanitizerOptions()) return 1;
    mirano::testing::SwaySession session;
    if (!session.error().isEmpty()) {
        std::fprintf(stderr, "cannot start sway: %s\n", qPrintable(session.error()));
        return 1;
    }
    mirano::testing::gSway = &session;
    qputenv("QT_QPA_PLATFORM", "wayland");
    qputenv("WAYLAND_DISPLAY", session.waylandDisplay().toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS", session.busAddress().toLocal8Bit());
    qunsetenv("DISPLAY");
    mirano::wayland::prepareQtForPanels();
    int code = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        code = RUN_ALL_TESTS();
    }
    mirano::testing::gSway = nullptr;
    return code;
}
