// An event queue of our own on Qt's Wayland connection, with the globals read through it.
#pragma once

#include <memory>

struct wl_display;
struct wl_event_queue;
struct wl_proxy;
struct wl_surface;

namespace mirano::wayland {

class WaylandRegistry;

/// Objects made here get their first events without Qt's queue being dispatched, so a request
/// can be awaited in the middle of Qt's own work (e.g. inside its show()); handOver() then
/// passes them to Qt's queue, whose dispatch on the main thread delivers their later events.
class QtSideQueue {
public:
    /// Nothing works unless Qt runs on Wayland (isValid()).
    QtSideQueue();
    ~QtSideQueue();
    QtSideQueue(const QtSideQueue&) = delete;
    QtSideQueue& operator=(const QtSideQueue&) = delete;

    bool isValid() const { return queue_ != nullptr; }
    wl_display* display() const { return display_; }
    wl_event_queue* queue() const { return queue_; }
    const WaylandRegistry& registry() const { return *registry_; }

    /// Waits until the compositor answered what was sent, dispatching this queue only.
    bool roundtrip();
    /// Commits `surface` (given a role by a proxy of this queue) and waits, a few roundtrips at
    /// most, until its first configure has set `configured`; whether it has.
    bool commitAndAwait(wl_surface* surface, const bool& configured);
    /// Moves `proxy` (made on this queue) to Qt's queue, dispatching here what came before.
    void handOver(wl_proxy* proxy);

private:
    wl_display* display_ = nullptr;
    wl_event_queue* queue_ = nullptr;
    std::unique_ptr<WaylandRegistry> registry_;
};

}  // namespace mirano::wayland
