// Gesture recognition of the hotkey manager on a fake tap, layout and scheduler.
#include "hotkeys/HotkeyManager.h"
#include "settings/AppSettings.h"
#include "tests/fakes/FakeEventTap.h"
#include "tests/fakes/FakeKeyboardLayout.h"
#include "tests/fakes/ManualScheduler.h"
#include "tests/fakes/MemoryDefaultsStore.h"

#include <gtest/gtest.h>

#include <QString>
#include <string>
#include <vector>

namespace mirano {
namespace {

constexpr std::uint64_t kFn = 0x800000;
constexpr std::uint64_t kLeftCommand = 0x8 | 0x100000;
constexpr std::uint64_t kRightCommand = 0x10 | 0x100000;
constexpr std::uint64_t kLeftOption = 0x20 | 0x80000;
constexpr std::uint64_t kRightOption = 0x40 | 0x80000;
constexpr std::uint64_t kLeftControl = 0x1 | 0x40000;
constexpr std::uint64_t kRightControl = 0x2000 | 0x40000;
constexpr std::uint64_t kShift = 0x2 | 0x20000;

constexpr std::uint16_t kP = 35, kF = 3, kEquals = 24, kMinus = 27, kComma = 43,
                        kBackspace = 51, kA = 0, kY = 16, kZ = 6, kDigit7 = 26;

class HotkeyManagerTest : public ::testing::Test {
protected:
    HotkeyManagerTest() {
        auto tap = std::make_unique<fakes::FakeEventTap>();
        tap_ = tap.get();
        record_ = tap->record();
        manager_ = std::make_unique<HotkeyManager>(std::move(tap), layout_, settings_, scheduler_);
        manager_->onHotkey = [this] { log_.push_back("hotkey"); };
        manager_->onShiftHotkey = [this] { log_.push_back("shiftHotkey"); };
        manager_->onModifierTap = [this] { log_.push_back("tap"); };
        manager_->onCommandChanged = [this](bool down) {
            log_.push_back(down ? "command(true)" : "command(false)");
        };
        manager_->onSettingsHotkey = [this] { log_.push_back("settings"); };
        manager_->onFrameRateMenuHotkey = [this] { log_.push_back("frameRate"); };
        manager_->onZoomInHotkey = [this] { log_.push_back("zoomIn"); };
        manager_->onZoomOutHotkey = [this] { log_.push_back("zoomOut"); };
        manager_->hoverProvider = [this] { return hovering_; };
        manager_->start();
    }

    TapVerdict keyDown(std::uint16_t code, std::uint64_t flags = 0, double time = 0) {
        return *tap_->inject({kEventTypeKeyDown, flags, code, time});
    }
    void flagsChanged(std::uint64_t flags, double time) {
        tap_->inject({kEventTypeFlagsChanged, flags, 0, time});
    }
    /// What ran, after draining the main queue.
    std::vector<std::string> drained() {
        scheduler_.drain();
        auto out = log_;
        log_.clear();
        return out;
    }
    using Log = std::vector<std::string>;

