#include "platform/qt/QueuedCall.h"

#include <mutex>

namespace mirano {
namespace {

// Qt's own queue lock is invisible to ThreadSanitizer (Qt is not built with it), so a task
// written by one thread and run by another would look like a race. Holding this lock while
// posting, and taking it once before the task runs, orders the two in a way it can see; it
// is never contended for longer than one post.
std::mutex handOff;

}  // namespace

void postQueued(QObject* receiver, std::function<void()> task) {
    const std::lock_guard lock(handOff);
    QMetaObject::invokeMethod(
        receiver,
        [task = std::move(task)] {
            { const std::lock_guard seen(handOff); }
            task();
        },
        Qt::QueuedConnection);
}

}  // namespace mirano
