// A workspace with a scripted frontmost application and running applications.
#pragma once

#include "platform/Workspace.h"
#include "tests/fakes/CallLog.h"

#include <map>
#include <utility>
#include <vector>

namespace mirano::fakes {

class FakeWorkspace final : public Workspace {
public:
    std::optional<ProcessID> frontmostPID;
    std::map<ProcessID, RunningApplication> applications;
    std::vector<std::pair<ProcessID, unsigned>> activations;
    CallLog* log = nullptr;

    /// Adds a running application (bundle identifier optional).
    void addApplication(ProcessID pid, std::optional<QString> bundleID = std::nullopt) {
        applications[pid] = RunningApplication{pid, std::move(bundleID)};
    }
    /// Makes `pid` frontmost and sends the activation notification.
    void activateFromOutside(ProcessID pid) {
        frontmostPID = pid;
        emit didActivateApplication(ActivationNotification{pid});
    }
    void changeSpace() { emit activeSpaceDidChange(); }

    std::optional<ProcessID> frontmostApplicationPID() override {
        logCall(log, QStringLiteral("frontmostApplication"));
        return frontmostPID;
    }
    std::optional<RunningApplication> runningApplication(ProcessID pid) override {
        logCall(log, QStringLiteral("runningApplication %1").arg(pid));
        const auto it = applications.find(pid);
        if (it == applications.end()) return std::nullopt;
        return it->second;
    }
    void activate(const RunningApplication& application, unsigned options) override {
        logCall(log, QStringLiteral("activate %1 %2").arg(application.pid).arg(options));
        activations.emplace_back(application.pid, options);
    }
};

}  // namespace mirano::fakes
