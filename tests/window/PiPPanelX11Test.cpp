// The PiP panel on a real X display with Openbox (and, in the composited run, xcompmgr):
// window-manager state, focus, moving, resizing, what the screen shows, alpha and hover, with
// the picture drawn by the X server into the panel as in the program.
#include <gtest/gtest.h>

#include <memory>

#include "capture/StreamManager.h"
#include "platform/qt/QtScheduler.h"
#include "platform/x11/X11CaptureService.h"
#include "platform/x11/X11PanelWindowSystem.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "tests/window/PanelX11Support.h"
#include "tests/window/WindowTestSupport.h"
#include "window/CaptureView.h"
#include "window/PiPPanel.h"

namespace mirano {
namespace {

using namespace testing;

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 192, 0);
// Where the panel sits, in Qt (root) coordinates, over the red client window.
const QRect kPanelRect(200, 150, 320, 200);

// The real window system, counting the drags handed to the window manager so that a test can
// wait for the panel to have handled a press without probing the pointer grab (a probe could
// take the grab just before the window manager does).
class CountingWindowSystem final : public PanelWindowSystem {
public:
    bool hasCompositor() override { return real.hasCompositor(); }
    void configureFloatingPanel(QWindow& w) override { real.configureFloatingPanel(w); }
    void configureOverlayPanel(QWindow& w) override { real.configureOverlayPanel(w); }
    void setSizeConstraints(QWindow& w, const QSizeF& m, const QSizeF& a) override {
        real.setSizeConstraints(w, m, a);
    }
    void setVisibleShape(QWindow& w, const std::optional<QRegion>& s) override {
        real.setVisibleShape(w, s);
    }
    void setOpacity(QWindow& w, double o) override { real.setOpacity(w, o); }
    void setInputPassThrough(QWindow& w, bool p) override { real.setInputPassThrough(w, p); }
    void beginMove(QWindow& w) override {
        real.beginMove(w);
        ++drags;
    }
    void beginResize(QWindow& w, Qt::Edges e) override {
        real.beginResize(w, e);
        ++drags;
    }
    void activate(QWindow& w) override { real.activate(w); }
    QPoint pointerPosition() override { return real.pointerPosition(); }
    QPixmap grabScreen(const QRect& a) override { return real.grabScreen(a); }

    X11PanelWindowSystem real;
    int drags = 0;
};

class PiPPanelX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(gSession, nullptr);
        ASSERT_TRUE(inspector.isValid());
        // Away from the panel, so that no hint overlay covers the picture.
        ASSERT_TRUE(xdotool({"mousemove", "1200", "780"}));
        // The mirrored window, away from the panel; the red one below takes the focus.
        for (auto [window, pos, size, colour] :
             {std::tuple{&source, "800,450", "320x200", "00c000"},
              {&client, "40,40", "700x500", "ff0000"}}) {
            *window = std::make_unique<TestClientWindow>(
                *gSession, QStringList{"--pos", pos, "--size", size, "--pattern",
                                       QStringLiteral("solid:") + colour});
            ASSERT_NE((*window)->id(), 0u);
        }
        ASSERT_TRUE(waitUntil([&] { return inspector.inputFocus() == client->id(); }, 5000))
            << "the client never got the focus";
        ASSERT_TRUE(waitUntil([&] { return near(at({60, 60}), kRed); }, 5000));

