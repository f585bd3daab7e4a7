// The real capture path on a private Xvfb + Openbox: StreamManager on the X11 capture service,
// watching our own test client windows.
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/composite.h>

#include <QCoreApplication>

#include "platform/qt/QtScheduler.h"
#include "platform/x11/X11CaptureService.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "tests/support/Pixels.h"
#include "tests/support/ScreenInspector.h"
#include "tests/support/TestClientWindow.h"
#include "tests/support/Waiting.h"

using namespace mirano;
using namespace mirano::testing;

namespace {

const QColor kRed(Qt::red), kGreen(Qt::green), kBlue(Qt::blue), kWhite(Qt::white),
    kYellow(Qt::yellow), kCyan(Qt::cyan), kBlack(Qt::black);

/// Whether the frame has that size and shows each colour at its place.
bool shows(const Frame& f, QSize size, const std::vector<ColourAt>& expected = kQuadrants) {
    return f && QSize(f->width(), f->height()) == size && frameShows(f, expected);
}
/// Nine points over the whole frame, all of one colour.
std::vector<ColourAt> solid(QColor c) {
    return {{.02, .02, c}, {.5, .02, c},  {.98, .02, c}, {.02, .5, c}, {.5, .5, c},
            {.98, .5, c},  {.02, .98, c}, {.5, .98, c},  {.98, .98, c}};
}
/// Expects these colours at these pixels.
void expectPixels(const Frame& f, std::initializer_list<std::tuple<int, int, QColor>> expected) {
    for (auto [x, y, colour] : expected) EXPECT_EQ(pixelOf(f, x, y), colour) << x << "," << y;
}

/// A stream manager and what it received.
struct Stream {
    std::shared_ptr<StreamManager> manager;
    Frame latest;
    int count = 0;
    std::vector<std::optional<Error>> stops;
    StreamManager* operator->() const { return manager.get(); }
};

struct X11CaptureTest : ::testing::Test, fakes::MemorySettings {
    static void SetUpTestSuite() { session_ = new X11Session(), scheduler_ = new QtScheduler(); }
    static void TearDownTestSuite() { delete scheduler_, delete session_; }
    void SetUp() override {
        ASSERT_TRUE(session_->error().isEmpty()) << qPrintable(session_->error());
        settings.setFrameRate(60);
        service_ =
            std::make_unique<x11::X11CaptureService>(*scheduler_, session_->display().toLatin1());
        ASSERT_FALSE(service_->unavailable()) << qPrintable(service_->unavailable()->description);
    }

    /// A stream manager (of our service unless another is given), recording what it receives,
    /// capturing window `id`; a failed start fails the test (and its frames never come).
    Stream& capture(WindowNumber id, std::optional<std::int64_t> w = {},
                    std::optional<std::int64_t> h = {}, QRectF rect = {},
                    CaptureService* service = nullptr) {
        Stream& s = *streams_.emplace_back(std::make_unique<Stream>());
        s.manager =
            std::make_shared<StreamManager>(service ? *service : *service_, settings, *scheduler_);
        QObject::connect(s.manager.get(), &StreamManager::frameArrived,
                         [&s](const Frame& f) { s.latest = f, ++s.count; });
        QObject::connect(s.manager.get(), &StreamManager::stopped,
                         [&s](std::optional<Error> e) { s.stops.push_back(e); });
        startCaptureOnceListed(*s.manager, id, w, h, rect);  // a failed start fails the test
        return s;
    }
    /// Our test client window of that size and position, with more arguments.
    TestClientWindow client(const char* size, const char* pos, QStringList more) {
        return TestClientWindow(*session_, QStringList{"--size", size, "--pos", pos} + more);
    }

