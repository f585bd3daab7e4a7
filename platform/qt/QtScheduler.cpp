#include "platform/qt/QtScheduler.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cmath>

#include "platform/qt/QueuedCall.h"

namespace mirano {

namespace {

class QtTimer final : public Timer {
public:
    QtTimer(double seconds, bool repeats, std::function<void()> task)
        : timer_(new QTimer), task_(std::move(task)) {
        timer_->setSingleShot(!repeats);
        timer_->setTimerType(Qt::PreciseTimer);
        timer_->setInterval(static_cast<int>(std::lround(seconds * 1000.0)));
        QObject::connect(timer_, &QTimer::timeout, [this] {
            if (timer_->isSingleShot()) valid_ = false;
            // Copy: the task may destroy this timer.
            auto task = task_;
            task();
        });
        timer_->start();
    }
    // The owner may drop a timer from inside its own task, that is while the QTimer is
    // emitting: let Qt delete it once the emission is over.
    ~QtTimer() override {
        timer_->stop();
        QObject::disconnect(timer_, nullptr, nullptr, nullptr);
        timer_->deleteLater();
    }

    void invalidate() override {
        valid_ = false;
        timer_->stop();
    }
    bool isValid() const override { return valid_; }

private:
    QTimer* timer_;
    std::function<void()> task_;
    bool valid_ = true;
};

}  // namespace

QtScheduler::QtScheduler(QObject* context) : context_(std::make_shared<Context>()) {
    context_->object = context ? context : QCoreApplication::instance();
    if (!context_->object) return;
    // Runs in the destroying thread before the object is gone; a post racing with it
    // either completes first (holding the lock) or sees no object.
    destroyedConnection_ =
        QObject::connect(context_->object, &QObject::destroyed, [state = context_] {
            const std::lock_guard lock(state->mutex);
            state->object = nullptr;
        });
}

QtScheduler::~QtScheduler() { QObject::disconnect(destroyedConnection_); }

void QtScheduler::post(std::function<void()> task) {
    const std::lock_guard lock(context_->mutex);
    if (!context_->object) return;
    postQueued(context_->object, std::move(task));
}

void QtScheduler::postAfter(double seconds, std::function<void()> task) {
    const int ms = static_cast<int>(std::lround(seconds * 1000.0));
    const std::lock_guard lock(context_->mutex);
    QObject* ctx = context_->object;
    if (!ctx) return;
    postQueued(ctx, [ctx, ms, task = std::move(task)] { QTimer::singleShot(ms, ctx, task); });
}

std::unique_ptr<Timer> QtScheduler::schedule(double seconds, bool repeats,
                                             std::function<void()> task) {
    return std::make_unique<QtTimer>(seconds, repeats, std::move(task));
}

double QtScheduler::now() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace mirano
