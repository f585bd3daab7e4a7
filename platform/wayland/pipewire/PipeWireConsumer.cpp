#include "platform/wayland/pipewire/PipeWireConsumer.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/Log.h"
#include "platform/wayland/pipewire/BufferCheck.h"
#include "platform/wayland/pipewire/BusErrorGuard.h"
#include "platform/wayland/pipewire/DmaBufMapping.h"
#include "platform/wayland/pipewire/LinkWatch.h"

namespace mirano::wayland {

namespace {

Error consumerError(const QString& text) { return Error{text}; }

/// The steps of a stream that are each awaited for a bounded time.
enum Step { kNothing, kStreaming, kPicture };

/// What can be wrong with a stream's buffers, one bit each: each is said once per stream.
enum Fault { kBeyondMemory = 1, kLayout = 2, kCrop = 4, kShrank = 8 };

std::optional<PixelOrder> pixelOrder(std::uint32_t format) {
    switch (format) {
        case SPA_VIDEO_FORMAT_BGRA:
            return PixelOrder::bgra;
        case SPA_VIDEO_FORMAT_BGRx:
            return PixelOrder::bgrx;
        case SPA_VIDEO_FORMAT_RGBA:
            return PixelOrder::rgba;
        case SPA_VIDEO_FORMAT_RGBx:
            return PixelOrder::rgbx;
        default:
            return std::nullopt;
    }
}

/// The thread loop's lock for one scope.
class LoopLock {
public:
    explicit LoopLock(pw_thread_loop* loop) : loop_(loop) { pw_thread_loop_lock(loop_); }
    ~LoopLock() { pw_thread_loop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pw_thread_loop* loop_;
};

/// DRM's modifier for a plain row-by-row layout (DRM_FORMAT_MOD_LINEAR).
constexpr std::int64_t kLinearModifier = 0;

/// Raw video in the 32-bit orders a frame can be made from, any size and rate; with
/// `linearDmaBuf` in linear GPU buffers, the only DMA-BUF layout we can read without a GPU.
const spa_pod* enumFormat(spa_pod_builder* b, bool linearDmaBuf) {
    const spa_rectangle defaultSize = SPA_RECTANGLE(640, 480);
    const spa_rectangle minSize = SPA_RECTANGLE(1, 1);
    const spa_rectangle maxSize = SPA_RECTANGLE(16384, 16384);
    const spa_fraction anyRate = SPA_FRACTION(0, 1);
    const spa_fraction maxRate = SPA_FRACTION(1000, 1);
    spa_pod_frame frame;
    spa_pod_builder_push_object(b, &frame, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(
        b, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
        SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                               SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&defaultSize, &minSize, &maxSize),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&anyRate, &anyRate, &maxRate), 0);
    if (linearDmaBuf) {
        spa_pod_builder_prop(b, SPA_FORMAT_VIDEO_modifier, SPA_POD_PROP_FLAG_MANDATORY);
        spa_pod_builder_long(b, kLinearModifier);
    }
    return static_cast<const spa_pod*>(spa_pod_builder_pop(b, &frame));
}

/// Shared-memory buffers (or DMA-BUFs when the format has a modifier), and the header and
/// crop metadata.
int bufferParams(spa_pod_builder* b, const spa_pod** params, bool dmaBuf) {
    const int types =
        dmaBuf ? 1 << SPA_DATA_DmaBuf : (1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr);
    params[0] = static_cast<const spa_pod*>(
        spa_pod_builder_add_object(b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers,
                                   SPA_PARAM_BUFFERS_dataType, SPA_POD_CHOICE_FLAGS_Int(types)));
    params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
    params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_VideoCrop), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_region))));
    return 3;
}

/// The producer's crop region, when it gives one.
const spa_region* cropOf(spa_buffer* buffer) {
    auto* region = static_cast<spa_meta_region*>(
        spa_buffer_find_meta_data(buffer, SPA_META_VideoCrop, sizeof(spa_meta_region)));
    return region && spa_meta_region_is_valid(region) ? &region->region : nullptr;
}

}  // namespace

