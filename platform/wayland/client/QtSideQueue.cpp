// Our queue on Qt's connection: roundtrips that dispatch nothing of Qt's, and hand-over.
#include "platform/wayland/client/QtSideQueue.h"

#include <wayland-client.h>

#include "platform/wayland/client/QtWaylandNative.h"
#include "platform/wayland/client/WaylandRegistry.h"

namespace mirano::wayland {

QtSideQueue::QtSideQueue() : display_(qtDisplay()) {
    if (!display_) return;
    queue_ = wl_display_create_queue(display_);
    registry_ = std::make_unique<WaylandRegistry>(display_, queue_);
}

QtSideQueue::~QtSideQueue() {
    registry_.reset();
    if (queue_) wl_event_queue_destroy(queue_);
}

bool QtSideQueue::roundtrip() {
    return queue_ && wl_display_roundtrip_queue(display_, queue_) >= 0;
}

bool QtSideQueue::commitAndAwait(wl_surface* surface, const bool& configured) {
    // Each roundtrip waits for the compositor's answer; the configure comes with the first.
    constexpr int kRoundtrips = 3;
    wl_surface_commit(surface);
    for (int i = 0; i < kRoundtrips && !configured; ++i)
        if (!roundtrip()) break;
    return configured;
}

void QtSideQueue::handOver(wl_proxy* proxy) {
    // After the move every event for it is queued on Qt's queue; what reached ours before is
    // dispatched now, so nothing is left behind.
    wl_proxy_set_queue(proxy, nullptr);
    wl_display_dispatch_queue_pending(display_, queue_);
}

}  // namespace mirano::wayland
