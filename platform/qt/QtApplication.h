// The application object on Qt: activation policy, activation and termination.
#pragma once

#include <QMetaObject>
#include <QPointer>

#include "platform/Application.h"

class QWidget;

namespace mirano {

class Taskbar;

/// Accessory: Mirano's titled windows stay off the taskbar; regular: they appear in it.
/// Panels (frameless, non-activating windows) manage their own taskbar state and are never
/// touched here. Main thread only.
class QtApplication final : public Application {
public:
    /// Lists and unlists windows in the taskbar through `taskbar`, which must outlive it.
    explicit QtApplication(Taskbar& taskbar);
    ~QtApplication() override;

    void setActivationPolicy(ActivationPolicy policy) override;
    ActivationPolicy activationPolicy() const override { return policy_; }
    /// Raises and focuses one window: the titled window that last had the focus, if visible.
    void activate() override;
    /// Quits the event loop; QCoreApplication::aboutToQuit runs the termination sequence.
    void terminate() override;

private:
    void applyTaskbarState(QWidget* window) const;

    Taskbar& taskbar_;
    ActivationPolicy policy_ = ActivationPolicy::regular;
    QPointer<QWidget> lastActive_;
    QMetaObject::Connection focusConnection_;
};

}  // namespace mirano
