// Makes a window frontmost and key through the window manager and the X server.
#include "platform/x11/X11WindowServer.h"

#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Workspace.h"

namespace mirano::x11 {

X11WindowServer::X11WindowServer(X11Desktop& desktop) : desktop_(desktop) {}

OSStatus X11WindowServer::getProcessForPID(ProcessID pid, ProcessSerialNumber& psn) {
    if (!X11Workspace::processExists(pid)) return kProcNotFound;
    psn = ProcessSerialNumber{0, static_cast<std::uint32_t>(pid)};
    return kNoErr;
}

void X11WindowServer::setFrontProcessWithOptions(const ProcessSerialNumber& /*psn*/,
                                                 WindowNumber windowID, std::uint32_t /*options*/) {
    desktop_.requestActivate(windowID);
}

std::optional<WindowNumber> X11WindowServer::keyWindowOf(const WindowEventRecord& record) {
    if (record[8] != 0x01) return std::nullopt;
    const WindowNumber id = (WindowNumber{record[60]} << 24) | (WindowNumber{record[61]} << 16) |
                            (WindowNumber{record[62]} << 8) | WindowNumber{record[63]};
    if (id == 0) return std::nullopt;
    return id;
}

void X11WindowServer::postEventRecord(const ProcessSerialNumber& /*psn*/,
                                      const WindowEventRecord& record) {
    if (const auto window = keyWindowOf(record)) desktop_.setInputFocus(*window);
}

}  // namespace mirano::x11
