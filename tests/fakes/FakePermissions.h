// Permissions with scripted answers; counts the requests.
#pragma once

#include "platform/Permissions.h"

namespace mirano::fakes {

struct FakePermissions final : Permissions {
    bool trusted = true, captureAllowed = true;
    int trustPrompts = 0, captureRequests = 0;

    bool checkKeyboardAccess(bool prompt) override {
        if (prompt && !trusted) ++trustPrompts;
        return trusted;
    }
    bool canCapture() override { return captureAllowed; }
    bool askForCapture() override {
        ++captureRequests;
        return captureAllowed;
    }
};

}  // namespace mirano::fakes
