// Gesture recognition of the hotkey manager on a fake tap, layout and scheduler, and how the X11
// tap classifies the keys of a keymap as Mirano's physical modifiers.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <string>
#include <utility>
#include <vector>

#include "hotkeys/HotkeyManager.h"
#include "platform/x11/KeyboardModifiers.h"
#include "tests/fakes/FakeEventTap.h"
#include "tests/fakes/FakeKeyboardLayout.h"
#include "tests/fakes/FakeNotifications.h"
#include "tests/fakes/ManualScheduler.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "tests/hotkeys/GestureLog.h"

namespace mirano {
namespace {

using M = Modifier;
constexpr bool kTaken = true, kNotTaken = false;
using Log = std::vector<std::string>;

struct HotkeyManagerTest : ::testing::Test, fakes::MemorySettings {
    HotkeyManagerTest() {
        make();
        manager_->start();
    }
    /// A manager on a new fake tap, its gestures logged, not started.
    void make(bool startSucceeds = true) {
        auto tap = std::make_unique<fakes::FakeEventTap>();
        tap->startSucceeds = startSucceeds;
        tap_ = tap.get();
        record_ = tap->record();
        manager_ = std::make_unique<HotkeyManager>(std::move(tap), layout_, settings, scheduler_,
                                                   notifications_);
        testing::connectGestures(
            *manager_, [this](const char* name) { log_.push_back(name); },
            [this] { return hovering_; }, [this] { return backspaceCloses_; });
    }
    void press(std::uint16_t key, Modifiers mods = {}, bool taken = true, double time = 0) {
        manager_->handleEvent({KeyEventKind::KeyDown, key, mods, time, taken});
    }
    void modifiers(Modifiers mods, double time) {
        tap_->deliver({KeyEventKind::ModifiersChanged, 0, mods, time, false});
    }
    /// What ran, after draining the main queue.
    Log drained() {
        scheduler_.drain();
        return std::exchange(log_, {});
    }

