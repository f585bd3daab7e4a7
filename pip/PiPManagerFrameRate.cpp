// The PiP controller's frame-rate menu, picks and the debounced stream restart.
#include <algorithm>

#include "capture/StreamManager.h"
#include "pip/PiPManager.h"
#include "platform/Application.h"
#include "platform/Scheduler.h"
#include "settings/AppSettings.h"
#include "window/CaptureView.h"
#include "window/PiPPanel.h"

namespace mirano {

namespace {
constexpr double kFrameRateDebounceSeconds = 0.5;
}  // namespace

void PiPManager::openFrameRateMenu() {
    if (!isHoveringVisiblePiP()) return;
    services_.application.activate();
    pipPanel_->showAndActivate();
    pipPanel_->captureView().showFrameRateMenu();
}

void PiPManager::frameRateChanged(int framesPerSecond) {
    services_.settings.setFrameRate(std::clamp(framesPerSecond, 1, 60));
    if (capturedApp_ && capturedApp_->applicationID)
        services_.settings.setFrameRate(framesPerSecond, *capturedApp_->applicationID);
    scheduleStreamRestart();
}

void PiPManager::scheduleStreamRestart() {
    if (!streamManager_ || !streamManager_->isStreamActive()) return;
    scheduleOnce(frameRateDebounceTimer_, kFrameRateDebounceSeconds, &PiPManager::restartStream);
}

void PiPManager::restartStream() {
    if (streamManager_) streamManager_->restart();
}

}  // namespace mirano
