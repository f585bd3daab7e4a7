// That the visibility transitions reach the panel, the stream, the overlay and the timers. (The
// transitions themselves are rows in PiPVisibilityTest.)
#include <tuple>

#include "tests/pip/PiPManagerTestSupport.h"
#include "window/PausedOverlayView.h"

namespace mirano::testing {
namespace {

using Tracking = PiPManagerFixture;

TEST_F(Tracking, ActivationsPauseOrClose) {
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

TEST_F(Tracking, FullScreenWithdrawsThePanelFromTheStartOfASession) {
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

TEST_F(Tracking, HoverAndTapsReachThePanelTheStreamAndTheAutoClose) {
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

    // Hidden by a tap, the PiP closes a minute later unless shown again.
    settings.setAutoHideOnHover(false);
    tap();
    expectPanel(0.0, true, false);
    tap();
    expectPanel(1.0, false, true);
    scheduler.advance(61);
    EXPECT_NE(manager->pipPanel(), nullptr);
    tap();
    scheduler.advance(59.9);
    EXPECT_NE(manager->pipPanel(), nullptr);
    scheduler.advance(0.2);
    EXPECT_EQ(std::pair(manager->pipPanel(), scheduler.pendingTimers()),
              (std::pair<PiPPanel*, int>(nullptr, 0)));
}

TEST_F(Tracking, CommandHeldOverThePanelLeavesTheDragToTheZoom) {
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

}  // namespace
}  // namespace mirano::testing
