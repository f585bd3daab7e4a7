// Reads the compositor's globals with one roundtrip and binds them on request.
#include "platform/wayland/client/WaylandRegistry.h"

#include <wayland-client.h>

#include <algorithm>

namespace mirano::wayland {

void WaylandRegistry::onGlobal(void* data, wl_registry*, std::uint32_t name, const char* interface,
                               std::uint32_t version) {
    static_cast<WaylandRegistry*>(data)->entries_.append(
        {name, {QString::fromLatin1(interface), version}});
}

void WaylandRegistry::onGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto& entries = static_cast<WaylandRegistry*>(data)->entries_;
    entries.removeIf([name](const Entry& e) { return e.name == name; });
}

WaylandRegistry::WaylandRegistry(wl_display* display, wl_event_queue* queue) {
    if (!display) return;
    static const wl_registry_listener listener = {&WaylandRegistry::onGlobal,
                                                  &WaylandRegistry::onGlobalRemove};
    // A wrapper puts the registry (and what it binds) on our queue without racing Qt's reader.
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    if (queue) wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    registry_.reset(wl_display_get_registry(wrapper));
    wl_proxy_wrapper_destroy(wrapper);
    wl_registry_add_listener(registry_.get(), &listener, this);
    if (queue)
        wl_display_roundtrip_queue(display, queue);
    else
        wl_display_roundtrip(display);
}

WaylandRegistry::~WaylandRegistry() = default;

QList<WaylandGlobal> WaylandRegistry::globals() const {
    QList<WaylandGlobal> out;
    for (const Entry& e : entries_) out.append(e.global);
    return out;
}

std::uint32_t WaylandRegistry::version(const char* interface) const {
    const QLatin1String name(interface);
    for (const Entry& e : entries_)
        if (e.global.interface == name) return e.global.version;
    return 0;
}

void* WaylandRegistry::bind(const wl_interface* interface, std::uint32_t maxVersion) const {
    const QLatin1String name(interface->name);
    for (const Entry& e : entries_) {
        if (e.global.interface != name) continue;
        return wl_registry_bind(registry_.get(), e.name, interface,
                                std::min(e.global.version, maxVersion));
    }
    return nullptr;
}

}  // namespace mirano::wayland
