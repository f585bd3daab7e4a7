// The Wayland services, built on request of the platform.
#include "platform/wayland/WaylandBackend.h"

#include <QDBusConnection>
#include <QDir>

#include "platform/PanelWindowSystem.h"
#include "platform/Windows.h"
#include "platform/wayland/DesktopProbe.h"
#include "platform/wayland/WaylandCaptureService.h"
#include "platform/wayland/WaylandEventTap.h"
#include "platform/wayland/WaylandPermissions.h"
#include "platform/wayland/WaylandShell.h"
#include "platform/wayland/WaylandTaskbar.h"
#include "platform/wayland/XkbNamesLayout.h"
#include "platform/wayland/portal/PortalShortcuts.h"
#include "platform/wayland/toplevels/ToplevelList.h"

namespace mirano::wayland {

WaylandBackend::WaylandBackend() = default;

WaylandBackend::~WaylandBackend() = default;

bool WaylandBackend::canRun() const { return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"); }

void WaylandBackend::prepareApplication() {
    // Every service works on Wayland surfaces, so Qt's windows must be Wayland surfaces too, even
    // where the session asks Qt applications for XWayland.
    qputenv("QT_QPA_PLATFORM", "wayland");
    prepareQtForPanels();
}

QString WaylandBackend::sessionName() const {
    return sessionOfSocket(qEnvironmentVariable("WAYLAND_DISPLAY"),
                           qEnvironmentVariable("XDG_RUNTIME_DIR"));
}

QString WaylandBackend::sessionOfSocket(const QString& display, const QString& runtimeDir) {
    const QString socket = display.trimmed();
    if (socket.isEmpty() || QDir::isAbsolutePath(socket)) return socket;
    return QDir::cleanPath(runtimeDir + QLatin1Char('/') + socket);
}

const DesktopCapabilities& WaylandBackend::capabilities() {
    if (!capabilities_) {
        capabilities_ = decideCapabilities(probeDesktop());
        logLine(capabilities_->summary);
    }
    return *capabilities_;
}

std::shared_ptr<ToplevelList> WaylandBackend::toplevels() {
    if (!toplevels_) toplevels_ = std::make_shared<ToplevelList>();
    return toplevels_;
}

std::unique_ptr<Windows> WaylandBackend::makeWindows() {
    auto windows = wayland::makeWindows(capabilities().focus, toplevels());
    windows_ = windows.get();
    return windows;
}

std::unique_ptr<KeyboardLayout> WaylandBackend::makeKeyboardLayout() {
    return std::make_unique<XkbNamesLayout>();
}

std::unique_ptr<EventTap> WaylandBackend::makeEventTap() {
    return std::make_unique<WaylandEventTap>(
        noKeysLog_, capabilities().shortcut == ShortcutRoute::globalShortcutsPortal);
}

std::unique_ptr<CaptureService> WaylandBackend::makeCaptureService(Scheduler& scheduler) {
    capabilities();
    return std::make_unique<WaylandCaptureService>(
        scheduler, [this] { return windows_ ? windows_->listedWindows() : QList<SourceWindow>(); });
}

std::unique_ptr<Permissions> WaylandBackend::makePermissions(Notifications& notifications) {
    return std::make_unique<WaylandPermissions>(capabilities().captureProblem, notifications);
}

std::unique_ptr<PanelWindowSystem> WaylandBackend::makePanelWindowSystem() {
    return wayland::makePanelWindowSystem(capabilities().panel);
}

std::unique_ptr<Taskbar> WaylandBackend::makeTaskbar() {
    return std::make_unique<WaylandTaskbar>();
}

std::unique_ptr<GlobalShortcuts> WaylandBackend::makeGlobalShortcuts() {
    if (capabilities().shortcut != ShortcutRoute::globalShortcutsPortal) return nullptr;
    return std::make_unique<PortalShortcuts>(QDBusConnection::sessionBus());
}

}  // namespace mirano::wayland
