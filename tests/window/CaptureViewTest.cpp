// Gesture logic of the capture view: hover and the hint overlay, Command-drag zoom selections,
// double-clicks, the frame-rate menu and the frame display.
#include <gtest/gtest.h>

#include <QAction>
#include <QCursor>
#include <QGraphicsEffect>
#include <QTest>
#include <QToolButton>

#include "tests/fakes/FakeCaptureService.h"
#include "tests/fakes/FakePanelWindowSystem.h"
#include "tests/fakes/FakePictureSurface.h"
#include "tests/support/Pixels.h"
#include "tests/window/WindowTestSupport.h"
#include "window/CaptureView.h"
#include "window/CloseButton.h"
#include "window/OverlayView.h"
#include "window/PiPPanel.h"

namespace mirano {
namespace {

using namespace testing;

class CaptureViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel = std::make_unique<PiPPanel>(QRectF(100, 100, 400, 300), windowSystem, settings);
        view = &panel->captureView();
        calls.attach(*panel);
    }
    void commandDrag(QPointF from, QPointF to, bool command = true) {
        view->mouseDownAt(from, 1, command);
        view->mouseDraggedTo(to);
        view->mouseUpAt(to);
    }
    /// A press and release through Qt events.
    void click(QPointF at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        press(view, at, modifiers);
        release(view, at, modifiers);
    }
    bool overlayShown() const { return view->overlayHostingView() != nullptr; }
    int moves() const { return windowSystem.state(panel->windowHandle()).moves; }

    fakes::MemoryDefaultsStore store;
    AppSettings settings{store};
    fakes::FakePanelWindowSystem windowSystem;
    std::unique_ptr<PiPPanel> panel;
    CaptureView* view = nullptr;
    testing::PanelCalls calls;
};

TEST_F(CaptureViewTest, ZoomSelectionsAreClampedNormalisedMustExceedTenPointsAndNeedAPanel) {
    commandDrag({100, 100}, {110, 150});  // 10 x 50: none
    commandDrag({100, 100}, {150, 110});  // 50 x 10: none
    EXPECT_FALSE(view->suppressOverlay());
    commandDrag({100, 100}, {110.5, 110.5});
    EXPECT_TRUE(view->suppressOverlay());
    EXPECT_EQ(view->selectionLayer(), nullptr);

    // Dragged beyond the view: clamped, and normalised from the top-left.
    view->mouseDownAt({200, 150}, 1, true);
    view->mouseDraggedTo({-80, 420});
    EXPECT_EQ(view->selectionRect(), QRectF(0, 150, 200, 150));
    EXPECT_NE(view->selectionLayer(), nullptr);
    view->mouseUpAt({-80, 420});
    // Up-right past the far corner ends at (400, 0): the top-right quarter.
    commandDrag({200, 150}, {900, -900});

    // None while zoomed or without Command.
    view->setZoomed(true);
    commandDrag({50, 50}, {300, 250});
    EXPECT_FALSE(view->isDraggingZoom());
    view->setZoomed(false);
    view->mouseDownAt({50, 50}, 1, false);
    EXPECT_FALSE(view->isDraggingZoom());
    view->mouseDraggedTo({300, 250});
    view->mouseUpAt({300, 250});
    EXPECT_EQ(view->selectionLayer(), nullptr);

    // Without a panel the zoom is recognised, just reported to nobody.
    CaptureView orphan(QRectF(0, 0, 200, 100), settings);
    orphan.mouseEnteredView();
    orphan.mouseDownAt({10, 10}, 1, true);
    orphan.mouseDraggedTo({150, 90});
    orphan.mouseUpAt({150, 90});
    EXPECT_TRUE(orphan.suppressOverlay());
    expectRects(calls.zooms, {{100.0 / 400, 100.0 / 300, 10.5 / 400, 10.5 / 300},
                              {0, 0.5, 0.5, 0.5},
                              {0.5, 0, 0.5, 0.5}});
    EXPECT_EQ(calls.total(), 3);
}

