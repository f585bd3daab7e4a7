// Builds the character table of the default keymap with xkbcommon.
#include "platform/wayland/XkbNamesLayout.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <memory>

namespace mirano::wayland {

namespace {
/// XKB keycodes are evdev codes plus 8.
constexpr xkb_keycode_t kEvdevOffset = 8;

struct ContextUnref {
    void operator()(xkb_context* c) const { xkb_context_unref(c); }
};
struct KeymapUnref {
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};
}  // namespace

XkbNamesLayout::XkbNamesLayout(QObject* parent) : KeyboardLayout(parent) {
    const std::unique_ptr<xkb_context, ContextUnref> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) return;
    // No names: xkbcommon takes them from the environment, else its built-in defaults.
    const std::unique_ptr<xkb_keymap, KeymapUnref> keymap(
        xkb_keymap_new_from_names(context.get(), nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) return;
    // Ascending keycodes, first one kept: the lowest key that types a character wins.
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap.get());
    for (xkb_keycode_t x = std::max(xkb_keymap_min_keycode(keymap.get()), kEvdevOffset); x <= last;
         ++x) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap.get(), x, 0, 0, &syms) < 1) continue;
        const std::uint32_t cp = xkb_keysym_to_utf32(syms[0]);
        // A character beyond the basic plane is not one UTF-16 unit; such keys match nothing.
        if (cp == 0 || cp > 0xFFFF) continue;
        table_.emplace(static_cast<char16_t>(cp), static_cast<std::uint16_t>(x - kEvdevOffset));
    }
}

std::optional<std::uint16_t> XkbNamesLayout::keyFor(const QString& character) const {
    const QString wanted = character.toLower();
    if (wanted.size() != 1) return std::nullopt;
    const auto it = table_.find(wanted.at(0).unicode());
    if (it == table_.end()) return std::nullopt;
    return it->second;
}

}  // namespace mirano::wayland
