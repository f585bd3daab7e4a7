// Window capture through the ScreenCast portal and PipeWire, in a private session (real bus,
// PipeWire and WirePlumber) with our stand-in portal and a producer that makes frames the way
// a compositor does.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/qt/QtScheduler.h"
#include "platform/wayland/pipewire/FrameSink.h"
#include "platform/wayland/pipewire/PipeWireCaptureStream.h"
#include "platform/wayland/portal/PortalNodeSource.h"
#include "platform/wayland/portal/RestoreTokenStore.h"
#include "tests/fakes/FakePictureSurface.h"
#include "tests/support/Files.h"
#include "tests/support/Pixels.h"
#include "tests/support/Waiting.h"
#include "tests/wayland/PortalStandIn.h"

using namespace mirano;
using namespace mirano::wayland;
using namespace mirano::testing;

namespace {

const QString kViewer = QStringLiteral("org.example.Viewer");

constexpr int kWaitMs = 20000;

/// What a stream hands to its handlers on the capture thread: the latest frame (older ones are
/// released at once, as the panel does) and every stop.
struct Received {
    FrameHandler frames() {
        return [this](const Frame& frame) {
            std::lock_guard lock(mutex_);
            latest_ = frame;
            ++frameCount_;
        };
    }
    /// Waits for a frame of `size` that came after the ones seen so far.
    Frame nextFrame(QSize size) {
        const int seen = frameCount();
        Frame frame;
        waitUntil(
            [&] {
                std::lock_guard lock(mutex_);
                if (frameCount_ > seen && latest_ && latest_->width() == size.width() &&
                    latest_->height() == size.height())
                    frame = latest_;
                return frame != nullptr;
            },
            kWaitMs);
        return frame;
    }
    int frameCount() {
        std::lock_guard lock(mutex_);
        return frameCount_;
    }
    std::atomic<int> stopCount = 0;

private:
    std::mutex mutex_;
    Frame latest_;
    int frameCount_ = 0;
};

/// Every pixel is the producer's pattern at its place in the buffer (blue x, green y, red
/// 0xa0), made opaque.
::testing::AssertionResult showsBufferArea(const Frame& frame, QRect area) {
    if (!frame || frame->width() != area.width() || frame->height() != area.height())
        return ::testing::AssertionFailure()
               << "frame " << (frame ? describe(QSize(frame->width(), frame->height())) : "none");
    for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x)
            if (const QColor want(0xa0, (area.y() + y) & 0xff, (area.x() + x) & 0xff);
                pixelOf(frame, x, y) != want)
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " is " << describe(pixelOf(frame, x, y));
    return ::testing::AssertionSuccess();
}

/// A sink surface that keeps what the capture thread last showed: how many pictures, the part
/// shown (buffer pixels) and the pixel at its top-left corner.
struct SinkRecorder final : fakes::RecordingSurface<SinkSurface>,
                            FrameSink,
                            std::enable_shared_from_this<SinkRecorder> {
    struct Shown {
        int count = 0;
        QRect shown;
        std::array<std::uint8_t, 4> corner{};
    };
    std::shared_ptr<FrameSink> sink() const override {
        return std::const_pointer_cast<SinkRecorder>(shared_from_this());
    }
    bool show(const MappedImage& image, const QRect& shown) override {
        std::lock_guard lock(mutex_);
        last_ = {last_.count + 1, shown, {}};
        std::memcpy(last_.corner.data(),
                    image.data + std::size_t(shown.y()) * image.rowBytes() + shown.x() * 4, 4);
        return true;
    }
    Shown shown() const {
        std::lock_guard lock(mutex_);
        return last_;
    }

private:
    mutable std::mutex mutex_;
    Shown last_;
};

/// The lines this process writes to standard output (where Mirano logs) while it lives.
struct LoggedLines {
    LoggedLines() {
        std::fflush(stdout);
        EXPECT_TRUE(file_.open());
        dup2(file_.handle(), STDOUT_FILENO);
    }
    /// Writes them out after all, with gtest's own lines among them.
    ~LoggedLines() {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        std::fputs(readFile(file_.fileName()).constData(), stdout);
    }
    /// How many lines so far match `pattern`.
    int count(const QString& pattern) {
        std::fflush(stdout);
        const QStringList lines = QString(readFile(file_.fileName())).split('\n');
        return int(lines.filter(QRegularExpression(pattern)).size());
    }

private:
    int saved_ = dup(STDOUT_FILENO);
    QTemporaryFile file_;
};

