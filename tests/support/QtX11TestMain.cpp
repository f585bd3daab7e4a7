// Entry point for tests that need Qt on a real X display: starts a private Xvfb + Openbox first
// (with xcompmgr when MIRANO_TEST_COMPOSITOR=1, with N screens when MIRANO_TEST_SCREENS=N), then
// the Qt application on it.
#include <algorithm>

#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Session.h"

namespace mirano::testing {
X11Session* gSession = nullptr;
}

int main(int argc, char** argv) {
    using namespace mirano::testing;
    if (!hasSanitizerOptions()) return 1;
    X11Session session(
        {.compositor = qEnvironmentVariable("MIRANO_TEST_COMPOSITOR") == "1",
         .screens = std::max(1, qEnvironmentVariableIntValue("MIRANO_TEST_SCREENS"))});
    qputenv("QT_QPA_PLATFORM", "xcb");
    return runTestsIn(session, gSession, argc, argv);
}
