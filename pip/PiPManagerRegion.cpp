// The PiP controller's start of a region selection over the focused window.
#include "pip/PiPManager.h"
#include "platform/Log.h"
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
    const auto frame = helpers_.windowFrame(focused->windowID);
    // Some desktops (Wayland) never tell where a window is: there is nothing to pick from, and
    // the PiP stays as it is.
    if (frame && frame->isEmpty()) {
        logLine(QStringLiteral(
            "Cannot select a region: the desktop does not tell where the window is."));
        return;
    }
    const std::optional<WindowNumber> previous = capturedWindowID();
    stopPiP();
    // The Shift hotkey on the window that is already mirrored only closes its PiP.
    if (previous && *previous == focused->windowID) return;
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
