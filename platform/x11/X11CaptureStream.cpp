#include "platform/x11/X11CaptureStream.h"

#include "platform/Scheduler.h"
#include "platform/x11/CaptureThread.h"
#include "platform/x11/LogicalCoordinates.h"
#include "platform/x11/X11PictureSurface.h"

namespace mirano::x11 {

namespace {
Error streamError(const QString& text) { return Error{text}; }

/// The source rectangle arrives in logical pixels of the window; the server counts X pixels.
StreamConfiguration inPixels(StreamConfiguration c, double ratio) {
    c.sourceRect = QRectF(c.sourceRect.topLeft() * ratio, c.sourceRect.size() * ratio);
    return c;
}
}  // namespace

X11CaptureStream::X11CaptureStream(std::shared_ptr<CaptureThread> thread, Scheduler& scheduler,
                                   std::uint64_t id, const CapturableWindow& window,
                                   const StreamConfiguration& configuration, FrameHandler onFrame,
                                   StreamStopHandler onStop)
    : thread_(std::move(thread)),
      scheduler_(scheduler),
      id_(id),
      // The screen its frame was measured on (by its centre, as toLogical() does).
      ratio_(devicePixelRatioAt(window.frame.center())) {
    const xcb_window_t xid = window.windowID;
    thread_->post([id, xid, configuration = inPixels(configuration, ratio_),
                   onFrame = std::move(onFrame), onStop = std::move(onStop)](CaptureThread& t) {
        t.addCapture(
            id, std::make_unique<WindowCapture>(t.context(), xid, configuration, onFrame, onStop));
    });
}

X11CaptureStream::~X11CaptureStream() {
    const std::uint64_t id = id_;
    thread_->post([id](CaptureThread& t) { t.removeCapture(id); });
}

bool X11CaptureStream::presentInto(const std::shared_ptr<PictureSurface>& surface) {
    const auto* x11 = dynamic_cast<const X11PictureSurface*>(surface.get());
    if (!x11 || !x11->isValid()) return false;
    const std::uint64_t id = id_;
    const std::uint64_t surfaceID = x11->id();
    thread_->post([id, surfaceID](CaptureThread& t) {
        auto* capture = t.capture(id);
        auto presenter = t.presenter(surfaceID);
        if (capture && presenter) capture->setPresenter(std::move(presenter));
    });
    return true;
}

void X11CaptureStream::completeOnMain(Scheduler* scheduler, Completion done,
                                      std::optional<Error> error) {
    if (!done) return;
    scheduler->post([done = std::move(done), error = std::move(error)] { done(error); });
}

void X11CaptureStream::startCapture(Completion done) {
    if (auto unavailable = thread_->unavailable()) {
        completeOnMain(&scheduler_, std::move(done), unavailable);
        return;
    }
    const std::uint64_t id = id_;
    thread_->post([scheduler = &scheduler_, id, done = std::move(done)](CaptureThread& t) mutable {
        auto* capture = t.capture(id);
        completeOnMain(scheduler, std::move(done),
                       capture ? capture->start(WindowCapture::Clock::now())
                               : streamError(QStringLiteral("The stream is gone.")));
    });
}

void X11CaptureStream::stopCapture(Completion done) {
    const std::uint64_t id = id_;
    thread_->post([scheduler = &scheduler_, id, done = std::move(done)](CaptureThread& t) mutable {
        if (auto* capture = t.capture(id)) capture->stop();
        completeOnMain(scheduler, std::move(done), std::nullopt);
    });
}

void X11CaptureStream::updateConfiguration(const StreamConfiguration& configuration,
                                           Completion done) {
    const std::uint64_t id = id_;
    thread_->post([scheduler = &scheduler_, id, configuration = inPixels(configuration, ratio_),
                   done = std::move(done)](CaptureThread& t) mutable {
        auto* capture = t.capture(id);
        completeOnMain(scheduler, std::move(done),
                       capture ? capture->update(configuration)
                               : streamError(QStringLiteral("The stream is gone.")));
    });
}

}  // namespace mirano::x11
