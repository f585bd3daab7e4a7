// The PiP and the region panel on two RandR monitors of different sizes and scales: L (1280 x 800
// at scale 1) and R (1920 x 1080 at scale 2) to its right, on one Xvfb root, with Openbox. The
// real window, capture and panel services; every rectangle checked is in X's root pixels, so that
// X pixels and Qt's logical pixels must be told apart everywhere.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QScreen>

#include "capture/StreamManager.h"
#include "pip/PiPManager.h"
#include "pip/PiPServices.h"
#include "platform/Platform.h"
#include "platform/qt/QtDesktopServices.h"
#include "platform/x11/X11Backend.h"
#include "region/RegionSelectionPanel.h"
#include "tests/fakes/FakePermissions.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "tests/support/Pixels.h"
#include "tests/support/ScreenInspector.h"
#include "tests/support/TestClientWindow.h"
#include "tests/support/XTestInput.h"
#include "window/CaptureView.h"
#include "window/PiPPanel.h"

namespace mirano {
namespace {

using namespace testing;

const QString kLeft = QStringLiteral("1280x800+0+0"), kRight = QStringLiteral("1920x1080+1280+0");

enum class Action { open, selectRegion, dragToRightAndZoom, unplugRight };

xcb_window_t xid(QWidget& widget) { return static_cast<xcb_window_t>(widget.winId()); }

TEST(ScreensX11, PanelsGoOnTheWindowsMonitorAtItsScale) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2) << "the monitors did not reach Qt";
    using enum Action;
    // clang-format off
    // What happens: whether R is the primary monitor, the client's frame as asked of Openbox, the
    // PiP's corner and width, what is done; where the PiP must end up (for a region, nothing: the
    // panel covers the window).
    const std::tuple<const char*, bool, QRect, const char*, int, Action, QRect> cases[] = {
        {"on R beside the primary L", false, {1600, 200, 800, 600}, "topLeft", 320, open,
         {1312, 32, 640, 480}},
        {"on L, the primary", false, {200, 100, 800, 600}, "bottomRight", 300, open,
         {964, 559, 300, 225}},
        {"on L beside the primary R", true, {200, 100, 800, 600}, "topRight", 400, open,
         {864, 16, 400, 300}},
        {"on R, the primary", true, {1600, 200, 800, 600}, "bottomLeft", 200, open,
         {1312, 748, 400, 300}},
        {"region on L", false, {200, 100, 600, 400}, "topLeft", 320, selectRegion, {}},
        {"region on R", false, {1500, 300, 600, 400}, "topLeft", 320, selectRegion, {}},
        {"region across L and R", false, {1000, 100, 600, 400}, "topLeft", 320, selectRegion, {}},
        // Opened on L, moved to R and zoomed there.
        {"zoom after a drag to R", false, {200, 100, 800, 600}, "topLeft", 320,
         dragToRightAndZoom, {1600, 300, 320, 240}},
        {"R unplugged under the PiP", false, {1600, 200, 800, 600}, "topLeft", 320, unplugRight,
         {16, 16, 320, 240}},
    };
    // clang-format on

    fakes::MemorySettings memory;
    fakes::FakePermissions permissions;
    Platform p(std::make_unique<x11::X11Backend>(), std::make_unique<QtDesktopServices>());
    PiPManager manager(PiPServices{p.scheduler(), memory.settings, p.captureService(),
                                   p.panelWindowSystem(), p.windows(), p.screens(), permissions,
                                   p.application()});
    ScreenInspector inspector;
    XTestInput input;
    for (const auto& [what, rightPrimary, window, corner, pipWidth, action, expected] : cases) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(setMonitor("L", kLeft, !rightPrimary) && setMonitor("R", kRight, rightPrimary));
        ASSERT_TRUE(waitUntil([&] {
            const QScreen* primary = QGuiApplication::primaryScreen();
            return QGuiApplication::screens().size() == 2 &&
                   primary->name() == (rightPrimary ? "R" : "L");
        }));
        memory.settings.setPipWidth(pipWidth);
        memory.settings.setPipPositionRaw(corner);
        const QString size = QStringLiteral("%1x%2").arg(window.width()).arg(window.height());
        const QString pos = QStringLiteral("%1,%2").arg(window.x()).arg(window.y());
        TestClientWindow client(*gSession,
                                {"--size", size, "--pos", pos, "--pattern", "solid:ff0000"});
        ASSERT_TRUE(client.focus());
        std::optional<SourceWindow> focused;
        ASSERT_TRUE(waitUntil([&] {
            focused = p.windows().focusedWindow();
            return focused && focused->application.pid == static_cast<ProcessID>(client.pid());
        }));

