// Scheduler on the Qt event loop of the main thread.
#pragma once

#include "platform/Scheduler.h"

#include <QObject>
#include <QPointer>

namespace mirano {

class QtScheduler final : public Scheduler {
public:
    /// Tasks run in the thread of `context` (the application object by default).
    explicit QtScheduler(QObject* context = nullptr);
    ~QtScheduler() override;

    void post(std::function<void()> task) override;
    void postAfter(double seconds, std::function<void()> task) override;
    std::unique_ptr<Timer> schedule(double seconds, bool repeats,
                                    std::function<void()> task) override;
    double now() const override;

private:
    QObject* context_;
};

}  // namespace mirano
