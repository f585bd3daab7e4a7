// The picture drawn by the X server into a panel: a stream presenting into a picture surface
// over a real Qt window on a private Xvfb + Openbox, checked on the screen's pixels. (Its rounded
// corners are checked with the real panel, with and without a compositing manager, in
// PiPPanelX11Test.)
#include <gtest/gtest.h>

#include <QPainter>
#include <QSignalSpy>
#include <QWidget>
#include <QWindow>

#include "capture/StreamManager.h"
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

constexpr QRect kPanel{700, 100, 320, 200};

TEST(PictureSurfaceX11Test, TheServerDrawsFittedPicturesWithTheOverlayAndKeepsThem) {
    QtScheduler scheduler;
    fakes::MemorySettings memory;
    memory.settings.setFrameRate(60);
    x11::X11CaptureService service{scheduler};
    ASSERT_FALSE(service.unavailable());
    ScreenInspector screen;
    // A plain top-level at a known place stands for the panel.
    QWidget host(nullptr, Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
    host.setGeometry(kPanel);
    host.show();
    ASSERT_TRUE(waitUntil([&] { return host.windowHandle() && host.windowHandle()->isExposed(); }));
    std::shared_ptr<PictureSurface> surface = service.makePictureSurface(*host.windowHandle());
    ASSERT_TRUE(surface);
    surface->setGeometry(host.rect());
    surface->setVisible(true);
    // Waits until the screen shows these colours at these fractions of the panel.
    const auto shows = [&](const std::vector<ColourAt>& expected) {
        return waitUntil([&] {
            return mirano::testing::shows([&](QPoint p) { return screen.pixel(p); }, kPanel,
                                          expected, 8);
        });
    };

    TestClientWindow source(*gSession,
                            {"--size", "640x400", "--pos", "20,20", "--pattern", "quadrants"});
    auto stream = std::make_shared<StreamManager>(service, memory.settings, scheduler);
    stream->setPictureSurface(surface);
    ASSERT_FALSE(startCaptureOnceListed(*stream, source.id()));
    QSignalSpy framesToTheProgram(stream.get(), &StreamManager::frameArrived);

    // The whole window, scaled to the panel by the server; no frame came to the program.
    ASSERT_TRUE(shows(kQuadrants)) << "the window is not in the panel";

    // Small changes are drawn where they are, and the rest of the picture stays.
    for (auto [x, y, colour] :
         {std::tuple{400, 300, QColor(Qt::cyan)}, {120, 60, QColor(Qt::magenta)}}) {
        source.send(
            QStringLiteral("fill %1 %2 %3 8 8").arg(colour.name().mid(1)).arg(x).arg(y).toLatin1());
        ASSERT_TRUE(shows({{(x + 4) / 640.0, (y + 4) / 400.0, colour},
                           {404.0 / 640, 304.0 / 400, Qt::cyan}}) &&
                    shows(kQuadrants))
            << "a small change is missing or misplaced";
    }

    // The overlay goes over the picture, and away again.
    QImage overlay(kPanel.size(), QImage::Format_ARGB32_Premultiplied);
    overlay.fill(Qt::transparent);
    QPainter(&overlay).fillRect(QRect(0, 0, 80, 50), Qt::magenta);
    surface->setOverlay(overlay);
    ASSERT_TRUE(shows({{0.1, 0.1, Qt::magenta}, {0.75, 0.75, Qt::blue}}));
    surface->setOverlay(QImage());
    ASSERT_TRUE(shows({{0.1, 0.1, Qt::red}}));

    // A source resized to another aspect is fitted, with bars, not stretched: 640 x 200 into
    // 320 x 200 leaves 50 black rows above and below.
    source.send("resize 640 200");
    ASSERT_TRUE(shows({{0.5, 0.1, Qt::black},
                       {0.5, 0.9, Qt::black},
                       {0.25, 0.3, Qt::red},
                       {0.75, 0.7, Qt::blue}}))
        << "the resized source is not fitted";

    // Zoomed into the blue quadrant (as wide as the panel's aspect allows: bars again).
    ASSERT_FALSE(await([&](Completion d) {
        stream->updateConfiguration(320, 200, QRectF(320, 100, 320, 100), d);
    }));
    ASSERT_TRUE(shows({{0.5, 0.5, Qt::blue}, {0.5, 0.1, Qt::black}}));

    // A panel of another size and aspect than its frames shows them as the view does, filled: their
    // sides are cut, so a mark 60 pixels into the frame lands at the panel's edge.
    host.resize(250, 250);
    surface->setGeometry(host.rect());
    source.send("fill ff00ff 380 100 10 100");
    ASSERT_TRUE(waitUntil(
        [&] { return near(screen.pixel(kPanel.topLeft() + QPoint(5, 125)), Qt::magenta); }));

    // Paused, the last picture stays, also after the panel was covered and uncovered.
    ASSERT_FALSE(await([&](Completion d) { stream->stopCapture(d); }));
    source.send("pattern solid:00ff00");
    {
        TestClientWindow cover(*gSession, {"--size", "200x120", "--pos", "750,150", "--pattern",
                                           "solid:ffff00", "--override-redirect"});
        ASSERT_TRUE(waitUntil([&] { return near(screen.pixel({800, 200}), Qt::yellow); }));
    }
    EXPECT_TRUE(waitUntil([&] { return near(screen.pixel({800, 200}), Qt::blue); }));

    // Dimmed over black (the opacity used without a compositing manager).
    surface->setOpacity(0.5);
    EXPECT_TRUE(waitUntil([&] { return near(screen.pixel({800, 200}), QColor(0, 0, 128), 4); }));
    EXPECT_TRUE(framesToTheProgram.empty());
    stream->stop();
}

}  // namespace
