// Recognises Mirano's keyboard gestures in the events the tap delivers.
#include "hotkeys/HotkeyManager.h"

#include <linux/input-event-codes.h>

#include <QPointer>

#include "platform/DefaultsStore.h"
#include "platform/KeyboardLayout.h"
#include "platform/Log.h"
#include "platform/Notifications.h"
#include "platform/Platform.h"
#include "platform/Scheduler.h"
#include "settings/AppSettings.h"

namespace mirano {

namespace {
// A press shorter than this (exclusive) counts as a tap of the modifier.
constexpr double kTapTimeLimit = 0.3;
}  // namespace

HotkeyManager::HotkeyManager()
    : HotkeyManager(Platform::real().makeEventTap(), Platform::real().keyboardLayout(),
                    AppSettings::shared(), Platform::real().scheduler(),
                    Platform::real().notifications()) {}

HotkeyManager::HotkeyManager(std::unique_ptr<EventTap> tap, KeyboardLayout& layout,
                             AppSettings& settings, Scheduler& scheduler,
                             Notifications& notifications)
    : tap_(std::move(tap)),
      layout_(layout),
      settings_(settings),
      scheduler_(scheduler),
      notifications_(notifications) {
    // The keys the tap takes depend on these settings and on the layout.
    connect(&settings_.store(), &DefaultsStore::changed, this, [this](const QString& key) {
        if (key == AppSettings::kTriggerKey)
            refreshTrigger();
        else if (key == AppSettings::kModifier)
            refreshGrabs();
    });
    connect(&layout_, &KeyboardLayout::changed, this, &HotkeyManager::refreshTrigger);
    triggerKey_ = keyCode(settings_.triggerKey(), layout_);
}

HotkeyManager::~HotkeyManager() { stop(); }

void HotkeyManager::start() {
    if (started_ || stopped_ || !tap_) return;
    started_ = true;
    QPointer<HotkeyManager> self(this);
    const bool ok = tap_->start(
        [self](const KeyEvent& event) {
            if (self) self->handleEvent(event);
        },
        [self](const TapGrabs& grabs) {
            if (self && self->pushedGrabs_ && grabs.modifier == self->pushedGrabs_->modifier &&
                grabs.triggerKey == self->pushedGrabs_->triggerKey)
                self->reportUnavailable(QStringLiteral("another program holds it"));
        });
    if (!ok) {
        logLine(QStringLiteral("Failed to create CGEvent tap. Accessibility permission required."));
        return;
    }
    listening_ = true;
    logLine(QStringLiteral("HotkeyManager event tap started."));
    refreshTrigger();
}

void HotkeyManager::stop() {
    if (stopped_) return;
    stopped_ = true;
    if (started_ && tap_) tap_->stop();
    listening_ = false;
}

void HotkeyManager::refreshTrigger() {
    triggerKey_ = keyCode(settings_.triggerKey(), layout_);
    if (!listening_) return;
    noteCombination();
    if (!triggerKey_)
        reportUnavailable(QStringLiteral("no key types \"%1\" on the current keyboard layout")
                              .arg(settings_.triggerKey()));
    refreshGrabs();
}

void HotkeyManager::refreshGrabs() {
    if (!listening_) return;
    noteCombination();
    TapGrabs grabs;
    grabs.modifier = ModifierKeys::physicalKey(settings_.modifier());
    grabs.triggerKey = triggerKey_;
    grabs.panelKeys = isHoveringVisiblePiP();
    if (pushedGrabs_ == grabs) return;
    pushedGrabs_ = grabs;
    tap_->setGrabs(grabs);
}

void HotkeyManager::noteCombination() {
    // Another combination: what was said about the old one no longer holds.
    const QString name = combinationName();
    if (name == combination_) return;
    combination_ = name;
    reported_.clear();
}

void HotkeyManager::reportUnavailable(const QString& reason) {
    const QString text = combinationName() + QStringLiteral(" cannot work: ") + reason + '.';
    if (text == reported_) return;
    reported_ = text;
    logLine(QStringLiteral("Hotkey ") + text);
    notifications_.post(QStringLiteral("Hotkey Unavailable"), text);
}

QString HotkeyManager::combinationName() const {
    return ModifierKeys::displayName(settings_.modifier()) + QStringLiteral(" + ") +
           settings_.triggerKey();
}

void HotkeyManager::handleEvent(const KeyEvent& event) {
    switch (event.kind) {
        case KeyEventKind::ModifiersChanged:
            handleModifiersChanged(event.modifiers, event.time);
            return;
        case KeyEventKind::KeyDown:
            handleKeyDown(event);
            return;
    }
}

void HotkeyManager::handleKeyDown(const KeyEvent& event) {
    // Any key pressed while the modifier is down spoils a modifier tap.
    modifierDownWithoutKey_ = false;
    // A key the tap did not take reaches the focused window anyway: acting on it as well would
    // do two things with one key (close the PiP and delete a character).
    if (!event.grabbed) return;
    const std::uint16_t key = event.key;
    const Modifiers mods = event.modifiers;
    if (runPanelKey(key, mods)) return;

    if (!ModifierKeys::isHeld(settings_.modifier(), mods)) return;
    if (!triggerKey_ || *triggerKey_ != key) return;
    const auto& callback = mods.testFlag(Modifier::Shift) ? onShiftHotkey : onHotkey;
    if (callback) callback();
}

void HotkeyManager::handlePanelKey(const KeyEvent& event, const QString& text) {
    if (!listening_ || tap_->seesSessionKeys() || event.kind != KeyEventKind::KeyDown) return;
    // A virtual keyboard (an on-screen one, a remote desktop) brings key codes of its own: the
    // key that types the character on the layout stands for the code where there is one.
    runPanelKey(layout_.keyFor(text).value_or(event.key), event.modifiers);
}

bool HotkeyManager::runPanelKey(std::uint16_t key, Modifiers mods) {
    if (!isHoveringVisiblePiP()) return false;
    if (key == KEY_COMMA && (mods & kAnySuper)) {
        queue(&HotkeyManager::onSettingsHotkey);
        return true;
    }
    // A Backspace the action declines goes on to the trigger rule.
    if (key == KEY_BACKSPACE) return onBackspace && onBackspace();
    if (mods & kCtrlAltSuper) return false;
    std::function<void()> HotkeyManager::*gesture = nullptr;
    if (key == KEY_F) gesture = &HotkeyManager::onFrameRateMenuHotkey;
    if (key == KEY_EQUAL) gesture = &HotkeyManager::onZoomInHotkey;
    if (key == KEY_MINUS) gesture = &HotkeyManager::onZoomOutHotkey;
    if (!gesture) return false;
    queue(gesture);
    return true;
}

void HotkeyManager::handleModifiersChanged(Modifiers modifiers, double time) {
    const bool command = (modifiers & kAnySuper) != Modifiers();
    if (command != lastCommandState_) {
        lastCommandState_ = command;
        queueCommandChanged(command);
    }
    if (ModifierKeys::isHeld(settings_.modifier(), modifiers)) {
        // Other modifiers coming and going during the hold change nothing.
        if (!modifierDownTime_) {
            modifierDownTime_ = time;
            modifierDownWithoutKey_ = true;
        }
        return;
    }
    if (modifierDownTime_ && modifierDownWithoutKey_ && time - *modifierDownTime_ < kTapTimeLimit)
        queue(&HotkeyManager::onModifierTap);
    modifierDownTime_.reset();
    modifierDownWithoutKey_ = false;
}

bool HotkeyManager::isHoveringVisiblePiP() const { return hoverProvider && hoverProvider(); }

void HotkeyManager::queue(std::function<void()> HotkeyManager::*member) {
    QPointer<HotkeyManager> self(this);
    scheduler_.post([self, member] {
        if (!self) return;
        // The field is read when the task runs, not when it was queued.
        const auto callback = (*self).*member;
        if (callback) callback();
    });
}

void HotkeyManager::queueCommandChanged(bool down) {
    QPointer<HotkeyManager> self(this);
    scheduler_.post([self, down] {
        if (!self) return;
        const auto callback = self->onCommandChanged;
        if (callback) callback(down);
    });
}

std::optional<std::uint16_t> HotkeyManager::keyCode(const QString& character,
                                                    const KeyboardLayout& layout) {
    return layout.keyFor(character);
}

std::optional<std::uint16_t> HotkeyManager::keyCode(const QString& character) {
    return keyCode(character, Platform::real().keyboardLayout());
}

}  // namespace mirano
