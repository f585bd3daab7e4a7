// The delegate on fakes: permission paths, settings-window activation, hotkey and desktop
// shortcut wiring, quit.
// (The settings window and the update dialog not taking the focus from each other is checked
// end to end, where the window manager takes part.)
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "app/AppDelegate.h"
#include "app/OpenSettingsHandler.h"
#include "app/TitledWindowWatch.h"
#include "tests/app/AppFakes.h"
#include "tests/fakes/FakeApplication.h"
#include "tests/fakes/FakeGlobalShortcuts.h"
#include "tests/fakes/FakePermissions.h"

using namespace mirano;

namespace {

struct DelegateFixture : ::testing::Test, fakes::MemorySettings {
    fakes::FakeApplication application;
    fakes::FakeNotifications notifications;
    fakes::FakePermissions permissions;
    fakes::ManualScheduler scheduler;
    fakes::FakePiPControl pip;
    QStringList log;
    fakes::FakeHotkeyService* hotkeys = nullptr;
    int hotkeysCreated = 0;
    QPointer<fakes::FakeGlobalShortcuts> shortcuts;
    std::unique_ptr<AppDelegate> delegate;

    void launch(bool trusted = true, bool captureAllowed = true) {
        permissions.trusted = trusted;
        permissions.captureAllowed = captureAllowed;
        delegate = std::make_unique<AppDelegate>(AppDelegateServices{
            application, notifications, permissions, scheduler, settings, pip,
            [this](HotkeyBindings b) {
                ++hotkeysCreated;
                auto s = std::make_unique<fakes::FakeHotkeyService>(std::move(b), log);
                hotkeys = s.get();
                return s;
            },
            [this] {
                auto s = std::make_unique<fakes::FakeGlobalShortcuts>();
                shortcuts = s.get();
                return s;
            }});
        delegate->start();
    }
    void TearDown() override {
        if (delegate) delegate->stop();
        openSettingsHandler() = nullptr;
    }
};

void setShown(QWidget& w, bool show) {
    show ? w.show() : void(w.close());
    QApplication::processEvents();
}

}  // namespace

// What the X server offers cannot change while Mirano runs: one look at launch, nothing later.
// The desktop's shortcuts are bound whatever the permissions.
TEST_F(DelegateFixture, PermissionsAreCheckedOnceAtLaunchAndMissingOnesAreToldOnce) {
    // Keyboard access, capture allowed; trust prompts, capture requests, hotkey services made
    // (and never a timer left or a notification).
    const std::tuple<bool, bool, std::array<int, 5>> rows[] = {{false, true, {1, 0, 0, 0, 0}},
                                                               {false, false, {1, 0, 0, 0, 0}},
                                                               {true, false, {0, 1, 0, 0, 0}},
                                                               {true, true, {0, 0, 1, 0, 0}}};
    for (const auto& [trusted, captureAllowed, expected] : rows) {
        permissions.trustPrompts = permissions.captureRequests = hotkeysCreated = 0;
        launch(trusted, captureAllowed);
        permissions.trusted = permissions.captureAllowed = true;
        scheduler.advance(10);
        EXPECT_EQ((std::array{permissions.trustPrompts, permissions.captureRequests, hotkeysCreated,
                              scheduler.pendingTimers(), int(notifications.posted.size())}),
                  expected)
            << trusted << captureAllowed;
        EXPECT_TRUE(shortcuts && shortcuts->bound.size() == 1);
        delegate->stop();
        EXPECT_FALSE(shortcuts) << "the shortcuts' session outlived quitting";
    }
}

