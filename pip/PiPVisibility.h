// How a running PiP shows itself: the hover, hide, pause and full-screen flags, and what each
// event does to them, to the panel and to the stream. Plain values, no widgets.
#pragma once

#include <optional>
#include <variant>

#include "settings/FocusBehavior.h"

namespace mirano {

/// What the controller does after a transition; an unset field leaves that thing as it is.
struct VisibilityEffects {
    enum class Stream { unchanged, pause, resume };
    enum class AutoClose { unchanged, start, cancel };
    /// Show the panel without activating Mirano, or hide it.
    std::optional<bool> shown;
    std::optional<double> opacity;
    /// Reach `opacity` through a short fade rather than at once.
    bool fade = false;
    /// Clicks pass through the panel (hover is still reported).
    std::optional<bool> passThrough;
    std::optional<bool> pausedOverlay;
    /// The panel moves by a drag of its content again.
    bool movable = false;
    Stream stream = Stream::unchanged;
    /// The one-minute auto-close of a hidden PiP.
    AutoClose autoClose = AutoClose::unchanged;
    bool stopSession = false;
    bool operator==(const VisibilityEffects&) const = default;
};

/// The flags of one session; a session starts and ends with the default value.
struct PiPVisibility {
    // What may change how the PiP shows itself, each with the settings and facts read when it
    // happened.
    struct PointerEntered {
        bool autoHideOnHover = false;
    };
    struct PointerExited {
        bool autoHideOnHover = false;
    };
    /// The trigger modifier was tapped alone.
    struct ModifierTapped {
        bool autoHideOnHover = false;
    };
    /// The focused window's full-screen state was looked at.
    struct FullScreenChecked {
        bool fullScreen = false;
    };
    /// The mirrored application came to the front.
    struct CapturedAppActivated {
        FocusBehavior focusBehavior = FocusBehavior::doNothing;
    };
    /// Another application (Mirano included) came to the front.
    struct OtherAppActivated {};
    /// Hide or show asked for wherever the pointer is (`mirano --hide`).
    struct HideToggled {};
    using Event = std::variant<PointerEntered, PointerExited, ModifierTapped, FullScreenChecked,
                               CapturedAppActivated, OtherAppActivated, HideToggled>;

    /// The pointer is over the panel.
    bool hovering = false;
    /// Hidden by a modifier tap (hover auto-hide off) or a hide request.
    bool hidden = false;
    /// Paused because the mirrored application came to the front.
    bool paused = false;
    /// A modifier tap keeps the hover fade away for the rest of this hover.
    bool autoHideOverride = false;
    /// Withdrawn while a full-screen window has the focus.
    bool fullScreenSuppressed = false;
    /// The panel's opacity as last set (the target of a fade).
    double opacity = 1.0;

    /// Not hidden, fully opaque, and the pointer over the panel: the panel keys apply.
    bool isHoveringVisible() const { return !hidden && opacity == 1.0 && hovering; }

    struct Transition;
    /// The new flags after `event` and what to do about it.
    Transition next(const Event& event) const;

    bool operator==(const PiPVisibility&) const = default;
};

struct PiPVisibility::Transition {
    PiPVisibility state;
    VisibilityEffects effects;
};

}  // namespace mirano
