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

/// Trust prompts, capture requests, hotkey services made, pending timers, notifications.
using Counts = std::vector<int>;

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

    void launch(bool trusted = true, bool captureAllowed = true) {
        permissions.trusted = trusted;
        permissions.captureAllowed = captureAllowed;
        delegate = std::make_unique<AppDelegate>(AppDelegateServices{
            application, notifications, permissions, scheduler, pip, [this](HotkeyBindings b) {
                ++hotkeysCreated;
                auto s = std::make_unique<fakes::FakeHotkeyService>(std::move(b), &log);
                hotkeys = s.get();
                return s;
            }});
        delegate->applicationDidFinishLaunching();
    }
    Counts counts() const {
        return {permissions.trustPrompts, permissions.captureRequests, hotkeysCreated,
                scheduler.pendingTimers(), int(notifications.posted.size())};
    }
    void TearDown() override {
        if (delegate) delegate->applicationWillTerminate();
        openSettingsHandler() = nullptr;
    }
};

void setShown(QWidget& w, bool show) {
    show ? w.show() : void(w.close());
    QApplication::processEvents();
}

}  // namespace

TEST_F(DelegateFixture, MissingAccessibilityPromptsOncePollsEverySecondUntilTrustThenNotifiesOnce) {
    launch(false);
    scheduler.advance(30.5);  // many ticks without trust: no second prompt, still polling
    EXPECT_EQ(counts(), (Counts{1, 0, 0, 1, 0}));
    permissions.trusted = true;
    scheduler.advance(0.4);  // not yet a full second since the last tick
    EXPECT_EQ(counts(), (Counts{1, 0, 0, 1, 0}));
    scheduler.advance(0.6);
    EXPECT_EQ(notifications.posted,
              (QList<QPair<QString, QString>>{
                  {"Accessibility Granted", "Mirano now has Accessibility permissions."}}));
    scheduler.advance(10);
    EXPECT_EQ(counts(), (Counts{1, 0, 1, 0, 1}));
    EXPECT_EQ(log, QStringList{"hotkeys.start"});
}

TEST_F(DelegateFixture, WithoutCaptureItIsRequestedOnceAndHotkeysNeverStart) {
    // Accessibility granted later: the grant is announced, then capture is requested.
    launch(false, false);
    EXPECT_EQ(counts(), (Counts{1, 0, 0, 1, 0}));
    permissions.trusted = true;
    scheduler.advance(1.0);
    EXPECT_EQ(counts(), (Counts{1, 1, 0, 0, 1}));
    scheduler.advance(5);
    EXPECT_EQ(counts(), (Counts{1, 1, 0, 0, 1}));

    // Accessibility there from the start: capture requested at once, no poll; granted later,
    // only a relaunch picks it up.
    delegate.reset();
    permissions = {};
    notifications.posted.clear();
    launch(true, false);
    permissions.captureAllowed = true;
    scheduler.advance(10);
    EXPECT_EQ(counts(), (Counts{0, 1, 0, 0, 0}));
}

// The poll ends with the delegate, whether it is destroyed or told the app terminates.
TEST_F(DelegateFixture, NoTickAfterTheDelegateIsGoneOrTerminated) {
    for (bool destroy : {true, false}) {
        SCOPED_TRACE(destroy ? "destroyed" : "terminated");
        permissions.trustPrompts = 0;
        launch(false);
        destroy ? delegate.reset() : delegate->applicationWillTerminate();
        permissions.trusted = true;
        scheduler.advance(3);
        EXPECT_EQ(counts(), (Counts{1, 0, 0, 0, 0}));
        delegate.reset();
    }
}

