// Consumes one PipeWire video node on a thread of its own and turns its buffers into frames.
#pragma once

#include <spa/utils/hook.h>

#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "platform/CaptureService.h"
#include "platform/wayland/pipewire/FrameCopy.h"
#include "platform/wayland/pipewire/FramePacer.h"
#include "platform/wayland/pipewire/FrameSink.h"
#include "platform/wayland/pipewire/HeapFramePool.h"
#include "platform/wayland/pipewire/LinkWatch.h"
#include "platform/wayland/portal/NodeSource.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_stream;
struct spa_buffer;
struct spa_pod;
struct spa_source;

namespace mirano::wayland {

class BusErrorGuard;

/// A pw_stream linked to the node only (node.dont-reconnect: when the node goes, the stream
/// ends and is never linked to another source). Buffers are shared memory (MemFd, MemPtr), or
/// linear DMA-BUFs where the producer offers them and they can be mapped (otherwise shared
/// memory is asked for instead); each frame is copied once, cropped to the window (VideoCrop) and
/// to the source rectangle, into a pooled BGRA buffer, unless a sink takes the pictures. The
/// frame and end handlers (and the sink) run on the consumer's thread and must only hand on. Every
/// public function may be called from any thread but that one.
class PipeWireConsumer {
public:
    /// What the frames show, how often, and where they go.
    struct Settings {
        /// Logical pixels of the window, top-left origin; empty = the whole window.
        QRectF sourceRect;
        /// The window's logical size, to place sourceRect in buffer pixels; empty = one buffer
        /// pixel per logical pixel.
        QSizeF logicalSize;
        /// Seconds between frames, on average over time (FramePacer); the frames in between
        /// are dropped.
        double minimumFrameInterval = 0;
        /// Takes the pictures instead of the frame handler when set.
        std::shared_ptr<FrameSink> sink;
        /// Told (on the consumer's thread, to hand on) the window's size in buffer pixels as its
        /// pictures show it (the crop, else the picture) whenever it changes.
        std::function<void(QSize)> onContentSize;
        /// Told once (on the consumer's thread, to hand on) that the first picture came and was
        /// taken (by the frame handler or the sink).
        std::function<void()> onFirstPicture;
    };
    /// Told once that the node went away or failed; nothing comes after it.
    using EndHandler = std::function<void(Error)>;

    /// Connects to the node through `node.remote`; null with `error` set when PipeWire cannot
    /// be reached. Frames flow at once.
    static std::unique_ptr<PipeWireConsumer> connect(PipeWireNode node, const Settings& settings,
                                                     FrameHandler onFrame, EndHandler onEnd,
                                                     std::optional<Error>* error);
    /// Disconnects and joins the thread: no handler runs after it returns.
    ~PipeWireConsumer();
    PipeWireConsumer(const PipeWireConsumer&) = delete;
    PipeWireConsumer& operator=(const PipeWireConsumer&) = delete;

    /// Pauses or resumes the frames.
    void setActive(bool active);
    void configure(const Settings& settings);
    /// The node went away or failed.
    bool ended() const;

    /// Frames in flight at most; a reader that holds more makes the stream drop frames.
    static constexpr int kMaxFrames = 4;
    /// How long the stream may take to start streaming once linked, and then to send its
    /// first picture (or its next one after losing its link).
    static constexpr int kStartSeconds = 10;
    /// How long PipeWire may take to confirm that the stream is gone on close.
    static constexpr int kReleaseSeconds = 2;

private:
    PipeWireConsumer(const Settings& settings, FrameHandler onFrame, EndHandler onEnd);
    std::optional<Error> start(PipeWireNode node);
    LinkWatch::Events watchEvents();
    /// Everything below runs on the consumer's thread with the loop locked.
    void stateChanged(int state, const char* error);
    void formatChanged(const spa_pod* format);
    void process();
    void deliver(spa_buffer* buffer);
    /// The picture of a buffer that passed the checks, cut to `crop`: copied into a frame or
    /// handed to the sink; false when nothing took it.
    bool present(const MappedImage& image, const std::optional<QRect>& crop,
                 const BusErrorGuard* guard);
    /// Says once per stream that its buffers have `fault`; the picture is dropped.
    void reject(int fault, const QString& line);
    /// Starts (or restarts) the bounded wait for the stream's next step; stops it with none.
    void awaitStep(int step);
    void waitExpired();
    /// Why the stream may not have started, as far as PipeWire tells; empty when it does not.
    QString notStartedReason() const;
    void released();
    void end(const QString& reason);
    /// A DMA-BUF could not be mapped: negotiates shared memory instead.
    void refuseDmaBuf();
    void disconnectNow();

    Settings settings_;
    FrameHandler onFrame_;
    EndHandler onEnd_;
    pw_thread_loop* loop_ = nullptr;
    pw_context* context_ = nullptr;
    pw_core* core_ = nullptr;
    pw_stream* stream_ = nullptr;
    spa_source* disconnectEvent_ = nullptr;
    spa_source* timer_ = nullptr;
    int waitingFor_ = 0;  // the step awaited (a Step of the source file)
    bool streamed_ = false;
    bool pictured_ = false;
    unsigned said_ = 0;  // the buffer faults said, one bit each
    QSize contentSize_;
    QString lastError_;  // PipeWire's last word on one of our objects
    int releaseSeq_ = -1;
    bool releaseConfirmed_ = false;
    bool connectionLost_ = false;
    bool sessionManagerGone_ = false;
    std::unique_ptr<LinkWatch> watch_;
    std::uint32_t nodeId_ = 0;
    spa_hook coreListener_{};
    spa_hook streamListener_{};
    bool active_ = true;
    bool ended_ = false;
    bool closing_ = false;
    QSize size_;
    PixelOrder order_ = PixelOrder::bgrx;
    bool dmaBuf_ = false;
    std::shared_ptr<HeapFramePool> pool_;
    FramePacer pacer_;
    friend struct PipeWireConsumerEvents;
};

}  // namespace mirano::wayland