/// A node handed over directly, on the stream's own connection to the user's PipeWire: the
/// shape of a compositor's own screencast, which needs no portal.
struct DirectNodeSource final : NodeSource {
    DirectNodeSource(std::uint32_t nodeId, Scheduler& scheduler)
        : nodeId_(nodeId), scheduler_(scheduler) {}
    void open(OpenDone done) override {
        scheduler_.post([done, id = nodeId_] { done(PipeWireNode{.nodeId = id}, std::nullopt); });
    }

private:
    std::uint32_t nodeId_;
    Scheduler& scheduler_;
};

/// A private session with PipeWire, where producers make windows' streams.
struct PipeWireTest : ::testing::Test {
    void SetUp() override { ASSERT_EQ(session_.error(), QString()); }

    std::unique_ptr<CaptureStream> makeStream(Received& received,
                                              std::unique_ptr<NodeSource> source,
                                              const StreamConfiguration& configuration = {}) {
        return std::make_unique<PipeWireCaptureStream>(
            std::move(source), scheduler_, CapturableWindow{}, configuration, received.frames(),
            [&](auto) { ++received.stopCount; });
    }
    static std::optional<Error> start(CaptureStream& stream) {
        return await([&](Completion done) { stream.startCapture(std::move(done)); });
    }
    /// Shows `rect` of the window (in its logical pixels) at 1 x 1.
    static std::optional<Error> show(CaptureStream& s, const QRectF& rect) {
        return await([&](Completion d) { s.updateConfiguration({rect, 0, 1, 1}, std::move(d)); });
    }

    std::unique_ptr<CaptureStream> makeStream(Received& received, std::uint32_t node) {
        return makeStream(received, std::make_unique<DirectNodeSource>(node, scheduler_));
    }
    /// The stream nodes of ours that PipeWire has.
    int nodesOfOurs() const {
        return int(session_.run("pw-dump", {}).count("\"Mirano window capture\""));
    }

    WaylandSession session_{{.sway = false, .pipewire = true}};
    QtScheduler scheduler_;
    PortalStandIn portal_{session_};
};

/// The same, with the stand-in portal on the session bus.
struct WaylandCaptureTest : PipeWireTest {
    void SetUp() override {
        PipeWireTest::SetUp();
        ASSERT_TRUE(portal_.start());
        bus_ = QDBusConnection::connectToBus(session_.busAddress(), kBusName);
        ASSERT_TRUE(bus_.isConnected());
    }
    void TearDown() override {
        bus_ = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(kBusName);
    }

    std::unique_ptr<CaptureStream> makeStream(Received& received, const QString& application,
                                              const StreamConfiguration& configuration = {}) {
        return PipeWireTest::makeStream(
            received, std::make_unique<PortalNodeSource>(bus_, tokens_, application),
            configuration);
    }

    static inline const QString kBusName = QStringLiteral("mirano-wayland-capture-test");
    QDBusConnection bus_{QString()};
    QTemporaryDir state_;
    RestoreTokenStore tokens_{state_.filePath(QStringLiteral("tokens.json"))};
};

