#include "platform/wayland/pipewire/LinkWatch.h"

#include <pipewire/pipewire.h>

#include <cstdlib>
#include <cstring>

namespace mirano::wayland {

/// One bound link, with its listener.
struct LinkWatch::Link {
    std::uint32_t id = 0;
    pw_proxy* proxy = nullptr;
    spa_hook listener{};
    LinkWatch* watch = nullptr;
    ~Link() {
        spa_hook_remove(&listener);
        pw_proxy_destroy(proxy);
    }
};

/// The C callbacks, forwarding to the watch.
struct LinkWatchEvents {
    static LinkWatch* self(void* data) { return static_cast<LinkWatch*>(data); }
    static void global(void* data, std::uint32_t id, std::uint32_t, const char* type, std::uint32_t,
                       const spa_dict* props) {
        self(data)->global(id, type, props);
    }
    static void globalRemove(void* data, std::uint32_t id) { self(data)->globalRemoved(id); }
    static void done(void* data, std::uint32_t id, int seq) {
        if (id == PW_ID_CORE) self(data)->synced(seq);
    }
    static void linkInfo(void* data, const pw_link_info* info) {
        auto* link = static_cast<LinkWatch::Link*>(data);
        if (info && info->state == PW_LINK_STATE_ERROR && link->watch->events_.linkFailed)
            link->watch->events_.linkFailed(
                QString::fromUtf8(info->error ? info->error : "no reason given"));
    }
};

namespace {

pw_registry_events registryEvents() {
    pw_registry_events e{};
    e.version = PW_VERSION_REGISTRY_EVENTS;
    e.global = LinkWatchEvents::global;
    e.global_remove = LinkWatchEvents::globalRemove;
    return e;
}
pw_core_events coreEvents() {
    pw_core_events e{};
    e.version = PW_VERSION_CORE_EVENTS;
    e.done = LinkWatchEvents::done;
    return e;
}
pw_link_events linkEvents() {
    pw_link_events e{};
    e.version = PW_VERSION_LINK_EVENTS;
    e.info = LinkWatchEvents::linkInfo;
    return e;
}
const pw_registry_events kRegistryEvents = registryEvents();
const pw_core_events kLinkCoreEvents = coreEvents();
const pw_link_events kLinkEvents = linkEvents();

bool is(const char* value, const char* wanted) { return value && std::strcmp(value, wanted) == 0; }

/// A property holding a node id, read strictly (another process wrote it).
bool namesNode(const spa_dict* props, const char* key, std::uint32_t node) {
    const char* value = props ? spa_dict_lookup(props, key) : nullptr;
    if (!value) return false;
    char* end = nullptr;
    const unsigned long id = std::strtoul(value, &end, 10);
    return end != value && *end == '\0' && id == node;
}

}  // namespace

LinkWatch::LinkWatch(pw_core* core, std::uint32_t producerNode, Events events)
    : core_(core), producerNode_(producerNode), events_(std::move(events)) {
    registry_ = pw_core_get_registry(core_, PW_VERSION_REGISTRY, 0);
    if (!registry_) return;
    pw_registry_add_listener(registry_, &registryListener_, &kRegistryEvents, this);
    pw_core_add_listener(core_, &coreListener_, &kLinkCoreEvents, this);
    // Every global there is has been told once this round trip comes back.
    syncSeq_ = pw_core_sync(core_, PW_ID_CORE, 0);
}

LinkWatch::~LinkWatch() {
    links_.clear();
    if (!registry_) return;
    spa_hook_remove(&coreListener_);
    spa_hook_remove(&registryListener_);
    pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry_));
}

void LinkWatch::global(std::uint32_t id, const char* type, const spa_dict* props) {
    if (is(type, PW_TYPE_INTERFACE_Node) && id == producerNode_) {
        nodeSeen_ = true;
    } else if (is(type, PW_TYPE_INTERFACE_Client) && props &&
               is(spa_dict_lookup(props, PW_KEY_APP_NAME), "WirePlumber")) {
        sessionManagers_.insert(id);
    } else if (is(type, PW_TYPE_INTERFACE_Link) &&
               namesNode(props, PW_KEY_LINK_OUTPUT_NODE, producerNode_)) {
        auto link = std::make_unique<Link>();
        link->watch = this;
        link->id = id;
        link->proxy = static_cast<pw_proxy*>(
            pw_registry_bind(registry_, id, PW_TYPE_INTERFACE_Link, PW_VERSION_LINK, 0));
        if (!link->proxy) return;
        pw_proxy_add_object_listener(link->proxy, &link->listener, &kLinkEvents, link.get());
        links_.push_back(std::move(link));
    }
}

void LinkWatch::globalRemoved(std::uint32_t id) {
    std::erase_if(links_, [id](const auto& link) { return link->id == id; });
    if (sessionManagers_.erase(id) && sessionManagers_.empty() && events_.sessionManagerGone)
        events_.sessionManagerGone();
}

void LinkWatch::synced(int seq) {
    if (seq != syncSeq_) return;
    syncSeq_ = -1;
    synced_ = true;
}

}  // namespace mirano::wayland
