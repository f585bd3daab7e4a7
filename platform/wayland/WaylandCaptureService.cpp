// Lists the windows the windows service knows and opens portal streams of them.
#include "platform/wayland/WaylandCaptureService.h"

#include <QDBusConnection>

#include "platform/Scheduler.h"
#include "platform/wayland/pipewire/PipeWireCaptureStream.h"
#include "platform/wayland/portal/PortalNodeSource.h"
#include "platform/wayland/present/WaylandPictureSurface.h"

namespace mirano::wayland {

WaylandCaptureService::WaylandCaptureService(Scheduler& scheduler, WindowList listed,
                                             const QString& tokenPath)
    : scheduler_(scheduler), listed_(std::move(listed)), tokens_(tokenPath) {}

WaylandCaptureService::~WaylandCaptureService() = default;

void WaylandCaptureService::listWindows(WindowListHandler done) {
    std::vector<CapturableWindow> windows;
    for (const SourceWindow& listed : listed_())
        windows.push_back(CapturableWindow{listed.windowID, QRectF()});
    scheduler_.post([done = std::move(done), windows = std::move(windows)]() mutable {
        done(std::move(windows), std::nullopt);
    });
}

std::shared_ptr<CaptureStream> WaylandCaptureService::makeStream(
    const CapturableWindow& window, const StreamConfiguration& configuration, FrameHandler onFrame,
    StreamStopHandler onStop) {
    QString applicationId;
    for (const SourceWindow& listed : listed_())
        if (listed.windowID == window.windowID)
            applicationId = listed.application.applicationID.value_or(QString());
    // The portal withdrawing the consent ends the stream as its own end would.
    auto source = std::make_unique<PortalNodeSource>(QDBusConnection::sessionBus(), tokens_,
                                                     applicationId, onStop);
    return std::make_shared<PipeWireCaptureStream>(std::move(source), scheduler_, window,
                                                   configuration, std::move(onFrame),
                                                   std::move(onStop));
}

void WaylandCaptureService::forgetConsent(const QString& applicationId) {
    if (!applicationId.isEmpty()) tokens_.setToken(applicationId, QString());
}

std::shared_ptr<PictureSurface> WaylandCaptureService::makePictureSurface(QWindow& host) {
    return WaylandPictureSurface::make(host);
}

}  // namespace mirano::wayland
