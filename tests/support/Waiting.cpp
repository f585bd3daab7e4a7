#include "tests/support/Waiting.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include "capture/StreamManager.h"

namespace mirano::testing {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

std::optional<Error> await(const std::function<void(Completion)>& op) {
    bool done = false;
    std::optional<Error> error;
    op([&](std::optional<Error> e) { done = true, error = e; });
    EXPECT_TRUE(waitUntil([&] { return done; }, 10000)) << "operation did not complete";
    return error;
}

std::optional<Error> startCaptureOnceListed(StreamManager& stream, WindowNumber id,
                                            std::optional<std::int64_t> w,
                                            std::optional<std::int64_t> h, QRectF rect) {
    std::optional<Error> error;
    waitUntil([&] {
        return !(error = await([&](Completion d) { stream.startCapture(id, w, h, rect, d); }));
    });
    return error;
}

}  // namespace mirano::testing
