#include "platform/wayland/client/WlPtr.h"

#include <wayland-client.h>

#include "platform/wayland/client/WlrProtocols.h"
#include "relative-pointer-unstable-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace mirano::wayland {

void WlDeleter::operator()(wl_buffer* proxy) const { wl_buffer_destroy(proxy); }
void WlDeleter::operator()(wl_compositor* proxy) const { wl_compositor_destroy(proxy); }
void WlDeleter::operator()(wl_output* proxy) const {
    if (wl_output_get_version(proxy) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(proxy);
    else
        wl_output_destroy(proxy);
}
void WlDeleter::operator()(wl_region* proxy) const { wl_region_destroy(proxy); }
void WlDeleter::operator()(wl_registry* proxy) const { wl_registry_destroy(proxy); }
void WlDeleter::operator()(wl_shm* proxy) const { wl_shm_destroy(proxy); }
void WlDeleter::operator()(wl_shm_pool* proxy) const { wl_shm_pool_destroy(proxy); }
void WlDeleter::operator()(wl_subcompositor* proxy) const { wl_subcompositor_destroy(proxy); }
void WlDeleter::operator()(wl_subsurface* proxy) const { wl_subsurface_destroy(proxy); }
void WlDeleter::operator()(wl_seat* proxy) const {
    if (wl_seat_get_version(proxy) >= WL_SEAT_RELEASE_SINCE_VERSION)
        wl_seat_release(proxy);
    else
        wl_seat_destroy(proxy);
}
void WlDeleter::operator()(wl_surface* proxy) const { wl_surface_destroy(proxy); }
void WlDeleter::operator()(wp_viewport* proxy) const { wp_viewport_destroy(proxy); }
void WlDeleter::operator()(wp_viewporter* proxy) const { wp_viewporter_destroy(proxy); }
void WlDeleter::operator()(xdg_popup* proxy) const { xdg_popup_destroy(proxy); }
void WlDeleter::operator()(xdg_positioner* proxy) const { xdg_positioner_destroy(proxy); }
void WlDeleter::operator()(xdg_surface* proxy) const { xdg_surface_destroy(proxy); }
void WlDeleter::operator()(xdg_wm_base* proxy) const { xdg_wm_base_destroy(proxy); }
void WlDeleter::operator()(zwlr_foreign_toplevel_handle_v1* proxy) const {
    zwlr_foreign_toplevel_handle_v1_destroy(proxy);
}
void WlDeleter::operator()(zwlr_foreign_toplevel_manager_v1* proxy) const {
    zwlr_foreign_toplevel_manager_v1_destroy(proxy);
}
void WlDeleter::operator()(zwlr_layer_shell_v1* proxy) const {
    // The destroy request came with version 3; before it the proxy is only forgotten.
    if (zwlr_layer_shell_v1_get_version(proxy) >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION)
        zwlr_layer_shell_v1_destroy(proxy);
    else
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(proxy));
}
void WlDeleter::operator()(zwlr_layer_surface_v1* proxy) const {
    zwlr_layer_surface_v1_destroy(proxy);
}
void WlDeleter::operator()(zwp_relative_pointer_manager_v1* proxy) const {
    zwp_relative_pointer_manager_v1_destroy(proxy);
}
void WlDeleter::operator()(zwp_relative_pointer_v1* proxy) const {
    zwp_relative_pointer_v1_destroy(proxy);
}

void WlDeleter::operator()(zxdg_output_manager_v1* proxy) const {
    zxdg_output_manager_v1_destroy(proxy);
}
void WlDeleter::operator()(zxdg_output_v1* proxy) const { zxdg_output_v1_destroy(proxy); }

}  // namespace mirano::wayland
