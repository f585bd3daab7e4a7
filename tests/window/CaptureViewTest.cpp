// Gesture logic of the capture view: hover and the hint overlay, Command-drag zoom selections,
// double-clicks, the frame-rate menu and the frame display.
#include <gtest/gtest.h>

#include <QAction>
#include <QCursor>
#include <QGraphicsEffect>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "tests/fakes/FakeCaptureService.h"
#include "tests/fakes/FakePanelWindowSystem.h"
#include "tests/fakes/FakePictureSurface.h"
#include "tests/window/WindowTestSupport.h"
#include "window/CaptureView.h"
#include "window/CloseButton.h"
#include "window/OverlayView.h"
#include "window/PiPPanel.h"

namespace mirano {
namespace {

using testing::colourAt;
using testing::doubleClick;
using testing::drag;
using testing::expectRect;
using testing::press;
using testing::release;

struct Calls {
    int close = 0, doubleClick = 0, entered = 0, exited = 0, resetZoom = 0;
    QList<QRectF> zooms;
    QList<int> rates;
    int total() const {
        return close + doubleClick + entered + exited + resetZoom + zooms.size() + rates.size();
    }
};

class CaptureViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel = std::make_unique<PiPPanel>(QRectF(100, 100, 400, 300), windowSystem, settings);
        view = &panel->captureView();
        panel->onClose = [this] { ++calls.close; };
        panel->onDoubleClick = [this] { ++calls.doubleClick; };
        panel->onMouseEntered = [this] { ++calls.entered; };
        panel->onMouseExited = [this] { ++calls.exited; };
        panel->onResetZoom = [this] { ++calls.resetZoom; };
        panel->onZoom = [this](QRectF r) { calls.zooms << r; };
        panel->onFrameRateChanged = [this](int rate) { calls.rates << rate; };
    }
    void commandDrag(QPointF from, QPointF to) {
        view->mouseDownAt(from, 1, true);
        view->mouseDraggedTo(to);
        view->mouseUpAt(to);
    }

    fakes::MemoryDefaultsStore store;
    AppSettings settings{store};
    fakes::FakePanelWindowSystem windowSystem;
    std::unique_ptr<PiPPanel> panel;
    CaptureView* view = nullptr;
    Calls calls;
};

TEST_F(CaptureViewTest, ZoomSelectionMustExceedTenPointsBothWays) {
    commandDrag({100, 100}, {110, 150});  // 10 x 50
    EXPECT_TRUE(calls.zooms.isEmpty());
    EXPECT_FALSE(view->suppressOverlay());

    commandDrag({100, 100}, {110.5, 110.5});
    ASSERT_EQ(calls.zooms.size(), 1);
    expectRect(calls.zooms[0], 100.0 / 400, 100.0 / 300, 10.5 / 400, 10.5 / 300);
    EXPECT_TRUE(view->suppressOverlay());
    EXPECT_EQ(view->selectionLayer(), nullptr);
}

TEST_F(CaptureViewTest, DragBeyondTheViewIsClampedAndNormalisedFromTopLeft) {
    view->mouseDownAt({200, 150}, 1, true);
    view->mouseDraggedTo({-80, 420});
    EXPECT_EQ(view->selectionRect(), QRectF(0, 150, 200, 150));
    EXPECT_NE(view->selectionLayer(), nullptr);
    view->mouseUpAt({-80, 420});
    ASSERT_EQ(calls.zooms.size(), 1);
    expectRect(calls.zooms[0], 0, 0.5, 0.5, 0.5);

    // Dragging up-right past the far corner ends at (400, 0): the top-right quarter.
    commandDrag({200, 150}, {900, -900});
    ASSERT_EQ(calls.zooms.size(), 2);
    expectRect(calls.zooms[1], 0.5, 0, 0.5, 0.5);
}

