// Builds the Qt services.
#include "platform/qt/QtDesktopServices.h"

#include "platform/qt/DBusNotifications.h"
#include "platform/qt/JsonDefaultsStore.h"
#include "platform/qt/QtApplication.h"
#include "platform/qt/QtScheduler.h"
#include "platform/qt/QtScreens.h"
#include "platform/qt/XdgAutostart.h"

namespace mirano {

std::unique_ptr<Scheduler> QtDesktopServices::makeScheduler() {
    return std::make_unique<QtScheduler>();
}

std::unique_ptr<DefaultsStore> QtDesktopServices::makeDefaults() {
    return std::make_unique<JsonDefaultsStore>(JsonDefaultsStore::defaultPath());
}

std::unique_ptr<Notifications> QtDesktopServices::makeNotifications() {
    return std::make_unique<DBusNotifications>();
}

std::unique_ptr<Screens> QtDesktopServices::makeScreens() { return std::make_unique<QtScreens>(); }

std::unique_ptr<Autostart> QtDesktopServices::makeAutostart() {
    return std::make_unique<XdgAutostart>(XdgAutostart::defaultPath(),
                                          XdgAutostart::runningProgram());
}

std::unique_ptr<Application> QtDesktopServices::makeApplication(Taskbar& taskbar) {
    return std::make_unique<QtApplication>(taskbar);
}

}  // namespace mirano