TEST_F(CaptureViewTest, HoverShowsTheOverlayUnlessCommandIsHeldOrAZoomWasJustCommitted) {
    view->setCommandHeld(true);
    view->mouseEnteredView();
    EXPECT_FALSE(overlayShown());
    view->mouseExitedView();
    EXPECT_EQ(std::pair(calls.entered, calls.exited), std::pair(1, 1));
    view->setCommandHeld(false);
    view->mouseEnteredView();
    ASSERT_TRUE(overlayShown());
    EXPECT_EQ(view->overlayHostingView()->geometry(), view->rect());
    EXPECT_EQ(calls.entered, 2);
    // Command hides it for the zoom drag, releasing brings a fresh one back.
    view->setCommandHeld(true);
    EXPECT_FALSE(overlayShown());
    view->setCommandHeld(false);
    EXPECT_TRUE(overlayShown());
    view->mouseExitedView();
    EXPECT_FALSE(overlayShown());

    // After a committed zoom it stays away until the pointer leaves.
    view->mouseEnteredView();
    view->setCommandHeld(true);
    commandDrag({20, 20}, {220, 170});
    ASSERT_EQ(calls.zooms.size(), 1);
    view->setCommandHeld(false);
    EXPECT_FALSE(overlayShown());
    view->setCommandHeld(true);
    view->setCommandHeld(false);
    view->showOverlay();
    EXPECT_FALSE(overlayShown());
    view->mouseExitedView();
    view->mouseEnteredView();
    EXPECT_TRUE(overlayShown());

    // A too small selection keeps it away only until Command is released.
    view->setCommandHeld(true);
    commandDrag({20, 20}, {25, 25});
    EXPECT_EQ(calls.zooms.size(), 1);
    EXPECT_FALSE(overlayShown());
    view->setCommandHeld(false);
    EXPECT_TRUE(overlayShown());
}

TEST_F(CaptureViewTest, OverlayAndFrameRateMenuShowTheCurrentSettingsAndForwardWhatIsPicked) {
    settings.setModifierRaw("rightOption");
    settings.setFrameRate(24);
    view->mouseEnteredView();
    auto overlay = [&] { return qobject_cast<OverlayView*>(view->overlayHostingView()); };
    ASSERT_NE(overlay(), nullptr);
    EXPECT_EQ(std::tuple(overlay()->content().modifierName, overlay()->content().frameRate,
                         overlay()->content().isZoomed),
              std::tuple(QStringLiteral("⌥ Right Option"), 24, false));
    // A refresh rebuilds the overlay from the values of the moment.
    view->setZoomed(true);
    view->updateOverlay();
    ASSERT_NE(overlay(), nullptr);
    EXPECT_TRUE(overlay()->content().isZoomed);
    QTest::mouseClick(overlay()->closeButton(), Qt::LeftButton);
    overlay()->frameRateMenu()->actions().at(4)->trigger();  // 30 fps
    EXPECT_EQ(std::pair(calls.close, calls.rates), std::pair(1, QList<int>{30}));

    // The menu checks only the current rate, and a pick does not change the rate itself.
    std::unique_ptr<QMenu> menu;
    auto items = [&] {
        menu.reset(view->buildFrameRateMenu());
        QStringList all;
        for (QAction* a : menu->actions())
            all << a->text() + (a->isChecked() ? QStringLiteral(" = %1").arg(a->data().toInt())
                                               : QString());
        return all;
    };
    EXPECT_EQ(items(),
              (QStringList{"1 fps", "5 fps", "10 fps", "24 fps = 24", "30 fps", "60 fps"}));
    settings.setFrameRate(15);
    EXPECT_EQ(items(), (QStringList{"1 fps", "5 fps", "10 fps", "24 fps", "30 fps", "60 fps"}));
    menu->actions().at(0)->trigger();
    EXPECT_EQ(calls.rates, (QList<int>{30, 1}));
    EXPECT_FALSE(menu->actions().at(0)->isChecked());

    // It pops up at the pointer, clamped to the view (a pointer above and left of the view
    // puts it at the view's corner).
    panel->showWithoutActivating();
    const QPoint topLeft = view->mapToGlobal(QPoint(0, 0));
    for (const auto& [pointer, at] :
         {std::pair(QPoint(120, 80), QPoint(120, 80)), std::pair(QPoint(-50, -40), QPoint(0, 0))}) {
        QCursor::setPos(topLeft + pointer);
        view->showFrameRateMenu();
        ASSERT_NE(view->frameRateMenu(), nullptr);
        EXPECT_TRUE(view->frameRateMenu()->isVisible());
        EXPECT_EQ(view->frameRateMenu()->pos(), topLeft + at);
        view->frameRateMenu()->close();
    }
}

