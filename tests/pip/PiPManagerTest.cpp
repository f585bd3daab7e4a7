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

constexpr ProcessID kPid = 500, kOtherPid = 600;
constexpr WindowNumber kWindowID = 0x3200007, kOtherWindowID = 0x5400001;

/// A controller on fakes, with the mirrored window (kWindowID of kPid, 1000 x 800 at
/// (100, 50)), a window of another application (kOtherWindowID of kOtherPid) and one
/// 1440 x 900 screen of ratio 2 whose visible frame is (0, 25, 1440, 875).
struct PiPManagerTest : ::testing::Test, fakes::MemorySettings {
    PiPManagerTest() {
        screens.setSingle(QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875), 2.0);
        windows.addWindow(kWindowID, {}, kPid, QStringLiteral("org.example.source"));
        setWindow(1000, 800);
        windows.addWindow(kOtherWindowID, QRectF(0, 0, 640, 480), kOtherPid, "org.example.other");
    }
    ~PiPManagerTest() override {
        manager.reset();
        flushDeletes();
    }

    /// The scripted window's size, as measured and among the shareable windows.
    void setWindow(double width, double height) {
        windows.windows[kWindowID].frame = QRectF(100, 50, width, height);
        std::erase_if(capture.windows,
                      [](const CapturableWindow& w) { return w.windowID == kWindowID; });
        capture.addWindow(kWindowID, width, height);
    }
    /// Ends any session, starts one on the scripted window and lets the stream start.
    void start(std::optional<QRectF> region = std::nullopt, WindowNumber id = kWindowID) {
        manager->stopPiP();
        manager->startPiP(*windows.focusedWindowFor(id), region);
        scheduler.drain();
    }
    PiPPanel& panel() { return *manager->pipPanel(); }
    fakes::FakeCaptureStream* stream() { return capture.lastStream(); }
    using Pixels = std::pair<std::int64_t, std::int64_t>;
    /// The size the last stream was made at.
    Pixels pixels() {
        return {stream()->initialConfiguration.width, stream()->initialConfiguration.height};
    }
    /// Whether neither a region selection nor a PiP is up.
    bool noPanels() const { return !manager->regionSelectionPanel() && !manager->pipPanel(); }
    /// What `action` printed.
    static std::string logOf(const std::function<void()>& action) {
        ::testing::internal::CaptureStdout();
        action();
        return ::testing::internal::GetCapturedStdout();
    }
    /// Whether the session's stream runs.
    bool streaming() const { return manager->streamManager()->isStreamActive(); }
    /// Streams made so far (each start or restart makes one).
    int streamsMade() const { return int(capture.streams.size()); }
    static void flushDeletes() { qApp->sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    /// A window of another application (or the source window) gets the focus.
    void activate(WindowNumber window) {
        windows.focusFromOutside(window);
        scheduler.drain();
    }
    void tap() {
        manager->handleModifierTap();
        scheduler.drain();
    }
    /// Moves the pointer over the panel and reports the hover.
    void hover() {
        screens.pointer = panel().frame().center();
        emit panel().mouseEntered();
    }
    /// The stream delivers a frame of one colour, which is returned.
    Frame frame(int width, int height, std::uint32_t argb = 0xff000000) {
        Frame f = fakes::makeMemoryFrame(width, height, argb);
        stream()->emitFrame(f);
        scheduler.drain();
        return f;
    }

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
// and at which pixel ratio, and that a region session starts zoomed at the panel's pixel size.
TEST_F(PiPManagerTest, PanelGoesToTheWindowsScreenAtItsPixelRatio) {
    settings.setPipWidth(320);
    settings.setPipPositionRaw("topLeft");
    const QRectF region(0.25, 0.5, 0.5, 0.25);  // 500 x 200 points of the window
    screens.setSingle(QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875), 1.0);
    start(region);
    EXPECT_EQ(std::tuple(manager->streamManager()->currentSourceRect(), pixels(), panel().frame(),
                         panel().contentAspectRatio(), panel().contentMinSize(),
                         panel().captureView().isZoomed()),
              std::tuple(QRectF(250, 400, 500, 200), Pixels(320, 128), QRectF(16, 41, 320, 128),
                         QSizeF(500, 200), QSizeF(150, 150), true));

    // A primary screen A of ratio 2 and B of ratio 1 to its right, named as Qt names them.
    const std::vector<ScreenInfo> two = {
        {QRectF(0, 0, 800, 600), QRectF(0, 0, 800, 600), 2.0, "A"},
        {QRectF(800, 0, 1000, 700), QRectF(800, 20, 1000, 680), 1.0, "B"}};
    // The window's frame, the screen named for it, the pointer; where the panel goes, its pixels.
    const std::tuple<const char*, QRectF, std::optional<QString>, QPointF, QPointF, Pixels>
        cases[] = {
            {"centre on B", {700, 100, 400, 300}, {}, {}, {816, 36}, {320, 120}},
            {"centre on A", {500, 100, 400, 300}, {}, {}, {16, 16}, {640, 240}},
            {"centre on neither, most on B", {600, 550, 400, 300}, {}, {}, {816, 36}, {320, 120}},
            {"no frame, named B", {}, "B", {}, {816, 36}, {320, 120}},
            {"no frame, no name, pointer on B", {}, {}, {900, 50}, {816, 36}, {320, 120}},
            {"no frame, an unknown name, no pointer", {}, "C", {-5, -5}, {16, 16}, {640, 240}},
        };
    screens.all = two;
    for (const auto& [what, window, screenName, pointer, topLeft, made] : cases) {
        windows.windows[kWindowID].frame = window;
        windows.windows[kWindowID].screenName = screenName;
        screens.pointer = pointer;
        start(region);
        EXPECT_EQ(std::pair(panel().frame().topLeft(), pixels()), std::pair(topLeft, made)) << what;
    }

    // Zoomed, reshaped panels stay on the screen they were dragged to, inside its visible area.
    setWindow(1000, 800);
    start(region);
    panel().setFrame(QRectF(1400, 400, 320, 128), false, false);
    emit panel().zoomRequested(QRectF(0, 0, 0.5, 1));
    EXPECT_EQ(panel().frame(), QRectF(1400, 400, 320, 256)) << "kept on B";

    scheduler.drain();
    // Its screen gone, the panel goes to its corner of the window's screen, captured there.
    const int before = streamsMade();
    screens.all = {two.front()};
    emit screens.changed();
    scheduler.advance(1);
    EXPECT_EQ(std::tuple(panel().frame().topLeft(), streamsMade(), pixels().first),
              std::tuple(QPointF(16, 16), before + 1, 640));
}

