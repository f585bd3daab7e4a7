// The keyboard layout on Wayland, as xkbcommon builds it from the layout names in use.
#pragma once

#include <map>

#include "platform/KeyboardLayout.h"

namespace mirano::wayland {

/// A Wayland client learns the compositor's keymap only while one of its own surfaces has the
/// keyboard, and the hotkeys never see keys here anyway (WaylandEventTap): the layout only
/// decides whether a trigger character can be typed at all. So it is the keymap that xkbcommon
/// makes from $XKB_DEFAULT_RULES, _MODEL, _LAYOUT, _VARIANT and _OPTIONS (which wlroots
/// compositors read too), first layout, level 1. It does not change while Mirano runs.
class XkbNamesLayout final : public KeyboardLayout {
    Q_OBJECT
public:
    explicit XkbNamesLayout(QObject* parent = nullptr);

    std::optional<std::uint16_t> keyFor(const QString& character) const override;

private:
    /// Character typed at level 1 of the first layout -> the lowest evdev code typing it.
    std::map<char16_t, std::uint16_t> table_;
};

}  // namespace mirano::wayland
