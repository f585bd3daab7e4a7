// StreamManager on the fake capture service: states, size arithmetic, failures and delivery.
#include "capture/StreamManager.h"
#include "platform/CaptureService.h"
#include "settings/AppSettings.h"
#include "tests/fakes/FakeCaptureService.h"
#include "tests/fakes/ManualScheduler.h"
#include "tests/fakes/MemoryDefaultsStore.h"

#include <gtest/gtest.h>

using namespace mirano;
using mirano::fakes::FakeCaptureService;
using mirano::fakes::FakeCaptureStream;

namespace {

const Error kServiceError{QStringLiteral("service said no"), QStringLiteral("test")};

/// Records one completion.
struct Result {
    bool called = false;
    std::optional<Error> error;
    Completion callback() {
        return [this](std::optional<Error> e) {
            called = true;
            error = std::move(e);
        };
    }
};

class StreamManagerTest : public ::testing::Test {
protected:
    StreamManagerTest() : settings(store), service(scheduler) {
        settings.setFrameRate(10);
        service.addWindow(0x400001, 640, 400);
        service.addWindow(0x500001, 801.7, 0.4);
        manager = std::make_shared<StreamManager>(service, settings, scheduler);
    }

    /// Starts and drains; returns the completion.
    Result start(WindowNumber id, std::optional<std::int64_t> w = std::nullopt,
                 std::optional<std::int64_t> h = std::nullopt, QRectF rect = QRectF()) {
        Result r;
        manager->startCapture(id, w, h, rect, r.callback());
        scheduler.drain();
        return r;
    }
    template <typename Op>
    Result run(Op op) {
        Result r;
        op(r.callback());
        scheduler.drain();
        return r;
    }