TEST_F(PiPManagerTest, WholeWindowSessionRunsUntilStoppedClosedDoubleClickedOrItsStreamFails) {
    QSignalSpy published(manager.get(), &PiPManager::capturedWindowIDChanged);
    QSignalSpy hover(manager.get(), &PiPManager::hoverStateChanged);
    start();
    ASSERT_TRUE(manager->pipPanel() && stream());
    EXPECT_EQ(std::tuple(manager->capturedWindowID(), manager->capturedApp(), published.count(),
                         panel().isVisible(), stream()->running, stream()->window.windowID,
                         stream()->initialConfiguration.sourceRect.isEmpty()),
              std::tuple(kWindowID, windows.windows[kWindowID].application, 1, true, true,
                         kWindowID, true));

    // Frames reach the capture view.
    EXPECT_EQ(panel().captureView().contents(), frame(4, 4));

    // Stopping releases the panel and stops the stream; stopping again, idle, publishes nothing.
    QPointer<PiPPanel> shown = manager->pipPanel();
    fakes::FakeCaptureStream* running = stream();
    published.clear();
    hover.clear();
    manager->stopPiP();
    scheduler.drain();
    flushDeletes();
    manager->stopPiP();
    EXPECT_EQ(std::tuple(shown.isNull(), manager->streamManager(), running->running,
                         manager->capturedWindowID(), manager->capturedApp(), published.count(),
                         hover.count()),
              std::tuple(true, nullptr, false, std::nullopt, std::nullopt, 1, 1));

    // A session stopped before its stream started leaves no stream running.
    manager->startPiP(*windows.focusedWindowFor(kWindowID), std::nullopt);
    manager->stopPiP();
    scheduler.drain();
    EXPECT_FALSE(stream()->running);

    // Close and double-click end the session of their own panel only.
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
    EXPECT_EQ(std::tuple(manager->pipPanel(), windows.requests),
              std::tuple(nullptr, QStringList{QStringLiteral("unminimize %1").arg(kWindowID),
                                              QStringLiteral("activate %1").arg(kWindowID)}));

    // A stream that tells its first picture (Wayland's may come well after the start) shows
    // the panel only then: until it, the PiP is opening, its panel hidden.
    capture.streamsTellPicture = true;
    start();
    const auto opening = [&] { return std::tuple(manager->isOpening(), panel().isVisible()); };
    EXPECT_EQ(opening(), std::tuple(true, false));
    stream()->showFirstPicture();
    EXPECT_EQ(opening(), std::tuple(false, true));
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
    }

    // A window without an application id leaves the rate alone; one that cannot be
    // measured counts as 800 x 600.
    settings.setFrameRate(10);
    windows.windows[kWindowID].application.applicationID.reset();
    windows.windows[kWindowID].frame = QRectF();
    start();
    EXPECT_EQ(std::pair(settings.frameRate(), panel().contentAspectRatio()),
              std::pair(10, QSizeF(800, 600)));

    // A failed start is logged and ends only its own session.
    capture.windows.clear();
    const std::string failed = logOf([this] { start(); });
    EXPECT_EQ(failed, "Failed to start capture: " +
                          CaptureError::windowNotFound().description.toStdString() + "\n");
    EXPECT_EQ(manager->pipPanel(), nullptr);

    // A start that fails after its session was replaced leaves the new session running.
    capture.addWindow(kWindowID, 1000, 800);
    manager->startPiP(SourceWindow{999, AppIdentity{kPid}}, std::nullopt);  // not shareable
    manager->stopPiP();
    manager->startPiP(*windows.focusedWindowFor(kWindowID), std::nullopt);
    EXPECT_EQ(logOf([this] { scheduler.drain(); }), failed);
    ASSERT_TRUE(manager->pipPanel() && streaming());

    // The stream stopping ends the session only with an error.
    stream()->emitStop(std::nullopt);
    scheduler.drain();
    EXPECT_NE(manager->pipPanel(), nullptr);
    stream()->emitStop(Error{QStringLiteral("window closed")});
    scheduler.drain();
    EXPECT_EQ(manager->pipPanel(), nullptr);
}

