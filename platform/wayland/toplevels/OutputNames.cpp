// Outputs and their xdg-output names, following the registry.
#include "platform/wayland/toplevels/OutputNames.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include "xdg-output-unstable-v1-client-protocol.h"

namespace mirano::wayland {

namespace {
constexpr std::uint32_t kOutputVersion = 3;
constexpr std::uint32_t kXdgOutputVersion = 2;  // its name event
}  // namespace

struct OutputNames::Output {
    std::uint32_t global = 0;
    WlPtr<wl_output> output;
    WlPtr<zxdg_output_v1> xdg;
    QString name;

    static void onName(void* data, zxdg_output_v1*, const char* name) {
        static_cast<Output*>(data)->name = QString::fromUtf8(name);
    }
    static void onPosition(void*, zxdg_output_v1*, std::int32_t, std::int32_t) {}
    static void onSize(void*, zxdg_output_v1*, std::int32_t, std::int32_t) {}
    static void onDone(void*, zxdg_output_v1*) {}
    static void onDescription(void*, zxdg_output_v1*, const char*) {}
};

OutputNames::OutputNames(wl_display* display) {
    if (!display) return;
    static const wl_registry_listener listener = {&OutputNames::onGlobal,
                                                  &OutputNames::onGlobalRemove};
    registry_.reset(wl_display_get_registry(display));
    wl_registry_add_listener(registry_.get(), &listener, this);
    // The globals, then the names of the outputs bound meanwhile.
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
}

OutputNames::~OutputNames() = default;

void OutputNames::onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                           const char* interface, std::uint32_t version) {
    auto* self = static_cast<OutputNames*>(data);
    if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && !self->manager_) {
        self->manager_.reset(static_cast<zxdg_output_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface,
                             std::min(version, kXdgOutputVersion))));
        for (const auto& output : self->outputs_) self->describe(*output);
        return;
    }
    if (std::strcmp(interface, wl_output_interface.name) != 0) return;
    auto output = std::make_unique<Output>();
    output->global = name;
    output->output.reset(static_cast<wl_output*>(
        wl_registry_bind(registry, name, &wl_output_interface, std::min(version, kOutputVersion))));
    self->describe(*output);
    self->outputs_.push_back(std::move(output));
}

void OutputNames::onGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    std::erase_if(static_cast<OutputNames*>(data)->outputs_,
                  [name](const auto& output) { return output->global == name; });
}

void OutputNames::describe(Output& output) {
    if (!manager_ || output.xdg) return;
    static const zxdg_output_v1_listener listener = {&Output::onPosition, &Output::onSize,
                                                     &Output::onDone, &Output::onName,
                                                     &Output::onDescription};
    output.xdg.reset(zxdg_output_manager_v1_get_xdg_output(manager_.get(), output.output.get()));
    zxdg_output_v1_add_listener(output.xdg.get(), &listener, &output);
}

QString OutputNames::nameOf(const wl_output* output) const {
    for (const auto& o : outputs_)
        if (o->output.get() == output) return o->name;
    return {};
}

}  // namespace mirano::wayland
