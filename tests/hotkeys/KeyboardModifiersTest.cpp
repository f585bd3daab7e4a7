// How the X11 tap classifies the keys of a keymap as Mirano's physical modifiers.
#include <gtest/gtest.h>

#include "platform/x11/KeyboardModifiers.h"

namespace mirano::x11 {
namespace {

TEST(KeyboardModifiers, ClassifiesByKeysymAndModifierMap) {
    // Shift_L, Control_L and _R, Alt_L, ISO_Level3_Shift (German right Alt), Super_L and _R,
    // Menu, Num_Lock, Scroll_Lock, Caps_Lock, p.
    const std::pair<int, xcb_keysym_t> keysyms[] = {
        {50, 0xffe1},  {37, 0xffe3},  {105, 0xffe4}, {64, 0xffe9}, {108, 0xfe03}, {133, 0xffeb},
        {134, 0xffec}, {135, 0xff67}, {77, 0xff7f},  {78, 0xff14}, {66, 0xffe5},  {33, 'p'}};
    std::array<xcb_keysym_t, 256> syms{};
    for (auto [keycode, sym] : keysyms) syms[keycode] = sym;
    const std::array<std::vector<std::uint8_t>, 8> mods{
        {{50}, {66}, {37, 105}, {64}, {77}, {78}, {133, 134}, {108}}};
    KeyboardModifiers m;
    m.set(syms, mods);

    EXPECT_EQ(m.modifierOf(108), Modifiers(Modifier::RightAlt)) << "AltGr counts as right Alt";
    EXPECT_EQ(m.modifierOf(105), Modifiers(Modifier::RightCtrl));
    EXPECT_EQ(m.modifierOf(135), Modifiers(Modifier::Menu));
    EXPECT_TRUE(m.isModifierKey(66) && !m.modifierOf(66)) << "Caps Lock changes no modifier";
    EXPECT_FALSE(m.isModifierKey(33));
    using Masks = std::vector<std::uint16_t>;
    EXPECT_EQ(m.modMasksOf(kAnySuper), Masks{XCB_MOD_MASK_4});
    EXPECT_EQ(m.modMasksOf(Modifier::RightAlt), Masks{XCB_MOD_MASK_5});
    EXPECT_TRUE(m.modMasksOf(Modifier::Menu).empty()) << "Menu sets no X modifier";
    EXPECT_EQ(m.lockMods(), XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2 | XCB_MOD_MASK_3)
        << "Caps, Num and Scroll Lock wherever they are mapped";
    EXPECT_EQ(m.keycodesOf(Modifier::Menu), std::vector<std::uint8_t>{135});
    EXPECT_EQ(evdevCode(33), 25) << "X keycodes are evdev codes + 8";
}

}  // namespace
}  // namespace mirano::x11
