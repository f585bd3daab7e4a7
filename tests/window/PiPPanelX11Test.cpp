// Mirano's panels on a real X display with Openbox (and, in the composited run, xcompmgr). The
// PiP panel: window-manager state, focus, moving, resizing, what the screen shows, alpha and
// hover, with the picture drawn by the X server into the panel as in the program. The region
// panel: it covers its rectangle, darkens what is below and takes the keys (dragging a region
// with the real pointer is checked end to end, on displays of 96 and 192 dots per inch).
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "platform/qt/QtScheduler.h"
#include "platform/x11/X11CaptureService.h"
#include "platform/x11/X11PanelWindowSystem.h"
#include "region/RegionSelectionPanel.h"
#include "tests/fakes/FakePanelWindowSystem.h"
#include "tests/support/Pixels.h"
#include "tests/support/ScreenInspector.h"
#include "tests/support/TestClientWindow.h"
#include "tests/support/Waiting.h"
#include "tests/support/XTestInput.h"
#include "tests/window/WindowTestSupport.h"
#include "window/CaptureView.h"

namespace mirano {
namespace {

using namespace testing;

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 192, 0);
// Where the panel sits, in Qt (root) coordinates, over the red client window.
const QRect kPanelRect(200, 150, 320, 200);

struct PiPPanelX11Test : ::testing::Test, fakes::MemorySettings {
    void SetUp() override {
        ASSERT_TRUE(screen.isValid() && input.isValid());
        input.moveTo({1200, 780});  // away from the panel: no hint overlay over the picture
        // The mirrored window, away from the panel; the red one below takes the focus.
        for (auto [window, pos, size, colour] :
             {std::tuple{&source, "800,450", "320x200", "00c000"},
              {&client, "40,40", "700x500", "ff0000"}}) {
            *window = std::make_unique<TestClientWindow>(
                *gSession, QStringList{"--pos", pos, "--size", size, "--pattern",
                                       QStringLiteral("solid:") + colour});
            ASSERT_NE((*window)->id(), 0u);
        }
        ASSERT_TRUE(waitUntil([&] { return screen.inputFocus() == client->id(); }))
            << "the client never got the focus";
        ASSERT_TRUE(waitUntil([&] { return near(at({60, 60}), kRed); }));

        panel = std::make_unique<PiPPanel>(QRectF(kPanelRect), windowSystem, settings);
        calls.attach(*panel);
        panel->setContentAspectRatio({320, 200});
        panel->setContentMinSize({150, 150});
        auto surface = capture.makePictureSurface(*panel->windowHandle());
        ASSERT_TRUE(surface);
        panel->attachPictureSurface(surface);
        stream = std::make_shared<StreamManager>(capture, settings, scheduler);
        stream->setPictureSurface(surface);
        ASSERT_FALSE(startCaptureOnceListed(*stream, source->id()));
        panel->showWithoutActivating();
        ASSERT_TRUE(waitUntil([&] { return geometry() == kPanelRect; })) << "not placed as asked";
        ASSERT_TRUE(waitUntil([&] { return near(at(kPanelRect.center()), kGreen); }))
            << "panel content not shown: " << describe(at(kPanelRect.center()));
    }
    void TearDown() override {
        if (stream) stream->stop();
    }

    xcb_window_t xid() const { return static_cast<xcb_window_t>(panel->winId()); }
    QRect geometry() { return screen.rootGeometry(xid()); }
    QColor at(QPoint p) { return screen.pixel(p); }

