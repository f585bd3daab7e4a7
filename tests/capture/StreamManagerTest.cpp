// StreamManager on the fake capture service: states, size arithmetic, failures and delivery.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "capture/StreamManager.h"
#include "platform/CaptureService.h"
#include "tests/fakes/FakeCaptureService.h"
#include "tests/fakes/ManualScheduler.h"
#include "tests/fakes/MemoryDefaultsStore.h"

using namespace mirano;
using namespace mirano::fakes;

namespace {

const Error kServiceError{QStringLiteral("service said no")};

/// One completion's error, once it has run.
using Result = std::optional<std::optional<Error>>;
Completion recordIn(Result& r) {
    return [&r](std::optional<Error> e) { r = std::move(e); };
}
bool ok(const Result& r) { return r && !*r; }
using Size = std::pair<std::int64_t, std::int64_t>;

/// What the controller reads from the manager: active, has a stream, the window, the source
/// rectangle, the output size.
using State = std::tuple<bool, bool, std::optional<WindowNumber>, QRectF, Size>;

/// The configuration every stream gets, with the given size, rectangle and frame rate.
StreamConfiguration config(std::int64_t w, std::int64_t h, QRectF rect, int fps) {
    return {.sourceRect = rect, .minimumFrameInterval = 1.0 / fps, .width = w, .height = h};
}

struct StreamManagerTest : ::testing::Test, fakes::MemorySettings {
    StreamManagerTest() : service(scheduler) {
        settings.setFrameRate(10);
        service.addWindow(0x400001, 640, 400);
        service.addWindow(0x500001, 801.7, 0.4);
        manager = std::make_shared<StreamManager>(service, settings, scheduler);
    }

    /// Calls `op(args..., completion)` on the manager and drains; returns the completion.
    template <typename Op, typename... Args>
    Result call(Op op, Args... args) {
        Result r;
        ((*manager).*op)(args..., recordIn(r));
        scheduler.drain();
        return r;
    }
    Result start(WindowNumber id, std::optional<std::int64_t> w = std::nullopt,
                 std::optional<std::int64_t> h = std::nullopt, QRectF rect = QRectF()) {
        return call(&StreamManager::startCapture, id, w, h, rect);
    }
    Size output() const { return {manager->lastOutputWidth(), manager->lastOutputHeight()}; }
    State state() const {
        return {manager->isStreamActive(), manager->hasStream(), manager->capturedWindowID(),
                manager->currentSourceRect(), output()};
    }

