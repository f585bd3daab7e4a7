// Scheduler on the Qt event loop of the main thread.
#pragma once

#include <QObject>
#include <memory>
#include <mutex>

#include "platform/Scheduler.h"

namespace mirano {

/// post() may be called from any thread (the capture thread hands its frames over this way).
/// Once the context object is gone (the application object at exit), posted tasks are
/// dropped instead of reaching a destroyed object.
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
    /// Shared with the context's destroyed handler, which may outlive this scheduler.
    struct Context {
        std::mutex mutex;
        QObject* object = nullptr;
    };
    std::shared_ptr<Context> context_;
    QMetaObject::Connection destroyedConnection_;
};

}  // namespace mirano
