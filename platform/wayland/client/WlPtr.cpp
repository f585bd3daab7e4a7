#include "platform/wayland/client/WlPtr.h"

#include <wayland-client.h>

#include "viewporter-client-protocol.h"

namespace mirano::wayland {

void WlDeleter::operator()(wl_buffer* proxy) const { wl_buffer_destroy(proxy); }
void WlDeleter::operator()(wl_compositor* proxy) const { wl_compositor_destroy(proxy); }
void WlDeleter::operator()(wl_region* proxy) const { wl_region_destroy(proxy); }
void WlDeleter::operator()(wl_shm* proxy) const { wl_shm_destroy(proxy); }
void WlDeleter::operator()(wl_shm_pool* proxy) const { wl_shm_pool_destroy(proxy); }
void WlDeleter::operator()(wl_subcompositor* proxy) const { wl_subcompositor_destroy(proxy); }
void WlDeleter::operator()(wl_subsurface* proxy) const { wl_subsurface_destroy(proxy); }
void WlDeleter::operator()(wl_surface* proxy) const { wl_surface_destroy(proxy); }
void WlDeleter::operator()(wp_viewport* proxy) const { wp_viewport_destroy(proxy); }
void WlDeleter::operator()(wp_viewporter* proxy) const { wp_viewporter_destroy(proxy); }

}  // namespace mirano::wayland
