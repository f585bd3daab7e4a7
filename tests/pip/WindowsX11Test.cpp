// The windows service and the window helpers on a private Xvfb + Openbox with real clients,
// among them clients that set neither _NET_WM_PID nor WM_CLASS and two windows of one process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <array>
#include <deque>

#include "pip/WindowHelpers.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Windows.h"
#include "tests/support/ScreenInspector.h"
#include "tests/support/TestClientWindow.h"

namespace mirano {
namespace {

using namespace testing;

struct WindowsX11Test : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(desktop.isValid()); }
    TestClientWindow& add(const QStringList& args) {
        TestClientWindow& c = clients.emplace_back(*gSession, args);
        EXPECT_NE(c.id(), 0u);
        return c;
    }
    bool waitActive(xcb_window_t w) {
        return waitUntil([&] { return desktop.activeWindow() == w; });
    }
    /// Every event the window manager sent so far has been handled.
    void settle() {
        desktop.processEvents();
        QCoreApplication::processEvents();
    }
    /// Activates `w`, waits until the window manager has made it active and settles.
    bool switchTo(xcb_window_t w) {
        windows.activate(w);
        const bool active = waitActive(w);
        settle();
        return active;
    }
    static ProcessID pid(const TestClientWindow& c) { return ProcessID(c.pid()); }
    /// Expects `c` to be the focused window, of an application of that id.
    void expectFocused(TestClientWindow& c, std::optional<QString> applicationID) {
        const auto focused = helpers.focusedWindow();
        ASSERT_TRUE(focused);
        EXPECT_EQ(std::tuple(focused->windowID, focused->application.pid,
                             focused->application.applicationID),
                  std::tuple(c.id(), pid(c), applicationID));
    }

    x11::X11Desktop desktop;
    x11::X11Windows windows{desktop};
    WindowHelpers helpers{windows};
    ScreenInspector inspector;
    std::deque<TestClientWindow> clients;  // stable references
};

TEST_F(WindowsX11Test, FocusedWindowKnowsItsProcessEvenWithoutThePidProperty) {
    TestClientWindow& named = add({"--class", "org.mirano.a"});
    ASSERT_TRUE(waitActive(named.id()));
    expectFocused(named, "org.mirano.a");

    // No _NET_WM_PID and no WM_CLASS: the X server still knows the client's process.
    TestClientWindow& bare = add({"--bare", "--pos", "200,150", "--size", "400x300"});
    ASSERT_TRUE(waitActive(bare.id()));
    expectFocused(bare, std::nullopt);
    EXPECT_FALSE(helpers.focusedWindow()->application.isSameApplication(AppIdentity{pid(named)}));

    // Its frame is where the X server has it (logical = X pixels at ratio 1).
    EXPECT_EQ(helpers.windowFrame(bare.id()), QRectF(inspector.rootGeometry(bare.id())));
    EXPECT_EQ(helpers.windowFrame(0x7fffff), std::nullopt);

    EXPECT_FALSE(helpers.isFocusedWindowFullScreen());
    TestClientWindow& full = add({"--fullscreen"});
    ASSERT_TRUE(waitActive(full.id()));
    EXPECT_TRUE(waitUntil([&] { return helpers.isFocusedWindowFullScreen(); }));
}

TEST_F(WindowsX11Test, ActivationsAreReportedPerApplicationAndBringToFrontRestoresThatWindow) {
    TestClientWindow& other = add({"--title", "other"});
    ASSERT_TRUE(waitActive(other.id()));
    TestClientWindow& pair = add({"--title", "pair", "--twin", "--pos", "200,200"});
    ASSERT_TRUE(waitUntil([&] { return pair.twin() != 0; }));
    // Whether the window manager focuses the pair on mapping it is its own affair: start from it.
    ASSERT_TRUE(switchTo(pair.id()));

    std::vector<std::optional<ProcessID>> activated;
    QObject::connect(&windows, &Windows::applicationActivated,
                     [&](const AppIdentity& app) { activated.push_back(app.pid); });
    // The last one is the second window of the same process: no new application.
    for (const xcb_window_t w : {other.id(), pair.id(), pair.twin()}) ASSERT_TRUE(switchTo(w));
    EXPECT_EQ(activated, (decltype(activated){pid(other), pid(pair)}));

    // The user switches to `other` and at once opens a key panel of ours over it (the region
    // hotkey); both focus changes are read only after the panel took the focus. When the panel
    // goes and the focus returns to `other`, that is no new activation.
    TestClientWindow& panel = add({"--title", "key panel", "--pos", "300,300"});
    x11::XConnection& x = inspector.connection();
    xcb_change_property(x.get(), XCB_PROP_MODE_REPLACE, panel.id(),
                        x.atom(x11::X11Desktop::kKeyPanelProperty), XCB_ATOM_CARDINAL, 32, 1,
                        std::array<std::uint32_t, 1>{1}.data());
    xcb_flush(x.get());
    ASSERT_TRUE(switchTo(pair.id()));
    const std::size_t before = activated.size();
    const auto activeWithoutEvents = [&](xcb_window_t w) {
        for (int i = 0; i < 500 && desktop.activeWindow() != w; ++i) usleep(10000);
        return desktop.activeWindow() == w;
    };
    windows.activate(other.id());
    ASSERT_TRUE(activeWithoutEvents(other.id()));
    ASSERT_EQ(helpers.focusedWindow()->windowID, other.id());  // the hotkey's target
    windows.activate(panel.id());
    ASSERT_TRUE(activeWithoutEvents(panel.id()));
    settle();
    ASSERT_TRUE(switchTo(other.id()));
    EXPECT_EQ(activated.size(), before) << "leaving the key panel counted as an activation";

    // Bringing the first window of the pair forward restores it from minimised and focuses that
    // very window.
    ASSERT_TRUE(xdotool({"windowminimize", QString::number(pair.id())}));
    ASSERT_TRUE(waitUntil([&] { return windows.isMinimized(pair.id()); }));
    helpers.bringWindowToFront(pair.id());
    EXPECT_TRUE(waitActive(pair.id()));
    EXPECT_TRUE(waitUntil([&] { return !windows.isMinimized(pair.id()); }));
    EXPECT_TRUE(waitUntil([&] { return inspector.inputFocus() == pair.id(); }));
}

}  // namespace
}  // namespace mirano
