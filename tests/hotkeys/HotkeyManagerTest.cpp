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
#include <utility>
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
constexpr TapVerdict kDrop = TapVerdict::Drop, kKeep = TapVerdict::Keep;
using Log = std::vector<std::string>;

class HotkeyManagerTest : public ::testing::Test {
protected:
    HotkeyManagerTest() {
        auto tap = std::make_unique<fakes::FakeEventTap>();
        tap_ = tap.get();
        record_ = tap->record();
        manager_ = std::make_unique<HotkeyManager>(std::move(tap), layout_, settings_, scheduler_);
        manager_->onHotkey = logs("hotkey");
        manager_->onShiftHotkey = logs("shiftHotkey");
        manager_->onModifierTap = logs("tap");
        manager_->onCommandChanged = [this](bool down) {
            log_.push_back(down ? "command(true)" : "command(false)");
        };
        manager_->onSettingsHotkey = logs("settings");
        manager_->onFrameRateMenuHotkey = logs("frameRate");
        manager_->onZoomInHotkey = logs("zoomIn");
        manager_->onZoomOutHotkey = logs("zoomOut");
        manager_->hoverProvider = [this] { return hovering_; };
        manager_->start();
    }
    std::function<void()> logs(const char* name) {
        return [this, name] { log_.push_back(name); };
    }
    TapVerdict keyDown(std::uint16_t code, std::uint64_t flags = 0, double time = 0) {
        return *tap_->inject({kEventTypeKeyDown, flags, code, time});
    }
    void flagsChanged(std::uint64_t flags, double time) {
        tap_->inject({kEventTypeFlagsChanged, flags, 0, time});
    }
    /// What ran, after draining the main queue.
    Log drained() {
        scheduler_.drain();
        return std::exchange(log_, {});
    }

    fakes::MemoryDefaultsStore store_;
    AppSettings settings_{store_};
    fakes::ManualScheduler scheduler_;
    fakes::FakeKeyboardLayout layout_;
    fakes::FakeEventTap* tap_ = nullptr;
    std::shared_ptr<fakes::FakeEventTap::Record> record_;
    std::unique_ptr<HotkeyManager> manager_;
    Log log_;
    bool hovering_ = false;
};

TEST_F(HotkeyManagerTest, TriggerWithEachModifierTellsLeftFromRight) {
    struct Row {
        const char* modifier;
        std::uint64_t chosen, otherSide;
    };
    const Row rows[] = {
        {"fn", kFn, kLeftCommand},
        {"leftCommand", kLeftCommand, kRightCommand},
        {"rightCommand", kRightCommand, kLeftCommand},
        {"leftOption", kLeftOption, kRightOption},
        {"rightOption", kRightOption, kLeftOption},
        {"leftControl", kLeftControl, kRightControl},
        {"rightControl", kRightControl, kLeftControl},
        {"hyper", kFn, kLeftCommand},  // an unknown setting acts as fn
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.modifier);
        settings_.setModifierRaw(row.modifier);
        EXPECT_EQ(keyDown(kP, row.chosen), kDrop) << "modifier + P fires";
        EXPECT_EQ(drained(), Log{"hotkey"});
        EXPECT_EQ(keyDown(kP, row.chosen | kShift), kDrop) << "with Shift";
        EXPECT_EQ(drained(), Log{"shiftHotkey"});
        EXPECT_EQ(keyDown(kP, row.otherSide), kKeep) << "other side does not fire";
        EXPECT_EQ(keyDown(kP), kKeep) << "P alone passes";
        EXPECT_EQ(keyDown(kA, row.chosen), kKeep) << "another key passes";
        EXPECT_TRUE(drained().empty());
    }
}

TEST_F(HotkeyManagerTest, AutoRepeatFiresEachTimeInsideTheEvent) {
    for (int i = 0; i < 5; ++i) EXPECT_EQ(keyDown(kP, kFn, 1.0 + i * 0.03), kDrop);
    EXPECT_EQ(log_.size(), 5u) << "onHotkey runs before the verdict is returned";
    EXPECT_EQ(scheduler_.queued(), 0u);
}

TEST_F(HotkeyManagerTest, RecognisedTriggerWithoutCallbackIsStillDropped) {
    manager_->onHotkey = manager_->onShiftHotkey = nullptr;
    EXPECT_EQ(keyDown(kP, kFn), kDrop);
    EXPECT_EQ(keyDown(kP, kFn | kShift), kDrop);
    EXPECT_TRUE(drained().empty());
}

