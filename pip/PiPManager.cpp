// The PiP controller's session start and stop, and where and how large a new panel is.
#include "pip/PiPManager.h"

#include <QSignalBlocker>
#include <algorithm>

#include "capture/StreamManager.h"
#include "pip/PiPGeometry.h"
#include "platform/CaptureService.h"
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

/// Puts `next` in the field. The old widget may be the sender of the signal that got us here,
/// so it is disconnected from `owner` and deleted later. Returns whether the field changed.
template <typename W>
bool replaceWidget(QPointer<W>& field, std::unique_ptr<W> next, QObject* owner) {
    if (next.get() == field.data()) {
        (void)next.release();
        return false;
    }
    if (field) {
        field->disconnect(owner);
        field->hide();
        field->deleteLater();
    }
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
    connect(&services_.windows, &Windows::applicationActivated, this,
            &PiPManager::handleAppActivation);
    connect(&services_.windows, &Windows::fullScreenOrDesktopChanged, this,
            &PiPManager::updateFullscreenSuppression);
    connect(&services_.screens, &Screens::changed, this, &PiPManager::screensChanged);
}

PiPManager::~PiPManager() {
    frameRateDebounceTimer_.reset();
    resizeDebounceTimer_.reset();
    hideAutoCloseTimer_.reset();
    if (streamManager_) {
        streamManager_->disconnect(this);
        streamManager_->stop();
    }
    delete pipPanel_.data();
    delete regionSelectionPanel_.data();
    dropStillStream();
}

PiPManager& PiPManager::shared() {
    static auto* manager = new PiPManager(PiPServices::real());
    return *manager;
}

std::optional<WindowNumber> PiPManager::capturedWindowID() const {
    return streamManager_ ? streamManager_->capturedWindowID() : std::nullopt;
}

PiPPanel* PiPManager::pipPanel() const { return pipPanel_.data(); }
RegionSelectionPanel* PiPManager::regionSelectionPanel() const {
    return regionSelectionPanel_.data();
}

bool PiPManager::isHoveringVisiblePiP() const {
    return pipPanel_ && visibility_.isHoveringVisible();
}

void PiPManager::setPipPanel(std::unique_ptr<PiPPanel> next) {
    if (replaceWidget(pipPanel_, std::move(next), this)) emit hoverStateChanged();
}

