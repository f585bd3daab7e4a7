// The global keyboard tap: every key press and modifier change of the session, and the keys
// Mirano takes from the focused window.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/Modifiers.h"

namespace mirano {

enum class KeyEventKind {
    /// A key that is not a modifier went down (auto-repeat included).
    KeyDown,
    /// A modifier key went down or up.
    ModifiersChanged,
};

/// One keyboard event of the session, delivered after the fact.
struct KeyEvent {
    KeyEventKind kind = KeyEventKind::KeyDown;
    /// Linux evdev key code (KEY_* of <linux/input-event-codes.h>): a position on the keyboard,
    /// whatever the layout.
    std::uint16_t key = 0;
    /// The physical modifiers down once this event has happened.
    Modifiers modifiers;
    /// Seconds on the event source's clock; only differences between events count.
    double time = 0;
    /// The key came through one of Mirano's grabs, so the focused window never gets it. Only
    /// such a key may run an action whose point is to consume the key.
    bool grabbed = false;
};

/// Which keys Mirano takes from the focused window right now. The tap takes exactly these,
/// without asking anyone first, so a stopped or busy Mirano never holds the keyboard: the logic
/// asks only for keys it will consume.
struct TapGrabs {
    /// The chosen modifier. The trigger key is taken only while this physical key is down; when
    /// it is Menu (standing for fn), the Menu key itself is always taken too.
    Modifier modifier = Modifier::Menu;
    /// Evdev code of the key that types the trigger character on the current layout, if any.
    std::optional<std::uint16_t> triggerKey;
    /// Backspace, F, = and - (with Shift at most) and Super-comma: only while the pointer rests
    /// on a visible PiP.
    bool panelKeys = false;
    bool operator==(const TapGrabs&) const = default;
};

class EventTap {
public:
    virtual ~EventTap() = default;
    /// Installs the tap. `onKey` runs on the main thread for each event. `onTriggerTaken` runs
    /// on the main thread when another program already holds the trigger combination of the
    /// grabs in place (the hotkey cannot work then). Returns false when no tap can be created.
    virtual bool start(std::function<void(const KeyEvent&)> onKey,
                       std::function<void(const TapGrabs&)> onTriggerTaken) = 0;
    /// Removes the tap, its grabs and its thread; no callback runs afterwards.
    virtual void stop() = 0;
    /// Replaces the set of keys to take.
    virtual void setGrabs(const TapGrabs& grabs) = 0;
    /// Whether the tap sees the session's keys (X11). Where a client sees only the keys of its
    /// own focused surface (Wayland), the PiP panel hands the keys it is given to the logic.
    virtual bool seesSessionKeys() const = 0;
};

}  // namespace mirano