// The capture thread against the main thread, without the portal (whose D-Bus thread lives in
// uninstrumented libraries): run under ThreadSanitizer too. A sink presented into is called on
// the capture thread.
TEST_F(PipeWireTest, PauseResumeReconfigureASinkAndEndAcrossTheCaptureThread) {
    std::uint32_t node = 0;
    ChildProcess* window =
        portal_.startProducer({"window", "120", "80", "--crop", "20", "10", "80", "60"}, &node);
    // No remote: the stream connects to the user's PipeWire, the session's here.
    qputenv("PIPEWIRE_RUNTIME_DIR", QFile::encodeName(session_.runtimeDir()));
    Received received;
    auto stream = makeStream(received, node);
    int sizesLearnt = 0;
    stream->setWindowSizeHandler([&] { ++sizesLearnt; });
    ASSERT_EQ(start(*stream), std::nullopt);
    EXPECT_TRUE(showsBufferArea(received.nextFrame({80, 60}), {20, 10, 80, 60}));
    // With no size from the source, the window's is the crop's.
    EXPECT_TRUE(waitUntil([&] { return sizesLearnt == 1; }, kWaitMs));
    EXPECT_EQ(stream->windowSize(), QSizeF(80, 60));

    EXPECT_EQ(await([&](Completion done) { stream->stopCapture(std::move(done)); }), std::nullopt);
    const int paused = received.frameCount();
    EXPECT_EQ(show(*stream, QRectF(40, 30, 40, 30)), std::nullopt);
    // Nothing came while paused, and the frames after resuming follow the new rectangle.
    EXPECT_EQ(received.frameCount(), paused);
    ASSERT_EQ(start(*stream), std::nullopt);
    EXPECT_TRUE(showsBufferArea(received.nextFrame({40, 30}), {60, 40, 40, 30}));

    // Presented into a sink surface, the stream hands it the part shown instead of frames; a
    // plain picture surface is none it can present into.
    auto surface = std::make_shared<SinkRecorder>();
    ASSERT_TRUE(stream->presentInto(surface));
    ASSERT_TRUE(waitUntil([&] { return surface->shown().count >= 2; }, kWaitMs));
    const int framed = received.frameCount();
    ASSERT_TRUE(waitUntil([&] { return surface->shown().count >= 4; }, kWaitMs));
    // The producer's pattern at the part's corner: blue x, green y, red 0xa0.
    EXPECT_EQ(
        std::tuple(received.frameCount(), surface->shown().shown, surface->shown().corner),
        std::tuple(framed, QRect(60, 40, 40, 30), std::array<std::uint8_t, 4>{60, 40, 0xa0, 0}));
    EXPECT_FALSE(stream->presentInto(std::make_shared<fakes::FakePictureSurface>()));

    window->stop();
    EXPECT_TRUE(waitUntil([&] { return received.stopCount > 0; }, kWaitMs));
    EXPECT_TRUE(start(*stream));
    EXPECT_EQ(received.stopCount, 1);
}

// Producers that misbehave as buggy or hostile ones do. Each faulty stream says what is wrong in
// one line (not one a frame) and drops those pictures or ends; a healthy stream beside it works,
// and no stream node of ours is left once they close. Node ids that would let the session
// manager pick any stream are refused.
TEST_F(PipeWireTest, FaultyStreamsSayWhatIsWrongOnceAndLeaveNoStreamBehind) {
    qputenv("PIPEWIRE_RUNTIME_DIR", QFile::encodeName(session_.runtimeDir()));
    for (const std::uint32_t id : {0u, 0xffffffffu}) {
        Received received;
        const std::optional<Error> error = start(*makeStream(received, id));
        EXPECT_TRUE(error && error->description.contains("names no PipeWire node")) << id;
    }
    {
        LoggedLines log;
        Received received;
        auto missing = makeStream(received, 4000);
        ASSERT_EQ(start(*missing), std::nullopt);
        EXPECT_TRUE(
            waitUntil([&] { return log.count("PipeWire has no node 4000") == 1; }, kWaitMs));
    }
    std::uint32_t healthy = 0;
    portal_.startProducer({"healthy", "64", "48"}, &healthy);
    // The fault; what the line says.
    const std::pair<const char*, const char*> cases[] = {
        {"maxsize", "claim more bytes than their memory holds"},
        {"truncate", "memory"},
        {"dmabuf", "claim more bytes than their memory holds"},
        {"stride", "rows do not fit their buffers"},
        {"offset", "rows do not fit their buffers"},
        {"offset-wrap", "rows do not fit their buffers"},
        {"crop", "crop region lies outside"},
        {"silent", "no picture came within 10 s"},
        // The link fails, or the session manager drops the stream when it cannot link it.
        {"format", "could not be (linked to|set up with) its producer"},
    };
    for (const auto& [fault, line] : cases) {
        SCOPED_TRACE(fault);
        std::uint32_t node = 0;
        auto* producer = portal_.startProducer({"faulty", "64", "48", "--fault", fault}, &node);
        LoggedLines log;
        {
            Received faulty, fine;
            auto stream = makeStream(faulty, node);
            ASSERT_EQ(start(*stream), std::nullopt);
            EXPECT_TRUE(waitUntil([&] { return log.count(line) > 0; }, kWaitMs));
            auto other = makeStream(fine, healthy);
            ASSERT_EQ(start(*other), std::nullopt);
            EXPECT_TRUE(showsBufferArea(fine.nextFrame({64, 48}), {0, 0, 64, 48}));
        }
        EXPECT_EQ(std::pair(log.count(line), nodesOfOurs()), std::pair(1, 0));
        producer->stop();
    }
    // The session manager stops: its links go, and the stream says so instead of freezing.
    LoggedLines log;
    Received received;
    auto stream = makeStream(received, healthy);
    ASSERT_EQ(start(*stream), std::nullopt);
    ASSERT_TRUE(received.nextFrame({64, 48}));
    session_.sessionManager()->stop();
    EXPECT_TRUE(waitUntil([&] { return log.count("session manager .WirePlumber. stopped") == 1; },
                          kWaitMs));
}

