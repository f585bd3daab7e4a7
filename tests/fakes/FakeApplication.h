// The application object, recording policy changes, activations and termination.
#pragma once

#include <QList>

#include "platform/Application.h"

namespace mirano::fakes {

struct FakeApplication final : Application {
    void setActivationPolicy(ActivationPolicy p) override { policy = p, policyChanges.append(p); }
    ActivationPolicy activationPolicy() const override { return policy; }
    void activate() override { ++activations; }
    void terminate() override {}

    ActivationPolicy policy = ActivationPolicy::regular;
    QList<ActivationPolicy> policyChanges;
    int activations = 0;
};

}  // namespace mirano::fakes
