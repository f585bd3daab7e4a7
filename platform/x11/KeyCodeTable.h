// Positional key codes (ANSI keyboard positions) for X keycodes, and back.
#pragma once

#include <cstdint>
#include <optional>

namespace mirano::x11 {

/// A key with no positional code; it matches no rule of the logic.
inline constexpr std::uint16_t kUnknownKeyCode = 0xFFFF;

/// The positional code of an X keycode (evdev code + 8), or kUnknownKeyCode.
std::uint16_t positionalKeyCode(std::uint8_t xKeycode);
/// The X keycode at a positional code, if the table has one.
std::optional<std::uint8_t> xKeycode(std::uint16_t positionalCode);

}  // namespace mirano::x11
