// The PiP controller's start of a region selection over the focused window.
#include "pip/PiPManager.h"
#include "platform/Permissions.h"
#include "region/RegionSelectionPanel.h"

namespace mirano {

void PiPManager::beginRegionSelection() {
    if (!services_.permissions.canCapture()) {
        services_.permissions.askForCapture();
        return;
    }
    const auto focused = helpers_.focusedWindow();
    if (!focused) return;
    const std::optional<WindowNumber> previous = capturedWindowID();
    stopPiP();
    // The Shift hotkey on the window that is already mirrored only closes its PiP.
    if (previous && *previous == focused->windowID) return;
    const auto frame = helpers_.windowFrame(focused->windowID);
    if (!frame) return;

    auto panel = std::make_unique<RegionSelectionPanel>(*frame, services_.panelWindowSystem);
    const SourceWindow window = *focused;
    connect(panel.get(), &RegionSelectionPanel::regionSelected, this, [this, window](QRectF r) {
        setRegionSelectionPanel(nullptr);
        startPiP(window, r);
    });
    connect(panel.get(), &RegionSelectionPanel::cancelled, this,
            [this] { setRegionSelectionPanel(nullptr); });
    setRegionSelectionPanel(std::move(panel));
    regionSelectionPanel_->showAndActivate();
}

}  // namespace mirano
