// Starting at login as a flag, with a scripted refusal.
#pragma once

#include "platform/Autostart.h"

namespace mirano::fakes {

class FakeAutostart final : public Autostart {
public:
    bool isEnabled() const override { return enabled; }
    QString setEnabled(bool on) override {
        if (refusal.isEmpty()) enabled = on;
        return refusal;
    }

    bool enabled = false;
    /// While not empty, every change is refused with it.
    QString refusal;
};

}  // namespace mirano::fakes
