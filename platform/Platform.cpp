// The platform's services, each built once from its factory.
#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Application.h"
#include "platform/Autostart.h"
#include "platform/Backend.h"
#include "platform/CaptureService.h"
#include "platform/DefaultsStore.h"
#include "platform/DesktopServices.h"
#include "platform/EventTap.h"
#include "platform/KeyboardLayout.h"
#include "platform/Notifications.h"
#include "platform/PanelWindowSystem.h"
#include "platform/Permissions.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "platform/Taskbar.h"
#include "platform/Windows.h"

namespace mirano {

namespace {

Platform* gReal = nullptr;

/// The service in `slot`, built by `make` the first time.
template <typename T, typename Make>
T& once(std::unique_ptr<T>& slot, Make make) {
    if (!slot) slot = make();
    return *slot;
}

}  // namespace

Platform::Platform(std::unique_ptr<Backend> backend, std::unique_ptr<DesktopServices> desktop)
    : backend_(std::move(backend)), desktop_(std::move(desktop)) {}

Platform::~Platform() = default;

Platform& Platform::startReal(std::unique_ptr<Backend> backend,
                              std::unique_ptr<DesktopServices> desktop) {
    if (!gReal) gReal = new Platform(std::move(backend), std::move(desktop));
    return *gReal;
}

Platform& Platform::real() {
    if (!gReal) {
        // A programming error: the program's entry starts the platform before anything else.
        std::fputs("mirano: the platform was used before it was started\n", stderr);
        std::abort();
    }
    return *gReal;
}

Scheduler& Platform::scheduler() {
    return once(scheduler_, [this] { return desktop_->makeScheduler(); });
}

DefaultsStore& Platform::defaults() {
    return once(defaults_, [this] { return desktop_->makeDefaults(); });
}

Notifications& Platform::notifications() {
    return once(notifications_, [this] { return desktop_->makeNotifications(); });
}

Autostart& Platform::autostart() {
    return once(autostart_, [this] { return desktop_->makeAutostart(); });
}

Screens& Platform::screens() {
    return once(screens_, [this] { return desktop_->makeScreens(); });
}

Application& Platform::application() {
    once(taskbar_, [this] { return backend_->makeTaskbar(); });
    return once(application_, [this] { return desktop_->makeApplication(*taskbar_); });
}

KeyboardLayout& Platform::keyboardLayout() {
    return once(keyboardLayout_, [this] { return backend_->makeKeyboardLayout(); });
}

std::unique_ptr<EventTap> Platform::makeEventTap() { return backend_->makeEventTap(); }

Windows& Platform::windows() {
    return once(windows_, [this] { return backend_->makeWindows(); });
}

PanelWindowSystem& Platform::panelWindowSystem() {
    return once(panelWindowSystem_, [this] { return backend_->makePanelWindowSystem(); });
}

CaptureService& Platform::captureService() {
    return once(captureService_, [this] { return backend_->makeCaptureService(scheduler()); });
}

Permissions& Platform::permissions() {
    return once(permissions_, [this] { return backend_->makePermissions(notifications()); });
}

}  // namespace mirano
