// Window capture through the ScreenCast portal and PipeWire, in a private session (real bus,
// PipeWire and WirePlumber) with our stand-in portal and a producer that makes frames the way
// a compositor does.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <QDBusConnection>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <array>
#include <cstring>
#include <mutex>

#include "platform/qt/QtScheduler.h"
#include "platform/wayland/FrameSink.h"
#include "platform/wayland/PipeWireCaptureStream.h"
#include "platform/wayland/PortalNodeSource.h"
#include "platform/wayland/RestoreTokenStore.h"
#include "platform/wayland/ScreenCastSession.h"
#include "tests/fakes/FakePictureSurface.h"
#include "tests/support/Pixels.h"
#include "tests/support/Waiting.h"
#include "tests/support/WaylandSession.h"
#include "tests/support/X11Session.h"

using namespace mirano;
using namespace mirano::wayland;
using namespace mirano::testing;

namespace {

const QString kViewer = QStringLiteral("org.example.Viewer");

constexpr int kWaitMs = 20000;

/// What a stream hands to its handlers on the capture thread: the latest frame (older ones are
/// released at once, as the panel does) and every stop.
class Received {
public:
    FrameHandler frames() {
        return [this](const Frame& frame) {
            std::lock_guard lock(mutex_);
            latest_ = frame;
            ++frameCount_;
        };
    }
    StreamStopHandler stops() {
        return [this](std::optional<Error> error) {
            std::lock_guard lock(mutex_);
            stops_.push_back(error.value_or(Error{}));
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
    std::vector<Error> stopsSoFar() {
        std::lock_guard lock(mutex_);
        return stops_;
    }

private:
    std::mutex mutex_;
    Frame latest_;
    int frameCount_ = 0;
    std::vector<Error> stops_;
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

/// A picture surface whose sink keeps what the capture thread last showed: the part shown
/// (buffer pixels) and the pixel at its top-left corner.
class SinkRecorder final : public SinkSurface {
public:
    struct Shown {
        int count = 0;
        QRect shown;
        std::array<std::uint8_t, 4> corner{};
    };
    std::shared_ptr<FrameSink> sink() const override { return sink_; }
    Shown shown() const { return sink_->last(); }
    void setGeometry(const QRect&) override {}
    void setOverlay(const QImage&) override {}
    void setOpacity(double) override {}
    void setCornerRadius(double) override {}
    void setVisible(bool) override {}

private:
    class Sink final : public FrameSink {
    public:
        void show(const MappedImage& image, const QRect& shown) override {
            std::lock_guard lock(mutex_);
            last_ = {last_.count + 1, shown, {}};
            std::memcpy(last_.corner.data(),
                        image.data + std::size_t(shown.y()) * image.rowBytes() + shown.x() * 4, 4);
        }
        Shown last() const {
            std::lock_guard lock(mutex_);
            return last_;
        }

    private:
        mutable std::mutex mutex_;
        Shown last_;
    };
    std::shared_ptr<Sink> sink_ = std::make_shared<Sink>();
};

/// A node handed over directly, on a connection of our own to the session's PipeWire: the
/// shape of a compositor's own screencast, which needs no portal.
class DirectNodeSource final : public NodeSource {
public:
    DirectNodeSource(const QString& runtimeDir, std::uint32_t nodeId, Scheduler& scheduler)
        : runtimeDir_(runtimeDir), nodeId_(nodeId), scheduler_(scheduler) {}
    void open(OpenDone done) override {
        PipeWireNode node;
        node.nodeId = nodeId_;
        node.remote.reset(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s/pipewire-0",
                      QFile::encodeName(runtimeDir_).constData());
        ::connect(node.remote.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        auto shared = std::make_shared<PipeWireNode>(std::move(node));
        scheduler_.post([done, shared] { done(std::move(*shared), std::nullopt); });
    }

private:
    QString runtimeDir_;
    std::uint32_t nodeId_;
    Scheduler& scheduler_;
};

/// A private session with PipeWire, where producers make windows' streams.
class PipeWireTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(session_.error(), QString()); }

    static QString program(const QString& name) {
        return X11Session::builtProgram(QStringLiteral("tests/wayland/") + name);
    }
    /// Starts a producer; `node` receives the line naming its node ("node ID").
    ChildProcess* startProducer(const QStringList& args, QString* node) {
        ChildProcess* producer = session_.spawn(program("mirano_test_frame_producer"), args);
        *node = producer->readLine();
        EXPECT_TRUE(node->startsWith(QLatin1String("node "))) << node->toStdString();
        return producer;
    }
    std::unique_ptr<CaptureStream> makeStream(Received& received,
                                              std::unique_ptr<NodeSource> source,
                                              const StreamConfiguration& configuration = {}) {
        return std::make_unique<PipeWireCaptureStream>(std::move(source), scheduler_,
                                                       CapturableWindow{}, configuration,
                                                       received.frames(), received.stops());
    }
    static std::optional<Error> start(CaptureStream& stream) {
        return await([&](Completion done) { stream.startCapture(std::move(done)); });
    }

    WaylandSession session_{{.sway = false, .pipewire = true}};
    QtScheduler scheduler_;
};

/// The same, with our stand-in ScreenCast portal on the session bus.
class WaylandCaptureTest : public PipeWireTest {
protected:
    void SetUp() override {
        PipeWireTest::SetUp();
        portal_ = session_.spawn(program("mirano_test_screencast_portal"), {});
        ASSERT_EQ(portal_->readLine(), "ready");
        bus_ = QDBusConnection::connectToBus(session_.busAddress(), kBusName);
        ASSERT_TRUE(bus_.isConnected());
    }
    void TearDown() override {
        bus_ = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(kBusName);
    }

    /// Starts a producer whose node the portal hands out from now on, for a window of
    /// `logicalSize`.
    ChildProcess* startProducer(const QStringList& args, QSize logicalSize) {
        QString node;
        ChildProcess* producer = PipeWireTest::startProducer(args, &node);
        tellPortal(node + QString::asprintf(" %d %d", logicalSize.width(), logicalSize.height()));
        return producer;
    }
    void tellPortal(const QString& command) {
        portal_->write(command.toUtf8() + '\n');
        EXPECT_EQ(portalSays(), "ok");
    }
    /// The portal's next line but "closed", which comes whenever a released stream's session
    /// reaches it.
    QString portalSays() {
        QString line;
        while ((line = portal_->readLine()) == QLatin1String("closed")) {
        }
        return line;
    }
    std::unique_ptr<CaptureStream> makeStream(Received& received, const QString& application,
                                              const StreamConfiguration& configuration = {}) {
        return PipeWireTest::makeStream(
            received, std::make_unique<PortalNodeSource>(bus_, tokens_, application),
            configuration);
    }

    static inline const QString kBusName = QStringLiteral("mirano-wayland-capture-test");
    ChildProcess* portal_ = nullptr;
    QDBusConnection bus_{QString()};
    QTemporaryDir state_;
    RestoreTokenStore tokens_{state_.filePath(QStringLiteral("tokens.json"))};
};

// The capture thread against the main thread, without the portal (whose D-Bus thread lives in
// uninstrumented libraries): run under ThreadSanitizer too.
TEST_F(PipeWireTest, PauseResumeReconfigureAndEndAcrossTheCaptureThread) {
    QString node;
    ChildProcess* window =
        startProducer({"window", "120", "80", "--crop", "20", "10", "80", "60"}, &node);
    Received received;
    auto stream =
        makeStream(received, std::make_unique<DirectNodeSource>(session_.runtimeDir(),
                                                                node.mid(5).toUInt(), scheduler_));
    ASSERT_EQ(start(*stream), std::nullopt);
    EXPECT_TRUE(showsBufferArea(received.nextFrame({80, 60}), {20, 10, 80, 60}));

    EXPECT_EQ(await([&](Completion done) { stream->stopCapture(std::move(done)); }), std::nullopt);
    const int paused = received.frameCount();
    EXPECT_EQ(await([&](Completion done) {
                  stream->updateConfiguration({QRectF(40, 30, 40, 30), 0, 1, 1}, std::move(done));
              }),
              std::nullopt);
    // Nothing came while paused, and the frames after resuming follow the new rectangle.
    EXPECT_EQ(received.frameCount(), paused);
    ASSERT_EQ(start(*stream), std::nullopt);
    EXPECT_TRUE(showsBufferArea(received.nextFrame({40, 30}), {60, 40, 40, 30}));

    window->stop();
    EXPECT_TRUE(waitUntil([&] { return !received.stopsSoFar().empty(); }, kWaitMs));
    EXPECT_TRUE(start(*stream));
    EXPECT_EQ(received.stopsSoFar().size(), 1u);
}

// Also under ThreadSanitizer: the sink is handed to the capture thread and called there.
TEST_F(PipeWireTest, ASinkSurfaceTakesThePartShownInsteadOfFrames) {
    QString node;
    startProducer({"window", "120", "80", "--crop", "20", "10", "80", "60"}, &node);
    Received received;
    auto stream = makeStream(
        received,
        std::make_unique<DirectNodeSource>(session_.runtimeDir(), node.mid(5).toUInt(), scheduler_),
        {QRectF(40, 30, 40, 30), 0, 1, 1});
    auto surface = std::make_shared<SinkRecorder>();
    ASSERT_TRUE(stream->presentInto(surface));
    ASSERT_EQ(start(*stream), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return surface->shown().count >= 2; }, kWaitMs));
    const SinkRecorder::Shown shown = surface->shown();
    EXPECT_EQ(shown.shown, QRect(60, 40, 40, 30));
    // The producer's pattern at the part's corner: blue x, green y, red 0xa0.
    EXPECT_EQ(shown.corner, (std::array<std::uint8_t, 4>{60, 40, 0xa0, 0}));
    EXPECT_EQ(received.frameCount(), 0);
    // A plain picture surface is none a stream can present into.
    EXPECT_FALSE(stream->presentInto(std::make_shared<fakes::FakePictureSurface>()));
}

TEST_F(WaylandCaptureTest, FramesShowTheWindowsPixels) {
    struct Case {
        const char* name;
        QStringList producer;
        QSize logicalSize;
        QRectF sourceRect;
        QRect shown;  // in the producer's buffer
    };
    const Case cases[] = {
        {"a stride of 0 means rows of width x 4",
         {"w2", "90", "50", "--stride-zero"},
         {90, 50},
         {},
         {0, 0, 90, 50}},
        {"padded rows, the window inside a monitor-sized buffer, a source rectangle in logical "
         "pixels, on a window scaled by 2",
         {"w3", "200", "120", "--crop", "30", "20", "100", "60", "--padding", "8"},
         {50, 30},
         {10, 5, 20, 10},
         {50, 30, 40, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startProducer(c.producer, c.logicalSize);
        Received received;
        StreamConfiguration configuration;
        configuration.sourceRect = c.sourceRect;
        auto stream = makeStream(received, QString::fromLatin1(c.name), configuration);
        ASSERT_EQ(start(*stream), std::nullopt);
        EXPECT_EQ(portalSays(), "dialog");
        EXPECT_TRUE(showsBufferArea(received.nextFrame(c.shown.size()), c.shown));
    }
}

TEST_F(WaylandCaptureTest, TheSameApplicationIsCapturedAgainWithoutADialog) {
    startProducer({"viewer", "160", "100", "--crop", "10", "10", "120", "80"}, {120, 80});
    {
        Received received;
        auto first = makeStream(received, kViewer);
        ASSERT_EQ(start(*first), std::nullopt);
        EXPECT_EQ(portalSays(), "dialog");
        EXPECT_TRUE(received.nextFrame({120, 80}));
        // Updating the source rectangle moves the next frames.
        first->updateConfiguration({QRectF(0, 40, 60, 40), 0, 1, 1}, {});
        EXPECT_TRUE(showsBufferArea(received.nextFrame({60, 40}), {10, 50, 60, 40}));
    }
    EXPECT_EQ(portal_->readLine(), "closed");

    Received again;
    auto second = makeStream(again, kViewer);
    ASSERT_EQ(start(*second), std::nullopt);
    EXPECT_EQ(portalSays(), "restored");
    EXPECT_TRUE(again.nextFrame({120, 80}));

    Received other;
    auto otherApplication = makeStream(other, QStringLiteral("org.example.Other"));
    ASSERT_EQ(start(*otherApplication), std::nullopt);
    EXPECT_EQ(portalSays(), "dialog");
}

TEST_F(WaylandCaptureTest, ARefusedConsentIsAnErrorForTheCallerToSay) {
    startProducer({"refused", "64", "48"}, {64, 48});
    for (const uint response : {1u, 2u}) {
        SCOPED_TRACE(response);
        tokens_.setToken(kViewer, QStringLiteral("stale"));
        tellPortal(QStringLiteral("answer %1").arg(response));
        Received received;
        auto stream = makeStream(received, kViewer);
        const std::optional<Error> error = start(*stream);
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->description.contains(response == 1 ? "cancelled" : "did not share"))
            << error->description.toStdString();
        EXPECT_EQ(portalSays(), "dialog");
        // The stale token was used up: the next attempt asks again.
        EXPECT_EQ(tokens_.token(kViewer), QString());
        EXPECT_EQ(received.frameCount(), 0);
        EXPECT_TRUE(received.stopsSoFar().empty());
    }
}

}  // namespace
