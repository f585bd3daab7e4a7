// The PiP controller's zoom geometry and the handling of panel resizes.
#include "pip/PiPManager.h"

#include "capture/StreamManager.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "settings/AppSettings.h"
#include "window/CaptureView.h"
#include "window/PiPPanel.h"

#include <algorithm>
#include <cmath>

namespace mirano {

namespace {
constexpr double kMinimumZoomFraction = 0.08;
constexpr double kMinimumZoomSize = 48;
constexpr double kWholeWindowTolerance = 0.5;
constexpr double kMinimumReshapeAspect = 0.2;
constexpr double kMaximumReshapeAspect = 5.0;
constexpr double kResizeDebounceSeconds = 1.0;
}  // namespace

void PiPManager::zoomBy(double factor) {
    if (!isHoveringVisiblePiP() || !pipPanel_ || !streamManager_) return;
    const double sw = sourceWindowSize_.width(), sh = sourceWindowSize_.height();
    if (sw <= 0 || sh <= 0) return;
    CaptureView& view = pipPanel_->captureView();
    const QRectF b = view.bounds();
    if (b.width() <= 0 || b.height() <= 0) return;

    // Screen -> panel -> view, all with a bottom-left origin.
    const QPointF inPanel = pipPanel_->convertPointFromScreen(services_.screens.mouseLocation());
    const QRect g = view.geometry();
    const QPointF p(inPanel.x() - g.x(), inPanel.y() - (pipPanel_->height() - g.bottom() - 1));
    if (p.x() < b.left() || p.x() >= b.right() || p.y() < b.top() || p.y() >= b.bottom()) return;

    const double fx = std::clamp(p.x() / b.width(), 0.0, 1.0);
    const double fy = std::clamp((b.height() - p.y()) / b.height(), 0.0, 1.0);
    const QRectF s = currentSourceRect_;
    const double ax = s.x() + fx * s.width();
    const double ay = s.y() + fy * s.height();

    const double minW = std::max(sw * kMinimumZoomFraction, kMinimumZoomSize);
    const double minH = std::max(sh * kMinimumZoomFraction, kMinimumZoomSize);
    const double nw = std::min(sw, std::max(s.width() * factor, minW));
    const double nh = std::min(sh, std::max(s.height() * factor, minH));

    const double rx = (ax - s.x()) / std::max(s.width(), 1.0);
    const double ry = (ay - s.y()) / std::max(s.height(), 1.0);
    const double nx = std::max(0.0, std::min(sw - nw, ax - nw * rx));
    const double ny = std::max(0.0, std::min(sh - nh, ay - nh * ry));

    const QRectF next(nx, ny, nw, nh);
    if (isWholeWindow(next)) {
        resetZoom();
        return;
    }
    setCurrentSourceRect(next);
    applySourceRect(next);
}

void PiPManager::zoomToSelection(const QRectF& r) {
    if (!streamManager_ || !pipPanel_) return;
    const QRectF s = currentSourceRect_;
    const QRectF next(s.x() + s.width() * r.x(), s.y() + s.height() * r.y(),
                      r.width() * s.width(), r.height() * s.height());
    setCurrentSourceRect(next);
    applySourceRect(next);
}

void PiPManager::applySourceRect(const QRectF& n) {
    const double aspect = n.width() > 1 ? n.height() / n.width() : n.height();
    if (aspect >= kMinimumReshapeAspect && aspect <= kMaximumReshapeAspect) {
        const QRectF frame = pipPanel_->frame();
        pipPanel_->setFrame(QRectF(frame.x(), frame.y(), frame.width(), aspect * frame.width()),
                            true, false);
        // The resize above may have ended the session through a callback.
        if (!pipPanel_) return;
        pipPanel_->setContentAspectRatio(n.size());
    }
    const auto [w, h] = outputPixelSize(*pipPanel_);
    pipPanel_->captureView().setZoomed(true);
    const std::shared_ptr<StreamManager> manager = streamManager_;
    if (!manager) return;
    services_.scheduler.post(
        [manager, w = w, h = h, n] { manager->updateConfiguration(w, h, n, [](auto) {}); });
}

void PiPManager::resetZoom() {
    if (!streamManager_ || !pipPanel_) return;
    const double sw = sourceWindowSize_.width(), sh = sourceWindowSize_.height();
    setCurrentSourceRect(QRectF(0, 0, sw, sh));
    const QRectF frame = pipPanel_->frame();
    pipPanel_->setFrame(
        QRectF(frame.x(), frame.y(), frame.width(), sh / std::max(sw, 1.0) * frame.width()), true,
        false);
    if (!pipPanel_) return;
    pipPanel_->setContentAspectRatio(QSizeF(sw, sh));
    const auto [w, h] = outputPixelSize(*pipPanel_);
    pipPanel_->captureView().setZoomed(false);
    const std::shared_ptr<StreamManager> manager = streamManager_;
    if (!manager) return;
    services_.scheduler.post(
        [manager, w = w, h = h] { manager->resetSourceRect(w, h, [](auto) {}); });
}

bool PiPManager::isWholeWindow(const QRectF& r) const {
    return std::abs(r.x()) <= kWholeWindowTolerance && std::abs(r.y()) <= kWholeWindowTolerance &&
           std::abs(r.width() - sourceWindowSize_.width()) <= kWholeWindowTolerance &&
           std::abs(r.height() - sourceWindowSize_.height()) <= kWholeWindowTolerance;
}

void PiPManager::panelResized(const QSizeF& size) {
    services_.settings.setPipWidth(
        static_cast<int>(std::max(size.width(), double(kPipWidthFloor))));
    if (!streamManager_ || !streamManager_->isStreamActive()) return;
    scheduleOnce(resizeDebounceTimer_, kResizeDebounceSeconds, &PiPManager::applyPanelResize,
                 &PiPManager::resizeDebounceTimerChanged);
}

void PiPManager::applyPanelResize() {
    // The timer has fired: it is no longer pending.
    cancelTimer(resizeDebounceTimer_, &PiPManager::resizeDebounceTimerChanged);
    if (!streamManager_ || !pipPanel_) return;
    const auto [w, h] = outputPixelSize(*pipPanel_);
    streamManager_->setLastOutputWidth(w);
    streamManager_->setLastOutputHeight(h);
    restartStream();
}

}  // namespace mirano
