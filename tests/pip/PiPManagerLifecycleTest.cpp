// Session start and stop, panel placement, output size, the stream's callbacks, and starting a
// region selection over the focused window.
#include <QJsonObject>
#include <QTest>

#include "region/RegionSelectionPanel.h"
#include "region/RegionSelectionView.h"
#include "tests/pip/PiPManagerTestSupport.h"

namespace mirano::testing {
namespace {

using Lifecycle = PiPManagerFixture;

TEST_F(Lifecycle, PanelGoesToTheConfiguredCornerOfTheMainScreenAtItsPixelRatio) {
    settings.setPipWidth(320);
    settings.setPipPositionRaw("topLeft");
    using Pixels = std::pair<std::int64_t, std::int64_t>;
    const auto panel = manager->makePanel(1600, 900);
    // Below the top bar; made, not shown.
    EXPECT_EQ(std::tuple(panel->frame(), panel->contentAspectRatio(), panel->contentMinSize(),
                         panel->isOrderedFront()),
              std::tuple(QRectF(16, 41, 320, 180), QSizeF(1600, 900), QSizeF(150, 150), false));
    EXPECT_EQ(manager->outputPixelSize(*panel), Pixels(640, 360));
    // Monitors may differ in scale: the ratio is that of the panel's own screen, else the main
    // screen's, else 2.
    const ScreenInfo under{QRectF(0, 0, 800, 600), QRectF(0, 0, 800, 600), 1.0};
    const ScreenInfo beside{QRectF(800, 0, 800, 600), QRectF(800, 0, 800, 600), 2.0};
    const ScreenInfo besideAt1{beside.frame, beside.visibleFrame, 1.0};
    struct Row {
        const char* what;
        std::vector<ScreenInfo> all;
        std::optional<ScreenInfo> main;
        Pixels pixels;
    };
    for (const Row& row :
         {Row{"its own screen, not the main one", {under, beside}, beside, {320, 180}},
          Row{"on no screen: the main one", {besideAt1}, besideAt1, {320, 180}},
          Row{"no screen at all: 2", {}, std::nullopt, {640, 360}}}) {
        screens.all = row.all;
        screens.main = row.main;
        EXPECT_EQ(manager->outputPixelSize(*panel), row.pixels) << row.what;
    }

    // Without a main screen the first screen is used; a huge stored width still fits it.
    screens.main.reset();
    screens.all = {under};
    settings.setPipPositionRaw("bottomRight");
    settings.setPipWidth(100000);
    EXPECT_EQ(manager->makePanel(1600, 900)->frame(), QRectF(16, 152, 768, 432));
}

TEST_F(Lifecycle, WholeWindowSessionRunsUntilStoppedAndARegionOneStartsZoomed) {
    QSignalSpy published(manager.get(), &PiPManager::capturedWindowIDChanged);
    QSignalSpy hover(manager.get(), &PiPManager::hoverStateChanged);
    start();
    EXPECT_EQ(std::tuple(manager->capturedWindowID(), manager->capturedAppPID(),
                         manager->capturedBundleID(), published.count()),
              std::tuple(kWindowID, kPid, QStringLiteral("org.example.source"), 1));
    EXPECT_EQ(std::pair(manager->sourceWindowSize(), manager->currentSourceRect()),
              std::pair(QSizeF(1000, 800), QRectF(0, 0, 1000, 800)));
    ASSERT_NE(manager->pipPanel(), nullptr);
    EXPECT_TRUE(panel().isOrderedFront());

    // The stream was started for the whole window.
    ASSERT_NE(stream(), nullptr);
    EXPECT_EQ(std::tuple(stream()->running, stream()->window.windowID,
                         stream()->initialConfiguration.sourceRect.isEmpty()),
              std::tuple(true, kWindowID, true));

    // Frames reach the capture view.
    const Frame frame = fakes::makeMemoryFrame(4, 4, 0xff00ff00);
    stream()->emitFrame(frame);
    scheduler.drain();
    EXPECT_EQ(panel().captureView().contents(), frame);

    QPointer<PiPPanel> shown = manager->pipPanel();
    fakes::FakeCaptureStream* running = stream();
    published.clear();
    manager->stopPiP();
    scheduler.drain();
    flushDeletes();
    EXPECT_TRUE(shown.isNull()) << "the panel is released";
    EXPECT_EQ(manager->streamManager(), nullptr);
    EXPECT_FALSE(running->running) << "the stream is stopped";
    EXPECT_EQ(
        std::tuple(manager->capturedWindowID(), manager->capturedBundleID(), published.count()),
        std::tuple(std::nullopt, std::nullopt, 1));
    EXPECT_EQ(std::pair(manager->sourceWindowSize(), manager->currentSourceRect()),
              std::pair(QSizeF(0, 0), QRectF(0, 0, 0, 0)));

    // Stopping while idle changes and publishes nothing.
    published.clear();
    hover.clear();
    manager->stopPiP();
    EXPECT_EQ(published.count() + hover.count(), 0);

    // A region session starts zoomed, at the panel's pixel size.
    settings.setPipWidth(320);
    start(QRectF(0.25, 0.5, 0.5, 0.25));
    EXPECT_EQ(std::tuple(manager->currentSourceRect(), panel().contentAspectRatio(),
                         panel().frame().size(), panel().captureView().isZoomed()),
              std::tuple(QRectF(250, 400, 500, 200), QSizeF(500, 200), QSizeF(320, 128), true));
    ASSERT_NE(stream(), nullptr);
    const StreamConfiguration& initial = stream()->initialConfiguration;
    EXPECT_EQ(std::tuple(initial.sourceRect, initial.width, initial.height),
              std::tuple(QRectF(250, 400, 500, 200), 640, 256));
}

TEST_F(Lifecycle, PerApplicationRatesApplyBeforeTheStreamStarts) {
    settings.setFrameRate(30);
    // Stored rate, applied rate (no entry: the global rate stays).
    const std::pair<std::optional<int>, int> rows[] = {
        {std::nullopt, 30}, {24, 24}, {0, 1}, {-5, 1}, {120, 60}};
    for (const auto& [stored, applied] : rows) {
        if (stored)
            store.setValue(AppSettings::kPerAppFrameRates,
                           QJsonObject{{"org.example.source", *stored}});
        start();
        EXPECT_EQ(
            std::pair(settings.frameRate(), stream()->initialConfiguration.minimumFrameInterval),
            std::pair(applied, 1.0 / applied))
            << stored.value_or(-1000);
        manager->stopPiP();
    }

    // A window without an application name leaves the rate alone; one that cannot be
    // measured counts as 800 x 600.
    settings.setFrameRate(10);
    windows.windows[kWindowID].application.applicationID.reset();
    windows.windows[kWindowID].frame = QRectF();
    start();
    EXPECT_EQ(
        std::tuple(manager->capturedBundleID(), settings.frameRate(), manager->sourceWindowSize()),
        std::tuple(std::nullopt, 10, QSizeF(800, 600)));
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
    manager->startPiP(SourceWindow{999, AppIdentity{kPid}}, std::nullopt);  // not shareable
    manager->stopPiP();
    manager->startPiP(*windows.focusedWindowFor(kWindowID), std::nullopt);
    ::testing::internal::CaptureStdout();
    scheduler.drain();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), out);
    ASSERT_NE(manager->pipPanel(), nullptr);
    EXPECT_TRUE(manager->streamManager()->isStreamActive());