        panel = std::make_unique<PiPPanel>(QRectF(kPanelRect), windowSystem, settings);
        QObject::connect(panel.get(), &PiPPanel::resized, [this](QSizeF s) { resizes << s; });
        QObject::connect(panel.get(), &PiPPanel::mouseEntered, [this] { ++entered; });
        QObject::connect(panel.get(), &PiPPanel::mouseExited, [this] { ++exited; });
        panel->setContentAspectRatio({320, 200});
        panel->setContentMinSize({150, 150});
        auto surface = capture.makePictureSurface(*panel->windowHandle());
        ASSERT_TRUE(surface);
        panel->attachPictureSurface(surface);
        stream = std::make_shared<StreamManager>(capture, settings, scheduler);
        stream->setPictureSurface(surface);
        const auto error = startCaptureOnceListed(*stream, source->id());
        ASSERT_FALSE(error) << qPrintable(error->description);
        panel->showWithoutActivating();
        ASSERT_TRUE(waitUntil([&] { return geometry() == kPanelRect; }, 5000))
            << "panel not placed where asked";
        const QPoint c = kPanelRect.center();
        ASSERT_TRUE(waitUntil([&] { return near(at(c), kGreen); }, 5000))
            << "panel content not shown: " << describe(at(c));
    }
    void TearDown() override {
        if (stream) stream->stop();
    }

    xcb_window_t xid() const { return static_cast<xcb_window_t>(panel->winId()); }
    QRect geometry() { return inspector.rootGeometry(xid()); }
    QColor at(QPoint p) { return inspector.pixel(p); }
    /// Presses at `p` and waits until the panel has handed the drag to the window manager.
    bool pressUntilDragHandedOver(QPoint p) {
        pointer.moveTo(p.x(), p.y());
        pointer.press();
        return waitUntil([&] { return windowSystem.drags == 1; }, 5000);
    }
    /// Releases and waits until the window manager has ended its move or resize.
    bool releaseUntilDragEnds() {
        pointer.release();
        return waitUntil([&] { return !inspector.pointerGrabbedElsewhere(); }, 5000);
    }
    /// Moves the pointer to `target` and one point beside it in turn until `done` holds.
    bool nudgeUntil(QPoint target, const std::function<bool()>& done) {
        int step = 0;
        return waitUntil(
            [&] {
                pointer.moveTo(target.x() + (step++ % 2), target.y());
                return done();
            },
            5000);
    }

    Inspector inspector;
    XTestPointer pointer;
    fakes::MemoryDefaultsStore store;
    AppSettings settings{store};
    CountingWindowSystem windowSystem;
    QtScheduler scheduler;
    x11::X11CaptureService capture{scheduler};
    std::unique_ptr<TestClientWindow> source, client;
    std::unique_ptr<PiPPanel> panel;  // goes before the stream
    std::shared_ptr<StreamManager> stream;
    QList<QSizeF> resizes;
    int entered = 0, exited = 0;
};

TEST_F(PiPPanelX11Test, FloatsOnEveryDesktopOffTheTaskbarAndNeverTakesFocus) {
    ASSERT_TRUE(waitUntil(
        [&] { return inspector.atomNames(xid(), "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"); },
        5000));
    const QStringList state = inspector.atomNames(xid(), "_NET_WM_STATE");
    EXPECT_TRUE(state.contains("_NET_WM_STATE_SKIP_TASKBAR") &&
                state.contains("_NET_WM_STATE_SKIP_PAGER"))
        << state.join(' ').toStdString();
    const auto desktop = inspector.cardinals(xid(), "_NET_WM_DESKTOP");
    EXPECT_TRUE(state.contains("_NET_WM_STATE_STICKY") ||
                (!desktop.empty() && desktop[0] == 0xFFFFFFFF))
        << state.join(' ').toStdString();
    EXPECT_EQ(inspector.inputHint(xid()), std::optional<bool>(false));
    EXPECT_FALSE(inspector.atomNames(xid(), "WM_PROTOCOLS").contains("WM_TAKE_FOCUS"));
    EXPECT_EQ(inspector.inputFocus(), client->id());

    // The window manager keeps the minimum size (the aspect: see the resize below).
    xcb_size_hints_t hints{};
    x11::XConnection conn;
    ASSERT_TRUE(xcb_icccm_get_wm_normal_hints_reply(
        conn.get(), xcb_icccm_get_wm_normal_hints(conn.get(), xid()), &hints, nullptr));
    ASSERT_TRUE(hints.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE);
    EXPECT_EQ(QSize(hints.min_width, hints.min_height), QSize(150, 150));

    // A click on the panel leaves the focus where it was. (Away from the centre, where the next
    // test presses: two presses on one spot in quick succession would make a double-click.)
    ASSERT_TRUE(pressUntilDragHandedOver(kPanelRect.center() - QPoint(40, 30)));
    ASSERT_TRUE(releaseUntilDragEnds());
    EXPECT_EQ(inspector.inputFocus(), client->id());
    EXPECT_FALSE(panel->isActiveWindow());
}

TEST_F(PiPPanelX11Test, DraggingTheContentMovesThePanel) {
    const QRectF before = panel->frame();
    const QPoint c = kPanelRect.center();
    ASSERT_TRUE(pressUntilDragHandedOver(c));
    // The window manager takes over once it has read the panel's request: nudge the pointer
    // right and down until the panel follows.
    ASSERT_TRUE(nudgeUntil({c.x() + 10, c.y() + 10},
                           [&] { return geometry().topLeft() != kPanelRect.topLeft(); }));
    // From here on the panel follows the pointer point for point.
    const QPoint start = geometry().topLeft();
    const QPoint from = pointer.position();
    pointer.moveTo(from.x() + 100, from.y() + 50);
    // Within the one point the nudging alternates by.
    EXPECT_TRUE(waitUntil(
        [&] {
            const QPoint d = geometry().topLeft() - start - QPoint(100, 50);
            return std::abs(d.x()) <= 1 && d.y() == 0;
        },
        5000));
    ASSERT_TRUE(releaseUntilDragEnds());
    const QRect moved = geometry();
    EXPECT_EQ(moved.size(), kPanelRect.size());
    ASSERT_TRUE(waitUntil([&] { return panel->geometry() == moved; }, 5000));
    EXPECT_EQ(panel->frame(), before.translated(moved.topLeft() - kPanelRect.topLeft()));
    EXPECT_TRUE(resizes.isEmpty());
    EXPECT_EQ(inspector.inputFocus(), client->id());
}