    fakes::MemoryDefaultsStore store_;
    AppSettings settings_{store_};
    fakes::ManualScheduler scheduler_;
    fakes::FakeKeyboardLayout layout_;
    fakes::FakeEventTap* tap_ = nullptr;
    std::shared_ptr<fakes::FakeEventTap::Record> record_;
    std::unique_ptr<HotkeyManager> manager_;
    std::vector<std::string> log_;
    bool hovering_ = false;
};

TEST_F(HotkeyManagerTest, TriggerWithEachModifierTellsLeftFromRight) {
    struct Row {
        const char* modifier;
        std::uint64_t chosen;
        std::uint64_t otherSide;
    };
    const Row rows[] = {
        {"fn", kFn, kLeftCommand},
        {"leftCommand", kLeftCommand, kRightCommand},
        {"rightCommand", kRightCommand, kLeftCommand},
        {"leftOption", kLeftOption, kRightOption},
        {"rightOption", kRightOption, kLeftOption},
        {"leftControl", kLeftControl, kRightControl},
        {"rightControl", kRightControl, kLeftControl},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.modifier);
        settings_.setModifierRaw(row.modifier);
        EXPECT_EQ(keyDown(kP, row.chosen), TapVerdict::Drop) << "modifier + P fires";
        EXPECT_EQ(drained(), Log{"hotkey"});
        EXPECT_EQ(keyDown(kP, row.chosen | kShift), TapVerdict::Drop) << "with Shift";
        EXPECT_EQ(drained(), Log{"shiftHotkey"});
        EXPECT_EQ(keyDown(kP, row.otherSide), TapVerdict::Keep) << "other side does not fire";
        EXPECT_EQ(keyDown(kP), TapVerdict::Keep) << "P alone passes";
        EXPECT_EQ(keyDown(kA, row.chosen), TapVerdict::Keep) << "another key passes";
        EXPECT_TRUE(drained().empty());
    }
}

TEST_F(HotkeyManagerTest, UnknownModifierSettingActsAsFn) {
    settings_.setModifierRaw("hyper");
    EXPECT_EQ(keyDown(kP, kFn), TapVerdict::Drop);
    EXPECT_EQ(keyDown(kP, kLeftCommand), TapVerdict::Keep);
    EXPECT_EQ(drained(), Log{"hotkey"});
}

TEST_F(HotkeyManagerTest, ImmediateCallbacksRunInsideTheEvent) {
    // onHotkey runs before handleEvent returns; nothing is queued for it.
    EXPECT_EQ(keyDown(kP, kFn), TapVerdict::Drop);
    EXPECT_EQ(log_, Log{"hotkey"});
    EXPECT_EQ(scheduler_.queued(), 0u);
}

TEST_F(HotkeyManagerTest, RecognisedTriggerWithoutCallbackIsStillDropped) {
    manager_->onHotkey = nullptr;
    manager_->onShiftHotkey = nullptr;
    EXPECT_EQ(keyDown(kP, kFn), TapVerdict::Drop);
    EXPECT_EQ(keyDown(kP, kFn | kShift), TapVerdict::Drop);
    EXPECT_TRUE(drained().empty());
}

TEST_F(HotkeyManagerTest, TriggerIsCaseInsensitiveAndFollowsTheLayout) {
    settings_.setTriggerKey("p");
    EXPECT_EQ(keyDown(kP, kFn), TapVerdict::Drop);
    settings_.setTriggerKey("7");
    EXPECT_EQ(keyDown(kDigit7, kFn), TapVerdict::Drop) << "a digit matches its unshifted key";
    EXPECT_EQ(keyDown(kP, kFn), TapVerdict::Keep);
    settings_.setTriggerKey("Z");
    EXPECT_EQ(keyDown(kZ, kFn), TapVerdict::Drop);
    layout_.useGerman();
    EXPECT_EQ(keyDown(kZ, kFn), TapVerdict::Keep) << "that key types y now";
    EXPECT_EQ(keyDown(kY, kFn), TapVerdict::Drop);
    settings_.setTriggerKey("€");
    EXPECT_EQ(keyDown(kP, kFn), TapVerdict::Keep) << "no key types it: nothing matches";
    layout_.setAvailable(false);
    settings_.setTriggerKey("P");
    EXPECT_EQ(keyDown(kP, kFn), TapVerdict::Keep) << "no layout data: nothing matches";
    EXPECT_EQ(drained(), (Log{"hotkey", "hotkey", "hotkey", "hotkey"}));
}

TEST_F(HotkeyManagerTest, KeyCodeSearch) {
    EXPECT_EQ(HotkeyManager::keyCode("A", layout_), std::optional<std::uint16_t>(kA));
    EXPECT_EQ(HotkeyManager::keyCode("=", layout_), std::optional<std::uint16_t>(kEquals));
    EXPECT_EQ(HotkeyManager::keyCode("", layout_), std::nullopt);
    EXPECT_EQ(HotkeyManager::keyCode("ab", layout_), std::nullopt);
    // The lowest key code wins when two keys type the same character.
    layout_.setCharacter(100, u'a');
    layout_.setCharacter(kZ, u'a');
    EXPECT_EQ(HotkeyManager::keyCode("a", layout_), std::optional<std::uint16_t>(kA));
    layout_.setCharacter(kA, 0);
    EXPECT_EQ(HotkeyManager::keyCode("a", layout_), std::optional<std::uint16_t>(kZ));
    // Half a surrogate pair is skipped; the zero unit matches nothing, not even "\0".
    layout_.setCharacter(2, 0xD83D);
    EXPECT_EQ(HotkeyManager::keyCode(QString(QChar(0xD83D)), layout_), std::nullopt);
    EXPECT_EQ(HotkeyManager::keyCode(QString(QChar(0)), layout_), std::nullopt);
    // Only key codes 0...127 are searched.
    layout_.setCharacter(127, u'\x00e9');
    EXPECT_EQ(HotkeyManager::keyCode(QString::fromUtf8("É"), layout_),
              std::optional<std::uint16_t>(127));
}

TEST_F(HotkeyManagerTest, PanelKeysOnlyWhileHoveringAndWithTheRightModifiers) {
    const std::uint64_t mods[] = {0, kShift, kFn};
    for (auto m : mods) {
        hovering_ = false;
        EXPECT_EQ(keyDown(kF, m), TapVerdict::Keep) << "away from the PiP F passes";
        EXPECT_EQ(keyDown(kEquals, m), TapVerdict::Keep);
        EXPECT_EQ(keyDown(kMinus, m), TapVerdict::Keep);
        EXPECT_TRUE(drained().empty());
        hovering_ = true;
        EXPECT_EQ(keyDown(kF, m), TapVerdict::Drop);
        EXPECT_EQ(keyDown(kEquals, m), TapVerdict::Drop);
        EXPECT_EQ(keyDown(kMinus, m), TapVerdict::Drop);
        EXPECT_EQ(drained(), (Log{"frameRate", "zoomIn", "zoomOut"}));
    }
    for (auto m : {kLeftControl, kRightOption, kLeftCommand}) {
        EXPECT_EQ(keyDown(kF, m), TapVerdict::Keep) << "Control, Option or Command: passes";
        EXPECT_EQ(keyDown(kEquals, m), TapVerdict::Keep);
        EXPECT_EQ(keyDown(kMinus, m), TapVerdict::Keep);
    }
    EXPECT_TRUE(drained().empty());
}

TEST_F(HotkeyManagerTest, SettingsKeyNeedsCommandAndHover) {
    hovering_ = true;
    EXPECT_EQ(keyDown(kComma), TapVerdict::Keep);
    EXPECT_EQ(keyDown(kComma, kLeftControl), TapVerdict::Keep);
    EXPECT_EQ(keyDown(kComma, kRightCommand | kShift), TapVerdict::Drop) << "Command-Shift-comma";
    EXPECT_EQ(keyDown(kComma, kLeftCommand | kLeftOption), TapVerdict::Drop);
    hovering_ = false;
    EXPECT_EQ(keyDown(kComma, kLeftCommand), TapVerdict::Keep);
    EXPECT_EQ(drained(), (Log{"settings", "settings"}));
}

TEST_F(HotkeyManagerTest, BackspaceDependsOnItsCallback) {
    int calls = 0;
    bool consumed = true;
    manager_->onBackspace = [&] {
        ++calls;
        return consumed;
    };
    EXPECT_EQ(keyDown(kBackspace), TapVerdict::Keep) << "away from the PiP";
    EXPECT_EQ(calls, 0);
    hovering_ = true;
    EXPECT_EQ(keyDown(kBackspace), TapVerdict::Drop);
    consumed = false;
    EXPECT_EQ(keyDown(kBackspace), TapVerdict::Keep) << "returning false lets it through";
    EXPECT_EQ(calls, 2);
    manager_->onBackspace = nullptr;
    EXPECT_EQ(keyDown(kBackspace), TapVerdict::Keep);
    // Backspace as the trigger key still works when the callback declines.
    layout_.setCharacter(kBackspace, u'\x00a7');
    settings_.setTriggerKey(QString::fromUtf8("§"));
    manager_->onBackspace = [] { return false; };
    EXPECT_EQ(keyDown(kBackspace, kFn), TapVerdict::Drop);
    EXPECT_EQ(drained(), Log{"hotkey"});
}

TEST_F(HotkeyManagerTest, RulesApplyInOrder) {
    hovering_ = true;
    // F as the trigger: the panel rule comes first and takes it.
    settings_.setTriggerKey("F");
    EXPECT_EQ(keyDown(kF, kFn), TapVerdict::Drop);
    EXPECT_EQ(drained(), Log{"frameRate"});
    // With Command chosen the panel rule steps aside and the trigger rule takes it.
    settings_.setModifierRaw("leftCommand");
    EXPECT_EQ(keyDown(kF, kLeftCommand), TapVerdict::Drop);
    EXPECT_EQ(drained(), Log{"hotkey"});
    // Comma with Command over the PiP is the settings key even when comma is the trigger.
    settings_.setTriggerKey(",");
    EXPECT_EQ(keyDown(kComma, kLeftCommand), TapVerdict::Drop);
    EXPECT_EQ(drained(), Log{"settings"});
    // The hover flag is asked afresh for each event, and only for the panel keys.
    int asked = 0;
    manager_->hoverProvider = [&] {
        ++asked;
        return asked % 2 == 1;
    };
    EXPECT_EQ(keyDown(kMinus), TapVerdict::Drop);
    EXPECT_EQ(keyDown(kMinus), TapVerdict::Keep);
    EXPECT_EQ(keyDown(kMinus), TapVerdict::Drop);
    EXPECT_EQ(asked, 3);
    keyDown(kA);
    EXPECT_EQ(asked, 3) << "a key that matches no panel rule does not ask";
    EXPECT_EQ(drained(), (Log{"zoomOut", "zoomOut"}));
}

TEST_F(HotkeyManagerTest, ModifierTapTiming) {
    settings_.setModifierRaw("leftOption");
    flagsChanged(kLeftOption, 10.0);
    flagsChanged(0, 10.29);
    EXPECT_EQ(drained(), Log{"tap"}) << "0.29 s fires";

    flagsChanged(kLeftOption, 20.0);
    flagsChanged(0, 20.3);
    EXPECT_TRUE(drained().empty()) << "0.3 s is too long";

    flagsChanged(kLeftOption, 30.0);
    keyDown(kA, kLeftOption, 30.1);
    flagsChanged(0, 30.2);
    EXPECT_TRUE(drained().empty()) << "a key during the hold spoils it, even one that passes";

    flagsChanged(kLeftOption, 40.0);
    flagsChanged(kLeftOption | kShift, 40.1);
    flagsChanged(kLeftOption, 40.15);
    flagsChanged(0, 40.2);
    EXPECT_EQ(drained(), Log{"tap"}) << "Shift coming and going does not spoil it";

    // Shift coming and going does not restart the timing either.
    flagsChanged(kLeftOption, 50.0);
    flagsChanged(kLeftOption | kShift, 50.2);
    flagsChanged(0, 50.35);
    EXPECT_TRUE(drained().empty());

    // The other Option key is not the modifier.
    flagsChanged(kRightOption, 60.0);
    flagsChanged(0, 60.1);
    EXPECT_TRUE(drained().empty());

    // A spoiled hold does not leak into the next one.
    flagsChanged(kLeftOption, 70.0);
    keyDown(kA, kLeftOption, 70.05);
    flagsChanged(0, 70.1);
    flagsChanged(kLeftOption, 70.2);
    flagsChanged(0, 70.3);
    EXPECT_EQ(drained(), Log{"tap"});
}

TEST_F(HotkeyManagerTest, QuickCommandTapQueuesItsCallbacksInOrder) {
    settings_.setModifierRaw("leftCommand");
    flagsChanged(kLeftCommand, 1.0);
    flagsChanged(0, 1.1);
    EXPECT_TRUE(log_.empty()) << "all three are queued, none runs inside the event";
    EXPECT_EQ(drained(), (Log{"command(true)", "command(false)", "tap"}));
    // Command changes are reported once per change.
    flagsChanged(kRightCommand, 2.0);
    flagsChanged(kRightCommand | kShift, 2.1);
    flagsChanged(kRightCommand, 2.2);
    EXPECT_EQ(drained(), Log{"command(true)"});
}

TEST_F(HotkeyManagerTest, QueuedCallbacksReadTheFieldWhenTheyRunAndNeedTheManager) {
    hovering_ = true;
    keyDown(kF);
    int replaced = 0;
    manager_->onFrameRateMenuHotkey = [&] { ++replaced; };
    scheduler_.drain();
    EXPECT_EQ(replaced, 1);
    EXPECT_TRUE(log_.empty());

    keyDown(kEquals);
    manager_->onZoomInHotkey = nullptr;
    EXPECT_EQ(scheduler_.drain(), 1) << "an unset callback is skipped";

    keyDown(kMinus);
    manager_.reset();
    EXPECT_EQ(scheduler_.drain(), 1);
    EXPECT_TRUE(log_.empty()) << "a task queued by a destroyed manager does nothing";
}

TEST_F(HotkeyManagerTest, AutoRepeatFiresEachTime) {
    for (int i = 0; i < 5; ++i) EXPECT_EQ(keyDown(kP, kFn, 1.0 + i * 0.03), TapVerdict::Drop);
    EXPECT_EQ(log_.size(), 5u);
}

TEST_F(HotkeyManagerTest, OtherEventTypesPass) {
    EXPECT_EQ(*tap_->inject({0xFFFFFFF, kFn, kP, 0}), TapVerdict::Keep);
    EXPECT_EQ(*tap_->inject({11, kFn, kP, 0}), TapVerdict::Keep);
    EXPECT_TRUE(drained().empty());
}

TEST_F(HotkeyManagerTest, StartAndStop) {
    EXPECT_EQ(record_->starts, 1);
    EXPECT_TRUE(manager_->isListening());
    manager_->start();
    EXPECT_EQ(record_->starts, 1) << "started once";
    manager_->stop();
    EXPECT_EQ(record_->stops, 1);
    EXPECT_FALSE(tap_->isRunning());
    EXPECT_FALSE(manager_->isListening());
    manager_.reset();
    EXPECT_EQ(record_->stops, 1) << "destruction after stop() stops nothing twice";
}

TEST(HotkeyManagerLifecycle, FailedStartLogsAndDestructionStops) {
    fakes::MemoryDefaultsStore store;
    AppSettings settings(store);
    fakes::ManualScheduler scheduler;
    fakes::FakeKeyboardLayout layout;
    auto tap = std::make_unique<fakes::FakeEventTap>();
    tap->startSucceeds = false;
    auto record = tap->record();
    {
        HotkeyManager manager(std::move(tap), layout, settings, scheduler);
        ::testing::internal::CaptureStdout();
        manager.start();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(),
                  "Failed to create CGEvent tap. Accessibility permission required.\n");
        EXPECT_FALSE(manager.isListening());
        EXPECT_TRUE(record->grabs.empty());
        settings.setTriggerKey("Q");
        EXPECT_TRUE(record->grabs.empty()) << "no grabs without a tap";
    }
    EXPECT_EQ(record->stops, 1);

