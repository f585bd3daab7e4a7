// The window-capture service: shareable windows and live streams of one window's pixels.
#pragma once

#include "platform/Frame.h"
#include "platform/PictureSurface.h"
#include "platform/Types.h"

#include <QRectF>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace mirano {

/// A window that can be captured: its number and its frame (Qt logical coordinates).
struct ShareableWindow {
    WindowNumber windowID = 0;
    QRectF frame;
};

/// Pixel format code of 32-bit BGRA (the four characters 'B', 'G', 'R', 'A').
inline constexpr std::uint32_t kPixelFormatBGRA = 0x42475241;

/// A time as value / timescale seconds (the minimum frame interval is 1 / frames per second).
struct CaptureTime {
    std::int64_t value = 0;
    std::int32_t timescale = 0;
    /// Seconds; 0 when the timescale is not positive (no limit).
    double seconds() const { return timescale > 0 ? double(value) / timescale : 0.0; }
    bool operator==(const CaptureTime&) const = default;
};

/// What a stream delivers and how.
struct StreamConfiguration {
    /// Part of the window to capture, window points, top-left origin; empty = whole window.
    QRectF sourceRect;
    std::uint32_t pixelFormat = kPixelFormatBGRA;
    /// At most one frame per this interval.
    CaptureTime minimumFrameInterval;
    /// Output size in pixels.
    std::int64_t width = 1;
    std::int64_t height = 1;
    /// Scale the source rectangle to the output size (otherwise it is shown 1:1 from top-left).
    bool scalesToFit = false;
    bool showsCursor = true;
    bool capturesAudio = false;
    bool operator==(const StreamConfiguration&) const = default;
};

/// What a stream captures: exactly one window, wherever it is.
struct ContentFilter {
    ShareableWindow window;
};

/// Kind of output a stream delivers samples to.
enum class StreamOutputType { screen, audio };

/// One sample from a stream: its type and, for screen samples that carry one, the image.
struct StreamSample {
    StreamOutputType type = StreamOutputType::screen;
    /// Null when the sample carries no image.
    Frame image;
};

/// Receives samples. Runs on the capture thread: it must only hand the sample on.
using SampleHandler = std::function<void(const StreamSample&)>;
/// Told that the stream stopped by itself (e.g. the window went away). Runs on the capture
/// thread: it must only hand the error on.
using StreamStopHandler = std::function<void(std::optional<Error>)>;

/// A capture stream of one window. Created stopped; every asynchronous operation completes on
/// the main thread, later than the call.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;
    /// Registers the receiver of samples of `type`; an error when it cannot be added.
    virtual std::optional<Error> addStreamOutput(StreamOutputType type,
                                                 SampleHandler handler) = 0;
    virtual void startCapture(Completion done) = 0;
    virtual void stopCapture(Completion done) = 0;
    /// Applies a new configuration to the stream.
    virtual void updateConfiguration(const StreamConfiguration& configuration,
                                     Completion done) = 0;
    /// Draws the picture into `surface` on the server, fitted to its size, instead of handing
    /// frames to the outputs. Call before startCapture(). False when this stream cannot present
    /// there: frames then keep arriving at the outputs.
    virtual bool presentInto(const std::shared_ptr<PictureSurface>& surface) {
        (void)surface;
        return false;
    }
};

/// The capture service.
class CaptureService {
public:
    using ShareableContentHandler =
        std::function<void(std::vector<ShareableWindow> windows, std::optional<Error> error)>;

    virtual ~CaptureService() = default;
    /// Lists the windows that can be captured; completes on the main thread, later than the call.
    virtual void getShareableContent(bool excludingDesktopWindows, bool onScreenWindowsOnly,
                                     ShareableContentHandler done) = 0;
    /// A new, stopped stream. `onStop` may be empty.
    virtual std::shared_ptr<CaptureStream> makeStream(const ContentFilter& filter,
                                                      const StreamConfiguration& configuration,
                                                      StreamStopHandler onStop) = 0;
    /// A surface over the whole of `host` (a native top-level of Mirano's) that streams can
    /// present into, or null when this service cannot draw into windows.
    virtual std::shared_ptr<PictureSurface> makePictureSurface(QWindow& host) {
        (void)host;
        return nullptr;
    }
};

}  // namespace mirano
