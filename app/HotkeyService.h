// The global hotkeys as the application delegate sees them: callbacks in, start and stop out.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "platform/EventTap.h"

namespace mirano {

/// The nine gesture callbacks and the hover query, set by the delegate before start().
struct HotkeyBindings {
    std::function<void()> onHotkey;
    std::function<void()> onShiftHotkey;
    std::function<void()> onModifierTap;
    std::function<void(bool)> onCommandChanged;
    std::function<bool()> onBackspace;
    std::function<void()> onSettingsHotkey;
    std::function<void()> onFrameRateMenuHotkey;
    std::function<void()> onZoomInHotkey;
    std::function<void()> onZoomOutHotkey;
    std::function<bool()> hoverProvider;
};

/// A running set of global hotkeys (the program: a HotkeyManager). Main thread only.
class HotkeyService {
public:
    virtual ~HotkeyService() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
    /// Recomputes which keys may be dropped (the hover state may have changed).
    virtual void refreshGrabs() = 0;
    /// A key pressed on the PiP panel while it has the keyboard focus; `text` is what it typed.
    virtual void handlePanelKey(const KeyEvent& event, const QString& text) = 0;
};

/// Creates the hotkey service with its callbacks connected (not started yet).
using HotkeyServiceFactory = std::function<std::unique_ptr<HotkeyService>(HotkeyBindings)>;

}  // namespace mirano
