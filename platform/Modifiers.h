// The physical modifier keys Mirano tells apart, as a set.
#pragma once

#include <QFlags>

namespace mirano {

/// One physical modifier key. Left and right are distinct; AltGr counts as right Alt; Shift is
/// either Shift key; Menu is the key that stands for the chosen "fn" modifier.
enum class Modifier : unsigned {
    LeftSuper = 0x1,
    RightSuper = 0x2,
    LeftAlt = 0x4,
    RightAlt = 0x8,
    LeftCtrl = 0x10,
    RightCtrl = 0x20,
    Shift = 0x40,
    Menu = 0x80,
};
Q_DECLARE_FLAGS(Modifiers, Modifier)
Q_DECLARE_OPERATORS_FOR_FLAGS(Modifiers)

/// Either Super key.
inline constexpr Modifiers kAnySuper{Modifier::LeftSuper, Modifier::RightSuper};
/// Either Ctrl, either Alt or either Super key.
inline constexpr Modifiers kCtrlAltSuper{Modifier::LeftCtrl,  Modifier::RightCtrl,
                                         Modifier::LeftAlt,   Modifier::RightAlt,
                                         Modifier::LeftSuper, Modifier::RightSuper};

}  // namespace mirano