    fakes::ManualScheduler scheduler_;
    fakes::FakeKeyboardLayout layout_;
    fakes::FakeNotifications notifications_;
    fakes::FakeEventTap* tap_ = nullptr;
    std::shared_ptr<fakes::FakeEventTap::Record> record_;
    std::unique_ptr<HotkeyManager> manager_;
    Log log_;
    bool hovering_ = false, backspaceCloses_ = true;
};

TEST_F(HotkeyManagerTest, Gestures) {
    // What happens; modifier and trigger settings; pointer over the PiP; the key pressed, the
    // modifiers held, whether the tap took it; what runs.
    // (Each modifier choice with its own and the other side's key, and the panel keys with the
    // pointer on or off the PiP, are checked against the real X server in HotkeyX11Test.)
    const bool away = false, over = true;
    using Row = std::tuple<const char*, const char*, const char*, bool, std::uint16_t, Modifiers,
                           bool, const char*>;
    const Row rows[] = {
        {"fn + P fires", "fn", "P", away, KEY_P, M::Menu, kTaken, "hotkey"},
        {"fn + P the tap did not take", "fn", "P", away, KEY_P, M::Menu, kNotTaken, ""},
        {"fn + A passes", "fn", "P", away, KEY_A, M::Menu, kNotTaken, ""},
        {"a trigger no key types", "fn", "€", away, KEY_P, M::Menu, kTaken, ""},
        {"AltGr-= over the PiP passes", "fn", "P", over, KEY_EQUAL, M::RightAlt, kTaken, ""},
        {"Ctrl-comma over the PiP passes", "fn", "P", over, KEY_COMMA, M::LeftCtrl, kTaken, ""},
        {"untaken Backspace", "fn", "P", over, KEY_BACKSPACE, Modifiers(), kNotTaken, ""},
        {"F as fn trigger over the PiP", "fn", "F", over, KEY_F, M::Menu, kTaken, "frameRate"},
        {"F as Super trigger", "leftCommand", "F", over, KEY_F, M::LeftSuper, kTaken, "hotkey"},
        {"comma as Super trigger", "leftCommand", ",", over, KEY_COMMA, M::LeftSuper, kTaken,
         "settings"},
    };
    for (const auto& [sentence, modifier, trigger, hover, key, mods, taken, runs] : rows) {
        settings.setModifierRaw(modifier);
        settings.setTriggerKey(trigger);
        hovering_ = hover;
        press(key, mods, taken);
        EXPECT_EQ(drained(), *runs ? Log{runs} : Log{}) << sentence;
    }
}

TEST_F(HotkeyManagerTest, TriggerRunsInsideTheEventOncePerPressAlsoAfterADeclinedBackspace) {
    for (int i = 0; i < 3; ++i) press(KEY_P, M::Menu, kTaken, 1.0 + i * 0.03);
    EXPECT_EQ(std::pair(log_.size(), scheduler_.drain()), std::pair(3ul, 0))
        << "auto-repeat fires each time, inside the event (nothing is queued)";
    // A Backspace the PiP declines goes on to the trigger rule.
    hovering_ = true;
    backspaceCloses_ = false;
    press(KEY_BACKSPACE);
    layout_.setKey(QStringLiteral("§"), KEY_BACKSPACE);
    settings.setTriggerKey(QStringLiteral("§"));
    press(KEY_BACKSPACE, M::Menu);
    manager_->onHotkey = manager_->onShiftHotkey = nullptr;  // a trigger nobody listens to
    press(KEY_BACKSPACE, M::Menu);
    press(KEY_BACKSPACE, M::Menu | M::Shift);
    EXPECT_EQ(drained(), (Log{"hotkey", "hotkey", "hotkey", "backspace", "backspace", "hotkey",
                              "backspace", "backspace"}));
}

TEST_F(HotkeyManagerTest, KeysGivenToThePanelActOnlyWhereTheTapSeesNoSessionKeys) {
    // What happens; whether the tap sees the session's keys; pointer over the PiP; what the key
    // typed, its code, the modifiers; what runs.
    const bool session = true, own = false, away = false, over = true;
    const std::tuple<const char*, bool, bool, const char*, std::uint16_t, Modifiers, const char*>
        rows[] = {
            {"Backspace closes", own, over, "\b", KEY_BACKSPACE, {}, "backspace"},
            {"F picks a frame rate", own, over, "f", KEY_F, {}, "frameRate"},
            {"= zooms in", own, over, "=", KEY_EQUAL, {}, "zoomIn"},
            {"Shift-= types + and still zooms in", own, over, "+", KEY_EQUAL, M::Shift, "zoomIn"},
            {"- zooms out", own, over, "-", KEY_MINUS, {}, "zoomOut"},
            {"Super-comma opens the settings", own, over, ",", KEY_COMMA, M::LeftSuper, "settings"},
            {"virtual keyboard: the character decides", own, over, "\b", KEY_1, {}, "backspace"},
            {"Ctrl-F passes", own, over, "\x06", KEY_F, M::LeftCtrl, ""},
            {"the trigger is the desktop's to bind", own, over, "p", KEY_P, M::Menu, ""},
            {"pointer away", own, away, "\b", KEY_BACKSPACE, {}, ""},
            {"the tap has Backspace already", session, over, "\b", KEY_BACKSPACE, {}, ""},
            {"the tap has F already", session, over, "f", KEY_F, {}, ""},
        };
    for (const auto& [sentence, sessionKeys, hover, text, key, mods, runs] : rows) {
        tap_->sessionKeys = sessionKeys;
        hovering_ = hover;
        manager_->handlePanelKey({KeyEventKind::KeyDown, key, mods, 0, false},
                                 QString::fromLatin1(text));
        EXPECT_EQ(drained(), *runs ? Log{runs} : Log{}) << sentence;
    }
}

TEST_F(HotkeyManagerTest, ModifierTapTiming) {
    struct Event {
        Modifiers mods;
        double time;
        bool keyDown = false;
    };
    const Modifiers lo = M::LeftAlt;
    // What happens, the events, and how many taps that makes.
    const std::tuple<const char*, std::vector<Event>, std::size_t> rows[] = {
        {"0.29 s fires", {{lo, 10.0}, {{}, 10.29}}, 1},
        {"0.3 s is too long", {{lo, 20.0}, {{}, 20.3}}, 0},
        {"a key spoils the hold", {{lo, 30.0}, {lo, 30.1, true}, {{}, 30.2}}, 0},
        {"Shift coming and going", {{lo, 40.0}, {lo | M::Shift, 40.1}, {lo, 40.15}, {{}, 40.2}}, 1},
        {"Shift does not restart the timing", {{lo, 50.0}, {lo | M::Shift, 50.2}, {{}, 50.35}}, 0},
        {"AltGr is not the left Alt key", {{M::RightAlt, 60.0}, {{}, 60.1}}, 0},
        {"a spoiled hold does not leak into the next one",
         {{lo, 70.0}, {lo, 70.05, true}, {{}, 70.1}, {lo, 70.2}, {{}, 70.3}},
         1},
    };
    settings.setModifierRaw("leftOption");
    for (const auto& [what, events, taps] : rows) {
        for (const Event& e : events)
            e.keyDown ? void(press(KEY_A, e.mods, kNotTaken, e.time)) : modifiers(e.mods, e.time);
        EXPECT_EQ(drained(), Log(taps, "tap")) << what;
    }
}

TEST_F(HotkeyManagerTest, CallbacksAreQueuedInOrderAndReadTheFieldWhenTheyRun) {
    settings.setModifierRaw("leftCommand");
    modifiers(M::LeftSuper, 1.0);
    modifiers({}, 1.1);
    EXPECT_TRUE(log_.empty()) << "all three are queued, none runs inside the event";
    EXPECT_EQ(drained(), (Log{"command(true)", "command(false)", "tap"}));
    // Command changes are reported once per change.
    modifiers(M::RightSuper, 2.0);
    modifiers(M::RightSuper | M::Shift, 2.1);
    modifiers(M::RightSuper | M::LeftSuper, 2.2);
    EXPECT_EQ(drained(), Log{"command(true)"});

    // Queued callbacks read the field when they run, and need the manager.
    hovering_ = true;
    press(KEY_F);
    manager_->onFrameRateMenuHotkey = [this] { log_.push_back("replaced"); };
    EXPECT_EQ(drained(), Log{"replaced"});

    press(KEY_MINUS);
    manager_.reset();
    EXPECT_EQ(std::pair(scheduler_.drain(), log_.size()), std::pair(1, 0ul))
        << "a task queued by a destroyed manager does nothing";
}

TEST_F(HotkeyManagerTest, GrabsFollowTheSettingsAndTheHoverAndAreSentOnlyOnChange) {
    // Nothing changed: no grabs sent.
    manager_->refreshGrabs();
    settings.setPipWidth(400);
    settings.setTriggerKey("P");
    settings.setModifierRaw("rightControl");
    // Following a layout switch is checked against the real keyboard layout.
    settings.setTriggerKey("z");
    hovering_ = true;
    EXPECT_EQ(record_->grabs.size(), 3u) << "hover is sent only on refreshGrabs()";
    manager_->refreshGrabs();
    manager_->refreshGrabs();
    manager_->stop();
    settings.setTriggerKey("P");  // nothing is sent after stop()
    EXPECT_EQ(record_->grabs, (std::vector<TapGrabs>{{M::Menu, KEY_P, false},
                                                     {M::RightCtrl, KEY_P, false},
                                                     {M::RightCtrl, KEY_Z, false},
                                                     {M::RightCtrl, KEY_Z, true}}));
}

TEST_F(HotkeyManagerTest, AHotkeyThatCannotWorkIsSaidOnceUntilItChanges) {
    ::testing::internal::CaptureStdout();
    settings.setTriggerKey(QString::fromUtf8("€"));
    layout_.useGerman();  // still no key types it: nothing new to say
    settings.setTriggerKey("P");
    settings.setModifierRaw("leftControl");
    tap_->reportTriggerTaken();
    tap_->reportTriggerTaken();
    settings.setModifierRaw("fn");
    settings.setModifierRaw("leftControl");
    tap_->reportTriggerTaken();  // the combination changed and came back: said again
    const QString noKey =
        QString::fromUtf8("fn + € cannot work: no key types \"€\" on the current keyboard layout.");
    const QString taken = "⌃ Left Control + P cannot work: another program holds it.";
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              QString("Hotkey " + noKey + "\nHotkey " + taken + "\nHotkey " + taken + "\n")
                  .toStdString());
    const QString title = "Hotkey Unavailable";
    EXPECT_EQ(notifications_.posted,
              (QList<QPair<QString, QString>>{{title, noKey}, {title, taken}, {title, taken}}));
}

TEST_F(HotkeyManagerTest, StartLogsItsOutcomeAndStopEndsTheTapOnce) {
    for (bool succeeds : {false, true}) {
        SCOPED_TRACE(succeeds ? "tap starts" : "tap fails");
        make(succeeds);
        ::testing::internal::CaptureStdout();
        manager_->start();
        manager_->start();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(),
                  succeeds ? "HotkeyManager event tap started.\n"
                           : "Failed to create CGEvent tap. Accessibility permission required.\n");
        // Started once, listening when it started.
        EXPECT_EQ(std::pair(record_->starts, manager_->isListening()), std::pair(1, succeeds));
        settings.setTriggerKey(succeeds ? "P" : "Q");  // a change either time
        EXPECT_EQ(record_->grabs.empty(), !succeeds) << "no grabs without a tap";
        if (succeeds) manager_->stop();
        EXPECT_FALSE(manager_->isListening());
        manager_.reset();
        EXPECT_EQ(record_->stops, 1) << "stop() or else the destructor stops the tap, once";
    }
}

