// Session start and stop, panel placement, output size and the stream's callbacks.
#include "tests/pip/PiPManagerTestSupport.h"

#include <QJsonObject>

namespace mirano::testing {
namespace {

using Lifecycle = PiPManagerFixture;

TEST_F(Lifecycle, PanelIsPlacedInTheConfiguredCorner) {
    settings.setPipWidth(320);
    const struct {
        QString position;
        QRectF frame;
    } rows[] = {
        {"topLeft", QRectF(16, 704, 320, 180)},
        {"topRight", QRectF(1104, 704, 320, 180)},
        {"bottomLeft", QRectF(16, 41, 320, 180)},
        {"bottomRight", QRectF(1104, 41, 320, 180)},
        {"nowhere", QRectF(1104, 41, 320, 180)},
    };
    for (const auto& row : rows) {
        settings.setPipPositionRaw(row.position);
        const auto panel = manager->makePanel(1600, 900);
        EXPECT_EQ(panel->frame(), row.frame) << row.position.toStdString();
        EXPECT_EQ(panel->contentAspectRatio(), QSizeF(1600, 900));
        EXPECT_EQ(panel->contentMinSize(), QSizeF(150, 150));
        EXPECT_FALSE(panel->isOrderedFront()) << "made, not shown";
    }
    // Without a main screen the first screen is used.
    screens.main.reset();
    screens.all = {ScreenInfo{QRectF(0, 0, 800, 600), QRectF(0, 0, 800, 600), 1.0}};
    settings.setPipPositionRaw("bottomLeft");
    EXPECT_EQ(manager->makePanel(1600, 900)->frame(), QRectF(16, 16, 320, 180));
}

TEST_F(Lifecycle, PanelWidthNeedsMoreThanAHundredPoints) {
    const struct {
        int pipWidth;
        double width;
    } rows[] = {{101, 101}, {100, 320}, {0, 320}, {480, 480}};
    for (const auto& row : rows) {
        settings.setPipWidth(row.pipWidth);
        EXPECT_EQ(manager->makePanel(1600, 900)->frame().width(), row.width) << row.pipWidth;
    }
    // A width below one point is divided by one, while the aspect keeps the real width.
    settings.setPipWidth(200);
    const auto narrow = manager->makePanel(0.5, 100);
    EXPECT_EQ(narrow->frame().height(), 100 * 200);
    EXPECT_EQ(narrow->contentAspectRatio(), QSizeF(0.5, 100));
}

TEST_F(Lifecycle, OutputPixelSizeUsesTheMainScreensScale) {
    settings.setPipWidth(320);
    const auto panel = manager->makePanel(1600, 900);
    EXPECT_EQ(manager->outputPixelSize(*panel), std::make_pair(std::int64_t{640}, std::int64_t{360}));
    screens.main->backingScaleFactor = 1.0;
    EXPECT_EQ(manager->outputPixelSize(*panel), std::make_pair(std::int64_t{320}, std::int64_t{180}));
    screens.main.reset();
    EXPECT_EQ(manager->outputPixelSize(*panel), std::make_pair(std::int64_t{640}, std::int64_t{360}));
}

TEST_F(Lifecycle, WholeWindowSessionRunsUntilStopped) {
    SignalCounter published(*manager);
    start();
    EXPECT_EQ(manager->capturedWindowID(), kWindowID);
    EXPECT_EQ(manager->capturedWindowElement(), kElement);
    EXPECT_EQ(manager->capturedAppPID(), kPid);
    EXPECT_EQ(manager->capturedBundleID(), QStringLiteral("org.example.source"));
    EXPECT_EQ(manager->sourceWindowSize(), QSizeF(1000, 800));
    EXPECT_EQ(manager->currentSourceRect(), QRectF(0, 0, 1000, 800));
    ASSERT_NE(manager->pipPanel(), nullptr);
    EXPECT_TRUE(panel().isOrderedFront());
    EXPECT_FALSE(panel().captureView().isZoomed());
    EXPECT_EQ(published["capturedWindowIDChanged"], 1);
    EXPECT_EQ(published["pipPanelChanged"], 1);

    // The stream was started for the whole window.
    ASSERT_NE(stream(), nullptr);
    EXPECT_TRUE(stream()->running);
    EXPECT_EQ(stream()->filter.window.windowID, kWindowID);
    EXPECT_TRUE(stream()->initialConfiguration.sourceRect.isEmpty());
    EXPECT_TRUE(manager->streamManager()->isStreamActive());

    // Frames reach the capture view.
    const Frame frame = fakes::makeMemoryFrame(4, 4, 0xff00ff00);
    stream()->emitFrame(frame);
    scheduler.drain();
    EXPECT_EQ(panel().captureView().contents(), frame);

    QPointer<PiPPanel> shown = manager->pipPanel();
    fakes::FakeCaptureStream* running = stream();
    published.reset();
    manager->stopPiP();
    scheduler.drain();
    flushDeletes();
    EXPECT_TRUE(shown.isNull()) << "the panel is released";
    EXPECT_EQ(manager->pipPanel(), nullptr);
    EXPECT_EQ(manager->streamManager(), nullptr);
    EXPECT_FALSE(running->running) << "the stream is stopped";
    EXPECT_EQ(manager->capturedWindowID(), std::nullopt);
    EXPECT_EQ(manager->capturedBundleID(), std::nullopt);
    EXPECT_EQ(manager->sourceWindowSize(), QSizeF(0, 0));
    EXPECT_EQ(manager->currentSourceRect(), QRectF(0, 0, 0, 0));
    EXPECT_EQ(published["capturedWindowIDChanged"], 1);
    EXPECT_EQ(published["isPiPHiddenChanged"], 0) << "unchanged values publish nothing";

    // Stopping while idle changes and publishes nothing.
    published.reset();
    manager->stopPiP();
    EXPECT_EQ(published.total(), 0);
}

TEST_F(Lifecycle, MissingWindowMeasurementsFallBackEachOnItsOwn) {
    windowList.windows[kWindowID] = std::vector<WindowDescription>{
        WindowDescription{WindowBounds{0, 0, 1200, std::nullopt}}};
    start();
    EXPECT_EQ(manager->sourceWindowSize(), QSizeF(1200, 600));
    manager->stopPiP();
    windowList.windows[kWindowID] = std::vector<WindowDescription>{};
    start();
    EXPECT_EQ(manager->sourceWindowSize(), QSizeF(800, 600));
    manager->stopPiP();
    windowList.windows[kWindowID] = std::vector<WindowDescription>{WindowDescription{}};
    start();
    EXPECT_EQ(manager->sourceWindowSize(), QSizeF(800, 600));
}

TEST_F(Lifecycle, RegionSessionStartsZoomedAtThePanelsPixelSize) {
    settings.setPipWidth(320);
    start(QRectF(0.25, 0.5, 0.5, 0.25));
    EXPECT_EQ(manager->currentSourceRect(), QRectF(250, 400, 500, 200));
    EXPECT_EQ(panel().contentAspectRatio(), QSizeF(500, 200));
    EXPECT_EQ(panel().frame().size(), QSizeF(320, 128));
    EXPECT_TRUE(panel().captureView().isZoomed());
    ASSERT_NE(stream(), nullptr);
    EXPECT_EQ(stream()->initialConfiguration.sourceRect, QRectF(250, 400, 500, 200));
    EXPECT_EQ(stream()->initialConfiguration.width, 640);
    EXPECT_EQ(stream()->initialConfiguration.height, 256);
}

TEST_F(Lifecycle, PerApplicationRatesApplyBeforeTheStreamStarts) {
    settings.setFrameRate(30);
    start();
    EXPECT_EQ(settings.frameRate(), 30) << "no entry: the global rate stays";
    EXPECT_EQ(stream()->initialConfiguration.minimumFrameInterval, (CaptureTime{1, 30}));
    manager->stopPiP();

    const struct {
        int stored;
        int applied;
    } rows[] = {{24, 24}, {0, 1}, {-5, 1}, {120, 60}};
    for (const auto& row : rows) {
        store.setValue(AppSettings::kPerAppFrameRates,
                       QJsonObject{{"org.example.source", row.stored}});
        start();
        EXPECT_EQ(settings.frameRate(), row.applied) << row.stored;
        EXPECT_EQ(stream()->initialConfiguration.minimumFrameInterval,
                  (CaptureTime{1, row.applied}));
        manager->stopPiP();
    }

    // An application without a bundle identifier leaves the rate alone.
    settings.setFrameRate(10);
    workspace.addApplication(kPid, std::nullopt);
    start();
    EXPECT_EQ(manager->capturedBundleID(), std::nullopt);
    EXPECT_EQ(settings.frameRate(), 10);
}

TEST_F(Lifecycle, FailedStartIsLoggedAndEndsOnlyItsOwnSession) {
    capture.windows.clear();
    ::testing::internal::CaptureStdout();
    start();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Failed to start capture: " +
                       CaptureError::windowNotFound().description.toStdString() + "\n");
    EXPECT_EQ(manager->pipPanel(), nullptr);

