// The fixed table between Linux evdev key codes and the positional key codes of the logic.
#include "platform/x11/KeyCodeTable.h"

#include <array>

namespace mirano::x11 {

namespace {
constexpr int kEvdevOffset = 8;  // X keycode = evdev code + 8

struct Pair {
    std::uint8_t evdev;
    std::uint16_t positional;
};
// evdev code -> positional code. Letters, digits and punctuation by their place on an ANSI
// keyboard; modifiers by side; the Menu key stands for fn.
constexpr Pair kPairs[] = {
    {1, 53},    {2, 18},    {3, 19},    {4, 20},    {5, 21},    {6, 23},    {7, 22},
    {8, 26},    {9, 28},    {10, 25},   {11, 29},   {12, 27},   {13, 24},   {14, 51},
    {15, 48},   {16, 12},   {17, 13},   {18, 14},   {19, 15},   {20, 17},   {21, 16},
    {22, 32},   {23, 34},   {24, 31},   {25, 35},   {26, 33},   {27, 30},   {28, 36},
    {29, 59},   {30, 0},    {31, 1},    {32, 2},    {33, 3},    {34, 5},    {35, 4},
    {36, 38},   {37, 40},   {38, 37},   {39, 41},   {40, 39},   {41, 50},   {42, 56},
    {43, 42},   {44, 6},    {45, 7},    {46, 8},    {47, 9},    {48, 11},   {49, 45},
    {50, 46},   {51, 43},   {52, 47},   {53, 44},   {54, 60},   {55, 67},   {56, 58},
    {57, 49},   {58, 57},   {59, 122},  {60, 120},  {61, 99},   {62, 118},  {63, 96},
    {64, 97},   {65, 98},   {66, 100},  {67, 101},  {68, 109},  {69, 71},   {71, 89},
    {72, 91},   {73, 92},   {74, 78},   {75, 86},   {76, 87},   {77, 88},   {78, 69},
    {79, 83},   {80, 84},   {81, 85},   {82, 82},   {83, 65},   {86, 10},   {87, 103},
    {88, 111},  {89, 94},   {96, 76},   {97, 62},   {98, 75},   {99, 105},  {100, 61},
    {102, 115}, {103, 126}, {104, 116}, {105, 123}, {106, 124}, {107, 119}, {108, 125},
    {109, 121}, {110, 114}, {111, 117}, {113, 74},  {114, 73},  {115, 72},  {117, 81},
    {121, 95},  {124, 93},  {125, 55},  {126, 54},  {127, 63},  {183, 105}, {184, 107},
    {185, 113}, {186, 106}, {187, 64},  {188, 79},  {189, 80},  {190, 90},
};

struct Tables {
    std::array<std::uint16_t, 256> toPositional;
    std::array<std::int16_t, 128> toX;
};

constexpr Tables makeTables() {
    Tables t{};
    for (auto& v : t.toPositional) v = kUnknownKeyCode;
    for (auto& v : t.toX) v = -1;
    for (const Pair& p : kPairs) {
        const int x = p.evdev + kEvdevOffset;
        t.toPositional[x] = p.positional;
        // F13 and SysRq share a position; the first listed wins.
        if (p.positional < 128 && t.toX[p.positional] < 0)
            t.toX[p.positional] = static_cast<std::int16_t>(x);
    }
    return t;
}
constexpr Tables kTables = makeTables();
}  // namespace

std::uint16_t positionalKeyCode(std::uint8_t xKeycode) { return kTables.toPositional[xKeycode]; }

std::optional<std::uint8_t> xKeycode(std::uint16_t positionalCode) {
    if (positionalCode >= 128 || kTables.toX[positionalCode] < 0) return std::nullopt;
    return static_cast<std::uint8_t>(kTables.toX[positionalCode]);
}

}  // namespace mirano::x11
