// A window's stream as a compositor makes one, for the Wayland capture tests: a PipeWire driver
// node (Video/Source) with BGRx pixels in a known pattern, rows padded beyond width × 4 (or a
// stride of 0), and the window's rectangle inside the monitor-sized buffer as VideoCrop metadata.
//
// Usage: mirano_test_frame_producer NAME WIDTH HEIGHT [--crop X Y W H] [--padding BYTES]
//        [--stride-zero] [--rate FPS] [--fault KIND]
// The buffers are memfds of its own. A fault makes it misbehave as a buggy or hostile producer
// does: maxsize (buffers claim more bytes than their memfd holds), truncate (memfds truncated
// after some frames), dmabuf (short memfds sent as DMA-BUFs), stride (below width × 4), offset
// (past the buffer), offset-wrap (one that a modulo would wrap into the buffer), crop (a region
// outside the picture), silent (never a frame), once (one frame only, as of a window that does
// not change), format (only a format no consumer takes).
// Prints "node ID" once the node exists, "streaming" once a consumer is linked, and on SIGUSR1
// "frames MADE SENT" for the benchmarks: the frames made while streaming, and those of them that
// had a buffer to go in (the consumer holds the others).
#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Producer {
    pw_main_loop* loop = nullptr;
    pw_stream* stream = nullptr;
    int width = 0, height = 0, cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0, padding = 0;
    int rate = 50;
    bool strideZero = false, saidNode = false;
    std::string fault;
    std::vector<int> fds;
    unsigned long made = 0, sent = 0;
    int stride() const { return width * 4 + padding; }
    std::uint32_t bytes() const { return std::uint32_t(stride() * height); }
};

/// A memfd of the buffer's size (less for the faults that say so), mapped for drawing.
void onAddBuffer(void* data, pw_buffer* buffer) {
    auto* p = static_cast<Producer*>(data);
    spa_data& d = buffer->buffer->datas[0];
    const bool dmaBuf = p->fault == "dmabuf" && (d.type & (1u << SPA_DATA_DmaBuf));
    const std::uint32_t held = p->fault == "maxsize" || dmaBuf ? p->bytes() / 2 : p->bytes();
    const int fd = memfd_create("mirano-test-frame", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, p->bytes()) < 0) return;
    void* pixels = mmap(nullptr, p->bytes(), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED || ftruncate(fd, held) < 0) return;
    d.type = dmaBuf ? SPA_DATA_DmaBuf : SPA_DATA_MemFd;
    d.flags = SPA_DATA_FLAG_READABLE;
    d.fd = fd;
    d.mapoffset = 0;
    d.maxsize = p->bytes();
    d.data = pixels;
    p->fds.push_back(fd);
}

void onRemoveBuffer(void* data, pw_buffer* buffer) {
    auto* p = static_cast<Producer*>(data);
    spa_data& d = buffer->buffer->datas[0];
    if (d.data) munmap(d.data, p->bytes());
    std::erase(p->fds, int(d.fd));
    if (d.fd >= 0) close(int(d.fd));
}

/// The test pattern: blue is x, green is y (buffer coordinates), red a constant, and the
/// unused fourth byte 0, so that a consumer must make it opaque itself.
void draw(const Producer& p, std::uint8_t* pixels) {
    for (int y = 0; y < p.height; ++y) {
        std::uint8_t* row = pixels + std::size_t(y) * std::size_t(p.stride());
        for (int x = 0; x < p.width; ++x) {
            row[x * 4] = std::uint8_t(x);
            row[x * 4 + 1] = std::uint8_t(y);
            row[x * 4 + 2] = 0xa0;
            row[x * 4 + 3] = 0;
        }
        std::memset(row + p.width * 4, 0xee, std::size_t(p.padding));
    }
}

void onProcess(void* data) {
    auto* p = static_cast<Producer*>(data);
    pw_buffer* b = pw_stream_dequeue_buffer(p->stream);
    if (!b) return;
    spa_data& d = b->buffer->datas[0];
    // What is held of the memfd is drawn; the rest of the mapping would fault here too.
    const bool whole = p->fault != "maxsize" && p->fault != "dmabuf";
    if (p->fault == "truncate" && p->sent == 10)
        for (const int fd : p->fds) (void)ftruncate(fd, 0);
    if (whole && (p->fault != "truncate" || p->sent < 10))
        draw(*p, static_cast<std::uint8_t*>(d.data));
    const std::int32_t stride = p->fault == "stride" ? p->width * 4 - 4
                                : p->strideZero      ? 0
                                                     : p->stride();
    const std::uint32_t offset = p->fault == "offset"        ? 4
                                 : p->fault == "offset-wrap" ? d.maxsize + 4
                                                             : 0;
    *d.chunk = {offset, p->bytes(), stride, 0};
    if (auto* crop = static_cast<spa_meta_region*>(
            spa_buffer_find_meta_data(b->buffer, SPA_META_VideoCrop, sizeof(spa_meta_region))))
        crop->region = {SPA_POINT(p->fault == "crop" ? p->width : p->cropX, p->cropY),
                        SPA_RECTANGLE(std::uint32_t(p->cropWidth), std::uint32_t(p->cropHeight))};
    if (auto* header = static_cast<spa_meta_header*>(
            spa_buffer_find_meta_data(b->buffer, SPA_META_Header, sizeof(spa_meta_header))))
        header->flags = 0, header->pts = -1;
    pw_stream_queue_buffer(p->stream, b);
    ++p->sent;
}

void onParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
    auto* p = static_cast<Producer*>(data);
    if (id != SPA_PARAM_Format || !param) return;
    std::uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_pod* params[3];
    params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
        SPA_POD_CHOICE_RANGE_Int(4, 2, 8), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
        SPA_PARAM_BUFFERS_size, SPA_POD_Int(p->stride() * p->height), SPA_PARAM_BUFFERS_stride,
        SPA_POD_Int(p->stride()), SPA_PARAM_BUFFERS_dataType,
        SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_DmaBuf))));
    params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
    params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_VideoCrop), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_region))));
    pw_stream_update_params(p->stream, params, 3);
}

void onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char*) {
    auto* p = static_cast<Producer*>(data);
    if (state == PW_STREAM_STATE_PAUSED && !p->saidNode) {
        p->saidNode = true;
        std::printf("node %u\n", pw_stream_get_node_id(p->stream));
    }
    if (state == PW_STREAM_STATE_STREAMING) std::printf("streaming\n");
    std::fflush(stdout);
}

/// The driver: a new frame every 1 / rate seconds while a consumer is linked.
void onTimer(void* data, std::uint64_t) {
    auto* p = static_cast<Producer*>(data);
    if (pw_stream_get_state(p->stream, nullptr) != PW_STREAM_STATE_STREAMING ||
        p->fault == "silent" || (p->fault == "once" && p->made > 0))
        return;
    ++p->made;
    pw_stream_trigger_process(p->stream);
}

void onSignal(void* data, int) { pw_main_loop_quit(static_cast<pw_main_loop*>(data)); }

void onCount(void* data, int) {
    const auto* p = static_cast<Producer*>(data);
    std::printf("frames %lu %lu\n", p->made, p->sent);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s NAME WIDTH HEIGHT [options]\n", argv[0]);
        return 2;
    }
    Producer p;
    p.width = p.cropWidth = std::atoi(argv[2]);
    p.height = p.cropHeight = std::atoi(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--crop" && i + 4 < argc)
            for (int* v : {&p.cropX, &p.cropY, &p.cropWidth, &p.cropHeight})
                *v = std::atoi(argv[++i]);
        else if (option == "--padding" && i + 1 < argc)
            p.padding = std::atoi(argv[++i]);
        else if (option == "--rate" && i + 1 < argc)
            p.rate = std::max(2, std::atoi(argv[++i]));
        else if (option == "--fault" && i + 1 < argc)
            p.fault = argv[++i];
        p.strideZero = p.strideZero || option == "--stride-zero";
    }
    pw_init(&argc, &argv);
    p.loop = pw_main_loop_new(nullptr);
    pw_loop* loop = pw_main_loop_get_loop(p.loop);
    for (const int signal : {SIGINT, SIGTERM}) pw_loop_add_signal(loop, signal, onSignal, p.loop);
    pw_loop_add_signal(loop, SIGUSR1, onCount, &p);
    pw_stream_events events{.version = PW_VERSION_STREAM_EVENTS,
                            .state_changed = onStateChanged,
                            .param_changed = onParamChanged,
                            .add_buffer = onAddBuffer,
                            .remove_buffer = onRemoveBuffer,
                            .process = onProcess};
    p.stream =
        pw_stream_new_simple(loop, argv[1],
                             pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", PW_KEY_NODE_NAME,
                                               argv[1], PW_KEY_MEDIA_TYPE, "Video", nullptr),
                             &events, &p);

    std::uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_rectangle size = SPA_RECTANGLE(std::uint32_t(p.width), std::uint32_t(p.height));
    const spa_fraction rate = SPA_FRACTION(0, 1);
    spa_pod_frame frame;
    spa_pod_builder_push_object(&b, &frame, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(
        &b, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
        SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_Id(p.fault == "format" ? SPA_VIDEO_FORMAT_NV12 : SPA_VIDEO_FORMAT_BGRx),
        SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size), SPA_FORMAT_VIDEO_framerate,
        SPA_POD_Fraction(&rate), 0);
    // A DMA-BUF is offered as a linear one, the only kind a consumer without a GPU takes.
    if (p.fault == "dmabuf") {
        spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_modifier, SPA_POD_PROP_FLAG_MANDATORY);
        spa_pod_builder_long(&b, 0);
    }
    const spa_pod* params[] = {static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &frame))};
    pw_stream_connect(
        p.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_ALLOC_BUFFERS), params,
        1);
    spa_source* timer = pw_loop_add_timer(loop, onTimer, &p);
    timespec interval{0, 1000 * 1000 * 1000 / p.rate};
    pw_loop_update_timer(loop, timer, &interval, &interval, false);
    pw_main_loop_run(p.loop);
    pw_stream_destroy(p.stream);
    pw_main_loop_destroy(p.loop);
    pw_deinit();
    return 0;
}
