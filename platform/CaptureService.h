// The window-capture service: the windows that can be captured and live streams of one
// window's pixels.
#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Frame.h"
#include "platform/PictureSurface.h"
#include "platform/Types.h"

namespace mirano {

/// A window that can be captured and its frame (Qt logical coordinates).
struct CapturableWindow {
    WindowNumber windowID = 0;
    QRectF frame;
};

/// What a stream delivers: the source rectangle scaled to fit the output size (keeping its
/// aspect), at most one frame per interval, without the pointer.
struct StreamConfiguration {
    /// Part of the window to capture, logical pixels of the window, top-left origin; empty =
    /// the whole window.
    QRectF sourceRect;
    /// Seconds between frames at least; 0 = no limit.
    double minimumFrameInterval = 0;
    /// Output size in pixels.
    std::int64_t width = 1;
    std::int64_t height = 1;
    bool operator==(const StreamConfiguration&) const = default;
};

/// Receives each new frame (BGRA). Runs on the capture thread: it must only hand it on.
using FrameHandler = std::function<void(const Frame&)>;
/// Told that the stream stopped by itself (e.g. the window went away). Runs on the capture
/// thread: it must only hand the error on.
using StreamStopHandler = std::function<void(std::optional<Error>)>;

/// A capture stream of one window. Created stopped; every asynchronous operation completes on
/// the main thread, later than the call.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;
    virtual void startCapture(Completion done) = 0;
    virtual void stopCapture(Completion done) = 0;
    /// Applies a new configuration to the stream.
    virtual void updateConfiguration(const StreamConfiguration& configuration, Completion done) = 0;
    /// Draws the picture into `surface` on the server, fitted to its size, instead of handing
    /// frames to the outputs. Call before startCapture(). False when this stream cannot present
    /// there: frames then keep arriving at the outputs.
    virtual bool presentInto(const std::shared_ptr<PictureSurface>& surface) {
        (void)surface;
        return false;
    }
    /// Whether startCapture() after stopCapture() resumes this very stream; one that cannot is
    /// made anew to resume (which may cost more than a pause is worth, such as a consent).
    virtual bool canResume() const { return false; }
    /// The window's size in logical pixels as this stream learnt it from its source, for a
    /// window whose frame the service does not know (Wayland); empty when unknown, and then a
    /// frame pixel stands for a logical pixel of the window.
    virtual QSizeF windowSize() const { return {}; }
    /// `handler` is told on the main thread whenever windowSize() changes (a stream that learns
    /// the window's size from its pictures); streams that never learn it never call it.
    virtual void setWindowSizeHandler(std::function<void()> handler) { (void)handler; }
    /// `handler` is told once on the main thread when the stream has its first picture to show
    /// (a desktop may start a stream well before its first picture). False for a stream that
    /// never tells: it has a picture as soon as it has started.
    virtual bool setFirstPictureHandler(std::function<void()> handler) {
        (void)handler;
        return false;
    }
};

/// The capture service.
class CaptureService {
public:
    using WindowListHandler =
        std::function<void(std::vector<CapturableWindow> windows, std::optional<Error> error)>;

    virtual ~CaptureService() = default;
    /// Lists the windows that can be captured; completes on the main thread, later than the call.
    virtual void listWindows(WindowListHandler done) = 0;
    /// A new, stopped stream that hands its frames to `onFrame` (unless it presents into a
    /// surface). `onStop` may be empty.
    virtual std::shared_ptr<CaptureStream> makeStream(const CapturableWindow& window,
                                                      const StreamConfiguration& configuration,
                                                      FrameHandler onFrame,
                                                      StreamStopHandler onStop) = 0;
    /// A surface over the whole of `host` (a native top-level of Mirano's) that streams can
    /// present into, or null when this service cannot draw into windows.
    virtual std::shared_ptr<PictureSurface> makePictureSurface(QWindow& host) {
        (void)host;
        return nullptr;
    }
    /// Forgets the consent the desktop gave to share windows of `applicationId`, so that the
    /// next stream of one asks the user again; nothing where no consent is kept.
    virtual void forgetConsent(const QString& applicationId) { (void)applicationId; }
};

}  // namespace mirano
