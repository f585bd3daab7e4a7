// The panel's configuration, geometry and resize reports, alpha and click-through with and
// without a compositing manager, hover polling and the resize border. (That it floats without
// taking the focus, where it was asked, is checked on a real display.)
#include <gtest/gtest.h>

#include <QGraphicsOpacityEffect>
#include <QTest>
#include <QWindow>
#include <memory>

#include "tests/fakes/FakePanelWindowSystem.h"
#include "tests/window/WindowTestSupport.h"
#include "window/CaptureView.h"
#include "window/PiPPanel.h"

namespace mirano {
namespace {

class PiPPanelTest : public ::testing::Test {
protected:
    std::unique_ptr<PiPPanel> make(bool compositor) {
        windowSystem.compositor = compositor;
        auto p = std::make_unique<PiPPanel>(QRectF(100, 120, 320, 200), windowSystem, settings);
        calls.attach(*p);
        return p;
    }
    /// What the window system last applied to the panel's window.
    auto state(PiPPanel& p) const { return windowSystem.state(p.windowHandle()); }
    /// Whether the panel's shape was last set and contains `point`.
    bool shapeHas(PiPPanel& p, QPoint point) const {
        return state(p).shape && state(p).shape->contains(point);
    }

    fakes::MemoryDefaultsStore store;
    AppSettings settings{store};
    fakes::FakePanelWindowSystem windowSystem;
    testing::PanelCalls calls;
};

TEST_F(PiPPanelTest, EverySizeChangeIsReportedOnceAndSizeConstraintsStay) {
    auto panel = make(true);
    panel->setFrame(QRectF(100, 120, 320, 100));
    ASSERT_EQ(calls.resizes, QList<QSizeF>{QSizeF(320, 100)});
    EXPECT_EQ(panel->captureView().bounds(), QRectF(0, 0, 320, 100));
    panel->setFrame(QRectF(300, 50, 320, 100));  // moved only
    EXPECT_EQ(calls.resizes.size(), 1);
    panel->showWithoutActivating();
    QCoreApplication::processEvents();
    panel->setFrame(QRectF(300, 50, 400, 250));
    panel->resize(410, 256);  // as the window manager would
    EXPECT_EQ(calls.resizes, (QList<QSizeF>{{320, 100}, {400, 250}, {410, 256}}));

    // Size constraints reach the window manager and survive geometry changes.
    panel->setContentMinSize({150, 150});
    panel->setContentAspectRatio({1280, 800});
    EXPECT_EQ(std::pair(state(*panel).minSize, state(*panel).aspect),
              std::pair(QSizeF(150, 150), QSizeF(1280, 800)));
    // Qt rewrites the hints when it moves or shows the window: they are put back each time
    // (that they survive showing is seen on a real display).
    const int before = state(*panel).constraintCalls;
    panel->setFrame(QRectF(0, 0, 320, 200));
    panel->showWithoutActivating();
    EXPECT_GE(state(*panel).constraintCalls, before + 2);
}

TEST_F(PiPPanelTest, WithACompositorAlphaIsWindowOpacityAndClickThroughIgnoresQtCrossings) {
    auto panel = make(true);
    EXPECT_TRUE(panel->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(state(*panel).shapeSet);  // corners are painted
    panel->setOpacity(0.1);
    EXPECT_DOUBLE_EQ(state(*panel).opacity, 0.1);

    panel->showWithoutActivating();
    panel->animateOpacity(0.0);
    EXPECT_DOUBLE_EQ(panel->opacity(), 0.0);  // the target at once
    EXPECT_GT(state(*panel).opacity, 0.0);    // the picture fades meanwhile
    EXPECT_TRUE(QTest::qWaitFor([&] { return state(*panel).opacity == 0.0; }, 2000));
    panel->animateOpacity(1.0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return state(*panel).opacity == 1.0; }, 2000));

    // Click-through (hover from polling the pointer meanwhile is checked on a real display).
    panel->setIgnoresMouseEvents(true);
    EXPECT_TRUE(state(*panel).passThrough);

    // Qt's own crossing events say nothing while the input passes through.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&panel->captureView(), &leave);
    EXPECT_EQ(calls.exited, 0);

    // Taking the mouse again catches up at once with where the pointer is.
    windowSystem.pointer = panel->geometry().center();
    panel->setIgnoresMouseEvents(false);
    EXPECT_EQ(calls.entered, 1);
    EXPECT_FALSE(state(*panel).passThrough);
    EXPECT_TRUE(panel->captureView().isPointerInside());
}

// The rounded corners and the shape emptied at alpha 0 are checked on a real display.
TEST_F(PiPPanelTest, WithoutACompositorTheShapeFollowsResizesAndFadesAndLowAlphaDims) {
    auto panel = make(false);
    ASSERT_TRUE(state(*panel).shape.has_value());
    panel->setOpacity(0.1);
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(panel->captureView().graphicsEffect());
    ASSERT_NE(effect, nullptr);
    EXPECT_DOUBLE_EQ(effect->opacity(), 0.1);
    panel->setOpacity(1.0);
    EXPECT_TRUE(shapeHas(*panel, {160, 100}));
    EXPECT_EQ(panel->captureView().graphicsEffect(), nullptr);

    // A resize reshapes the mask to the new size.
    panel->setFrame(QRectF(100, 120, 500, 300));
    EXPECT_TRUE(shapeHas(*panel, {450, 150}));
    EXPECT_FALSE(shapeHas(*panel, {499, 299}));
    ASSERT_TRUE(state(*panel).shape.has_value());

    panel->showWithoutActivating();
    panel->animateOpacity(0.0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return state(*panel).shape->isEmpty(); }, 2000));
}

TEST_F(PiPPanelTest, ResizeBorderFindsEdgesAndRoundedCorners) {
    const QSizeF size(300, 200);
    EXPECT_EQ(PiPPanel::resizeEdges({150, 100}, size), Qt::Edges());
    EXPECT_EQ(PiPPanel::resizeEdges({2, 100}, size), Qt::Edges(Qt::LeftEdge));
    EXPECT_EQ(PiPPanel::resizeEdges({297, 100}, size), Qt::Edges(Qt::RightEdge));
    EXPECT_EQ(PiPPanel::resizeEdges({150, 1}, size), Qt::Edges(Qt::TopEdge));
    EXPECT_EQ(PiPPanel::resizeEdges({150, 199}, size), Qt::Edges(Qt::BottomEdge));
    EXPECT_EQ(PiPPanel::resizeEdges({2, 10}, size), Qt::TopEdge | Qt::LeftEdge);
    EXPECT_EQ(PiPPanel::resizeEdges({295, 197}, size), Qt::BottomEdge | Qt::RightEdge);
    EXPECT_EQ(PiPPanel::resizeEdges({10, 195}, size), Qt::BottomEdge | Qt::LeftEdge);
}

}  // namespace
}  // namespace mirano