TEST_F(CaptureViewTest, NoSelectionStartsWhileZoomedOrWithoutCommand) {
    view->setZoomed(true);
    commandDrag({50, 50}, {300, 250});
    EXPECT_FALSE(view->isDraggingZoom());
    EXPECT_TRUE(calls.zooms.isEmpty());

    view->setZoomed(false);
    view->mouseDownAt({50, 50}, 1, false);
    EXPECT_FALSE(view->isDraggingZoom());
    view->mouseDraggedTo({300, 250});
    view->mouseUpAt({300, 250});
    EXPECT_EQ(view->selectionLayer(), nullptr);
    EXPECT_EQ(calls.total(), 0);
}

TEST_F(CaptureViewTest, HoverShowsTheOverlayUnlessCommandIsHeld) {
    view->setCommandHeld(true);
    view->mouseEnteredView();
    EXPECT_EQ(view->overlayHostingView(), nullptr);
    EXPECT_EQ(calls.entered, 1);
    view->mouseExitedView();
    EXPECT_EQ(calls.exited, 1);

    view->setCommandHeld(false);
    view->mouseEnteredView();
    ASSERT_NE(view->overlayHostingView(), nullptr);
    EXPECT_EQ(view->overlayHostingView()->geometry(), view->rect());
    EXPECT_EQ(calls.entered, 2);

    // Command hides it for the zoom drag, releasing brings a fresh one back.
    view->setCommandHeld(true);
    EXPECT_EQ(view->overlayHostingView(), nullptr);
    view->setCommandHeld(false);
    EXPECT_NE(view->overlayHostingView(), nullptr);

    view->mouseExitedView();
    EXPECT_EQ(view->overlayHostingView(), nullptr);
}

TEST_F(CaptureViewTest, OverlayStaysAwayAfterACommittedZoomUntilThePointerLeaves) {
    view->mouseEnteredView();
    view->setCommandHeld(true);
    commandDrag({20, 20}, {220, 170});
    ASSERT_EQ(calls.zooms.size(), 1);
    view->setCommandHeld(false);
    EXPECT_EQ(view->overlayHostingView(), nullptr);
    view->setCommandHeld(true);
    view->setCommandHeld(false);
    EXPECT_EQ(view->overlayHostingView(), nullptr);
    view->showOverlay();
    EXPECT_EQ(view->overlayHostingView(), nullptr);

    view->mouseExitedView();
    view->mouseEnteredView();
    EXPECT_NE(view->overlayHostingView(), nullptr);

    // A too small selection keeps it away only until Command is released.
    view->setCommandHeld(true);
    commandDrag({20, 20}, {25, 25});
    EXPECT_EQ(calls.zooms.size(), 1);
    EXPECT_EQ(view->overlayHostingView(), nullptr);
    view->setCommandHeld(false);
    EXPECT_NE(view->overlayHostingView(), nullptr);
}

TEST_F(CaptureViewTest, OverlayShowsCurrentSettingsAndForwardsItsButtons) {
    settings.setModifierRaw("rightOption");
    settings.setFrameRate(24);
    view->mouseEnteredView();
    auto* overlay = qobject_cast<OverlayView*>(view->overlayHostingView());
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->content().modifierName, QStringLiteral("⌥ Right Option"));
    EXPECT_EQ(overlay->content().frameRate, 24);
    EXPECT_FALSE(overlay->content().isZoomed);

    // A refresh rebuilds the overlay from the values of the moment.
    view->setZoomed(true);
    view->updateOverlay();
    overlay = qobject_cast<OverlayView*>(view->overlayHostingView());
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(overlay->content().isZoomed);

    QTest::mouseClick(overlay->closeButton(), Qt::LeftButton);
    EXPECT_EQ(calls.close, 1);
    overlay->frameRateMenu()->actions().at(4)->trigger();  // 30 fps
    EXPECT_EQ(calls.rates, QList<int>{30});
}

