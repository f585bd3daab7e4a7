// The delegate's hotkeys in the program: a HotkeyManager on the real keyboard.
#pragma once

#include "app/HotkeyService.h"

namespace mirano {

/// Creates a HotkeyManager on the real services with the bindings as its callbacks.
std::unique_ptr<HotkeyService> makeHotkeyManagerService(HotkeyBindings bindings);

}  // namespace mirano
