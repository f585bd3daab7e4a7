// A key combination in the words of the GlobalShortcuts portal ("LOGO+SHIFT+p").
#pragma once

#include <QString>

#include "platform/Modifiers.h"

namespace mirano::wayland {

/// The portal's trigger string for `modifiers` held with the key that types `character`: the
/// modifiers as the shortcut strings of the desktop portals name them (CTRL, ALT, SHIFT, LOGO,
/// in that order), then the xkbcommon key symbol name of the character in lower case, which is
/// what the key gives without Shift ("p", "1", "comma"). The portal does not tell left from
/// right. The Menu key that stands for fn is no modifier to the portals; it becomes LOGO, the
/// other key beside the space bar that applications leave to the desktop, so the combination
/// does not shadow their Ctrl and Alt shortcuts. Empty when `character` is not one character
/// with a key symbol.
QString portalTrigger(Modifiers modifiers, const QString& character);

}  // namespace mirano::wayland
