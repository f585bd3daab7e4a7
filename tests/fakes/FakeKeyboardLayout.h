// A keyboard layout the test controls: the US layout on the positional key codes by default.
#pragma once

#include "platform/KeyboardLayout.h"

#include <array>

namespace mirano::fakes {

class FakeKeyboardLayout final : public KeyboardLayout {
    Q_OBJECT
public:
    FakeKeyboardLayout();

    bool isAvailable() const override { return available_; }
    char16_t character(std::uint16_t keyCode) const override;

    /// Back to the US table (emits changed()).
    void useUS();
    /// German (QWERTZ): Y and Z swapped, and a few punctuation keys moved (emits changed()).
    void useGerman();
    /// Sets what one key types (emits changed()).
    void setCharacter(std::uint16_t keyCode, char16_t unit);
    /// Makes the layout data missing or present again (emits changed()).
    void setAvailable(bool available);

    /// How many times character() was asked.
    mutable int lookups = 0;

private:
    std::array<char16_t, 128> table_{};
    bool available_ = true;
};

}  // namespace mirano::fakes