void PiPManager::setRegionSelectionPanel(std::unique_ptr<RegionSelectionPanel> next) {
    replaceWidget(regionSelectionPanel_, std::move(next), this);
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

// --- Session lifecycle --------------------------------------------------------------------

std::optional<QSizeF> PiPManager::measureWindow(WindowNumber windowID) {
    const auto frame = helpers_.windowFrame(windowID);
    if (!frame || frame->isEmpty()) return std::nullopt;
    return frame->size();
}

void PiPManager::startPiP(const SourceWindow& window, std::optional<QRectF> sourceRect) {
    startSession(window, sourceRect, measureWindow(window.windowID), nullptr);
}

void PiPManager::startSession(const SourceWindow& window, std::optional<QRectF> sourceRect,
                              std::optional<QSizeF> measured,
                              std::shared_ptr<StreamManager> stream) {
    const std::optional<WindowNumber> previous = capturedWindowID();
    capturedApp_ = window.application;
    visibility_ = PiPVisibility{};
    const QSizeF size = measured.value_or(QSizeF(kFallbackWidth, kFallbackHeight));
    // Some desktops (Wayland) tell a window's size only through its stream.
    windowSizePending_ = !measured && !sourceRect;
    // Frame rates are remembered per application id; a window without one has none.
    if (const auto& applicationID = window.application.applicationID) {
        const auto rates = services_.settings.perAppFrameRates();
        if (rates.contains(*applicationID))
            services_.settings.setFrameRate(std::clamp(rates.value(*applicationID), 1, 60));
    }

    const bool adopted = stream != nullptr;
    if (!adopted)
        stream = std::make_shared<StreamManager>(services_.captureService, services_.settings,
                                                 services_.scheduler);
    connect(stream.get(), &StreamManager::started, this, [this] { takeStreamWindowSize(nullptr); });
    // Shown at its first picture: no empty PiP, and none in the desktop's dialog meanwhile. A
    // PiP whose shape its pictures tell is shown once it has taken that shape (GNOME: a panel
    // reshaped after its first show kept the size first given, the picture cropped).
    connect(stream.get(), &StreamManager::pictureReady, this, [this] {
        if (!windowSizePending_) finishOpening();
    });
    // Where the shape comes from the stream, a size its pictures show later (the window's own
    // where the source reported its monitor's, or the window resized) reshapes the PiP.
    connect(stream.get(), &StreamManager::windowSizeChanged, this,
            [this, fromStream = windowSizePending_] {
                windowSizePending_ = fromStream;
                takeStreamWindowSize(nullptr);
            });
    connect(stream.get(), &StreamManager::frameArrived, this, [this](const Frame& frame) {
        takeStreamWindowSize(frame);
        if (pipPanel_) pipPanel_->captureView().setContents(frame);
    });
    connect(stream.get(), &StreamManager::stopped, this, [this](const std::optional<Error>& error) {
        if (error) stopPiP();
    });
    streamManager_ = stream;

    const std::optional<QRectF> region =
        sourceRect ? std::optional(PiPGeometry::denormalize(*sourceRect, size)) : std::nullopt;
    auto panel = makePanel(region ? region->size() : size, windowScreen(window.windowID));
    connectPanel(*panel);
    setPipPanel(std::move(panel));
    showPictureThroughSurface(services_.captureService, *pipPanel_, *stream);
    if (region) pipPanel_->captureView().setZoomed(true);
    // An adopted stream runs already; a new one shows the panel at its first picture.
    opening_ = true;
    if (adopted && region) finishOpening();
    if (adopted && region)
        stream->showRegionOf(size, *region, outputPixelSize(*pipPanel_));
    else
        stream->open(window.windowID, size, region, outputPixelSize(*pipPanel_));
    if (previous != window.windowID) emit capturedWindowIDChanged();
    updateFullscreenSuppression();
}

QRectF PiPManager::panelFrame(const QSizeF& source, int width,
                              const std::optional<ScreenInfo>& screen) const {
    const QRectF visible = screen ? screen->visibleFrame : QRectF();
    const QSizeF size = PiPGeometry::panelSize(width, source, visible);
    // With no screen at all, the panel goes to the margin from the origin.
    const QRectF area = screen ? visible
                               : QRectF(0, 0, size.width() + 2 * PiPGeometry::kScreenMargin,
                                        size.height() + 2 * PiPGeometry::kScreenMargin);
    const PiPPosition position =
        PiPPositions::fromRawOrDefault(services_.settings.pipPositionRaw());
    return PiPGeometry::placePanel(size, area, position);
}

std::optional<ScreenInfo> PiPManager::windowScreen(WindowNumber windowID) const {
    const auto all = services_.screens.screens();
    if (all.empty()) return std::nullopt;
    if (const auto frame = helpers_.windowFrame(windowID); frame && !frame->isEmpty())
        if (auto screen = PiPGeometry::screenHolding(all, *frame)) return screen;
    if (const auto name = services_.windows.screenName(windowID))
        for (const ScreenInfo& screen : all)
            if (screen.name == *name) return screen;
    const QRectF pointer(services_.screens.pointerPosition(), QSizeF());
    return PiPGeometry::screenHolding(all, pointer).value_or(all.front());
}

std::optional<ScreenInfo> PiPManager::panelScreen(const PiPPanel& panel) const {
    const auto all = services_.screens.screens();
    if (all.empty()) return std::nullopt;
    return PiPGeometry::screenHolding(all, panel.frame()).value_or(all.front());
}

void PiPManager::screensChanged() {
    if (!pipPanel_ || !streamManager_) return;
    // The window manager may already have pulled an edge of it onto a remaining screen.
    const QRectF centre(pipPanel_->frame().center(), QSizeF());
    if (PiPGeometry::screenHolding(services_.screens.screens(), centre)) return;
    // The main screen: the focused window's, else the mirrored one's.
    const auto focused = helpers_.focusedWindow();
    const auto windowID = focused ? std::optional(focused->windowID) : capturedWindowID();
    const auto screen = windowID ? windowScreen(*windowID) : panelScreen(*pipPanel_);
    // Its size on the screen that went is no width of the user's.
    pendingPipWidth_.reset();
    const int width = services_.settings.pipWidth();
    {
        // Not a resize of the user's: no width to store.
        const QSignalBlocker quiet(pipPanel_.data());
        pipPanel_->setFrame(panelFrame(pipPanel_->frame().size(), width, screen), true, false);
    }
    // This screen may have another scale.
    const QSize size = outputPixelSize(*pipPanel_);
    streamManager_->setLastOutputWidth(size.width());
    streamManager_->setLastOutputHeight(size.height());
    streamManager_->restart();
}

std::unique_ptr<PiPPanel> PiPManager::makePanel(const QSizeF& source,
                                                const std::optional<ScreenInfo>& screen) {
    auto panel =
        std::make_unique<PiPPanel>(panelFrame(source, services_.settings.pipWidth(), screen),
                                   services_.panelWindowSystem, services_.settings);
    panel->setContentAspectRatio(source);
    panel->setContentMinSize(QSizeF(kMinimumContentSize, kMinimumContentSize));
    return panel;
}

void PiPManager::connectPanel(PiPPanel& panel) {
    connect(&panel, &PiPPanel::closeRequested, this, &PiPManager::stopPiP);
    connect(&panel, &PiPPanel::doubleClicked, this, [this] {
        bringSourceWindowToFront();
        stopPiP();
    });
    connect(&panel, &PiPPanel::mouseEntered, this,
            [this] { applyVisibility(PiPVisibility::PointerEntered{autoHideOnHover()}); });
    connect(&panel, &PiPPanel::mouseExited, this,
            [this] { applyVisibility(PiPVisibility::PointerExited{autoHideOnHover()}); });
    connect(&panel, &PiPPanel::zoomRequested, this, &PiPManager::zoomToSelection);
    connect(&panel, &PiPPanel::zoomResetRequested, this, &PiPManager::resetZoom);
    connect(&panel, &PiPPanel::resized, this, &PiPManager::panelResized);
    connect(&panel, &PiPPanel::frameRateChosen, this, &PiPManager::frameRateChanged);
    connect(&panel, &PiPPanel::keyPressed, this, &PiPManager::panelKeyPressed);
}

void PiPManager::stopPiP() {
    const bool hadWindow = capturedWindowID().has_value();
    storePendingPipWidth();
    cancelTimer(frameRateDebounceTimer_);
    cancelTimer(resizeDebounceTimer_);
    cancelTimer(hideAutoCloseTimer_);
    if (const auto stream = std::exchange(streamManager_, nullptr)) {
        stream->disconnect(this);
        stream->stop();
    }
    setPipPanel(nullptr);
    setRegionSelectionPanel(nullptr);
    dropStillStream();
    capturedApp_ = std::nullopt;
    visibility_ = PiPVisibility{};
    windowSizePending_ = false;
    opening_ = false;
    if (hadWindow) emit capturedWindowIDChanged();
}

void PiPManager::chooseAnotherWindow() {
    const auto windowID = capturedWindowID();
    if (!windowID || !capturedApp_) return;
    const SourceWindow window{*windowID, *capturedApp_};
    stopPiP();
    if (const auto& applicationID = window.application.applicationID)
        services_.captureService.forgetConsent(*applicationID);
    startPiP(window, std::nullopt);
}

QSize PiPManager::outputPixelSize(const PiPPanel& panel) const {
    // The panel's own screen: monitors may differ in scale.
    const auto screen = panelScreen(panel);
    const double ratio = screen ? screen->devicePixelRatio : kFallbackBackingScale;
    return PiPGeometry::outputPixelSize(panel.frame().size(), ratio);
}

void PiPManager::bringSourceWindowToFront() {
    if (const auto windowID = capturedWindowID()) helpers_.bringWindowToFront(*windowID);
}

}  // namespace mirano
