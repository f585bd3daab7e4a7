// What a window stream's link depends on, watched on its PipeWire connection: the producer's
// node, the links from it, and the session manager that makes them.
#pragma once

#include <spa/utils/hook.h>

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <vector>

struct pw_core;
struct pw_registry;
struct pw_proxy;
struct spa_dict;

namespace mirano::wayland {

/// Created and used on the connection's loop thread (with its lock held); the events come there
/// too. Only what the connection may see is watched: a portal's connection may show no session
/// manager.
class LinkWatch {
public:
    struct Events {
        /// A link from the producer failed, with PipeWire's reason ("no more input formats").
        std::function<void(const QString&)> linkFailed;
        /// The session manager that links streams has stopped.
        std::function<void()> sessionManagerGone;
    };
    LinkWatch(pw_core* core, std::uint32_t producerNode, Events events);
    ~LinkWatch();
    LinkWatch(const LinkWatch&) = delete;
    LinkWatch& operator=(const LinkWatch&) = delete;

    /// The connection has shown everything it holds, and no node of the producer's id is among
    /// it (yet: a node may be shown later, once a session manager allows it).
    bool nodeMissing() const { return synced_ && !nodeSeen_; }

private:
    struct Link;
    friend struct LinkWatchEvents;
    void global(std::uint32_t id, const char* type, const spa_dict* props);
    void globalRemoved(std::uint32_t id);
    void synced(int seq);

    pw_core* core_;
    std::uint32_t producerNode_;
    Events events_;
    pw_registry* registry_ = nullptr;
    spa_hook registryListener_{};
    spa_hook coreListener_{};
    int syncSeq_ = -1;
    bool synced_ = false;
    bool nodeSeen_ = false;
    std::set<std::uint32_t> sessionManagers_;
    std::vector<std::unique_ptr<Link>> links_;
};

}  // namespace mirano::wayland