/// The C callbacks, forwarding to the consumer.
struct PipeWireConsumerEvents {
    static PipeWireConsumer* self(void* data) { return static_cast<PipeWireConsumer*>(data); }
    static void stateChanged(void* data, pw_stream_state, pw_stream_state state,
                             const char* error) {
        self(data)->stateChanged(state, error);
    }
    static void paramChanged(void* data, std::uint32_t id, const spa_pod* param) {
        if (id == SPA_PARAM_Format) self(data)->formatChanged(param);
    }
    static void process(void* data) { self(data)->process(); }
    static void coreError(void* data, std::uint32_t id, int, int res, const char* message) {
        // Only the connection itself failing ends the stream; other objects' errors (a link
        // that found no format, say) come through the stream's own state, told with them.
        const QString text = QString::fromUtf8(message ? message : "");
        if (id == PW_ID_CORE && res == -EPIPE) {
            self(data)->connectionLost_ = true;
            self(data)->end(QStringLiteral("the connection to PipeWire was lost (%1)").arg(text));
        } else
            self(data)->lastError_ = text;
    }
    static void coreDone(void* data, std::uint32_t id, int seq) {
        if (id == PW_ID_CORE && seq == self(data)->releaseSeq_) self(data)->released();
    }
    static void disconnect(void* data, std::uint64_t) { self(data)->disconnectNow(); }
    static void timer(void* data, std::uint64_t) { self(data)->waitExpired(); }

    static pw_stream_events streamEvents() {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.state_changed = stateChanged;
        e.param_changed = paramChanged;
        e.process = process;
        return e;
    }
    static pw_core_events coreEvents() {
        pw_core_events e{};
        e.version = PW_VERSION_CORE_EVENTS;
        e.error = coreError;
        e.done = coreDone;
        return e;
    }
};

namespace {
const pw_stream_events kStreamEvents = PipeWireConsumerEvents::streamEvents();
const pw_core_events kCoreEvents = PipeWireConsumerEvents::coreEvents();
}  // namespace

std::unique_ptr<PipeWireConsumer> PipeWireConsumer::connect(PipeWireNode node,
                                                            const Settings& settings,
                                                            FrameHandler onFrame, EndHandler onEnd,
                                                            std::optional<Error>* error) {
    // Any node and no node would let the session manager link whatever it likes.
    if (node.nodeId == 0 || node.nodeId == PW_ID_ANY) {
        if (error)
            *error =
                consumerError(QStringLiteral("The window's stream names no PipeWire node (%1).")
                                  .arg(node.nodeId));
        return nullptr;
    }
    static std::once_flag initialised;
    std::call_once(initialised, [] { pw_init(nullptr, nullptr); });
    std::unique_ptr<PipeWireConsumer> consumer(
        new PipeWireConsumer(settings, std::move(onFrame), std::move(onEnd)));
    if (auto failure = consumer->start(std::move(node))) {
        if (error) *error = failure;
        return nullptr;
    }
    return consumer;
}

PipeWireConsumer::PipeWireConsumer(const Settings& settings, FrameHandler onFrame, EndHandler onEnd)
    : settings_(settings), onFrame_(std::move(onFrame)), onEnd_(std::move(onEnd)) {
    pacer_.setInterval(settings.minimumFrameInterval);
}

std::optional<Error> PipeWireConsumer::start(PipeWireNode node) {
    const auto fail = [](const char* what) {
        return consumerError(
            QStringLiteral("PipeWire: %1 (%2)")
                .arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno))));
    };
    loop_ = pw_thread_loop_new("mirano-capture", nullptr);
    if (!loop_) return fail("no thread loop");
    context_ = pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0);
    if (!context_) return fail("no context");
    if (pw_thread_loop_start(loop_) < 0) return fail("the thread did not start");

    LoopLock lock(loop_);
    // The connection takes the descriptor and closes it when it ends.
    core_ = node.remote.valid() ? pw_context_connect_fd(context_, node.remote.release(), nullptr, 0)
                                : pw_context_connect(context_, nullptr, 0);
    if (!core_) return fail("cannot connect to the daemon");
    pw_core_add_listener(core_, &coreListener_, &kCoreEvents, this);
    disconnectEvent_ =
        pw_loop_add_event(pw_thread_loop_get_loop(loop_), PipeWireConsumerEvents::disconnect, this);
    timer_ = pw_loop_add_timer(pw_thread_loop_get_loop(loop_), PipeWireConsumerEvents::timer, this);
    stream_ = pw_stream_new(core_, "Mirano window capture",
                            pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                              "Capture", PW_KEY_MEDIA_ROLE, "Screen",
                                              PW_KEY_NODE_DONT_RECONNECT, "true", nullptr));
    if (!stream_) return fail("no stream");
    pw_stream_add_listener(stream_, &streamListener_, &kStreamEvents, this);

    std::uint8_t storage[4096];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    // Linear DMA-BUFs first, where the producer has them; shared memory always.
    const spa_pod* params[] = {enumFormat(&builder, true), enumFormat(&builder, false)};
    const int linked = pw_stream_connect(
        stream_, PW_DIRECTION_INPUT, node.nodeId,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                     PW_STREAM_FLAG_DONT_RECONNECT),
        params, 2);
    if (linked < 0) {
        errno = -linked;
        return fail("cannot connect the stream");
    }
    nodeId_ = node.nodeId;
    watch_ = std::make_unique<LinkWatch>(core_, node.nodeId, watchEvents());
    awaitStep(kStreaming);
    return std::nullopt;
}

