// Zoom geometry, panel resizes, frame-rate picks and the frame-rate menu.
#include "tests/pip/PiPManagerTestSupport.h"

namespace mirano::testing {
namespace {

using Zoom = PiPManagerFixture;

// The zoom and selection arithmetic is checked in PiPGeometryTest; here, that the controller
// anchors it at the pointer and hands the result to the view, the panel and the stream.
TEST_F(Zoom, ZoomAnchorsAtThePointerAndReachesTheViewThePanelAndTheStream) {
    const auto rect = [this] { return manager->streamManager()->currentSourceRect(); };
    auto lastUpdateRect = [this] {
        scheduler.drain();
        return stream()->updates.empty() ? QRectF() : stream()->updates.back().sourceRect;
    };
    // A window of 1000 x 500 with the pointer at the centre of a visible panel.
    settings.setAutoHideOnHover(false);
    setWindow(1000, 500);
    start();
    hover();
    ASSERT_TRUE(manager->isHoveringVisiblePiP());
    manager->zoomBy(0.85);
    const QRectF r = rect();
    EXPECT_LT(std::abs(r.width() - 850) + (r.center() - QPointF(500, 250)).manhattanLength(), 1e-9);
    EXPECT_TRUE(panel().captureView().isZoomed());
    EXPECT_EQ(lastUpdateRect(), r);
    EXPECT_EQ(stream()->updates.back().width, std::int64_t(2 * panel().frame().width()));

    // Zooming out again ends within half a point of the whole window: a reset.
    manager->zoomBy(1 / 0.85);
    EXPECT_EQ(rect(), QRectF(0, 0, 1000, 500));
    EXPECT_FALSE(panel().captureView().isZoomed());
    EXPECT_EQ(panel().contentAspectRatio(), QSizeF(1000, 500));

    // Selections reshape the panel unless their aspect is extreme.
    emit panel().zoomRequested(QRectF(0.1, 0.2, 0.4, 0.4));
    EXPECT_EQ(rect(), QRectF(100, 100, 400, 200));
    EXPECT_EQ(panel().contentAspectRatio(), QSizeF(400, 200));
    emit panel().zoomResetRequested();
    const QRectF before = panel().frame();
    emit panel().zoomRequested(QRectF(0, 0, 0.04, 0.6));  // 40 x 300 points: aspect 7.5
    EXPECT_EQ(panel().frame(), before);
    EXPECT_EQ(panel().contentAspectRatio(), QSizeF(1000, 500));
    EXPECT_EQ(lastUpdateRect(), QRectF(0, 0, 40, 300));
    emit panel().zoomResetRequested();

    // No zoom unless the pointer is over the visible panel.
    screens.pointer = QPointF(-500, -500);
    manager->zoomBy(0.85);
    EXPECT_EQ(rect(), QRectF(0, 0, 1000, 500));
    hover();
    leave();
    manager->zoomBy(0.85);
    EXPECT_EQ(rect(), QRectF(0, 0, 1000, 500));
    // Nor does the frame-rate menu open.
    manager->openFrameRateMenu();
    EXPECT_EQ(application.activations, 0);
    hover();
    manager->openFrameRateMenu();
    EXPECT_EQ(application.activations, 1);
    EXPECT_EQ(panelSystem.state(panel().windowHandle()).activations, 1) << "the panel is made key";
}

TEST_F(Zoom, ResizesAndFrameRatePicksRestartOnceTheyHaveSettled) {
    start();
    panel().setFrame(QRectF(100, 100, 99, 50));
    panel().setFrame(QRectF(100, 100, 250, 50));
    EXPECT_EQ(store.writes.count("pipWidth"), 0) << "nothing written during the drag";
    manager->stopPiP();
    EXPECT_EQ(settings.pipWidth(), 250) << "a drag cut short by a close is kept";

    start();
    int made = streamsMade();
    panel().setFrame(QRectF(100, 100, 400, 320));
    scheduler.advance(0.5);
    panel().setFrame(QRectF(100, 100, 480, 384));
    scheduler.advance(0.9);
    EXPECT_EQ(streamsMade(), made);
    scheduler.advance(0.2);
    scheduler.advance(0.1);
    EXPECT_EQ(scheduler.pendingTimers(), 0);
    // One restart for the burst.
    EXPECT_EQ(std::tuple(streamsMade(), stream()->initialConfiguration.width,
                         stream()->initialConfiguration.height, settings.pipWidth()),
              std::tuple(made + 1, 960l, 768l, 480));

    // Resized while paused: the resumed stream has the new size.
    manager->streamManager()->pause();
    scheduler.drain();
    panel().setFrame(QRectF(100, 100, 200, 160));
    scheduler.advance(1.1);
    EXPECT_EQ(streamsMade(), made + 1);
    manager->streamManager()->resume();
    scheduler.drain();
    EXPECT_EQ(std::pair(stream()->initialConfiguration.width, settings.pipWidth()),
              std::pair(400l, 200));

    // Frame-rate picks are debounced to one restart.
    made = streamsMade();
    emit panel().frameRateChosen(30);
    scheduler.advance(0.3);
    emit panel().frameRateChosen(60);
    scheduler.advance(0.4);
    EXPECT_EQ(streamsMade(), made);
    scheduler.advance(0.2);
    EXPECT_EQ(std::tuple(streamsMade(), stream()->initialConfiguration.minimumFrameInterval,
                         settings.perAppFrameRates().value("org.example.source"),
                         scheduler.pendingTimers()),
              std::tuple(made + 1, 1.0 / 60, 60, 0));

    // A pick for an application without an application id changes only the global rate,
    // and a rate out of range is clamped.
    manager->stopPiP();
    windows.windows[kWindowID].application.applicationID.reset();
    start();
    emit panel().frameRateChosen(0);
    EXPECT_EQ(std::pair(settings.frameRate(), settings.perAppFrameRates().size()),
              std::pair(1, qsizetype(1)));

    // A restart that fails is logged and leaves the panel.
    capture.windows.clear();
    emit panel().frameRateChosen(24);
    ::testing::internal::CaptureStdout();
    scheduler.advance(1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Failed to restart stream after frame rate change: " +
                  CaptureError::windowNotFound().description.toStdString() + "\n");
    EXPECT_NE(manager->pipPanel(), nullptr);

    // A pick while the stream is stopped schedules nothing.
    manager->streamManager()->stopCapture([](auto) {});
    scheduler.drain();
    emit panel().frameRateChosen(24);
    EXPECT_EQ(scheduler.pendingTimers(), 0);
}

}  // namespace
}  // namespace mirano::testing