    fakes::ManualScheduler scheduler;
    fakes::MemoryDefaultsStore store;
    AppSettings settings;
    FakeCaptureService service;
    std::shared_ptr<StreamManager> manager;
};

TEST_F(StreamManagerTest, MovesThroughCreatedRunningStoppedAndForgotten) {
    // Created: active flag true, nothing else; only a start does anything.
    EXPECT_TRUE(manager->isStreamActive());
    EXPECT_FALSE(manager->hasStream());
    EXPECT_FALSE(manager->capturedWindowID());
    EXPECT_EQ(manager->lastOutputWidth(), 0);
    EXPECT_EQ(manager->currentSourceRect(), QRectF(0, 0, 0, 0));
    for (auto r : {run([&](Completion d) { manager->restartCapture(d); }),
                   run([&](Completion d) { manager->stopCapture(d); }),
                   run([&](Completion d) { manager->updateConfiguration(10, 10, QRectF(1, 1, 5, 5), d); }),
                   run([&](Completion d) { manager->resetSourceRect(10, 10, d); })}) {
        EXPECT_TRUE(r.called);
        EXPECT_FALSE(r.error);
    }
    manager->stop();
    scheduler.drain();
    EXPECT_TRUE(service.contentQueries.empty());
    EXPECT_TRUE(service.streams.empty());
    EXPECT_TRUE(manager->isStreamActive());
    EXPECT_EQ(manager->currentSourceRect(), QRectF(0, 0, 0, 0));

    // Running.
    auto started = start(0x400001);
    ASSERT_TRUE(started.called);
    EXPECT_FALSE(started.error);
    ASSERT_EQ(service.streams.size(), 1u);
    FakeCaptureStream* first = service.lastStream();
    EXPECT_EQ(first->filter.window.windowID, 0x400001u);
    ASSERT_EQ(first->outputs.size(), 1u);
    EXPECT_EQ(first->outputs[0].first, StreamOutputType::screen);
    EXPECT_EQ(first->startCalls, 1);
    EXPECT_TRUE(manager->hasStream());
    EXPECT_TRUE(manager->isStreamActive());
    EXPECT_EQ(manager->capturedWindowID(), 0x400001u);
    // The whole desktop is asked for: desktop windows not excluded, not only on-screen ones.
    ASSERT_EQ(service.contentQueries.size(), 1u);
    EXPECT_EQ(service.contentQueries[0], std::make_pair(false, false));

    // Stopped, remembered.
    auto stopped = run([&](Completion d) { manager->stopCapture(d); });
    EXPECT_TRUE(stopped.called);
    EXPECT_FALSE(stopped.error);
    EXPECT_EQ(first->stopCalls, 1);
    EXPECT_FALSE(manager->isStreamActive());
    EXPECT_TRUE(manager->hasStream());
    EXPECT_EQ(manager->capturedWindowID(), 0x400001u);
    // A second stopCapture in this state does not ask the service again.
    run([&](Completion d) { manager->stopCapture(d); });
    EXPECT_EQ(first->stopCalls, 1);

    // Back to running through a restart: a new stream.
    auto restarted = run([&](Completion d) { manager->restartCapture(d); });
    EXPECT_FALSE(restarted.error);
    ASSERT_EQ(service.streams.size(), 2u);
    EXPECT_TRUE(manager->isStreamActive());

    // Forgotten: stream and window go at once; the old stream is stopped in the background.
    manager->stop();
    EXPECT_FALSE(manager->hasStream());
    EXPECT_FALSE(manager->capturedWindowID());
    EXPECT_FALSE(manager->isStreamActive());
    EXPECT_EQ(service.streams[1]->stopCalls, 0);
    scheduler.drain();
    EXPECT_EQ(service.streams[1]->stopCalls, 1);
    // What the controller still reads stays.
    EXPECT_EQ(manager->currentSourceRect(), QRectF(0, 0, 640, 400));
    EXPECT_EQ(manager->sourceWindowSize(), QSizeF(640, 400));
    EXPECT_EQ(manager->lastOutputWidth(), 640);

    // stop() twice: the second does nothing.
    manager->stop();
    scheduler.drain();
    EXPECT_EQ(service.streams[1]->stopCalls, 1);
    // A restart after stop() does nothing either.
    auto afterStop = run([&](Completion d) { manager->restartCapture(d); });
    EXPECT_TRUE(afterStop.called);
    EXPECT_EQ(service.streams.size(), 2u);
    EXPECT_EQ(service.contentQueries.size(), 2u);
}

TEST_F(StreamManagerTest, WorksOutSizesAndConfiguration) {
    // Whole window of 801.7 x 0.4 points: sides raised to 1, output truncated, rect zero,
    // requested output sizes ignored.
    start(0x500001, 50, 60);
    FakeCaptureStream* s = service.lastStream();
    ASSERT_NE(s, nullptr);
    EXPECT_DOUBLE_EQ(manager->sourceWindowSize().width(), 801.7);
    EXPECT_DOUBLE_EQ(manager->sourceWindowSize().height(), 1.0);
    EXPECT_EQ(manager->currentSourceRect(), QRectF(0, 0, 801.7, 1.0));
    EXPECT_EQ(manager->lastOutputWidth(), 801);
    EXPECT_EQ(manager->lastOutputHeight(), 1);
    const StreamConfiguration& c = s->initialConfiguration;
    EXPECT_EQ(c.width, 801);
    EXPECT_EQ(c.height, 1);
    EXPECT_EQ(c.sourceRect, QRectF(0, 0, 0, 0));
    EXPECT_EQ(c.pixelFormat, 0x42475241u);
    EXPECT_EQ(c.minimumFrameInterval, (CaptureTime{1, 10}));
    EXPECT_DOUBLE_EQ(c.minimumFrameInterval.seconds(), 0.1);
    EXPECT_TRUE(c.scalesToFit);
    EXPECT_FALSE(c.showsCursor);
    EXPECT_FALSE(c.capturesAudio);

    // A region without output sizes: its size truncated.
    const QRectF region(10, 20, 300.9, 200.2);
    start(0x400001, std::nullopt, std::nullopt, region);
    EXPECT_EQ(service.lastStream()->initialConfiguration.width, 300);
    EXPECT_EQ(service.lastStream()->initialConfiguration.height, 200);
    EXPECT_EQ(service.lastStream()->initialConfiguration.sourceRect, region);
    EXPECT_EQ(manager->currentSourceRect(), region);
    EXPECT_EQ(manager->sourceWindowSize(), QSizeF(640, 400));

    // A region with explicit output sizes, at the frame rate now in the settings.
    settings.setFrameRate(24);
    start(0x400001, 600, 400, region);
    EXPECT_EQ(service.lastStream()->initialConfiguration.width, 600);
    EXPECT_EQ(service.lastStream()->initialConfiguration.height, 400);
    EXPECT_EQ(service.lastStream()->initialConfiguration.minimumFrameInterval, (CaptureTime{1, 24}));
    EXPECT_EQ(manager->lastOutputWidth(), 600);
    EXPECT_EQ(manager->lastOutputHeight(), 400);

    // Sizes of 0 or below are configured as 1 (the stored size is what was asked).
    start(0x400001, 0, -7, region);
    EXPECT_EQ(service.lastStream()->initialConfiguration.width, 1);
    EXPECT_EQ(service.lastStream()->initialConfiguration.height, 1);
    EXPECT_EQ(manager->lastOutputWidth(), 0);
    run([&](Completion d) { manager->updateConfiguration(-1, 0, region, d); });
    ASSERT_EQ(service.lastStream()->updates.size(), 1u);
    EXPECT_EQ(service.lastStream()->updates[0].width, 1);
    EXPECT_EQ(service.lastStream()->updates[0].height, 1);

    // A stored frame rate below 1 still gives a valid interval.
    settings.setFrameRate(0);
    EXPECT_EQ(manager->makeConfiguration(5, 5, QRectF()).minimumFrameInterval, (CaptureTime{1, 1}));
}

TEST_F(StreamManagerTest, RestartRebuildsFromStoredValuesAtTheCurrentRate) {
    const QRectF region(10, 20, 300, 200);
    start(0x400001, 600, 400, region);
    FakeCaptureStream* first = service.lastStream();

    // While running, a restart does nothing.
    run([&](Completion d) { manager->restartCapture(d); });
    EXPECT_EQ(service.streams.size(), 1u);
    EXPECT_EQ(service.contentQueries.size(), 1u);

    run([&](Completion d) { manager->stopCapture(d); });
    settings.setFrameRate(30);
    manager->setLastOutputWidth(700);  // the controller after a panel resize
    auto r = run([&](Completion d) { manager->restartCapture(d); });
    EXPECT_FALSE(r.error);
    ASSERT_EQ(service.streams.size(), 2u);
    const StreamConfiguration& c = service.lastStream()->initialConfiguration;
    EXPECT_EQ(service.lastStream()->filter.window.windowID, 0x400001u);
    EXPECT_EQ(c.width, 700);
    EXPECT_EQ(c.height, 400);
    EXPECT_EQ(c.sourceRect, region);
    EXPECT_EQ(c.minimumFrameInterval, (CaptureTime{1, 30}));
    EXPECT_EQ(service.lastStream()->startCalls, 1);
    EXPECT_EQ(first->startCalls, 1);
    EXPECT_TRUE(manager->isStreamActive());

    // A whole-window stream restarts with the stored whole-window rectangle.
    start(0x500001);
    run([&](Completion d) { manager->stopCapture(d); });
    run([&](Completion d) { manager->restartCapture(d); });
    EXPECT_EQ(service.lastStream()->initialConfiguration.sourceRect, QRectF(0, 0, 801.7, 1.0));
    EXPECT_EQ(service.lastStream()->initialConfiguration.width, 801);

    // The window went away while stopped: not found, still stopped and remembered.
    run([&](Completion d) { manager->stopCapture(d); });
    service.windows.clear();
    const auto streamsBefore = service.streams.size();
    auto gone = run([&](Completion d) { manager->restartCapture(d); });
    ASSERT_TRUE(gone.error);
    EXPECT_EQ(*gone.error, CaptureError::windowNotFound());
    EXPECT_EQ(service.streams.size(), streamsBefore);
    EXPECT_FALSE(manager->isStreamActive());
    EXPECT_EQ(manager->capturedWindowID(), 0x500001u);
}

TEST_F(StreamManagerTest, FailuresLeaveTheDocumentedState) {
    // Window not found: the error text and domain, stream and flag untouched.
    start(0x400001, 600, 400, QRectF(0, 0, 320, 200));
    FakeCaptureStream* running = service.lastStream();
    auto missing = start(0x999999);
    ASSERT_TRUE(missing.error);
    EXPECT_EQ(missing.error->description, QStringLiteral("Could not find the window to capture."));
    EXPECT_FALSE(missing.error->domain.isEmpty());
    EXPECT_EQ(*missing.error, CaptureError::windowNotFound());
    EXPECT_EQ(service.streams.size(), 1u);
    EXPECT_TRUE(manager->isStreamActive());
    EXPECT_EQ(manager->capturedWindowID(), 0x400001u);
    EXPECT_EQ(manager->currentSourceRect(), QRectF(0, 0, 320, 200));

    // Errors of the content query are passed on unchanged.
    service.contentError = kServiceError;
    auto queryFailed = start(0x400001);
    ASSERT_TRUE(queryFailed.error);
    EXPECT_EQ(*queryFailed.error, kServiceError);
    service.contentError.reset();

    // A failed update changes nothing.
    running->updateError = kServiceError;
    auto update = run([&](Completion d) { manager->updateConfiguration(100, 50, QRectF(5, 5, 50, 25), d); });
    ASSERT_TRUE(update.error);
    EXPECT_EQ(*update.error, kServiceError);
    EXPECT_EQ(manager->currentSourceRect(), QRectF(0, 0, 320, 200));
    EXPECT_EQ(manager->lastOutputWidth(), 600);
    EXPECT_EQ(manager->lastOutputHeight(), 400);
    // A failed reset still leaves the rectangle at the whole window, sizes unchanged.
    auto reset = run([&](Completion d) { manager->resetSourceRect(100, 50, d); });
    ASSERT_TRUE(reset.error);
    EXPECT_EQ(manager->currentSourceRect(), QRectF(0, 0, 640, 400));
    EXPECT_EQ(manager->lastOutputWidth(), 600);
    ASSERT_EQ(running->updates.size(), 2u);
    EXPECT_EQ(running->updates[1].sourceRect, QRectF(0, 0, 0, 0));

    // Successful update and reset apply their values.
    running->updateError.reset();
    run([&](Completion d) { manager->updateConfiguration(100, 50, QRectF(5, 5, 50, 25), d); });
    EXPECT_EQ(manager->currentSourceRect(), QRectF(5, 5, 50, 25));
    EXPECT_EQ(manager->lastOutputWidth(), 100);
    EXPECT_EQ(running->configuration.sourceRect, QRectF(5, 5, 50, 25));
    settings.setFrameRate(5);
    run([&](Completion d) { manager->resetSourceRect(320, 200, d); });
    EXPECT_EQ(manager->currentSourceRect(), QRectF(0, 0, 640, 400));
    EXPECT_EQ(manager->lastOutputWidth(), 320);
    EXPECT_EQ(manager->lastOutputHeight(), 200);
    EXPECT_EQ(running->configuration.minimumFrameInterval, (CaptureTime{1, 5}));

    // A failed stop leaves the flag true.
    running->stopError = kServiceError;
    auto stop = run([&](Completion d) { manager->stopCapture(d); });
    ASSERT_TRUE(stop.error);
    EXPECT_TRUE(manager->isStreamActive());

    // A failed start sets the window fields but keeps the earlier stream and flag.
    run([&](Completion d) {
        running->stopError.reset();
        manager->stopCapture(d);
    });
    ASSERT_FALSE(manager->isStreamActive());
    service.startError = kServiceError;
    auto failedStart = start(0x500001);
    ASSERT_TRUE(failedStart.error);
    EXPECT_EQ(*failedStart.error, kServiceError);
    EXPECT_EQ(manager->capturedWindowID(), 0x500001u);
    EXPECT_EQ(manager->lastOutputWidth(), 801);
    EXPECT_FALSE(manager->isStreamActive());
    EXPECT_TRUE(manager->hasStream());
    // An output that cannot be added fails the start before the stream is started.
    service.startError.reset();
    service.addOutputError = kServiceError;
    auto failedOutput = start(0x400001);
    ASSERT_TRUE(failedOutput.error);
    EXPECT_EQ(service.lastStream()->startCalls, 0);
    EXPECT_FALSE(manager->isStreamActive());

    // stop() ignores the old stream's stop error.
    service.addOutputError.reset();
    start(0x400001);
    service.lastStream()->stopError = kServiceError;
    manager->stop();
    scheduler.drain();
    EXPECT_EQ(service.lastStream()->stopCalls, 1);
    EXPECT_FALSE(manager->hasStream());
}

TEST_F(StreamManagerTest, CompletesLaterNeverInsideTheCall) {
    Result r;
    manager->restartCapture(r.callback());
    EXPECT_FALSE(r.called);
    manager->startCapture(0x400001, std::nullopt, std::nullopt, QRectF(), r.callback());
    EXPECT_FALSE(r.called);
    scheduler.drain();
    EXPECT_TRUE(r.called);
    // A pending start keeps the manager alive even when the owner lets go of it.
    service.holdCompletions = true;
    Result late;
    manager->updateConfiguration(10, 10, QRectF(0, 0, 10, 10), late.callback());
    std::weak_ptr<StreamManager> weak = manager;
    manager.reset();
    EXPECT_FALSE(weak.expired());
    service.completeHeld();
    scheduler.drain();
    EXPECT_TRUE(late.called);
    EXPECT_TRUE(weak.expired());
}

TEST_F(StreamManagerTest, HandsScreenFramesToTheMainThreadInOrder) {
    std::vector<Frame> received;
    std::vector<std::optional<Error>> stops;
    manager->onFrame = [&](const Frame& f) { received.push_back(f); };
    manager->onStopped = [&](std::optional<Error> e) { stops.push_back(e); };
    start(0x400001);
    FakeCaptureStream* s = service.lastStream();
    const Frame a = fakes::makeMemoryFrame(4, 4, 0xffff0000);
    const Frame b = fakes::makeMemoryFrame(4, 4, 0xff00ff00);

    s->emitFrame(a);
    s->emitSample(StreamSample{StreamOutputType::audio, a});  // other type: ignored
    s->emitSample(StreamSample{StreamOutputType::screen, nullptr});  // no image: ignored
    s->emitFrame(b);
    EXPECT_TRUE(received.empty());  // only on the main queue
    scheduler.drain();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].get(), a.get());  // the same buffer, not a copy
    EXPECT_EQ(received[1].get(), b.get());

    // A stop by the service is reported and changes no field.
    s->emitStop(kServiceError);
    EXPECT_TRUE(stops.empty());
    scheduler.drain();
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0], kServiceError);
    EXPECT_TRUE(manager->isStreamActive());
    EXPECT_TRUE(manager->hasStream());

    // Unset callbacks are skipped.
    manager->onFrame = nullptr;
    s->emitFrame(a);
    scheduler.drain();
    EXPECT_EQ(received.size(), 2u);

    // Frames and stops that arrive after the owner dropped the manager go nowhere.
    manager->onFrame = [&](const Frame& f) { received.push_back(f); };
    s->emitFrame(a);
    s->emitStop(std::nullopt);
    std::weak_ptr<StreamManager> weak = manager;
    manager.reset();
    EXPECT_TRUE(weak.expired());  // queued deliveries do not keep it alive
    scheduler.drain();
    EXPECT_EQ(received.size(), 2u);
    EXPECT_EQ(stops.size(), 1u);
    // The queued frame was held until then and is released now.
    EXPECT_EQ(a.use_count(), 2);  // ours and the one delivered first
}

}  // namespace