TEST_F(CaptureViewTest, FrameRateMenuChecksOnlyTheCurrentRate) {
    settings.setFrameRate(24);
    std::unique_ptr<QMenu> menu(view->buildFrameRateMenu());
    QStringList titles;
    QList<int> checked;
    for (QAction* a : menu->actions()) {
        titles << a->text();
        if (a->isChecked()) checked << a->data().toInt();
    }
    EXPECT_EQ(titles, (QStringList{"1 fps", "5 fps", "10 fps", "24 fps", "30 fps", "60 fps"}));
    EXPECT_EQ(checked, QList<int>{24});

    settings.setFrameRate(15);
    menu.reset(view->buildFrameRateMenu());
    for (QAction* a : menu->actions()) EXPECT_FALSE(a->isChecked());

    menu->actions().at(0)->trigger();
    EXPECT_EQ(calls.rates, QList<int>{1});
    EXPECT_FALSE(menu->actions().at(0)->isChecked());  // the menu does not change the rate itself
}

TEST_F(CaptureViewTest, FrameRateMenuPopsUpAtThePointerClampedToTheView) {
    panel->orderFront();
    const QPoint topLeft = view->mapToGlobal(QPoint(0, 0));
    QCursor::setPos(topLeft + QPoint(120, 80));
    view->showFrameRateMenu();
    ASSERT_NE(view->frameRateMenu(), nullptr);
    EXPECT_TRUE(view->frameRateMenu()->isVisible());
    EXPECT_EQ(view->frameRateMenu()->pos(), topLeft + QPoint(120, 80));

    // A pointer left of and above the view pops the menu up at the view's corner.
    QCursor::setPos(topLeft - QPoint(50, 40));
    view->showFrameRateMenu();
    ASSERT_NE(view->frameRateMenu(), nullptr);
    EXPECT_EQ(view->frameRateMenu()->pos(), topLeft);
    view->frameRateMenu()->close();
}

TEST_F(CaptureViewTest, WithoutAPanelGesturesAreReportedToNobody) {
    CaptureView orphan(QRectF(0, 0, 200, 100), settings);
    orphan.mouseEnteredView();
    orphan.mouseDownAt({10, 10}, 1, true);
    orphan.mouseDraggedTo({150, 90});
    orphan.mouseUpAt({150, 90});
    EXPECT_TRUE(orphan.suppressOverlay());  // the zoom was recognised, just reported to nobody
    EXPECT_EQ(calls.total(), 0);
}

TEST_F(CaptureViewTest, QtEventsReachTheGesturesInViewCoordinates) {
    // A double-click resets the zoom with Command and is a plain double-click without.
    doubleClick(view, {200, 150}, Qt::MetaModifier);
    EXPECT_EQ(calls.resetZoom, 1);
    EXPECT_EQ(calls.doubleClick, 0);
    EXPECT_TRUE(view->suppressOverlay());
    doubleClick(view, {200, 150});
    EXPECT_EQ(calls.doubleClick, 1);
    EXPECT_EQ(calls.resetZoom, 1);
    EXPECT_FALSE(view->isDraggingZoom());

    press(view, {100, 200}, Qt::MetaModifier);
    drag(view, {300, 50}, Qt::MetaModifier);
    EXPECT_EQ(view->selectionRect(), QRectF(100, 50, 200, 150));
    release(view, {300, 50}, Qt::MetaModifier);
    ASSERT_EQ(calls.zooms.size(), 1);
    expectRect(calls.zooms[0], 0.25, 50.0 / 300, 0.5, 0.5);
    EXPECT_EQ(windowSystem.state(panel->windowHandle()).moves, 0);
}

TEST_F(CaptureViewTest, PlainPressMovesThePanelOnlyWhileMovable) {
    QWindow* window = panel->windowHandle();
    press(view, {200, 150});
    release(view, {200, 150});
    EXPECT_EQ(windowSystem.state(window).moves, 1);

    panel->setMovableByWindowBackground(false);
    press(view, {200, 150});
    release(view, {200, 150});
    EXPECT_EQ(windowSystem.state(window).moves, 1);

    // A Command press never moves, even when movable; an edge press resizes instead.
    panel->setMovableByWindowBackground(true);
    view->setZoomed(true);
    press(view, {200, 150}, Qt::MetaModifier);
    release(view, {200, 150}, Qt::MetaModifier);
    EXPECT_EQ(windowSystem.state(window).moves, 1);
    press(view, {398, 150});
    release(view, {398, 150});
    EXPECT_EQ(windowSystem.state(window).moves, 1);
    EXPECT_EQ(windowSystem.state(window).resizes, QList<Qt::Edges>{Qt::RightEdge});
    EXPECT_EQ(calls.total(), 0);
}

