// The pointer's own movement during a drag, whatever the compositor does with the surface.
#pragma once

#include <QPointF>
#include <cstdint>
#include <memory>

struct zwp_relative_pointer_manager_v1;
struct zwp_relative_pointer_v1;

namespace mirano::wayland {

class QtSideQueue;

/// Sums the relative motion of Qt's pointer from its creation on. Surface-local positions
/// cannot measure a drag that moves the surface: sway, for one, keeps reporting them relative
/// to where the surface was when the button went down.
class RelativeMotion {
public:
    ~RelativeMotion();
    RelativeMotion(const RelativeMotion&) = delete;
    RelativeMotion& operator=(const RelativeMotion&) = delete;

    /// Logical pixels moved since the start.
    QPointF total() const { return total_; }

private:
    friend class RelativePointers;
    explicit RelativeMotion(zwp_relative_pointer_v1* pointer);
    static void onMotion(void* data, zwp_relative_pointer_v1*, std::uint32_t, std::uint32_t,
                         std::int32_t dx, std::int32_t dy, std::int32_t, std::int32_t);

    zwp_relative_pointer_v1* pointer_ = nullptr;
    QPointF total_;
};

/// zwp_relative_pointer_manager_v1 on Qt's connection.
class RelativePointers {
public:
    explicit RelativePointers(std::shared_ptr<QtSideQueue> queue);
    ~RelativePointers();
    RelativePointers(const RelativePointers&) = delete;
    RelativePointers& operator=(const RelativePointers&) = delete;

    /// Starts summing Qt's pointer motion; null without the global or a pointer.
    std::unique_ptr<RelativeMotion> track();

private:
    std::shared_ptr<QtSideQueue> queue_;
    zwp_relative_pointer_manager_v1* manager_ = nullptr;
};

}  // namespace mirano::wayland