        if (action == selectRegion) {
            manager.beginRegionSelection();
            ASSERT_NE(manager.regionSelectionPanel(), nullptr);
            RegionSelectionPanel& region = *manager.regionSelectionPanel();
            const QRect frame = inspector.rootGeometry(client.id());
            // Qt's geometry is in whole points: at scale 2 an edge at an odd pixel is one off.
            const auto covers = [&] {
                const QRect r = inspector.rootGeometry(xid(region));
                const QMargins d(r.left() - frame.left(), r.top() - frame.top(),
                                 frame.right() - r.right(), frame.bottom() - r.bottom());
                return std::max({std::abs(d.left()), std::abs(d.top()), std::abs(d.right()),
                                 std::abs(d.bottom())}) <= 1;
            };
            EXPECT_TRUE(waitUntil(covers))
                << describe(inspector.rootGeometry(xid(region))) << " over " << describe(frame);
            manager.stopPiP();
            continue;
        }
        const auto shmBefore = shmSegmentsOf(getpid()).size();
        manager.startPiP(*focused, std::nullopt);
        ASSERT_NE(manager.pipPanel(), nullptr);
        // The window measured in the logical pixels of its monitor.
        EXPECT_EQ(manager.streamManager()->sourceWindowSize(),
                  QSizeF(window.size()) / (window.x() < 1280 ? 1 : 2));
        PiPPanel& panel = *manager.pipPanel();
        if (action == dragToRightAndZoom) {
            ASSERT_TRUE(waitUntil([&] { return panel.isVisible(); }));
            xdotool({"windowmove", QString::number(xid(panel)), "1600", "300"});
            ASSERT_TRUE(waitUntil([&] { return panel.screen()->name() == "R"; }));
            input.moveTo(inspector.rootGeometry(xid(panel)).center());
            ASSERT_TRUE(waitUntil([&] { return manager.isHoveringVisiblePiP(); }));
            manager.zoomBy(0.85);
        }
        if (action == unplugRight) {
            ASSERT_TRUE(waitUntil([&] { return panel.isVisible(); }));
            ASSERT_TRUE(xrandr({"--delmonitor", "R"}));
        }
        // The session may have made a new panel.
        const auto placed = [&] {
            return manager.pipPanel() &&
                   inspector.rootGeometry(xid(*manager.pipPanel())) == expected;
        };
        EXPECT_TRUE(waitUntil(placed))
            << "at " << describe(inspector.rootGeometry(xid(*manager.pipPanel())));
        // The mirrored picture is shown there, drawn by the X server: no frame reached the
        // program, no shared memory was needed. The pointer away from the panel's hover hint.
        input.moveTo({expected.right() < 1280 ? 1279 : 0, 799});
        EXPECT_TRUE(
            waitUntil([&] { return near(inspector.pixel(expected.center()), Qt::red, 55); }, 10000))
            << describe(inspector.pixel(expected.center()));
        EXPECT_EQ(std::pair(bool(manager.pipPanel()->captureView().contents()),
                            shmSegmentsOf(getpid()).size()),
                  std::pair(false, shmBefore));
        manager.stopPiP();
    }
}

}  // namespace
}  // namespace mirano
