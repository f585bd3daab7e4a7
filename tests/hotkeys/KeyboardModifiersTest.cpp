// The key-code table and the classification of modifier keys used by the X11 tap.
#include "platform/x11/KeyCodeTable.h"
#include "platform/x11/KeyboardModifiers.h"

#include <gtest/gtest.h>

namespace mirano::x11 {
namespace {

TEST(KeyCodeTable, MapsEvdevPositionsBothWays) {
    // X keycode -> positional code for keys the logic names.
    const std::pair<std::uint8_t, std::uint16_t> rows[] = {
        {38, 0},  {39, 1},  {41, 3},   {21, 24},  {20, 27},  {59, 43},  {22, 51},
        {9, 53},  {33, 35}, {52, 6},   {29, 16},  {65, 49},  {23, 48},  {36, 36},
        {10, 18}, {19, 29}, {14, 23},  {15, 22},  {16, 26},  {49, 50},  {51, 42},  {133, 55},
        {134, 54}, {64, 58}, {108, 61}, {37, 59}, {105, 62}, {135, 63}, {50, 56},
    };
    for (const auto& [x, positional] : rows) {
        SCOPED_TRACE(x);
        EXPECT_EQ(positionalKeyCode(x), positional);
        EXPECT_EQ(xKeycode(positional), std::optional<std::uint8_t>(x));
    }
    EXPECT_EQ(positionalKeyCode(0), kUnknownKeyCode);
    EXPECT_EQ(positionalKeyCode(255), kUnknownKeyCode);
    EXPECT_EQ(xKeycode(52), std::nullopt) << "position 52 has no key";
    EXPECT_EQ(xKeycode(200), std::nullopt);
    // Every position 0...127 maps back to the keycode it came from.
    for (std::uint16_t p = 0; p < 128; ++p) {
        if (auto x = xKeycode(p)) {
            EXPECT_EQ(positionalKeyCode(*x), p) << p;
        }
    }
}

TEST(KeyboardModifiers, ClassifiesByKeysymAndModifierMap) {
    // Shift_L, Control_L and _R, Alt_L, ISO_Level3_Shift (German right Alt), Super_L and _R,
    // Menu, Num_Lock, Scroll_Lock, Caps_Lock, p.
    const std::pair<int, xcb_keysym_t> keysyms[] = {
        {50, 0xffe1}, {37, 0xffe3}, {105, 0xffe4}, {64, 0xffe9}, {108, 0xfe03}, {133, 0xffeb},
        {134, 0xffec}, {135, 0xff67}, {77, 0xff7f}, {78, 0xff14}, {66, 0xffe5}, {33, 'p'}};
    std::array<xcb_keysym_t, 256> syms{};
    for (auto [keycode, sym] : keysyms) syms[keycode] = sym;
    const std::array<std::vector<std::uint8_t>, 8> mods{
        {{50}, {66}, {37, 105}, {64}, {77}, {78}, {133, 134}, {108}}};
    KeyboardModifiers m;
    m.set(syms, mods);

    EXPECT_EQ(m.role(108), ModifierRole::RightOption) << "AltGr counts as right Option";
    EXPECT_EQ(m.role(135), ModifierRole::Fn);
    EXPECT_EQ(m.role(33), ModifierRole::None);
    using Masks = std::vector<std::uint16_t>;
    EXPECT_EQ(m.modMasksOf(ModifierRole::LeftCommand), Masks{XCB_MOD_MASK_4});
    EXPECT_EQ(m.modMasksOf(ModifierRole::RightOption), Masks{XCB_MOD_MASK_5});
    EXPECT_EQ(m.modMasksOf(ModifierRole::LeftControl), Masks{XCB_MOD_MASK_CONTROL});
    EXPECT_TRUE(m.modMasksOf(ModifierRole::Fn).empty()) << "Menu sets no X modifier";
    EXPECT_EQ(m.lockMods(), XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2 | XCB_MOD_MASK_3)
        << "Caps, Num and Scroll Lock wherever they are mapped";
    EXPECT_EQ(m.keycodesOf(ModifierRole::Fn), std::vector<std::uint8_t>{135});

    EXPECT_EQ(flagsForRole(ModifierRole::LeftCommand), 0x100008u);
    EXPECT_EQ(flagsForRole(ModifierRole::RightOption), 0x80040u);
    EXPECT_EQ(flagsForRole(ModifierRole::RightControl), 0x42000u);
    EXPECT_EQ(flagsForRole(ModifierRole::Fn), 0x800000u);
    for (std::uint64_t mask : {0x800000ull, 0x8ull, 0x10ull, 0x20ull, 0x40ull, 0x1ull, 0x2000ull})
        EXPECT_EQ(flagsForRole(roleForDeviceMask(mask)) & mask, mask) << mask;
}

}  // namespace
}  // namespace mirano::x11
