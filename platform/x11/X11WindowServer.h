// The window-server calls on X11: activation requests and input focus.
#pragma once

#include "platform/WindowServer.h"

namespace mirano::x11 {

class X11Desktop;

/// The serial number is {0, pid} for a live process; the posted record is decoded (window
/// number in bytes 60-63, byte 8 = 0x01 "make key") and applied as input focus.
class X11WindowServer final : public WindowServer {
public:
    explicit X11WindowServer(X11Desktop& desktop);

    OSStatus getProcessForPID(ProcessID pid, ProcessSerialNumber& psn) override;
    void setFrontProcessWithOptions(const ProcessSerialNumber& psn, WindowNumber windowID,
                                    std::uint32_t options) override;
    void postEventRecord(const ProcessSerialNumber& psn, const WindowEventRecord& record) override;

    /// The window a record asks to make key, or nothing when it asks for something else.
    static std::optional<WindowNumber> keyWindowOf(const WindowEventRecord& record);

private:
    X11Desktop& desktop_;
};

}  // namespace mirano::x11
