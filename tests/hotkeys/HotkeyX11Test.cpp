// The hotkey manager with the real X11 tap and layout on a private display, driven by XTEST,
// checked against what our own client window receives.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <QStringList>
#include <algorithm>
#include <csignal>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hotkeys/HotkeyManager.h"
#include "platform/qt/QtScheduler.h"
#include "platform/x11/X11EventTap.h"
#include "platform/x11/XkbKeyboardLayout.h"
#include "tests/fakes/FakeNotifications.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "tests/hotkeys/GestureLog.h"
#include "tests/support/TestClientWindow.h"
#include "tests/support/XTestInput.h"

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace mirano {
namespace {

using namespace testing;

constexpr const char* kP = "0x70";
constexpr const char* kA = "0x61";

using Log = std::vector<std::string>;

struct HotkeyX11Test : ::testing::Test, fakes::MemorySettings {
    static void SetUpTestSuite() { session_ = new X11Session(); }
    static void TearDownTestSuite() { delete std::exchange(session_, nullptr); }

    void SetUp() override {
        ASSERT_TRUE(session_->error().isEmpty()) << session_->error().toStdString();
        const std::string display = session_->display().toStdString();
        layout_ = std::make_unique<x11::XkbKeyboardLayout>(display.c_str());
        ASSERT_TRUE(layout_->isAvailable());
        auto tap = std::make_unique<x11::X11EventTap>(display);
        tap_ = tap.get();
        manager_ = std::make_unique<HotkeyManager>(std::move(tap), *layout_, settings, scheduler_,
                                                   notifications_);
        // Command changes are not checked here: the panel keys with Command are.
        testing::connectGestures(
            *manager_,
            [this](const char* name) {
                if (!std::string_view(name).starts_with("command")) said_.push_back(name);
            },
            [this] { return hovering_; });
        manager_->start();
        ASSERT_TRUE(manager_->isListening() && settled());
        client_ = std::make_unique<testing::TestClientWindow>(*session_, QStringList{"--keys"});
        ASSERT_TRUE(client_->focus() && keyboard_.isValid());
    }

    bool settled() {
        return waitUntil([&] { return tap_->grabsSettled(); });
    }
    bool hover(bool on) {
        hovering_ = on;
        manager_->refreshGrabs();
        return settled();
    }
    bool useModifier(const char* modifier) {
        settings.setModifierRaw(modifier);
        said_.clear();
        return settled();
    }
    /// How often the gesture ran so far.
    int said(const char* name) const { return int(std::count(said_.begin(), said_.end(), name)); }
    /// Holds `modifier` down and, once the tap has the trigger grabbed (as it has long before a
    /// person's next keystroke), taps `key`.
    void hotkey(std::uint8_t modifier, std::uint8_t key = keys::P) {
        keyboard_.press(modifier);
        EXPECT_TRUE(waitUntil([&] { return tap_->isArmed(); })) << "the trigger was never grabbed";
        keyboard_.tap(key);
        keyboard_.release(modifier);
    }
    /// Taps the keys one after the other, then the sentinel key, and waits for the client to get
    /// that, so that every key sent before it has been delivered (or not) by then. Returns what
    /// the client got.
    QStringList typed(std::initializer_list<std::uint8_t> keycodes = {}) {
        for (std::uint8_t k : keycodes) keyboard_.tap(k);
        keyboard_.tap(keys::A);
        EXPECT_TRUE(waitUntil([&] { return client_->keysSinceMark().contains(kA); }))
            << "the sentinel key never reached the client";
        QStringList got = client_->keysSinceMark();
        got.removeAll(kA);
        client_->mark();
        return got;
    }

    // Members go in reverse order: client, manager, layout.
    static inline X11Session* session_ = nullptr;
    QtScheduler scheduler_;
    fakes::FakeNotifications notifications_;
    std::unique_ptr<x11::XkbKeyboardLayout> layout_;
    x11::X11EventTap* tap_ = nullptr;
    std::unique_ptr<HotkeyManager> manager_;
    std::unique_ptr<testing::TestClientWindow> client_;
    testing::XTestInput keyboard_;
    Log said_;
    bool hovering_ = false;
};

TEST_F(HotkeyX11Test, EachModifierChoiceAndThePanelKeysActOnlyOnTheirOwnKeysWithNumLockOffOrOn) {
    // The modifier chosen, its key, another modifier that must not fire it. The last one, fn,
    // stays chosen for the panel keys.
    const std::tuple<const char*, std::uint8_t, std::uint8_t> rows[] = {
        {"leftCommand", keys::SuperL, keys::SuperR},
        {"rightCommand", keys::SuperR, keys::SuperL},
        {"leftOption", keys::AltL, keys::AltR},
        {"rightOption", keys::AltR, keys::AltL},
        {"leftControl", keys::ControlL, keys::ControlR},
        {"rightControl", keys::ControlR, keys::ControlL},
        {"fn", keys::Menu, keys::SuperL}};
    for (bool numLock : {false, true}) {
        SCOPED_TRACE(numLock ? "Num Lock on" : "Num Lock off");
        if (numLock) {
            keyboard_.tap(keys::NumLock);
            keyboard_.tap(keys::P);
            ASSERT_TRUE(waitUntil([&] { return client_->keysSinceMark().contains(kP); }));
            const QString state = client_->keysSinceMark(true).last().section(' ', 1, 1);
            EXPECT_TRUE(state.toUInt() & XCB_MOD_MASK_2) << "Num Lock is not on";
            typed();
        }
        for (const auto& [modifier, key, other] : rows) {
            SCOPED_TRACE(modifier);
            ASSERT_TRUE(useModifier(modifier));
            client_->mark();

            hotkey(key);
            EXPECT_TRUE(waitUntil([&] { return said("hotkey") == 1; }));
            EXPECT_EQ(typed(), QStringList{}) << "the client must not see that P";

            keyboard_.press(keys::ShiftL);
            hotkey(key);
            keyboard_.release(keys::ShiftL);
            EXPECT_TRUE(waitUntil([&] { return said("shiftHotkey") == 1; }));

            EXPECT_EQ(typed({keys::P}), QStringList{kP}) << "P alone passes";
            keyboard_.chord({other, keys::P});
            EXPECT_EQ(typed(), QStringList{kP}) << "the other modifier + P passes";

            keyboard_.tap(key);
            EXPECT_TRUE(waitUntil([&] { return said("tap") == 1; })) << "a quick tap of it";
            typed();
            EXPECT_EQ(said_, (Log{"hotkey", "shiftHotkey", "tap"})) << "each exactly once";
        }
        // The panel keys follow the hover flag. (Away from the PiP they are not even grabbed:
        // checked after the hover below.) The pointer has just reached the PiP, its grabs are not
        // in place: the keys pass and run nothing (no closed PiP and deleted character from one
        // Backspace).
        said_.clear();
        hovering_ = true;
        EXPECT_EQ(typed({keys::BackSpace, keys::F}), (QStringList{"0xff08", "0x66"}));
        EXPECT_EQ(said_, Log{});

        ASSERT_TRUE(hover(true));
        keyboard_.chord({keys::ShiftL, keys::F});
        EXPECT_EQ(typed({keys::F, keys::Equal, keys::Minus}), QStringList{})
            << "F, =, - and Shift-F are dropped";
        EXPECT_TRUE(waitUntil(
            [&] { return said("frameRate") == 2 && said("zoomIn") == 1 && said("zoomOut") == 1; }));
        keyboard_.chord({keys::ControlL, keys::F});
        keyboard_.chord({keys::SuperL, keys::Equal});
        EXPECT_EQ(typed(), (QStringList{"0x66", "0x3d"})) << "with Control or Command";

        keyboard_.chord({keys::SuperR, keys::ShiftL, keys::Comma});
        EXPECT_TRUE(waitUntil([&] { return said("settings") == 1; }));
        EXPECT_EQ(typed({keys::Comma}), QStringList{"0x2c"}) << "comma alone passes";
        EXPECT_EQ(typed({keys::BackSpace}), QStringList{});
        EXPECT_TRUE(waitUntil([&] { return said("backspace") == 1; }));

        ASSERT_TRUE(hover(false));
        EXPECT_EQ(typed({keys::BackSpace, keys::F}), (QStringList{"0xff08", "0x66"}));
        EXPECT_EQ(said_,
                  (Log{"frameRate", "frameRate", "zoomIn", "zoomOut", "settings", "backspace"}));
        if (numLock) keyboard_.tap(keys::NumLock);
    }

    // A combination another program holds is said.
    x11::XConnection other(qPrintable(session_->display()));
    ASSERT_FALSE(x11::reply(xcb_request_check(
        other.get(), xcb_grab_key_checked(other.get(), 1, other.root(), XCB_MOD_MASK_4, keys::P,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC))));
    ASSERT_TRUE(useModifier("leftCommand"));
    const QString text = "⌘ Left Command + P cannot work: another program holds it.";
    EXPECT_TRUE(waitUntil([&] { return !notifications_.posted.isEmpty(); }));
    EXPECT_EQ(notifications_.posted,
              (QList<QPair<QString, QString>>{{"Hotkey Unavailable", text}}));
}

TEST_F(HotkeyX11Test, TriggerFollowsALayoutSwitch) {
    EXPECT_EQ(layout_->keyFor("P"), KEY_P) << "upper case finds the key that types p";
    EXPECT_EQ(layout_->keyFor("-"), KEY_MINUS) << "the lowest key wins over the keypad's";
    EXPECT_EQ(layout_->keyFor(QString::fromUtf8("€")), std::nullopt);
    // (A trigger key changed in the settings is grabbed: MiranoEndToEndTest, with K.)
    settings.setTriggerKey("Z");
    ASSERT_TRUE(settled());
    // German: the key that types z sits where y is on a US keyboard.
    ASSERT_TRUE(testing::ChildProcess::run("setxkbmap", {"-display", session_->display(), "de"}));
    ASSERT_TRUE(waitUntil([&] { return layout_->keyFor("z") == KEY_Y; })) << "not followed";
    ASSERT_TRUE(settled());
    // The client's own keysym table is from before the switch, so count presses, not names.
    keyboard_.chord({keys::Menu, keys::Y});
    EXPECT_TRUE(waitUntil([&] { return said("hotkey") == 1; }));
    EXPECT_EQ(typed().size(), 0) << "the key that types z now is dropped";
    hotkey(keys::Menu, keys::Z);
    EXPECT_EQ(typed().size(), 1) << "the old position passes";
    EXPECT_EQ(said("hotkey"), 1);

    testing::ChildProcess::run("setxkbmap", {"-display", session_->display(), "us"});
    EXPECT_TRUE(waitUntil([&] { return layout_->keyFor("z") == KEY_Z; }));
}

TEST_F(HotkeyX11Test, AStoppedTapOwnerNeverHoldsTheKeyboard) {
    // Stopping releases every grab, the hover ones too: even Menu passes, and nothing runs.
    ASSERT_TRUE(hover(true));
    manager_->stop();  // the stopped process below is the one with the grabs
    keyboard_.chord({keys::Menu, keys::P});
    EXPECT_EQ(typed({keys::F}), (QStringList{"0xff67", kP, "0x66"}));
    EXPECT_EQ(said_, Log{});
    // It acts as if the pointer rested on the PiP: the trigger and the panel keys are grabbed.
    testing::ChildProcess* owner =
        session_->spawn(X11Session::builtProgram("tests/hotkeys/mirano_hotkey_tap_process"), {});
    QString said;
    auto hasSaid = [&](const QString& line) {
        said += QString::fromLocal8Bit(owner->readAllStandardOutput());
        return said.split('\n').contains(line);
    };
    ASSERT_TRUE(waitUntil([&] { return hasSaid("ready"); }, 10000));
    ::kill(static_cast<pid_t>(owner->processId()), SIGSTOP);

    keyboard_.tap(keys::Menu);
    keyboard_.chord({keys::Menu, keys::P});
    for (std::uint8_t k : {keys::F, keys::BackSpace, keys::A}) keyboard_.tap(k);
    EXPECT_TRUE(waitUntil([&] { return client_->keysSinceMark().contains(kA); }, 3000))
        << "a key typed while the tap's owner is stopped did not arrive";
    EXPECT_EQ(client_->keysSinceMark(), QStringList{kA}) << "the taken keys stay taken";

    ::kill(static_cast<pid_t>(owner->processId()), SIGCONT);
    EXPECT_TRUE(waitUntil([&] { return hasSaid("hotkey"); })) << "honoured once it runs";
    EXPECT_TRUE(waitUntil([&] { return hasSaid("frameRate") && hasSaid("backspace"); }));
    owner->stop();
}

}  // namespace
}  // namespace mirano
