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
constexpr double kHideAutoCloseSeconds = 60;
}  // namespace

void PiPManager::handleAppActivation(const AppIdentity& application) {
    if (!capturedApp_ || !pipPanel_) return;
    updateFullscreenSuppression();
    if (application.isSameApplication(*capturedApp_))
        applyVisibility(PiPVisibility::CapturedAppActivated{services_.settings.focusBehavior()});
    else
        applyVisibility(PiPVisibility::OtherAppActivated{});
}

void PiPManager::updateFullscreenSuppression() {
    if (pipPanel_)
        applyVisibility(PiPVisibility::FullScreenChecked{helpers_.isFocusedWindowFullScreen()});
}

void PiPManager::handleModifierTap() {
    if (pipPanel_) applyVisibility(PiPVisibility::ModifierTapped{autoHideOnHover()});
}

bool PiPManager::autoHideOnHover() const { return services_.settings.autoHideOnHover(); }

void PiPManager::applyVisibility(const PiPVisibility::Event& event) {
    using Stream = VisibilityEffects::Stream;
    using AutoClose = VisibilityEffects::AutoClose;
    const auto [state, effects] = visibility_.next(event);
    const bool hoverChanged = state.hovering != visibility_.hovering ||
                              state.hidden != visibility_.hidden ||
                              state.opacity != visibility_.opacity;
    visibility_ = state;
    // Showing the panel or letting clicks in again may report a pointer crossing at once, which
    // runs a nested transition: everything below works on the panel as it is now.
    const QPointer<PiPPanel> panel = pipPanel_;
    if (panel && effects.shown && !opening_)
        *effects.shown ? panel->showWithoutActivating() : panel->hide();
    if (panel && effects.pausedOverlay)
        *effects.pausedOverlay ? showPausedOverlay() : removePausedOverlay();
    if (panel && effects.opacity)
        effects.fade ? panel->animateOpacity(*effects.opacity)
                     : panel->setOpacity(*effects.opacity);
    if (panel && effects.passThrough) panel->setIgnoresMouseEvents(*effects.passThrough);
    if (panel && effects.movable) panel->setMovableByWindowBackground(true);
    if (effects.autoClose == AutoClose::start)
        scheduleOnce(hideAutoCloseTimer_, kHideAutoCloseSeconds, &PiPManager::stopPiP);
    if (effects.autoClose == AutoClose::cancel) cancelTimer(hideAutoCloseTimer_);
    if (streamManager_ && effects.stream == Stream::pause) streamManager_->pause();
    if (streamManager_ && effects.stream == Stream::resume) streamManager_->resume();
    if (hoverChanged) emit hoverStateChanged();
    if (effects.stopSession) stopPiP();
}

void PiPManager::finishOpening() {
    if (!opening_ || !pipPanel_) return;
    opening_ = false;
    if (!visibility_.hidden && !visibility_.fullScreenSuppressed)
        pipPanel_->showWithoutActivating();
}

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

void PiPManager::toggleHidden() {
    if (pipPanel_) applyVisibility(PiPVisibility::HideToggled{});
}

void PiPManager::setCommandHeld(bool held) {
    if (!pipPanel_) return;
    pipPanel_->setMovableByWindowBackground(!held || !visibility_.hovering);
    pipPanel_->captureView().setCommandHeld(held);
}

}  // namespace mirano