    static inline X11Session* session_ = nullptr;
    static inline QtScheduler* scheduler_ = nullptr;
    std::unique_ptr<x11::X11CaptureService> service_;
    std::vector<std::unique_ptr<Stream>> streams_;  // destroyed before the service
};

TEST_F(X11CaptureTest, WholeWindowRegionAndResizedSourceFramesCarrySizeAndPixelsInPrivateMemory) {
    auto window = client("320x200", "40,40", {"--pattern", "quadrants"});
    Stream& s = capture(window.id());
    // (The window's size as measured on the server, at two scales: ScreensX11Test.)
    ASSERT_TRUE(waitUntil([&] { return shows(s.latest, {320, 200}); }));
    // Its frames live in shared memory: owner-only, and marked for removal while in use (so that
    // nothing outlives a capturer that is killed).
    ASSERT_FALSE(shmSegmentsOf(getpid()).empty()) << "frames should live in shared memory";
    for (int perms : shmSegmentsOf(getpid())) EXPECT_EQ(perms & 01777, 01600) << std::oct << perms;
    // Exact edges: one pixel per point, no blending across the quadrant borders.
    expectPixels(
        s.latest,
        {{0, 0, kRed}, {159, 99, kRed}, {160, 99, kGreen}, {159, 100, kWhite}, {319, 199, kBlue}});

    // A region of 80 x 50 points around the centre, doubled: each quadrant covers a quarter.
    Stream& r = capture(window.id(), 160, 100, QRectF(120, 75, 80, 50));
    ASSERT_TRUE(waitUntil([&] { return shows(r.latest, {160, 100}); }));
    expectPixels(r.latest, {{0, 0, kRed}, {159, 99, kBlue}, {150, 10, kGreen}, {10, 90, kWhite}});

    // A change of the window's contents arrives.
    window.send("pattern bars");
    EXPECT_TRUE(waitUntil([&] {
        return shows(s.latest, {320, 200}, {{1.5 / 8, 0.5, kYellow}, {2.5 / 8, 0.5, kCyan}});
    }));
    // The region shrunk and of another aspect: 80 x 200 points fitted into 80 x 100 pixels, not
    // stretched: the second and third bar 20 pixels each, black bars left and right.
    ASSERT_FALSE(
        await([&](Completion d) { r->updateConfiguration(80, 100, QRectF(40, 0, 80, 200), d); }));
    ASSERT_TRUE(waitUntil([&] {
        return shows(r.latest, {80, 100}, {{25 / 80.0, 0.5, kYellow}, {55 / 80.0, 0.5, kCyan}});
    }));
    expectPixels(r.latest, {{5, 50, kBlack}, {75, 50, kBlack}, {38, 50, kYellow}, {42, 50, kCyan}});
    // Depth-24 window: alpha is opaque everywhere, also where bilinear sampling meets the edge.
    for (int x : {0, 39, 40, 79})
        for (int y : {0, 99}) EXPECT_EQ(pixelOf(r.latest, x, y).alpha(), 255) << x << "," << y;

    // A window number that is not a client window is not found (asked of the region's manager,
    // which a failed start leaves as it was).
    const WindowNumber rootWindow = ScreenInspector().connection().root();
    EXPECT_EQ(await([&](Completion d) { r->startCapture(rootWindow, {}, {}, QRectF(), d); }),
              CaptureError::windowNotFound());

    // The source resized larger: the whole new window is scaled into the configured 320 x 200.
    // With the old pixmap, x = 45% would fall right of the old 160-point border and show green.
    window.send("pattern quadrants");
    window.send("resize 480 300");
    ASSERT_TRUE(waitUntil([&] {
        return shows(s.latest, {320, 200}) &&
               frameShows(s.latest, {{0.45, 0.25, kRed}, {0.45, 0.75, kWhite}});
    })) << "frame does not show the resized window";
    // The new area can be zoomed into: the blue quadrant now reaches 480 x 300.
    ASSERT_FALSE(
        await([&](Completion d) { s->updateConfiguration(40, 25, QRectF(400, 250, 80, 50), d); }));
    ASSERT_TRUE(waitUntil([&] { return shows(s.latest, {40, 25}, solid(kBlue)); }));

    // Smaller again, whole window, one pixel per point.
    ASSERT_FALSE(await([&](Completion d) { s->resetSourceRect(200, 100, d); }));
    window.send("resize 200 100");
    ASSERT_TRUE(waitUntil([&] {
        return shows(s.latest, {200, 100}) && pixelOf(s.latest, 99, 49) == kRed &&
               pixelOf(s.latest, 100, 49) == kGreen;
    })) << "frame does not show the shrunk window one pixel per point";
    EXPECT_TRUE(s.stops.empty());

    // Once the streams are gone and their frames dropped, their shared memory goes with them.
    streams_.clear();
    EXPECT_TRUE(waitUntil([&] { return shmSegmentsOf(getpid()).empty(); }))
        << shmSegmentsOf(getpid()).size() << " segments remain";
}

TEST_F(X11CaptureTest, StoppedStreamDeliversNothingRestartsAtTheNewRateAndShutDownJoinsTheThread) {
    auto window = client("200x120", "700,400", {"--animate", "60"});
    Stream& w = capture(window.id());  // an independent stream of the window counts the changes
    Stream& s = capture(window.id());
    ASSERT_TRUE(waitUntil([&] { return s.count >= 5; })) << "an animated window gives frames";

    ASSERT_FALSE(await([&](Completion d) { s->stopCapture(d); }));
    const int afterStop = s.count;
    int base = w.count;
    ASSERT_TRUE(waitUntil([&] { return w.count >= base + 20; }));
    EXPECT_EQ(s.count, afterStop) << "a stopped stream delivered frames";

    // At 2 frames per second the restarted stream sees a handful while the witness, at 60,
    // sees 60 changes (about a second).
    settings.setFrameRate(2);
    ASSERT_FALSE(await([&](Completion d) { s->restartCapture(d); }));
    base = w.count;
    const int restarted = s.count;
    ASSERT_TRUE(waitUntil([&] { return w.count >= base + 60; }, 10000));
    EXPECT_GE(s.count - restarted, 1);
    EXPECT_LE(s.count - restarted, 5) << "the new rate is not applied";

    // Shutting down joins the capture thread. What was posted before the join may still be
    // queued; after it, nothing new comes.
    service_->shutDown();
    QCoreApplication::processEvents();
    const int after = w.count;
    // The window is no longer redirected: its pixmap cannot be named any more.
    ScreenInspector inspector;
    x11::XConnection& x = inspector.connection();
    EXPECT_TRUE(
        x11::reply(xcb_request_check(x.get(), xcb_composite_name_window_pixmap_checked(
                                                  x.get(), window.id(), xcb_generate_id(x.get())))))
        << "the window is still redirected";
    // Nothing comes while another service's stream sees the window change a dozen times.
    settings.setFrameRate(60);
    x11::X11CaptureService other(*scheduler_, session_->display().toLatin1());
    Stream& witness = capture(window.id(), {}, {}, {}, &other);
    EXPECT_TRUE(waitUntil([&] { return witness.count >= 12; }));
    EXPECT_EQ(w.count, after) << "frames arrived after the capture thread was joined";
    streams_.pop_back();  // before its service
    // Operations after the shutdown complete nowhere and crash nothing.
    s->stop();
    service_->shutDown();
}

TEST_F(X11CaptureTest, CoveredSourceShowsItsOwnPixelsAndUnmappedItsLastFrame) {
    for (bool compositor : {false, true}) {
        SCOPED_TRACE(compositor ? "with xcompmgr" : "without compositor");
        ASSERT_TRUE(!compositor || session_->startCompositor());
        auto source = client("300x200", "300,200", {"--pattern", "solid:ff0000"});
        // An override-redirect window stays on top of the source, over its middle.
        auto cover =
            client("120x80", "390,260", {"--pattern", "solid:0000ff", "--override-redirect"});
        ASSERT_NE(cover.id(), 0u);
        Stream& s = capture(source.id());
        ASSERT_TRUE(waitUntil([&] { return frameShows(s.latest, solid(kRed)); }))
            << "source pixels are hidden by the covering window";
        // The source repaints while covered: still its own pixels.
        source.send("pattern quadrants");
        EXPECT_TRUE(waitUntil([&] {
            return shows(s.latest, {300, 200}, kQuadrants) &&
                   frameShows(s.latest, {{0.45, 0.45, kRed}});
        }));

        source.send("unmap");
        ASSERT_TRUE(waitUntil([&] {
            return ScreenInspector().attributes(source.id())->map_state != XCB_MAP_STATE_VIEWABLE;
        }));
        // Painting an unmapped window shows nothing; the last frame stays and nothing ends. A
        // second, live window proves the capture thread keeps working meanwhile.
        source.send("pattern solid:00ff00");
        auto witness = client("100x100", "700,500", {"--pattern", "solid:0000ff"});
        Stream& w = capture(witness.id());
        ASSERT_TRUE(waitUntil([&] { return frameShows(w.latest, solid(kBlue)); }));
        EXPECT_TRUE(frameShows(s.latest, kQuadrants));
        source.send("map");
        EXPECT_TRUE(waitUntil([&] {
            return shows(s.latest, {300, 200}, solid(kGreen));
        })) << "capture did not resume";
        EXPECT_TRUE(s.stops.empty()) << "the unmapped window ended the stream";

        source.send("quit");
        cover.send("quit");
        // A destroyed source ends the stream with an error.
        ASSERT_TRUE(waitUntil([&] { return !s.stops.empty(); }));
        EXPECT_TRUE(s.stops.size() == 1 && s.stops[0] && !s.stops[0]->description.isEmpty());
        // (That a window no longer there cannot be restarted: StreamManagerTest with the
        // listing, the root window's start above with the server's.)
        s->stop();
    }
    session_->stopCompositor();
}

TEST_F(X11CaptureTest, WithoutSharedMemoryOrRenderFramesStillComeAndTheLimitIsSaidOnce) {
    // A server in an IPC namespace of its own cannot attach our segments, like one on
    // another host: MIT-SHM is there, but every attach fails. Without RENDER the window's
    // pixels come whole and are scaled here.
    for (const auto& [separateIpc, said] :
         {std::pair{true, "Shared memory cannot be used"}, {false, "The X server lacks RENDER"}}) {
        SCOPED_TRACE(said);
        X11Session remote({.separateIpc = separateIpc, .withoutRender = !separateIpc});
        if (!remote.error().isEmpty()) {
            // Unprivileged users may not be allowed an IPC namespace.
            if (!separateIpc) ADD_FAILURE() << "session: " << qPrintable(remote.error());
            continue;
        }
        bool arrived = false;
        // The capture's lines are counted: the checks below wait until its output is back.
        ::testing::internal::CaptureStdout();
        {
            x11::X11CaptureService service(*scheduler_, remote.display().toLatin1());
            TestClientWindow window(remote, {"--size", "320x200", "--pattern", "quadrants"});
            Stream& a = capture(window.id(), {}, {}, {}, &service);
            Stream& b = capture(window.id(), {}, {}, {}, &service);
            arrived = waitUntil([&] {
                return frameShows(a.latest, kQuadrants) && frameShows(b.latest, kQuadrants);
            });
            streams_.clear();  // before their service
        }
        const QString out = QString::fromStdString(::testing::internal::GetCapturedStdout());
        EXPECT_TRUE(arrived) << "no frames; said: " << qPrintable(out);
        EXPECT_EQ(out.count(said), 1) << qPrintable(out);
        EXPECT_TRUE(shmSegmentsOf(getpid()).empty()) << "failed segments were left behind";
    }
}

}  // namespace