TEST_F(CaptureViewTest, QtEventsReachTheGesturesInViewCoordinatesAndPlainPressesMove) {
    // A double-click resets the zoom with Command and is a plain double-click without.
    doubleClick(view, {200, 150}, Qt::MetaModifier);
    EXPECT_EQ(std::pair(calls.resetZoom, calls.doubleClick), std::pair(1, 0));
    EXPECT_TRUE(view->suppressOverlay());
    doubleClick(view, {200, 150});
    EXPECT_EQ(std::pair(calls.resetZoom, calls.doubleClick), std::pair(1, 1));
    EXPECT_FALSE(view->isDraggingZoom());

    press(view, {100, 200}, Qt::MetaModifier);
    drag(view, {300, 50}, Qt::MetaModifier);
    EXPECT_EQ(view->selectionRect(), QRectF(100, 50, 200, 150));
    release(view, {300, 50}, Qt::MetaModifier);
    expectRects(calls.zooms, {{0.25, 50.0 / 300, 0.5, 0.5}});
    EXPECT_EQ(moves(), 0);

    // A plain press moves the panel, only while movable.
    click({200, 150});
    EXPECT_EQ(moves(), 1);
    panel->setMovableByWindowBackground(false);
    click({200, 150});
    EXPECT_EQ(moves(), 1);

    // A Command press never moves, even when movable; an edge press resizes instead.
    panel->setMovableByWindowBackground(true);
    view->setZoomed(true);
    click({200, 150}, Qt::MetaModifier);
    EXPECT_EQ(moves(), 1);
    click({398, 150});
    EXPECT_EQ(moves(), 1);
    EXPECT_EQ(windowSystem.state(panel->windowHandle()).resizes, QList<Qt::Edges>{Qt::RightEdge});
    EXPECT_EQ(calls.total(), 3);
}

TEST_F(CaptureViewTest, FrameIsShownAspectFilledWithoutACopy) {
    // 200 x 100 frame: a green strip in its leftmost 50 columns, blue elsewhere. Filling the
    // 400 x 300 view scales it by 3 and cuts 100 points on each side, so green ends at x = 50.
    const Frame frame = fakes::makeMemoryFrame(
        200, 100, [](int x, int) { return x < 50 ? 0xFF00FF00u : 0xFF0000FFu; });
    view->setContents(frame);
    const QImage shot = view->grab().toImage();
    auto at = [&](int x, int y) { return pixelOf(shot, x, y); };
    EXPECT_EQ((QList{at(40, 150).rgba(), at(60, 150).rgba(), at(395, 295).rgb()}),
              (QList{qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(0, 0, 255)}));
    // Rounded corners: the very corner pixel is not the frame.
    EXPECT_NE(at(0, 0).rgb(), QColor(0, 255, 0).rgb());
}

TEST_F(CaptureViewTest, WithAPictureSurfaceTheOverlaysGoThereOnlyWhenTheyChange) {
    auto surface = std::make_shared<fakes::FakePictureSurface>();
    panel->showWithoutActivating();
    panel->attachPictureSurface(surface);
    // With a compositing manager the surface cuts transparent corners itself.
    EXPECT_EQ(std::tuple(surface->geometry, surface->visible, surface->cornerRadius),
              std::tuple(QRect(0, 0, 400, 300), true, CaptureView::kCornerRadius));
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
    EXPECT_EQ(std::pair(surface->geometry, surface->overlays.last().size()),
              std::pair(QRect(0, 0, 480, 360), QSize(480, 360)));

    view->mouseExitedView();
    QTest::qWait(0);
    EXPECT_TRUE(surface->overlays.last().isNull()) << "the removed overlay stays on the picture";

    // Without one, the panel's shape cuts the corners and a low alpha dims the picture.
    windowSystem.compositor = false;
    PiPPanel plain(QRectF(100, 100, 400, 300), windowSystem, settings);
    auto plainSurface = std::make_shared<fakes::FakePictureSurface>();
    plain.attachPictureSurface(plainSurface);
    EXPECT_EQ(plainSurface->cornerRadius, 0.0);
    plain.setOpacity(0.25);
    EXPECT_DOUBLE_EQ(plainSurface->opacity, 0.25);
    EXPECT_EQ(plain.captureView().graphicsEffect(), nullptr);
}

}  // namespace
}  // namespace mirano
