// Entry point for tests that need Qt on a real X display: starts a private Xvfb + Openbox first
// (with xcompmgr when MIRANO_TEST_COMPOSITOR=1, with N screens when MIRANO_TEST_SCREENS=N, with
// RandR monitors when MIRANO_TEST_MONITORS="NAME=SCALE:WxH+X+Y,...", the first primary), then the
// Qt application on it.
#include <QStringList>
#include <algorithm>

#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Session.h"

mirano::testing::X11Session* mirano::testing::gSession = nullptr;

int main(int argc, char** argv) {
    using namespace mirano::testing;
    if (!hasSanitizerOptions()) return 1;
    QStringList monitors, scales;
    for (const QString& m :
         qEnvironmentVariable("MIRANO_TEST_MONITORS").split(',', Qt::SkipEmptyParts)) {
        monitors << m.section('=', 0, 0) + ' ' + m.section(':', 1);
        scales << m.section(':', 0, 0);
    }
    // Qt reads the scales by screen name.
    if (!scales.isEmpty()) qputenv("QT_SCREEN_SCALE_FACTORS", scales.join(';').toLatin1());
    X11Session session({.compositor = qEnvironmentVariable("MIRANO_TEST_COMPOSITOR") == "1",
                        .screens = std::max(1, qEnvironmentVariableIntValue("MIRANO_TEST_SCREENS")),
                        .monitors = monitors});
    qputenv("QT_QPA_PLATFORM", "xcb");
    return runTestsIn(session, gSession, argc, argv);
}