LinkWatch::Events PipeWireConsumer::watchEvents() {
    LinkWatch::Events events;
    events.linkFailed = [this](const QString& reason) {
        if (streamed_) return void(lastError_ = reason);
        end(QStringLiteral("the window's stream could not be linked to its producer (%1)")
                .arg(reason));
    };
    events.sessionManagerGone = [this] {
        if (ended_) return;
        sessionManagerGone_ = true;
        logLine(
            QStringLiteral("Wayland capture: the session manager (WirePlumber) stopped; "
                           "the window's stream stays unlinked until one runs again."));
    };
    return events;
}

PipeWireConsumer::~PipeWireConsumer() {
    if (!loop_) return;
    {
        LoopLock lock(loop_);
        closing_ = true;
        if (timer_) pw_loop_destroy_source(pw_thread_loop_get_loop(loop_), timer_);
        watch_.reset();
        if (stream_) {
            spa_hook_remove(&streamListener_);
            pw_stream_disconnect(stream_);
            pw_stream_destroy(stream_);
        }
        if (disconnectEvent_)
            pw_loop_destroy_source(pw_thread_loop_get_loop(loop_), disconnectEvent_);
        // The daemon has seen the stream go once it answers a round trip sent after it: no
        // node of ours is left for the session manager to link.
        if (core_ && stream_ && !connectionLost_) {
            releaseSeq_ = pw_core_sync(core_, PW_ID_CORE, 0);
            timespec deadline{};
            pw_thread_loop_get_time(loop_, &deadline,
                                    std::int64_t(kReleaseSeconds) * SPA_NSEC_PER_SEC);
            while (!releaseConfirmed_ && pw_thread_loop_timed_wait_full(loop_, &deadline) == 0) {
            }
            if (!releaseConfirmed_)
                logLine(QStringLiteral("Wayland capture: PipeWire did not confirm within %1 s that "
                                       "the stream was released.")
                            .arg(kReleaseSeconds));
        }
        if (core_) {
            spa_hook_remove(&coreListener_);
            pw_core_disconnect(core_);
        }
    }
    pw_thread_loop_stop(loop_);
    if (context_) pw_context_destroy(context_);
    pw_thread_loop_destroy(loop_);
}

void PipeWireConsumer::setActive(bool active) {
    LoopLock lock(loop_);
    active_ = active;
    if (ended_) return;
    pw_stream_set_active(stream_, active);
    // A paused stream owes nothing; resumed, it owes what it owed.
    awaitStep(waitingFor_);
}

void PipeWireConsumer::configure(const Settings& settings) {
    LoopLock lock(loop_);
    settings_ = settings;
    pacer_.setInterval(settings.minimumFrameInterval);
}

bool PipeWireConsumer::ended() const {
    LoopLock lock(loop_);
    return ended_;
}

void PipeWireConsumer::stateChanged(int state, const char* error) {
    if (closing_) return;
    QString why = QString::fromUtf8(error ? error : "");
    if (why.isEmpty()) why = notStartedReason();
    if (why.isEmpty()) why = QStringLiteral("no reason given");
    const bool failed = state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED;
    if (failed && !streamed_)
        end(QStringLiteral("the window's stream could not be set up with its producer (%1)")
                .arg(why));
    else if (state == PW_STREAM_STATE_ERROR)
        end(QStringLiteral("the stream failed (%1)").arg(why));
    else if (state == PW_STREAM_STATE_UNCONNECTED)
        end(QStringLiteral("the window's stream went away"));
    else if (state == PW_STREAM_STATE_STREAMING) {
        streamed_ = true;
        if (waitingFor_ == kStreaming) awaitStep(pictured_ ? kNothing : kPicture);
    } else if (state == PW_STREAM_STATE_PAUSED && streamed_ && active_) {
        // Unlinked without our asking (the session manager that linked it stopped, say): said
        // when it is not linked again within a bounded time.
        awaitStep(kStreaming);
    }
}

void PipeWireConsumer::awaitStep(int step) {
    waitingFor_ = step;
    if (!timer_) return;
    timespec due{};
    if (step != kNothing && active_ && !ended_) due.tv_sec = kStartSeconds;
    pw_loop_update_timer(pw_thread_loop_get_loop(loop_), timer_, &due, nullptr, false);
}