    fakes::ManualScheduler scheduler;
    FakeCaptureService service;
    std::shared_ptr<StreamManager> manager;
};

TEST_F(StreamManagerTest, MovesThroughCreatedRunningStoppedAndForgotten) {
    // Created: active flag true, nothing else; only a start does anything.
    const State created{true, false, std::nullopt, QRectF(0, 0, 0, 0), {0, 0}};
    for (const Result& r : {call(&StreamManager::restartCapture), call(&StreamManager::stopCapture),
                            call(&StreamManager::updateConfiguration, 10, 10, QRectF(1, 1, 5, 5)),
                            call(&StreamManager::resetSourceRect, 10, 10)})
        EXPECT_TRUE(ok(r));
    manager->stop();
    scheduler.drain();
    EXPECT_EQ(std::tuple(service.windowQueries, service.streams.size(), state()),
              std::tuple(0, 0ul, created));

    // Running.
    ASSERT_TRUE(ok(start(0x400001)) && service.streams.size() == 1u);
    FakeCaptureStream* first = service.lastStream();
    EXPECT_EQ(std::pair(first->window.windowID, service.windowQueries), std::pair(0x400001u, 1));
    EXPECT_EQ(state(), (State{true, true, 0x400001, QRectF(0, 0, 640, 400), {640, 400}}));

    // Stopped, remembered.
    EXPECT_TRUE(ok(call(&StreamManager::stopCapture)) && ok(call(&StreamManager::stopCapture)));
    EXPECT_EQ(std::pair(first->stopCalls, state()),
              std::pair(1, State{false, true, 0x400001, QRectF(0, 0, 640, 400), {640, 400}}))
        << "a second stopCapture does not ask the service again";

    // Back to running through a restart: a new stream.
    EXPECT_TRUE(ok(call(&StreamManager::restartCapture)));
    EXPECT_EQ(std::pair(service.streams.size(), manager->isStreamActive()), std::pair(2ul, true));

    // Forgotten: stream and window go at once (rect and sizes stay); the old stream is
    // stopped in the background.
    manager->stop();
    EXPECT_EQ(state(), (State{false, false, std::nullopt, QRectF(0, 0, 640, 400), {640, 400}}));
    EXPECT_EQ(std::pair(manager->sourceWindowSize(), service.streams[1]->stopCalls),
              std::pair(QSizeF(640, 400), 0));
    manager->stop();
    scheduler.drain();
    EXPECT_EQ(service.streams[1]->stopCalls, 1) << "stopped later, once for two stop() calls";
    EXPECT_TRUE(call(&StreamManager::restartCapture).has_value());
    EXPECT_EQ(std::pair(service.streams.size(), service.windowQueries), std::pair(2ul, 2))
        << "a restart after stop() does nothing";
}

TEST_F(StreamManagerTest, WorksOutSizesAndConfiguration) {
    // Whole window of 801.7 x 0.4 points: sides raised to 1, output truncated, rect zero,
    // requested output sizes ignored.
    ASSERT_TRUE(ok(start(0x500001, 50, 60)));
    EXPECT_EQ(service.lastStream()->initialConfiguration, config(801, 1, QRectF(0, 0, 0, 0), 10));
    EXPECT_EQ(manager->sourceWindowSize(), QSizeF(801.7, 1.0));
    EXPECT_EQ(state(), (State{true, true, 0x500001, QRectF(0, 0, 801.7, 1.0), {801, 1}}));

    // A region without output sizes: its size truncated.
    const QRectF region(10, 20, 300.9, 200.2);
    start(0x400001, std::nullopt, std::nullopt, region);
    EXPECT_EQ(service.lastStream()->initialConfiguration, config(300, 200, region, 10));
    EXPECT_EQ(std::pair(manager->currentSourceRect(), manager->sourceWindowSize()),
              std::pair(region, QSizeF(640, 400)));

    // A region with explicit output sizes, at the frame rate now in the settings.
    settings.setFrameRate(24);
    start(0x400001, 600, 400, region);
    EXPECT_EQ(service.lastStream()->initialConfiguration, config(600, 400, region, 24));
    EXPECT_EQ(output(), Size(600, 400));

    // Sizes of 0 or below are configured as 1 (the stored size is what was asked).
    start(0x400001, 0, -7, region);
    EXPECT_EQ(service.lastStream()->initialConfiguration, config(1, 1, region, 24));
    EXPECT_EQ(manager->lastOutputWidth(), 0);
    call(&StreamManager::updateConfiguration, -1, 0, region);
    EXPECT_EQ(service.lastStream()->updates, std::vector{config(1, 1, region, 24)});

    // A stored frame rate below 1 still gives a valid interval.
    settings.setFrameRate(0);
    EXPECT_EQ(manager->makeConfiguration(5, 5, QRectF()).minimumFrameInterval, 1.0);
}

TEST_F(StreamManagerTest, RestartRebuildsFromStoredValuesAtTheCurrentRate) {
    const QRectF region(10, 20, 300, 200);
    start(0x400001, 600, 400, region);
    call(&StreamManager::restartCapture);
    EXPECT_EQ(std::pair(service.streams.size(), service.windowQueries), std::pair(1ul, 1))
        << "while running, a restart does nothing";

    call(&StreamManager::stopCapture);
    settings.setFrameRate(30);
    manager->setLastOutputWidth(700);  // the controller after a panel resize
    EXPECT_TRUE(ok(call(&StreamManager::restartCapture)));
    ASSERT_EQ(service.streams.size(), 2u);
    const FakeCaptureStream& restarted = *service.lastStream();
    EXPECT_EQ(std::tuple(restarted.window.windowID, restarted.startCalls,
                         restarted.initialConfiguration, manager->isStreamActive()),
              std::tuple(0x400001u, 1, config(700, 400, region, 30), true));

    // A whole-window stream restarts with the stored whole-window rectangle.
    start(0x500001);
    call(&StreamManager::stopCapture);
    call(&StreamManager::restartCapture);
    EXPECT_EQ(service.lastStream()->initialConfiguration, config(801, 1, {0, 0, 801.7, 1}, 30));

    // The window went away while stopped: not found, still stopped and remembered.
    call(&StreamManager::stopCapture);
    service.windows.clear();
    EXPECT_EQ(call(&StreamManager::restartCapture).value(), CaptureError::windowNotFound());
    EXPECT_EQ(service.streams.size(), 4u) << "no stream made";
    EXPECT_EQ(state(), (State{false, true, 0x500001, QRectF(0, 0, 801.7, 1), {801, 1}}));
}

// A stream that can resume (a portal's, whose rebuilding could ask the user again) is configured
// anew and started again, with the rectangle it was given (none: the whole window).
TEST_F(StreamManagerTest, RestartResumesAStreamThatCanResume) {
    service.resumableStreams = true;
    const QRectF region(10, 20, 300, 200);
    for (const auto& [rect, resumed] : {std::pair(QRectF(), config(640, 400, QRectF(), 30)),
                                        std::pair(region, config(300, 200, region, 30))}) {
        settings.setFrameRate(10);
        start(0x400001, 300, 200, rect);
        call(&StreamManager::stopCapture);
        settings.setFrameRate(30);
        EXPECT_TRUE(ok(call(&StreamManager::restartCapture)));
        ASSERT_EQ(service.streams.size(), 1u) << "a new stream was made";
        EXPECT_EQ(std::tuple(service.lastStream()->startCalls, service.lastStream()->updates,
                             manager->isStreamActive()),
                  std::tuple(2, std::vector{resumed}, true));
        manager->stop();
        service.streams.clear();
    }
}

TEST_F(StreamManagerTest, FailuresLeaveTheDocumentedState) {
    // Window not found: the error text, stream and flag untouched.
    start(0x400001, 600, 400, QRectF(0, 0, 320, 200));
    FakeCaptureStream* running = service.lastStream();
    EXPECT_EQ(start(0x999999).value(), CaptureError::windowNotFound());
    EXPECT_EQ(service.streams.size(), 1u);
    EXPECT_EQ(state(), (State{true, true, 0x400001, QRectF(0, 0, 320, 200), {600, 400}}));

    service.contentError = kServiceError;
    EXPECT_EQ(start(0x400001).value(), kServiceError) << "content query errors pass unchanged";
    service.contentError.reset();

    // A failed update changes nothing.
    running->updateError = kServiceError;
    EXPECT_EQ(call(&StreamManager::updateConfiguration, 100, 50, QRectF(5, 5, 50, 25)).value(),
              kServiceError);
    EXPECT_EQ(state(), (State{true, true, 0x400001, QRectF(0, 0, 320, 200), {600, 400}}));
    // A failed reset still leaves the rectangle at the whole window, sizes unchanged.
    EXPECT_TRUE(call(&StreamManager::resetSourceRect, 100, 50).value());
    EXPECT_EQ(state(), (State{true, true, 0x400001, QRectF(0, 0, 640, 400), {600, 400}}));
    EXPECT_EQ(std::pair(running->updates.size(), running->updates.back().sourceRect),
              std::pair(2ul, QRectF(0, 0, 0, 0)));

    // Successful update and reset apply their values.
    running->updateError.reset();
    call(&StreamManager::updateConfiguration, 100, 50, QRectF(5, 5, 50, 25));
    EXPECT_EQ(state(), (State{true, true, 0x400001, QRectF(5, 5, 50, 25), {100, 50}}));
    settings.setFrameRate(5);
    call(&StreamManager::resetSourceRect, 320, 200);
    EXPECT_EQ(state(), (State{true, true, 0x400001, QRectF(0, 0, 640, 400), {320, 200}}));
    EXPECT_EQ(running->configuration.minimumFrameInterval, 1.0 / 5);

    running->stopError = kServiceError;
    EXPECT_TRUE(call(&StreamManager::stopCapture).value());
    EXPECT_TRUE(manager->isStreamActive()) << "a failed stop leaves the flag true";

    // A failed start sets the window fields but keeps the earlier stream and flag.
    running->stopError.reset();
    call(&StreamManager::stopCapture);
    ASSERT_FALSE(manager->isStreamActive());
    service.startError = kServiceError;
    EXPECT_EQ(start(0x500001).value(), kServiceError);
    EXPECT_EQ(state(), (State{false, true, 0x500001, QRectF(0, 0, 801.7, 1), {801, 1}}));
    // stop() ignores the old stream's stop error.
    service.startError.reset();
    start(0x400001);
    service.lastStream()->stopError = kServiceError;
    manager->stop();
    scheduler.drain();
    EXPECT_EQ(std::pair(service.lastStream()->stopCalls, manager->hasStream()),
              std::pair(1, false));
}

TEST_F(StreamManagerTest, CompletesLaterNeverInsideTheCall) {
    Result r, s;
    manager->restartCapture(recordIn(r));
    manager->startCapture(0x400001, std::nullopt, std::nullopt, QRectF(), recordIn(s));
    EXPECT_FALSE(r || s);
    scheduler.drain();
    EXPECT_TRUE(r && s);
    // A pending start keeps the manager alive even when the owner lets go of it.
    service.holdCompletions = true;
    Result late;
    manager->updateConfiguration(10, 10, QRectF(0, 0, 10, 10), recordIn(late));
    std::weak_ptr<StreamManager> weak = manager;
    manager.reset();
    EXPECT_FALSE(weak.expired());
    service.completeHeld();
    scheduler.drain();
    EXPECT_EQ(std::pair(late.has_value(), weak.expired()), std::pair(true, true));
}

TEST_F(StreamManagerTest, HandsScreenFramesToTheMainThreadInOrder) {
    QSignalSpy received(manager.get(), &StreamManager::frameArrived);
    QSignalSpy stops(manager.get(), &StreamManager::stopped);
    start(0x400001);
    FakeCaptureStream* s = service.lastStream();
    const Frame a = fakes::makeMemoryFrame(4, 4, 0xffff0000);
    const Frame b = fakes::makeMemoryFrame(4, 4, 0xff00ff00);

    s->emitFrame(a);
    s->emitFrame(nullptr);  // no image: ignored
    s->emitFrame(b);
    EXPECT_TRUE(received.empty());  // only on the main queue
    scheduler.drain();
    // The same buffers, not copies.
    EXPECT_EQ(received, (QList<QVariantList>{{QVariant::fromValue(a)}, {QVariant::fromValue(b)}}));

    // A stop by the service is reported and changes no field.
    s->emitStop(kServiceError);
    EXPECT_TRUE(stops.empty());
    scheduler.drain();
    EXPECT_EQ(stops, QList<QVariantList>{{QVariant::fromValue(std::optional(kServiceError))}});
    EXPECT_TRUE(manager->isStreamActive() && manager->hasStream());

    // Frames and stops that arrive after the owner dropped the manager go nowhere.
    s->emitFrame(a);
    s->emitStop(std::nullopt);
    std::weak_ptr<StreamManager> weak = manager;
    manager.reset();
    EXPECT_TRUE(weak.expired());  // queued deliveries do not keep it alive
    scheduler.drain();
    EXPECT_EQ(std::pair(received.size(), stops.size()), std::pair(qsizetype(2), qsizetype(1)));
    // The queued frame was held until then and is released now.
    EXPECT_EQ(a.use_count(), 2);  // ours and the one delivered first
}

TEST_F(StreamManagerTest, SessionRequestsRunOneAtATimeAndTheLastWins) {
    manager->open(0x400001, QSizeF(640, 400), std::nullopt, QSize());
    EXPECT_EQ(std::pair(manager->capturedWindowID(), manager->currentSourceRect()),
              std::pair(std::optional<WindowNumber>(0x400001), QRectF(0, 0, 640, 400)))
        << "recorded at once";
    manager->pause();  // waits for the start
    manager->resume();
    scheduler.drain();
    EXPECT_TRUE(manager->isStreamActive()) << "pause then resume: a visible PiP must not freeze";

    manager->pause();
    scheduler.drain();
    const auto made = service.streams.size();
    manager->resume();
    manager->pause();
    scheduler.drain();
    EXPECT_FALSE(manager->isStreamActive()) << "resume then pause: a paused PiP must not capture";

    manager->resume();
    scheduler.drain();
    manager->pause();
    manager->restart();
    scheduler.advance(2);
    EXPECT_FALSE(manager->isStreamActive()) << "a restart due while paused waits for the resume";
    EXPECT_EQ(service.streams.size(), made + 2);

    // Stopped while a new stream starts (a portal's dialog open): the stream is released at
    // once, and its late completion starts nothing and reports nothing.
    manager = std::make_shared<StreamManager>(service, settings, scheduler);
    QSignalSpy started(manager.get(), &StreamManager::started);
    QSignalSpy stopped(manager.get(), &StreamManager::stopped);
    service.holdCompletions = true;
    manager->open(0x400001, QSizeF(640, 400), std::nullopt, QSize());
    scheduler.drain();
    service.completeHeld();  // the window list
    scheduler.drain();
    ASSERT_EQ(service.streams.size(), made + 3);
    manager->stop();
    service.holdCompletions = false;
    service.completeHeld();  // the start
    scheduler.drain();
    EXPECT_EQ(std::tuple(started.count(), stopped.count(), manager->hasStream(),
                         service.streams.back().use_count()),
              std::tuple(0, 0, false, 1l));
}

}  // namespace
