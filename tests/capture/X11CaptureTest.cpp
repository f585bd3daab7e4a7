// The real capture path on a private Xvfb + Openbox: StreamManager on the X11 capture service,
// watching our own test client windows.
#include "capture/StreamManager.h"
#include "platform/qt/QtScheduler.h"
#include "platform/x11/X11CaptureService.h"
#include "platform/x11/XConnection.h"
#include "settings/AppSettings.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "tests/support/X11Session.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <unistd.h>

using namespace mirano;
using mirano::testing::waitUntil;
using mirano::testing::X11Session;

namespace {

constexpr std::uint32_t kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff,
                        kWhite = 0xffffffff, kYellow = 0xffffff00, kCyan = 0xff00ffff;

/// ARGB of one pixel of a BGRA frame.
std::uint32_t pixel(const Frame& f, int x, int y) {
    const std::uint8_t* p = f->data() + std::size_t(y) * f->bytesPerRow() + std::size_t(x) * 4;
    return std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

/// Pixel at a fraction of the frame's width and height.
std::uint32_t pixelAt(const Frame& f, double fx, double fy) {
    return pixel(f, std::min(int(fx * f->width()), f->width() - 1),
                 std::min(int(fy * f->height()), f->height() - 1));
}

/// Whether the four quadrant centres show red, green, white and blue.
bool showsQuadrants(const Frame& f) {
    return f && pixelAt(f, 0.25, 0.25) == kRed && pixelAt(f, 0.75, 0.25) == kGreen &&
           pixelAt(f, 0.25, 0.75) == kWhite && pixelAt(f, 0.75, 0.75) == kBlue;
}

bool isSolid(const Frame& f, std::uint32_t argb) {
    if (!f) return false;
    for (double fy : {0.02, 0.5, 0.98})
        for (double fx : {0.02, 0.5, 0.98})
            if (pixelAt(f, fx, fy) != argb) return false;
    return true;
}

/// Our shared-memory segments as listed by the kernel: perms (octal) per segment.
std::vector<int> ourShmSegments(pid_t pid) {
    std::vector<int> perms;
    QFile file("/proc/sysvipc/shm");
    if (!file.open(QIODevice::ReadOnly)) return perms;
    file.readLine();  // header
    while (!file.atEnd()) {
        const auto fields = QString::fromLatin1(file.readLine()).simplified().split(' ');
        if (fields.size() > 4 && fields[4].toInt() == pid) perms.push_back(fields[2].toInt(nullptr, 8));
    }
    return perms;
}

/// One test client window.
class TestWindow {
public:
    TestWindow(X11Session& session, QStringList args) {
        process_ = session.spawn(X11Session::builtProgram("tests/mirano_test_client"), args);
        waitUntil(
            [&] {
                while (process_->canReadLine()) {
                    const QString line = QString::fromLatin1(process_->readLine()).trimmed();
                    if (line.startsWith("ready ")) id_ = line.mid(6).toUInt(nullptr, 16);
                }
                return id_ != 0;
            },
            10000);
        if (!id_)
            qWarning("test client did not report a window: state %d, stderr: %s", int(process_->state()),
                     process_->readAllStandardError().constData());
        if (!id_) qWarning("%s", qPrintable(session.run("xwininfo", {"-root", "-tree"})));
    }
    WindowNumber id() const { return id_; }
    void send(const QByteArray& command) {
        process_->write(command + "\n");
        process_->waitForBytesWritten(1000);
    }
    QProcess* process() const { return process_; }

private:
    QProcess* process_ = nullptr;
    WindowNumber id_ = 0;
};

/// What a stream manager received.
struct Received {
    Frame latest;
    int count = 0;
    std::vector<std::optional<Error>> stops;
};

class X11CaptureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        session_ = new X11Session();
        scheduler_ = new QtScheduler();
    }
    static void TearDownTestSuite() {
        delete scheduler_;
        delete session_;
        scheduler_ = nullptr;
        session_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(session_->error().isEmpty()) << qPrintable(session_->error());
        settings_.setFrameRate(60);
        service_ = std::make_unique<x11::X11CaptureService>(*scheduler_, session_->display().toLatin1());
        ASSERT_FALSE(service_->unavailable()) << qPrintable(service_->unavailable()->description);
        x_ = std::make_unique<x11::XConnection>(session_->display().toLatin1().constData());
        ASSERT_TRUE(x_->isValid());
    }
    void TearDown() override {
        managers_.clear();
        service_.reset();
    }

