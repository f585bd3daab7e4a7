// A capture service answering with scripted results; records every call and lets the test emit
// frames and stops as the capture thread would.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "platform/CaptureService.h"
#include "platform/HeapFrameBuffer.h"
#include "platform/Scheduler.h"

namespace mirano::fakes {

/// A new frame of that size, each pixel 0xAARRGGBB from `colour(x, y)`.
inline Frame makeMemoryFrame(int width, int height,
                             const std::function<std::uint32_t(int, int)>& colour) {
    // 0xAARRGGBB stored little-endian is B, G, R, A in memory.
    std::vector<std::uint32_t> pixels(std::size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[std::size_t(y) * width + x] = colour(x, y);
    return std::make_shared<HeapFrameBuffer>(width, height,
                                             reinterpret_cast<const std::uint8_t*>(pixels.data()));
}
/// A new frame of that size and colour.
inline Frame makeMemoryFrame(int width, int height, std::uint32_t argb = 0xff000000) {
    return makeMemoryFrame(width, height, [argb](int, int) { return argb; });
}

/// Hands a completion and its result on (through the service, which may hold it back).
using CompletionSink = std::function<void(Completion, std::optional<Error>)>;

struct FakeCaptureStream final : CaptureStream {
    FakeCaptureStream(CapturableWindow window, StreamConfiguration configuration,
                      FrameHandler onFrame, StreamStopHandler onStop, CompletionSink complete)
        : window(std::move(window)),
          initialConfiguration(configuration),
          configuration(configuration),
          onFrame_(std::move(onFrame)),
          onStop_(std::move(onStop)),
          complete_(std::move(complete)) {}

    void startCapture(Completion done) override {
        ++startCalls;
        running = running || !startError;
        complete_(std::move(done), startError);
    }
    void stopCapture(Completion done) override {
        ++stopCalls;
        running = running && stopError;
        complete_(std::move(done), stopError);
    }
    void updateConfiguration(const StreamConfiguration& c, Completion done) override {
        updates.push_back(c);
        if (!updateError) configuration = c;
        complete_(std::move(done), updateError);
    }

    bool canResume() const override { return resumable; }
    QSizeF windowSize() const override { return reportedWindowSize; }
    void setWindowSizeHandler(std::function<void()> f) override { onWindowSize_ = std::move(f); }
    bool setFirstPictureHandler(std::function<void()> handler) override {
        onPicture_ = std::move(handler);
        return tellsPicture;
    }
    /// The first picture comes, as a Wayland stream tells it (one that tells, `tellsPicture`).
    void showFirstPicture() { onPicture_(); }
    /// The stream learns the window's size from its pictures, as a Wayland stream does.
    void learnWindowSize(const QSizeF& size) {
        reportedWindowSize = size;
        if (onWindowSize_) onWindowSize_();
    }

    /// Hands a frame on, as the capture thread would (synchronously).
    void emitFrame(const Frame& frame) { onFrame_(frame); }
    /// Reports that the stream stopped by itself.
    void emitStop(std::optional<Error> error) {
        running = false;
        onStop_(std::move(error));
    }

    // Scripted results (the start error copied from the service's when the stream is made).
    std::optional<Error> startError, stopError, updateError;
    bool resumable = false, tellsPicture = false;
    QSizeF reportedWindowSize;

    // What happened.
    const CapturableWindow window;
    const StreamConfiguration initialConfiguration;
    /// The configuration now in force (the initial one, then each successful update).
    StreamConfiguration configuration;
    std::vector<StreamConfiguration> updates;
    int startCalls = 0, stopCalls = 0;
    bool running = false;

private:
    FrameHandler onFrame_;
    StreamStopHandler onStop_;
    std::function<void()> onWindowSize_, onPicture_;
    CompletionSink complete_;
};

struct FakeCaptureService final : CaptureService {
    /// Completions run through `scheduler`, so they arrive on the (fake) main queue.
    explicit FakeCaptureService(Scheduler& scheduler) : scheduler_(scheduler) {}

    void listWindows(WindowListHandler done) override {
        ++windowQueries;
        auto listed = contentError ? std::vector<CapturableWindow>{} : windows;
        complete(
            [done = std::move(done), listed, error = contentError](auto) { done(listed, error); });
    }
    std::shared_ptr<CaptureStream> makeStream(const CapturableWindow& window,
                                              const StreamConfiguration& configuration,
                                              FrameHandler onFrame,
                                              StreamStopHandler onStop) override {
        streams.push_back(std::make_shared<FakeCaptureStream>(
            window, configuration, std::move(onFrame), std::move(onStop),
            [this](Completion done, std::optional<Error> e) { complete(std::move(done), e); }));
        FakeCaptureStream& s = *streams.back();
        s.startError = startError, s.resumable = resumableStreams;
        s.tellsPicture = streamsTellPicture, s.reportedWindowSize = reportedWindowSize;
        return streams.back();
    }

    /// Scripts a capturable window with a frame of that size.
    void addWindow(WindowNumber id, double width, double height) {
        windows.push_back(CapturableWindow{id, QRectF(0, 0, width, height)});
    }
    /// The last stream made, or null.
    FakeCaptureStream* lastStream() const { return streams.empty() ? nullptr : &*streams.back(); }

    /// Runs `done` with `error` on the scheduler, or keeps it for completeHeld() while
    /// `holdCompletions` is set.
    void complete(Completion done, std::optional<Error> error = std::nullopt) {
        auto task = [done = std::move(done), error = std::move(error)] { done(error); };
        holdCompletions ? held_.push_back(std::move(task)) : scheduler_.post(std::move(task));
    }
    /// Releases the completions kept while `holdCompletions` was set, in order, onto the scheduler.
    void completeHeld() {
        for (; !held_.empty(); held_.pop_front()) scheduler_.post(std::move(held_.front()));
    }

    // Scripted results; `startError`, `resumableStreams`, `streamsTellPicture` and
    // `reportedWindowSize` are given to each new stream.
    std::vector<CapturableWindow> windows;
    std::optional<Error> contentError, startError;
    bool resumableStreams = false, streamsTellPicture = false;
    QSizeF reportedWindowSize;
    bool holdCompletions = false;

    // What happened.
    int windowQueries = 0;
    std::vector<std::shared_ptr<FakeCaptureStream>> streams;

private:
    Scheduler& scheduler_;
    std::deque<std::function<void()>> held_;
};

}  // namespace mirano::fakes
