// Recognises Mirano's keyboard gestures in the events the tap delivers.
#include "hotkeys/HotkeyManager.h"

#include "platform/DefaultsStore.h"
#include "platform/KeyboardLayout.h"
#include "platform/Platform.h"
#include "platform/Scheduler.h"
#include "settings/AppSettings.h"

#include <QPointer>
#include <cstdio>

namespace mirano {

namespace {
constexpr std::uint64_t kShiftFlag = 0x20000;
constexpr std::uint64_t kCommandFlag = 0x100000;
constexpr std::uint64_t kControlOptionCommandFlags = 0x1C0000;
// A press shorter than this (exclusive) counts as a tap of the modifier.
constexpr double kTapTimeLimit = 0.3;

constexpr std::uint16_t kKeyF = 3;
constexpr std::uint16_t kKeyEquals = 24;
constexpr std::uint16_t kKeyMinus = 27;
constexpr std::uint16_t kKeyComma = 43;
constexpr std::uint16_t kKeyBackspace = 51;

void printLine(const char* line) {
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
}  // namespace

HotkeyManager::HotkeyManager()
    : HotkeyManager(Platform::real().makeEventTap(), Platform::real().keyboardLayout(),
                    AppSettings::shared(), Platform::real().scheduler()) {}

HotkeyManager::HotkeyManager(std::unique_ptr<EventTap> tap, KeyboardLayout& layout,
                             AppSettings& settings, Scheduler& scheduler)
    : tap_(std::move(tap)), layout_(layout), settings_(settings), scheduler_(scheduler) {
    // The keys the tap may drop depend on these settings and on the layout.
    connect(&settings_.store(), &DefaultsStore::changed, this, [this](const QString& key) {
        if (key == AppSettings::kModifier || key == AppSettings::kTriggerKey) refreshGrabs();
    });
    connect(&layout_, &KeyboardLayout::changed, this, &HotkeyManager::refreshGrabs);
}

HotkeyManager::~HotkeyManager() { stop(); }

void HotkeyManager::start() {
    if (isRunningForPreviews() || started_ || stopped_ || !tap_) return;
    started_ = true;
    QPointer<HotkeyManager> self(this);
    const bool ok = tap_->start([self](const KeyEvent& event) {
        return self ? self->handleEvent(event) : TapVerdict::Keep;
    });
    if (!ok) {
        printLine("Failed to create CGEvent tap. Accessibility permission required.");
        return;
    }
    listening_ = true;
    printLine("HotkeyManager event tap started.");
    refreshGrabs();
}

void HotkeyManager::stop() {
    if (stopped_) return;
    stopped_ = true;
    if (started_ && tap_) tap_->stop();
    listening_ = false;
}

void HotkeyManager::refreshGrabs() {
    if (!listening_) return;
    TapGrabs grabs;
    grabs.modifierMask = ModifierKeys::flagMask(settings_.modifier());
    grabs.triggerKeyCode = keyCode(settings_.triggerKey(), layout_);
    grabs.panelKeys = isHoveringVisiblePiP();
    if (pushedGrabs_ == grabs) return;
    pushedGrabs_ = grabs;
    tap_->setGrabs(grabs);
}

TapVerdict HotkeyManager::handleEvent(const KeyEvent& event) {
    switch (event.type) {
        case kEventTypeFlagsChanged:
            handleFlagsChanged(event.flags, event.time);
            return TapVerdict::Keep;
        case kEventTypeKeyDown:
            return handleKeyDown(event);
        default:
            return TapVerdict::Keep;
    }
}

TapVerdict HotkeyManager::handleKeyDown(const KeyEvent& event) {
    // Any key pressed while the modifier is down spoils a modifier tap.
    modifierDownWithoutKey_ = false;
    const std::uint16_t code = event.keyCode;
    const std::uint64_t flags = event.flags;

    if (code == kKeyComma && (flags & kCommandFlag) && isHoveringVisiblePiP()) {
        queue(&HotkeyManager::onSettingsHotkey);
        return TapVerdict::Drop;
    }
    if (code == kKeyBackspace && isHoveringVisiblePiP() && onBackspace) {
        if (onBackspace()) return TapVerdict::Drop;
    }
    const bool plainPanelKey = (flags & kControlOptionCommandFlags) == 0;
    if (code == kKeyF && plainPanelKey && isHoveringVisiblePiP()) {
        queue(&HotkeyManager::onFrameRateMenuHotkey);
        return TapVerdict::Drop;
    }
    if (code == kKeyEquals && plainPanelKey && isHoveringVisiblePiP()) {
        queue(&HotkeyManager::onZoomInHotkey);
        return TapVerdict::Drop;
    }
    if (code == kKeyMinus && plainPanelKey && isHoveringVisiblePiP()) {
        queue(&HotkeyManager::onZoomOutHotkey);
        return TapVerdict::Drop;
    }

    if (!ModifierKeys::isHeld(settings_.modifier(), flags)) return TapVerdict::Keep;
    const auto trigger = keyCode(settings_.triggerKey(), layout_);
    if (!trigger || *trigger != code) return TapVerdict::Keep;
    // A recognised trigger is dropped even when nobody listens.
    const auto& callback = (flags & kShiftFlag) ? onShiftHotkey : onHotkey;
    if (callback) callback();
    return TapVerdict::Drop;
}

void HotkeyManager::handleFlagsChanged(std::uint64_t flags, double time) {
    const bool command = (flags & kCommandFlag) != 0;
    if (command != lastCommandState_) {
        lastCommandState_ = command;
        queueCommandChanged(command);
    }
    if (ModifierKeys::isHeld(settings_.modifier(), flags)) {
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
    if (!layout.isAvailable()) return std::nullopt;
    const QString wanted = character.toLower();
    for (std::uint16_t code = 0; code < 128; ++code) {
        const char16_t unit = layout.character(code);
        // A key that types nothing matches nothing; half a surrogate pair is no character.
        if (unit == 0 || (unit >= 0xD800 && unit <= 0xDFFF)) continue;
        if (wanted.size() == 1 && wanted.at(0).unicode() == unit) return code;
    }
    return std::nullopt;
}

std::optional<std::uint16_t> HotkeyManager::keyCode(const QString& character) {
    return keyCode(character, Platform::real().keyboardLayout());
}

bool HotkeyManager::isRunningForPreviews() {
    static const bool previews = qgetenv("XCODE_RUNNING_FOR_PREVIEWS") == "1";
    return previews;
}

}  // namespace mirano
