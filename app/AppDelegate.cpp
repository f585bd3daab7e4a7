#include "app/AppDelegate.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include "app/OpenSettingsHandler.h"
#include "app/PiPControl.h"
#include "platform/Application.h"
#include "platform/Notifications.h"
#include "platform/Permissions.h"
#include "platform/Scheduler.h"
#include "platform/TitledWindow.h"

namespace mirano {

namespace {
constexpr double kAccessibilityPollSeconds = 1.0;
constexpr double kSecondActivationDelay = 0.1;
constexpr double kZoomInFactor = 0.85;
}  // namespace

AppDelegate::AppDelegate(AppDelegateServices services, QObject* parent)
    : QObject(parent),
      services_(std::move(services)),
      actions_(services_.permissions, services_.pip) {}

AppDelegate::~AppDelegate() {
    if (observingWindows_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool AppDelegate::isSettingsLike(const QWidget* window) { return isTitledActivatingWindow(window); }

void AppDelegate::applicationDidFinishLaunching() {
    services_.application.setActivationPolicy(ActivationPolicy::accessory);
    services_.notifications.requestAuthorization();
    setupWindowObservers();
    checkPermissions();
}

void AppDelegate::setupWindowObservers() {
    // One application-wide filter sees activation (became main), show/paint (did update) and
    // close (will close) of every window.
    if (observingWindows_ || !QCoreApplication::instance()) return;
    QCoreApplication::instance()->installEventFilter(this);
    observingWindows_ = true;
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (!widget->isWindow()) return false;
    switch (event->type()) {
        case QEvent::WindowActivate:
            handleWindowDidBecomeMain(widget);
            break;
        case QEvent::Show:
        case QEvent::Paint:
        case QEvent::UpdateRequest:
            handleWindowDidUpdate(widget);
            break;
        case QEvent::Close:
            handleWindowWillClose(widget);
            break;
        default:
            break;
    }
    return false;
}

void AppDelegate::handleWindowDidBecomeMain(QWidget* window) {
    if (isSettingsLike(window)) activateForSettingsWindow(window);
}

void AppDelegate::handleWindowDidUpdate(QWidget* window) {
    // Did-update arrives very often: activate once per opening.
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
    if (!permissions.hasKeyboardAccess()) {
        permissions.checkKeyboardAccess(true);
        QPointer<AppDelegate> self(this);
        accessibilityTimer_.reset();
        accessibilityTimer_ = services_.scheduler.schedule(kAccessibilityPollSeconds, true, [self] {
            if (self) self->accessibilityPollTick();
        });
        return;
    }
    if (!permissions.canCapture()) {
        permissions.askForCapture();
        return;
    }
    setupHotkeyManager();
}

void AppDelegate::accessibilityPollTick() {
    if (!services_.permissions.hasKeyboardAccess()) return;
    // The timer is running this very task: invalidate it, destroy it afterwards.
    std::unique_ptr<Timer> timer = std::move(accessibilityTimer_);
    if (timer) timer->invalidate();
    services_.notifications.post(QString::fromUtf8(kGrantedTitle), QString::fromUtf8(kGrantedBody));
    if (services_.permissions.canCapture())
        setupHotkeyManager();
    else
        services_.permissions.askForCapture();
    services_.scheduler.post([timer = std::shared_ptr<Timer>(std::move(timer))] {});
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
    disconnect(&pip, &PiPControl::hoverStateChanged, this, nullptr);
    hotkeyManager_ = services_.makeHotkeys ? services_.makeHotkeys(std::move(b)) : nullptr;
    if (!hotkeyManager_) return;
    connect(&pip, &PiPControl::hoverStateChanged, this, [this] {
        if (hotkeyManager_) hotkeyManager_->refreshGrabs();
    });
    hotkeyManager_->start();
}

void AppDelegate::applicationWillTerminate() {
    if (accessibilityTimer_) {
        accessibilityTimer_->invalidate();
        accessibilityTimer_.reset();
    }
    if (observingWindows_ && QCoreApplication::instance()) {
        QCoreApplication::instance()->removeEventFilter(this);
        observingWindows_ = false;
    }
    disconnect(&services_.pip, &PiPControl::hoverStateChanged, this, nullptr);
    if (hotkeyManager_) hotkeyManager_->stop();
    actions_.shutdown();
}

}  // namespace mirano