TEST_F(HotkeyManagerTest, TriggerIsCaseInsensitiveAndFollowsTheLayout) {
    settings_.setTriggerKey("p");
    EXPECT_EQ(keyDown(kP, kFn), kDrop);
    settings_.setTriggerKey("7");
    EXPECT_EQ(keyDown(kDigit7, kFn), kDrop) << "a digit matches its unshifted key";
    EXPECT_EQ(keyDown(kP, kFn), kKeep);
    settings_.setTriggerKey("Z");
    EXPECT_EQ(keyDown(kZ, kFn), kDrop);
    layout_.useGerman();
    EXPECT_EQ(keyDown(kZ, kFn), kKeep) << "that key types y now";
    EXPECT_EQ(keyDown(kY, kFn), kDrop);
    settings_.setTriggerKey("€");
    EXPECT_EQ(keyDown(kP, kFn), kKeep) << "no key types it: nothing matches";
    layout_.setAvailable(false);
    settings_.setTriggerKey("P");
    EXPECT_EQ(keyDown(kP, kFn), kKeep) << "no layout data: nothing matches";
    EXPECT_EQ(drained(), (Log{"hotkey", "hotkey", "hotkey", "hotkey"}));
}

TEST_F(HotkeyManagerTest, KeyCodeSearch) {
    using Code = std::optional<std::uint16_t>;
    EXPECT_EQ(HotkeyManager::keyCode("A", layout_), Code(kA));
    EXPECT_EQ(HotkeyManager::keyCode("=", layout_), Code(kEquals));
    EXPECT_EQ(HotkeyManager::keyCode("", layout_), std::nullopt);
    EXPECT_EQ(HotkeyManager::keyCode("ab", layout_), std::nullopt);
    // The lowest key code wins when two keys type the same character.
    layout_.setCharacter(100, u'a');
    layout_.setCharacter(kZ, u'a');
    EXPECT_EQ(HotkeyManager::keyCode("a", layout_), Code(kA));
    layout_.setCharacter(kA, 0);
    EXPECT_EQ(HotkeyManager::keyCode("a", layout_), Code(kZ));
    // Half a surrogate pair is skipped; the zero unit matches nothing, not even "\0".
    layout_.setCharacter(2, 0xD83D);
    EXPECT_EQ(HotkeyManager::keyCode(QString(QChar(0xD83D)), layout_), std::nullopt);
    EXPECT_EQ(HotkeyManager::keyCode(QString(QChar(0)), layout_), std::nullopt);
    // Key codes up to 127 are searched.
    layout_.setCharacter(127, u'\x00e9');
    EXPECT_EQ(HotkeyManager::keyCode(QString::fromUtf8("É"), layout_), Code(127));
}

TEST_F(HotkeyManagerTest, PanelKeysOnlyWhileHoveringAndWithoutControlOptionCommand) {
    for (auto mods : {std::uint64_t{0}, kShift, kFn, kLeftControl, kRightOption, kLeftCommand}) {
        const bool allowed = mods == 0 || mods == kShift || mods == kFn;
        for (bool hover : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "flags " << mods << " hover " << hover);
            hovering_ = hover;
            const TapVerdict expected = hover && allowed ? kDrop : kKeep;
            for (auto key : {kF, kEquals, kMinus}) EXPECT_EQ(keyDown(key, mods), expected) << key;
            EXPECT_EQ(drained(), (expected == kDrop ? Log{"frameRate", "zoomIn", "zoomOut"} : Log{}));
        }
    }
}

TEST_F(HotkeyManagerTest, SettingsKeyNeedsCommandAndHover) {
    hovering_ = true;
    EXPECT_EQ(keyDown(kComma), kKeep);
    EXPECT_EQ(keyDown(kComma, kLeftControl), kKeep);
    EXPECT_EQ(keyDown(kComma, kRightCommand | kShift), kDrop) << "Command-Shift-comma";
    EXPECT_EQ(keyDown(kComma, kLeftCommand | kLeftOption), kDrop);
    hovering_ = false;
    EXPECT_EQ(keyDown(kComma, kLeftCommand), kKeep);
    EXPECT_EQ(drained(), (Log{"settings", "settings"}));
}

TEST_F(HotkeyManagerTest, BackspaceDependsOnItsCallback) {
    int calls = 0;
    bool consumed = true;
    manager_->onBackspace = [&] { return ++calls, consumed; };
    EXPECT_EQ(keyDown(kBackspace), kKeep) << "away from the PiP";
    EXPECT_EQ(calls, 0);
    hovering_ = true;
    EXPECT_EQ(keyDown(kBackspace), kDrop);
    consumed = false;
    EXPECT_EQ(keyDown(kBackspace), kKeep) << "returning false lets it through";
    EXPECT_EQ(calls, 2);
    manager_->onBackspace = nullptr;
    EXPECT_EQ(keyDown(kBackspace), kKeep);
    // Backspace as the trigger key still works when the callback declines.
    layout_.setCharacter(kBackspace, u'\x00a7');
    settings_.setTriggerKey(QString::fromUtf8("§"));
    manager_->onBackspace = [] { return false; };
    EXPECT_EQ(keyDown(kBackspace, kFn), kDrop);
    EXPECT_EQ(drained(), Log{"hotkey"});
}

