// The application object: activation policy, activation and termination.
#pragma once

namespace mirano {

/// Regular: Mirano's windows show in the taskbar; accessory: they stay off it.
enum class ActivationPolicy { regular = 0, accessory = 1 };

class Application {
public:
    virtual ~Application() = default;
    virtual void setActivationPolicy(ActivationPolicy policy) = 0;
    virtual ActivationPolicy activationPolicy() const = 0;
    /// Makes Mirano the active application. When one of its windows already has the focus
    /// nothing happens; otherwise only its most recently active titled window is brought
    /// forward, so that no activation can set off another.
    virtual void activate() = 0;
    /// Ends the process through the normal termination path.
    virtual void terminate() = 0;
};

}  // namespace mirano
