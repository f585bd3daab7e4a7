// Entry point for tests that need Qt on KWin: starts a private headless KWin with its portals
// first, then the Qt application on it as a Wayland client of its session bus.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "platform/wayland/WaylandShell.h"
#include "tests/wayland/support/KWinSession.h"

namespace mirano::testing {
KWinSession* gKWin = nullptr;
}

int main(int argc, char** argv) {
    mirano::testing::KWinSession session;
    if (!session.error().isEmpty()) {
        std::fprintf(stderr, "cannot start KWin: %s\n", qPrintable(session.error()));
        return 1;
    }
    mirano::testing::gKWin = &session;
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
    mirano::testing::gKWin = nullptr;
    return code;
}
