// Ownership of Wayland client objects: a unique_ptr that calls the object's destroy function.
#pragma once

#include <memory>

namespace mirano::wayland {

template <auto Destroy>
struct WaylandDeleter {
    template <typename T>
    void operator()(T* object) const {
        if (object) Destroy(object);
    }
};

/// Owns one Wayland object of type T, released with `Destroy` (e.g. wl_region_destroy).
template <typename T, auto Destroy>
using WaylandPtr = std::unique_ptr<T, WaylandDeleter<Destroy>>;

}  // namespace mirano::wayland
