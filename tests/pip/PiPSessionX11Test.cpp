// A whole PiP session on a private Xvfb + Openbox: a real client window, the real capture,
// panel and window services, and the settings in memory. Also run with QT_SCALE_FACTOR=2: X
// pixels and Qt's logical pixels must then be told apart everywhere. (That the region panel lies
// over the window at either ratio is checked end to end.)
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
#include "settings/AppSettings.h"
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

TEST(PiPSessionX11, MirrorsARealWindowDrawnByTheXServer) {
    ASSERT_NE(gSession, nullptr);
    TestClientWindow client(*gSession,
                            {"--size", "640x400", "--pos", "300,200", "--pattern", "solid:ff0000"});
    ASSERT_NE(client.id(), 0u);

    fakes::MemoryDefaultsStore store;
    AppSettings settings(store);
    settings.setPipWidth(320);
    settings.setPipPositionRaw(QStringLiteral("topLeft"));
    fakes::FakePermissions permissions;
    Platform p(std::make_unique<x11::X11Backend>(), std::make_unique<QtDesktopServices>());
    PiPManager manager(PiPServices{p.scheduler(), settings, p.captureService(),
                                   p.panelWindowSystem(), p.windows(), p.screens(), permissions,
                                   p.application()});
    const double ratio = QGuiApplication::primaryScreen()->devicePixelRatio();

    // The focused window is the client (Openbox focuses new windows).
    std::optional<SourceWindow> focused;
    ASSERT_TRUE(waitUntil([&] {
        focused = WindowHelpers(p.windows()).focusedWindow();
        return focused && focused->application.pid == static_cast<ProcessID>(client.pid());
    }));
    const auto shmBefore = shmSegmentsOf(getpid()).size();

    manager.startPiP(*focused, std::nullopt);
    ASSERT_NE(manager.pipPanel(), nullptr);
    EXPECT_EQ(manager.streamManager()->sourceWindowSize(), QSizeF(640, 400) / ratio);
    PiPPanel& panel = *manager.pipPanel();

    // The panel sits in the top-left corner of the available area at the configured width.
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect placed(avail.topLeft() + QPoint(16, 16), QSize(320, 200));
    ASSERT_TRUE(waitUntil([&] { return panel.isVisible() && panel.geometry() == placed; }))
        << "panel at " << describe(panel.geometry());
    ScreenInspector inspector;
    // The X side follows Qt's placement a moment later.
    const QRect device(placed.topLeft() * ratio, placed.size() * ratio);
    EXPECT_TRUE(waitUntil([&] {
        return inspector.rootGeometry(static_cast<xcb_window_t>(panel.winId())) == device;
    })) << "logical and X pixels mixed up";

    // And the screen shows the window's pixels there, drawn by the X server: no frame reached
    // the program, no shared memory was needed.
    // The pointer away from the panel: its hover hint would darken the picture.
    XTestInput().moveTo({1279, 799});
    const QPoint centre = panel.geometry().center() * ratio;
    EXPECT_TRUE(waitUntil([&] { return near(inspector.pixel(centre), Qt::red, 55); }, 10000))
        << describe(inspector.pixel(centre));
    EXPECT_EQ(std::pair(bool(panel.captureView().contents()), shmSegmentsOf(getpid()).size()),
              std::pair(false, shmBefore));
}

}  // namespace
}  // namespace mirano
