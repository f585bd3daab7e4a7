// The process-wide capture service.
#include <QCoreApplication>

#include "platform/Platform.h"
#include "platform/x11/X11CaptureService.h"

namespace mirano {

CaptureService& Platform::captureService() {
    // Kept until the process ends, but its thread stops with the main event loop: nothing may
    // be posted to a loop that has ended, nor run while the application object goes.
    static auto* service = [] {
        auto* s = new x11::X11CaptureService(Platform::real().scheduler());
        if (auto* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, [s] { s->shutDown(); });
        return s;
    }();
    return *service;
}

}  // namespace mirano