    /// A stream manager whose frames and stops go to `r`.
    std::shared_ptr<StreamManager> makeManager(Received& r) {
        auto m = std::make_shared<StreamManager>(*service_, settings_, *scheduler_);
        m->onFrame = [&r](const Frame& f) {
            r.latest = f;
            ++r.count;
        };
        m->onStopped = [&r](std::optional<Error> e) { r.stops.push_back(e); };
        managers_.push_back(m);
        return m;
    }

    /// Runs an asynchronous operation to completion; returns its error.
    template <typename Op>
    std::optional<Error> await(Op op) {
        bool done = false;
        std::optional<Error> error;
        op([&](std::optional<Error> e) {
            done = true;
            error = e;
        });
        EXPECT_TRUE(waitUntil([&] { return done; }, 10000)) << "operation did not complete";
        return error;
    }

    std::optional<Error> start(const std::shared_ptr<StreamManager>& m, WindowNumber id,
                               std::optional<std::int64_t> w = std::nullopt,
                               std::optional<std::int64_t> h = std::nullopt, QRectF rect = QRectF()) {
        return await([&](Completion d) { m->startCapture(id, w, h, rect, d); });
    }

    bool isViewable(WindowNumber id) {
        auto r = x11::reply(xcb_get_window_attributes_reply(
            x_->get(), xcb_get_window_attributes(x_->get(), id), nullptr));
        return r && r->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    static X11Session* session_;
    static QtScheduler* scheduler_;
    fakes::MemoryDefaultsStore store_;
    AppSettings settings_{store_};
    std::unique_ptr<x11::X11CaptureService> service_;
    std::unique_ptr<x11::XConnection> x_;
    std::vector<std::shared_ptr<StreamManager>> managers_;
};

X11Session* X11CaptureTest::session_ = nullptr;
QtScheduler* X11CaptureTest::scheduler_ = nullptr;

TEST_F(X11CaptureTest, WholeWindowFramesCarryTheWindowsSizeAndPixels) {
    TestWindow window(*session_, {"--size", "320x200", "--pos", "40,40", "--pattern", "quadrants"});
    ASSERT_NE(window.id(), 0u);
    Received r;
    auto m = makeManager(r);
    ASSERT_FALSE(start(m, window.id()));
    EXPECT_EQ(m->sourceWindowSize(), QSizeF(320, 200));
    ASSERT_TRUE(waitUntil([&] { return showsQuadrants(r.latest); }));
    EXPECT_EQ(r.latest->width(), 320);
    EXPECT_EQ(r.latest->height(), 200);
    EXPECT_EQ(r.latest->bytesPerRow(), 320u * 4);
    // Exact edges: one pixel per point, no blending across the quadrant borders.
    EXPECT_EQ(pixel(r.latest, 0, 0), kRed);
    EXPECT_EQ(pixel(r.latest, 159, 99), kRed);
    EXPECT_EQ(pixel(r.latest, 160, 99), kGreen);
    EXPECT_EQ(pixel(r.latest, 159, 100), kWhite);
    EXPECT_EQ(pixel(r.latest, 319, 199), kBlue);

    // A change of the window's contents arrives.
    window.send("pattern bars");
    EXPECT_TRUE(waitUntil([&] {
        return r.latest && pixelAt(r.latest, 1.5 / 8, 0.5) == kYellow &&
               pixelAt(r.latest, 2.5 / 8, 0.5) == kCyan;
    }));

    // A window number that is not a client window is not found.
    Received other;
    auto missing = makeManager(other);
    auto error = start(missing, x_->root());
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, CaptureError::windowNotFound());
}

