// Where a window's PipeWire node comes from: a ScreenCast portal session today, a compositor's
// own screencast protocol (KDE's stream_window for a trusted client) later. Consuming the node
// is the same for all of them (PipeWireConsumer).
#pragma once

#include <QSizeF>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/Types.h"
#include "platform/UniqueFd.h"

namespace mirano::wayland {

/// A PipeWire video node that shows one window.
struct PipeWireNode {
    /// A connection to the PipeWire daemon through which the node may be seen (the portal's
    /// remote); without one the user's own daemon is used.
    UniqueFd remote;
    std::uint32_t nodeId = 0;
    /// The window's size in logical pixels as the source reports it; empty when unknown.
    QSizeF logicalSize;
};

/// Gets the node of one window. Main thread only.
class NodeSource {
public:
    using OpenDone = std::function<void(std::optional<PipeWireNode> node, std::optional<Error>)>;
    /// Releasing the source gives the node up (the portal session is closed) and drops a
    /// pending completion.
    virtual ~NodeSource() = default;
    /// Asks for the node once; completes on the main thread, later than the call.
    virtual void open(OpenDone done) = 0;
};

}  // namespace mirano::wayland