TEST_F(DelegateFixture, WithBothPermissionsHotkeysStartAtLaunchAndEveryGestureReachesItsAction) {
    launch();
    EXPECT_EQ(application.policyChanges.value(0), ActivationPolicy::accessory);
    EXPECT_EQ(notifications.authorizationRequests, 1);
    EXPECT_EQ(counts(), (Counts{0, 0, 1, 0, 0}));
    EXPECT_EQ(log, QStringList{"hotkeys.start"});

    HotkeyBindings& b = hotkeys->bindings;
    for (const auto& gesture : {b.onModifierTap, b.onZoomInHotkey, b.onZoomOutHotkey,
                                b.onFrameRateMenuHotkey, b.onShiftHotkey})
        gesture();
    b.onCommandChanged(true);
    b.onCommandChanged(false);
    EXPECT_EQ(pip.calls, (QStringList{"handleModifierTap", "zoomBy(0.8500)", "zoomBy(1.1765)",
                                      "openFrameRateMenu", "beginRegionSelection",
                                      "setCommandHeld(1)", "setCommandHeld(0)"}));
    EXPECT_FALSE(b.hoverProvider());
    pip.hoveringVisible = true;
    EXPECT_TRUE(b.hoverProvider());
    emit pip.hoverStateChanged();  // makes the hotkeys recompute their grabs
    EXPECT_EQ(log, (QStringList{"hotkeys.start", "hotkeys.refreshGrabs"}));

    // The settings hotkey activates the app, and opens settings only when a handler exists.
    b.onSettingsHotkey();
    int opened = 0;
    openSettingsHandler() = [&opened] { ++opened; };
    b.onSettingsHotkey();
    EXPECT_EQ(std::pair(application.activations, opened), std::pair(2, 1));

    // Backspace closes only a hovered panel: not without a PiP, not with the pointer elsewhere.
    pip.calls.clear();
    EXPECT_FALSE(b.onBackspace());
    pip.panel = true;
    pip.captured = 7;
    EXPECT_FALSE(b.onBackspace());
    EXPECT_TRUE(pip.calls.isEmpty());
    pip.hovering = true;
    EXPECT_TRUE(b.onBackspace());
    EXPECT_EQ(pip.calls, QStringList{"stopPiP"});
}

TEST_F(DelegateFixture, CaptureHotkeyTogglesReplacesAndAsksForCapturePermission) {
    launch();
    auto pressed = [&] {
        pip.calls.clear();
        hotkeys->bindings.onHotkey();
        return pip.calls;
    };
    EXPECT_EQ(pressed(), QStringList{}) << "no focused window: nothing at all";
    pip.focused = SourceWindow{0x400001, AppIdentity{42}};
    EXPECT_EQ(pressed(), (QStringList{"stopPiP", "startPiP(4194305,42,none)"}));
    EXPECT_EQ(pressed(), QStringList{"stopPiP"}) << "the same window again: stop only";
    EXPECT_FALSE(pip.captured);
    pressed();
    pip.focused = SourceWindow{0x500002, AppIdentity{43}};
    EXPECT_EQ(pressed(), (QStringList{"stopPiP", "startPiP(5242882,43,none)"})) << "replaced";

    // Capture permission withdrawn: every press asks again and touches nothing else.
    permissions.captureAllowed = false;
    EXPECT_EQ(pressed() + pressed(), QStringList{});
    EXPECT_EQ(permissions.captureRequests, 2);
}

TEST_F(DelegateFixture, TerminationStopsHotkeysAndPiPAndIgnoresLaterHoverChanges) {
    launch();
    pip.captured = 9;
    pip.panel = true;
    log.clear();
    delegate->applicationWillTerminate();
    emit pip.hoverStateChanged();
    EXPECT_EQ(std::pair(pip.calls, log),
              std::pair(QStringList{"stopPiP"}, QStringList{"hotkeys.stop"}));
    delegate.reset();
}

TEST_F(DelegateFixture, SettingsWindowSwitchesToRegularOncePerOpeningAndBackWhenTheLastCloses) {
    launch();
    application.policyChanges.clear();
    // Panels and borderless popups never count as settings windows.
    QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus);
    panel.setAttribute(Qt::WA_ShowWithoutActivating);
    QWidget borderless(nullptr, Qt::FramelessWindowHint);
    panel.show();
    setShown(borderless, true);
    delegate->handleWindowDidBecomeMain(&panel);
    delegate->handleWindowDidUpdate(&borderless);
    panel.close();
    setShown(borderless, false);
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
    const int activations = application.activations;
    EXPECT_GE(activations, 1);
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
    setShown(dialog, true);
    setShown(dialog, false);
    EXPECT_EQ(application.policy, ActivationPolicy::regular);
    scheduler.advance(1);
    EXPECT_EQ(application.activations, activations);

    setShown(settings, false);
    EXPECT_EQ(application.policy, ActivationPolicy::accessory);
    open();  // opening again activates again
    EXPECT_GT(application.activations, activations);
    setShown(settings, false);
}
