// The global keyboard event tap: every key press and modifier change of the session, with the
// power to drop the events the logic recognises.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace mirano {

/// Event types in the tap's vocabulary.
inline constexpr int kEventTypeKeyDown = 10;
inline constexpr int kEventTypeFlagsChanged = 12;

/// One keyboard event: type (10 key-down, 12 flags-changed), modifier flags in the event-flag
/// bit layout (generic 0x20000 Shift, 0x40000 Control, 0x80000 Option, 0x100000 Command plus
/// the device bits of each physical modifier), positional key code, and the event's own time in
/// seconds.
struct KeyEvent {
    int type = 0;
    std::uint64_t flags = 0;
    std::uint16_t keyCode = 0;
    double time = 0;
};

enum class TapVerdict { Keep, Drop };

/// Which keys the logic may drop right now. The tap grabs only these, so every other key
/// always reaches the focused window.
struct TapGrabs {
    /// Device bit of the chosen modifier (0x800000 fn, 0x8 left Command, ...).
    std::uint64_t modifierMask = 0x800000;
    /// Positional key code of the trigger key on the current layout, if any key types it.
    std::optional<std::uint16_t> triggerKeyCode;
    /// Backspace, F, =, - and Command-comma: only while the pointer is over a visible PiP.
    bool panelKeys = false;
    bool operator==(const TapGrabs&) const = default;
};

class EventTap {
public:
    virtual ~EventTap() = default;
    /// Installs the tap; `handler` runs on the main thread for each event and decides its fate.
    /// Returns false when no tap can be created (the caller logs it).
    virtual bool start(std::function<TapVerdict(const KeyEvent&)> handler) = 0;
    /// Removes the tap and its thread; no handler call happens afterwards.
    virtual void stop() = 0;
    /// Replaces the set of keys that may be dropped.
    virtual void setGrabs(const TapGrabs& grabs) = 0;
};

}  // namespace mirano
