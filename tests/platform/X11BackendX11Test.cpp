// The X11 backend on a display of two screens, the default one (":N.1") not the first: the
// session it names, and the taskbar requests of the application object.
#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

#include "platform/Taskbar.h"
#include "platform/qt/QtApplication.h"
#include "platform/x11/X11Backend.h"
#include "tests/support/ScreenInspector.h"
#include "tests/support/X11Session.h"

namespace mirano {
namespace {

using namespace testing;

TEST(X11BackendX11Test, TheSessionIsTheDisplayWhateverItsScreen) {
    for (const auto& [display, session] : {std::pair(":7", ":7"),
                                           {":7.0", ":7"},
                                           {"unix:7.1", ":7"},
                                           {"host.example:7.2", "host.example:7"},
                                           {"", ""}})
        EXPECT_EQ(x11::X11Backend::sessionOfDisplay(display), session) << display;
    EXPECT_EQ(x11::X11Backend().sessionName() + ".1", gSession->display());
}

TEST(X11BackendX11Test, TheAccessoryPolicyTakesTitledWindowsOffTheTaskbarOfTheDefaultScreen) {
    ScreenInspector inspector;
    ASSERT_TRUE(inspector.isValid());
    auto taskbar = x11::X11Backend().makeTaskbar();
    QtApplication application(*taskbar);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Titled"));
    window.resize(200, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto xid = static_cast<xcb_window_t>(window.winId());
    // The window manager (Openbox, on the default screen) manages it.
    ASSERT_TRUE(
        waitUntil([&] { return inspector.cardinals(xid, "_NET_FRAME_EXTENTS").size() == 4; }));
    const auto listed = [&] {
        return !inspector.atomNames(xid, "_NET_WM_STATE").contains("_NET_WM_STATE_SKIP_TASKBAR");
    };
    ASSERT_TRUE(listed());

    application.setActivationPolicy(ActivationPolicy::accessory);
    EXPECT_TRUE(waitUntil([&] { return !listed(); })) << "the window manager was not asked";
    application.setActivationPolicy(ActivationPolicy::regular);
    EXPECT_TRUE(waitUntil(listed));
}

}  // namespace
}  // namespace mirano