// (The US keymap's Control, Super, Alt and Menu keys, with Num Lock on or off, are classified on
// the real server in HotkeyX11Test.)
TEST(KeyboardModifiers, ClassifiesByKeysymAndModifierMap) {
    // Shift_L, Control_L and _R, Alt_L, ISO_Level3_Shift (German right Alt), Super_L and _R,
    // Menu, Num_Lock, Scroll_Lock, Caps_Lock, p.
    const std::pair<int, xcb_keysym_t> keysyms[] = {
        {50, 0xffe1},  {37, 0xffe3},  {105, 0xffe4}, {64, 0xffe9}, {108, 0xfe03}, {133, 0xffeb},
        {134, 0xffec}, {135, 0xff67}, {77, 0xff7f},  {78, 0xff14}, {66, 0xffe5},  {33, 'p'}};
    std::array<xcb_keysym_t, 256> syms{};
    for (auto [keycode, sym] : keysyms) syms[keycode] = sym;
    const std::array<std::vector<std::uint8_t>, 8> mods{
        {{50}, {66}, {37, 105}, {64}, {77}, {78}, {133, 134}, {108}}};
    x11::KeyboardModifiers m;
    m.set(syms, mods);

    EXPECT_EQ(m.modifierOf(108), Modifiers(Modifier::RightAlt)) << "AltGr counts as right Alt";
    EXPECT_TRUE(m.isModifierKey(66) && !m.modifierOf(66)) << "Caps Lock changes no modifier";
    EXPECT_EQ(m.modMasksOf(Modifier::RightAlt), std::vector<std::uint16_t>{XCB_MOD_MASK_5});
    EXPECT_TRUE(m.modMasksOf(Modifier::Menu).empty()) << "Menu sets no X modifier";
    EXPECT_EQ(m.lockMods(), XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2 | XCB_MOD_MASK_3)
        << "Caps, Num and Scroll Lock wherever they are mapped";
}

}  // namespace
}  // namespace mirano
