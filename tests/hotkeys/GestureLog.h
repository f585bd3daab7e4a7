// The gesture callbacks of a hotkey manager, all connected to one sink by name.
#pragma once

#include <functional>
#include <utility>

#include "hotkeys/HotkeyManager.h"

namespace mirano::testing {

/// Connects each gesture callback of `manager` to `said`, with the gesture's name: "hotkey",
/// "shiftHotkey", "tap", "command(true)" / "command(false)", "backspace", "settings",
/// "frameRate", "zoomIn", "zoomOut". Backspace closes the PiP while `backspaceCloses` says so,
/// the pointer rests on a visible PiP while `hovering` does.
inline void connectGestures(
    HotkeyManager& manager, const std::function<void(const char*)>& said,
    std::function<bool()> hovering, std::function<bool()> backspaceCloses = [] { return true; }) {
    const auto says = [said](const char* name) { return [said, name] { said(name); }; };
    manager.onHotkey = says("hotkey");
    manager.onShiftHotkey = says("shiftHotkey");
    manager.onModifierTap = says("tap");
    manager.onCommandChanged = [said](bool on) { said(on ? "command(true)" : "command(false)"); };
    manager.onBackspace = [said, closes = std::move(backspaceCloses)] {
        said("backspace");
        return closes();
    };
    manager.onSettingsHotkey = says("settings");
    manager.onFrameRateMenuHotkey = says("frameRate");
    manager.onZoomInHotkey = says("zoomIn");
    manager.onZoomOutHotkey = says("zoomOut");
    manager.hoverProvider = std::move(hovering);
}

}  // namespace mirano::testing
