#include "platform/x11/X11CaptureService.h"

#include "platform/Scheduler.h"
#include "platform/x11/CaptureThread.h"
#include "platform/x11/LogicalCoordinates.h"
#include "platform/x11/X11CaptureStream.h"
#include "platform/x11/X11PictureSurface.h"

namespace mirano::x11 {

X11CaptureService::X11CaptureService(Scheduler& scheduler, const QByteArray& display)
    : scheduler_(scheduler), thread_(std::make_shared<CaptureThread>(display)) {}

// Streams may still hold the thread, but none of its completions may reach the scheduler
// once this service (and what it was given) is gone.
X11CaptureService::~X11CaptureService() { thread_->shutDown(); }

std::optional<Error> X11CaptureService::unavailable() const { return thread_->unavailable(); }

void X11CaptureService::shutDown() { thread_->shutDown(); }

std::shared_ptr<PictureSurface> X11CaptureService::makePictureSurface(QWindow& host) {
    if (!thread_->serverDrawsPictures()) return nullptr;
    auto surface = std::make_shared<X11PictureSurface>(thread_, nextSurfaceID_++, host);
    if (!surface->isValid()) return nullptr;
    return surface;
}

void X11CaptureService::listWindows(WindowListHandler done) {
    // Every client window is offered, mapped or not (an unmapped window shows its last frame
    // once it is mapped again).
    Scheduler* scheduler = &scheduler_;
    if (auto unavailable = thread_->unavailable()) {
        scheduler->post([done = std::move(done), error = *unavailable] {
            if (done) done({}, error);
        });
        return;
    }
    thread_->post([scheduler, done = std::move(done)](CaptureThread& t) mutable {
        auto clients = t.clientWindows();
        scheduler->post([done = std::move(done), clients = std::move(clients)] {
            std::vector<CapturableWindow> windows;
            windows.reserve(clients.size());
            for (const auto& c : clients)
                windows.push_back(
                    CapturableWindow{c.window, toLogical(QRect(c.x, c.y, c.width, c.height))});
            if (done) done(std::move(windows), std::nullopt);
        });
    });
}

std::shared_ptr<CaptureStream> X11CaptureService::makeStream(
    const CapturableWindow& window, const StreamConfiguration& configuration, FrameHandler onFrame,
    StreamStopHandler onStop) {
    return std::make_shared<X11CaptureStream>(thread_, scheduler_, nextStreamID_++, window,
                                              configuration, std::move(onFrame), std::move(onStop));
}

}  // namespace mirano::x11
