// The PiP controller's state, session start and stop, panel placement and stream operations.
#include "pip/PiPManager.h"

#include <algorithm>

#include "capture/StreamManager.h"
#include "pip/PiPGeometry.h"
#include "platform/CaptureService.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "region/RegionSelectionPanel.h"
#include "settings/AppSettings.h"
#include "settings/PiPPosition.h"
#include "window/CaptureView.h"
#include "window/PiPPanel.h"

namespace mirano {

namespace {
constexpr double kMinimumContentSize = 150;
constexpr double kFallbackWidth = 800;
constexpr double kFallbackHeight = 600;
constexpr double kFallbackBackingScale = 2.0;
constexpr double kRestartPause = 0.1;

template <typename T>
bool assign(T& field, T value) {
    if (field == value) return false;
    field = std::move(value);
    return true;
}

/// Puts `next` in the field. The old widget may be the sender of the callback that got us
/// here, so it is deleted later. Returns whether the field changed.
template <typename W>
bool replaceWidget(QPointer<W>& field, std::unique_ptr<W> next) {
    if (next.get() == field.data()) {
        (void)next.release();
        return false;
    }
    if (field) field->deleteLater();
    field = next.release();
    return true;
}

/// The capture draws the picture straight into the panel when it can; the stream's frames
/// then stay with the window system.
void showPictureThroughSurface(CaptureService& service, PiPPanel& panel, StreamManager& stream) {
    auto surface =
        panel.windowHandle() ? service.makePictureSurface(*panel.windowHandle()) : nullptr;
    panel.attachPictureSurface(surface);
    stream.setPictureSurface(surface);
}
}  // namespace

PiPServices PiPServices::real() {
    auto& p = Platform::real();
    return PiPServices{p.scheduler(),         AppSettings::shared(), p.captureService(),
                       p.panelWindowSystem(), p.windows(),           p.screens(),
                       p.permissions(),       p.application()};
}

PiPManager::PiPManager(const PiPServices& services, QObject* parent)
    : QObject(parent), services_(services), helpers_(services.windows) {
    activationObserver_ = connect(&services_.windows, &Windows::applicationActivated, this,
                                  &PiPManager::handleAppActivation);
    fullScreenObserver_ = connect(&services_.windows, &Windows::fullScreenOrDesktopChanged, this,
                                  &PiPManager::updateFullscreenSuppression);
}

PiPManager::~PiPManager() {
    disconnect(activationObserver_);
    disconnect(fullScreenObserver_);
    frameRateDebounceTimer_.reset();
    resizeDebounceTimer_.reset();
    hideAutoCloseTimer_.reset();
    if (streamManager_) streamManager_->stop();
    delete pipPanel_.data();
    delete regionSelectionPanel_.data();
}

PiPManager& PiPManager::shared() {
    static auto* manager = new PiPManager(PiPServices::real());
    return *manager;
}

// --- Properties ---------------------------------------------------------------------------

std::optional<WindowNumber> PiPManager::capturedWindowID() const { return capturedWindowID_; }
bool PiPManager::isHovering() const { return isHovering_; }
std::optional<AppIdentity> PiPManager::capturedApp() const { return capturedApp_; }
std::optional<ProcessID> PiPManager::capturedAppPID() const {
    return capturedApp_ ? capturedApp_->pid : std::nullopt;
}
std::optional<QString> PiPManager::capturedBundleID() const { return capturedBundleID_; }
PiPPanel* PiPManager::pipPanel() const { return pipPanel_.data(); }
StreamManager* PiPManager::streamManager() const { return streamManager_.get(); }
bool PiPManager::isPiPHidden() const { return isPiPHidden_; }
bool PiPManager::isPaused() const { return isPaused_; }
bool PiPManager::autoHideOverride() const { return autoHideOverride_; }
bool PiPManager::isFullscreenSuppressed() const { return isFullscreenSuppressed_; }
RegionSelectionPanel* PiPManager::regionSelectionPanel() const {
    return regionSelectionPanel_.data();
}
QSizeF PiPManager::sourceWindowSize() const { return sourceWindowSize_; }
QRectF PiPManager::currentSourceRect() const { return currentSourceRect_; }
bool PiPManager::hasFrameRateDebounceTimer() const { return frameRateDebounceTimer_ != nullptr; }
bool PiPManager::hasResizeDebounceTimer() const { return resizeDebounceTimer_ != nullptr; }
bool PiPManager::hasHideAutoCloseTimer() const { return hideAutoCloseTimer_ != nullptr; }

void PiPManager::setCapturedWindowID(std::optional<WindowNumber> value) {
    if (assign(capturedWindowID_, value)) emit capturedWindowIDChanged();
}
void PiPManager::setHovering(bool value) {
    if (assign(isHovering_, value)) emit hoverStateChanged();
}
void PiPManager::setPipPanel(std::unique_ptr<PiPPanel> panel) {
    if (replaceWidget(pipPanel_, std::move(panel))) emit hoverStateChanged();
}
void PiPManager::setPiPHidden(bool value) {
    if (assign(isPiPHidden_, value)) emit hoverStateChanged();
}
void PiPManager::setRegionSelectionPanel(std::unique_ptr<RegionSelectionPanel> panel) {
    replaceWidget(regionSelectionPanel_, std::move(panel));
}

void PiPManager::cancelTimer(std::unique_ptr<Timer>& timer) {
    if (!timer) return;
    timer->invalidate();
    timer.reset();
}

void PiPManager::scheduleOnce(std::unique_ptr<Timer>& timer, double seconds,
                              void (PiPManager::*action)()) {
    QPointer<PiPManager> self(this);
    std::unique_ptr<Timer>* slot = &timer;  // a field of this controller
    cancelTimer(timer);
    timer = services_.scheduler.schedule(seconds, false, [self, slot, action] {
        if (!self) return;
        cancelTimer(*slot);
        (self.data()->*action)();
    });
}

void PiPManager::setPanelAlpha(double alpha, bool animated) {
    if (!pipPanel_) return;
    if (animated)
        pipPanel_->animateAlphaValue(alpha);
    else
        pipPanel_->setAlphaValue(alpha);
    emit hoverStateChanged();
}

// --- Session lifecycle --------------------------------------------------------------------

QSizeF PiPManager::measureWindow(WindowNumber windowID) {
    const auto frame = helpers_.windowFrame(windowID);
    if (!frame || frame->isEmpty()) return {kFallbackWidth, kFallbackHeight};
    return frame->size();
}

void PiPManager::startPiP(const SourceWindow& window, std::optional<QRectF> sourceRect) {
    const WindowNumber windowID = window.windowID;
    setCapturedWindowID(windowID);
    capturedApp_ = window.application;
    // Frame rates are remembered per application name; a window without one has none.
    const std::optional<QString> bundleID = window.application.applicationID;
    capturedBundleID_ = bundleID;
    if (bundleID) {
        const auto rates = services_.settings.perAppFrameRates();
        if (rates.contains(*bundleID))
            services_.settings.setFrameRate(std::clamp(rates.value(*bundleID), 1, 60));
    }

    auto manager = std::make_shared<StreamManager>(services_.captureService, services_.settings,
                                                   services_.scheduler);
    QPointer<PiPManager> self(this);
    const std::weak_ptr<StreamManager> weakManager = manager;
    manager->onFrame = [self, weakManager](const Frame& frame) {
        // Frames of a stream that is no longer the session's are dropped.
        if (!self || !self->pipPanel_ || self->streamManager_ != weakManager.lock()) return;
        self->pipPanel_->captureView().setContents(frame);
    };
    manager->onStopped = [self, weakManager](std::optional<Error> error) {
        if (!self || !error || self->streamManager_ != weakManager.lock()) return;
        self->stopPiP();
    };
    streamManager_ = manager;
    streamWanted_ = true;
    restartWanted_ = false;

    const QSizeF size = measureWindow(windowID);
    sourceWindowSize_ = size;
    const QRectF rect =
        sourceRect ? PiPGeometry::denormalize(*sourceRect, size) : QRectF(QPointF(0, 0), size);
    currentSourceRect_ = rect;
    auto panel = makePanel(rect.width(), rect.height());
    wirePanel(*panel);
    setPipPanel(std::move(panel));
    showPictureThroughSurface(services_.captureService, *pipPanel_, *manager);
    if (sourceRect) pipPanel_->captureView().setZoomed(true);
    pipPanel_->orderFront();
    if (sourceRect) {
        const auto [w, h] = outputPixelSize(*pipPanel_);
        startCaptureTask(manager, windowID, w, h, rect);
    } else {
        startCaptureTask(manager, windowID, std::nullopt, std::nullopt, QRectF(0, 0, 0, 0));
    }
    updateFullscreenSuppression();
}

void PiPManager::startCaptureTask(const std::shared_ptr<StreamManager>& manager,
                                  WindowNumber windowID, std::optional<std::int64_t> width,
                                  std::optional<std::int64_t> height, const QRectF& sourceRect) {
    QPointer<PiPManager> self(this);
    // The start counts as an operation on the stream: pauses asked for meanwhile wait for it.
    streamBusy_ = true;
    services_.scheduler.post([self, manager, windowID, width, height, sourceRect] {
        manager->startCapture(
            windowID, width, height, sourceRect, [self, manager](std::optional<Error> error) {
                if (error)
                    logLine(QStringLiteral("Failed to start capture: ") + error->description);
                // A stream that has since been replaced must not touch
                // the newer session.
                if (!self || self->streamManager_ != manager) return;
                self->streamBusy_ = false;
                if (error) return self->stopPiP();
                self->driveStream();
            });
    });
}

std::unique_ptr<PiPPanel> PiPManager::makePanel(double sourceWidth, double sourceHeight) {
    std::optional<ScreenInfo> screen = services_.screens.mainScreen();
    if (!screen) {
        const auto all = services_.screens.screens();
        if (!all.empty()) screen = all.front();
    }
    const QSizeF source(sourceWidth, sourceHeight);
    const QRectF visible = screen ? screen->visibleFrame : QRectF();
    const QSizeF size = PiPGeometry::panelSize(services_.settings.pipWidth(), source, visible);
    // With no screen at all, the panel goes to the margin from the origin.
    const QRectF area = screen ? visible
                               : QRectF(0, 0, size.width() + 2 * PiPGeometry::kScreenMargin,
                                        size.height() + 2 * PiPGeometry::kScreenMargin);
    const PiPPosition position =
        PiPPositions::fromRawOrDefault(services_.settings.pipPositionRaw());
    auto panel = std::make_unique<PiPPanel>(PiPGeometry::placePanel(size, area, position),
                                            services_.panelWindowSystem, services_.settings);
    panel->setContentAspectRatio(source);
    panel->setContentMinSize(QSizeF(kMinimumContentSize, kMinimumContentSize));
    return panel;
}

void PiPManager::wirePanel(PiPPanel& panel) {
    QPointer<PiPManager> self(this);
    const QPointer<PiPPanel> me(&panel);
    // Callbacks of a panel that is no longer the session's do nothing.
    const auto current = [self, me] { return self && me && self->pipPanel_ == me; };
    panel.onClose = [self, current] {
        if (current()) self->stopPiP();
    };
    panel.onDoubleClick = [self, current] {
        if (!current()) return;
        self->bringSourceWindowToFront();
        self->stopPiP();
    };
    panel.onMouseEntered = [self, current] {
        if (current()) self->mouseEnteredPanel();
    };
    panel.onMouseExited = [self, current] {
        if (current()) self->mouseExitedPanel();
    };
    panel.onZoom = [self, current](QRectF selection) {
        if (current()) self->zoomToSelection(selection);
    };
    panel.onResetZoom = [self, current] {
        if (current()) self->resetZoom();
    };
    panel.onResize = [self, current](QSizeF size) {
        if (current()) self->panelResized(size);
    };
    panel.onFrameRateChanged = [self, current](int rate) {
        if (current()) self->frameRateChanged(rate);
    };
}

void PiPManager::stopPiP() {
    storePendingPipWidth();
    cancelTimer(frameRateDebounceTimer_);
    cancelTimer(resizeDebounceTimer_);
    cancelTimer(hideAutoCloseTimer_);
    if (streamManager_) {
        streamManager_->stop();
        streamManager_ = nullptr;
    }
    streamBusy_ = false;
    restartWanted_ = false;
    if (pipPanel_) {
        pipPanel_->orderOut();
        setPipPanel(nullptr);
    }
    if (regionSelectionPanel_) {
        regionSelectionPanel_->orderOut();
        setRegionSelectionPanel(nullptr);
    }
    setCapturedWindowID(std::nullopt);
    capturedApp_ = std::nullopt;
    capturedBundleID_ = std::nullopt;
    setPiPHidden(false);
    isPaused_ = false;
    setHovering(false);
    autoHideOverride_ = false;
    sourceWindowSize_ = QSizeF(0, 0);
    currentSourceRect_ = QRectF(0, 0, 0, 0);
    isFullscreenSuppressed_ = false;
}

// --- Stream operations --------------------------------------------------------------------

void PiPManager::pauseStream() {
    streamWanted_ = false;
    driveStream();
}

void PiPManager::resumeStream() {
    streamWanted_ = true;
    driveStream();
}

void PiPManager::restartStream() {
    if (!streamManager_ || !pipPanel_) return;
    restartWanted_ = true;
    driveStream();
}

void PiPManager::driveStream() {
    if (streamBusy_ || !streamManager_) return;
    const std::shared_ptr<StreamManager> manager = streamManager_;
    QPointer<PiPManager> self(this);
    // Each operation ends by looking again at what is wanted by then. After a failure the next
    // request tries again, not a loop of retries.
    const auto finished = [self, manager](const std::optional<Error>& error) {
        if (!self || self->streamManager_ != manager) return;
        self->streamBusy_ = false;
        if (!error) self->driveStream();
    };
    const bool active = manager->isStreamActive();
    if (!streamWanted_) {
        // A paused stream is rebuilt on resume anyway: a restart has nothing left to do.
        restartWanted_ = false;
        if (!active) return;
        streamBusy_ = true;
        services_.scheduler.post([manager, finished] { manager->stopCapture(finished); });
        return;
    }
    if (!active) {
        restartWanted_ = false;
        streamBusy_ = true;
        services_.scheduler.post([manager, finished] { manager->restartCapture(finished); });
        return;
    }
    if (!restartWanted_) return;
    restartWanted_ = false;
    streamBusy_ = true;
    Scheduler& scheduler = services_.scheduler;
    const auto report = [finished](std::optional<Error> error) {
        if (error)
            logLine(QStringLiteral("Failed to restart stream after frame rate change: ") +
                    error->description);
        finished(error);
    };
    scheduler.post([manager, &scheduler, report] {
        manager->stopCapture([manager, &scheduler, report](std::optional<Error> error) {
            if (error) return report(error);
            scheduler.postAfter(kRestartPause,
                                [manager, report] { manager->restartCapture(report); });
        });
    });
}

std::pair<std::int64_t, std::int64_t> PiPManager::outputPixelSize(const PiPPanel& panel) const {
    // The panel's own screen: monitors may differ in scale.
    std::optional<ScreenInfo> screen = services_.screens.mainScreen();
    for (const ScreenInfo& s : services_.screens.screens())
        if (s.frame.contains(panel.frame().center())) screen = s;
    const double ratio = screen ? screen->devicePixelRatio : kFallbackBackingScale;
    const QSize size = PiPGeometry::outputPixelSize(panel.frame().size(), ratio);
    return {size.width(), size.height()};
}

}  // namespace mirano
