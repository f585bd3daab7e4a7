// The pointer's own movement during a drag, whatever the compositor does with the surface.
#pragma once

#include <QPointF>
#include <cstdint>
#include <memory>

#include "platform/wayland/client/WlPtr.h"

namespace mirano::wayland {

class QtSideQueue;

/// Sums the relative motion of Qt's pointer from its creation on. Surface-local positions
/// cannot measure a drag that moves the surface: sway, for one, keeps reporting them relative
/// to where the surface was when the button went down.
class RelativeMotion {
public:
    /// Logical pixels moved since the start.
    QPointF total() const { return total_; }

private:
    friend class RelativePointers;
    explicit RelativeMotion(zwp_relative_pointer_v1* pointer);
    static void onMotion(void* data, zwp_relative_pointer_v1*, std::uint32_t, std::uint32_t,
                         std::int32_t dx, std::int32_t dy, std::int32_t, std::int32_t);

    WlPtr<zwp_relative_pointer_v1> pointer_;
    QPointF total_;
};

/// zwp_relative_pointer_manager_v1 on Qt's connection.
class RelativePointers {
public:
    explicit RelativePointers(std::shared_ptr<QtSideQueue> queue);

    /// Starts summing Qt's pointer motion; null without the global or a pointer.
    std::unique_ptr<RelativeMotion> track();

private:
    std::shared_ptr<QtSideQueue> queue_;
    WlPtr<zwp_relative_pointer_manager_v1> manager_;
};

}  // namespace mirano::wayland
