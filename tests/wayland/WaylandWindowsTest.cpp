// The toplevel list on a real compositor (headless sway): window numbers, full screen, closed
// windows, and the capabilities line sway gets.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "platform/wayland/DesktopProbe.h"
#include "platform/wayland/toplevels/ToplevelList.h"
#include "platform/wayland/toplevels/WlrWindows.h"
#include "tests/wayland/WaylandTestSupport.h"

using namespace mirano::testing;
using namespace mirano::wayland;
using mirano::Windows;

TEST(WaylandWindowsTest, TellsWindowsApartFollowsFullScreenAndForgetsClosedWindows) {
    auto list = std::make_unique<ToplevelList>();
    ASSERT_TRUE(list->isAvailable());
    WlrWindows windows(std::move(list), {});
    QSignalSpy fullScreen(&windows, &Windows::fullScreenOrDesktopChanged);

    ChildProcess* a = startTestWindow(*gWayland, kA, "darkred");
    ASSERT_TRUE(waitUntil([&] { return focusedAppId(windows) == kA; }));
    const mirano::WindowNumber numberA = windows.focusedWindow()->windowID;
    ChildProcess* b = startTestWindow(*gWayland, kB, "darkblue");
    ASSERT_TRUE(waitUntil([&] { return focusedAppId(windows) == kB; }));
    const mirano::WindowNumber numberB = windows.focusedWindow()->windowID;
    EXPECT_NE(numberA, numberB);
    // (Focus moved by the compositor, each application's activation and bringing a window to
    // the front are what MiranoWayland's walk mirrors, pauses and double-clicks by.)

    // Full screen in and out, each a change.
    const qsizetype changesBefore = fullScreen.count();
    ASSERT_TRUE(gWayland->command(QStringLiteral("[app_id=\"%1\"] fullscreen enable").arg(kA)));
    EXPECT_TRUE(waitUntil([&] { return windows.isFullScreen(numberA); }));
    EXPECT_FALSE(windows.isFullScreen(numberB));
    ASSERT_TRUE(gWayland->command(QStringLiteral("[app_id=\"%1\"] fullscreen disable").arg(kA)));
    EXPECT_TRUE(waitUntil([&] { return !windows.isFullScreen(numberA); }));
    EXPECT_EQ(fullScreen.count(), changesBefore + 2);

    // sway has no minimised state; a window that exists has a frame, of unknown geometry.
    EXPECT_FALSE(windows.isMinimized(numberA));
    EXPECT_EQ(windows.frame(numberA), QRectF());

    // A closed window is gone, and its number is not given again.
    b->stop();
    EXPECT_TRUE(waitUntil([&] { return !windows.frame(numberB).has_value(); }));
    EXPECT_TRUE(waitUntil([&] { return focusedAppId(windows) == kA; }));
    a->stop();
    EXPECT_TRUE(waitUntil([&] { return !windows.focusedWindow().has_value(); }));
}

TEST(WaylandWindowsTest, SwayWithoutPortalsIsToldToInstallOneAndToBindAKey) {
    qputenv("XDG_CURRENT_DESKTOP", "sway");  // as sway's session sets it
    // The decisions follow the facts as the line does (DesktopCapabilitiesTest): the line says
    // the facts were probed right.
    EXPECT_EQ(decideCapabilities(probeDesktop()).summary,
              "Wayland (sway): no screen-cast portal: install xdg-desktop-portal and this "
              "desktop's portal backend; no shortcut portal: bind a key to `mirano --toggle`");
}
