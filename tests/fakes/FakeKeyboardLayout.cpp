#include "tests/fakes/FakeKeyboardLayout.h"

namespace mirano::fakes {

namespace {
// Unshifted characters of the US layout at the ANSI positional key codes.
constexpr std::pair<std::uint16_t, char16_t> kUS[] = {
    {0, u'a'},  {1, u's'},  {2, u'd'},  {3, u'f'},  {4, u'h'},   {5, u'g'},  {6, u'z'},
    {7, u'x'},  {8, u'c'},  {9, u'v'},  {11, u'b'}, {12, u'q'},  {13, u'w'}, {14, u'e'},
    {15, u'r'}, {16, u'y'}, {17, u't'}, {18, u'1'}, {19, u'2'},  {20, u'3'}, {21, u'4'},
    {22, u'6'}, {23, u'5'}, {24, u'='}, {25, u'9'}, {26, u'7'},  {27, u'-'}, {28, u'8'},
    {29, u'0'}, {30, u']'}, {31, u'o'}, {32, u'u'}, {33, u'['},  {34, u'i'}, {35, u'p'},
    {36, u'\r'}, {37, u'l'}, {38, u'j'}, {39, u'\''}, {40, u'k'}, {41, u';'}, {42, u'\\'},
    {43, u','}, {44, u'/'}, {45, u'n'}, {46, u'm'}, {47, u'.'},  {48, u'\t'}, {49, u' '},
    {50, u'`'}, {51, u'\b'}, {53, u'\x1b'},
};
}  // namespace

FakeKeyboardLayout::FakeKeyboardLayout() {
    for (const auto& [code, unit] : kUS) table_[code] = unit;
}

char16_t FakeKeyboardLayout::character(std::uint16_t keyCode) const {
    ++lookups;
    return keyCode < table_.size() ? table_[keyCode] : 0;
}

void FakeKeyboardLayout::useUS() {
    table_.fill(0);
    for (const auto& [code, unit] : kUS) table_[code] = unit;
    emit changed();
}

void FakeKeyboardLayout::useGerman() {
    table_.fill(0);
    for (const auto& [code, unit] : kUS) table_[code] = unit;
    table_[6] = u'y';
    table_[16] = u'z';
    table_[24] = u'\x00b4';  // acute accent (dead key)
    table_[27] = u'\x00df';  // sharp s
    table_[41] = u'\x00f6';
    table_[39] = u'\x00e4';
    table_[33] = u'\x00fc';
    table_[30] = u'+';
    table_[44] = u'-';
    emit changed();
}

void FakeKeyboardLayout::setCharacter(std::uint16_t keyCode, char16_t unit) {
    if (keyCode < table_.size()) table_[keyCode] = unit;
    emit changed();
}

void FakeKeyboardLayout::setAvailable(bool available) {
    available_ = available;
    emit changed();
}

}  // namespace mirano::fakes
