#include "settings/ModifierKey.h"

namespace mirano::ModifierKeys {

namespace {
struct Row {
    ModifierKey key;
    const char* raw;
    const char* display;
    Modifier physical;
};
constexpr Row kRows[] = {
    {ModifierKey::fn, "fn", "fn", Modifier::Menu},
    {ModifierKey::leftCommand, "leftCommand", "⌘ Left Command", Modifier::LeftSuper},
    {ModifierKey::rightCommand, "rightCommand", "⌘ Right Command", Modifier::RightSuper},
    {ModifierKey::leftOption, "leftOption", "⌥ Left Option", Modifier::LeftAlt},
    {ModifierKey::rightOption, "rightOption", "⌥ Right Option", Modifier::RightAlt},
    {ModifierKey::leftControl, "leftControl", "⌃ Left Control", Modifier::LeftCtrl},
    {ModifierKey::rightControl, "rightControl", "⌃ Right Control", Modifier::RightCtrl},
};
const Row& row(ModifierKey key) { return kRows[static_cast<int>(key)]; }
}  // namespace

QString rawValue(ModifierKey key) { return QString::fromUtf8(row(key).raw); }

std::optional<ModifierKey> fromRaw(const QString& raw) {
    for (const Row& r : kRows)
        if (raw == QLatin1String(r.raw)) return r.key;
    return std::nullopt;
}

ModifierKey fromRawOrDefault(const QString& raw) { return fromRaw(raw).value_or(ModifierKey::fn); }

QString displayName(ModifierKey key) { return QString::fromUtf8(row(key).display); }

Modifier physicalKey(ModifierKey key) { return row(key).physical; }

bool isHeld(ModifierKey key, Modifiers held) { return held.testFlag(physicalKey(key)); }

}  // namespace mirano::ModifierKeys
