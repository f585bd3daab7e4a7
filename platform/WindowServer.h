// The window-server calls that make a process and one of its windows frontmost and key.
#pragma once

#include "platform/Types.h"

#include <array>
#include <cstdint>

namespace mirano {

/// Two 32-bit words identifying a process to the window server.
struct ProcessSerialNumber {
    std::uint32_t highLongOfPSN = 0;
    std::uint32_t lowLongOfPSN = 0;
    bool operator==(const ProcessSerialNumber&) const = default;
};

using OSStatus = std::int32_t;
inline constexpr OSStatus kNoErr = 0;
/// No process with that id.
inline constexpr OSStatus kProcNotFound = -600;

/// Options of setFrontProcessWithOptions() used to bring one window forward.
inline constexpr std::uint32_t kSetFrontUserGenerated = 0x200;

/// The window event record posted to a process: exactly 248 bytes.
inline constexpr std::size_t kWindowEventRecordSize = 248;
using WindowEventRecord = std::array<std::uint8_t, kWindowEventRecordSize>;

class WindowServer {
public:
    virtual ~WindowServer() = default;
    /// Fills `psn` for the process; kNoErr on success.
    virtual OSStatus getProcessForPID(ProcessID pid, ProcessSerialNumber& psn) = 0;
    /// Makes the process frontmost with that window. The result is not read.
    virtual void setFrontProcessWithOptions(const ProcessSerialNumber& psn, WindowNumber windowID,
                                            std::uint32_t options) = 0;
    /// Posts the event record to the process. The result is not read.
    virtual void postEventRecord(const ProcessSerialNumber& psn,
                                 const WindowEventRecord& record) = 0;
};

}  // namespace mirano
