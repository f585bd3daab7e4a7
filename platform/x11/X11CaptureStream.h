// The main thread's handle on one window capture that lives on the capture thread.
#pragma once

#include <memory>

#include "platform/CaptureService.h"

namespace mirano {
class Scheduler;
}

namespace mirano::x11 {

class CaptureThread;

/// Every call is forwarded to the capture thread in order; completions come back through the
/// scheduler. Releasing the handle ends the capture.
class X11CaptureStream final : public CaptureStream {
public:
    X11CaptureStream(std::shared_ptr<CaptureThread> thread, Scheduler& scheduler, std::uint64_t id,
                     const CapturableWindow& window, const StreamConfiguration& configuration,
                     FrameHandler onFrame, StreamStopHandler onStop);
    ~X11CaptureStream() override;

    void startCapture(Completion done) override;
    void stopCapture(Completion done) override;
    void updateConfiguration(const StreamConfiguration& configuration, Completion done) override;
    /// Surfaces of this service only (X11PictureSurface).
    bool presentInto(const std::shared_ptr<PictureSurface>& surface) override;

private:
    /// Tasks on the capture thread may outlive this handle, so they carry the scheduler.
    static void completeOnMain(Scheduler* scheduler, Completion done, std::optional<Error> error);

    std::shared_ptr<CaptureThread> thread_;
    Scheduler& scheduler_;
    const std::uint64_t id_;
    /// Device pixels per logical pixel of the window's screen.
    const double ratio_;
};

}  // namespace mirano::x11
