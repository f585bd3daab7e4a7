#include "tests/fakes/FakeCaptureService.h"

#include "platform/x11/HeapFrameBuffer.h"

namespace mirano::fakes {

Frame makeMemoryFrame(int width, int height, const std::function<std::uint32_t(int, int)>& colour) {
    // 0xAARRGGBB stored little-endian is B, G, R, A in memory.
    std::vector<std::uint32_t> pixels(std::size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[std::size_t(y) * width + x] = colour(x, y);
    return std::make_shared<x11::HeapFrameBuffer>(
        width, height, reinterpret_cast<const std::uint8_t*>(pixels.data()));
}

Frame makeMemoryFrame(int width, int height, std::uint32_t argb) {
    return makeMemoryFrame(width, height, [argb](int, int) { return argb; });
}

FakeCaptureStream::FakeCaptureStream(FakeCaptureService& service, CapturableWindow window,
                                     StreamConfiguration configuration, FrameHandler onFrame,
                                     StreamStopHandler onStop)
    : window(std::move(window)),
      initialConfiguration(configuration),
      configuration(configuration),
      service_(service),
      onFrame_(std::move(onFrame)),
      onStop_(std::move(onStop)) {}

void FakeCaptureStream::startCapture(Completion done) {
    ++startCalls;
    if (!startError) running = true;
    service_.complete(std::move(done), startError);
}

void FakeCaptureStream::stopCapture(Completion done) {
    ++stopCalls;
    if (!stopError) running = false;
    service_.complete(std::move(done), stopError);
}

void FakeCaptureStream::updateConfiguration(const StreamConfiguration& c, Completion done) {
    updates.push_back(c);
    if (!updateError) configuration = c;
    service_.complete(std::move(done), updateError);
}

void FakeCaptureStream::emitFrame(const Frame& frame) {
    if (onFrame_) onFrame_(frame);
}

void FakeCaptureStream::emitStop(std::optional<Error> error) {
    running = false;
    if (onStop_) onStop_(std::move(error));
}

void FakeCaptureService::listWindows(WindowListHandler done) {
    ++windowQueries;
    auto windowsNow = contentError ? std::vector<CapturableWindow>{} : windows;
    auto error = contentError;
    complete(
        [done = std::move(done), windowsNow, error](std::optional<Error>) {
            if (done) done(windowsNow, error);
        },
        std::nullopt);
}

std::shared_ptr<CaptureStream> FakeCaptureService::makeStream(
    const CapturableWindow& window, const StreamConfiguration& configuration, FrameHandler onFrame,
    StreamStopHandler onStop) {
    auto stream = std::make_shared<FakeCaptureStream>(*this, window, configuration,
                                                      std::move(onFrame), std::move(onStop));
    stream->startError = startError;
    stream->stopError = stopError;
    stream->updateError = updateError;
    streams.push_back(stream);
    return stream;
}

void FakeCaptureService::complete(Completion done, std::optional<Error> error) {
    auto task = [done = std::move(done), error = std::move(error)] {
        if (done) done(error);
    };
    if (holdCompletions)
        held_.push_back(std::move(task));
    else
        scheduler_.post(std::move(task));
}

int FakeCaptureService::completeHeld() {
    int n = 0;
    while (!held_.empty()) {
        scheduler_.post(std::move(held_.front()));
        held_.pop_front();
        ++n;
    }
    return n;
}

}  // namespace mirano::fakes
