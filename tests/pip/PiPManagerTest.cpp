// A PiP controller on fakes (a manual scheduler, scripted windows and screens, real panels on
// the offscreen platform): session start and stop, panel placement, output size, the stream's
// callbacks, starting a region selection over the focused window; that the visibility
// transitions reach the panel, the stream, the overlay and the timers (the transitions themselves
// are rows in PiPLogicTest); zoom geometry, panel resizes and frame-rate picks.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <tuple>

#include "capture/StreamManager.h"
#include "pip/PiPManager.h"
#include "pip/PiPServices.h"
#include "region/RegionSelectionPanel.h"
#include "region/RegionSelectionView.h"
#include "settings/AppSettings.h"
#include "tests/fakes/FakeApplication.h"
#include "tests/fakes/FakeCaptureService.h"
#include "tests/fakes/FakePanelWindowSystem.h"
#include "tests/fakes/FakePermissions.h"
#include "tests/fakes/FakeScreens.h"
#include "tests/fakes/FakeWindows.h"
#include "tests/fakes/ManualScheduler.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "window/CaptureView.h"
#include "window/PausedOverlayView.h"
#include "window/PiPPanel.h"

namespace mirano::testing {
namespace {

constexpr ProcessID kPid = 500;
constexpr WindowNumber kWindowID = 0x3200007;
constexpr ProcessID kOtherPid = 600;
constexpr WindowNumber kOtherWindowID = 0x5400001;

/// A controller on fakes, with the mirrored window (kWindowID of kPid, 1000 x 800 at
/// (100, 50)), a window of another application (kOtherWindowID of kOtherPid) and one
/// 1440 x 900 screen of ratio 2 whose visible frame is (0, 25, 1440, 875).
class PiPManagerTest : public ::testing::Test {
protected:
    PiPManagerTest() {
        screens.setSingle(QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875), 2.0);
        windows.addWindow(kWindowID, {}, kPid, QStringLiteral("org.example.source"));
        setWindow(1000, 800);
        windows.addWindow(kOtherWindowID, QRectF(0, 0, 640, 480), kOtherPid,
                          QStringLiteral("org.example.other"));
    }
    ~PiPManagerTest() override {
        manager.reset();
        flushDeletes();
    }

    /// The scripted window's size, as measured and among the shareable windows.
    void setWindow(double width, double height, WindowNumber id = kWindowID) {
        if (!windows.windows.count(id)) windows.addWindow(id, {}, kPid);
        windows.windows[id].frame = QRectF(100, 50, width, height);
        std::erase_if(capture.windows,
                      [id](const CapturableWindow& w) { return w.windowID == id; });
        capture.addWindow(id, width, height);
    }
    /// Starts a session on the scripted window and lets the stream start.
    void start(std::optional<QRectF> region = std::nullopt) {
        manager->startPiP(*windows.focusedWindowFor(kWindowID), region);
        scheduler.drain();
    }
    PiPPanel& panel() { return *manager->pipPanel(); }
    fakes::FakeCaptureStream* stream() { return capture.lastStream(); }
    /// Whether the session's stream runs.
    bool streaming() const { return manager->streamManager()->isStreamActive(); }
    /// Streams made so far (each start or restart makes one).
    int streamsMade() const { return int(capture.streams.size()); }
    static void flushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    /// A window of another application (or the source window) gets the focus.
    void activate(WindowNumber window) {
        windows.focusFromOutside(window);
        scheduler.drain();
    }
    void tap() {
        manager->handleModifierTap();
        scheduler.drain();
    }
    /// The panel's opacity, whether clicks pass through it and whether the stream runs.
    void expectPanel(double opacity, bool passThrough, bool running) {
        EXPECT_EQ(std::tuple(panel().opacity(), panel().ignoresMouseEvents(), streaming()),
                  std::tuple(opacity, passThrough, running));
    }
    /// Moves the pointer over the panel and reports the hover.
    void hover() {
        screens.pointer = panel().frame().center();
        emit panel().mouseEntered();
    }
    void leave() { emit panel().mouseExited(); }