    // The stream stopping ends the session only with an error.
    stream()->emitStop(std::nullopt);
    scheduler.drain();
    EXPECT_NE(manager->pipPanel(), nullptr);
    stream()->emitStop(Error{QStringLiteral("window closed")});
    scheduler.drain();
    EXPECT_EQ(manager->pipPanel(), nullptr);
}

TEST_F(Lifecycle, PanelCallbacksReachTheController) {
    start();
    QPointer<PiPPanel> p = manager->pipPanel();
    p->onMouseEntered();
    EXPECT_TRUE(manager->isHovering());
    p->onMouseExited();
    p->onFrameRateChanged(5);
    EXPECT_EQ(std::pair(manager->isHovering(), settings.frameRate()), std::pair(false, 5));
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

    // Double-click: that very window comes to the front (restored first when minimised),
    // then the session ends.
    windows.windows[kWindowID].minimized = true;
    windows.focused = kOtherWindowID;
    manager->pipPanel()->onDoubleClick();
    EXPECT_EQ(manager->pipPanel(), nullptr);
    EXPECT_EQ(windows.requests, (QStringList{QStringLiteral("unminimize %1").arg(kWindowID),
                                             QStringLiteral("activate %1").arg(kWindowID)}));
}

class Region : public PiPManagerFixture {
protected:
    Region() { windows.focused = kWindowID; }
};

