// The compositor's outputs on our own connection, by the names Qt gives its screens.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/wayland/client/WlPtr.h"

struct wl_display;
struct wl_output;
struct zxdg_output_manager_v1;

namespace mirano::wayland {

/// Binds every wl_output as the compositor announces or withdraws it, and reads each one's
/// name from xdg-output (wl_output itself names outputs only from version 4, newer than this
/// system's compositors). The compositor tells a client of a toplevel's outputs only among
/// those it bound. Main thread; the events come with the connection's dispatch.
class OutputNames {
public:
    /// Reads the outputs and their names (two roundtrips on the display's default queue).
    explicit OutputNames(wl_display* display);
    ~OutputNames();
    OutputNames(const OutputNames&) = delete;
    OutputNames& operator=(const OutputNames&) = delete;

    /// The output's name; empty for an output not (or no longer) known or not yet named.
    QString nameOf(const wl_output* output) const;

private:
    struct Output;
    static void onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    void describe(Output& output);

    WlPtr<wl_registry> registry_;
    WlPtr<zxdg_output_manager_v1> manager_;
    std::vector<std::unique_ptr<Output>> outputs_;
};

}  // namespace mirano::wayland
