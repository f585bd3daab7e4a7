// The PiP controller's region selection over the focused window, or over a still frame of it
// where the desktop does not tell where the window is.
#include <QPixmap>

#include "capture/StreamManager.h"
#include "pip/PiPGeometry.h"
#include "pip/PiPManager.h"
#include "platform/Permissions.h"
#include "platform/Screens.h"
#include "region/RegionSelectionPanel.h"
#include "region/RegionSelectionView.h"

namespace mirano {

void PiPManager::beginRegionSelection() {
    if (!services_.permissions.canCapture()) {
        services_.permissions.askForCapture();
        return;
    }
    const auto focused = helpers_.focusedWindow();
    if (!focused) return;
    const auto frame = helpers_.windowFrame(focused->windowID);
    const std::optional<WindowNumber> previous = capturedWindowID();
    stopPiP();
    // The Shift hotkey on the window that is already mirrored only closes its PiP.
    if (previous && *previous == focused->windowID) return;
    if (!frame) return;
    // Some desktops (Wayland) never tell where a window is: the selection is made on a picture.
    if (frame->isEmpty()) return selectRegionOnStill(*focused);

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

void PiPManager::selectRegionOnStill(const SourceWindow& window) {
    auto stream = std::make_shared<StreamManager>(services_.captureService, services_.settings,
                                                  services_.scheduler);
    connect(stream.get(), &StreamManager::frameArrived, this,
            [this, window](const Frame& frame) { showStill(window, frame); });
    // A refused or vanished capture was said in one line by the stream or the capture.
    connect(stream.get(), &StreamManager::stopped, this, [this] {
        setRegionSelectionPanel(nullptr);
        dropStillStream();
    });
    stillStream_ = stream;
    stream->open(window.windowID, QSizeF(), std::nullopt, QSize());
}

void PiPManager::showStill(const SourceWindow& window, const Frame& still) {
    if (!stillStream_ || regionSelectionPanel_ || !still) return;
    // The picture stays still while the user selects; the PiP resumes the stream.
    stillStream_->pause();
    // The still goes on the window's own screen, at that screen's scale.
    const auto screen = windowScreen(window.windowID);
    const QSizeF windowSize = stillStream_->streamWindowSize(still);
    // Without a size from the source, the frame's pixels are shown at the screen's scale.
    const QSizeF shown = stillStream_->streamWindowSize().isEmpty()
                             ? windowSize / (screen ? screen->devicePixelRatio : 1.0)
                             : windowSize;
    const QRectF visible = screen ? screen->visibleFrame : QRectF(QPointF(), shown);

    auto panel = std::make_unique<RegionSelectionPanel>(PiPGeometry::centreInside(shown, visible),
                                                        services_.panelWindowSystem);
    panel->view().setBackdrop(QPixmap::fromImage(imageOf(*still).copy()));
    connect(panel.get(), &RegionSelectionPanel::regionSelected, this,
            [this, window, windowSize](QRectF r) {
                setRegionSelectionPanel(nullptr);
                auto stream = std::exchange(stillStream_, nullptr);
                stream->disconnect(this);
                startSession(window, r, windowSize, stream);
            });
    connect(panel.get(), &RegionSelectionPanel::cancelled, this, [this] {
        setRegionSelectionPanel(nullptr);
        dropStillStream();
    });
    setRegionSelectionPanel(std::move(panel));
    regionSelectionPanel_->showAndActivate();
}

void PiPManager::dropStillStream() {
    if (const auto stream = std::exchange(stillStream_, nullptr)) {
        stream->disconnect(this);
        stream->stop();
    }
}

}  // namespace mirano
