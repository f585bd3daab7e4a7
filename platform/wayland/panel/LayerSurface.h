// Layer-shell on Qt's connection: the bound global, and one layer surface per Qt surface.
#pragma once

#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/wayland/client/WlPtr.h"
#include "platform/wayland/panel/LayerPlacement.h"

struct wl_output;
struct wl_surface;
struct xdg_popup;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

namespace mirano::wayland {

class QtSideQueue;

/// Whether the surface takes keyboard focus.
enum class LayerKeyboard {
    none,
    /// Like an ordinary window (layer-shell 4); where only version 3 is offered, all keys while
    /// it is mapped.
    onDemand,
    /// The keys from a click on it until the pointer leaves it (layer-shell 4: on demand while
    /// clicked); none where only version 3 is offered.
    onClick,
};

/// One layer surface in the top layer. Its state takes effect with the next commit of its
/// wl_surface (Qt's next frame, or a commit of ours).
class LayerSurface {
public:
    ~LayerSurface();
    LayerSurface(const LayerSurface&) = delete;
    LayerSurface& operator=(const LayerSurface&) = delete;

    void place(const LayerPlacement& placement, const QSize& size);
    void setKeyboard(LayerKeyboard keyboard);
    /// Makes `popup` (made with no parent, not yet committed) a popup of this surface.
    void addPopup(xdg_popup* popup);
    /// Called (from the compositor's event) when the compositor closed the surface, as it does
    /// when its output goes away; the surface is dead from then on.
    void onClosed(std::function<void()> closed) { closed_ = std::move(closed); }

private:
    friend class LayerShell;
    LayerSurface(zwlr_layer_surface_v1* surface, std::uint32_t shellVersion);
    static void onConfigure(void* data, zwlr_layer_surface_v1* surface, std::uint32_t serial,
                            std::uint32_t width, std::uint32_t height);
    static void handleClosed(void* data, zwlr_layer_surface_v1* surface);

    WlPtr<zwlr_layer_surface_v1> surface_;
    std::uint32_t shellVersion_ = 0;
    bool configured_ = false;
    std::function<void()> closed_;
};

/// zwlr_layer_shell_v1 bound on Qt's connection, through an event queue of our own so that the
/// first configure can be awaited without dispatching Qt's events.
class LayerShell {
public:
    /// Binds the global if the compositor offers it.
    explicit LayerShell(std::shared_ptr<QtSideQueue> queue);
    LayerShell(const LayerShell&) = delete;
    LayerShell& operator=(const LayerShell&) = delete;

    bool isAvailable() const { return shell_ != nullptr; }

    /// Gives `surface` (no role, no buffer yet) the layer role on `output` (null: the
    /// compositor's choice), commits it and waits for the first configure, which it
    /// acknowledges; Qt may then attach buffers. Null when the compositor did not answer.
    std::unique_ptr<LayerSurface> create(wl_surface* surface, wl_output* output,
                                         const LayerPlacement& placement, const QSize& size,
                                         LayerKeyboard keyboard);

private:
    std::shared_ptr<QtSideQueue> queue_;
    WlPtr<zwlr_layer_shell_v1> shell_;
    std::uint32_t version_ = 0;
};

}  // namespace mirano::wayland
