// Which modifier key arms the global hotkey.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace mirano {

enum class ModifierKey { fn, leftCommand, rightCommand, leftOption, rightOption, leftControl, rightControl };

namespace ModifierKeys {
/// Every case, in the order the settings window offers them.
inline constexpr std::array<ModifierKey, 7> allCases = {
    ModifierKey::fn,          ModifierKey::leftCommand, ModifierKey::rightCommand,
    ModifierKey::leftOption,  ModifierKey::rightOption, ModifierKey::leftControl,
    ModifierKey::rightControl};

/// The stored string, equal to the case name.
QString rawValue(ModifierKey key);
/// Nothing for a string that names no case.
std::optional<ModifierKey> fromRaw(const QString& raw);
/// `fromRaw`, falling back to `fn`.
ModifierKey fromRawOrDefault(const QString& raw);
QString displayName(ModifierKey key);
/// The device-dependent event-flag bit set while that physical key is down.
std::uint64_t flagMask(ModifierKey key);
/// True when the flags have this key's bit.
bool isHeld(ModifierKey key, std::uint64_t flags);
}  // namespace ModifierKeys

}  // namespace mirano
