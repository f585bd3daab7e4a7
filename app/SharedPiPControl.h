// The shell's PiP controller in the program: the shared PiPManager and window helpers.
#pragma once

#include "app/PiPControl.h"

namespace mirano {

class PiPManager;

/// Forwards to PiPManager::shared() and WindowHelpers::shared(). Main thread only.
class SharedPiPControl final : public PiPControl {
    Q_OBJECT
public:
    explicit SharedPiPControl(QObject* parent = nullptr);

    std::optional<WindowNumber> capturedWindowID() const override;
    bool hasPanel() const override;
    bool isOpening() const override;
    bool isHovering() const override;
    std::optional<SourceWindow> focusedWindow() const override;
    void startPiP(const SourceWindow& window, std::optional<QRectF> sourceRect) override;
    void stopPiP() override;
    void chooseAnotherWindow() override;
    void handleModifierTap() override;
    void toggleHidden() override;
    void setCommandHeld(bool held) override;
    bool isHoveringVisiblePiP() const override;
    void zoomBy(double factor) override;
    void openFrameRateMenu() override;
    void scheduleStreamRestart() override;
    void beginRegionSelection() override;

private:
    PiPManager& pip_;
};

}  // namespace mirano
