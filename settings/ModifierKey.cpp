#include "settings/ModifierKey.h"

namespace mirano::ModifierKeys {

namespace {
struct Row {
    ModifierKey key;
    const char* raw;
    const char* display;
    std::uint64_t mask;
};
constexpr Row kRows[] = {
    {ModifierKey::fn, "fn", "fn", 0x800000},
    {ModifierKey::leftCommand, "leftCommand", "⌘ Left Command", 0x8},
    {ModifierKey::rightCommand, "rightCommand", "⌘ Right Command", 0x10},
    {ModifierKey::leftOption, "leftOption", "⌥ Left Option", 0x20},
    {ModifierKey::rightOption, "rightOption", "⌥ Right Option", 0x40},
    {ModifierKey::leftControl, "leftControl", "⌃ Left Control", 0x1},
    {ModifierKey::rightControl, "rightControl", "⌃ Right Control", 0x2000},
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

std::uint64_t flagMask(ModifierKey key) { return row(key).mask; }

bool isHeld(ModifierKey key, std::uint64_t flags) { return (flags & flagMask(key)) != 0; }

}  // namespace mirano::ModifierKeys
