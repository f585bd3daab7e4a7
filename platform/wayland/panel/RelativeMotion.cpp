// Relative pointer motion of Qt's wl_pointer, summed for our drags.
#include "platform/wayland/panel/RelativeMotion.h"

#include <wayland-client.h>

#include "platform/wayland/client/QtSideQueue.h"
#include "platform/wayland/client/QtWaylandNative.h"
#include "platform/wayland/client/WaylandRegistry.h"
#include "relative-pointer-unstable-v1-client-protocol.h"

namespace mirano::wayland {

RelativeMotion::RelativeMotion(zwp_relative_pointer_v1* pointer) : pointer_(pointer) {
    static const zwp_relative_pointer_v1_listener listener = {&RelativeMotion::onMotion};
    zwp_relative_pointer_v1_add_listener(pointer_.get(), &listener, this);
}

void RelativeMotion::onMotion(void* data, zwp_relative_pointer_v1*, std::uint32_t, std::uint32_t,
                              wl_fixed_t dx, wl_fixed_t dy, wl_fixed_t, wl_fixed_t) {
    auto* self = static_cast<RelativeMotion*>(data);
    self->total_ += QPointF(wl_fixed_to_double(dx), wl_fixed_to_double(dy));
}

RelativePointers::RelativePointers(std::shared_ptr<QtSideQueue> queue) : queue_(std::move(queue)) {
    if (queue_->isValid())
        manager_.reset(static_cast<zwp_relative_pointer_manager_v1*>(
            queue_->registry().bind(&zwp_relative_pointer_manager_v1_interface, 1)));
}

std::unique_ptr<RelativeMotion> RelativePointers::track() {
    wl_pointer* pointer = qtPointer();
    if (!manager_ || !pointer) return nullptr;
    std::unique_ptr<RelativeMotion> motion(new RelativeMotion(
        zwp_relative_pointer_manager_v1_get_relative_pointer(manager_.get(), pointer)));
    queue_->handOver(reinterpret_cast<wl_proxy*>(motion->pointer_.get()));
    return motion;
}

}  // namespace mirano::wayland
