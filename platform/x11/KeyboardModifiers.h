// The X keyboard in Mirano's terms: evdev codes of X keycodes, and which keys are modifiers.
#pragma once

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Modifiers.h"

namespace mirano::x11 {

/// X keycodes are evdev codes + 8 under the evdev driver, the one X servers use on Linux.
inline constexpr int kEvdevOffset = 8;
inline std::uint16_t evdevCode(std::uint8_t xKeycode) {
    return xKeycode >= kEvdevOffset ? static_cast<std::uint16_t>(xKeycode - kEvdevOffset) : 0;
}
inline std::optional<std::uint8_t> xKeycode(std::uint16_t evdev) {
    if (evdev + kEvdevOffset > 255) return std::nullopt;
    return static_cast<std::uint8_t>(evdev + kEvdevOffset);
}

/// A snapshot of the keyboard mapping and modifier mapping of the server.
class KeyboardModifiers {
public:
    /// Reads both mappings; on failure every key is an ordinary key.
    void load(xcb_connection_t* c);
    /// Builds from plain tables (for tests): keysym of each keycode, keycodes of each X mod.
    void set(const std::array<xcb_keysym_t, 256>& keysyms,
             const std::array<std::vector<std::uint8_t>, 8>& modifierKeys);

    /// The physical modifier this key is (none for an ordinary key and for Caps Lock).
    Modifiers modifierOf(std::uint8_t keycode) const { return modifiers_[keycode]; }
    /// Whether the key is a modifier key (Caps Lock included): its presses change modifiers.
    bool isModifierKey(std::uint8_t keycode) const { return isModifierKey_[keycode]; }
    /// The distinct X modifier masks set by the keys of any of `modifiers` (empty when none).
    std::vector<std::uint16_t> modMasksOf(Modifiers modifiers) const;
    /// The keycodes that are `modifier`.
    std::vector<std::uint8_t> keycodesOf(Modifier modifier) const;
    /// Caps Lock, Num Lock and Scroll Lock: the mods a grab must tolerate.
    std::uint16_t lockMods() const { return lockMods_; }
    /// Mods that at least one key sets.
    std::uint16_t usedMods() const { return usedMods_; }

private:
    void classify(const std::array<xcb_keysym_t, 256>& keysyms,
                  const std::array<std::vector<std::uint8_t>, 8>& modifierKeys);

    std::array<Modifiers, 256> modifiers_{};
    std::array<bool, 256> isModifierKey_{};
    std::array<std::uint16_t, 256> modsOfKey_{};
    std::uint16_t lockMods_ = XCB_MOD_MASK_LOCK;
    std::uint16_t usedMods_ = 0;
};

}  // namespace mirano::x11
