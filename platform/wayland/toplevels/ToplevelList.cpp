// The foreign-toplevel list: pending state per handle, applied at `done`.
#include "platform/wayland/toplevels/ToplevelList.h"

#include <wayland-client.h>

#include <algorithm>

#include "platform/wayland/client/WaylandConnection.h"
#include "platform/wayland/client/WaylandRegistry.h"
#include "platform/wayland/client/WlrProtocols.h"
#include "platform/wayland/toplevels/OutputNames.h"

namespace mirano::wayland {

namespace {
constexpr std::uint32_t kManagerVersion = 3;
}  // namespace

struct ToplevelList::Entry {
    ToplevelList* list = nullptr;
    WlPtr<zwlr_foreign_toplevel_handle_v1> handle;
    Toplevel done;
    Toplevel pending;
    /// The compositor has sent its first `done`: the toplevel is complete.
    bool complete = false;
    /// The outputs it is on, the last entered at the back.
    std::vector<wl_output*> outputs;

    static Entry* from(void* data) { return static_cast<Entry*>(data); }
    static void onTitle(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
        from(data)->pending.title = QString::fromUtf8(title);
    }
    static void onAppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
        from(data)->pending.appId = QString::fromUtf8(appId);
    }
    static void onOutputEnter(void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output) {
        auto& outputs = from(data)->outputs;
        std::erase(outputs, output);
        outputs.push_back(output);
    }
    static void onOutputLeave(void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output) {
        std::erase(from(data)->outputs, output);
    }
    static void onState(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
        Toplevel& t = from(data)->pending;
        t.activated = t.fullScreen = t.minimized = false;
        const auto* values = static_cast<const std::uint32_t*>(states->data);
        for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i) {
            if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) t.activated = true;
            if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_FULLSCREEN) t.fullScreen = true;
            if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED) t.minimized = true;
        }
    }
    static void onDone(void* data, zwlr_foreign_toplevel_handle_v1*) {
        Entry* e = from(data);
        const bool change = !e->complete || e->done != e->pending;
        e->done = e->pending;
        e->complete = true;
        if (change) emit e->list->changed();
    }
    static void onClosed(void* data, zwlr_foreign_toplevel_handle_v1*) {
        Entry* e = from(data);
        e->list->handleClosed(e);
    }
    static void onParent(void*, zwlr_foreign_toplevel_handle_v1*,
                         zwlr_foreign_toplevel_handle_v1*) {}
};

ToplevelList::ToplevelList(QObject* parent)
    : QObject(parent), connection_(std::make_unique<WaylandConnection>()) {
    if (!connection_->isValid()) return;
    registry_ = std::make_unique<WaylandRegistry>(connection_->display());
    // Before the toplevels: the compositor tells their outputs among those bound.
    outputs_ = std::make_unique<OutputNames>(connection_->display());
    manager_.reset(static_cast<zwlr_foreign_toplevel_manager_v1*>(
        registry_->bind(&zwlr_foreign_toplevel_manager_v1_interface, kManagerVersion)));
    seat_.reset(static_cast<wl_seat*>(registry_->bind(&wl_seat_interface, 1)));
    if (!manager_) return;
    static const zwlr_foreign_toplevel_manager_v1_listener listener = {&ToplevelList::onToplevel,
                                                                       &ToplevelList::onFinished};
    zwlr_foreign_toplevel_manager_v1_add_listener(manager_.get(), &listener, this);
    sync();
}

ToplevelList::~ToplevelList() {
    entries_.clear();
    manager_.reset();
    outputs_.reset();
    seat_.reset();
    registry_.reset();
}

bool ToplevelList::isAvailable() const { return manager_ && connection_->isValid(); }

bool ToplevelList::sync() { return connection_->roundtrip(); }

void ToplevelList::onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                              zwlr_foreign_toplevel_handle_v1* handle) {
    static const zwlr_foreign_toplevel_handle_v1_listener listener = {
        &Entry::onTitle, &Entry::onAppId, &Entry::onOutputEnter, &Entry::onOutputLeave,
        &Entry::onState, &Entry::onDone,  &Entry::onClosed,      &Entry::onParent};
    auto* list = static_cast<ToplevelList*>(data);
    auto entry = std::make_unique<Entry>();
    entry->list = list;
    entry->handle.reset(handle);
    entry->pending.number = list->nextNumber_++;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &listener, entry.get());
    list->entries_.push_back(std::move(entry));
}

void ToplevelList::onFinished(void* data, zwlr_foreign_toplevel_manager_v1*) {
    auto* list = static_cast<ToplevelList*>(data);
    list->manager_.reset();
}

void ToplevelList::handleClosed(Entry* closing) {
    const bool wasComplete = closing->complete;
    std::erase_if(entries_, [closing](const auto& e) { return e.get() == closing; });
    if (wasComplete) emit changed();
}

ToplevelList::Entry* ToplevelList::entry(WindowNumber number) const {
    for (const auto& e : entries_)
        if (e->complete && e->done.number == number) return e.get();
    return nullptr;
}

QList<Toplevel> ToplevelList::toplevels() const {
    QList<Toplevel> out;
    for (const auto& e : entries_)
        if (e->complete) out.append(e->done);
    return out;
}

const Toplevel* ToplevelList::find(WindowNumber number) const {
    const Entry* e = entry(number);
    return e ? &e->done : nullptr;
}

const Toplevel* ToplevelList::activated() const {
    for (const auto& e : entries_)
        if (e->complete && e->done.activated) return &e->done;
    return nullptr;
}

QString ToplevelList::outputName(WindowNumber number) const {
    const Entry* e = entry(number);
    if (!e || !outputs_) return {};
    for (auto it = e->outputs.rbegin(); it != e->outputs.rend(); ++it)
        if (QString name = outputs_->nameOf(*it); !name.isEmpty()) return name;
    return {};
}

void ToplevelList::activate(WindowNumber number) {
    Entry* e = entry(number);
    if (!e || !seat_) return;
    zwlr_foreign_toplevel_handle_v1_activate(e->handle.get(), seat_.get());
    connection_->flush();
}

void ToplevelList::unminimize(WindowNumber number) {
    Entry* e = entry(number);
    if (!e) return;
    zwlr_foreign_toplevel_handle_v1_unset_minimized(e->handle.get());
    connection_->flush();
}

}  // namespace mirano::wayland