TEST_F(Region, EscapeLeavesNothingSelectingStartsAPiPAndOverTheMirroredWindowItOnlyCloses) {
    manager->beginRegionSelection();
    QPointer<RegionSelectionPanel> escaped = manager->regionSelectionPanel();
    ASSERT_FALSE(escaped.isNull());
    QTest::keyClick(static_cast<QWidget*>(&escaped->view()), Qt::Key_Escape);
    flushDeletes();
    EXPECT_TRUE(escaped.isNull());
    EXPECT_EQ(std::pair(manager->regionSelectionPanel(), manager->pipPanel()),
              (std::pair<RegionSelectionPanel*, PiPPanel*>(nullptr, nullptr)));

    manager->beginRegionSelection();
    RegionSelectionPanel* selection = manager->regionSelectionPanel();
    ASSERT_NE(selection, nullptr);
    EXPECT_EQ(selection->frame(), QRectF(100, 50, 1000, 800)) << "exactly over the window";
    selection->onRegionSelected(QRectF(0.5, 0, 0.5, 1));
    scheduler.drain();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    ASSERT_NE(manager->pipPanel(), nullptr);
    EXPECT_EQ(stream()->initialConfiguration.sourceRect, QRectF(500, 0, 500, 800));

    // Over another window than the mirrored one it closes the PiP and selects.
    capture.addWindow(kOtherWindowID, 640, 480);
    manager->startPiP(*windows.focusedWindowFor(kOtherWindowID), std::nullopt);
    scheduler.drain();
    manager->beginRegionSelection();
    EXPECT_EQ(manager->pipPanel(), nullptr);
    ASSERT_NE(manager->regionSelectionPanel(), nullptr);

    // Stopping while selecting orders the selection out.
    QPointer<RegionSelectionPanel> stopped = manager->regionSelectionPanel();
    manager->stopPiP();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    EXPECT_FALSE(stopped->isVisible());

    start();
    manager->beginRegionSelection();
    EXPECT_EQ(std::pair(manager->regionSelectionPanel(), manager->pipPanel()),
              (std::pair<RegionSelectionPanel*, PiPPanel*>(nullptr, nullptr)));
}

TEST_F(Region, NothingToSelectOnWithoutPermissionAFocusedWindowOrItsFrame) {
    auto selects = [&] {
        manager->beginRegionSelection();
        return manager->regionSelectionPanel() != nullptr;
    };
    permissions.captureAllowed = false;
    EXPECT_FALSE(selects());
    EXPECT_EQ(permissions.captureRequests, 1);
    permissions.captureAllowed = true;
    windows.focused = 0;
    EXPECT_FALSE(selects());
    windows.focused = kWindowID;
    // A window whose place the desktop does not tell (Wayland); its PiP stays.
    start();
    windows.windows[kWindowID].frame = QRectF();
    EXPECT_FALSE(selects());
    EXPECT_NE(manager->pipPanel(), nullptr);
    windows.windows.erase(kWindowID);
    EXPECT_FALSE(selects());
}

}  // namespace
}  // namespace mirano::testing
