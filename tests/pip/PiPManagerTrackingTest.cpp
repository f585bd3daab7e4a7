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
    // One overlay for two activations; the second pause finds the stream stopped already.
    EXPECT_EQ(std::tuple(overlays, stream()->stopCalls, manager->streamManager()->isStreamActive()),
              std::tuple(1, 1, false));

    int made = streamsMade();
    activate(kOtherWindowID);
    flushDeletes();
    EXPECT_EQ(view.pausedOverlayView(), nullptr);
    EXPECT_EQ(
        std::tuple(manager->isPaused(), streamsMade(), manager->streamManager()->isStreamActive()),
        std::tuple(false, made + 1, true))
        << "resumed once";
    // Another activation while not paused changes nothing.
    activate(kOtherWindowID);
    EXPECT_EQ(streamsMade(), made + 1);

    // Paused again, then another application comes forward with a full-screen focused window:
    // the pause ends but nothing resumes while suppressed.
    activate(kWindowID);
    made = streamsMade();
    otherWindowFullScreen(true);
    activate(kOtherWindowID);
    EXPECT_EQ(view.pausedOverlayView(), nullptr);
    EXPECT_EQ(std::tuple(panel().isOrderedFront(), manager->isPaused(), streamsMade()),
              std::tuple(false, false, made));
    // The full-screen window leaves full screen: a space change brings the panel back.
    otherWindowFullScreen(false);
    changeDesktop();
    scheduler.drain();
    EXPECT_EQ(std::tuple(manager->isFullscreenSuppressed(), panel().isOrderedFront(),
                         panel().alphaValue(), streamsMade()),
              std::tuple(false, true, 1.0, made + 1));
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
        EXPECT_EQ(std::pair(manager->pipPanel() == nullptr, manager->isPaused()),
                  std::pair(closes, false))
            << behavior;
    }
}

TEST_F(Tracking, SessionStartedUnderFullScreenIsWithdrawnAtOnce) {
    windows.focused = kWindowID;
    windows.windows[kWindowID].fullScreen = true;
    auto shownAndStreaming = [this] {
        return std::pair(panel().isOrderedFront(), manager->streamManager()->isStreamActive());
    };
    start();
    EXPECT_EQ(shownAndStreaming(), std::pair(false, false));
    // While suppressed, showing does nothing.
    manager->showPiP();
    EXPECT_FALSE(panel().isOrderedFront());

    activate(kOtherWindowID);
    EXPECT_FALSE(manager->isFullscreenSuppressed());
    EXPECT_EQ(shownAndStreaming(), std::pair(true, true));
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
    expectPanel(0.1, true, false, false);
    EXPECT_GE(hoverState.count(), 1);

    tap();
    expectPanel(1.0, false, true, true);

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
    expectPanel(0.0, true, false, false);

    // Full screen coming and going leaves a hidden PiP out.
    otherWindowFullScreen(true);
    changeDesktop();
    EXPECT_FALSE(panel().isOrderedFront());
    otherWindowFullScreen(false);
    changeDesktop();
    scheduler.drain();
    EXPECT_EQ(
        std::tuple(manager->isFullscreenSuppressed(), panel().isOrderedFront(),
                   manager->streamManager()->isStreamActive(), manager->hasHideAutoCloseTimer()),
        std::tuple(false, false, false, true));

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
    EXPECT_EQ(std::pair(manager->pipPanel(), manager->hasHideAutoCloseTimer()),
              (std::pair<PiPPanel*, bool>(nullptr, false)));
}

TEST_F(Tracking, CommandHeldOverThePanelLeavesTheDragToTheZoomAndStreamRequestsRunInOrder) {
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
    manager->mouseExitedPanel();
    EXPECT_TRUE(panel().isMovableByWindowBackground());

    // Stream requests run one at a time and the last wins.
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

}  // namespace
}  // namespace mirano::testing
