// Takes Mirano from launch to listening for hotkeys (or the desktop's shortcuts), keeps the
// settings window reachable, and tears the hotkeys and the PiP down at quit.
#pragma once

#include <QObject>
#include <memory>

#include "app/HotkeyActions.h"
#include "app/HotkeyService.h"

class QWidget;

namespace mirano {

class AppSettings;
class Application;
class GlobalShortcuts;
class Notifications;
class Permissions;
class PiPControl;
class Scheduler;

/// Creates the desktop's global shortcuts, not bound yet; null where there are none.
using GlobalShortcutsFactory = std::function<std::unique_ptr<GlobalShortcuts>()>;

/// The services the delegate works with; all outlive it.
struct AppDelegateServices {
    Application& application;
    Notifications& notifications;
    Permissions& permissions;
    Scheduler& scheduler;
    AppSettings& settings;
    PiPControl& pip;
    HotkeyServiceFactory makeHotkeys;
    GlobalShortcutsFactory makeShortcuts;
};

/// Main thread only.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(AppDelegateServices services, QObject* parent = nullptr);
    ~AppDelegate() override;

    /// Accessory policy, notification authorisation, window observers, one look at the
    /// permissions (what the X server offers does not change while Mirano runs), then the
    /// desktop's shortcuts.
    void start();
    /// Stops the observers, the hotkeys, the desktop's shortcuts and any PiP.
    void stop();

    /// Notifications of the windows in TitledWindowWatch.
    void handleWindowDidBecomeMain(QWidget* window);
    void handleWindowDidUpdate(QWidget* window);
    void handleWindowWillClose(QWidget* window);

    /// A titled window that can become active: our settings window, never a panel or popup.
    static bool isSettingsLike(const QWidget* window);

    // State, for observers and tests.
    HotkeyService* hotkeyManager() const { return hotkeyManager_.get(); }
    bool settingsBecameMain() const { return settingsBecameMain_; }
    HotkeyActions& hotkeyActions() { return actions_; }

private:
    void setupWindowObservers();
    void removeWindowObservers();
    void checkPermissions();
    void setupHotkeyManager();
    void bindGlobalShortcuts();
    /// Offers the settings' hotkey to the desktop's shortcuts.
    void offerHotkey();
    void activateForSettingsWindow(QWidget* window);

    AppDelegateServices services_;
    HotkeyActions actions_;
    std::unique_ptr<HotkeyService> hotkeyManager_;
    std::unique_ptr<GlobalShortcuts> shortcuts_;
    bool settingsBecameMain_ = false;
};

}  // namespace mirano
