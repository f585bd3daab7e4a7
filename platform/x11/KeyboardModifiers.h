// Which keys of the X keyboard are modifiers, in the event-flag vocabulary of the logic.
#pragma once

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <vector>

namespace mirano::x11 {

/// The physical modifier a key stands for.
enum class ModifierRole : std::uint8_t {
    None,
    LeftShift,
    RightShift,
    LeftControl,
    RightControl,
    LeftOption,
    RightOption,
    LeftCommand,
    RightCommand,
    Fn,
    CapsLock,
};

/// The device bit plus the generic bit a role sets in the event flags.
std::uint64_t flagsForRole(ModifierRole role);
/// The role whose device bit is `mask` (0x800000 -> Fn, 0x8 -> LeftCommand, ...).
ModifierRole roleForDeviceMask(std::uint64_t mask);
/// The role of a keysym (Super_L -> LeftCommand, ISO_Level3_Shift -> RightOption, ...).
ModifierRole roleForKeysym(xcb_keysym_t keysym);

/// A snapshot of the keyboard mapping and modifier mapping of the server.
class KeyboardModifiers {
public:
    /// Reads both mappings; on failure every key is an ordinary key.
    void load(xcb_connection_t* c);
    /// Builds from plain tables (for tests): keysym of each keycode, keycodes of each X mod.
    void set(const std::array<xcb_keysym_t, 256>& keysyms,
             const std::array<std::vector<std::uint8_t>, 8>& modifierKeys);

    ModifierRole role(std::uint8_t keycode) const { return roles_[keycode]; }
    /// The distinct X modifier masks that the keys of `role` set (empty when none sets one).
    std::vector<std::uint16_t> modMasksOf(ModifierRole role) const;
    /// The keycodes that carry `role`.
    std::vector<std::uint8_t> keycodesOf(ModifierRole role) const;
    /// Caps Lock, Num Lock and Scroll Lock: the mods a grab must tolerate.
    std::uint16_t lockMods() const { return lockMods_; }
    /// Mods that at least one key sets.
    std::uint16_t usedMods() const { return usedMods_; }

private:
    void classify(const std::array<xcb_keysym_t, 256>& keysyms,
                  const std::array<std::vector<std::uint8_t>, 8>& modifierKeys);

    std::array<ModifierRole, 256> roles_{};
    std::array<std::uint16_t, 256> modsOfKey_{};
    std::uint16_t lockMods_ = XCB_MOD_MASK_LOCK;
    std::uint16_t usedMods_ = 0;
};

}  // namespace mirano::x11