TEST_F(X11CaptureTest, RegionsAreScaledToTheOutputSize) {
    TestWindow window(*session_, {"--size", "320x200", "--pos", "60,60", "--pattern", "quadrants"});
    ASSERT_NE(window.id(), 0u);
    Received r;
    auto m = makeManager(r);
    // 80 x 50 points around the centre, doubled: each quadrant covers a quarter of the output.
    ASSERT_FALSE(start(m, window.id(), 160, 100, QRectF(120, 75, 80, 50)));
    ASSERT_TRUE(waitUntil([&] { return showsQuadrants(r.latest); }));
    EXPECT_EQ(r.latest->width(), 160);
    EXPECT_EQ(r.latest->height(), 100);
    EXPECT_EQ(pixel(r.latest, 0, 0), kRed);
    EXPECT_EQ(pixel(r.latest, 159, 99), kBlue);
    EXPECT_EQ(pixel(r.latest, 150, 10), kGreen);
    EXPECT_EQ(pixel(r.latest, 10, 90), kWhite);

    // Shrunk: the bars at 40-point spacing, the second and third bar scaled to 40 pixels each.
    window.send("pattern bars");
    ASSERT_FALSE(await([&](Completion d) { m->updateConfiguration(80, 100, QRectF(40, 0, 80, 200), d); }));
    ASSERT_TRUE(waitUntil([&] {
        return r.latest && r.latest->width() == 80 && pixel(r.latest, 10, 50) == kYellow &&
               pixel(r.latest, 70, 50) == kCyan;
    }));
    EXPECT_EQ(r.latest->height(), 100);
    // Depth-24 window: alpha is opaque everywhere, also where bilinear sampling meets the edge.
    for (int x : {0, 39, 40, 79}) {
        for (int y : {0, 99}) {
            EXPECT_EQ(pixel(r.latest, x, y) >> 24, 0xffu) << x << "," << y;
        }
    }
}

TEST_F(X11CaptureTest, UpdateAndResetChangeWhatArrives) {
    TestWindow window(*session_, {"--size", "320x200", "--pos", "80,80", "--pattern", "quadrants"});
    ASSERT_NE(window.id(), 0u);
    Received r;
    auto m = makeManager(r);
    ASSERT_FALSE(start(m, window.id()));
    ASSERT_TRUE(waitUntil([&] { return showsQuadrants(r.latest); }));

    // Zoom into the green quadrant at half size: a static window still gets a new frame.
    ASSERT_FALSE(await([&](Completion d) { m->updateConfiguration(80, 50, QRectF(160, 0, 160, 100), d); }));
    EXPECT_EQ(m->currentSourceRect(), QRectF(160, 0, 160, 100));
    ASSERT_TRUE(waitUntil([&] { return r.latest && r.latest->width() == 80 && isSolid(r.latest, kGreen); }));
    EXPECT_EQ(r.latest->height(), 50);

    // Back to the whole window, at 160 x 100.
    ASSERT_FALSE(await([&](Completion d) { m->resetSourceRect(160, 100, d); }));
    ASSERT_TRUE(waitUntil([&] { return r.latest && r.latest->width() == 160 && showsQuadrants(r.latest); }));
    EXPECT_EQ(r.latest->height(), 100);
    EXPECT_EQ(m->currentSourceRect(), QRectF(0, 0, 320, 200));
}

TEST_F(X11CaptureTest, ResizedSourceKeepsArrivingWithCorrectContent) {
    TestWindow window(*session_, {"--size", "320x200", "--pos", "20,20", "--pattern", "quadrants"});
    ASSERT_NE(window.id(), 0u);
    Received r;
    auto m = makeManager(r);
    ASSERT_FALSE(start(m, window.id()));
    ASSERT_TRUE(waitUntil([&] { return showsQuadrants(r.latest); }));

    // Larger: the whole new window is scaled into the configured 320 x 200. With the old
    // pixmap, x = 40% would fall right of the old 160-point border and show green.
    window.send("resize 480 300");
    ASSERT_TRUE(waitUntil([&] {
        return r.latest && showsQuadrants(r.latest) && pixelAt(r.latest, 0.45, 0.25) == kRed &&
               pixelAt(r.latest, 0.45, 0.75) == kWhite;
    })) << "frame does not show the resized window";
    EXPECT_EQ(r.latest->width(), 320);
    EXPECT_EQ(r.latest->height(), 200);

    // The new area can be zoomed into: the blue quadrant now reaches 480 x 300.
    ASSERT_FALSE(await([&](Completion d) { m->updateConfiguration(40, 25, QRectF(400, 250, 80, 50), d); }));
    ASSERT_TRUE(waitUntil([&] { return r.latest && r.latest->width() == 40 && isSolid(r.latest, kBlue); }));

    // Smaller again, whole window.
    ASSERT_FALSE(await([&](Completion d) { m->resetSourceRect(200, 100, d); }));
    window.send("resize 200 100");
    ASSERT_TRUE(waitUntil([&] {
        return r.latest && r.latest->width() == 200 && showsQuadrants(r.latest) &&
               pixel(r.latest, 99, 49) == kRed && pixel(r.latest, 100, 49) == kGreen;
    })) << "frame does not show the shrunk window one pixel per point";
    EXPECT_TRUE(r.stops.empty());
}

