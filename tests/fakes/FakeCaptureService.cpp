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

FakeCaptureStream::FakeCaptureStream(FakeCaptureService& service, ContentFilter filter,
                                     StreamConfiguration configuration, StreamStopHandler onStop)
    : filter(std::move(filter)),
      initialConfiguration(configuration),
      configuration(configuration),
      service_(service),
      onStop_(std::move(onStop)) {}

std::optional<Error> FakeCaptureStream::addStreamOutput(StreamOutputType type,
                                                        SampleHandler handler) {
    if (addOutputError) return addOutputError;
    outputs.emplace_back(type, std::move(handler));
    return std::nullopt;
}

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

void FakeCaptureStream::emitSample(const StreamSample& sample) {
    for (const auto& [type, handler] : outputs)
        if (handler) handler(sample);
}

void FakeCaptureStream::emitFrame(const Frame& frame) {
    emitSample(StreamSample{StreamOutputType::screen, frame});
}

void FakeCaptureStream::emitStop(std::optional<Error> error) {
    running = false;
    if (onStop_) onStop_(std::move(error));
}

void FakeCaptureService::getShareableContent(bool excludingDesktopWindows,
                                             bool onScreenWindowsOnly,
                                             ShareableContentHandler done) {
    contentQueries.emplace_back(excludingDesktopWindows, onScreenWindowsOnly);
    auto windowsNow = contentError ? std::vector<ShareableWindow>{} : windows;
    auto error = contentError;
    complete(
        [done = std::move(done), windowsNow, error](std::optional<Error>) {
            if (done) done(windowsNow, error);
        },
        std::nullopt);
}

std::shared_ptr<CaptureStream> FakeCaptureService::makeStream(
    const ContentFilter& filter, const StreamConfiguration& configuration,
    StreamStopHandler onStop) {
    auto stream =
        std::make_shared<FakeCaptureStream>(*this, filter, configuration, std::move(onStop));
    stream->addOutputError = addOutputError;
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
    if (holdCompletions) held_.push_back(std::move(task));
    else scheduler_.post(std::move(task));
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
