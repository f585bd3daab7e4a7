// The application delegate: start-up, permissions, hotkey wiring, the titled windows' activation
// and quitting.
#include "app/AppDelegate.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "app/OpenSettingsHandler.h"
#include "app/PiPControl.h"
#include "app/TitledWindowWatch.h"
#include "platform/Application.h"
#include "platform/GlobalShortcuts.h"
#include "platform/Notifications.h"
#include "platform/Permissions.h"
#include "platform/Scheduler.h"
#include "platform/TitledWindow.h"
#include "settings/AppSettings.h"

namespace mirano {

namespace {
constexpr double kSecondActivationDelay = 0.1;
constexpr double kZoomInFactor = 0.85;
}  // namespace

AppDelegate::AppDelegate(AppDelegateServices services, QObject* parent)
    : QObject(parent),
      services_(std::move(services)),
      actions_(services_.permissions, services_.pip) {}

AppDelegate::~AppDelegate() = default;

bool AppDelegate::isSettingsLike(const QWidget* window) { return isTitledActivatingWindow(window); }

void AppDelegate::start() {
    services_.application.setActivationPolicy(ActivationPolicy::accessory);
    services_.notifications.requestAuthorization();
    setupWindowObservers();
    checkPermissions();
    // Like `mirano --toggle`, whatever the permissions: a shortcut pressed without capture asks
    // for it, and the line that says what the desktop offers promised the shortcuts.
    bindGlobalShortcuts();
}

void AppDelegate::setupWindowObservers() {
    // Only the titled windows Mirano opens are watched: activation (became main), showing
    // (did update) and closing (will close).
    TitledWindowWatch& watch = TitledWindowWatch::shared();
    removeWindowObservers();
    connect(&watch, &TitledWindowWatch::activated, this, &AppDelegate::handleWindowDidBecomeMain);
    connect(&watch, &TitledWindowWatch::shown, this, &AppDelegate::handleWindowDidUpdate);
    connect(&watch, &TitledWindowWatch::closing, this, &AppDelegate::handleWindowWillClose);
}

void AppDelegate::removeWindowObservers() { TitledWindowWatch::shared().disconnect(this); }

void AppDelegate::handleWindowDidBecomeMain(QWidget* window) {
    if (isSettingsLike(window)) activateForSettingsWindow(window);
}

void AppDelegate::handleWindowDidUpdate(QWidget* window) {
    // Activate once per opening.
    if (settingsBecameMain_) return;
    if (window && window->isVisible() && isSettingsLike(window)) activateForSettingsWindow(window);
}

void AppDelegate::handleWindowWillClose(QWidget* window) {
    if (!isSettingsLike(window)) return;
    // Another of our titled windows stays open (the settings window behind an update dialog):
    // it keeps the policy and is not activated anew.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != window && w->isVisible() && isSettingsLike(w)) return;
    settingsBecameMain_ = false;
    services_.application.setActivationPolicy(ActivationPolicy::accessory);
}

void AppDelegate::activateForSettingsWindow(QWidget* window) {
    settingsBecameMain_ = true;
    if (services_.application.activationPolicy() != ActivationPolicy::regular)
        services_.application.setActivationPolicy(ActivationPolicy::regular);
    // Called from the window's own activation: bringing it forward again (or any other
    // window) would only answer one activation with another.
    if (window->isActiveWindow()) return;
    services_.application.activate();
    window->show();
    window->raise();
    window->activateWindow();
    // Some window managers refuse the first activation of a window that was just mapped: ask
    // once more for this window, unless one of ours has the focus by then.
    QPointer<QWidget> target(window);
    services_.scheduler.postAfter(kSecondActivationDelay, [target] {
        if (!target || !target->isVisible() || QApplication::activeWindow()) return;
        target->raise();
        target->activateWindow();
    });
}

void AppDelegate::checkPermissions() {
    Permissions& permissions = services_.permissions;
    // The answers come from the X server's extensions, which stay as they are: one look, and
    // what is missing is told once.
    if (!permissions.checkKeyboardAccess(true)) return;
    if (!permissions.canCapture()) {
        permissions.askForCapture();
        return;
    }
    setupHotkeyManager();
}

void AppDelegate::setupHotkeyManager() {
    PiPControl& pip = services_.pip;
    Application& application = services_.application;
    HotkeyBindings b;
    b.onHotkey = [this] { actions_.captureToggle(); };
    b.onBackspace = [this] { return actions_.backspaceClose(); };
    b.onModifierTap = [&pip] { pip.handleModifierTap(); };
    b.onCommandChanged = [&pip](bool held) { pip.setCommandHeld(held); };
    b.onZoomInHotkey = [&pip] { pip.zoomBy(kZoomInFactor); };
    b.onZoomOutHotkey = [&pip] { pip.zoomBy(1.0 / kZoomInFactor); };
    b.onFrameRateMenuHotkey = [&pip] { pip.openFrameRateMenu(); };
    b.onShiftHotkey = [&pip] { pip.beginRegionSelection(); };
    b.onSettingsHotkey = [&application] {
        application.activate();
        if (const auto& open = openSettingsHandler()) open();
    };
    b.hoverProvider = [&pip] { return pip.isHoveringVisiblePiP(); };

    if (hotkeyManager_) hotkeyManager_->stop();
    disconnect(&pip, nullptr, this, nullptr);
    hotkeyManager_ = services_.makeHotkeys ? services_.makeHotkeys(std::move(b)) : nullptr;
    if (!hotkeyManager_) return;
    connect(&pip, &PiPControl::hoverStateChanged, this, [this] {
        if (hotkeyManager_) hotkeyManager_->refreshGrabs();
    });
    connect(&pip, &PiPControl::panelKeyPressed, this,
            [this](const KeyEvent& event, const QString& text) {
                if (hotkeyManager_) hotkeyManager_->handlePanelKey(event, text);
            });
    hotkeyManager_->start();
}

void AppDelegate::bindGlobalShortcuts() {
    shortcuts_ = services_.makeShortcuts ? services_.makeShortcuts() : nullptr;
    if (!shortcuts_) return;
    // The same actions as `mirano --toggle`, `--region` and `--hide`.
    PiPControl& pip = services_.pip;
    connect(shortcuts_.get(), &GlobalShortcuts::mirrorWindowActivated, this,
            [this] { actions_.captureToggle(); });
    connect(shortcuts_.get(), &GlobalShortcuts::mirrorRegionActivated, &pip,
            &PiPControl::beginRegionSelection);
    connect(shortcuts_.get(), &GlobalShortcuts::hideOrShowActivated, &pip,
            &PiPControl::toggleHidden);
    // The hotkey chosen here is offered again whenever it changes; the desktop may still keep
    // keys the user chose in its own settings. A failure has been logged.
    connect(&services_.settings.store(), &DefaultsStore::changed, shortcuts_.get(),
            [this](const QString& key) {
                if (key == AppSettings::kTriggerKey || key == AppSettings::kModifier) offerHotkey();
            });
    offerHotkey();
}

void AppDelegate::offerHotkey() {
    const AppSettings& settings = services_.settings;
    shortcuts_->bind(ModifierKeys::physicalKey(settings.modifier()), settings.triggerKey(),
                     [](std::optional<Error>) {});
}

void AppDelegate::stop() {
    removeWindowObservers();
    disconnect(&services_.pip, nullptr, this, nullptr);
    if (hotkeyManager_) hotkeyManager_->stop();
    shortcuts_.reset();
    actions_.shutdown();
}

}  // namespace mirano
