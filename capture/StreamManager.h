// A live stream of frames of one window, or of a rectangle of it.
#pragma once

#include <QObject>
#include <QRectF>
#include <QSize>
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
/// It owns the facts of its stream: the window, the window's size and the rectangle shown.
class StreamManager : public QObject, public std::enable_shared_from_this<StreamManager> {
    Q_OBJECT
public:
    StreamManager(CaptureService& service, AppSettings& settings, Scheduler& scheduler);
    ~StreamManager() override;

    // What a PiP session asks of its stream. Each request is recorded at once; the operations
    // run one at a time in main-thread tasks, and each ends by looking at what is wanted by
    // then, so of the requests made meanwhile the last wins. After a failure the next request
    // tries again.

    /// Records the window, its size (points) and the rectangle shown, then starts the stream:
    /// `region` at `outputSize` pixels, or without one the whole window at one pixel per point.
    /// A failed start is logged and reported through stopped().
    void open(WindowNumber windowID, const QSizeF& windowSize, std::optional<QRectF> region,
              QSize outputSize);
    void pause();
    void resume();
    /// Stops the stream, waits 0.1 s and starts it again (at the current rate and size). A
    /// restart due while the stream is paused is left to the next resume, which rebuilds it.
    void restart();
    /// Shows `rect` of the window at `outputSize` pixels; the rectangle reads back at once.
    void showRect(const QRectF& rect, QSize outputSize);
    /// Shows the whole window again at `outputSize` pixels.
    void showWholeWindow(QSize outputSize);
    /// Takes `windowSize` as the window's size, where it was unknown when the stream was
    /// opened, and shows the whole window at `outputSize` pixels.
    void showWholeWindowOf(const QSizeF& windowSize, QSize outputSize);
    /// Takes over the opened (and paused) stream for a session that shows `region` of the
    /// window, now known to be `windowSize` points, at `outputSize` pixels, and resumes it.
    void showRegionOf(const QSizeF& windowSize, const QRectF& region, QSize outputSize);

    // The operations themselves. Every completion is called later than the call that takes it,
    // on the main thread (also when the call does nothing), so callers never see it
    // re-entrantly.

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
    /// Forgets stream and window at once and stops the old stream in the background; requests
    /// still under way end with the stream stopped, and a stream still starting is released
    /// (its start never completes).
    void stop();
    /// Applies a new output size and source rectangle to the running stream.
    void updateConfiguration(std::int64_t width, std::int64_t height, const QRectF& sourceRect,
                             Completion done);
    /// Goes back to the whole window at the given output size.
    void resetSourceRect(std::int64_t width, std::int64_t height, Completion done);

    QSizeF sourceWindowSize() const { return sourceWindowSize_; }
    /// The window's size as the running stream learnt it, where the service's window list gave
    /// none: the source's size (points), else `frame`'s size (one pixel a point of the window, as
    /// source rectangles are then read); empty when unknown.
    QSizeF streamWindowSize(const Frame& frame = nullptr) const;
    QRectF currentSourceRect() const { return currentSourceRect_; }
    bool isStreamActive() const { return isStreamActive_; }
    bool hasStream() const { return stream_ != nullptr; }
    std::optional<WindowNumber> capturedWindowID() const { return capturedWindowID_; }
    std::int64_t lastOutputWidth() const { return lastOutputWidth_; }
    std::int64_t lastOutputHeight() const { return lastOutputHeight_; }
    /// The running stream and every one started from now on draw their picture into `surface` on
    /// the window system's side when it can (frames then do not reach onFrame). Held weakly: the
    /// panel that shows the surface owns it.
    void setPictureSurface(const std::shared_ptr<PictureSurface>& surface);

    /// Written by the controller before a restart that follows a panel resize.
    void setLastOutputWidth(std::int64_t w) { lastOutputWidth_ = w; }
    void setLastOutputHeight(std::int64_t h) { lastOutputHeight_ = h; }

    /// The configuration asked of the service, with the frame rate read now from the settings.
    StreamConfiguration makeConfiguration(std::int64_t width, std::int64_t height,
                                          const QRectF& sourceRect) const;

signals:
    /// The stream that open() asked for has started.
    void started();
    /// The stream that open() asked for has its first picture to show (once per open()); a
    /// stream that does not tell has one as soon as it has started.
    void pictureReady();
    /// Each new frame, in order.
    void frameArrived(const mirano::Frame& frame);
    /// The stream learnt the window's size anew (streamWindowSize()) from its pictures.
    void windowSizeChanged();
    /// The capture service stopped the stream by itself, or open() failed to start it.
    void stopped(const std::optional<mirano::Error>& error);

private:
    /// Starts the next operation the requests call for, unless one is under way.
    void drive();
    /// Finds `windowID` among the shareable windows, then calls `found` or completes with the
    /// error.
    void findWindow(WindowNumber windowID, Completion done,
                    std::function<void(const CapturableWindow&)> found);
    /// Makes, connects and starts a new stream; on success it becomes `stream_`.
    void launchStream(const CapturableWindow& window, const StreamConfiguration& configuration,
                      Completion done);
    /// Configures the stopped `stream_` anew and starts it again.
    void resumeStream(Completion done);
    /// Emits pictureReady() unless it was emitted since the last open().
    void firstPictureCame();
    /// Calls `done` with `error` on a later turn of the main queue.
    void completeLater(const Completion& done, std::optional<Error> error = std::nullopt);

    CaptureService& service_;
    AppSettings& settings_;
    Scheduler& scheduler_;
    QSizeF sourceWindowSize_{0, 0};
    QRectF currentSourceRect_{0, 0, 0, 0};
    bool isStreamActive_ = true;
    std::shared_ptr<CaptureStream> stream_;
    /// The stream being started, until its start completes.
    std::shared_ptr<CaptureStream> starting_;
    /// The source rectangle of the configuration in force on the stream (empty: the whole
    /// window).
    QRectF streamRect_;
    std::optional<WindowNumber> capturedWindowID_;
    std::int64_t lastOutputWidth_ = 0;
    std::int64_t lastOutputHeight_ = 0;
    std::weak_ptr<PictureSurface> surface_;
    // The requests: whether the stream should run, whether a restart is due, and whether an
    // operation is under way.
    bool streamWanted_ = true;
    bool restartWanted_ = false;
    bool busy_ = false;
    // Whether the last stream made tells its first picture, and whether open()'s came.
    bool tellsPicture_ = false;
    bool pictureReady_ = false;
};

}  // namespace mirano
