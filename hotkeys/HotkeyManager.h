// Turns the session's keyboard events into Mirano's gestures.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "platform/EventTap.h"

namespace mirano {

class AppSettings;
class KeyboardLayout;
class Notifications;
class Scheduler;

/// Recognises modifier + trigger (with or without Shift), a tap of the modifier alone, Super
/// (Command) changes and the panel keys (Backspace, F, =, -, Super-comma) while the pointer
/// rests on a visible PiP. It tells the tap which keys to take, and runs an action that consumes
/// a key only for a key the tap did take. Main thread only.
class HotkeyManager : public QObject {
    Q_OBJECT
public:
    /// Real services.
    HotkeyManager();
    HotkeyManager(std::unique_ptr<EventTap> tap, KeyboardLayout& layout, AppSettings& settings,
                  Scheduler& scheduler, Notifications& notifications);
    /// Stops the tap (and joins its thread) if stop() has not.
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
    /// Recomputes which keys the tap takes (call when the hover state may have changed).
    void refreshGrabs();

    /// The recognition logic for one event, on the main thread.
    void handleEvent(const KeyEvent& event);
    /// A key pressed on the PiP panel while it has the keyboard focus; `text` is what it typed.
    /// Acted on only where the tap does not see the session's keys: elsewhere the tap has the
    /// same key already.
    void handlePanelKey(const KeyEvent& event, const QString& text);

    /// The evdev code of the key that types `character` (compared in lower case) with no
    /// modifiers on the layout; the lowest wins.
    static std::optional<std::uint16_t> keyCode(const QString& character,
                                                const KeyboardLayout& layout);
    /// The same on the real, current keyboard layout.
    static std::optional<std::uint16_t> keyCode(const QString& character);

    /// Whether start() installed a tap (false before, after a failed start and after stop()).
    bool isListening() const { return listening_; }

private:
    void handleModifiersChanged(Modifiers modifiers, double time);
    void handleKeyDown(const KeyEvent& event);
    /// Runs the panel key's gesture (Backspace, F, =, -, Super-comma) while the pointer rests on
    /// a visible PiP; returns whether the key was used.
    bool runPanelKey(std::uint16_t key, Modifiers mods);
    bool isHoveringVisiblePiP() const;
    /// Looks the trigger key up again (the layout or the setting changed).
    void refreshTrigger();
    /// Says once that the hotkey cannot work, and why; nothing when it was said already.
    void reportUnavailable(const QString& reason);
    QString combinationName() const;
    /// Forgets what was said when the chosen combination changed.
    void noteCombination();
    /// Posts a task that calls the callback field `member` (read when the task runs).
    void queue(std::function<void()> HotkeyManager::*member);
    void queueCommandChanged(bool down);

    std::unique_ptr<EventTap> tap_;
    KeyboardLayout& layout_;
    AppSettings& settings_;
    Scheduler& scheduler_;
    Notifications& notifications_;

    std::optional<double> modifierDownTime_;
    bool modifierDownWithoutKey_ = false;
    bool lastCommandState_ = false;

    /// The trigger's key on the current layout, looked up when the layout or setting changes.
    std::optional<std::uint16_t> triggerKey_;
    /// The combination in use and the last "cannot work" message said about it.
    QString combination_;
    QString reported_;

    bool started_ = false;
    bool stopped_ = false;
    bool listening_ = false;
    std::optional<TapGrabs> pushedGrabs_;
};

}  // namespace mirano