void PipeWireConsumer::waitExpired() {
    if (waitingFor_ == kNothing || !active_) return;
    if (waitingFor_ == kPicture)
        end(QStringLiteral("no picture came within %1 s of the stream starting")
                .arg(kStartSeconds));
    else if (streamed_) {
        // Said, not ended: a producer that merely paused, or a session manager that comes
        // back, links it again, and the pictures go on. A session manager seen to stop was
        // said already.
        if (sessionManagerGone_) return;
        logLine(QStringLiteral("Wayland capture: the window's stream lost its link and was not "
                               "linked again within %1 s (has the session manager, such as "
                               "WirePlumber, stopped?).")
                    .arg(kStartSeconds));
    } else
        end(QStringLiteral("the window's stream did not start within %1 s (%2)")
                .arg(kStartSeconds)
                .arg(notStartedReason().isEmpty()
                         ? QStringLiteral("is a session manager such as WirePlumber running?")
                         : notStartedReason()));
}

QString PipeWireConsumer::notStartedReason() const {
    if (watch_ && watch_->nodeMissing())
        return QStringLiteral("PipeWire has no node %1 for it").arg(nodeId_);
    return lastError_;
}

void PipeWireConsumer::released() {
    releaseConfirmed_ = true;
    pw_thread_loop_signal(loop_, false);
}

void PipeWireConsumer::formatChanged(const spa_pod* format) {
    if (!format || ended_) return;
    spa_video_info_raw info{};
    std::uint32_t mediaType = 0, mediaSubtype = 0;
    if (spa_format_parse(format, &mediaType, &mediaSubtype) < 0 ||
        mediaType != SPA_MEDIA_TYPE_video || mediaSubtype != SPA_MEDIA_SUBTYPE_raw ||
        spa_format_video_raw_parse(format, &info) < 0)
        return;
    const auto order = pixelOrder(info.format);
    if (!order) return;  // not one we offered
    order_ = *order;
    size_ = QSize(int(info.size.width), int(info.size.height));
    dmaBuf_ = spa_pod_find_prop(format, nullptr, SPA_FORMAT_VIDEO_modifier) != nullptr;
    std::uint8_t storage[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_pod* params[3];
    pw_stream_update_params(stream_, params,
                            std::uint32_t(bufferParams(&builder, params, dmaBuf_)));
}

void PipeWireConsumer::process() {
    // Only the newest buffer is shown; older ones go straight back to the producer.
    pw_buffer* newest = nullptr;
    while (pw_buffer* b = pw_stream_dequeue_buffer(stream_)) {
        if (newest) pw_stream_queue_buffer(stream_, newest);
        newest = b;
    }
    if (!newest) return;
    deliver(newest->buffer);
    pw_stream_queue_buffer(stream_, newest);
}

void PipeWireConsumer::deliver(spa_buffer* buffer) {
    if (!active_ || ended_ || buffer->n_datas < 1) return;
    auto* header = static_cast<spa_meta_header*>(
        spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)));
    if (header && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED)) return;
    const spa_data& data = buffer->datas[0];
    // An empty chunk carries no new picture (some compositors send pointer-only updates).
    if (!data.chunk || data.chunk->size == 0 || data.maxsize == 0 ||
        (data.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED))
        return;
    const auto now = FramePacer::Clock::now();
    if (!pacer_.isDue(now)) return;

    // Everything below is the producer's word, checked before a byte is read.
    const BufferLayout layout{data.mapoffset,   data.maxsize,       data.chunk->offset,
                              data.chunk->size, data.chunk->stride, size_};
    const auto bytes = pictureBytes(layout);
    if (!bytes)
        return reject(kLayout, QStringLiteral("its pictures' rows do not fit their buffers (%1 × "
                                              "%2 pixels, offset %3, stride %4, %5 of %6 bytes)")
                                   .arg(size_.width())
                                   .arg(size_.height())
                                   .arg(data.chunk->offset)
                                   .arg(data.chunk->stride)
                                   .arg(data.chunk->size)
                                   .arg(data.maxsize));
    // The window's rectangle in the picture, where the producer says where it is.
    std::optional<QRect> crop;
    if (const spa_region* r = cropOf(buffer)) {
        if (!cropFits(r->position.x, r->position.y, r->size.width, r->size.height, size_))
            return reject(kCrop, QStringLiteral("its crop region lies outside its %1 × %2 pictures")
                                     .arg(size_.width())
                                     .arg(size_.height()));
        crop = QRect(r->position.x, r->position.y, int(r->size.width), int(r->size.height));
    }
    const bool dmaBuf = data.type == SPA_DATA_DmaBuf;
    const std::uint64_t end = std::uint64_t(data.mapoffset) + data.chunk->offset + *bytes;
    bool mayShrink = false;
    if (dmaBuf || data.type == SPA_DATA_MemFd) {
        const auto held = bytesInFile(int(data.fd), dmaBuf);
        if (!held || *held < end)
            return reject(kBeyondMemory,
                          QStringLiteral("its buffers claim more bytes than their memory holds "
                                         "(%1 needed, %2 there)")
                              .arg(end)
                              .arg(held ? QString::number(*held) : QStringLiteral("unknown")));
        mayShrink = !cannotShrink(int(data.fd));
    }

    std::optional<DmaBufMapping> mapping;
    const std::uint8_t* memory = static_cast<const std::uint8_t*>(data.data);
    if (dmaBuf) {
        mapping.emplace(int(data.fd), std::size_t(end));
        if (!mapping->data()) return refuseDmaBuf();
        memory = mapping->data() + data.mapoffset;
    }
    if (!memory) return;
    MappedImage image;
    image.data = memory + data.chunk->offset;
    image.size = std::size_t(*bytes);
    image.width = size_.width();
    image.height = size_.height();
    image.stride = std::size_t(data.chunk->stride);
    image.order = order_;
    // A file that may shrink under us (the producer truncates it) is read under a guard: the
    // copy then reads zeros, and the picture is dropped.
    std::optional<BusErrorGuard> guard;
    if (mayShrink) guard.emplace(image.data, image.size);
    const bool presented = present(image, crop, guard ? &*guard : nullptr);
    if (guard && guard->failed())
        return reject(kShrank, QStringLiteral("its memory shrank while a picture was read"));
    if (!presented) return;
    pacer_.shown(now);
    const bool first = !pictured_;
    if (first) {
        pictured_ = true;
        if (waitingFor_ == kPicture) awaitStep(kNothing);
    }
    const QSize content = crop ? crop->size() : size_;
    if (content != contentSize_) {
        contentSize_ = content;
        if (settings_.onContentSize) settings_.onContentSize(content);
    }
    // After the size: the PiP shows at the first picture in the window's shape.
    if (first && settings_.onFirstPicture) settings_.onFirstPicture();
}

