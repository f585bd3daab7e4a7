// The process-wide capture service.
#include "platform/Platform.h"
#include "platform/x11/X11CaptureService.h"

namespace mirano {

CaptureService& Platform::captureService() {
    // Leaked on purpose: the capture thread serves streams until the process ends.
    static auto* service = new x11::X11CaptureService(Platform::real().scheduler());
    return *service;
}

}  // namespace mirano
