// Classifies the keys of the X keyboard mapping as Mirano's physical modifiers.
#include "platform/x11/KeyboardModifiers.h"

#include <algorithm>

#include "platform/x11/XConnection.h"

namespace mirano::x11 {

namespace {
constexpr xcb_keysym_t kShiftL = 0xffe1, kShiftR = 0xffe2, kControlL = 0xffe3, kControlR = 0xffe4,
                       kCapsLock = 0xffe5, kMetaL = 0xffe7, kMetaR = 0xffe8, kAltL = 0xffe9,
                       kAltR = 0xffea, kSuperL = 0xffeb, kSuperR = 0xffec, kLevel3Shift = 0xfe03,
                       kMenu = 0xff67, kNumLock = 0xff7f, kScrollLock = 0xff14;

/// The physical modifier of a keysym; Caps Lock is a modifier key that is none of them.
std::optional<Modifier> modifierForKeysym(xcb_keysym_t keysym) {
    switch (keysym) {
        case kShiftL:
        case kShiftR:
            return Modifier::Shift;
        case kControlL:
            return Modifier::LeftCtrl;
        case kControlR:
            return Modifier::RightCtrl;
        case kAltL:
        case kMetaL:
            return Modifier::LeftAlt;
        case kAltR:
        case kMetaR:
        case kLevel3Shift:
            return Modifier::RightAlt;
        case kSuperL:
            return Modifier::LeftSuper;
        case kSuperR:
            return Modifier::RightSuper;
        case kMenu:
            return Modifier::Menu;
        default:
            return std::nullopt;
    }
}
}  // namespace

void KeyboardModifiers::load(xcb_connection_t* c) {
    std::array<xcb_keysym_t, 256> keysyms{};
    std::array<std::vector<std::uint8_t>, 8> modifierKeys;
    const xcb_setup_t* setup = xcb_get_setup(c);
    const std::uint8_t first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto mapCookie = xcb_get_keyboard_mapping(c, first, static_cast<std::uint8_t>(count));
    auto modCookie = xcb_get_modifier_mapping(c);
    if (auto map = reply(xcb_get_keyboard_mapping_reply(c, mapCookie, nullptr))) {
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
        const int per = map->keysyms_per_keycode;
        const int n = xcb_get_keyboard_mapping_keysyms_length(map.get());
        for (int k = 0; k < count && per > 0 && (k + 1) * per <= n; ++k)
            keysyms[first + k] = syms[k * per];
    }
    if (auto mods = reply(xcb_get_modifier_mapping_reply(c, modCookie, nullptr))) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mods.get());
        const int per = mods->keycodes_per_modifier;
        for (int m = 0; m < 8; ++m)
            for (int i = 0; i < per; ++i)
                if (codes[m * per + i]) modifierKeys[m].push_back(codes[m * per + i]);
    }
    classify(keysyms, modifierKeys);
}

void KeyboardModifiers::set(const std::array<xcb_keysym_t, 256>& keysyms,
                            const std::array<std::vector<std::uint8_t>, 8>& modifierKeys) {
    classify(keysyms, modifierKeys);
}

void KeyboardModifiers::classify(const std::array<xcb_keysym_t, 256>& keysyms,
                                 const std::array<std::vector<std::uint8_t>, 8>& modifierKeys) {
    modsOfKey_.fill(0);
    lockMods_ = XCB_MOD_MASK_LOCK;
    usedMods_ = 0;
    for (int k = 0; k < 256; ++k) {
        const auto modifier = modifierForKeysym(keysyms[k]);
        modifiers_[k] = modifier ? Modifiers(*modifier) : Modifiers();
        isModifierKey_[k] = modifier || keysyms[k] == kCapsLock;
    }
    for (int m = 0; m < 8; ++m) {
        for (std::uint8_t code : modifierKeys[m]) {
            modsOfKey_[code] |= static_cast<std::uint16_t>(1u << m);
            usedMods_ |= static_cast<std::uint16_t>(1u << m);
            // Num Lock and Scroll Lock live on whichever mod the keymap puts them.
            if (keysyms[code] == kNumLock || keysyms[code] == kScrollLock)
                lockMods_ |= static_cast<std::uint16_t>(1u << m);
        }
    }
}

std::vector<std::uint16_t> KeyboardModifiers::modMasksOf(Modifiers modifiers) const {
    std::vector<std::uint16_t> masks;
    for (int k = 0; k < 256; ++k) {
        if (!(modifiers_[k] & modifiers) || modsOfKey_[k] == 0) continue;
        if (std::find(masks.begin(), masks.end(), modsOfKey_[k]) == masks.end())
            masks.push_back(modsOfKey_[k]);
    }
    return masks;
}

std::vector<std::uint8_t> KeyboardModifiers::keycodesOf(Modifier modifier) const {
    std::vector<std::uint8_t> out;
    for (int k = 0; k < 256; ++k)
        if (modifiers_[k].testFlag(modifier)) out.push_back(static_cast<std::uint8_t>(k));
    return out;
}

}  // namespace mirano::x11
