// The capture service on X11: Composite, Damage, RENDER scaling and MIT-SHM frames, served by
// one capture thread.
#pragma once

#include <QByteArray>
#include <atomic>
#include <memory>

#include "platform/CaptureService.h"

namespace mirano {
class Scheduler;
}

namespace mirano::x11 {

class CaptureThread;

class X11CaptureService final : public CaptureService {
public:
    /// Completions are posted through `scheduler`, which must outlive the service. Connects to
    /// `display` ($DISPLAY when empty).
    explicit X11CaptureService(Scheduler& scheduler, const QByteArray& display = {});
    ~X11CaptureService() override;

    /// Why capture cannot work on this display, or nothing.
    std::optional<Error> unavailable() const;
    /// Stops and joins the capture thread, ending every stream without a word: for the end of
    /// the process, before the main event loop goes. Nothing is posted to the main thread after.
    void shutDown();

    void listWindows(WindowListHandler done) override;
    std::shared_ptr<CaptureStream> makeStream(const CapturableWindow& window,
                                              const StreamConfiguration& configuration,
                                              FrameHandler onFrame,
                                              StreamStopHandler onStop) override;
    std::shared_ptr<PictureSurface> makePictureSurface(QWindow& host) override;

private:
    Scheduler& scheduler_;
    std::shared_ptr<CaptureThread> thread_;
    std::atomic<std::uint64_t> nextStreamID_{1};
    std::uint64_t nextSurfaceID_ = 1;
};

}  // namespace mirano::x11
