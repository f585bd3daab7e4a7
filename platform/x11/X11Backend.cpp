// The X11 services, built on request of the platform.
#include "platform/x11/X11Backend.h"

#include <QCoreApplication>

#include "platform/x11/X11CaptureService.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11EventTap.h"
#include "platform/x11/X11PanelWindowSystem.h"
#include "platform/x11/X11Permissions.h"
#include "platform/x11/X11Taskbar.h"
#include "platform/x11/X11Windows.h"
#include "platform/x11/XkbKeyboardLayout.h"

namespace mirano::x11 {

X11Backend::X11Backend() = default;

X11Backend::~X11Backend() { QObject::disconnect(captureShutdown_); }

bool X11Backend::canRun() const { return !qEnvironmentVariableIsEmpty("DISPLAY"); }

void X11Backend::prepareApplication() {
    // Every service works on X11 windows, so Qt's must be X11 windows too; under Wayland they
    // are XWayland's.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
}

QString X11Backend::sessionName() const {
    return sessionOfDisplay(qEnvironmentVariable("DISPLAY"));
}

QString X11Backend::sessionOfDisplay(const QString& display) {
    QString session = display.trimmed();
    const qsizetype colon = session.lastIndexOf(':');
    const qsizetype dot = session.indexOf('.', colon < 0 ? 0 : colon);
    if (colon >= 0 && dot > colon) session.truncate(dot);
    if (session.startsWith(QLatin1String("unix:"))) session.remove(0, 4);
    return session;
}

X11Desktop& X11Backend::desktop() {
    if (!desktop_) desktop_ = std::make_unique<X11Desktop>();
    return *desktop_;
}

std::unique_ptr<Windows> X11Backend::makeWindows() {
    return std::make_unique<X11Windows>(desktop());
}

std::unique_ptr<KeyboardLayout> X11Backend::makeKeyboardLayout() {
    return std::make_unique<XkbKeyboardLayout>();
}

std::unique_ptr<EventTap> X11Backend::makeEventTap() { return std::make_unique<X11EventTap>(); }

std::unique_ptr<CaptureService> X11Backend::makeCaptureService(Scheduler& scheduler) {
    auto service = std::make_unique<X11CaptureService>(scheduler);
    // Nothing may be posted to a loop that has ended, nor run while the application object goes.
    // The platform destroys the service before the backend, which then drops this connection.
    if (auto* app = QCoreApplication::instance())
        captureShutdown_ = QObject::connect(app, &QCoreApplication::aboutToQuit,
                                            [s = service.get()] { s->shutDown(); });
    return service;
}

std::unique_ptr<Permissions> X11Backend::makePermissions(Notifications& notifications) {
    return std::make_unique<X11Permissions>(desktop(), notifications);
}

std::unique_ptr<PanelWindowSystem> X11Backend::makePanelWindowSystem() {
    return std::make_unique<X11PanelWindowSystem>();
}

std::unique_ptr<Taskbar> X11Backend::makeTaskbar() { return std::make_unique<X11Taskbar>(); }

}  // namespace mirano::x11
