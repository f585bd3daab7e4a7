// Classifies the keys of the X keyboard mapping as modifiers of the logic's vocabulary.
#include "platform/x11/KeyboardModifiers.h"

#include "platform/x11/XConnection.h"

#include <algorithm>

namespace mirano::x11 {

namespace {
constexpr xcb_keysym_t kShiftL = 0xffe1, kShiftR = 0xffe2, kControlL = 0xffe3,
                       kControlR = 0xffe4, kCapsLock = 0xffe5, kMetaL = 0xffe7, kMetaR = 0xffe8,
                       kAltL = 0xffe9, kAltR = 0xffea, kSuperL = 0xffeb, kSuperR = 0xffec,
                       kLevel3Shift = 0xfe03, kMenu = 0xff67, kNumLock = 0xff7f,
                       kScrollLock = 0xff14;
}  // namespace

std::uint64_t flagsForRole(ModifierRole role) {
    switch (role) {
        case ModifierRole::LeftShift: return 0x2 | 0x20000;
        case ModifierRole::RightShift: return 0x4 | 0x20000;
        case ModifierRole::LeftControl: return 0x1 | 0x40000;
        case ModifierRole::RightControl: return 0x2000 | 0x40000;
        case ModifierRole::LeftOption: return 0x20 | 0x80000;
        case ModifierRole::RightOption: return 0x40 | 0x80000;
        case ModifierRole::LeftCommand: return 0x8 | 0x100000;
        case ModifierRole::RightCommand: return 0x10 | 0x100000;
        case ModifierRole::Fn: return 0x800000;
        case ModifierRole::CapsLock:
        case ModifierRole::None: return 0;
    }
    return 0;
}

ModifierRole roleForDeviceMask(std::uint64_t mask) {
    switch (mask) {
        case 0x800000: return ModifierRole::Fn;
        case 0x8: return ModifierRole::LeftCommand;
        case 0x10: return ModifierRole::RightCommand;
        case 0x20: return ModifierRole::LeftOption;
        case 0x40: return ModifierRole::RightOption;
        case 0x1: return ModifierRole::LeftControl;
        case 0x2000: return ModifierRole::RightControl;
        default: return ModifierRole::None;
    }
}

ModifierRole roleForKeysym(xcb_keysym_t keysym) {
    switch (keysym) {
        case kShiftL: return ModifierRole::LeftShift;
        case kShiftR: return ModifierRole::RightShift;
        case kControlL: return ModifierRole::LeftControl;
        case kControlR: return ModifierRole::RightControl;
        case kAltL:
        case kMetaL: return ModifierRole::LeftOption;
        case kAltR:
        case kMetaR:
        case kLevel3Shift: return ModifierRole::RightOption;
        case kSuperL: return ModifierRole::LeftCommand;
        case kSuperR: return ModifierRole::RightCommand;
        case kMenu: return ModifierRole::Fn;
        case kCapsLock: return ModifierRole::CapsLock;
        default: return ModifierRole::None;
    }
}

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
    for (int k = 0; k < 256; ++k) roles_[k] = roleForKeysym(keysyms[k]);
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

std::vector<std::uint16_t> KeyboardModifiers::modMasksOf(ModifierRole role) const {
    std::vector<std::uint16_t> masks;
    for (int k = 0; k < 256; ++k) {
        if (roles_[k] != role || modsOfKey_[k] == 0) continue;
        if (std::find(masks.begin(), masks.end(), modsOfKey_[k]) == masks.end())
            masks.push_back(modsOfKey_[k]);
    }
    return masks;
}

std::vector<std::uint8_t> KeyboardModifiers::keycodesOf(ModifierRole role) const {
    std::vector<std::uint8_t> out;
    for (int k = 0; k < 256; ++k)
        if (roles_[k] == role) out.push_back(static_cast<std::uint8_t>(k));
    return out;
}

}  // namespace mirano::x11