TEST_F(HotkeyManagerTest, RulesApplyInOrder) {
    hovering_ = true;
    // F as the trigger: the panel rule comes first and takes it.
    settings_.setTriggerKey("F");
    EXPECT_EQ(keyDown(kF, kFn), kDrop);
    EXPECT_EQ(drained(), Log{"frameRate"});
    // With Command chosen the panel rule steps aside and the trigger rule takes it.
    settings_.setModifierRaw("leftCommand");
    EXPECT_EQ(keyDown(kF, kLeftCommand), kDrop);
    EXPECT_EQ(drained(), Log{"hotkey"});
    // Comma with Command over the PiP is the settings key even when comma is the trigger.
    settings_.setTriggerKey(",");
    EXPECT_EQ(keyDown(kComma, kLeftCommand), kDrop);
    EXPECT_EQ(drained(), Log{"settings"});
    // The hover flag is asked afresh for each event, and only for the panel keys.
    int asked = 0;
    manager_->hoverProvider = [&] { return ++asked % 2 == 1; };
    EXPECT_EQ(keyDown(kMinus), kDrop);
    EXPECT_EQ(keyDown(kMinus), kKeep);
    EXPECT_EQ(keyDown(kMinus), kDrop);
    keyDown(kA);
    EXPECT_EQ(asked, 3) << "a key that matches no panel rule does not ask";
    EXPECT_EQ(drained(), (Log{"zoomOut", "zoomOut"}));
}

TEST_F(HotkeyManagerTest, ModifierTapTiming) {
    struct Event {
        std::uint64_t flags;
        double time;
        bool keyDown = false;
    };
    struct Row {
        const char* what;
        std::vector<Event> events;
        std::size_t taps;
    };
    const std::uint64_t lo = kLeftOption;
    const Row rows[] = {
        {"0.29 s fires", {{lo, 10.0}, {0, 10.29}}, 1},
        {"0.3 s is too long", {{lo, 20.0}, {0, 20.3}}, 0},
        {"a key during the hold spoils it, even one that passes",
         {{lo, 30.0}, {lo, 30.1, true}, {0, 30.2}}, 0},
        {"Shift coming and going does not spoil it",
         {{lo, 40.0}, {lo | kShift, 40.1}, {lo, 40.15}, {0, 40.2}}, 1},
        {"Shift does not restart the timing", {{lo, 50.0}, {lo | kShift, 50.2}, {0, 50.35}}, 0},
        {"the other Option key is not the modifier", {{kRightOption, 60.0}, {0, 60.1}}, 0},
        {"a spoiled hold does not leak into the next one",
         {{lo, 70.0}, {lo, 70.05, true}, {0, 70.1}, {lo, 70.2}, {0, 70.3}}, 1},
    };
    settings_.setModifierRaw("leftOption");
    for (const Row& row : rows) {
        for (const Event& e : row.events) {
            if (e.keyDown) keyDown(kA, e.flags, e.time);
            else flagsChanged(e.flags, e.time);
        }
        EXPECT_EQ(drained(), Log(row.taps, "tap")) << row.what;
    }
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

TEST_F(HotkeyManagerTest, OtherEventTypesPass) {
    EXPECT_EQ(*tap_->inject({0xFFFFFFF, kFn, kP, 0}), kKeep);
    EXPECT_EQ(*tap_->inject({11, kFn, kP, 0}), kKeep);
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

TEST(HotkeyManagerLifecycle, StartLogsItsOutcomeAndDestructionStops) {
    fakes::MemoryDefaultsStore store;
    AppSettings settings(store);
    fakes::ManualScheduler scheduler;
    fakes::FakeKeyboardLayout layout;
    for (bool succeeds : {false, true}) {
        SCOPED_TRACE(succeeds ? "tap starts" : "tap fails");
        auto tap = std::make_unique<fakes::FakeEventTap>();
        tap->startSucceeds = succeeds;
        auto record = tap->record();
        {
            HotkeyManager manager(std::move(tap), layout, settings, scheduler);
            ::testing::internal::CaptureStdout();
            manager.start();
            EXPECT_EQ(::testing::internal::GetCapturedStdout(),
                      succeeds ? "HotkeyManager event tap started.\n"
                               : "Failed to create CGEvent tap. Accessibility permission required.\n");
            EXPECT_EQ(manager.isListening(), succeeds);
            settings.setTriggerKey("Q");
            EXPECT_EQ(record->grabs.empty(), !succeeds) << "no grabs without a tap";
        }
        EXPECT_EQ(record->stops, 1) << "the destructor stops the tap";
    }
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
    // The flag is computed once per process, so each case runs in a freshly started child.
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
                      !manager.isListening() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(  // a value other than "1" does not count
        {
            qputenv("XCODE_RUNNING_FOR_PREVIEWS", "true");
            std::exit(HotkeyManager::isRunningForPreviews() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace mirano
