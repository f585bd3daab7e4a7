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

// Where a panel goes and how large it is, is checked in PiPGeometryTest; here, on which screen
// and at which pixel ratio.
TEST_F(Lifecycle, PanelGoesToTheMainScreenOrElseTheFirstAtItsPixelRatio) {
    settings.setPipWidth(320);
    settings.setPipPositionRaw("topLeft");
    setWindow(1600, 900);
    // A region stream is made at the panel's pixel size.
    const auto regionPixels = [this] {
        manager->stopPiP();
        start(QRectF(0, 0, 1, 1));
        return std::pair(stream()->initialConfiguration.width,
                         stream()->initialConfiguration.height);
    };
    using Pixels = std::pair<std::int64_t, std::int64_t>;
    screens.setSingle(QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875), 1.0);
    EXPECT_EQ(regionPixels(), Pixels(320, 180));
    EXPECT_EQ(std::tuple(panel().frame(), panel().contentAspectRatio(), panel().contentMinSize()),
              std::tuple(QRectF(16, 41, 320, 180), QSizeF(1600, 900), QSizeF(150, 150)));

    screens.main.reset();
    screens.all = {ScreenInfo{QRectF(0, 0, 800, 600), QRectF(200, 0, 600, 600), 3.0}};
    EXPECT_EQ(regionPixels(), Pixels(960, 540)) << "no main screen: the panel's own";
    EXPECT_EQ(panel().frame().topLeft(), QPointF(216, 16));

    // Monitors may differ in scale: a panel dragged onto a screen of ratio 1, beside a main
    // screen of ratio 2, is captured at ratio 1 once its resize settles.
    const ScreenInfo main{QRectF(0, 0, 800, 600), QRectF(0, 0, 800, 600), 2.0};
    const ScreenInfo beside{QRectF(800, 0, 800, 600), QRectF(800, 0, 800, 600), 1.0};
    screens.all = {main, beside};
    screens.main = main;
    manager->stopPiP();
    start();
    panel().setFrame(QRectF(900, 100, 320, 180), false, false);
    emit panel().resized(QSizeF(320, 180));
    scheduler.advance(2);
    scheduler.drain();
    EXPECT_EQ(Pixels(stream()->initialConfiguration.width, stream()->initialConfiguration.height),
              Pixels(320, 180));
}

