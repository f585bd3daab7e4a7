// A live stream of frames of one window, or of a rectangle of it.
#pragma once

#include <QRectF>
#include <QSizeF>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/Frame.h"
#include "platform/Types.h"

namespace mirano {

class AppSettings;
class CaptureService;
class CaptureStream;
class PictureSurface;
class Scheduler;
struct CapturableWindow;
struct StreamConfiguration;

/// The one capture error of this class.
struct CaptureError {
    /// "Could not find the window to capture."
    static Error windowNotFound();
};

/// Main thread only. Always held by std::shared_ptr (create with std::make_shared): callbacks
/// from the capture service reach it through a weak reference, and tasks that outlive a call
/// keep it alive. Asynchronous operations complete on the main thread with an error or none.
class StreamManager : public std::enable_shared_from_this<StreamManager> {
public:
    StreamManager(CaptureService& service, AppSettings& settings, Scheduler& scheduler);
    ~StreamManager();

    /// Called on the main thread with each new frame, in order.
    std::function<void(const Frame&)> onFrame;
    /// Called on the main thread when the capture service stops the stream by itself.
    std::function<void(std::optional<Error>)> onStopped;

    /// Every completion is called later than the call that takes it, on the main thread (also
    /// when the call does nothing), so callers never see it re-entrantly.

    /// Finds the window, records it, builds and starts a new stream. A zero `sourceRect` means
    /// the whole window at one pixel per point (the output sizes are then ignored).
    void startCapture(WindowNumber windowID, std::optional<std::int64_t> outputWidth,
                      std::optional<std::int64_t> outputHeight, const QRectF& sourceRect,
                      Completion done);
    /// Rebuilds the stream for the remembered window, rectangle and output size at the current
    /// frame rate, or resumes it so configured when it can resume; does nothing unless a window
    /// is remembered and the stream is not active.
    void restartCapture(Completion done);
    /// Stops the stream but remembers it, so restartCapture() can follow.
    void stopCapture(Completion done);
    /// Forgets stream and window at once and stops the old stream in the background.
    void stop();
    /// Applies a new output size and source rectangle to the running stream.
    void updateConfiguration(std::int64_t width, std::int64_t height, const QRectF& sourceRect,
                             Completion done);
    /// Goes back to the whole window at the given output size.
    void resetSourceRect(std::int64_t width, std::int64_t height, Completion done);

    QSizeF sourceWindowSize() const { return sourceWindowSize_; }
    QRectF currentSourceRect() const { return currentSourceRect_; }
    bool isStreamActive() const { return isStreamActive_; }
    bool hasStream() const { return stream_ != nullptr; }
    std::optional<WindowNumber> capturedWindowID() const { return capturedWindowID_; }
    std::int64_t lastOutputWidth() const { return lastOutputWidth_; }
    std::int64_t lastOutputHeight() const { return lastOutputHeight_; }
    /// Every stream started from now on draws its picture into `surface` on the window
    /// system's side when it can (frames then do not reach onFrame). Held weakly: the panel
    /// that shows the surface owns it.
    void setPictureSurface(const std::shared_ptr<PictureSurface>& surface) { surface_ = surface; }

    /// Written by the controller before a restart that follows a panel resize.
    void setLastOutputWidth(std::int64_t w) { lastOutputWidth_ = w; }
    void setLastOutputHeight(std::int64_t h) { lastOutputHeight_ = h; }

    /// The configuration asked of the service, with the frame rate read now from the settings.
    StreamConfiguration makeConfiguration(std::int64_t width, std::int64_t height,
                                          const QRectF& sourceRect) const;

private:
    /// Finds `windowID` among the shareable windows, then calls `found` or completes with the
    /// error.
    void findWindow(WindowNumber windowID, Completion done,
                    std::function<void(const CapturableWindow&)> found);
    /// Makes, connects and starts a new stream; on success it becomes `stream_`.
    void launchStream(const CapturableWindow& window, const StreamConfiguration& configuration,
                      Completion done);
    /// Configures the stopped `stream_` anew and starts it again.
    void resumeStream(Completion done);
    /// Calls `done` with `error` on a later turn of the main queue.
    void completeLater(const Completion& done, std::optional<Error> error = std::nullopt);

    CaptureService& service_;
    AppSettings& settings_;
    Scheduler& scheduler_;
    QSizeF sourceWindowSize_{0, 0};
    QRectF currentSourceRect_{0, 0, 0, 0};
    bool isStreamActive_ = true;
    std::shared_ptr<CaptureStream> stream_;
    /// The source rectangle of the configuration in force on the stream (empty: the whole
    /// window).
    QRectF streamRect_;
    std::optional<WindowNumber> capturedWindowID_;
    std::int64_t lastOutputWidth_ = 0;
    std::int64_t lastOutputHeight_ = 0;
    std::weak_ptr<PictureSurface> surface_;
};

}  // namespace mirano
