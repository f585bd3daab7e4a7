// The PiP controller's state, session start and stop, panel placement and stream operations.
#include "pip/PiPManager.h"

#include "capture/StreamManager.h"
#include "platform/CaptureService.h"
#include "platform/Platform.h"
#include "platform/Screens.h"
#include "platform/Scheduler.h"
#include "platform/WindowList.h"
#include "platform/Workspace.h"
#include "region/RegionSelectionPanel.h"
#include "settings/AppSettings.h"
#include "settings/PiPPosition.h"
#include "window/CaptureView.h"
#include "window/PiPPanel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mirano {

namespace {
constexpr double kDefaultPanelWidth = 320;
constexpr double kScreenMargin = 16;
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
    auto surface = panel.windowHandle() ? service.makePictureSurface(*panel.windowHandle())
                                        : nullptr;
    panel.attachPictureSurface(surface);
    stream.setPictureSurface(surface);
}
}  // namespace

PiPServices PiPServices::real() {
    auto& p = Platform::real();
    return PiPServices{p.scheduler(),     AppSettings::shared(), p.captureService(),
                       p.panelWindowSystem(), p.workspace(),     p.accessibility(),
                       p.windowList(),    p.screens(),           p.windowServer(),
                       p.permissions(),   p.application()};
}

PiPManager::PiPManager(const PiPServices& services, QObject* parent)
    : QObject(parent),
      services_(services),
      helpers_(services.workspace, services.accessibility, services.windowList, services.screens,
               services.windowServer) {
    QPointer<PiPManager> self(this);
    workspaceObserver_ = connect(&services_.workspace, &Workspace::didActivateApplication, this,
                                 [self](const ActivationNotification& notification) {
                                     if (self) self->handleAppActivation(notification);
                                 });
    activeSpaceObserver_ = connect(&services_.workspace, &Workspace::activeSpaceDidChange, this,
                                   [self] {
                                       if (self) self->updateFullscreenSuppression();
                                   });
}

PiPManager::~PiPManager() {
    disconnect(workspaceObserver_);
    disconnect(activeSpaceObserver_);
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
std::optional<WindowElement> PiPManager::capturedWindowElement() const {
    return capturedWindowElement_;
}
std::optional<ProcessID> PiPManager::capturedAppPID() const { return capturedAppPID_; }
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
    if (!assign(isHovering_, value)) return;
    emit isHoveringChanged();
    emit hoverStateChanged();
}
void PiPManager::setCapturedWindowElement(std::optional<WindowElement> value) {
    if (assign(capturedWindowElement_, value)) emit capturedWindowElementChanged();
}
void PiPManager::setCapturedAppPID(std::optional<ProcessID> value) {
    if (assign(capturedAppPID_, value)) emit capturedAppPIDChanged();
}
void PiPManager::setCapturedBundleID(std::optional<QString> value) {
    if (assign(capturedBundleID_, std::move(value))) emit capturedBundleIDChanged();
}
void PiPManager::setPipPanel(std::unique_ptr<PiPPanel> panel) {
    if (!replaceWidget(pipPanel_, std::move(panel))) return;
    emit pipPanelChanged();
    emit hoverStateChanged();
}
void PiPManager::setStreamManager(std::shared_ptr<StreamManager> manager) {
    if (assign(streamManager_, std::move(manager))) emit streamManagerChanged();
}
void PiPManager::setPiPHidden(bool value) {
    if (!assign(isPiPHidden_, value)) return;
    emit isPiPHiddenChanged();
    emit hoverStateChanged();
}
void PiPManager::setPaused(bool value) {
    if (assign(isPaused_, value)) emit isPausedChanged();
}
void PiPManager::setAutoHideOverride(bool value) {
    if (assign(autoHideOverride_, value)) emit autoHideOverrideChanged();
}
void PiPManager::setFullscreenSuppressed(bool value) {
    if (assign(isFullscreenSuppressed_, value)) emit isFullscreenSuppressedChanged();
}
void PiPManager::setRegionSelectionPanel(std::unique_ptr<RegionSelectionPanel> panel) {
    if (replaceWidget(regionSelectionPanel_, std::move(panel))) emit regionSelectionPanelChanged();
}
void PiPManager::setSourceWindowSize(const QSizeF& value) {
    if (assign(sourceWindowSize_, value)) emit sourceWindowSizeChanged();
}
void PiPManager::setCurrentSourceRect(const QRectF& value) {
    if (assign(currentSourceRect_, value)) emit currentSourceRectChanged();
}

