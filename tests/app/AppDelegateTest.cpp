// The delegate on fakes: permission paths, settings-window activation, hotkey wiring, quit.
#include "app/AppDelegate.h"
#include "app/OpenSettingsHandler.h"
#include "tests/app/FakePiPControl.h"
#include "tests/fakes/FakeApplication.h"
#include "tests/fakes/FakeNotifications.h"
#include "tests/fakes/FakePermissions.h"
#include "tests/fakes/ManualScheduler.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

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

    void makeDelegate() {
        AppDelegateServices services{application, notifications, permissions, scheduler, pip,
                                     [this](HotkeyBindings b) {
                                         ++hotkeysCreated;
                                         auto s = std::make_unique<fakes::FakeHotkeyService>(std::move(b), &log);
                                         hotkeys = s.get();
                                         return s;
                                     }};
        delegate = std::make_unique<AppDelegate>(std::move(services));
    }
    void TearDown() override {
        if (delegate) delegate->applicationWillTerminate();
        openSettingsHandler() = nullptr;
    }
};

}  // namespace

TEST_F(DelegateFixture, BothPermissionsGrantedStartsHotkeysAtLaunchWithoutPromptOrNotification) {
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    EXPECT_EQ(application.policyChanges.value(0), ActivationPolicy::accessory);
    EXPECT_EQ(notifications.authorizationRequests, 1);
    EXPECT_EQ(permissions.trustPrompts, 0);
    EXPECT_EQ(permissions.captureRequests, 0);
    EXPECT_FALSE(delegate->isWaitingForAccessibility());
    EXPECT_EQ(scheduler.pendingTimers(), 0);
    EXPECT_TRUE(notifications.posted.isEmpty());
    EXPECT_EQ(hotkeysCreated, 1);
    EXPECT_EQ(log, QStringList{"hotkeys.start"});
}

TEST_F(DelegateFixture, MissingAccessibilityPromptsOncePollsEverySecondUntilTrustThenNotifiesOnce) {
    permissions.trusted = false;
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    EXPECT_EQ(permissions.trustPrompts, 1);
    EXPECT_TRUE(delegate->isWaitingForAccessibility());
    EXPECT_EQ(hotkeysCreated, 0);

    // Many ticks without trust: nothing happens, no second prompt, the poll keeps going.
    scheduler.advance(30.5);
    EXPECT_EQ(permissions.trustPrompts, 1);
    EXPECT_TRUE(delegate->isWaitingForAccessibility());
    EXPECT_EQ(scheduler.pendingTimers(), 1);
    EXPECT_TRUE(notifications.posted.isEmpty());

    permissions.trusted = true;
    scheduler.advance(0.4);  // not yet a full second since the last tick
    EXPECT_TRUE(notifications.posted.isEmpty());
    scheduler.advance(0.6);
    ASSERT_EQ(notifications.posted.size(), 1);
    EXPECT_EQ(notifications.posted[0].first, "Accessibility Granted");
    EXPECT_EQ(notifications.posted[0].second, "Mirano now has Accessibility permissions.");
    EXPECT_FALSE(delegate->isWaitingForAccessibility());
    EXPECT_EQ(hotkeysCreated, 1);
    EXPECT_EQ(log, QStringList{"hotkeys.start"});

    scheduler.advance(10);
    EXPECT_EQ(notifications.posted.size(), 1);
    EXPECT_EQ(hotkeysCreated, 1);
    EXPECT_EQ(scheduler.pendingTimers(), 0);
}

TEST_F(DelegateFixture, AccessibilityGrantedLaterWithoutCaptureRequestsCaptureAndStartsNothing) {
    permissions.trusted = false;
    permissions.captureAllowed = false;
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    EXPECT_EQ(permissions.captureRequests, 0);
    permissions.trusted = true;
    scheduler.advance(1.0);
    EXPECT_EQ(notifications.posted.size(), 1);
    EXPECT_EQ(permissions.captureRequests, 1);
    EXPECT_EQ(hotkeysCreated, 0);
    scheduler.advance(5);
    EXPECT_EQ(permissions.captureRequests, 1);
}

