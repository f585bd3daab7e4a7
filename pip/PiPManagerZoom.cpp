// The PiP controller's zoom, the panel's reshapes and the handling of panel resizes.
#include <QSignalBlocker>
#include <algorithm>

#include "capture/StreamManager.h"
#include "pip/PiPGeometry.h"
#include "pip/PiPManager.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "settings/AppSettings.h"
#include "window/CaptureView.h"
#include "window/PiPPanel.h"

namespace mirano {

namespace {
constexpr double kResizeDebounceSeconds = 1.0;
}  // namespace

void PiPManager::zoomBy(double factor) {
    if (!isHoveringVisiblePiP() || !streamManager_) return;
    const QSizeF window = streamManager_->sourceWindowSize();
    if (window.isEmpty()) return;
    CaptureView& view = pipPanel_->captureView();
    const QRectF b = view.bounds();
    if (b.isEmpty()) return;
    const QPointF p = view.mapFromGlobal(services_.screens.pointerPosition());
    if (p.x() < b.left() || p.x() >= b.right() || p.y() < b.top() || p.y() >= b.bottom()) return;
    const QPointF anchor(std::clamp(p.x() / b.width(), 0.0, 1.0),
                         std::clamp(p.y() / b.height(), 0.0, 1.0));
    const QRectF next =
        PiPGeometry::zoomAround(streamManager_->currentSourceRect(), window, anchor, factor);
    if (PiPGeometry::isWholeWindow(next, window))
        resetZoom();
    else
        showSourceRect(next);
}

void PiPManager::zoomToSelection(const QRectF& selection) {
    if (!streamManager_ || !pipPanel_) return;
    showSourceRect(PiPGeometry::narrowTo(streamManager_->currentSourceRect(), selection));
}

void PiPManager::showSourceRect(const QRectF& n) {
    const QRectF frame = pipPanel_->frame();
    if (const auto height = PiPGeometry::reshapedHeight(n, frame.width())) {
        setPanelFrame(QRectF(frame.x(), frame.y(), frame.width(), *height));
        // The resize above may have ended the session through a signal.
        if (!pipPanel_ || !streamManager_) return;
        pipPanel_->setContentAspectRatio(n.size());
    }
    pipPanel_->captureView().setZoomed(true);
    streamManager_->showRect(n, outputPixelSize(*pipPanel_));
}

void PiPManager::resetZoom() {
    if (!streamManager_ || !pipPanel_) return;
    const QSizeF window = streamManager_->sourceWindowSize();
    const QRectF frame = pipPanel_->frame();
    const double height = window.height() / std::max(window.width(), 1.0) * frame.width();
    setPanelFrame(QRectF(frame.x(), frame.y(), frame.width(), height));
    if (!pipPanel_ || !streamManager_) return;
    pipPanel_->setContentAspectRatio(window);
    pipPanel_->captureView().setZoomed(false);
    streamManager_->showWholeWindow(outputPixelSize(*pipPanel_));
}

void PiPManager::takeStreamWindowSize(const Frame& frame) {
    if (!windowSizePending_ || !streamManager_ || !pipPanel_) return;
    const QSizeF window = streamManager_->streamWindowSize(frame);
    if (window.isEmpty()) return;
    windowSizePending_ = false;
    // The configured width, or that of a resize of the user's still settling.
    const int width = pendingPipWidth_.value_or(services_.settings.pipWidth());
    {
        // No resize of the user's: no width to store, no restart to follow.
        const QSignalBlocker quiet(pipPanel_.data());
        pipPanel_->setFrame(panelFrame(window, width, panelScreen(*pipPanel_)), true, false);
    }
    pipPanel_->setContentAspectRatio(window);
    streamManager_->showWholeWindowOf(window, outputPixelSize(*pipPanel_));
    finishOpening();
}

void PiPManager::setPanelFrame(const QRectF& frame) {
    // A reshaped panel may grow past the screen's edge: it stays where it can be seen, on the
    // screen it is on now.
    const auto screen = panelScreen(*pipPanel_);
    const QRectF visible = screen ? screen->visibleFrame : QRectF();
    pipPanel_->setFrame(PiPGeometry::keepInside(frame, visible), true, false);
}

void PiPManager::panelResized(const QSizeF& size) {
    // The width is stored once the drag has settled, not on every step of it.
    pendingPipWidth_ =
        static_cast<int>(std::max(size.width(), double(PiPGeometry::kPipWidthFloor)));
    scheduleOnce(resizeDebounceTimer_, kResizeDebounceSeconds, &PiPManager::applyPanelResize);
}

void PiPManager::storePendingPipWidth() {
    if (!pendingPipWidth_) return;
    const int width = *pendingPipWidth_;
    pendingPipWidth_.reset();
    services_.settings.setPipWidth(width);
}

void PiPManager::applyPanelResize() {
    storePendingPipWidth();
    if (!streamManager_ || !pipPanel_) return;
    // A paused stream picks the new size up when it resumes.
    const QSize size = outputPixelSize(*pipPanel_);
    streamManager_->setLastOutputWidth(size.width());
    streamManager_->setLastOutputHeight(size.height());
    streamManager_->restart();
}

}  // namespace mirano
