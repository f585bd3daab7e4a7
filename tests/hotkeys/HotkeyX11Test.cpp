// The hotkey manager with the real X11 tap and layout on a private display, driven by XTEST,
// checked against what our own client window receives.
#include "hotkeys/HotkeyManager.h"
#include "platform/qt/QtScheduler.h"
#include "platform/x11/X11EventTap.h"
#include "platform/x11/XkbKeyboardLayout.h"
#include "settings/AppSettings.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "tests/hotkeys/XTestKeyboard.h"
#include "tests/support/X11Session.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <thread>

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace mirano {
namespace {

using testing::X11Session;
using testing::waitUntil;
namespace keys = testing::keys;

constexpr const char* kP = "0x70";
constexpr const char* kA = "0x61";

/// Our test client window with the keys it received.
class KeyClient {
public:
    KeyClient(X11Session& session, const QStringList& args = {}) : session_(session) {
        process_ = session.spawn(X11Session::builtProgram("tests/mirano_test_client"),
                                 QStringList{"--keys"} + args);
    }
    ~KeyClient() {
        if (process_->state() != QProcess::NotRunning) {
            process_->write("quit\n");
            process_->waitForFinished(2000);
        }
    }
    /// Waits for the window and gives it the input focus.
    bool focus() {
        // A map request that reaches Openbox while it is still starting up can go unanswered;
        // asking again is harmless once the window is mapped.
        bool mapped = false;
        for (int attempt = 0; attempt < 5 && !mapped; ++attempt) {
            if (attempt > 0) process_->write("map\n");
            mapped = waitUntil([&] { return !window().isEmpty(); }, 2000);
        }
        if (!mapped) return false;
        session_.run("xdotool", {"windowactivate", "--sync", window()}, 5000);
        session_.run("xdotool", {"windowfocus", "--sync", window()}, 5000);
        return waitUntil([&] { return lines().contains("focus in"); }, 5000);
    }
    QString window() {
        for (const QString& l : lines())
            if (l.startsWith("ready ")) return l.mid(6);
        return {};
    }
    const QStringList& lines() {
        buffer_ += QString::fromLocal8Bit(process_->readAllStandardOutput());
        while (true) {
            const int nl = buffer_.indexOf('\n');
            if (nl < 0) break;
            lines_.append(buffer_.left(nl));
            buffer_.remove(0, nl + 1);
        }
        return lines_;
    }
    /// Keysyms ("0x70") of the key presses received since the last mark, modifier keys aside.
    QStringList keysSinceMark() {
        QStringList out;
        const QStringList& all = lines();
        for (int i = mark_; i < all.size(); ++i) {
            if (!all[i].startsWith("key ")) continue;
            const QString sym = all[i].section(' ', 1, 1);
            const uint value = sym.toUInt(nullptr, 16);
            const bool modifier = (value >= 0xffe1 && value <= 0xffee) || value == 0xfe03 ||
                                  value == 0xff7f;
            if (!modifier) out.append(sym);
        }
        return out;
    }
    /// Full "key <sym> <state>" lines since the last mark.
    QStringList keyLinesSinceMark() {
        QStringList out;
        const QStringList& all = lines();
        for (int i = mark_; i < all.size(); ++i)
            if (all[i].startsWith("key ")) out.append(all[i]);
        return out;
    }
    void mark() { mark_ = static_cast<int>(lines().size()); }

private:
    X11Session& session_;
    QProcess* process_ = nullptr;
    QString buffer_;
    QStringList lines_;
    int mark_ = 0;
};

class HotkeyX11Test : public ::testing::Test {
protected:
    static void SetUpTestSuite() { session_ = new X11Session(); }
    static void TearDownTestSuite() {
        delete session_;
        session_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(session_->error().isEmpty()) << session_->error().toStdString();
        display_ = session_->display().toStdString();
        layout_ = std::make_unique<x11::XkbKeyboardLayout>(display_.c_str());
        ASSERT_TRUE(layout_->isAvailable());
        auto tap = std::make_unique<x11::X11EventTap>(display_);
        tap_ = tap.get();
        manager_ = std::make_unique<HotkeyManager>(std::move(tap), *layout_, settings_, scheduler_);
        manager_->onHotkey = [this] { ++hotkeys_; };
        manager_->onShiftHotkey = [this] { ++shiftHotkeys_; };
        manager_->onModifierTap = [this] { ++taps_; };
        manager_->onFrameRateMenuHotkey = [this] { ++frameRateKeys_; };
        manager_->onZoomInHotkey = [this] { ++zoomIns_; };
        manager_->onZoomOutHotkey = [this] { ++zoomOuts_; };
        manager_->onSettingsHotkey = [this] { ++settingsKeys_; };
        manager_->onBackspace = [this] {
            ++backspaces_;
            return backspaceConsumed_;
        };
        manager_->hoverProvider = [this] { return hovering_; };
        manager_->start();
        ASSERT_TRUE(manager_->isListening());
        ASSERT_TRUE(settled());
        client_ = std::make_unique<KeyClient>(*session_);
        ASSERT_TRUE(client_->focus());
        ASSERT_TRUE(keyboard_.isValid());
    }

    void TearDown() override {
        client_.reset();
        manager_.reset();
        layout_.reset();
    }

    bool settled() {
        return waitUntil([&] { return tap_->grabsSettled(); }, 5000);
    }
    /// Types the sentinel key and waits for the client to get it, so that every key sent
    /// before it has been delivered (or not) by then. Returns what the client got.
    QStringList keysUpToSentinel() {
        keyboard_.tap(keys::A);
        const bool seen = waitUntil([&] { return client_->keysSinceMark().contains(kA); }, 5000);
        EXPECT_TRUE(seen) << "the sentinel key never reached the client";
        QStringList got = client_->keysSinceMark();
        got.removeAll(kA);
        client_->mark();
        return got;
    }
    void resetCounts() {
        hotkeys_ = shiftHotkeys_ = taps_ = frameRateKeys_ = zoomIns_ = zoomOuts_ = settingsKeys_ =
            backspaces_ = 0;
    }

    static X11Session* session_;
    std::string display_;
    fakes::MemoryDefaultsStore store_;
    AppSettings settings_{store_};
    QtScheduler scheduler_;
    std::unique_ptr<x11::XkbKeyboardLayout> layout_;
    x11::X11EventTap* tap_ = nullptr;
    std::unique_ptr<HotkeyManager> manager_;
    std::unique_ptr<KeyClient> client_;
    testing::XTestKeyboard keyboard_{nullptr};
    int hotkeys_ = 0, shiftHotkeys_ = 0, taps_ = 0, frameRateKeys_ = 0, zoomIns_ = 0,
        zoomOuts_ = 0, settingsKeys_ = 0, backspaces_ = 0;
    bool hovering_ = false;
    bool backspaceConsumed_ = true;
};

X11Session* HotkeyX11Test::session_ = nullptr;

TEST_F(HotkeyX11Test, EachModifierChoiceFiresOnlyWithItsOwnKey) {
    struct Row {
        const char* modifier;
        std::uint8_t key;
        std::uint8_t other;  // a modifier that must not fire it
    };
    const Row rows[] = {
        {"fn", keys::Menu, keys::SuperL},
        {"leftCommand", keys::SuperL, keys::SuperR},
        {"rightCommand", keys::SuperR, keys::SuperL},
        {"leftOption", keys::AltL, keys::AltR},
        {"rightOption", keys::AltR, keys::AltL},
        {"leftControl", keys::ControlL, keys::ControlR},
        {"rightControl", keys::ControlR, keys::ControlL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.modifier);
        settings_.setModifierRaw(row.modifier);
        ASSERT_TRUE(settled());
        resetCounts();
        client_->mark();

        keyboard_.chord({row.key, keys::P});
        EXPECT_TRUE(waitUntil([&] { return hotkeys_ == 1; }));
        EXPECT_EQ(keysUpToSentinel(), QStringList{}) << "the client must not see that P";

        keyboard_.chord({keys::ShiftL, row.key, keys::P});
        EXPECT_TRUE(waitUntil([&] { return shiftHotkeys_ == 1; }));
        EXPECT_EQ(keysUpToSentinel(), QStringList{});

        keyboard_.tap(keys::P);
        EXPECT_EQ(keysUpToSentinel(), QStringList{kP}) << "P alone passes";

        keyboard_.chord({row.other, keys::P});
        EXPECT_EQ(keysUpToSentinel(), QStringList{kP}) << "the other modifier + P passes";

        keyboard_.tap(row.key);
        EXPECT_TRUE(waitUntil([&] { return taps_ == 1; })) << "a quick tap of the modifier";
        keysUpToSentinel();
        EXPECT_EQ(hotkeys_, 1);
        EXPECT_EQ(shiftHotkeys_, 1);
        EXPECT_EQ(taps_, 1) << "exactly one tap";
    }
}

TEST_F(HotkeyX11Test, PanelKeysFollowTheHoverFlag) {
    // Away from the PiP the panel keys are not even grabbed.
    keyboard_.tap(keys::F);
    keyboard_.tap(keys::BackSpace);
    EXPECT_EQ(keysUpToSentinel(), (QStringList{"0x66", "0xff08"}));
    EXPECT_EQ(frameRateKeys_ + backspaces_, 0);

    hovering_ = true;
    manager_->refreshGrabs();
    ASSERT_TRUE(settled());
    keyboard_.tap(keys::F);
    keyboard_.tap(keys::Equal);
    keyboard_.tap(keys::Minus);
    keyboard_.chord({keys::ShiftL, keys::F});
    EXPECT_TRUE(waitUntil([&] { return frameRateKeys_ == 2 && zoomIns_ == 1 && zoomOuts_ == 1; }));
    EXPECT_EQ(keysUpToSentinel(), QStringList{}) << "F, =, - and Shift-F are dropped";

    keyboard_.chord({keys::ControlL, keys::F});
    keyboard_.chord({keys::SuperL, keys::Equal});
    EXPECT_EQ(keysUpToSentinel(), (QStringList{"0x66", "0x3d"})) << "with Control or Command";
    EXPECT_EQ(frameRateKeys_, 2);
    EXPECT_EQ(zoomIns_, 1);

    keyboard_.chord({keys::SuperR, keys::ShiftL, keys::Comma});
    EXPECT_TRUE(waitUntil([&] { return settingsKeys_ == 1; }));
    keyboard_.tap(keys::Comma);
    EXPECT_EQ(keysUpToSentinel(), QStringList{"0x2c"}) << "comma alone passes";

    backspaceConsumed_ = true;
    keyboard_.tap(keys::BackSpace);
    EXPECT_TRUE(waitUntil([&] { return backspaces_ == 1; }));
    EXPECT_EQ(keysUpToSentinel(), QStringList{});
    backspaceConsumed_ = false;
    keyboard_.tap(keys::BackSpace);
    EXPECT_EQ(keysUpToSentinel(), QStringList{"0xff08"}) << "declined Backspace passes";
    EXPECT_EQ(backspaces_, 2);

    hovering_ = false;
    manager_->refreshGrabs();
    ASSERT_TRUE(settled());
    keyboard_.tap(keys::BackSpace);
    keyboard_.tap(keys::F);
    EXPECT_EQ(keysUpToSentinel(), (QStringList{"0xff08", "0x66"}));
    EXPECT_EQ(backspaces_, 2);
    EXPECT_EQ(frameRateKeys_, 2);
}

TEST_F(HotkeyX11Test, NumLockOnChangesNothing) {
    keyboard_.tap(keys::NumLock);
    keyboard_.tap(keys::P);
    ASSERT_TRUE(waitUntil([&] { return client_->keysSinceMark().contains(kP); }));
    const QStringList pressed = client_->keyLinesSinceMark();
    ASSERT_FALSE(pressed.isEmpty());
    EXPECT_TRUE(pressed.last().section(' ', 2, 2).toUInt() & XCB_MOD_MASK_2) << "Num Lock is on";
    keysUpToSentinel();

    for (const char* modifier : {"fn", "leftCommand"}) {
        SCOPED_TRACE(modifier);
        settings_.setModifierRaw(modifier);
        ASSERT_TRUE(settled());
        resetCounts();
        const std::uint8_t key = QString(modifier) == "fn" ? keys::Menu : keys::SuperL;
        keyboard_.chord({key, keys::P});
        EXPECT_TRUE(waitUntil([&] { return hotkeys_ == 1; }));
        keyboard_.tap(key);
        EXPECT_TRUE(waitUntil([&] { return taps_ == 1; }));
        keyboard_.tap(keys::P);
        EXPECT_EQ(keysUpToSentinel(), QStringList{kP});
    }
    hovering_ = true;
    manager_->refreshGrabs();
    ASSERT_TRUE(settled());
    keyboard_.tap(keys::F);
    EXPECT_TRUE(waitUntil([&] { return frameRateKeys_ == 1; }));
    EXPECT_EQ(keysUpToSentinel(), QStringList{});
    keyboard_.tap(keys::NumLock);
}

TEST_F(HotkeyX11Test, TriggerFollowsALayoutSwitch) {
    settings_.setTriggerKey("Z");
    ASSERT_TRUE(settled());
    keyboard_.chord({keys::Menu, keys::Z});
    EXPECT_TRUE(waitUntil([&] { return hotkeys_ == 1; }));
    EXPECT_EQ(keysUpToSentinel(), QStringList{});

    // German: the key that types z sits where y is on a US keyboard.
    int code = -1;
    session_->run("setxkbmap", {"-display", session_->display(), "de"}, 10000, &code);
    ASSERT_EQ(code, 0);
    const bool switched = waitUntil([&] { return layout_->character(16) == u'z'; }, 5000);
    ASSERT_TRUE(switched) << "the layout did not follow";
    ASSERT_TRUE(settled());
    // The client's own keysym table is from before the switch, so count presses, not names.
    keyboard_.chord({keys::Menu, keys::Y});
    EXPECT_TRUE(waitUntil([&] { return hotkeys_ == 2; }));
    EXPECT_EQ(keysUpToSentinel().size(), 0) << "the key that types z now is dropped";
    keyboard_.chord({keys::Menu, keys::Z});
    EXPECT_EQ(keysUpToSentinel().size(), 1) << "the old position passes";
    EXPECT_EQ(hotkeys_, 2);

    session_->run("setxkbmap", {"-display", session_->display(), "us"}, 10000, &code);
    EXPECT_TRUE(waitUntil([&] { return layout_->character(6) == u'z'; }, 5000));
}

TEST_F(HotkeyX11Test, BusyMainThreadNeverFreezesTheKeyboard) {
    std::atomic<bool> blocked{false};
    std::thread typist([&] {
        testing::XTestKeyboard keyboard(display_.c_str());
        while (!blocked) std::this_thread::yield();
        keyboard.chord({keys::Menu, keys::P});
        keyboard.sync();
    });
    blocked = true;
    // The scenario itself: the main thread is stuck for two seconds, twice the tap's patience.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    typist.join();
    EXPECT_TRUE(waitUntil([&] { return client_->keysSinceMark().contains(kP); }, 5000))
        << "the press passed after the tap gave up waiting";
    EXPECT_TRUE(waitUntil([&] { return tap_->skippedEvents() == 1; }, 5000));
    EXPECT_EQ(tap_->abandonedEvents(), 1);
    keysUpToSentinel();
    EXPECT_EQ(hotkeys_, 0) << "no callback for an abandoned press";
    EXPECT_EQ(taps_, 0);

    // And the tap is fully back afterwards.
    keyboard_.chord({keys::Menu, keys::P});
    EXPECT_TRUE(waitUntil([&] { return hotkeys_ == 1; }));
    EXPECT_EQ(keysUpToSentinel(), QStringList{});
}

TEST_F(HotkeyX11Test, StopReleasesEveryGrab) {
    hovering_ = true;
    manager_->refreshGrabs();
    ASSERT_TRUE(settled());
    EXPECT_GT(tap_->grabCount(), 0);
    manager_->stop();
    keyboard_.chord({keys::Menu, keys::P});
    keyboard_.tap(keys::F);
    EXPECT_EQ(keysUpToSentinel(), (QStringList{"0xff67", kP, "0x66"})) << "even Menu passes";
    EXPECT_EQ(hotkeys_ + frameRateKeys_, 0);
    EXPECT_EQ(tap_->grabCount(), 0);
}

}  // namespace
}  // namespace mirano
