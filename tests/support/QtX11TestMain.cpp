// Entry point for tests that need Qt on a real X display: starts a private Xvfb + Openbox first
// (with xcompmgr when MIRANO_TEST_COMPOSITOR=1, with N screens when MIRANO_TEST_SCREENS=N), then
// the Qt application on it.
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>

#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Session.h"

namespace mirano::testing {
X11Session* gSession = nullptr;
}

int main(int argc, char** argv) {
    if (!mirano::testing::hasSanitizerOptions()) return 1;
    mirano::testing::X11Session::Options options;
    options.compositor = qEnvironmentVariable("MIRANO_TEST_COMPOSITOR") == "1";
    options.screens = std::max(1, qEnvironmentVariableIntValue("MIRANO_TEST_SCREENS"));
    mirano::testing::X11Session session(options);
    if (!session.error().isEmpty()) {
        std::fprintf(stderr, "cannot start the X display: %s\n", qPrintable(session.error()));
        return 1;
    }
    mirano::testing::gSession = &session;
    qputenv("QT_QPA_PLATFORM", "xcb");
    int code = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        code = RUN_ALL_TESTS();
    }
    mirano::testing::gSession = nullptr;
    return code;
}
