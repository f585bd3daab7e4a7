// The region panel: the ten-point rule, normalisation and clamping, Escape, Qt event flipping,
// the dimming over a grabbed backdrop without a compositor.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "region/RegionSelectionPanel.h"
#include "region/RegionSelectionView.h"
#include "tests/fakes/FakePanelWindowSystem.h"
#include "tests/window/WindowTestSupport.h"

namespace mirano {
namespace {

using namespace testing;

struct RegionSelectionTest : ::testing::Test {
    std::unique_ptr<RegionSelectionPanel> make(QRectF rect, bool compositor = true) {
        windowSystem.compositor = compositor;
        return std::make_unique<RegionSelectionPanel>(rect, windowSystem);
    }
    fakes::FakePanelWindowSystem windowSystem;
};

TEST_F(RegionSelectionTest, SelectionsOverTenPointsEachWayAreNormalisedAndClampedAndEscapeCancels) {
    auto panel = make(QRectF(0, 0, 1000, 500));
    QSignalSpy regions(&*panel, &RegionSelectionPanel::regionSelected),
        cancelled(&*panel, &RegionSelectionPanel::cancelled);
    RegionSelectionView& v = panel->view();
    v.mouseDownAt({50, 50});
    v.mouseUpAt({50, 50});
    dragThrough(v, {50, 50}, {61, 60});  // 11 x 10: cancelled as the click before
    dragThrough(v, {50, 50}, {61, 61});  // 11 x 11
    EXPECT_FALSE(v.hasSelectionLayer());
    // Through Qt's mouse events, reported from the top-left.
    QTest::mousePress(&v, Qt::LeftButton, {}, {100, 400});
    QTest::mouseMove(&v, {300, 100});
    EXPECT_EQ(v.selectionRect(), QRectF(100, 100, 200, 300));
    QTest::mouseRelease(&v, Qt::LeftButton, {}, {300, 100});
    // A drag that leaves the panel is clamped to its edges.
    dragThrough(v, {-100, 700}, {2000, -30});
    EXPECT_EQ(regions, (QList<QVariantList>{{QRectF(0.05, 0.1, 0.011, 0.022)},
                                            {QRectF(0.1, 0.2, 0.2, 0.6)},
                                            {QRectF(0, 0, 1, 1)}}));

    // Escape cancels at any time; the band stays until the owner takes the panel away.
    v.mouseDownAt({50, 50});
    v.mouseDraggedTo({200, 200});
    EXPECT_TRUE(v.keyDown(RegionSelectionView::kEscapeKeyCode));
    EXPECT_TRUE(v.hasSelectionLayer());
    // Other keys pass on.
    EXPECT_FALSE(v.keyDown(3));
    panel->cancel();
    QTest::keyClick(&v, Qt::Key_Escape);
    QTest::keyClick(&v, Qt::Key_A);
    EXPECT_EQ(std::pair(cancelled.size(), regions.size()), std::pair(qsizetype(5), qsizetype(3)));
}

// That it covers the rectangle and takes the keyboard focus, and how dark the grabbed backdrop
// shows, is checked on a real display in PiPPanelX11Test.
TEST_F(RegionSelectionTest, AnOverlaySeenThroughWithACompositorElseOverAGrabWithAHintUntilADrag) {
    auto seenThrough = make(QRectF(200, 150, 400, 300));
    seenThrough->showAndActivate();
    EXPECT_TRUE(windowSystem.state(seenThrough->windowHandle()).overlayPanel &&
                windowSystem.grabbedAreas.isEmpty());

    auto panel = make(QRectF(200, 150, 400, 300), false);
    panel->showAndActivate();
    ASSERT_EQ(windowSystem.grabbedAreas, QList<QRect>{panel->geometry()});
    RegionSelectionView& v = panel->view();

    // The instruction text is drawn in the middle until a drag starts.
    const QRect middle(80, 140, 240, 20);
    EXPECT_GT(lightPixels(v.grab().toImage(), middle, 220), 30);
    v.mouseDownAt({5, 5});
    EXPECT_EQ(lightPixels(v.grab().toImage(), middle, 220), 0);

    // A view without a panel takes gestures without crashing.
    RegionSelectionView orphan(QRectF(0, 0, 100, 100));
    dragThrough(orphan, {10, 10}, {90, 90});
    EXPECT_FALSE(orphan.isDragging());
}

}  // namespace
}  // namespace mirano
