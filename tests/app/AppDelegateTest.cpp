// The delegate on fakes: permission paths, settings-window activation, hotkey wiring, quit.
// (The settings window and the update dialog not taking the focus from each other is checked
// end to end, where the window manager takes part.)
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include "app/AppDelegate.h"
#include "app/OpenSettingsHandler.h"
#include "tests/app/AppFakes.h"
#include "tests/fakes/FakeApplication.h"
#include "tests/fakes/FakeNotifications.h"
#include "tests/fakes/FakePermissions.h"
#include "tests/fakes/ManualScheduler.h"

using namespace mirano;

namespace {

struct DelegateFixture : ::testing::Test {
    fakes::FakeApplication application;
    fakes::FakeNotifications notifications;
    fakes::FakePermissions permissions;
    fakes::ManualScheduler scheduler;
    fakes::FakePiPControl pip;
    QStringList log;
    fakes::FakeHotkeyService* hotkeys = nullptr;
    int hotkeysCreated = 0;
    std::unique_ptr<AppDelegate> delegate;

    void launch() {
        delegate = std::make_unique<AppDelegate>(AppDelegateServices{
            application, notifications, permissions, scheduler, pip, [this](HotkeyBindings b) {
                ++hotkeysCreated;
                auto s = std::make_unique<fakes::FakeHotkeyService>(std::move(b), &log);
                hotkeys = s.get();
                return s;
            }});
        delegate->applicationDidFinishLaunching();
    }
    HotkeyBindings& bindings() {
        EXPECT_NE(hotkeys, nullptr);
        return hotkeys->bindings;
    }
    void TearDown() override {
        if (delegate) delegate->applicationWillTerminate();
        openSettingsHandler() = nullptr;
    }
};

}  // namespace

TEST_F(DelegateFixture, MissingAccessibilityPromptsOncePollsEverySecondUntilTrustThenNotifiesOnce) {
    permissions.trusted = false;
    launch();
    EXPECT_EQ(permissions.trustPrompts, 1);
    EXPECT_EQ(hotkeysCreated, 0);

    scheduler.advance(30.5);  // many ticks without trust: no second prompt, still polling
    EXPECT_EQ(permissions.trustPrompts, 1);
    EXPECT_EQ(scheduler.pendingTimers(), 1);
    EXPECT_TRUE(notifications.posted.isEmpty());

    permissions.trusted = true;
    scheduler.advance(0.4);  // not yet a full second since the last tick
    EXPECT_TRUE(notifications.posted.isEmpty());
    scheduler.advance(0.6);
    ASSERT_EQ(notifications.posted.size(), 1);
    EXPECT_EQ(notifications.posted[0].first, "Accessibility Granted");
    EXPECT_EQ(notifications.posted[0].second, "Mirano now has Accessibility permissions.");
    EXPECT_EQ(log, QStringList{"hotkeys.start"});

    scheduler.advance(10);
    EXPECT_EQ(notifications.posted.size(), 1);
    EXPECT_EQ(hotkeysCreated, 1);
    EXPECT_EQ(scheduler.pendingTimers(), 0);
}

TEST_F(DelegateFixture, AccessibilityGrantedLaterWithoutCaptureRequestsCaptureAndStartsNothing) {
    permissions.trusted = false;
    permissions.captureAllowed = false;
    launch();
    EXPECT_EQ(permissions.captureRequests, 0);
    permissions.trusted = true;
    scheduler.advance(1.0);
    EXPECT_EQ(notifications.posted.size(), 1);
    EXPECT_EQ(hotkeysCreated, 0);
    scheduler.advance(5);
    EXPECT_EQ(permissions.captureRequests, 1);
}

TEST_F(DelegateFixture, MissingCaptureRequestsOnceAndNeverStartsHotkeys) {
    permissions.captureAllowed = false;
    launch();
    EXPECT_EQ(permissions.trustPrompts, 0);
    EXPECT_EQ(permissions.captureRequests, 1);
    EXPECT_EQ(scheduler.pendingTimers(), 0);
    permissions.captureAllowed = true;  // granted later: only a relaunch picks it up
    scheduler.advance(10);
    EXPECT_EQ(hotkeysCreated, 0);
    EXPECT_TRUE(notifications.posted.isEmpty());
}

// The poll ends with the delegate, whether it is destroyed or told the app terminates.
TEST_F(DelegateFixture, NoTickAfterTheDelegateIsGoneOrTerminated) {
    for (bool destroy : {true, false}) {
        SCOPED_TRACE(destroy ? "destroyed" : "terminated");
        permissions.trusted = false;
        launch();
        if (destroy) {
            delegate.reset();
        } else {
            delegate->applicationWillTerminate();
            EXPECT_EQ(scheduler.pendingTimers(), 0);
        }
        permissions.trusted = true;
        scheduler.advance(3);
        EXPECT_TRUE(notifications.posted.isEmpty());
        EXPECT_EQ(hotkeysCreated, 0);
        delegate.reset();
    }
}

