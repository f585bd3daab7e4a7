// Synthetic pointer input through wlr-virtual-pointer on a connection of the test's own.
#include "tests/support/VirtualPointer.h"

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <ctime>

#include "tests/support/WaylandSession.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace mirano::testing {

static void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                     std::uint32_t) {
    if (QLatin1String(interface) == QLatin1String(zwlr_virtual_pointer_manager_v1_interface.name))
        *static_cast<zwlr_virtual_pointer_manager_v1**>(data) =
            static_cast<zwlr_virtual_pointer_manager_v1*>(
                wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}
static void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}

VirtualPointer::VirtualPointer(const WaylandSession& session) {
    display_ = wl_display_connect(session.waylandDisplay().toLocal8Bit().constData());
    if (!display_) return;
    static const wl_registry_listener listener = {&onGlobal, &onGlobalRemove};
    wl_registry* registry = wl_display_get_registry(display_);
    wl_registry_add_listener(registry, &listener, &manager_);
    wl_display_roundtrip(display_);
    wl_registry_destroy(registry);
    if (!manager_) return;
    pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager_, nullptr);
    wl_display_roundtrip(display_);
}

VirtualPointer::~VirtualPointer() {
    if (pointer_) zwlr_virtual_pointer_v1_destroy(pointer_);
    if (manager_) zwlr_virtual_pointer_manager_v1_destroy(manager_);
    if (display_) wl_display_disconnect(display_);
}

std::uint32_t VirtualPointer::now() const {
    // The compositor's own clock: an event stamped 0 gets its time instead, and a later one
    // stamped on another clock would seem to come before it (no double-click then).
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint32_t>(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

void VirtualPointer::send() {
    zwlr_virtual_pointer_v1_frame(pointer_);
    wl_display_roundtrip(display_);
}

void VirtualPointer::moveTo(QPoint p) {
    if (!pointer_) return;
    zwlr_virtual_pointer_v1_motion_absolute(pointer_, now(), std::uint32_t(p.x()),
                                            std::uint32_t(p.y()), WaylandSession::kWidth,
                                            WaylandSession::kHeight);
    send();
}

void VirtualPointer::button(bool down, std::uint32_t time) {
    if (!pointer_) return;
    zwlr_virtual_pointer_v1_button(
        pointer_, time, BTN_LEFT,
        down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    send();
}

void VirtualPointer::click(QPoint position, int count) {
    moveTo(position);
    const std::uint32_t time = now();
    for (int i = 0; i < count; ++i) {
        button(true, time + std::uint32_t(i));
        button(false, time + std::uint32_t(i));
    }
}

}  // namespace mirano::testing
