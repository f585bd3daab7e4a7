// The globals a Wayland compositor announces, and binding one of them.
#pragma once

#include <QList>
#include <QString>
#include <cstdint>

#include "platform/wayland/client/WlPtr.h"

struct wl_display;
struct wl_event_queue;
struct wl_interface;

namespace mirano::wayland {

/// One global: its interface name and the highest version the compositor offers.
struct WaylandGlobal {
    QString interface;
    std::uint32_t version = 0;
    bool operator==(const WaylandGlobal&) const = default;
};

/// Reads the globals once (one roundtrip on `queue`; on the display's default queue when null,
/// which only a connection of our own may use); the objects it binds are on the same queue.
class WaylandRegistry {
public:
    WaylandRegistry(wl_display* display, wl_event_queue* queue = nullptr);
    ~WaylandRegistry();
    WaylandRegistry(const WaylandRegistry&) = delete;
    WaylandRegistry& operator=(const WaylandRegistry&) = delete;

    QList<WaylandGlobal> globals() const;
    /// The version offered for `interface`, 0 when the global is absent.
    std::uint32_t version(const char* interface) const;
    /// Binds the first global of `interface` at min(offered, maxVersion); null when absent.
    /// The caller owns the proxy.
    void* bind(const wl_interface* interface, std::uint32_t maxVersion) const;

private:
    struct Entry {
        std::uint32_t name;
        WaylandGlobal global;
    };
    static void onGlobal(void* data, wl_registry*, std::uint32_t name, const char* interface,
                         std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry*, std::uint32_t name);

    WlPtr<wl_registry> registry_;
    QList<Entry> entries_;
};

}  // namespace mirano::wayland
