// A window server that records its calls and answers GetProcessForPID as scripted.
#pragma once

#include "platform/WindowServer.h"
#include "tests/fakes/CallLog.h"

#include <tuple>
#include <vector>

namespace mirano::fakes {

class FakeWindowServer final : public WindowServer {
public:
    OSStatus processStatus = kNoErr;
    /// Written into the serial number on success.
    ProcessSerialNumber processSerial{0, 4242};
    std::vector<ProcessID> lookups;
    std::vector<std::tuple<ProcessSerialNumber, WindowNumber, std::uint32_t>> setFronts;
    std::vector<std::pair<ProcessSerialNumber, WindowEventRecord>> records;
    /// The serial number as it was handed in to the lookup (to check it was zeroed).
    std::vector<ProcessSerialNumber> serialsBeforeLookup;
    CallLog* log = nullptr;

    OSStatus getProcessForPID(ProcessID pid, ProcessSerialNumber& psn) override {
        logCall(log, QStringLiteral("getProcessForPID %1").arg(pid));
        lookups.push_back(pid);
        serialsBeforeLookup.push_back(psn);
        if (processStatus == kNoErr) psn = processSerial;
        return processStatus;
    }
    void setFrontProcessWithOptions(const ProcessSerialNumber& psn, WindowNumber windowID,
                                    std::uint32_t options) override {
        logCall(log, QStringLiteral("setFront %1 0x%2").arg(windowID).arg(options, 0, 16));
        setFronts.emplace_back(psn, windowID, options);
    }
    void postEventRecord(const ProcessSerialNumber& psn, const WindowEventRecord& record) override {
        logCall(log, QStringLiteral("postEventRecord"));
        records.emplace_back(psn, record);
    }
};

}  // namespace mirano::fakes
