// The PiP and the region still on sway with two outputs: WL-2 (1920 x 1080 at scale 2) on the
// left, WL-1 (1280 x 720 at scale 1) to its right, each a window of a parent headless sway, so
// that closing it unplugs the output. The real window list, screens and layer-shell panels; the
// capture stands in (its frames are one colour), its pictures are read back per output with grim.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "pip/PiPManager.h"
#include "pip/PiPServices.h"
#include "platform/qt/QtScheduler.h"
#include "platform/qt/QtScreens.h"
#include "platform/wayland/panel/PanelSurface.h"
#include "platform/wayland/panel/WaylandPanelWindowSystem.h"
#include "platform/wayland/toplevels/ToplevelList.h"
#include "platform/wayland/toplevels/WlrWindows.h"
#include "settings/AppSettings.h"
#include "tests/fakes/FakeApplication.h"
#include "tests/fakes/FakeCaptureService.h"
#include "tests/fakes/FakePermissions.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "tests/support/Pixels.h"
#include "tests/support/WaylandSession.h"
#include "tests/wayland/WaylandTestSupport.h"

namespace mirano {
namespace {

using namespace testing;

constexpr std::uint32_t kPicture = 0xffff00ff;

enum class Action { open, still, unplug };

struct Case {
    const char* what;
    const char* output;  // the window's
    const char* corner;
    int pipWidth;
    Action action;
    /// In that output's pixels (the other one's once it is unplugged); for the still only the
    /// output is checked.
    QRect expected;
    /// The picture as shown: the still is dimmed.
    QColor shown = QColor(kPicture);
};

/// The bounding box of the pixels on `output` within 3 of `colour` in each channel.
QRect seenOn(const QString& output, const QColor& colour) {
    const QImage shot = gWayland->screenshot({}, output).convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (near(shot.pixelColor(x, y), colour, 3)) box |= QRect(x, y, 1, 1);
    return box;
}

TEST(ScreensWayland, PanelsGoOnTheFocusedWindowsOutput) {
    ASSERT_NE(gWayland, nullptr);
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    using enum Action;
    const QColor dimmed(178, 0, 178);
    // clang-format off
    const Case cases[] = {
        {"on the left output at scale 2", "WL-2", "topLeft", 200, open, {32, 32, 400, 300}},
        {"on the right output at scale 1", "WL-1", "bottomRight", 300, open,
         {964, 479, 300, 225}},
        {"the still on the left output", "WL-2", "topLeft", 200, still, {}, dimmed},
        {"the still on the right output", "WL-1", "topLeft", 200, still, {}, dimmed},
        // Last: the output stays away. Its corner, not the one nearest its old place.
        {"the right output unplugged under the PiP", "WL-1", "topLeft", 300, unplug,
         {32, 32, 600, 450}},
    };
    // clang-format on
    fakes::MemoryDefaultsStore store;
    AppSettings settings(store);
    QtScheduler scheduler;
    fakes::FakeCaptureService capture(scheduler);
    wayland::WaylandPanelWindowSystem panels(true);
    auto list = std::make_shared<wayland::ToplevelList>();
    wayland::WlrWindows windows(list, &wayland::PanelSurface::anyHasKeys);
    QtScreens screens;
    fakes::FakePermissions permissions;
    fakes::FakeApplication application;
    PiPManager manager(PiPServices{scheduler, settings, capture, panels, windows, screens,
                                   permissions, application});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        settings.setPipWidth(c.pipWidth);
        settings.setPipPositionRaw(c.corner);
        ASSERT_TRUE(gWayland->command(QStringLiteral("focus output %1").arg(c.output)));
        ChildProcess* client =
            startTestWindow(*gWayland, kA, "#00ff00", [&] { return focusedAppId(windows); });
        std::optional<SourceWindow> focused;
        ASSERT_TRUE(waitUntil([&] {
            focused = windows.focusedWindow();
            return focused && windows.screenName(focused->windowID) == c.output;
        })) << "the window's output is not known";
        capture.addWindow(focused->windowID, 800, 600);
        const std::size_t streams = capture.streams.size();
        if (c.action == still)
            manager.beginRegionSelection();
        else
            manager.startPiP(*focused, std::nullopt);
        ASSERT_TRUE(waitUntil([&] { return capture.streams.size() > streams; }));
        capture.lastStream()->emitFrame(fakes::makeMemoryFrame(800, 600, kPicture));
        const QString other = QString(c.output) == "WL-1" ? "WL-2" : "WL-1";
        const auto shown = [&](const QString& output, const QRect& expected) {
            const QRect r = seenOn(output, c.shown);
            if (expected.isEmpty()) return !r.isEmpty();
            // Edges may round by a pixel at scale 2.
            return (r.topLeft() - expected.topLeft()).manhattanLength() <= 2 &&
                   (r.bottomRight() - expected.bottomRight()).manhattanLength() <= 2;
        };
        const QRect first = c.action == unplug ? QRect() : c.expected;
        EXPECT_TRUE(waitUntil([&] { return shown(c.output, first); }, 10000))
            << "at " << describe(seenOn(c.output, c.shown));
        if (c.action == unplug) {
            ASSERT_TRUE(gWayland->unplug(c.output));
            EXPECT_TRUE(waitUntil([&] { return shown(other, c.expected); }, 10000))
                << "at " << describe(seenOn(other, c.shown));
        } else {
            EXPECT_TRUE(seenOn(other, c.shown).isEmpty()) << "also on " << qPrintable(other);
        }
        manager.stopPiP();
        client->stop();
        ASSERT_TRUE(waitUntil([&] { return !windows.focusedWindow(); }));
    }
}

}  // namespace
}  // namespace mirano