TEST_F(PiPPanelX11Test, DraggingAnEdgeResizesKeepingTheAspectAndReports) {
    const int y = kPanelRect.center().y();
    const int x = kPanelRect.right() - 1;
    ASSERT_TRUE(pressUntilDragHandedOver({x, y}));
    ASSERT_TRUE(nudgeUntil({x + 10, y}, [&] { return geometry().width() != kPanelRect.width(); }));
    const int startWidth = geometry().width();
    pointer.moveTo(pointer.position().x() + 100, y);
    EXPECT_TRUE(waitUntil([&] { return geometry().width() >= startWidth + 95; }, 5000));
    ASSERT_TRUE(releaseUntilDragEnds());
    const QRect resized = geometry();
    ASSERT_TRUE(waitUntil(
        [&] {
            return panel->size() == resized.size() && !resizes.isEmpty() &&
                   resizes.last() == QSizeF(resized.size());
        },
        5000));
    EXPECT_NEAR(double(resized.width()) / resized.height(), 1.6, 0.02)
        << resized.width() << " x " << resized.height();
    EXPECT_EQ(panel->frame().size(), QSizeF(resized.size()));
    EXPECT_EQ(resized.topLeft(), kPanelRect.topLeft());
    EXPECT_EQ(panel->captureView().bounds().size(), QSizeF(resized.size()));
}

TEST_F(PiPPanelX11Test, ShowsTheFrameInsideRoundedCornersAndNothingAtAlphaZero) {
    const QRect r = kPanelRect;
    const QPoint c = r.center();
    EXPECT_TRUE(near(at({r.left() + 4, c.y()}), kGreen) && near(at({c.x(), r.top() + 1}), kGreen));
    // The very corners show the red window underneath; the picture reaches into their curve.
    for (QPoint p : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
        const QPoint inward(p.x() == r.left() ? 1 : -1, p.y() == r.top() ? 1 : -1);
        EXPECT_TRUE(near(at(p + inward), kRed) && near(at(p + 6 * inward), kGreen)) << describe(p);
    }

    panel->setOpacity(0.0);
    EXPECT_TRUE(waitUntil([&] { return near(at(c), kRed); }, 5000)) << describe(at(c));
    EXPECT_TRUE(near(at({r.left() + 4, c.y()}), kRed));
    panel->animateOpacity(1.0);
    EXPECT_TRUE(waitUntil([&] { return near(at(c), kGreen); }, 5000)) << describe(at(c));
}

TEST_F(PiPPanelX11Test, HoverIsReportedWhileClicksPassThrough) {
    panel->setIgnoresMouseEvents(true);
    const QPoint c = kPanelRect.center();
    ASSERT_TRUE(xdotool({"mousemove", QString::number(c.x()), QString::number(c.y())}));
    ASSERT_TRUE(waitUntil([&] { return entered == 1; }, 5000));
    // The click goes to the window underneath.
    ASSERT_TRUE(xdotool({"click", "1"}));
    EXPECT_TRUE(waitUntil([&] { return client->printed("button 1"); }, 5000))
        << client->lines().join('|').toStdString();
    ASSERT_TRUE(xdotool({"mousemove", "900", "700"}));
    ASSERT_TRUE(waitUntil([&] { return exited == 1; }, 5000));
    EXPECT_EQ(entered, 1);

    // Taking the mouse again: hover comes from ordinary crossing events.
    panel->setIgnoresMouseEvents(false);
    ASSERT_TRUE(xdotool({"mousemove", QString::number(c.x()), QString::number(c.y())}));
    ASSERT_TRUE(waitUntil([&] { return entered == 2; }, 5000));
    EXPECT_NE(panel->captureView().overlayHostingView(), nullptr);
    ASSERT_TRUE(xdotool({"mousemove", "900", "700"}));
    ASSERT_TRUE(waitUntil([&] { return exited == 2; }, 5000));
    EXPECT_EQ(panel->captureView().overlayHostingView(), nullptr);
}

}  // namespace
}  // namespace mirano