TEST_F(X11CaptureTest, UnmapKeepsTheLastFrameAndMapResumes) {
    TestWindow window(*session_, {"--size", "240x160", "--pos", "30,300", "--pattern", "solid:ff0000"});
    ASSERT_NE(window.id(), 0u);
    Received r;
    auto m = makeManager(r);
    ASSERT_FALSE(start(m, window.id()));
    ASSERT_TRUE(waitUntil([&] { return isSolid(r.latest, kRed); }));

    window.send("unmap");
    ASSERT_TRUE(waitUntil([&] { return !isViewable(window.id()); }));
    // Painting an unmapped window shows nothing; the last frame stays red and nothing ends.
    window.send("pattern solid:00ff00");
    // A second, live window proves the capture thread keeps working meanwhile.
    TestWindow witness(*session_, {"--size", "100x100", "--pos", "600,300", "--pattern", "solid:0000ff"});
    Received w;
    auto wm = makeManager(w);
    ASSERT_FALSE(start(wm, witness.id()));
    ASSERT_TRUE(waitUntil([&] { return isSolid(w.latest, kBlue); }));
    EXPECT_TRUE(isSolid(r.latest, kRed));
    EXPECT_TRUE(r.stops.empty());
    EXPECT_TRUE(m->isStreamActive());

    window.send("map");
    EXPECT_TRUE(waitUntil([&] { return isSolid(r.latest, kGreen); })) << "capture did not resume";
    EXPECT_EQ(r.latest->width(), 240);
    EXPECT_TRUE(r.stops.empty());
}

TEST_F(X11CaptureTest, DestroyedWindowReportsDidStopWithAnError) {
    auto window = std::make_unique<TestWindow>(
        *session_, QStringList{"--size", "200x120", "--pos", "500,60", "--pattern", "solid:ffffff"});
    ASSERT_NE(window->id(), 0u);
    Received r;
    auto m = makeManager(r);
    ASSERT_FALSE(start(m, window->id()));
    ASSERT_TRUE(waitUntil([&] { return isSolid(r.latest, kWhite); }));
    window->send("quit");
    ASSERT_TRUE(waitUntil([&] { return !r.stops.empty(); })) << "no did-stop";
    ASSERT_EQ(r.stops.size(), 1u);
    ASSERT_TRUE(r.stops[0].has_value());
    EXPECT_FALSE(r.stops[0]->description.isEmpty());
    // The window is gone from the shareable windows, so a restart cannot find it.
    ASSERT_FALSE(await([&](Completion d) { m->stopCapture(d); }));
    auto error = await([&](Completion d) { m->restartCapture(d); });
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, CaptureError::windowNotFound());
}

TEST_F(X11CaptureTest, StoppedStreamDeliversNothingAndRestartsAtTheNewRate) {
    TestWindow window(*session_, {"--size", "200x120", "--pos", "700,400", "--animate", "60"});
    ASSERT_NE(window.id(), 0u);
    // An independent stream of the same window counts the changes.
    Received w;
    auto witness = makeManager(w);
    ASSERT_FALSE(start(witness, window.id()));
    Received r;
    auto m = makeManager(r);
    ASSERT_FALSE(start(m, window.id()));
    ASSERT_TRUE(waitUntil([&] { return r.count >= 5; })) << "an animated window gives frames";

    ASSERT_FALSE(await([&](Completion d) { m->stopCapture(d); }));
    const int afterStop = r.count;
    int base = w.count;
    ASSERT_TRUE(waitUntil([&] { return w.count >= base + 20; }));
    EXPECT_EQ(r.count, afterStop) << "a stopped stream delivered frames";

    // At 2 frames per second the restarted stream sees a handful while the witness, at 60,
    // sees 60 changes (about a second).
    settings_.setFrameRate(2);
    ASSERT_FALSE(await([&](Completion d) { m->restartCapture(d); }));
    EXPECT_TRUE(m->isStreamActive());
    base = w.count;
    const int restarted = r.count;
    ASSERT_TRUE(waitUntil([&] { return w.count >= base + 60; }, 10000));
    EXPECT_GE(r.count - restarted, 1);
    EXPECT_LE(r.count - restarted, 5) << "the new rate is not applied";
}

