// Takes Mirano from launch to listening for hotkeys, keeps the settings window reachable, and
// tears the hotkeys and the PiP down at quit.
#pragma once

#include <QObject>
#include <memory>

#include "app/HotkeyActions.h"
#include "app/HotkeyService.h"

class QWidget;

namespace mirano {

class Application;
class Notifications;
class Permissions;
class PiPControl;
class Scheduler;
class Timer;

/// The services the delegate works with; all outlive it.
struct AppDelegateServices {
    Application& application;
    Notifications& notifications;
    Permissions& permissions;
    Scheduler& scheduler;
    PiPControl& pip;
    HotkeyServiceFactory makeHotkeys;
};

/// Main thread only.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(AppDelegateServices services, QObject* parent = nullptr);
    ~AppDelegate() override;

    /// Accessory policy, notification authorisation, window observers, then permissions.
    void applicationDidFinishLaunching();
    /// Stops the poll, the observers, the hotkeys and any PiP.
    void applicationWillTerminate();

    /// Window notifications (the application-wide event filter calls these).
    void handleWindowDidBecomeMain(QWidget* window);
    void handleWindowDidUpdate(QWidget* window);
    void handleWindowWillClose(QWidget* window);

    /// A titled window that can become active: our settings window, never a panel or popup.
    static bool isSettingsLike(const QWidget* window);

    // State, for observers and tests.
    HotkeyService* hotkeyManager() const { return hotkeyManager_.get(); }
    bool isWaitingForAccessibility() const { return accessibilityTimer_ != nullptr; }
    bool settingsBecameMain() const { return settingsBecameMain_; }
    HotkeyActions& hotkeyActions() { return actions_; }

    static inline const char* kGrantedTitle = "Accessibility Granted";
    static inline const char* kGrantedBody = "Mirano now has Accessibility permissions.";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupWindowObservers();
    void checkPermissions();
    void accessibilityPollTick();
    void setupHotkeyManager();
    void activateForSettingsWindow(QWidget* window);

    AppDelegateServices services_;
    HotkeyActions actions_;
    std::unique_ptr<HotkeyService> hotkeyManager_;
    std::unique_ptr<Timer> accessibilityTimer_;
    bool observingWindows_ = false;
    bool settingsBecameMain_ = false;
};

}  // namespace mirano
