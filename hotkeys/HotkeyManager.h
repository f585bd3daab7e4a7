// Turns the session's keyboard events into Mirano's gestures.
#pragma once

#include "platform/EventTap.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace mirano {

class AppSettings;
class KeyboardLayout;
class Scheduler;

/// Recognises modifier + trigger (with or without Shift), a tap of the modifier alone, Command
/// changes and the panel keys (Backspace, F, =, -, Command-comma) while the pointer rests on a
/// visible PiP; recognised events are dropped. Main thread only; the tap delivers events here.
class HotkeyManager : public QObject {
    Q_OBJECT
public:
    /// Real services.
    HotkeyManager();
    HotkeyManager(std::unique_ptr<EventTap> tap, KeyboardLayout& layout, AppSettings& settings,
                  Scheduler& scheduler);
    ~HotkeyManager() override;

    std::function<void()> onHotkey;
    std::function<void()> onShiftHotkey;
    std::function<void()> onModifierTap;
    std::function<void(bool)> onCommandChanged;
    std::function<bool()> onBackspace;
    std::function<void()> onSettingsHotkey;
    std::function<void()> onFrameRateMenuHotkey;
    std::function<void()> onZoomInHotkey;
    std::function<void()> onZoomOutHotkey;

    /// Whether the pointer is over a visible, fully opaque PiP (reads false until connected).
    std::function<bool()> hoverProvider;

    void start();
    void stop();
    /// Recomputes which keys the tap may drop (call when the hover state may have changed).
    void refreshGrabs();

    /// The recognition logic for one event, on the main thread.
    TapVerdict handleEvent(const KeyEvent& event);

    /// The positional key code (0...127) that types `character` (compared in lower case) with
    /// no modifiers on the layout; the lowest wins.
    static std::optional<std::uint16_t> keyCode(const QString& character,
                                                const KeyboardLayout& layout);
    /// The same on the real, current keyboard layout.
    static std::optional<std::uint16_t> keyCode(const QString& character);
    /// True when XCODE_RUNNING_FOR_PREVIEWS is "1": no tap is ever installed.
    static bool isRunningForPreviews();

    /// Whether start() installed a tap (false before, after a failed start and after stop()).
    bool isListening() const { return listening_; }

private:
    void handleFlagsChanged(std::uint64_t flags, double time);
    TapVerdict handleKeyDown(const KeyEvent& event);
    bool isHoveringVisiblePiP() const;
    /// Posts a task that calls the callback field `member` (read when the task runs).
    void queue(std::function<void()> HotkeyManager::*member);
    void queueCommandChanged(bool down);

    std::unique_ptr<EventTap> tap_;
    KeyboardLayout& layout_;
    AppSettings& settings_;
    Scheduler& scheduler_;

    std::optional<double> modifierDownTime_;
    bool modifierDownWithoutKey_ = false;
    bool lastCommandState_ = false;

    bool started_ = false;
    bool stopped_ = false;
    bool listening_ = false;
    std::optional<TapGrabs> pushedGrabs_;
};

}  // namespace mirano
