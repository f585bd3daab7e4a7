// Which modifier key arms the global hotkey.
#pragma once

#include <QString>
#include <array>
#include <optional>

#include "platform/Modifiers.h"

namespace mirano {

enum class ModifierKey {
    fn,
    leftCommand,
    rightCommand,
    leftOption,
    rightOption,
    leftControl,
    rightControl
};

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
/// The physical key that stands for the choice: Command is Super, Option is Alt, Control is
/// Ctrl (each side apart), fn is the Menu key.
Modifier physicalKey(ModifierKey key);
/// True when that physical key is among `held`.
bool isHeld(ModifierKey key, Modifiers held);
}  // namespace ModifierKeys

}  // namespace mirano
