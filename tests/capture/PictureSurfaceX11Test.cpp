// The picture drawn by the X server into a panel: a stream presenting into a picture surface
// over a real Qt window on a private Xvfb + Openbox, checked on the screen's pixels.
#include <gtest/gtest.h>

#include <QPainter>
#include <QWidget>
#include <QWindow>

#include "capture/StreamManager.h"
#include "platform/qt/QtScheduler.h"
#include "platform/x11/X11CaptureService.h"
#include "settings/AppSettings.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "tests/window/PanelX11Support.h"

using namespace mirano;
using mirano::testing::await;
using mirano::testing::gSession;
using mirano::testing::near;
using mirano::testing::TestClientWindow;
using mirano::testing::waitUntil;

namespace {

class PictureSurfaceX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service_.unavailable() == std::nullopt);
        ASSERT_TRUE(x_.isValid());
        settings_.setFrameRate(60);
    }
    void TearDown() override { gSession->stopCompositor(); }
    /// A plain top-level at a known place stands for the panel; translucent, it has alpha
    /// (under a compositing manager).
    void showHost(bool translucent) {
        host_.setWindowFlags(Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
        host_.setAttribute(Qt::WA_TranslucentBackground, translucent);
        host_.setGeometry(kPanel);
        host_.show();
        ASSERT_TRUE(
            waitUntil([&] { return host_.windowHandle() && host_.windowHandle()->isExposed(); }));
        surface_ = service_.makePictureSurface(*host_.windowHandle());
        ASSERT_TRUE(surface_);
        surface_->setGeometry(host_.rect());
        surface_->setVisible(true);
    }
    std::shared_ptr<StreamManager> mirror(TestClientWindow& source) {
        auto stream = std::make_shared<StreamManager>(service_, settings_, scheduler_);
        stream->setPictureSurface(surface_);
        std::optional<Error> error;
        // The window manager lists the window once it manages it.
        EXPECT_TRUE(waitUntil([&] {
            error = await(
                [&](Completion d) { stream->startCapture(source.id(), {}, {}, QRectF(), d); });
            return !error;
        })) << qPrintable(error->description);
        return stream;
    }

    /// Whether the screen shows these colours at these fractions of the panel.
    bool shows(std::initializer_list<std::tuple<double, double, QColor>> expected) {
        for (auto [fx, fy, c] : expected)
            if (!near(x_.pixel(kPanel.x() + int(fx * kPanel.width()),
                               kPanel.y() + int(fy * kPanel.height())),
                      c, 8))
                return false;
        return true;
    }

    static constexpr QRect kPanel{700, 100, 320, 200};
    QtScheduler scheduler_;
    fakes::MemoryDefaultsStore store_;
    AppSettings settings_{store_};
    x11::X11CaptureService service_{scheduler_};
    mirano::testing::Inspector x_;
    QWidget host_;
    std::shared_ptr<PictureSurface> surface_;
};