TEST_F(Lifecycle, WholeWindowSessionRunsUntilStoppedAndARegionOneStartsZoomed) {
    QSignalSpy published(manager.get(), &PiPManager::capturedWindowIDChanged);
    QSignalSpy hover(manager.get(), &PiPManager::hoverStateChanged);
    start();
    EXPECT_EQ(std::tuple(manager->capturedWindowID(), manager->capturedApp(), published.count()),
              std::tuple(kWindowID, windows.windows[kWindowID].application, 1));
    StreamManager* requests = manager->streamManager();
    EXPECT_EQ(std::pair(requests->sourceWindowSize(), requests->currentSourceRect()),
              std::pair(QSizeF(1000, 800), QRectF(0, 0, 1000, 800)));
    ASSERT_NE(manager->pipPanel(), nullptr);
    EXPECT_TRUE(panel().isVisible());

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
    EXPECT_EQ(std::tuple(manager->capturedWindowID(), manager->capturedApp(), published.count()),
              std::tuple(std::nullopt, std::nullopt, 1));

    // Stopping while idle changes and publishes nothing.
    published.clear();
    hover.clear();
    manager->stopPiP();
    EXPECT_EQ(published.count() + hover.count(), 0);

    // A session stopped before its stream started leaves no stream running.
    manager->startPiP(*windows.focusedWindowFor(kWindowID), std::nullopt);
    manager->stopPiP();
    scheduler.drain();
    EXPECT_FALSE(stream()->running);

    // A region session starts zoomed, at the panel's pixel size.
    settings.setPipWidth(320);
    start(QRectF(0.25, 0.5, 0.5, 0.25));
    EXPECT_EQ(
        std::tuple(manager->streamManager()->currentSourceRect(), panel().contentAspectRatio(),
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

    // A window without an application id leaves the rate alone; one that cannot be
    // measured counts as 800 x 600.
    settings.setFrameRate(10);
    windows.windows[kWindowID].application.applicationID.reset();
    windows.windows[kWindowID].frame = QRectF();
    start();
    EXPECT_EQ(std::pair(settings.frameRate(), panel().contentAspectRatio()),
              std::pair(10, QSizeF(800, 600)));
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
    EXPECT_TRUE(streaming());

    // The stream stopping ends the session only with an error.
    stream()->emitStop(std::nullopt);
    scheduler.drain();
    EXPECT_NE(manager->pipPanel(), nullptr);
    stream()->emitStop(Error{QStringLiteral("window closed")});
    scheduler.drain();
    EXPECT_EQ(manager->pipPanel(), nullptr);
}

// (The hover, zoom and frame-rate signals are followed in the tracking and zoom tests.)
TEST_F(Lifecycle, CloseAndDoubleClickEndTheSessionOfTheirOwnPanelOnly) {
    start();
    QPointer<PiPPanel> p = manager->pipPanel();
    emit p->closeRequested();
    EXPECT_EQ(manager->pipPanel(), nullptr);
    // A retired panel's signals do nothing to the next session.
    start();
    ASSERT_FALSE(p.isNull());
    emit p->closeRequested();
    EXPECT_NE(manager->pipPanel(), nullptr);

    // Double-click: that very window comes to the front (restored first when minimised),
    // then the session ends.
    windows.windows[kWindowID].minimized = true;
    windows.focused = kOtherWindowID;
    emit panel().doubleClicked();
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
    emit selection->regionSelected(QRectF(0.5, 0, 0.5, 1));
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
    windows.windows.erase(kWindowID);
    EXPECT_FALSE(selects());
}

// Where the desktop does not tell where a window is (Wayland), the selection is made on the
// stream's first frame, shown in the middle of the screen at the window's size in points: the
// source's, or else the frame's pixels at the screen's ratio (2).
TEST_F(Region, WithoutTheWindowsPlaceItIsSelectedOnAStillWhoseStreamThePiPKeeps) {
    struct Case {
        QSizeF reported;
        QRectF shown;
        QRectF sourceRect;
    };
    capture.resumableStreams = true;
    setWindow(0, 0);
    for (const Case& c : {Case{{1000, 750}, {220, 88, 1000, 750}, {500, 0, 500, 750}},
                          Case{{}, {520, 313, 400, 300}, {400, 0, 400, 600}}}) {
        SCOPED_TRACE(c.reported.width());
        manager->beginRegionSelection();
        scheduler.drain();
        ASSERT_NE(stream(), nullptr);
        EXPECT_EQ(manager->regionSelectionPanel(), nullptr) << "nothing to show before a frame";
        stream()->reportedWindowSize = c.reported;
        stream()->emitFrame(fakes::makeMemoryFrame(800, 600, 0xff336699));
        scheduler.drain();
        RegionSelectionPanel* selection = manager->regionSelectionPanel();
        ASSERT_NE(selection, nullptr);
        EXPECT_EQ(selection->frame(), c.shown);
        EXPECT_EQ(selection->view().backdrop().toImage().pixelColor(10, 10), QColor(0x336699));
        EXPECT_FALSE(stream()->running) << "the still stays still";

        const int made = streamsMade();
        emit selection->regionSelected(QRectF(0.5, 0, 0.5, 1));
        scheduler.drain();
        EXPECT_EQ(streamsMade(), made) << "the PiP asks for no second stream";
        ASSERT_NE(manager->pipPanel(), nullptr);
        EXPECT_EQ(stream()->configuration.sourceRect, c.sourceRect);
        EXPECT_TRUE(stream()->running);
        manager->stopPiP();
    }

    // A stream that ends while the user selects ends the selection; one refused ends it before.
    manager->beginRegionSelection();
    scheduler.drain();
    stream()->emitFrame(fakes::makeMemoryFrame(800, 600));
    scheduler.drain();
    ASSERT_NE(manager->regionSelectionPanel(), nullptr);
    stream()->emitStop(Error{QStringLiteral("gone")});
    scheduler.drain();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    capture.startError = Error{QStringLiteral("refused")};
    ::testing::internal::CaptureStdout();
    manager->beginRegionSelection();
    scheduler.drain();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Failed to start capture: refused\n");
    stream()->emitFrame(fakes::makeMemoryFrame(800, 600));
    scheduler.drain();
    EXPECT_EQ(std::pair(manager->regionSelectionPanel(), manager->pipPanel()),
              (std::pair<RegionSelectionPanel*, PiPPanel*>(nullptr, nullptr)));
}

}  // namespace
}  // namespace mirano::testing
