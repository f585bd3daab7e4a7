// One owner for a Wayland proxy: destroyed (with the request its interface has for it) when the
// owner goes.
#pragma once

#include <memory>

struct wl_buffer;
struct wl_compositor;
struct wl_output;
struct wl_region;
struct wl_registry;
struct wl_shm;
struct wl_shm_pool;
struct wl_subcompositor;
struct wl_subsurface;
struct wl_seat;
struct wl_surface;
struct wp_viewport;
struct wp_viewporter;
struct xdg_popup;
struct xdg_positioner;
struct xdg_surface;
struct xdg_wm_base;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct zwp_relative_pointer_manager_v1;
struct zwp_relative_pointer_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace mirano::wayland {

/// The interfaces' own destroy functions are static inline in the scanner's headers, so they
/// are called from one file rather than named in templates.
struct WlDeleter {
    void operator()(wl_buffer* proxy) const;
    void operator()(wl_compositor* proxy) const;
    void operator()(wl_output* proxy) const;
    void operator()(wl_region* proxy) const;
    void operator()(wl_registry* proxy) const;
    void operator()(wl_shm* proxy) const;
    void operator()(wl_shm_pool* proxy) const;
    void operator()(wl_subcompositor* proxy) const;
    void operator()(wl_subsurface* proxy) const;
    void operator()(wl_seat* proxy) const;
    void operator()(wl_surface* proxy) const;
    void operator()(wp_viewport* proxy) const;
    void operator()(wp_viewporter* proxy) const;
    void operator()(xdg_popup* proxy) const;
    void operator()(xdg_positioner* proxy) const;
    void operator()(xdg_surface* proxy) const;
    void operator()(xdg_wm_base* proxy) const;
    void operator()(zwlr_foreign_toplevel_handle_v1* proxy) const;
    void operator()(zwlr_foreign_toplevel_manager_v1* proxy) const;
    void operator()(zwlr_layer_shell_v1* proxy) const;
    void operator()(zwlr_layer_surface_v1* proxy) const;
    void operator()(zwp_relative_pointer_manager_v1* proxy) const;
    void operator()(zwp_relative_pointer_v1* proxy) const;
    void operator()(zxdg_output_manager_v1* proxy) const;
    void operator()(zxdg_output_v1* proxy) const;
};

template <typename T>
using WlPtr = std::unique_ptr<T, WlDeleter>;

}  // namespace mirano::wayland
