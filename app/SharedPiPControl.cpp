#include "app/SharedPiPControl.h"

#include "pip/PiPManager.h"
#include "pip/WindowHelpers.h"

namespace mirano {

SharedPiPControl::SharedPiPControl(QObject* parent)
    : PiPControl(parent), pip_(PiPManager::shared()) {
    connect(&pip_, &PiPManager::capturedWindowIDChanged, this,
            &PiPControl::capturedWindowIDChanged);
    connect(&pip_, &PiPManager::hoverStateChanged, this, &PiPControl::hoverStateChanged);
    connect(&pip_, &PiPManager::panelKeyPressed, this, &PiPControl::panelKeyPressed);
}

std::optional<WindowNumber> SharedPiPControl::capturedWindowID() const {
    return pip_.capturedWindowID();
}
bool SharedPiPControl::hasPanel() const { return pip_.pipPanel() != nullptr; }
bool SharedPiPControl::isOpening() const { return pip_.isOpening(); }
bool SharedPiPControl::isHovering() const { return pip_.visibility().hovering; }
std::optional<SourceWindow> SharedPiPControl::focusedWindow() const {
    return WindowHelpers::shared().focusedWindow();
}
void SharedPiPControl::startPiP(const SourceWindow& window, std::optional<QRectF> sourceRect) {
    pip_.startPiP(window, sourceRect);
}
void SharedPiPControl::stopPiP() { pip_.stopPiP(); }
void SharedPiPControl::handleModifierTap() { pip_.handleModifierTap(); }
void SharedPiPControl::chooseAnotherWindow() { pip_.chooseAnotherWindow(); }
void SharedPiPControl::toggleHidden() { pip_.toggleHidden(); }
void SharedPiPControl::setCommandHeld(bool held) { pip_.setCommandHeld(held); }
bool SharedPiPControl::isHoveringVisiblePiP() const { return pip_.isHoveringVisiblePiP(); }
void SharedPiPControl::zoomBy(double factor) { pip_.zoomBy(factor); }
void SharedPiPControl::openFrameRateMenu() { pip_.openFrameRateMenu(); }
void SharedPiPControl::scheduleStreamRestart() { pip_.scheduleStreamRestart(); }
void SharedPiPControl::beginRegionSelection() { pip_.beginRegionSelection(); }

}  // namespace mirano