void PiPManager::cancelTimer(std::unique_ptr<Timer>& timer, void (PiPManager::*changed)()) {
    if (!timer) return;
    timer->invalidate();
    timer.reset();
    emit(this->*changed)();
}

void PiPManager::replaceTimer(std::unique_ptr<Timer>& timer, std::unique_ptr<Timer> next,
                              void (PiPManager::*changed)()) {
    if (timer) timer->invalidate();
    timer = std::move(next);
    emit(this->*changed)();
}

void PiPManager::scheduleOnce(std::unique_ptr<Timer>& timer, double seconds,
                              void (PiPManager::*action)(), void (PiPManager::*changed)()) {
    QPointer<PiPManager> self(this);
    std::unique_ptr<Timer>* slot = &timer;  // a field of this controller
    replaceTimer(timer,
                 services_.scheduler.schedule(seconds, false,
                                              [self, slot, action, changed] {
                                                  if (!self) return;
                                                  self->cancelTimer(*slot, changed);
                                                  (self.data()->*action)();
                                              }),
                 changed);
}

void PiPManager::setPanelAlpha(double alpha, bool animated) {
    if (!pipPanel_) return;
    if (animated)
        pipPanel_->animateAlphaValue(alpha);
    else
        pipPanel_->setAlphaValue(alpha);
    emit hoverStateChanged();
}