    fakes::MemoryDefaultsStore store;
    AppSettings settings{store};
    fakes::ManualScheduler scheduler;
    fakes::FakeCaptureService capture{scheduler};
    fakes::FakePanelWindowSystem panelSystem;
    fakes::FakeWindows windows;
    fakes::FakeScreens screens;
    fakes::FakePermissions permissions;
    fakes::FakeApplication application;
    std::unique_ptr<PiPManager> manager = std::make_unique<PiPManager>(PiPServices{
        scheduler, settings, capture, panelSystem, windows, screens, permissions, application});
};

// Where a panel goes and how large it is, is checked in PiPLogicTest; here, on which screen
// and at which pixel ratio.
TEST_F(PiPManagerTest, PanelGoesToTheMainScreenOrElseTheFirstAtItsPixelRatio) {
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

TEST_F(PiPManagerTest, WholeWindowSessionRunsUntilStoppedAndARegionOneStartsZoomed) {
    QSignalSpy published(manager.get(), &PiPManager::capturedWindowIDChanged);
    QSignalSpy hover(manager.get(), &PiPManager::hoverStateChanged);
    start();
    EXPECT_EQ(std::tuple(manager->capturedWindowID(), manager->capturedApp(), published.count()),
              std::tuple(kWindowID, windows.windows[kWindowID].application, 1));
    // (The measured window size handed to the stream: the zoom test's whole-window rectangle.)
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
    // (Its stream at the panel's pixel size:
    // PanelGoesToTheMainScreenOrElseTheFirstAtItsPixelRatio.)
}

TEST_F(PiPManagerTest, PerApplicationRatesApplyBeforeTheStreamStarts) {
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

TEST_F(PiPManagerTest, FailedStartIsLoggedAndEndsOnlyItsOwnSession) {
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

TEST_F(PiPManagerTest, CloseAndDoubleClickEndTheSessionOfTheirOwnPanelOnly) {
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

TEST_F(PiPManagerTest, RegionEscapeLeavesNothingSelectingStartsAPiPOverTheMirroredOneOnlyCloses) {
    windows.focused = kWindowID;
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

TEST_F(PiPManagerTest, NoRegionToSelectOnWithoutPermissionAFocusedWindowOrItsFrame) {
    windows.focused = kWindowID;
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
TEST_F(PiPManagerTest, WithoutTheWindowsPlaceARegionIsSelectedOnAStillWhoseStreamThePiPKeeps) {
    windows.focused = kWindowID;
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

// Where the desktop does not tell a window's size (Wayland), the PiP opens at 4:3 and takes the
// window's shape, in its corner, once the stream knows it: the source's size from the start, or
// else the first frame's pixels. The stream's output size follows once; later frames change
// nothing.
TEST_F(PiPManagerTest, AWindowOfUnknownSizeTakesItsShapeOnceTheStreamKnowsIt) {
    settings.setPipWidth(320);
    settings.setPipPositionRaw("bottomRight");
    setWindow(0, 0);
    const auto frame = [this](int width, int height) {
        stream()->emitFrame(fakes::makeMemoryFrame(width, height));
        scheduler.drain();
    };
    for (const QSizeF reported : {QSizeF(1280, 720), QSizeF()}) {
        SCOPED_TRACE(reported.width());
        capture.reportedWindowSize = reported;
        start();
        const QSizeF window = reported.isEmpty() ? QSizeF(1600, 900) : reported;
        if (reported.isEmpty()) {
            EXPECT_EQ(panel().frame(), QRectF(1104, 644, 320, 240)) << "4:3 until a frame";
            frame(1600, 900);
        }
        const StreamManager& session = *manager->streamManager();
        EXPECT_EQ(std::tuple(panel().frame(), panel().contentAspectRatio(),
                             session.sourceWindowSize(), session.currentSourceRect()),
                  std::tuple(QRectF(1104, 704, 320, 180), window, window, QRectF({}, window)));
        ASSERT_EQ(stream()->updates.size(), 1u);
        EXPECT_EQ(std::tuple(stream()->updates[0].width, stream()->updates[0].height,
                             stream()->updates[0].sourceRect),
                  std::tuple(640l, 360l, QRectF()));

        const int made = streamsMade();
        frame(800, 800);
        scheduler.advance(2);
        EXPECT_EQ(std::tuple(panel().frame(), stream()->updates.size(), streamsMade()),
                  std::tuple(QRectF(1104, 704, 320, 180), 1u, made));
        manager->stopPiP();
    }

    // A width the user gave the panel meanwhile stays.
    start();
    panel().setFrame(QRectF(600, 300, 400, 300));
    frame(1600, 900);
    EXPECT_EQ(panel().frame(), QRectF(1024, 659, 400, 225));
}

TEST_F(PiPManagerTest, ActivationsPauseOrClose) {
    settings.setFocusBehaviorRaw("pauseRecording");
    start();
    CaptureView& view = panel().captureView();
    activate(kWindowID);
    activate(kWindowID);
    const auto overlays = view.findChildren<PausedOverlayView*>().size();
    EXPECT_EQ(std::tuple(overlays, view.isPaused(), stream()->stopCalls, streaming()),
              std::tuple(1, true, 1, false));

    const int made = streamsMade();
    activate(kOtherWindowID);
    flushDeletes();
    EXPECT_EQ(std::tuple(view.pausedOverlayView(), streamsMade(), streaming()),
              std::tuple(nullptr, made + 1, true))
        << "unpaused and resumed once";

    settings.setFocusBehaviorRaw("stopAndClose");
    activate(kOtherWindowID);
    EXPECT_NE(manager->pipPanel(), nullptr);
    activate(kWindowID);
    EXPECT_EQ(manager->pipPanel(), nullptr);
}

TEST_F(PiPManagerTest, FullScreenWithdrawsThePanelFromTheStartOfASession) {
    windows.focused = kWindowID;
    windows.windows[kWindowID].fullScreen = true;
    start();
    EXPECT_EQ(std::pair(panel().isVisible(), streaming()), std::pair(false, false));
    activate(kOtherWindowID);
    EXPECT_EQ(std::tuple(panel().isVisible(), panel().opacity(), streaming()),
              std::tuple(true, 1.0, true));
    // The focused window goes full screen.
    windows.windows[kOtherWindowID].fullScreen = true;
    emit windows.fullScreenOrDesktopChanged();
    scheduler.drain();
    EXPECT_EQ(std::pair(panel().isVisible(), streaming()), std::pair(false, false));
}

TEST_F(PiPManagerTest, HoverAndTapsReachThePanelTheStreamAndTheAutoClose) {
    settings.setAutoHideOnHover(true);
    start();
    QSignalSpy hoverState(manager.get(), &PiPManager::hoverStateChanged);
    hover();
    scheduler.drain();
    expectPanel(0.1, true, false);
    EXPECT_FALSE(manager->isHoveringVisiblePiP()) << "not at 0.1";
    tap();
    expectPanel(1.0, false, true);
    EXPECT_EQ(std::pair(manager->isHoveringVisiblePiP(), hoverState.count()), std::pair(true, 2ll))
        << "entered and faded, shown again";

    // Hidden by a tap, the PiP closes a minute later unless shown again. (What hiding and showing
    // do to the panel and the stream are rows in PiPLogicTest, carried out as above.)
    settings.setAutoHideOnHover(false);
    tap();
    tap();
    scheduler.advance(61);
    EXPECT_NE(manager->pipPanel(), nullptr);
    tap();
    scheduler.advance(59.9);
    EXPECT_NE(manager->pipPanel(), nullptr);
    scheduler.advance(0.2);
    EXPECT_EQ(std::pair(manager->pipPanel(), scheduler.pendingTimers()),
              (std::pair<PiPPanel*, int>(nullptr, 0)));
}

TEST_F(PiPManagerTest, CommandHeldOverThePanelLeavesTheDragToTheZoom) {
    manager->setCommandHeld(true);  // no session: nothing
    start();
    manager->setCommandHeld(true);
    // The pointer is elsewhere.
    EXPECT_EQ(
        std::pair(panel().isMovableByWindowBackground(), panel().captureView().isCommandHeld()),
        std::pair(true, true));
    hover();
    manager->setCommandHeld(true);
    EXPECT_FALSE(panel().isMovableByWindowBackground());
    manager->setCommandHeld(false);
    EXPECT_EQ(
        std::pair(panel().isMovableByWindowBackground(), panel().captureView().isCommandHeld()),
        std::pair(true, false));
    manager->setCommandHeld(true);
    leave();
    EXPECT_TRUE(panel().isMovableByWindowBackground());
}

// The zoom and selection arithmetic is checked in PiPLogicTest; here, that the controller
// anchors it at the pointer and hands the result to the view, the panel and the stream.
TEST_F(PiPManagerTest, ZoomAnchorsAtThePointerAndReachesTheViewThePanelAndTheStream) {
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

TEST_F(PiPManagerTest, ResizesAndFrameRatePicksRestartOnceTheyHaveSettled) {
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
