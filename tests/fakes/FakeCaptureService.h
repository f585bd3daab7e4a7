// A capture service answering with scripted results; records every call and lets the test emit
// frames and stops as the capture thread would.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "platform/CaptureService.h"
#include "platform/Scheduler.h"

namespace mirano::fakes {

/// A new frame of that size, each pixel 0xAARRGGBB from `colour(x, y)`.
Frame makeMemoryFrame(int width, int height, const std::function<std::uint32_t(int, int)>& colour);
/// A new frame of that size and colour.
Frame makeMemoryFrame(int width, int height, std::uint32_t argb = 0xff000000);

class FakeCaptureService;

class FakeCaptureStream final : public CaptureStream {
public:
    FakeCaptureStream(FakeCaptureService& service, CapturableWindow window,
                      StreamConfiguration configuration, FrameHandler onFrame,
                      StreamStopHandler onStop);

    void startCapture(Completion done) override;
    void stopCapture(Completion done) override;
    void updateConfiguration(const StreamConfiguration& configuration, Completion done) override;

    /// Hands a frame on, as the capture thread would (synchronously).
    void emitFrame(const Frame& frame);
    /// Reports that the stream stopped by itself.
    void emitStop(std::optional<Error> error);

    // Scripted results (copied from the service's when the stream is made).
    std::optional<Error> startError;
    std::optional<Error> stopError;
    std::optional<Error> updateError;

    // What happened.
    const CapturableWindow window;
    const StreamConfiguration initialConfiguration;
    /// The configuration now in force (the initial one, then each successful update).
    StreamConfiguration configuration;
    std::vector<StreamConfiguration> updates;
    int startCalls = 0;
    int stopCalls = 0;
    bool running = false;

private:
    FakeCaptureService& service_;
    FrameHandler onFrame_;
    StreamStopHandler onStop_;
};

class FakeCaptureService final : public CaptureService {
public:
    /// Completions run through `scheduler`, so they arrive on the (fake) main queue.
    explicit FakeCaptureService(Scheduler& scheduler) : scheduler_(scheduler) {}

    void listWindows(WindowListHandler done) override;
    std::shared_ptr<CaptureStream> makeStream(const CapturableWindow& window,
                                              const StreamConfiguration& configuration,
                                              FrameHandler onFrame,
                                              StreamStopHandler onStop) override;

    /// Scripts a capturable window with a frame of that size.
    void addWindow(WindowNumber id, double width, double height) {
        windows.push_back(CapturableWindow{id, QRectF(0, 0, width, height)});
    }
    /// The last stream made, or null.
    FakeCaptureStream* lastStream() const {
        return streams.empty() ? nullptr : streams.back().get();
    }

    /// Runs `done` with `error` on the scheduler, or keeps it for completeHeld() while
    /// `holdCompletions` is set.
    void complete(Completion done, std::optional<Error> error);
    /// Releases the completions kept while `holdCompletions` was set, in order, onto the scheduler.
    int completeHeld();

    // Scripted results.
    std::vector<CapturableWindow> windows;
    std::optional<Error> contentError;
    /// Given to each new stream.
    std::optional<Error> startError;
    std::optional<Error> stopError;
    std::optional<Error> updateError;
    bool holdCompletions = false;

    // What happened.
    int windowQueries = 0;
    std::vector<std::shared_ptr<FakeCaptureStream>> streams;

private:
    Scheduler& scheduler_;
    std::deque<std::function<void()>> held_;
};

}  // namespace mirano::fakes
