// Runs a task on a QObject's thread from any thread.
#pragma once

#include <QObject>
#include <functional>

namespace mirano {

/// Queues `task` to run in `receiver`'s thread, after the events already queued there.
void postQueued(QObject* receiver, std::function<void()> task);

}  // namespace mirano
