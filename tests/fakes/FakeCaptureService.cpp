#include "tests/fakes/FakeCaptureService.h"

namespace mirano::fakes {

MemoryFrameBuffer::MemoryFrameBuffer(int width, int height, std::uint32_t argb)
    : width_(width), height_(height), pixels_(std::size_t(width) * height * 4) {
    for (std::size_t i = 0; i + 3 < pixels_.size(); i += 4) {
        pixels_[i] = argb & 0xff;
        pixels_[i + 1] = (argb >> 8) & 0xff;
        pixels_[i + 2] = (argb >> 16) & 0xff;
        pixels_[i + 3] = (argb >> 24) & 0xff;
    }
}

Frame makeMemoryFrame(int width, int height, std::uint32_t argb) {
    return std::make_shared<MemoryFrameBuffer>(width, height, argb);
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