    // A start that fails after its session was replaced leaves the new session running.
    capture.addWindow(kWindowID, 1000, 800);
    manager->startPiP(kElement, 999, kPid, std::nullopt);  // not a shareable window
    manager->stopPiP();
    manager->startPiP(kElement, kWindowID, kPid, std::nullopt);
    ::testing::internal::CaptureStdout();
    scheduler.drain();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), out);
    EXPECT_NE(manager->pipPanel(), nullptr);
    EXPECT_TRUE(manager->streamManager()->isStreamActive());
}

TEST_F(Lifecycle, StreamStoppingWithAnErrorEndsTheSession) {
    start();
    stream()->emitStop(std::nullopt);
    scheduler.drain();
    EXPECT_NE(manager->pipPanel(), nullptr) << "a stop without error is ignored";
    stream()->emitStop(Error{QStringLiteral("window closed")});
    scheduler.drain();
    EXPECT_EQ(manager->pipPanel(), nullptr);
}

TEST_F(Lifecycle, PanelCallbacksReachTheController) {
    start();
    QPointer<PiPPanel> p = manager->pipPanel();
    ASSERT_TRUE(p->onClose && p->onDoubleClick && p->onMouseEntered && p->onMouseExited &&
                p->onZoom && p->onResetZoom && p->onResize && p->onFrameRateChanged);
    p->onMouseEntered();
    EXPECT_TRUE(manager->isHovering());
    p->onMouseExited();
    EXPECT_FALSE(manager->isHovering());
    p->onResize(QSizeF(250.9, 100));
    EXPECT_EQ(settings.pipWidth(), 250);
    p->onFrameRateChanged(5);
    EXPECT_EQ(settings.frameRate(), 5);
    p->onZoom(QRectF(0, 0, 0.5, 0.5));
    EXPECT_EQ(manager->currentSourceRect(), QRectF(0, 0, 500, 400));
    p->onResetZoom();
    EXPECT_EQ(manager->currentSourceRect(), QRectF(0, 0, 1000, 800));
    p->onClose();
    EXPECT_EQ(manager->pipPanel(), nullptr);
    // A retired panel's callbacks do nothing to the next session.
    start();
    ASSERT_FALSE(p.isNull());
    p->onClose();
    EXPECT_NE(manager->pipPanel(), nullptr);

    // Double-click: the source window comes to the front, then the session ends.
    manager->pipPanel()->onDoubleClick();
    EXPECT_EQ(manager->pipPanel(), nullptr);
    ASSERT_EQ(windowServer.setFronts.size(), 1u);
    EXPECT_EQ(std::get<1>(windowServer.setFronts[0]), kWindowID);
    ASSERT_EQ(accessibility.actions.size(), 1u);
    EXPECT_EQ(accessibility.actions[0], std::make_pair(kElement, kAXRaiseAction));
}

TEST_F(Lifecycle, BringToFrontUsesTheCachedNumberOrStoresTheResolvedOne) {
    manager->bringSourceWindowToFront();
    EXPECT_TRUE(accessibility.actions.empty()) << "no session: nothing";

    start();
    manager->bringSourceWindowToFront();
    EXPECT_EQ(accessibility.windowNumberCalls, 0);

    // A session whose number is unknown (0) resolves it once and caches it.
    manager->stopPiP();
    accessibility.windowNumbers[kElement.handle] = {kAXErrorSuccess, kWindowID};
    setWindow(1000, 800, 0);
    manager->startPiP(kElement, 0, kPid, std::nullopt);
    manager->bringSourceWindowToFront();
    EXPECT_EQ(manager->capturedWindowID(), kWindowID);
    manager->bringSourceWindowToFront();
    EXPECT_EQ(accessibility.windowNumberCalls, 1);
}

}  // namespace
}  // namespace mirano::testing