TEST_F(WaylandCaptureTest, AnApplicationIsAskedOnceFramesShowItsPixelsAndARefusalIsAnError) {
    // Padded rows, the window inside a monitor-sized buffer, scaled by 2: a source rectangle in
    // logical pixels is twice as many buffer pixels inside the crop.
    portal_.handOut({"viewer", "200", "120", "--crop", "30", "20", "100", "60", "--padding", "8"},
                    {50, 30});
    {
        Received received;
        auto first = makeStream(received, kViewer, {QRectF(10, 5, 20, 10), 0, 1, 1});
        ASSERT_EQ(start(*first), std::nullopt);
        EXPECT_EQ(portal_.says(), "dialog");
        EXPECT_TRUE(showsBufferArea(received.nextFrame({40, 20}), {50, 30, 40, 20}));
    }
    EXPECT_EQ(portal_.process()->readLine(), "closed");

    // The same application again: no dialog, the whole window.
    Received again;
    auto second = makeStream(again, kViewer);
    ASSERT_EQ(start(*second), std::nullopt);
    EXPECT_EQ(portal_.says(), "restored");
    EXPECT_TRUE(showsBufferArea(again.nextFrame({100, 60}), {30, 20, 100, 60}));

    // Another application is asked for; its window's stride of 0 means rows of width × 4.
    portal_.handOut({"other", "90", "50", "--stride-zero"}, {90, 50});
    Received other;
    auto otherApplication = makeStream(other, QStringLiteral("org.example.Other"));
    ASSERT_EQ(start(*otherApplication), std::nullopt);
    EXPECT_EQ(portal_.says(), "dialog");
    EXPECT_TRUE(showsBufferArea(other.nextFrame({90, 50}), {0, 0, 90, 50}));

    // Cancelled (1) or refused (2): an error for the caller to say, and no frames.
    for (const uint response : {1u, 2u}) {
        SCOPED_TRACE(response);
        tokens_.setToken(kViewer, QStringLiteral("stale"));
        ASSERT_TRUE(portal_.tell(QStringLiteral("answer %1").arg(response)));
        Received received;
        auto stream = makeStream(received, kViewer);
        const std::optional<Error> error = start(*stream);
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->description.contains(response == 1 ? "cancelled" : "did not share"))
            << error->description.toStdString();
        // The stale token was used up: the next attempt asks again.
        EXPECT_EQ(std::tuple(portal_.says(), tokens_.token(kViewer), received.frameCount(),
                             received.stopCount.load()),
                  std::tuple(QStringLiteral("dialog"), QString(), 0, 0));
    }
}

// A portal that reports its monitor's size for a window: the window's own comes from the crop,
// and a source rectangle of the whole window in that size shows all of it. Five streams opened
// and closed leave no stream node of ours.
TEST_F(WaylandCaptureTest, TheWindowsShapeComesFromItsPicturesAndClosedStreamsLeaveNoNode) {
    portal_.handOut({"tall", "200", "120", "--crop", "70", "10", "60", "100"}, {200, 120});
    for (int cycle = 0; cycle < 5; ++cycle) {
        SCOPED_TRACE(cycle);
        Received received;
        auto stream = makeStream(received, kViewer);
        ASSERT_EQ(start(*stream), std::nullopt);
        ASSERT_TRUE(received.nextFrame({60, 100}));
        ASSERT_TRUE(waitUntil([&] { return stream->windowSize() == QSizeF(60, 100); }, kWaitMs));
        EXPECT_EQ(show(*stream, QRectF(0, 0, 60, 100)), std::nullopt);
        EXPECT_TRUE(showsBufferArea(received.nextFrame({60, 100}), {70, 10, 60, 100}));
    }
    EXPECT_EQ(nodesOfOurs(), 0);
}

}  // namespace
