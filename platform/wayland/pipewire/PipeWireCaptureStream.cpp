#include "platform/wayland/pipewire/PipeWireCaptureStream.h"

#include <algorithm>
#include <cmath>

#include "platform/Scheduler.h"

namespace mirano::wayland {

namespace {
Error streamError(const QString& text) { return Error{text}; }
}  // namespace

PipeWireCaptureStream::PipeWireCaptureStream(std::unique_ptr<NodeSource> source,
                                             Scheduler& scheduler, const CapturableWindow& window,
                                             const StreamConfiguration& configuration,
                                             FrameHandler onFrame, StreamStopHandler onStop)
    : source_(std::move(source)),
      scheduler_(scheduler),
      logicalSize_(window.frame.size()),
      configuration_(configuration),
      onFrame_(std::move(onFrame)),
      onStop_(std::move(onStop)) {}

PipeWireCaptureStream::~PipeWireCaptureStream() {
    consumer_.reset();
    source_.reset();
}

void PipeWireCaptureStream::completeLater(Completion done, std::optional<Error> error) {
    if (!done) return;
    scheduler_.post([done = std::move(done), error = std::move(error)] { done(error); });
}

PipeWireConsumer::Settings PipeWireCaptureStream::settings() {
    std::weak_ptr<int> alive = alive_;
    auto* self = this;
    Scheduler* scheduler = &scheduler_;
    auto onContentSize = [alive, self, scheduler](QSize content) {
        scheduler->post([alive, self, content] {
            if (alive.lock()) self->contentSizeSeen(content);
        });
    };
    auto onFirstPicture = [alive, self, scheduler] {
        scheduler->post([alive, self] {
            if (alive.lock() && self->onFirstPicture_) self->onFirstPicture_();
        });
    };
    return {configuration_.sourceRect,
            logicalSize_,
            configuration_.minimumFrameInterval,
            sink_,
            std::move(onContentSize),
            std::move(onFirstPicture)};
}

namespace {
/// Whether two sizes have one shape, give or take the rounding of either to whole pixels.
bool sameShape(const QSizeF& a, const QSizeF& b) {
    if (a.isEmpty() || b.isEmpty()) return false;
    const double tolerance = 1.5 / std::min({a.width(), a.height(), b.width(), b.height()});
    return std::abs(a.width() / a.height() - b.width() / b.height()) <=
           tolerance * (a.width() / a.height() + b.width() / b.height());
}
}  // namespace

void PipeWireCaptureStream::contentSizeSeen(QSize content) {
    const QSizeF size = sameShape(reportedSize_, content) ? reportedSize_ : QSizeF(content);
    if (size == windowSize_) return;
    windowSize_ = size;
    // Source rectangles are read in this size from now on, by the stream and its owner alike.
    logicalSize_ = size;
    if (consumer_) consumer_->configure(settings());
    if (onWindowSize_) onWindowSize_();
}

void PipeWireCaptureStream::startCapture(Completion done) {
    active_ = true;
    if (opening_) {
        completeLater(std::move(done), streamError(QStringLiteral("The stream is starting.")));
        return;
    }
    if (!consumer_) {
        opening_ = true;
        // The source is ours and drops its completion when it goes, so `this` is alive here.
        source_->open([this, done = std::move(done)](std::optional<PipeWireNode> node,
                                                     std::optional<Error> error) {
            nodeOpened(std::move(node), std::move(error), done);
        });
        return;
    }
    if (consumer_->ended()) {
        completeLater(std::move(done), streamError(QStringLiteral("The stream has ended.")));
        return;
    }
    consumer_->setActive(true);
    completeLater(std::move(done));
}

void PipeWireCaptureStream::nodeOpened(std::optional<PipeWireNode> node, std::optional<Error> error,
                                       const Completion& done) {
    opening_ = false;
    if (node) {
        if (!node->logicalSize.isEmpty()) logicalSize_ = reportedSize_ = node->logicalSize;
        PipeWireConsumer::EndHandler onEnd;
        if (onStop_) onEnd = onStop_;
        consumer_ =
            PipeWireConsumer::connect(std::move(*node), settings(), onFrame_, onEnd, &error);
    }
    // A stop that came while the node was asked for holds from here on.
    if (consumer_ && !active_) consumer_->setActive(false);
    if (!consumer_ && !error) error = streamError(QStringLiteral("No stream of the window."));
    if (done) done(consumer_ ? std::nullopt : error);
}

bool PipeWireCaptureStream::presentInto(const std::shared_ptr<PictureSurface>& surface) {
    const auto* target = dynamic_cast<const SinkSurface*>(surface.get());
    if (!target) return false;
    sink_ = target->sink();
    if (consumer_) consumer_->configure(settings());
    return sink_ != nullptr;
}

void PipeWireCaptureStream::stopCapture(Completion done) {
    active_ = false;
    if (consumer_) consumer_->setActive(false);
    completeLater(std::move(done));
}

void PipeWireCaptureStream::updateConfiguration(const StreamConfiguration& configuration,
                                                Completion done) {
    configuration_ = configuration;
    if (consumer_) consumer_->configure(settings());
    completeLater(std::move(done));
}

}  // namespace mirano::wayland
