// A capture stream of one window fed by a PipeWire node, wherever the node comes from.
#pragma once

#include <memory>

#include "platform/CaptureService.h"
#include "platform/wayland/pipewire/PipeWireConsumer.h"
#include "platform/wayland/portal/NodeSource.h"

namespace mirano {
class Scheduler;
}

namespace mirano::wayland {

/// startCapture() asks the source for the node (on the first start; the portal may show its
/// dialog then) and consumes it; later starts and stops only resume and pause the frames.
/// Once the node has gone the stream has ended: the stop handler was told once, and every
/// start fails. Main thread only; completions come later than the call.
///
/// Output size: frames come at the source's own size, the window's pixels as the compositor
/// renders them, cut to the configured source rectangle. The configuration's width and height
/// are not used: on Wayland the panel shows frames through buffers that the compositor scales.
class PipeWireCaptureStream final : public CaptureStream {
public:
    /// `window`'s frame gives the logical size when the source does not report one.
    PipeWireCaptureStream(std::unique_ptr<NodeSource> source, Scheduler& scheduler,
                          const CapturableWindow& window, const StreamConfiguration& configuration,
                          FrameHandler onFrame, StreamStopHandler onStop);
    /// Disconnects, then gives the node up; no handler runs afterwards.
    ~PipeWireCaptureStream() override;

    void startCapture(Completion done) override;
    void stopCapture(Completion done) override;
    void updateConfiguration(const StreamConfiguration& configuration, Completion done) override;
    /// Surfaces that take pictures through a sink (SinkSurface) only.
    bool presentInto(const std::shared_ptr<PictureSurface>& surface) override;
    /// A stop only pauses the node's frames: resuming asks the portal nothing.
    bool canResume() const override { return true; }
    /// Known once a picture came: the source's size (the portal's, in logical pixels) where
    /// it has the pictures' shape, else the size the pictures show the window at (a portal may
    /// report its monitor's size for a window).
    QSizeF windowSize() const override { return windowSize_; }
    void setWindowSizeHandler(std::function<void()> handler) override {
        onWindowSize_ = std::move(handler);
    }
    bool setFirstPictureHandler(std::function<void()> handler) override {
        onFirstPicture_ = std::move(handler);
        return true;
    }

private:
    void nodeOpened(std::optional<PipeWireNode> node, std::optional<Error> error,
                    const Completion& done);
    PipeWireConsumer::Settings settings();
    void completeLater(Completion done, std::optional<Error> error = std::nullopt);
    /// The pictures show the window at `content` buffer pixels.
    void contentSizeSeen(QSize content);

    std::unique_ptr<NodeSource> source_;
    Scheduler& scheduler_;
    QSizeF logicalSize_;
    QSizeF reportedSize_;
    QSizeF windowSize_;
    std::function<void()> onWindowSize_;
    std::function<void()> onFirstPicture_;
    // Tasks posted from the capture thread run only while this lives.
    std::shared_ptr<int> alive_ = std::make_shared<int>();
    StreamConfiguration configuration_;
    FrameHandler onFrame_;
    StreamStopHandler onStop_;
    bool opening_ = false;
    bool active_ = false;
    std::shared_ptr<FrameSink> sink_;
    std::unique_ptr<PipeWireConsumer> consumer_;
};

}  // namespace mirano::wayland