TEST_F(CaptureViewTest, FrameIsShownAspectFilledWithoutACopy) {
    // 200 x 100 frame: a green strip in its leftmost 50 columns, blue elsewhere. Filling the
    // 400 x 300 view scales it by 3 and cuts 100 points on each side, so green ends at x = 50.
    const Frame frame = fakes::makeMemoryFrame(
        200, 100, [](int x, int) { return x < 50 ? 0xFF00FF00u : 0xFF0000FFu; });
    view->setContents(frame);
    EXPECT_EQ(view->contents().get(), frame.get());

    const QImage shot = view->grab().toImage();
    auto at = [&](int x, int y) { return colourAt(shot, x, y); };
    EXPECT_EQ(at(40, 150), QColor(0, 255, 0));
    EXPECT_EQ(at(60, 150), QColor(0, 0, 255));
    EXPECT_EQ(at(395, 295).rgb(), QColor(0, 0, 255).rgb());
    // Rounded corners: the very corner pixel is not the frame.
    EXPECT_NE(at(0, 0).rgb(), QColor(0, 255, 0).rgb());
}

TEST_F(CaptureViewTest, WithAPictureSurfaceTheOverlaysGoThereOnlyWhenTheyChange) {
    auto surface = std::make_shared<fakes::FakePictureSurface>();
    panel->orderFront();
    panel->attachPictureSurface(surface);
    EXPECT_EQ(surface->geometry, QRect(0, 0, 400, 300));
    EXPECT_TRUE(surface->visible);
    // With a compositing manager the surface cuts transparent corners itself.
    EXPECT_EQ(surface->cornerRadius, CaptureView::kCornerRadius);
    QCoreApplication::processEvents();
    EXPECT_TRUE(surface->overlays.isEmpty()) << "nothing shown, nothing to upload";

    view->mouseEnteredView();
    QCoreApplication::processEvents();
    ASSERT_EQ(surface->overlays.size(), 1);
    const QImage shown = surface->overlays.last();
    ASSERT_EQ(shown.size(), QSize(400, 300));
    // The close button is drawn in the overlay; the overlay is not opaque everywhere.
    auto* close = view->overlayHostingView()->findChild<CloseButton*>();
    ASSERT_NE(close, nullptr);
    const QPoint c = close->mapTo(view, close->rect().center());
    EXPECT_GT(qAlpha(shown.pixel(c)), 0);
    EXPECT_LT(qAlpha(shown.pixel(200, 150)), 255);

    // Nothing changed: no new upload; a resize renders again at the new size.
    QCoreApplication::processEvents();
    EXPECT_EQ(surface->overlays.size(), 1);
    panel->setFrame(QRectF(100, 100, 480, 360));
    QCoreApplication::processEvents();
    EXPECT_EQ(surface->geometry, QRect(0, 0, 480, 360));
    EXPECT_EQ(surface->overlays.last().size(), QSize(480, 360));

    view->mouseExitedView();
    QTest::qWait(0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(surface->overlays.last().isNull()) << "the removed overlay stays on the picture";

    // Without one, the panel's shape cuts the corners and a low alpha dims the picture.
    windowSystem.compositor = false;
    PiPPanel plain(QRectF(100, 100, 400, 300), windowSystem, settings);
    auto plainSurface = std::make_shared<fakes::FakePictureSurface>();
    plain.attachPictureSurface(plainSurface);
    EXPECT_EQ(plainSurface->cornerRadius, 0.0);
    plain.setAlphaValue(0.25);
    EXPECT_DOUBLE_EQ(plainSurface->opacity, 0.25);
    EXPECT_EQ(plain.captureView().graphicsEffect(), nullptr);
}

}  // namespace
}  // namespace mirano