TEST_F(DelegateFixture, WithBothPermissionsHotkeysStartAtLaunchAndEveryGestureReachesItsAction) {
    launch();
    EXPECT_EQ(application.policyChanges.value(0), ActivationPolicy::accessory);
    EXPECT_EQ(notifications.authorizationRequests, 1);
    EXPECT_EQ(permissions.trustPrompts, 0);
    EXPECT_EQ(permissions.captureRequests, 0);
    EXPECT_EQ(scheduler.pendingTimers(), 0);
    EXPECT_TRUE(notifications.posted.isEmpty());
    EXPECT_EQ(hotkeysCreated, 1);
    EXPECT_EQ(log, QStringList{"hotkeys.start"});

    HotkeyBindings& b = bindings();
    b.onModifierTap();
    b.onCommandChanged(true);
    b.onCommandChanged(false);
    b.onZoomInHotkey();
    b.onZoomOutHotkey();
    b.onFrameRateMenuHotkey();
    b.onShiftHotkey();
    EXPECT_EQ(pip.calls, (QStringList{"handleModifierTap", "setCommandHeld(1)", "setCommandHeld(0)",
                                      "zoomBy(0.8500)", "zoomBy(1.1765)", "openFrameRateMenu",
                                      "beginRegionSelection"}));
    EXPECT_FALSE(b.hoverProvider());
    pip.hoveringVisible = true;
    EXPECT_TRUE(b.hoverProvider());

    log.clear();
    emit pip.hoverStateChanged();  // makes the hotkeys recompute their grabs
    EXPECT_EQ(log, QStringList{"hotkeys.refreshGrabs"});

    // The settings hotkey activates the app, and opens settings only when a handler exists.
    openSettingsHandler() = nullptr;
    b.onSettingsHotkey();
    EXPECT_EQ(application.activations, 1);
    int opened = 0;
    openSettingsHandler() = [&opened] { ++opened; };
    b.onSettingsHotkey();
    EXPECT_EQ(application.activations, 2);
    EXPECT_EQ(opened, 1);

    // Backspace closes only a hovered panel.
    pip.calls.clear();
    EXPECT_FALSE(b.onBackspace());  // no PiP
    pip.panel = true;
    pip.captured = 7;
    EXPECT_FALSE(b.onBackspace());  // pointer elsewhere
    EXPECT_TRUE(pip.calls.isEmpty());
    pip.hovering = true;
    EXPECT_TRUE(b.onBackspace());
    EXPECT_EQ(pip.calls, QStringList{"stopPiP"});
}

TEST_F(DelegateFixture, CaptureHotkeyTogglesReplacesAndAsksForCapturePermission) {
    launch();
    auto& onHotkey = bindings().onHotkey;
    onHotkey();  // no focused window: nothing at all
    EXPECT_TRUE(pip.calls.isEmpty());

    pip.focused = SourceWindow{0x400001, AppIdentity{42}};
    onHotkey();
    EXPECT_EQ(pip.calls, (QStringList{"stopPiP", "startPiP(4194305,42,none)"}));
    pip.calls.clear();
    onHotkey();  // the same window again: stop only
    EXPECT_EQ(pip.calls, QStringList{"stopPiP"});
    EXPECT_FALSE(pip.captured);

    onHotkey();
    pip.focused = SourceWindow{0x500002, AppIdentity{43}};
    pip.calls.clear();
    onHotkey();  // another window while one is mirrored: replaced
    EXPECT_EQ(pip.calls, (QStringList{"stopPiP", "startPiP(5242882,43,none)"}));

    // Capture permission withdrawn: every press asks again and touches nothing else.
    permissions.captureAllowed = false;
    pip.calls.clear();
    onHotkey();
    onHotkey();
    EXPECT_EQ(permissions.captureRequests, 2);
    EXPECT_TRUE(pip.calls.isEmpty());
}

TEST_F(DelegateFixture, TerminationStopsHotkeysAndPiPAndIgnoresLaterHoverChanges) {
    launch();
    pip.captured = 9;
    pip.panel = true;
    log.clear();
    delegate->applicationWillTerminate();
    EXPECT_EQ(pip.calls, QStringList{"stopPiP"});
    emit pip.hoverStateChanged();
    EXPECT_EQ(log, QStringList{"hotkeys.stop"});
    delegate.reset();
}

TEST_F(DelegateFixture, SettingsWindowSwitchesToRegularOncePerOpeningAndBackWhenTheLastCloses) {
    launch();
    application.policyChanges.clear();
    // Panels and borderless popups never count as settings windows.
    QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus);
    panel.setAttribute(Qt::WA_ShowWithoutActivating);
    panel.show();
    QWidget borderless(nullptr, Qt::FramelessWindowHint);
    borderless.show();
    QApplication::processEvents();
    delegate->handleWindowDidBecomeMain(&panel);
    delegate->handleWindowDidUpdate(&borderless);
    panel.close();
    borderless.close();
    QApplication::processEvents();
    EXPECT_TRUE(application.policyChanges.isEmpty());
    EXPECT_EQ(application.activations, 0);

    QWidget settings;
    auto open = [&] {
        settings.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
        QApplication::processEvents();
        EXPECT_EQ(application.policy, ActivationPolicy::regular);
    };
    open();
    EXPECT_GE(application.activations, 1);
    const int activations = application.activations;
    for (int i = 0; i < 5; ++i) {  // updates and re-activations while open activate nothing more
        settings.update();
        QApplication::processEvents();
        delegate->handleWindowDidUpdate(&settings);
        delegate->handleWindowDidBecomeMain(&settings);
    }
    scheduler.advance(1);
    EXPECT_EQ(application.activations, activations);
    EXPECT_EQ(application.policyChanges, QList{ActivationPolicy::regular});

    // A second titled window (the update dialog) closing leaves the settings window as it was.
    QWidget dialog(nullptr, Qt::Dialog);
    dialog.show();
    QApplication::processEvents();
    dialog.close();
    QApplication::processEvents();
    EXPECT_EQ(application.policy, ActivationPolicy::regular);
    scheduler.advance(1);
    EXPECT_EQ(application.activations, activations);

    settings.close();
    QApplication::processEvents();
    EXPECT_EQ(application.policy, ActivationPolicy::accessory);
    open();  // opening again activates again
    EXPECT_GT(application.activations, activations);
    settings.close();
    QApplication::processEvents();
}