void PiPManager::log(const QString& line) {
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// --- Session lifecycle --------------------------------------------------------------------

QSizeF PiPManager::measureWindow(WindowNumber windowID) {
    const auto list =
        services_.windowList.copyWindowInfo(kWindowListOptionIncludingWindow, windowID);
    if (!list || list->empty() || !list->front().bounds) return {kFallbackWidth, kFallbackHeight};
    const WindowBounds& bounds = *list->front().bounds;
    return {bounds.width.value_or(kFallbackWidth), bounds.height.value_or(kFallbackHeight)};
}

void PiPManager::startPiP(WindowElement element, WindowNumber windowID, ProcessID pid,
                          std::optional<QRectF> sourceRect) {
    setCapturedWindowElement(element);
    setCapturedWindowID(windowID);
    setCapturedAppPID(pid);

    std::optional<QString> bundleID;
    if (const auto app = services_.workspace.runningApplication(pid)) bundleID = app->bundleIdentifier;
    setCapturedBundleID(bundleID);

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
    setStreamManager(manager);

    const QSizeF size = measureWindow(windowID);
    setSourceWindowSize(size);

    if (!sourceRect) {
        setCurrentSourceRect(QRectF(0, 0, size.width(), size.height()));
        auto panel = makePanel(size.width(), size.height());
        wirePanel(*panel);
        setPipPanel(std::move(panel));
        showPictureThroughSurface(services_.captureService, *pipPanel_, *manager);
        pipPanel_->orderFront();
        startCaptureTask(manager, windowID, std::nullopt, std::nullopt, QRectF(0, 0, 0, 0));
    } else {
        const QRectF rect(size.width() * sourceRect->x(), size.height() * sourceRect->y(),
                          size.width() * sourceRect->width(), size.height() * sourceRect->height());
        setCurrentSourceRect(rect);
        auto panel = makePanel(rect.width(), rect.height());
        wirePanel(*panel);
        setPipPanel(std::move(panel));
        showPictureThroughSurface(services_.captureService, *pipPanel_, *manager);
        pipPanel_->captureView().setZoomed(true);
        pipPanel_->orderFront();
        const auto [w, h] = outputPixelSize(*pipPanel_);
        startCaptureTask(manager, windowID, w, h, rect);
    }

    updateFullscreenSuppression();
}

void PiPManager::startCaptureTask(const std::shared_ptr<StreamManager>& manager,
                                  WindowNumber windowID, std::optional<std::int64_t> width,
                                  std::optional<std::int64_t> height, const QRectF& sourceRect) {
    QPointer<PiPManager> self(this);
    services_.scheduler.post([self, manager, windowID, width, height, sourceRect] {
        manager->startCapture(windowID, width, height, sourceRect,
                              [self, manager](std::optional<Error> error) {
                                  if (!error) {
                                      // A pause asked for while the start was under way found
                                      // no stream to stop: apply it now.
                                      if (self && self->streamManager_ == manager &&
                                          (self->isFullscreenSuppressed_ || self->isPaused_ ||
                                           self->isPiPHidden_))
                                          self->pauseStream();
                                      return;
                                  }
                                  log(QStringLiteral("Failed to start capture: ") +
                                      error->description);
                                  // A failure of a stream that has since been replaced must not
                                  // end the newer session.
                                  if (self && self->streamManager_ == manager) self->stopPiP();
                              });
    });
}

std::unique_ptr<PiPPanel> PiPManager::makePanel(double sourceWidth, double sourceHeight) {
    const int pipWidth = services_.settings.pipWidth();
    const double pw = pipWidth > kPipWidthFloor ? double(pipWidth) : kDefaultPanelWidth;
    const double ph = sourceHeight / std::max(sourceWidth, 1.0) * pw;

    std::optional<ScreenInfo> screen = services_.screens.mainScreen();
    if (!screen) {
        const auto all = services_.screens.screens();
        if (!all.empty()) screen = all.front();
    }
    // With no screen at all, the panel goes to the margin from the origin in every corner.
    const QRectF v = screen ? screen->visibleFrame
                            : QRectF(0, 0, pw + 2 * kScreenMargin, ph + 2 * kScreenMargin);

    // Screen points grow upwards: the rectangle's y is its bottom edge.
    const double minX = v.x(), maxX = v.x() + v.width();
    const double minY = v.y(), maxY = v.y() + v.height();
    double x = maxX - pw - kScreenMargin;
    double y = minY + kScreenMargin;
    switch (PiPPositions::fromRawOrDefault(services_.settings.pipPositionRaw())) {
        case PiPPosition::bottomRight:
            break;
        case PiPPosition::bottomLeft:
            x = minX + kScreenMargin;
            break;
        case PiPPosition::topRight:
            y = maxY - ph - kScreenMargin;
            break;
        case PiPPosition::topLeft:
            x = minX + kScreenMargin;
            y = maxY - ph - kScreenMargin;
            break;
    }

    auto panel = std::make_unique<PiPPanel>(QRectF(x, y, pw, ph), services_.panelWindowSystem,
                                            services_.settings);
    panel->setContentAspectRatio(QSizeF(sourceWidth, sourceHeight));
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
    cancelTimer(frameRateDebounceTimer_, &PiPManager::frameRateDebounceTimerChanged);
    cancelTimer(resizeDebounceTimer_, &PiPManager::resizeDebounceTimerChanged);
    cancelTimer(hideAutoCloseTimer_, &PiPManager::hideAutoCloseTimerChanged);

    if (streamManager_) {
        streamManager_->stop();
        setStreamManager(nullptr);
    }
    if (pipPanel_) {
        pipPanel_->orderOut();
        setPipPanel(nullptr);
    }
    if (regionSelectionPanel_) {
        regionSelectionPanel_->orderOut();
        setRegionSelectionPanel(nullptr);
    }
    setCapturedWindowElement(std::nullopt);
    setCapturedWindowID(std::nullopt);
    setCapturedAppPID(std::nullopt);
    setCapturedBundleID(std::nullopt);
    setPiPHidden(false);
    setPaused(false);
    setHovering(false);
    setAutoHideOverride(false);
    setSourceWindowSize(QSizeF(0, 0));
    setCurrentSourceRect(QRectF(0, 0, 0, 0));
    setFullscreenSuppressed(false);
}

// --- Stream operations --------------------------------------------------------------------

void PiPManager::pauseStream() {
    QPointer<PiPManager> self(this);
    services_.scheduler.post([self] {
        if (self && self->streamManager_) self->streamManager_->stopCapture([](auto) {});
    });
}

void PiPManager::resumeStream() {
    QPointer<PiPManager> self(this);
    services_.scheduler.post([self] {
        if (self && self->streamManager_) self->streamManager_->restartCapture([](auto) {});
    });
}

void PiPManager::restartStream() {
    if (!streamManager_ || !pipPanel_) return;
    const std::shared_ptr<StreamManager> manager = streamManager_;
    Scheduler& scheduler = services_.scheduler;
    const auto report = [](const Error& error) {
        log(QStringLiteral("Failed to restart stream after frame rate change: ") +
            error.description);
    };
    scheduler.post([manager, &scheduler, report] {
        manager->stopCapture([manager, &scheduler, report](std::optional<Error> error) {
            if (error) return report(*error);
            scheduler.postAfter(kRestartPause, [manager, report] {
                manager->restartCapture([report](std::optional<Error> error) {
                    if (error) report(*error);
                });
            });
        });
    });
}

std::pair<std::int64_t, std::int64_t> PiPManager::outputPixelSize(const PiPPanel& panel) const {
    const auto main = services_.screens.mainScreen();
    const double scale = main ? main->backingScaleFactor : kFallbackBackingScale;
    const QRectF frame = panel.frame();
    return {static_cast<std::int64_t>(scale * frame.width()),
            static_cast<std::int64_t>(scale * frame.height())};
}

}  // namespace mirano