TEST_F(DelegateFixture, MissingCaptureRequestsOnceAndNeverStartsHotkeys) {
    permissions.captureAllowed = false;
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    EXPECT_EQ(permissions.trustPrompts, 0);
    EXPECT_EQ(permissions.captureRequests, 1);
    EXPECT_EQ(hotkeysCreated, 0);
    EXPECT_EQ(scheduler.pendingTimers(), 0);
    permissions.captureAllowed = true;  // granted later: only a relaunch picks it up
    scheduler.advance(10);
    EXPECT_EQ(hotkeysCreated, 0);
    EXPECT_TRUE(notifications.posted.isEmpty());
}

TEST_F(DelegateFixture, DelegateGoneBeforeTickDoesNothing) {
    permissions.trusted = false;
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    delegate.reset();
    permissions.trusted = true;
    scheduler.advance(3);
    EXPECT_TRUE(notifications.posted.isEmpty());
    EXPECT_EQ(hotkeysCreated, 0);
}

TEST_F(DelegateFixture, EveryGestureReachesItsAction) {
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    ASSERT_NE(hotkeys, nullptr);
    HotkeyBindings& b = hotkeys->bindings;
    ASSERT_TRUE(b.onHotkey && b.onShiftHotkey && b.onModifierTap && b.onCommandChanged &&
                b.onBackspace && b.onSettingsHotkey && b.onFrameRateMenuHotkey &&
                b.onZoomInHotkey && b.onZoomOutHotkey && b.hoverProvider);

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

    pip.hoveringVisible = false;
    EXPECT_FALSE(b.hoverProvider());
    pip.hoveringVisible = true;
    EXPECT_TRUE(b.hoverProvider());

    // A hover change makes the hotkeys recompute their grabs.
    log.clear();
    emit pip.hoverStateChanged();
    EXPECT_EQ(log, QStringList{"hotkeys.refreshGrabs"});
}

TEST_F(DelegateFixture, SettingsHotkeyActivatesAndOpensSettingsOnlyWhenAHandlerExists) {
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    ASSERT_NE(hotkeys, nullptr);
    openSettingsHandler() = nullptr;
    hotkeys->bindings.onSettingsHotkey();
    EXPECT_EQ(application.activations, 1);

    int opened = 0;
    openSettingsHandler() = [&opened] { ++opened; };
    hotkeys->bindings.onSettingsHotkey();
    EXPECT_EQ(application.activations, 2);
    EXPECT_EQ(opened, 1);
}

TEST_F(DelegateFixture, CaptureHotkeyTogglesReplacesAndAsksForCapturePermission) {
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    ASSERT_NE(hotkeys, nullptr);
    auto& onHotkey = hotkeys->bindings.onHotkey;

    // No focused window: nothing at all.
    onHotkey();
    EXPECT_TRUE(pip.calls.isEmpty());

    pip.focused = FocusedWindow{WindowElement{0x400001}, 0x400001, 42};
    onHotkey();
    EXPECT_EQ(pip.calls, (QStringList{"stopPiP", "startPiP(4194305,4194305,42,none)"}));

    // The same window again: stop only.
    pip.calls.clear();
    onHotkey();
    EXPECT_EQ(pip.calls, QStringList{"stopPiP"});
    EXPECT_FALSE(pip.captured);

    // Another window while one is mirrored: replaced.
    onHotkey();
    pip.focused = FocusedWindow{WindowElement{0x500002}, 0x500002, 43};
    pip.calls.clear();
    onHotkey();
    EXPECT_EQ(pip.calls, (QStringList{"stopPiP", "startPiP(5242882,5242882,43,none)"}));

    // Capture permission withdrawn: every press asks again and touches nothing else.
    permissions.captureAllowed = false;
    pip.calls.clear();
    onHotkey();
    onHotkey();
    EXPECT_EQ(permissions.captureRequests, 2);
    EXPECT_TRUE(pip.calls.isEmpty());
}

TEST_F(DelegateFixture, BackspaceClosesOnlyAHoveredPanel) {
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    ASSERT_NE(hotkeys, nullptr);
    auto& onBackspace = hotkeys->bindings.onBackspace;

    EXPECT_FALSE(onBackspace());  // no PiP
    pip.panel = true;
    pip.captured = 7;
    EXPECT_FALSE(onBackspace());  // pointer elsewhere
    EXPECT_TRUE(pip.calls.isEmpty());
    pip.hovering = true;
    EXPECT_TRUE(onBackspace());
    EXPECT_EQ(pip.calls, QStringList{"stopPiP"});
}

