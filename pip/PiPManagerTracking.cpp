// The PiP controller's reactions to activations, full screen, the pointer and the modifier tap.
#include "capture/StreamManager.h"
#include "pip/PiPManager.h"
#include "platform/Scheduler.h"
#include "settings/AppSettings.h"
#include "window/CaptureView.h"
#include "window/PausedOverlayView.h"
#include "window/PiPPanel.h"

namespace mirano {

namespace {
constexpr double kHoverAlpha = 0.1;
constexpr double kOverrideCancelledAlpha = 0.05;
constexpr double kHideAutoCloseSeconds = 60;
}  // namespace

void PiPManager::showPausedOverlay() {
    CaptureView& view = pipPanel_->captureView();
    view.setPaused(true);
    if (view.pausedOverlayView()) return;
    auto* overlay = new PausedOverlayView();
    // The view adopts it as a child covering its bounds and keeps it fitted.
    view.setPausedOverlayView(overlay);
    overlay->show();
}

void PiPManager::removePausedOverlay() {
    CaptureView& view = pipPanel_->captureView();
    view.setPaused(false);
    if (QWidget* overlay = view.pausedOverlayView()) {
        overlay->hide();
        overlay->deleteLater();
    }
    view.setPausedOverlayView(nullptr);
}

void PiPManager::handleAppActivation(const AppIdentity& application) {
    if (!capturedApp_ || !pipPanel_) return;
    updateFullscreenSuppression();
    if (application.isSameApplication(*capturedApp_)) {
        switch (services_.settings.focusBehavior()) {
            case FocusBehavior::pauseRecording:
                isPaused_ = true;
                if (pipPanel_) showPausedOverlay();
                pauseStream();
                break;
            case FocusBehavior::stopAndClose:
                stopPiP();
                break;
            case FocusBehavior::doNothing:
                break;
        }
        return;
    }
    if (!isPaused_) return;
    isPaused_ = false;
    if (pipPanel_) removePausedOverlay();
    if (!isFullscreenSuppressed_) resumeStream();
}

void PiPManager::updateFullscreenSuppression() {
    if (!pipPanel_) return;
    const bool full = helpers_.isFocusedWindowFullScreen();
    if (full == isFullscreenSuppressed_) return;
    isFullscreenSuppressed_ = full;
    if (full) {
        pipPanel_->orderOut();
        pauseStream();
        return;
    }
    if (!isPiPHidden_) {
        pipPanel_->orderFront();
        setPanelAlpha(1.0, false);
        pipPanel_->setIgnoresMouseEvents(false);
    }
    if (isPaused_ || isPiPHidden_) return;
    resumeStream();
}

void PiPManager::handleModifierTap() {
    if (!pipPanel_ || !isHovering_) return;
    if (services_.settings.autoHideOnHover()) {
        if (!autoHideOverride_) {
            autoHideOverride_ = true;
            showPiP();
        } else {
            autoHideOverride_ = false;
            setPanelAlpha(kOverrideCancelledAlpha, true);
            pipPanel_->setIgnoresMouseEvents(true);
            pauseStream();
        }
        return;
    }
    toggleHidden();
}

void PiPManager::toggleHidden() {
    if (!pipPanel_) return;
    if (!isPiPHidden_) {
        setPiPHidden(true);
        hidePiP();
    } else {
        setPiPHidden(false);
        autoHideOverride_ = false;
        showPiP();
    }
}

void PiPManager::showPiP() {
    if (isFullscreenSuppressed_) return;
    cancelTimer(hideAutoCloseTimer_);
    if (pipPanel_) {
        setPanelAlpha(1.0, false);
        pipPanel_->setIgnoresMouseEvents(false);
    }
    resumeStream();
}

void PiPManager::hidePiP() {
    if (pipPanel_) {
        setPanelAlpha(0.0, false);
        pipPanel_->setIgnoresMouseEvents(true);
    }
    pauseStream();
    scheduleOnce(hideAutoCloseTimer_, kHideAutoCloseSeconds, &PiPManager::stopPiP);
}

void PiPManager::mouseEnteredPanel() {
    setHovering(true);
    if (!pipPanel_) return;
    if (isPiPHidden_) {
        setPanelAlpha(kHoverAlpha, true);
        return;
    }
    if (services_.settings.autoHideOnHover() && !autoHideOverride_) {
        setPanelAlpha(kHoverAlpha, true);
        pipPanel_->setIgnoresMouseEvents(true);
        pauseStream();
    }
}

void PiPManager::mouseExitedPanel() {
    setHovering(false);
    if (pipPanel_) pipPanel_->setMovableByWindowBackground(true);
    autoHideOverride_ = false;
    if (!pipPanel_) return;
    if (isPiPHidden_) {
        setPanelAlpha(0.0, true);
        return;
    }
    if (services_.settings.autoHideOnHover()) {
        setPanelAlpha(1.0, true);
        pipPanel_->setIgnoresMouseEvents(false);
        resumeStream();
    }
}

void PiPManager::setCommandHeld(bool held) {
    if (!pipPanel_) return;
    pipPanel_->setMovableByWindowBackground(!held || !isHovering_);
    pipPanel_->captureView().setCommandHeld(held);
}

bool PiPManager::isHoveringVisiblePiP() const {
    return pipPanel_ && !isPiPHidden_ && pipPanel_->alphaValue() == 1.0 && isHovering_;
}

}  // namespace mirano