bool PipeWireConsumer::present(const MappedImage& image, const std::optional<QRect>& crop,
                               const BusErrorGuard* guard) {
    const QRect area = frameArea(size_, crop, settings_.sourceRect, settings_.logicalSize);
    if (area.isEmpty()) return false;
    if (settings_.sink) {
        // A picture the sink could not show (its panel is hidden) still shows the stream lives.
        // A sink shows what it copied at once, zeros too where the memory shrank: the stream's
        // next picture replaces them.
        settings_.sink->show(image, area);
        return true;
    }
    if (!pool_ || pool_->width() != area.width() || pool_->height() != area.height())
        pool_ = HeapFramePool::create(area.width(), area.height(), kMaxFrames);
    auto frame = pool_->acquire();
    if (!frame) return false;
    copyArea(image, area, frame->mutableData(), frame->bytesPerRow());
    if (guard && guard->failed()) return false;
    if (onFrame_) onFrame_(frame);
    return true;
}

void PipeWireConsumer::reject(int fault, const QString& line) {
    if (said_ & unsigned(fault)) return;
    said_ |= unsigned(fault);
    logLine(QStringLiteral("Wayland capture: the window's stream is faulty, %1; those pictures "
                           "are dropped.")
                .arg(line));
}

void PipeWireConsumer::refuseDmaBuf() {
    if (!dmaBuf_) return;
    dmaBuf_ = false;
    logLine(
        QStringLiteral("Wayland capture: GPU buffers cannot be read here; asking for shared "
                       "memory instead."));
    // Offering shared memory alone makes the link agree on a new format.
    std::uint8_t storage[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_pod* params[] = {enumFormat(&builder, false)};
    pw_stream_update_params(stream_, params, 1);
}

void PipeWireConsumer::end(const QString& reason) {
    if (ended_ || closing_) return;
    ended_ = true;
    logLine(QStringLiteral("Wayland capture ended: %1.").arg(reason));
    if (onEnd_)
        onEnd_(
            consumerError(QStringLiteral("The captured window's stream ended: %1.").arg(reason)));
    // Disconnected on the next turn of the loop, not inside PipeWire's own callback: a stream
    // that is not connected can never be linked to another source.
    pw_loop_signal_event(pw_thread_loop_get_loop(loop_), disconnectEvent_);
}

void PipeWireConsumer::disconnectNow() {
    if (stream_) pw_stream_disconnect(stream_);
}

}  // namespace mirano::wayland