    auto tap2 = std::make_unique<fakes::FakeEventTap>();
    auto record2 = tap2->record();
    {
        HotkeyManager manager(std::move(tap2), layout, settings, scheduler);
        ::testing::internal::CaptureStdout();
        manager.start();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "HotkeyManager event tap started.\n");
    }
    EXPECT_EQ(record2->stops, 1) << "the destructor stops a running tap";
}

TEST_F(HotkeyManagerTest, GrabsArePushedOnlyWhenTheyChange) {
    ASSERT_EQ(record_->grabs.size(), 1u);
    EXPECT_EQ(record_->grabs[0], (TapGrabs{0x800000, kP, false}));

    manager_->refreshGrabs();
    settings_.setPipWidth(400);
    settings_.setTriggerKey("P");
    EXPECT_EQ(record_->grabs.size(), 1u) << "nothing changed";

    settings_.setModifierRaw("rightControl");
    ASSERT_EQ(record_->grabs.size(), 2u);
    EXPECT_EQ(record_->grabs.back(), (TapGrabs{0x2000, kP, false}));

    settings_.setTriggerKey("z");
    EXPECT_EQ(record_->grabs.back(), (TapGrabs{0x2000, kZ, false}));
    layout_.useGerman();
    EXPECT_EQ(record_->grabs.back(), (TapGrabs{0x2000, kY, false})) << "follows the layout";

    hovering_ = true;
    EXPECT_EQ(record_->grabs.size(), 4u) << "hover is pushed only on refreshGrabs()";
    manager_->refreshGrabs();
    EXPECT_EQ(record_->grabs.back(), (TapGrabs{0x2000, kY, true}));
    manager_->refreshGrabs();
    EXPECT_EQ(record_->grabs.size(), 5u);

    settings_.setTriggerKey("€");
    EXPECT_EQ(record_->grabs.back(), (TapGrabs{0x2000, std::nullopt, true}));
    manager_->stop();
    settings_.setTriggerKey("P");
    EXPECT_EQ(record_->grabs.size(), 6u) << "nothing is pushed after stop()";
}

TEST(HotkeyManagerPreviews, NoTapUnderPreviews) {
    // The flag is computed once per process, so this runs in a freshly started child.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            qputenv("XCODE_RUNNING_FOR_PREVIEWS", "1");
            fakes::MemoryDefaultsStore store;
            AppSettings settings(store);
            fakes::ManualScheduler scheduler;
            fakes::FakeKeyboardLayout layout;
            auto tap = std::make_unique<fakes::FakeEventTap>();
            auto record = tap->record();
            HotkeyManager manager(std::move(tap), layout, settings, scheduler);
            manager.start();
            std::exit(HotkeyManager::isRunningForPreviews() && record->starts == 0 &&
                              !manager.isListening()
                          ? 0
                          : 1);
        },
        ::testing::ExitedWithCode(0), "");
    // A value other than "1" does not count.
    EXPECT_EXIT(
        {
            qputenv("XCODE_RUNNING_FOR_PREVIEWS", "true");
            std::exit(HotkeyManager::isRunningForPreviews() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace mirano