// Where the desktop binds the shortcuts, it is offered the hotkey of the settings, and each
// shortcut runs what `mirano --toggle`, `--region` and `--hide` run.
TEST_F(DelegateFixture, WithBothPermissionsHotkeysRunFromLaunchToTerminationAndEveryGestureActs) {
    settings.setModifierRaw("rightOption");
    settings.setTriggerKey("k");
    launch();
    EXPECT_EQ(std::tuple(application.policyChanges.value(0), notifications.authorizationRequests,
                         log, shortcuts->bound),
              std::tuple(ActivationPolicy::accessory, 1, QStringList{"hotkeys.start"},
                         QList<std::pair<Modifier, QString>>{{Modifier::RightAlt, "k"}}));
    // A hotkey changed in the settings is offered again; other settings are not the desktop's.
    settings.setTriggerKey("j");
    settings.setFrameRate(24);
    settings.setModifierRaw("leftControl");
    EXPECT_EQ(shortcuts->bound, (QList<std::pair<Modifier, QString>>{{Modifier::RightAlt, "k"},
                                                                     {Modifier::RightAlt, "j"},
                                                                     {Modifier::LeftCtrl, "j"}}));
    HotkeyBindings& b = hotkeys->bindings;
    // What the PiP controller is asked for after `gesture` alone.
    const auto after = [&](const std::function<void()>& gesture) {
        pip.calls.clear();
        gesture();
        return pip.calls;
    };

    // The capture hotkey and its shortcut toggle the focused window's PiP and replace another's.
    EXPECT_EQ(after(b.onHotkey), QStringList{}) << "no focused window: nothing at all";
    pip.focused = SourceWindow{0x400001, AppIdentity{42}};
    EXPECT_EQ(after(b.onHotkey), (QStringList{"stopPiP", "startPiP(4194305,42,none)"}));
    EXPECT_EQ(after(b.onHotkey), QStringList{"stopPiP"}) << "the same window again: stop only";
    EXPECT_EQ(after([&] { emit shortcuts->mirrorWindowActivated(); }),
              (QStringList{"stopPiP", "startPiP(4194305,42,none)"}));
    // While it opens (a dialog may have the focus), a press withdraws it and opens no other.
    pip.opening = true;
    pip.focused = SourceWindow{0x500002, AppIdentity{43}};
    EXPECT_EQ(after(b.onHotkey), QStringList{"stopPiP"});
    pip.opening = false;
    EXPECT_EQ(after(b.onHotkey), (QStringList{"stopPiP", "startPiP(5242882,43,none)"}));
    // Capture permission withdrawn: every press asks again and touches nothing else.
    permissions.captureAllowed = false;
    EXPECT_EQ(after(b.onHotkey) + after(b.onHotkey), QStringList{});
    EXPECT_EQ(permissions.captureRequests, 2);

    emit shortcuts->mirrorRegionActivated();
    emit shortcuts->hideOrShowActivated();
    for (const auto& gesture : {b.onModifierTap, b.onZoomInHotkey, b.onZoomOutHotkey,
                                b.onFrameRateMenuHotkey, b.onShiftHotkey})
        gesture();
    b.onCommandChanged(true);
    b.onCommandChanged(false);
    EXPECT_EQ(pip.calls,
              (QStringList{"beginRegionSelection", "toggleHidden", "handleModifierTap",
                           "zoomBy(0.8500)", "zoomBy(1.1765)", "openFrameRateMenu",
                           "beginRegionSelection", "setCommandHeld(1)", "setCommandHeld(0)"}));
    EXPECT_FALSE(b.hoverProvider());
    pip.hoveringVisible = true;
    EXPECT_TRUE(b.hoverProvider());
    emit pip.hoverStateChanged();  // makes the hotkeys recompute their grabs
    emit pip.panelKeyPressed({KeyEventKind::KeyDown, KEY_F, {}, 0, false}, "f");
    EXPECT_EQ(log, (QStringList{"hotkeys.start", "hotkeys.refreshGrabs",
                                QStringLiteral("hotkeys.panelKey(%1,f)").arg(KEY_F)}));

    // The settings hotkey activates the app, and opens settings only when a handler exists.
    b.onSettingsHotkey();
    int opened = 0;
    openSettingsHandler() = [&opened] { ++opened; };
    b.onSettingsHotkey();
    EXPECT_EQ(std::pair(application.activations, opened), std::pair(2, 1));

    // Backspace closes only a hovered panel (the replacing PiP): not with the pointer elsewhere,
    // not once the PiP is gone.
    pip.calls.clear();
    EXPECT_FALSE(b.onBackspace());
    pip.hovering = true;
    EXPECT_TRUE(b.onBackspace());
    EXPECT_FALSE(b.onBackspace());

    // Termination stops the hotkeys and the PiP (the second stopPiP, after Backspace's one), and
    // later hover changes reach nothing.
    log.clear();
    delegate->stop();
    emit pip.hoverStateChanged();
    emit pip.panelKeyPressed({KeyEventKind::KeyDown, KEY_F, {}, 0, false}, "f");
    EXPECT_EQ(std::pair(pip.calls, log),
              std::pair(QStringList{"stopPiP", "stopPiP"}, QStringList{"hotkeys.stop"}));
}

TEST_F(DelegateFixture, SettingsWindowSwitchesToRegularOncePerOpeningAndBackWhenTheLastCloses) {
    launch();
    application.policyChanges.clear();
    // Tools, borderless popups and windows shown without taking the focus (the panels) never
    // count as settings windows.
    QWidget tool(nullptr, Qt::Tool), borderless(nullptr, Qt::FramelessWindowHint),
        unfocusable(nullptr, Qt::WindowDoesNotAcceptFocus), quiet;
    quiet.setAttribute(Qt::WA_ShowWithoutActivating);
    for (const QWidget* w : {&tool, &borderless, &unfocusable, &quiet})
        EXPECT_FALSE(AppDelegate::isSettingsLike(w)) << w->windowFlags();

    QWidget settings, dialog(nullptr, Qt::Dialog);
    for (QWidget* w : {&settings, &dialog}) TitledWindowWatch::shared().watch(w);
    setShown(settings, true);
    const int activations = application.activations;
    EXPECT_GE(activations, 1);
    // Updates and re-activations while open activate nothing more.
    settings.update();
    QApplication::processEvents();
    delegate->handleWindowDidUpdate(&settings);
    delegate->handleWindowDidBecomeMain(&settings);
    scheduler.advance(1);
    EXPECT_EQ(std::pair(application.activations, application.policyChanges),
              std::pair(activations, QList{ActivationPolicy::regular}));

    // A second titled window (the update dialog) closing leaves the settings window as it was.
    setShown(dialog, true);
    setShown(dialog, false);
    scheduler.advance(1);
    EXPECT_EQ(std::pair(application.policy, application.activations),
              std::pair(ActivationPolicy::regular, activations));

    setShown(settings, false);
    EXPECT_EQ(application.policy, ActivationPolicy::accessory);
    setShown(settings, true);  // opening again activates again
    EXPECT_EQ(std::pair(application.policy, application.activations > activations),
              std::pair(ActivationPolicy::regular, true));
    setShown(settings, false);
}
