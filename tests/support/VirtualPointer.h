// A pointer device for a headless wlroots compositor, driven by the test (wlr-virtual-pointer).
#pragma once

#include <QPoint>
#include <cstdint>

struct wl_display;
struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;

namespace mirano::testing {

class WaylandSession;

/// On its own connection to the session's compositor. While it exists the seat has a pointer, so
/// clients get pointer events. Positions are in the layout's logical pixels of the session's one
/// output.
class VirtualPointer {
public:
    explicit VirtualPointer(const WaylandSession& session);
    ~VirtualPointer();
    VirtualPointer(const VirtualPointer&) = delete;
    VirtualPointer& operator=(const VirtualPointer&) = delete;

    bool isValid() const { return pointer_ != nullptr; }
    void moveTo(QPoint position);
    /// Left button down / up at the current position.
    void press() { button(true, now()); }
    void release() { button(false, now()); }
    /// `count` left clicks at `position`, stamped a millisecond apart however long they take to
    /// arrive (2: a double click).
    void click(QPoint position, int count = 1);

private:
    void button(bool down, std::uint32_t time);
    void send();
    /// Milliseconds of the monotonic clock, which compositors stamp their events with.
    std::uint32_t now() const;

    wl_display* display_ = nullptr;
    zwlr_virtual_pointer_manager_v1* manager_ = nullptr;
    zwlr_virtual_pointer_v1* pointer_ = nullptr;
};

}  // namespace mirano::testing