TEST_F(DelegateFixture, TerminationStopsPollHotkeysAndPiPInOrder) {
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    pip.captured = 9;
    pip.panel = true;
    log.clear();
    delegate->applicationWillTerminate();
    EXPECT_EQ(log, QStringList{"hotkeys.stop"});
    EXPECT_EQ(pip.calls, QStringList{"stopPiP"});
    // Hover changes after quit no longer reach the hotkeys.
    emit pip.hoverStateChanged();
    EXPECT_EQ(log, QStringList{"hotkeys.stop"});
    delegate.reset();
}

TEST_F(DelegateFixture, TerminationWhileWaitingForAccessibilityCancelsThePoll) {
    permissions.trusted = false;
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    delegate->applicationWillTerminate();
    EXPECT_EQ(scheduler.pendingTimers(), 0);
    permissions.trusted = true;
    scheduler.advance(5);
    EXPECT_TRUE(notifications.posted.isEmpty());
    delegate.reset();
}

TEST_F(DelegateFixture, SettingsWindowSwitchesToRegularOncePerOpeningAndBackOnClose) {
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    application.policyChanges.clear();

    QWidget settings;
    settings.setWindowTitle("Settings");
    settings.resize(600, 400);
    settings.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
    QApplication::processEvents();

    EXPECT_TRUE(delegate->settingsBecameMain());
    EXPECT_EQ(application.policy, ActivationPolicy::regular);
    const int activationsAfterOpen = application.activations;
    EXPECT_GE(activationsAfterOpen, 1);
    const int regularSwitches = application.policyChanges.count(ActivationPolicy::regular);

    // The second activation follows 0.1 s later.
    scheduler.advance(0.05);
    const int beforeDelayed = application.activations;
    scheduler.advance(0.06);
    EXPECT_GT(application.activations, beforeDelayed);

    // Many updates while open: no further activation from did-update.
    const int afterDelayed = application.activations;
    for (int i = 0; i < 5; ++i) {
        settings.update();
        QApplication::processEvents();
        delegate->handleWindowDidUpdate(&settings);
    }
    scheduler.advance(1);
    EXPECT_EQ(application.activations, afterDelayed);
    EXPECT_EQ(application.policyChanges.count(ActivationPolicy::regular), regularSwitches);

    settings.close();
    QApplication::processEvents();
    EXPECT_FALSE(delegate->settingsBecameMain());
    EXPECT_EQ(application.policy, ActivationPolicy::accessory);

    // Opening again activates again.
    settings.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
    QApplication::processEvents();
    EXPECT_TRUE(delegate->settingsBecameMain());
    EXPECT_EQ(application.policy, ActivationPolicy::regular);
    settings.close();
    QApplication::processEvents();
}

TEST_F(DelegateFixture, BecameMainActivatesEveryTimeButPanelsAndPopupsNeverCount) {
    makeDelegate();
    delegate->applicationDidFinishLaunching();
    application.policyChanges.clear();

    // Frameless non-activating panels, popups and tool windows are not settings-like.
    QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus);
    panel.setAttribute(Qt::WA_ShowWithoutActivating);
    panel.resize(320, 200);
    panel.show();
    QWidget borderless(nullptr, Qt::FramelessWindowHint);
    borderless.resize(100, 100);
    borderless.show();
    QApplication::processEvents();
    delegate->handleWindowDidBecomeMain(&panel);
    delegate->handleWindowDidUpdate(&borderless);
    EXPECT_FALSE(delegate->settingsBecameMain());
    EXPECT_TRUE(application.policyChanges.isEmpty());
    panel.close();
    borderless.close();
    QApplication::processEvents();
    EXPECT_TRUE(application.policyChanges.isEmpty());

    QWidget settings;
    settings.resize(200, 100);
    settings.show();
    QApplication::processEvents();
    const int before = application.activations;
    delegate->handleWindowDidBecomeMain(&settings);
    delegate->handleWindowDidBecomeMain(&settings);
    EXPECT_EQ(application.activations, before + 2);  // not limited by the flag
    settings.close();
    QApplication::processEvents();
}
