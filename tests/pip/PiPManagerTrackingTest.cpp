// Focus behaviour, full-screen suppression, hover, hiding and the Command key.
#include <tuple>

#include "tests/pip/PiPManagerTestSupport.h"

namespace mirano::testing {
namespace {

class Tracking : public PiPManagerFixture {
protected:
    /// The other application's window has the focus and is (or is no longer) full screen.
    void otherWindowFullScreen(bool full) {
        windows.focused = kOtherWindowID;
        windows.windows[kOtherWindowID].fullScreen = full;
    }
    void changeDesktop() { emit windows.fullScreenOrDesktopChanged(); }
};

TEST_F(Tracking, PauseRecordingOnActivationOfTheMirroredApplication) {
    settings.setFocusBehaviorRaw("pauseRecording");
    start();
    CaptureView& view = panel().captureView();

    activate(kWindowID);
    activate(kWindowID);
    EXPECT_TRUE(manager->isPaused());
    ASSERT_NE(view.pausedOverlayView(), nullptr);
    int overlays = 0;
    for (QObject* child : view.children())
        if (child->inherits("mirano::PausedOverlayView")) ++overlays;
    EXPECT_EQ(overlays, 1) << "one overlay for two activations";
    EXPECT_EQ(capture.lastStream()->stopCalls, 1)
        << "the second pause finds the stream stopped already";
    EXPECT_FALSE(manager->streamManager()->isStreamActive());

    const int made = streamsMade();
    activate(kOtherWindowID);
    flushDeletes();
    EXPECT_FALSE(manager->isPaused());
    EXPECT_EQ(view.pausedOverlayView(), nullptr);
    EXPECT_EQ(streamsMade(), made + 1) << "resumed once";
    EXPECT_TRUE(manager->streamManager()->isStreamActive());

    // Another activation while not paused changes nothing.
    activate(kOtherWindowID);
    EXPECT_EQ(streamsMade(), made + 1);
}

TEST_F(Tracking, LeavingPauseUnderAFullScreenWindowDoesNotResume) {
    settings.setFocusBehaviorRaw("pauseRecording");
    start();
    activate(kWindowID);
    const int made = streamsMade();

    // Another application comes forward with a full-screen focused window.
    otherWindowFullScreen(true);
    activate(kOtherWindowID);
    EXPECT_FALSE(panel().isOrderedFront());
    EXPECT_FALSE(manager->isPaused());
    EXPECT_EQ(panel().captureView().pausedOverlayView(), nullptr);
    EXPECT_EQ(streamsMade(), made) << "not resumed while suppressed";

    // The full-screen window leaves full screen: a space change brings the panel back.
    otherWindowFullScreen(false);
    changeDesktop();
    scheduler.drain();
    EXPECT_FALSE(manager->isFullscreenSuppressed());
    EXPECT_TRUE(panel().isOrderedFront());
    EXPECT_EQ(panel().alphaValue(), 1.0);
    EXPECT_EQ(streamsMade(), made + 1);
    // A second space change with no change of full screen does nothing.
    changeDesktop();
    scheduler.drain();
    EXPECT_EQ(streamsMade(), made + 1);
}

TEST_F(Tracking, StopAndCloseAndDoNothing) {
    start();
    const std::tuple<const char*, WindowNumber, bool> rows[] = {
        {"doNothing", kWindowID, false},
        {"somethingElse", kWindowID, false},
        {"stopAndClose", kOtherWindowID, false},
        {"stopAndClose", kWindowID, true}};
    for (auto [behavior, window, closes] : rows) {
        settings.setFocusBehaviorRaw(behavior);
        activate(window);
        EXPECT_EQ(manager->pipPanel() == nullptr, closes) << behavior;
        EXPECT_FALSE(manager->isPaused()) << behavior;
    }
}

TEST_F(Tracking, SessionStartedUnderFullScreenIsWithdrawnAtOnce) {
    windows.focused = kWindowID;
    windows.windows[kWindowID].fullScreen = true;
    start();
    EXPECT_FALSE(panel().isOrderedFront());
    EXPECT_FALSE(manager->streamManager()->isStreamActive());

    // While suppressed, showing does nothing.
    manager->showPiP();
    EXPECT_FALSE(panel().isOrderedFront());

    activate(kOtherWindowID);
    EXPECT_FALSE(manager->isFullscreenSuppressed());
    EXPECT_TRUE(panel().isOrderedFront());
    EXPECT_TRUE(manager->streamManager()->isStreamActive());
}

TEST_F(Tracking, HoverAutoHideAndTheModifierOverride) {
    settings.setAutoHideOnHover(true);
    start();
    QSignalSpy hoverState(manager.get(), &PiPManager::hoverStateChanged);
    const int made = streamsMade();

    manager->handleModifierTap();
    EXPECT_FALSE(manager->autoHideOverride()) << "a tap away from the panel does nothing";

    hover();
    scheduler.drain();
    expectPanel(0.1, true, false);
    EXPECT_FALSE(manager->isHoveringVisiblePiP());
    EXPECT_GE(hoverState.count(), 1);

    tap();
    expectPanel(1.0, false, true);
    EXPECT_TRUE(manager->isHoveringVisiblePiP());

    tap();
    expectPanel(0.05, true, false);

    manager->mouseExitedPanel();
    scheduler.drain();
    expectPanel(1.0, false, true);
    EXPECT_EQ(streamsMade(), made + 2);
}

TEST_F(Tracking, HiddenPiPPeeksOnHoverAndClosesAfterAMinute) {
    settings.setAutoHideOnHover(false);
    start();
    hover();
    EXPECT_EQ(panel().alphaValue(), 1.0) << "no auto-hide";
    EXPECT_TRUE(manager->isHoveringVisiblePiP());

    tap();
    EXPECT_TRUE(manager->isPiPHidden());
    expectPanel(0.0, true, false);
    EXPECT_FALSE(manager->isHoveringVisiblePiP());

    // Full screen coming and going leaves a hidden PiP out.
    otherWindowFullScreen(true);
    changeDesktop();
    EXPECT_FALSE(panel().isOrderedFront());
    otherWindowFullScreen(false);
    changeDesktop();
    scheduler.drain();
    EXPECT_FALSE(manager->isFullscreenSuppressed());
    EXPECT_FALSE(panel().isOrderedFront());
    EXPECT_FALSE(manager->streamManager()->isStreamActive());
    EXPECT_TRUE(manager->hasHideAutoCloseTimer());

    manager->mouseExitedPanel();
    EXPECT_EQ(panel().alphaValue(), 0.0);
    manager->mouseEnteredPanel();
    EXPECT_EQ(panel().alphaValue(), 0.1);

    // A second tap while hovering brings it back and cancels the auto-close.
    tap();
    EXPECT_FALSE(manager->isPiPHidden());
    expectPanel(1.0, false, true);
    scheduler.advance(61);
    EXPECT_NE(manager->pipPanel(), nullptr);

    // Without the second tap the session ends 60 seconds after the hide.
    manager->handleModifierTap();
    scheduler.advance(59.9);
    EXPECT_NE(manager->pipPanel(), nullptr);
    scheduler.advance(0.2);
    EXPECT_EQ(manager->pipPanel(), nullptr);
    EXPECT_FALSE(manager->hasHideAutoCloseTimer());
}

TEST_F(Tracking, StreamRequestsRunOneAtATimeAndTheLastWins) {
    start();
    auto active = [this] { return manager->streamManager()->isStreamActive(); };
    manager->pauseStream();
    manager->resumeStream();
    scheduler.drain();
    EXPECT_TRUE(active()) << "pause then resume: a visible PiP must not freeze";

    manager->pauseStream();
    scheduler.drain();
    const int made = streamsMade();
    manager->resumeStream();
    manager->pauseStream();
    scheduler.drain();
    EXPECT_FALSE(active()) << "resume then pause: a paused PiP must not capture";

    manager->resumeStream();
    scheduler.drain();
    manager->frameRateChanged(24);
    manager->pauseStream();
    scheduler.advance(2);
    EXPECT_FALSE(active()) << "a restart due after a pause waits for the resume";
    EXPECT_EQ(streamsMade(), made + 2);
}

TEST_F(Tracking, CommandHeldOverThePanelLeavesTheDragToTheZoom) {
    manager->setCommandHeld(true);  // no session: nothing
    start();
    manager->setCommandHeld(true);
    EXPECT_TRUE(panel().isMovableByWindowBackground()) << "pointer elsewhere";
    EXPECT_TRUE(panel().captureView().isCommandHeld());
    hover();
    manager->setCommandHeld(true);
    EXPECT_FALSE(panel().isMovableByWindowBackground());
    manager->setCommandHeld(false);
    EXPECT_TRUE(panel().isMovableByWindowBackground());
    EXPECT_FALSE(panel().captureView().isCommandHeld());
    manager->setCommandHeld(true);
    manager->mouseExitedPanel();
    EXPECT_TRUE(panel().isMovableByWindowBackground());
}

}  // namespace
}  // namespace mirano::testing