TEST_F(X11CaptureTest, CoveredSourceStillShowsItsOwnPixels) {
    for (bool compositor : {false, true}) {
        SCOPED_TRACE(compositor ? "with xcompmgr" : "without compositor");
        if (compositor) {
            ASSERT_TRUE(session_->startCompositor());
        }
        TestWindow source(*session_, {"--size", "300x200", "--pos", "300,200", "--pattern", "solid:ff0000"});
        ASSERT_NE(source.id(), 0u);
        // An override-redirect window stays on top of the source, over its middle.
        TestWindow cover(*session_, {"--size", "120x80", "--pos", "390,260", "--pattern", "solid:0000ff",
                                     "--override-redirect"});
        ASSERT_NE(cover.id(), 0u);
        Received r;
        auto m = makeManager(r);
        ASSERT_FALSE(start(m, source.id()));
        ASSERT_TRUE(waitUntil([&] { return isSolid(r.latest, kRed); }))
            << "source pixels are hidden by the covering window";
        // The source repaints while covered: still its own pixels.
        source.send("pattern quadrants");
        EXPECT_TRUE(waitUntil([&] { return showsQuadrants(r.latest) && pixelAt(r.latest, 0.45, 0.45) == kRed; }));
        source.send("quit");
        cover.send("quit");
        ASSERT_TRUE(waitUntil([&] { return !r.stops.empty(); }));
        m->stop();
    }
    session_->stopCompositor();
}

TEST_F(X11CaptureTest, SharedMemoryIsPrivateAndLeftBehindNowhere) {
    TestWindow window(*session_, {"--size", "160x100", "--pos", "10,500", "--animate", "30"});
    ASSERT_NE(window.id(), 0u);
    const pid_t pid = getpid();
    {
        Received r;
        auto m = makeManager(r);
        ASSERT_FALSE(start(m, window.id()));
        ASSERT_TRUE(waitUntil([&] { return r.count >= 10; }));
        const auto segments = ourShmSegments(pid);
        ASSERT_FALSE(segments.empty()) << "frames should live in shared memory";
        for (int perms : segments) {
            EXPECT_EQ(perms & 0777, 0600) << "segment readable by others";
            EXPECT_TRUE(perms & 01000) << "segment not marked for removal";
        }
        m->stop();
        r.latest.reset();
        managers_.clear();
    }
    // Once the stream is gone and the frames are dropped, the segments go with them.
    EXPECT_TRUE(waitUntil([&] { return ourShmSegments(pid).empty(); }))
        << ourShmSegments(pid).size() << " segments remain";
}

TEST_F(X11CaptureTest, NoSharedMemoryOutlivesACrashedCapturer) {
    const QString probe = X11Session::builtProgram("tools/mirano-capture-probe");
    if (!QFile::exists(probe)) GTEST_SKIP() << "capture probe not built (MIRANO_BUILD_TOOLS=OFF)";
    TestWindow window(*session_, {"--size", "160x100", "--pos", "900,600", "--animate", "30"});
    ASSERT_NE(window.id(), 0u);
    QProcess* capturer = session_->spawn(probe, {QString::number(window.id()), "--seconds", "60"});
    const pid_t pid = pid_t(capturer->processId());
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitUntil([&] { return !ourShmSegments(pid).empty(); }, 10000));
    for (int perms : ourShmSegments(pid)) EXPECT_TRUE(perms & 01000) << "not marked for removal";
    capturer->kill();  // SIGKILL: no destructor runs
    ASSERT_TRUE(capturer->waitForFinished(5000));
    EXPECT_TRUE(waitUntil([&] { return ourShmSegments(pid).empty(); }))
        << ourShmSegments(pid).size() << " segments outlive the killed capturer";
}

}  // namespace