// A region is selected over the focused window; Escape leaves nothing, the same request over the
// mirrored window only closes its PiP.
TEST_F(PiPManagerTest, RegionSelectionOverTheFocusedWindowStartsAPiPOfTheRegion) {
    windows.focused = kWindowID;
    manager->beginRegionSelection();
    QPointer<RegionSelectionPanel> escaped = manager->regionSelectionPanel();
    ASSERT_FALSE(escaped.isNull());
    QTest::keyClick(static_cast<QWidget*>(&escaped->view()), Qt::Key_Escape);
    flushDeletes();
    EXPECT_TRUE(escaped.isNull() && noPanels());

    manager->beginRegionSelection();
    RegionSelectionPanel* selection = manager->regionSelectionPanel();
    ASSERT_NE(selection, nullptr);
    EXPECT_EQ(selection->frame(), QRectF(100, 50, 1000, 800)) << "exactly over the window";
    emit selection->regionSelected(QRectF(0.5, 0, 0.5, 1));
    scheduler.drain();
    ASSERT_TRUE(!manager->regionSelectionPanel() && manager->pipPanel());
    EXPECT_EQ(stream()->initialConfiguration.sourceRect, QRectF(500, 0, 500, 800));

    // Over another window than the mirrored one it closes the PiP and selects.
    capture.addWindow(kOtherWindowID, 640, 480);
    start(std::nullopt, kOtherWindowID);
    manager->beginRegionSelection();
    ASSERT_TRUE(manager->regionSelectionPanel() && !manager->pipPanel());

    // Stopping while selecting orders the selection out.
    QPointer<RegionSelectionPanel> stopped = manager->regionSelectionPanel();
    manager->stopPiP();
    EXPECT_EQ(std::tuple(manager->regionSelectionPanel(), stopped->isVisible()),
              std::tuple(nullptr, false));

    start();
    manager->beginRegionSelection();
    EXPECT_TRUE(noPanels());

    // Nothing to select on without permission, a focused window or its frame.
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

// Where the desktop tells neither a window's size nor its place (Wayland), the stream does: the
// source's size from the start, or else the first frame's pixels. The PiP is made at 4:3 and
// shown in the window's shape, in its corner, once the stream knows it; the stream's output size
// follows once; later frames change nothing. A region is selected on the stream's first frame,
// shown in the middle of the screen at the window's size in points (the source's, or else the
// frame's pixels at the screen's ratio, 2), and the region's PiP keeps that stream.
TEST_F(PiPManagerTest, AWindowOfUnknownSizeAndPlaceIsMeasuredByItsStreamForThePiPAndARegion) {
    settings.setPipWidth(320);
    settings.setPipPositionRaw("bottomRight");
    setWindow(0, 0);
    for (const QSizeF reported : {QSizeF(1280, 720), QSizeF()}) {
        SCOPED_TRACE(reported.width());
        capture.reportedWindowSize = reported;
        start();
        const QSizeF window = reported.isEmpty() ? QSizeF(1600, 900) : reported;
        if (reported.isEmpty()) {
            EXPECT_EQ(std::tuple(panel().frame(), panel().isVisible()),
                      std::tuple(QRectF(1104, 644, 320, 240), false))
                << "4:3 and not shown until a frame";
            frame(1600, 900);
        }
        EXPECT_EQ(
            std::tuple(panel().frame(), panel().isVisible(), panel().contentAspectRatio(),
                       manager->streamManager()->sourceWindowSize(),
                       manager->streamManager()->currentSourceRect()),
            std::tuple(QRectF(1104, 704, 320, 180), true, window, window, QRectF({}, window)));
        EXPECT_EQ(stream()->updates,
                  (std::vector<StreamConfiguration>{
                      {.minimumFrameInterval = 0.1, .width = 640, .height = 360}}));

        const int made = streamsMade();
        frame(800, 800);
        scheduler.advance(2);
        EXPECT_EQ(std::tuple(panel().frame(), stream()->updates.size(), streamsMade()),
                  std::tuple(QRectF(1104, 704, 320, 180), 1u, made));
        // Its pictures tell another size later (a portal that reported its monitor's): the PiP
        // takes that shape, the whole window shown.
        stream()->learnWindowSize(QSizeF(400, 600));
        scheduler.drain();
        EXPECT_EQ(
            std::tuple(panel().contentAspectRatio(), manager->streamManager()->currentSourceRect()),
            std::tuple(QSizeF(400, 600), QRectF(0, 0, 400, 600)));
    }

    // A width the user gave the panel meanwhile stays.
    start();
    panel().setFrame(QRectF(600, 300, 400, 300));
    frame(1600, 900);
    EXPECT_EQ(panel().frame(), QRectF(1024, 659, 400, 225));
    manager->stopPiP();

    windows.focused = kWindowID;
    capture.resumableStreams = true;
    // The size the stream reports; where the still is shown, the rectangle of the right half.
    for (const auto& [reported, shown, sourceRect] :
         {std::tuple(QSizeF(1000, 750), QRectF(220, 88, 1000, 750), QRectF(500, 0, 500, 750)),
          std::tuple(QSizeF(), QRectF(520, 313, 400, 300), QRectF(400, 0, 400, 600))}) {
        SCOPED_TRACE(reported.width());
        manager->beginRegionSelection();
        scheduler.drain();
        EXPECT_EQ(manager->regionSelectionPanel(), nullptr) << "nothing to show before a frame";
        stream()->reportedWindowSize = reported;
        frame(800, 600, 0xff336699);
        RegionSelectionPanel* selection = manager->regionSelectionPanel();
        ASSERT_NE(selection, nullptr);
        EXPECT_EQ(std::tuple(selection->frame(),
                             selection->view().backdrop().toImage().pixelColor(10, 10),
                             stream()->running),
                  std::tuple(shown, QColor(0x336699), false))
            << "the still stays still";

        const int made = streamsMade();
        emit selection->regionSelected(QRectF(0.5, 0, 0.5, 1));
        scheduler.drain();
        ASSERT_NE(manager->pipPanel(), nullptr);
        EXPECT_EQ(std::tuple(streamsMade(), stream()->configuration.sourceRect, stream()->running),
                  std::tuple(made, sourceRect, true))
            << "the PiP asks for no second stream";
        manager->stopPiP();
    }

    // A stream that ends while the user selects ends the selection; one refused ends it before.
    manager->beginRegionSelection();
    scheduler.drain();
    frame(800, 600);
    ASSERT_NE(manager->regionSelectionPanel(), nullptr);
    stream()->emitStop(Error{QStringLiteral("gone")});
    scheduler.drain();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    capture.startError = Error{QStringLiteral("refused")};
    EXPECT_EQ(logOf([this] {
                  manager->beginRegionSelection();
                  scheduler.drain();
              }),
              "Failed to start capture: refused\n");
    frame(800, 600);
    EXPECT_TRUE(noPanels());
}

TEST_F(PiPManagerTest, ActivationsPauseOrCloseAndFullScreenWithdrawsThePanel) {
    settings.setFocusBehaviorRaw("pauseRecording");
    start();
    CaptureView& view = panel().captureView();
    activate(kWindowID);
    activate(kWindowID);
    EXPECT_EQ(std::tuple(view.findChildren<PausedOverlayView*>().size(), view.isPaused(),
                         stream()->stopCalls, streaming()),
              std::tuple(1, true, 1, false));

    const int made = streamsMade();
    activate(kOtherWindowID);
    flushDeletes();
    EXPECT_EQ(std::tuple(view.pausedOverlayView(), streamsMade(), streaming()),
              std::tuple(nullptr, made + 1, true))
        << "unpaused and resumed once";

    settings.setFocusBehaviorRaw("stopAndClose");
    activate(kWindowID);
    EXPECT_EQ(manager->pipPanel(), nullptr);

    // Full screen withdraws the panel from the start of a session (the source has the focus).
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
    // The panel's opacity, whether clicks pass through it, whether the stream runs and the hover.
    const auto seen = [this] {
        return std::tuple(panel().opacity(), panel().ignoresMouseEvents(), streaming(),
                          manager->isHoveringVisiblePiP());
    };
    hover();
    scheduler.drain();
    EXPECT_EQ(seen(), std::tuple(0.1, true, false, false)) << "no hover at 0.1";
    tap();
    EXPECT_EQ(seen(), std::tuple(1.0, false, true, true));
    EXPECT_EQ(hoverState.count(), 2) << "entered and faded, shown again";

    // Hidden by a tap, the PiP closes a minute later unless shown again. (What hiding and showing
    // do to the panel and the stream are rows in PiPLogicTest, carried out as above.)
    settings.setAutoHideOnHover(false);
    tap();
    tap();
    scheduler.advance(61);
    tap();
    scheduler.advance(59.9);
    EXPECT_NE(manager->pipPanel(), nullptr);
    scheduler.advance(0.2);
    EXPECT_EQ(std::pair(manager->pipPanel(), scheduler.pendingTimers()),
              (std::pair<PiPPanel*, int>(nullptr, 0)));
}

// The zoom and selection arithmetic is checked in PiPLogicTest; here, that the controller
// anchors it at the pointer and hands the result to the view, the panel and the stream, and
// that Command held over the panel leaves the drag to the zoom.
TEST_F(PiPManagerTest, ZoomAnchorsAtThePointerAndReachesTheViewThePanelAndTheStream) {
    const auto rect = [this] { return manager->streamManager()->currentSourceRect(); };
    auto lastUpdate = [this] {
        scheduler.drain();
        return stream()->updates.empty() ? StreamConfiguration() : stream()->updates.back();
    };
    manager->setCommandHeld(true);  // no session: nothing
    // A window of 1000 x 500 with the pointer at the centre of a visible panel.
    settings.setAutoHideOnHover(false);
    setWindow(1000, 500);
    start();
    hover();
    ASSERT_TRUE(manager->isHoveringVisiblePiP());
    manager->zoomBy(0.85);
    const QRectF centred(75, 37.5, 850, 425);
    EXPECT_EQ(std::tuple(rect(), panel().captureView().isZoomed(), lastUpdate().sourceRect,
                         lastUpdate().width),
              std::tuple(centred, true, centred, std::int64_t(2 * panel().frame().width())));

    // Zooming out again ends within half a point of the whole window: a reset.
    manager->zoomBy(1 / 0.85);
    EXPECT_EQ(std::tuple(rect(), panel().captureView().isZoomed(), panel().contentAspectRatio()),
              std::tuple(QRectF(0, 0, 1000, 500), false, QSizeF(1000, 500)));

    // Selections reshape the panel unless their aspect is extreme.
    emit panel().zoomRequested(QRectF(0.1, 0.2, 0.4, 0.4));
    EXPECT_EQ(std::pair(rect(), panel().contentAspectRatio()),
              std::pair(QRectF(100, 100, 400, 200), QSizeF(400, 200)));
    emit panel().zoomResetRequested();
    const QRectF before = panel().frame();
    emit panel().zoomRequested(QRectF(0, 0, 0.04, 0.6));  // 40 x 300 points: aspect 7.5
    EXPECT_EQ(std::tuple(panel().frame(), panel().contentAspectRatio(), lastUpdate().sourceRect),
              std::tuple(before, QSizeF(1000, 500), QRectF(0, 0, 40, 300)));
    emit panel().zoomResetRequested();

    // No zoom unless the pointer is over the visible panel.
    screens.pointer = QPointF(-500, -500);
    manager->zoomBy(0.85);
    hover();
    emit panel().mouseExited();
    manager->zoomBy(0.85);
    EXPECT_EQ(rect(), QRectF(0, 0, 1000, 500));
    // Nor does the frame-rate menu open.
    manager->openFrameRateMenu();
    hover();
    manager->openFrameRateMenu();
    EXPECT_EQ(
        std::pair(application.activations, panelSystem.state(panel().windowHandle()).activations),
        std::pair(1, 1))
        << "opened once, the panel made key";

    // Command held: the panel stays movable only while the pointer is elsewhere.
    const auto held = [this](bool command) {
        manager->setCommandHeld(command);
        return std::pair(panel().isMovableByWindowBackground(),
                         panel().captureView().isCommandHeld());
    };
    EXPECT_EQ(held(true), std::pair(false, true));
    EXPECT_EQ(held(false), std::pair(true, false));
    held(true);
    emit panel().mouseExited();
    EXPECT_TRUE(panel().isMovableByWindowBackground());
    EXPECT_EQ(held(true), std::pair(true, true)) << "the pointer elsewhere";
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
    scheduler.advance(0.3);
    // One restart for the burst.
    EXPECT_EQ(std::tuple(streamsMade(), pixels(), settings.pipWidth(), scheduler.pendingTimers()),
              std::tuple(made + 1, Pixels(960, 768), 480, 0));

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
    windows.windows[kWindowID].application.applicationID.reset();
    start();
    emit panel().frameRateChosen(0);
    EXPECT_EQ(std::pair(settings.frameRate(), settings.perAppFrameRates().size()),
              std::pair(1, qsizetype(1)));

    // A restart that fails is logged and leaves the panel.
    capture.windows.clear();
    emit panel().frameRateChosen(24);
    EXPECT_EQ(logOf([this] { scheduler.advance(1); }),
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
