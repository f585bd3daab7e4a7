// mirano-wayland-frame-counter: counts the frames a wlroots compositor shows that differ from the
// one before, as a measure of the frames that reach a mirror's window when nothing else on the
// output changes. A tool for the benchmarks, not part of the program.
//
//   mirano-wayland-frame-counter <seconds>
// Prints "frames=N": output frames with damage during <seconds> after the first one.
// It asks for a one-pixel copy with damage again and again: the compositor answers once per
// repaint that changed anything, and copies one pixel, which costs it next to nothing.
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Counter {
    wl_shm* shm = nullptr;
    wl_output* output = nullptr;
    zwlr_screencopy_manager_v1* manager = nullptr;
    zwlr_screencopy_frame_v1* frame = nullptr;
    wl_buffer* buffer = nullptr;
    bool counting = false, failed = false;
    Clock::time_point end;
    std::chrono::duration<double> seconds{};
    long frames = 0;

    ~Counter() {
        if (frame) zwlr_screencopy_frame_v1_destroy(frame);
        if (buffer) wl_buffer_destroy(buffer);
        if (manager) zwlr_screencopy_manager_v1_destroy(manager);
        if (output) wl_output_destroy(output);
        if (shm) wl_shm_destroy(shm);
    }
    void request();
};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t version) {
    auto* c = static_cast<Counter*>(data);
    if (!std::strcmp(interface, wl_shm_interface.name))
        c->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    else if (!std::strcmp(interface, wl_output_interface.name) && !c->output)
        c->output =
            static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 1));
    else if (!std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) && version >= 2)
        c->manager = static_cast<zwlr_screencopy_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_screencopy_manager_v1_interface, 2));
}
void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener kRegistry{onGlobal, onGlobalRemove};

/// The buffer the copy needs: made once (the compositor asks for the same each time).
void onBuffer(void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t format,
              std::uint32_t width, std::uint32_t height, std::uint32_t stride) {
    auto* c = static_cast<Counter*>(data);
    if (!c->buffer) {
        const auto size = std::size_t(stride) * height;
        const int fd = memfd_create("mirano-frame-counter", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, off_t(size)) != 0) std::abort();
        wl_shm_pool* pool = wl_shm_create_pool(c->shm, fd, int(size));
        c->buffer =
            wl_shm_pool_create_buffer(pool, 0, int(width), int(height), int(stride), format);
        wl_shm_pool_destroy(pool);
        close(fd);
    }
    zwlr_screencopy_frame_v1_copy_with_damage(frame, c->buffer);
}
void onFlags(void*, zwlr_screencopy_frame_v1*, std::uint32_t) {}
/// A changed frame was shown: the first one starts the count.
void onReady(void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {
    auto* c = static_cast<Counter*>(data);
    if (c->counting) ++c->frames;
    if (!c->counting)
        c->end = Clock::now() + std::chrono::duration_cast<Clock::duration>(c->seconds);
    c->counting = true;
    zwlr_screencopy_frame_v1_destroy(c->frame);
    c->frame = nullptr;
    c->request();
}
void onFailed(void* data, zwlr_screencopy_frame_v1*) { static_cast<Counter*>(data)->failed = true; }
void onDamage(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t,
              std::uint32_t) {}
const zwlr_screencopy_frame_v1_listener kFrame{onBuffer, onFlags, onReady, onFailed, onDamage};

void Counter::request() {
    frame = zwlr_screencopy_manager_v1_capture_output_region(manager, 0, output, 0, 0, 1, 1);
    zwlr_screencopy_frame_v1_add_listener(frame, &kFrame, this);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mirano-wayland-frame-counter <seconds>\n");
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return 1;
    int status = 1;
    {
        Counter c;
        c.seconds = std::chrono::duration<double>(std::atof(argv[1]));
        wl_registry* registry = wl_display_get_registry(display);
        wl_registry_add_listener(registry, &kRegistry, &c);
        wl_display_roundtrip(display);
        if (c.shm && c.output && c.manager) {
            c.request();
            // Until the count is over, or a minute without any change.
            const auto giveUp = Clock::now() + std::chrono::minutes(1);
            while (!c.failed && (c.counting ? Clock::now() < c.end : Clock::now() < giveUp)) {
                while (wl_display_prepare_read(display) != 0) wl_display_dispatch_pending(display);
                wl_display_flush(display);
                pollfd p{wl_display_get_fd(display), POLLIN, 0};
                if (poll(&p, 1, 50) > 0)
                    wl_display_read_events(display);
                else
                    wl_display_cancel_read(display);
                if (wl_display_dispatch_pending(display) < 0) break;
            }
            status = c.counting && !c.failed ? 0 : 1;
            std::printf("frames=%ld\n", c.frames);
        } else {
            std::fprintf(stderr, "the compositor offers no screencopy\n");
        }
        wl_registry_destroy(registry);
    }
    wl_display_disconnect(display);
    return status;
}