    ScreenInspector screen;
    XTestInput input;
    X11PanelWindowSystem realWindowSystem;
    fakes::FakePanelWindowSystem windowSystem{&realWindowSystem};
    QtScheduler scheduler;
    x11::X11CaptureService capture{scheduler};
    std::unique_ptr<TestClientWindow> source, client;
    std::unique_ptr<PiPPanel> panel;  // goes before the stream
    std::shared_ptr<StreamManager> stream;
    PanelCalls calls;
};

TEST_F(PiPPanelX11Test, DraggingTheContentMovesThePanelAndAnEdgeResizesItKeepingTheAspect) {
    // Presses at `from`; once the window manager follows, moves the pointer `by` further.
    const auto drag = [&](QPoint from, QPoint by, int slack) {
        const QRect before = geometry();
        const auto handedOver = [&] {
            const auto s = windowSystem.state(panel->windowHandle());
            return s.moves + s.resizes.size();
        };
        const auto earlier = handedOver();
        input.moveTo(from);
        input.pressButton();
        // Wait until the panel has handed the drag to the window manager (counted, not probed: a
        // probe of the pointer grab could take it just before the window manager does).
        ASSERT_TRUE(waitUntil([&] { return handedOver() == earlier + 1; }));
        // The window manager takes over once it has read the panel's request: nudge the pointer
        // (to one point and the one beside it in turn) until the panel follows.
        int step = 0;
        ASSERT_TRUE(waitUntil([&] {
            input.moveTo(from + by / 10 + QPoint(step++ % 2, 0));
            return geometry() != before;
        }));
        // From here on the panel's right edge follows the pointer point for point (within the
        // point the nudging alternates by, or the aspect's rounding).
        const QRect start = geometry();
        input.moveTo(input.pointer() + by);
        EXPECT_TRUE(waitUntil([&] {
            const QPoint d = geometry().topRight() - start.topRight() - by;
            return std::abs(d.x()) <= slack && d.y() == 0;
        })) << describe(geometry());
        // Released, the window manager ends its move or resize.
        input.releaseButton();
        ASSERT_TRUE(waitUntil([&] { return !screen.pointerGrabbedElsewhere(); }));
        ASSERT_TRUE(waitUntil([&] { return panel->geometry() == geometry(); }));
    };
    ASSERT_NO_FATAL_FAILURE(drag(kPanelRect.center(), {100, 50}, 1));
    const QRect moved = geometry();
    EXPECT_EQ(std::tuple(moved.size(), panel->frame(), calls.resizes.size(), screen.inputFocus()),
              std::tuple(kPanelRect.size(), QRectF(moved), 0, client->id()));

    ASSERT_NO_FATAL_FAILURE(drag({moved.right() - 1, moved.center().y()}, {100, 0}, 5));
    const QRect resized = geometry();
    ASSERT_TRUE(waitUntil([&] {
        return !calls.resizes.isEmpty() && calls.resizes.last() == QSizeF(resized.size());
    }));
    EXPECT_NEAR(double(resized.width()) / resized.height(), 1.6, 0.02) << describe(resized);
    EXPECT_EQ(std::tuple(panel->frame(), panel->captureView().bounds().size(), resized.topLeft()),
              std::tuple(QRectF(resized), QSizeF(resized.size()), moved.topLeft()));
}

TEST_F(PiPPanelX11Test, FloatsOnEveryDesktopOffTheTaskbarUnfocusedAndShowsTheFrameInItsCorners) {
    ASSERT_TRUE(waitUntil(
        [&] { return screen.atomNames(xid(), "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"); }));
    const QStringList state = screen.atomNames(xid(), "_NET_WM_STATE");
    const auto desktop = screen.cardinals(xid(), "_NET_WM_DESKTOP");
    // Off the taskbar and pager, sticky or on every desktop, taking no focus; the window manager
    // keeps the minimum size (the aspect: see the drags).
    EXPECT_EQ(
        std::tuple(state.contains("_NET_WM_STATE_SKIP_TASKBAR"),
                   state.contains("_NET_WM_STATE_SKIP_PAGER"),
                   state.contains("_NET_WM_STATE_STICKY") || desktop == std::vector{0xFFFFFFFFu},
                   screen.inputHint(xid()),
                   screen.atomNames(xid(), "WM_PROTOCOLS").contains("WM_TAKE_FOCUS"),
                   screen.inputFocus(), screen.minimumSize(xid())),
        std::tuple(true, true, true, std::optional(false), false, client->id(), QSize(150, 150)))
        << state.join(' ').toStdString();
    // (A press on the panel leaves the focus where it was: see the drags.)

    // The picture, inside rounded corners; nothing at alpha 0.
    const QRect r = kPanelRect;
    const QPoint c = r.center(), left(r.left() + 4, c.y());
    EXPECT_TRUE(near(at(left), kGreen) && near(at({c.x(), r.top() + 1}), kGreen));
    // The very corners show the red window underneath; the picture reaches into their curve.
    for (QPoint p : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
        const QPoint inward(p.x() == r.left() ? 1 : -1, p.y() == r.top() ? 1 : -1);
        EXPECT_TRUE(near(at(p + inward), kRed) && near(at(p + 6 * inward), kGreen)) << describe(p);
    }

    panel->setOpacity(0.0);
    EXPECT_TRUE(waitUntil([&] { return near(at(c), kRed) && near(at(left), kRed); }))
        << describe(at(c));
    panel->animateOpacity(1.0);
    EXPECT_TRUE(waitUntil([&] { return near(at(c), kGreen); })) << describe(at(c));
}

TEST_F(PiPPanelX11Test, HoverIsReportedWhileClicksPassThrough) {
    panel->setIgnoresMouseEvents(true);
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round == 1 ? "clicks pass through" : "taking the mouse again");
        input.moveTo(kPanelRect.center());
        ASSERT_TRUE(waitUntil([&] { return calls.entered == round; }));
        if (round == 1) {  // hover comes from polling the pointer; the click reaches the window
            input.click();
            EXPECT_TRUE(waitUntil([&] { return client->printed("button 1"); }))
                << client->lines().join('|').toStdString();
        } else {  // hover comes from ordinary crossing events and shows the overlay
            EXPECT_NE(panel->captureView().overlayHostingView(), nullptr);
        }
        input.moveTo({900, 700});
        ASSERT_TRUE(waitUntil([&] { return calls.exited == round; }));
        EXPECT_EQ(calls.entered, round);
        EXPECT_EQ(panel->captureView().overlayHostingView(), nullptr);
        panel->setIgnoresMouseEvents(false);
    }
}

TEST_F(PiPPanelX11Test, TheRegionPanelCoversItsRectangleDarkensWhatIsBelowAndTakesEscape) {
    const QRect area(100, 100, 400, 300);  // root coordinates, over the red client
    RegionSelectionPanel region(QRectF(area), realWindowSystem);
    QSignalSpy cancelled(&region, &RegionSelectionPanel::cancelled);
    region.showAndActivate();
    const auto xid = static_cast<xcb_window_t>(region.winId());
    ASSERT_TRUE(waitUntil([&] { return screen.rootGeometry(xid) == area; }));
    ASSERT_TRUE(waitUntil([&] { return screen.inputFocus() == xid; }));
    // The red window shows through, darkened by black at 0.3.
    EXPECT_TRUE(waitUntil([&] {
        return near(at({110, 110}), QColor(178, 0, 0));
    })) << describe(at({110, 110}));
    input.tap(keys::Escape);
    EXPECT_TRUE(waitUntil([&] { return cancelled.count() == 1; }));
}

}  // namespace
}  // namespace mirano
