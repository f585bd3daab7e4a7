// A live stream of frames of one window: the state around the capture service's stream.
#include "capture/StreamManager.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "platform/CaptureService.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "settings/AppSettings.h"

namespace mirano {

Error CaptureError::windowNotFound() {
    return Error{
        QCoreApplication::translate("CaptureError", "Could not find the window to capture.")};
}

namespace {

constexpr double kRestartPause = 0.1;

bool isZeroRect(const QRectF& r) {
    return r.x() == 0 && r.y() == 0 && r.width() == 0 && r.height() == 0;
}

// Truncates towards zero, as the pixel sizes are derived from point sizes.
std::int64_t truncated(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<std::int64_t>(std::clamp(v, -1e15, 1e15));
}

}  // namespace

StreamManager::StreamManager(CaptureService& service, AppSettings& settings, Scheduler& scheduler)
    : service_(service), settings_(settings), scheduler_(scheduler) {}

StreamManager::~StreamManager() = default;

// --- The session's requests ---------------------------------------------------------------

void StreamManager::open(WindowNumber windowID, const QSizeF& windowSize,
                         std::optional<QRectF> region, QSize outputSize) {
    capturedWindowID_ = windowID;
    sourceWindowSize_ = windowSize;
    currentSourceRect_ = region.value_or(QRectF(QPointF(0, 0), windowSize));
    streamWanted_ = true;
    restartWanted_ = false;
    pictureReady_ = false;
    // The start counts as an operation: pauses asked for meanwhile wait for it.
    busy_ = true;
    auto self = shared_from_this();
    std::optional<std::int64_t> width, height;
    if (region) width = outputSize.width(), height = outputSize.height();
    const QRectF rect = region.value_or(QRectF(0, 0, 0, 0));
    scheduler_.post([self, windowID, width, height, rect] {
        self->startCapture(windowID, width, height, rect, [self](std::optional<Error> error) {
            self->busy_ = false;
            if (!error) {
                emit self->started();
                if (!self->tellsPicture_) self->firstPictureCame();
                return self->drive();
            }
            logLine(QStringLiteral("Failed to start capture: ") + error->description);
            emit self->stopped(error);
        });
    });
}

void StreamManager::pause() {
    streamWanted_ = false;
    drive();
}

void StreamManager::resume() {
    streamWanted_ = true;
    drive();
}

void StreamManager::restart() {
    restartWanted_ = true;
    drive();
}

void StreamManager::showRect(const QRectF& rect, QSize outputSize) {
    currentSourceRect_ = rect;
    auto self = shared_from_this();
    scheduler_.post([self, rect, outputSize] {
        self->updateConfiguration(outputSize.width(), outputSize.height(), rect, {});
    });
}

void StreamManager::showWholeWindow(QSize outputSize) {
    currentSourceRect_ = QRectF(QPointF(0, 0), sourceWindowSize_);
    auto self = shared_from_this();
    scheduler_.post(
        [self, outputSize] { self->resetSourceRect(outputSize.width(), outputSize.height(), {}); });
}

void StreamManager::showWholeWindowOf(const QSizeF& windowSize, QSize outputSize) {
    sourceWindowSize_ = windowSize;
    showWholeWindow(outputSize);
}

void StreamManager::showRegionOf(const QSizeF& windowSize, const QRectF& region, QSize outputSize) {
    sourceWindowSize_ = windowSize;
    // Applied by the resume, which configures the stream before it starts it again.
    currentSourceRect_ = streamRect_ = region;
    lastOutputWidth_ = outputSize.width();
    lastOutputHeight_ = outputSize.height();
    resume();
}

void StreamManager::setPictureSurface(const std::shared_ptr<PictureSurface>& surface) {
    surface_ = surface;
    // A stream that already runs (the region picker's, taken over by the PiP) draws there too.
    if (stream_ && surface) stream_->presentInto(surface);
}

QSizeF StreamManager::streamWindowSize(const Frame& frame) const {
    const QSizeF reported = stream_ ? stream_->windowSize() : QSizeF();
    if (!reported.isEmpty() || !frame) return reported;
    return QSizeF(frame->width(), frame->height());
}

void StreamManager::drive() {
    if (busy_) return;
    auto self = shared_from_this();
    // After a failure the next request tries again, not a loop of retries.
    const auto finished = [self](const std::optional<Error>& error) {
        self->busy_ = false;
        if (!error) self->drive();
    };
    if (!streamWanted_) {
        // A paused stream is rebuilt on resume anyway: a restart has nothing left to do.
        restartWanted_ = false;
        if (!isStreamActive_) return;
        busy_ = true;
        scheduler_.post([self, finished] { self->stopCapture(finished); });
        return;
    }
    if (!isStreamActive_) {
        restartWanted_ = false;
        busy_ = true;
        scheduler_.post([self, finished] { self->restartCapture(finished); });
        return;
    }
    if (!restartWanted_) return;
    restartWanted_ = false;
    busy_ = true;
    const auto report = [finished](std::optional<Error> error) {
        if (error)
            logLine(QStringLiteral("Failed to restart stream after frame rate change: ") +
                    error->description);
        finished(error);
    };
    scheduler_.post([self, report] {
        self->stopCapture([self, report](std::optional<Error> error) {
            if (error) return report(error);
            self->scheduler_.postAfter(kRestartPause,
                                       [self, report] { self->restartCapture(report); });
        });
    });
}

// --- The operations -----------------------------------------------------------------------

StreamConfiguration StreamManager::makeConfiguration(std::int64_t width, std::int64_t height,
                                                     const QRectF& sourceRect) const {
    StreamConfiguration c;
    c.sourceRect = sourceRect;
    // A stored rate below 1 would make an invalid interval; treat it as one frame per second.
    c.minimumFrameInterval = 1.0 / std::max(1, settings_.frameRate());
    c.width = std::max<std::int64_t>(width, 1);
    c.height = std::max<std::int64_t>(height, 1);
    return c;
}

void StreamManager::completeLater(const Completion& done, std::optional<Error> error) {
    if (!done) return;
    scheduler_.post([done, error = std::move(error)] { done(error); });
}

void StreamManager::findWindow(WindowNumber windowID, Completion done,
                               std::function<void(const CapturableWindow&)> found) {
    service_.listWindows([windowID, done = std::move(done), found = std::move(found)](
                             std::vector<CapturableWindow> windows, std::optional<Error> error) {
        if (error) {
            if (done) done(error);
            return;
        }
        auto it = std::find_if(windows.begin(), windows.end(),
                               [windowID](const auto& w) { return w.windowID == windowID; });
        if (it == windows.end()) {
            if (done) done(CaptureError::windowNotFound());
            return;
        }
        found(*it);
    });
}

void StreamManager::startCapture(WindowNumber windowID, std::optional<std::int64_t> outputWidth,
                                 std::optional<std::int64_t> outputHeight, const QRectF& sourceRect,
                                 Completion done) {
    auto self = shared_from_this();
    findWindow(windowID, done,
               [self, windowID, outputWidth, outputHeight, sourceRect,
                done](const CapturableWindow& window) {
                   const QSizeF frameSize = window.frame.size();
                   self->sourceWindowSize_ =
                       QSizeF(std::max(frameSize.width(), 1.0), std::max(frameSize.height(), 1.0));
                   self->capturedWindowID_ = windowID;
                   std::int64_t width = 0;
                   std::int64_t height = 0;
                   QRectF configRect;
                   if (isZeroRect(sourceRect)) {
                       self->currentSourceRect_ = QRectF(QPointF(0, 0), self->sourceWindowSize_);
                       width = truncated(self->sourceWindowSize_.width());
                       height = truncated(self->sourceWindowSize_.height());
                   } else {
                       self->currentSourceRect_ = sourceRect;
                       width = outputWidth.value_or(truncated(sourceRect.width()));
                       height = outputHeight.value_or(truncated(sourceRect.height()));
                       configRect = sourceRect;
                   }
                   self->lastOutputWidth_ = width;
                   self->lastOutputHeight_ = height;
                   self->launchStream(window, self->makeConfiguration(width, height, configRect),
                                      done);
               });
}

void StreamManager::restartCapture(Completion done) {
    if (!capturedWindowID_ || isStreamActive_) {
        completeLater(done);
        return;
    }
    if (stream_ && stream_->canResume()) return resumeStream(std::move(done));
    auto self = shared_from_this();
    findWindow(*capturedWindowID_, done, [self, done](const CapturableWindow& window) {
        const auto configuration = self->makeConfiguration(
            self->lastOutputWidth_, self->lastOutputHeight_, self->currentSourceRect_);
        self->launchStream(window, configuration, done);
    });
}

void StreamManager::resumeStream(Completion done) {
    auto self = shared_from_this();
    auto stream = stream_;
    stream->updateConfiguration(
        makeConfiguration(lastOutputWidth_, lastOutputHeight_, streamRect_),
        [self, stream, done](std::optional<Error> error) {
            if (error) {
                if (done) done(error);
                return;
            }
            stream->startCapture([self, stream, done](std::optional<Error> error) {
                if (!error && self->stream_ == stream) self->isStreamActive_ = true;
                if (done) done(error);
            });
        });
}

void StreamManager::launchStream(const CapturableWindow& window,
                                 const StreamConfiguration& configuration, Completion done) {
    std::weak_ptr<StreamManager> weak = weak_from_this();
    Scheduler* scheduler = &scheduler_;
    // Both handlers run on the capture thread: they only hand over to the main queue.
    auto onStop = [weak, scheduler](std::optional<Error> error) {
        scheduler->post([weak, error = std::move(error)] {
            auto self = weak.lock();
            if (self) emit self->stopped(error);
        });
    };
    auto onFrame = [weak, scheduler](const Frame& frame) {
        if (!frame) return;
        scheduler->post([weak, frame] {
            auto self = weak.lock();
            if (self) emit self->frameArrived(frame);
        });
    };
    auto stream = service_.makeStream(window, configuration, std::move(onFrame), std::move(onStop));
    if (!stream) {
        completeLater(done,
                      Error{QStringLiteral("The capture service could not create a stream.")});
        return;
    }
    stream->setWindowSizeHandler([weak] {
        if (auto self = weak.lock()) emit self->windowSizeChanged();
    });
    tellsPicture_ = stream->setFirstPictureHandler([weak] {
        if (auto self = weak.lock()) self->firstPictureCame();
    });
    if (auto surface = surface_.lock()) stream->presentInto(surface);
    auto self = shared_from_this();
    // Held here while it starts (a portal's dialog may be open), so that stop() can withdraw
    // it; the completion holds it weakly, or the stream would keep itself.
    starting_ = stream;
    std::weak_ptr<CaptureStream> weakStream = stream;
    stream->startCapture(
        [self, weakStream, done, rect = configuration.sourceRect](std::optional<Error> error) {
            auto stream = weakStream.lock();
            // A withdrawn start starts nothing and says nothing.
            if (!stream || stream != self->starting_) return;
            // Released on a later turn: this runs inside the stream's own call chain.
            self->scheduler_.post([held = std::move(self->starting_)]() mutable { held.reset(); });
            if (!error) {
                // An older stream object is released, not stopped: the caller stopped it first.
                self->stream_ = stream;
                self->streamRect_ = rect;
                self->isStreamActive_ = true;
            }
            if (done) done(error);
        });
}

void StreamManager::firstPictureCame() {
    if (pictureReady_) return;
    pictureReady_ = true;
    emit pictureReady();
}

void StreamManager::stopCapture(Completion done) {
    if (!stream_ || !isStreamActive_) {
        completeLater(done);
        return;
    }
    auto self = shared_from_this();
    auto stream = stream_;
    stream->stopCapture([self, stream, done](std::optional<Error> error) {
        // Only the stream we asked to stop may change the flag; a newer one may have replaced it.
        if (!error && self->stream_ == stream) self->isStreamActive_ = false;
        if (done) done(error);
    });
}

void StreamManager::stop() {
    streamWanted_ = false;
    restartWanted_ = false;
    // Released at once: its request (and the dialog) is withdrawn before any late answer. Its
    // completion is never what calls this: that lets it go first.
    starting_.reset();
    if (!stream_) return;
    auto old = std::move(stream_);
    stream_.reset();
    capturedWindowID_.reset();
    isStreamActive_ = false;
    // The old stream is kept alive by its own completion until it has stopped.
    scheduler_.post([old] { old->stopCapture([old](std::optional<Error>) {}); });
}

void StreamManager::updateConfiguration(std::int64_t width, std::int64_t height,
                                        const QRectF& sourceRect, Completion done) {
    if (!stream_) {
        completeLater(done);
        return;
    }
    auto self = shared_from_this();
    stream_->updateConfiguration(
        makeConfiguration(width, height, sourceRect),
        [self, width, height, sourceRect, done](std::optional<Error> error) {
            if (!error) {
                self->currentSourceRect_ = sourceRect;
                self->streamRect_ = sourceRect;
                self->lastOutputWidth_ = width;
                self->lastOutputHeight_ = height;
            }
            if (done) done(error);
        });
}

void StreamManager::resetSourceRect(std::int64_t width, std::int64_t height, Completion done) {
    if (!stream_) {
        completeLater(done);
        return;
    }
    currentSourceRect_ = QRectF(QPointF(0, 0), sourceWindowSize_);
    auto self = shared_from_this();
    stream_->updateConfiguration(makeConfiguration(width, height, QRectF()),
                                 [self, width, height, done](std::optional<Error> error) {
                                     if (!error) {
                                         self->streamRect_ = QRectF();
                                         self->lastOutputWidth_ = width;
                                         self->lastOutputHeight_ = height;
                                     }
                                     if (done) done(error);
                                 });
}

}  // namespace mirano