TEST_F(PictureSurfaceX11Test, TheServerDrawsFittedPicturesWithTheOverlayAndKeepsThem) {
    showHost(false);
    TestClientWindow source(*gSession,
                            {"--size", "640x400", "--pos", "20,20", "--pattern", "quadrants"});
    ASSERT_NE(source.id(), 0u);
    auto stream = mirror(source);
    int framesToTheProgram = 0;
    stream->onFrame = [&](const Frame&) { ++framesToTheProgram; };

    const auto quadrants = [&] {
        return shows({{0.25, 0.25, Qt::red},
                      {0.75, 0.25, Qt::green},
                      {0.25, 0.75, Qt::white},
                      {0.75, 0.75, Qt::blue}});
    };
    // The whole window, scaled to the panel by the server; no frame came to the program.
    ASSERT_TRUE(waitUntil(quadrants)) << "the panel does not show the window";
    EXPECT_EQ(framesToTheProgram, 0);

    // Small changes are drawn where they are, and the rest of the picture stays.
    for (auto [x, y, colour] : {std::tuple{400, 300, QColor(Qt::cyan)}, {120, 60, Qt::magenta}}) {
        source.send(
            QStringLiteral("fill %1 %2 %3 8 8").arg(colour.name().mid(1)).arg(x).arg(y).toLatin1());
        ASSERT_TRUE(waitUntil([&] {
            return shows({{(x + 4) / 640.0, (y + 4) / 400.0, colour},
                          {404.0 / 640, 304.0 / 400, Qt::cyan}}) &&
                   quadrants();
        })) << "a small change is missing or misplaced";
    }

    // The overlay goes over the picture, and away again.
    QImage overlay(kPanel.size(), QImage::Format_ARGB32_Premultiplied);
    overlay.fill(Qt::transparent);
    QPainter(&overlay).fillRect(QRect(0, 0, 80, 50), Qt::magenta);
    surface_->setOverlay(overlay);
    ASSERT_TRUE(waitUntil([&] {
        return shows({{0.1, 0.1, Qt::magenta}, {0.75, 0.75, Qt::blue}});
    }));
    surface_->setOverlay(QImage());
    ASSERT_TRUE(waitUntil([&] { return shows({{0.1, 0.1, Qt::red}}); }));

    // A source resized to another aspect is fitted, with bars, not stretched: 640 x 200 into
    // 320 x 200 leaves 50 black rows above and below.
    source.send("resize 640 200");
    ASSERT_TRUE(waitUntil([&] {
        return shows({{0.5, 0.1, Qt::black},
                      {0.5, 0.9, Qt::black},
                      {0.25, 0.3, Qt::red},
                      {0.75, 0.7, Qt::blue}});
    })) << "the resized source is not fitted";

    // Zoomed into the blue quadrant (as wide as the panel's aspect allows: bars again).
    ASSERT_FALSE(await([&](Completion d) {
        stream->updateConfiguration(320, 200, QRectF(320, 100, 320, 100), d);
    }));
    ASSERT_TRUE(waitUntil([&] { return shows({{0.5, 0.5, Qt::blue}, {0.5, 0.1, Qt::black}}); }));

    // A larger panel: the picture follows the new size.
    host_.resize(400, 250);
    surface_->setGeometry(host_.rect());
    ASSERT_TRUE(waitUntil(
        [&] { return near(x_.pixel(kPanel.x() + 390, kPanel.y() + 125), Qt::blue); }));

    // Paused, the last picture stays, also after the panel was covered and uncovered.
    ASSERT_FALSE(await([&](Completion d) { stream->stopCapture(d); }));
    source.send("pattern solid:00ff00");
    {
        TestClientWindow cover(*gSession, {"--size", "200x120", "--pos", "750,150", "--pattern",
                                           "solid:ffff00", "--override-redirect"});
        ASSERT_TRUE(waitUntil([&] { return near(x_.pixel(800, 200), Qt::yellow); }));
    }
    EXPECT_TRUE(waitUntil([&] { return near(x_.pixel(800, 200), Qt::blue); }))
        << "the uncovered panel lost its picture";

    // Dimmed over black (the opacity used without a compositing manager).
    surface_->setOpacity(0.5);
    EXPECT_TRUE(waitUntil([&] { return near(x_.pixel(800, 200), QColor(0, 0, 128), 4); }));
    EXPECT_EQ(framesToTheProgram, 0);
    stream->stop();
}

TEST_F(PictureSurfaceX11Test, RoundedCornersShowWhatIsBelowUnderACompositingManager) {
    ASSERT_TRUE(gSession->startCompositor());
    showHost(true);
    surface_->setCornerRadius(16);
    TestClientWindow source(*gSession,
                            {"--size", "320x200", "--pos", "20,20", "--pattern", "solid:ff0000"});
    ASSERT_NE(source.id(), 0u);
    auto stream = mirror(source);
    // Inside the rounding the picture, all the way into the corner's curve; outside it, not.
    EXPECT_TRUE(waitUntil([&] {
        for (QPoint out : {kPanel.topLeft(), kPanel.topRight(), kPanel.bottomLeft(),
                           kPanel.bottomRight()}) {
            const QPoint in = out + QPoint(out.x() == kPanel.x() ? 6 : -6,
                                           out.y() == kPanel.y() ? 6 : -6);
            if (!near(x_.pixel(in), Qt::red, 8) || near(x_.pixel(out), Qt::red, 8)) return false;
        }
        return true;
    })) << "corner " << mirano::testing::describe(x_.pixel(kPanel.topLeft() + QPoint(6, 6)));
    stream->stop();
}

}  // namespace
