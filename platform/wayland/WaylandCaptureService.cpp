// Lists the toplevels and opens portal streams of them.
#include "platform/wayland/WaylandCaptureService.h"

#include <QDBusConnection>

#include "platform/Scheduler.h"
#include "platform/wayland/PipeWireCaptureStream.h"
#include "platform/wayland/PortalNodeSource.h"
#include "platform/wayland/ToplevelList.h"
#include "platform/wayland/WaylandPictureSurface.h"

namespace mirano::wayland {

WaylandCaptureService::WaylandCaptureService(Scheduler& scheduler,
                                             std::shared_ptr<ToplevelList> toplevels,
                                             const QString& tokenPath)
    : scheduler_(scheduler), toplevels_(std::move(toplevels)), tokens_(tokenPath) {}

WaylandCaptureService::~WaylandCaptureService() = default;

void WaylandCaptureService::listWindows(WindowListHandler done) {
    std::vector<CapturableWindow> windows;
    if (toplevels_ && toplevels_->isAvailable())
        for (const Toplevel& toplevel : toplevels_->toplevels())
            windows.push_back(CapturableWindow{toplevel.number, QRectF()});
    scheduler_.post([done = std::move(done), windows = std::move(windows)]() mutable {
        done(std::move(windows), std::nullopt);
    });
}

std::shared_ptr<CaptureStream> WaylandCaptureService::makeStream(
    const CapturableWindow& window, const StreamConfiguration& configuration, FrameHandler onFrame,
    StreamStopHandler onStop) {
    const Toplevel* toplevel = toplevels_ ? toplevels_->find(window.windowID) : nullptr;
    const QString applicationId = toplevel ? toplevel->appId : QString();
    auto source =
        std::make_unique<PortalNodeSource>(QDBusConnection::sessionBus(), tokens_, applicationId);
    return std::make_shared<PipeWireCaptureStream>(std::move(source), scheduler_, window,
                                                   configuration, std::move(onFrame),
                                                   std::move(onStop));
}

std::shared_ptr<PictureSurface> WaylandCaptureService::makePictureSurface(QWindow& host) {
    return WaylandPictureSurface::make(host);
}

}  // namespace mirano::wayland
