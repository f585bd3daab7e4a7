// A layer-shell panel on a real compositor (headless sway): placement, focus, drag, hiding.
#include <gtest/gtest.h>

#include <QBitmap>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include "platform/wayland/panel/PanelSurface.h"
#include "platform/wayland/panel/WaylandPanelWindowSystem.h"
#include "platform/wayland/toplevels/ToplevelList.h"
#include "platform/wayland/toplevels/WlrWindows.h"
#include "tests/support/Pixels.h"
#include "tests/support/VirtualPointer.h"
#include "tests/wayland/WaylandTestSupport.h"

using namespace mirano::testing;
using mirano::wayland::PanelSurface;
using mirano::wayland::ToplevelList;
using mirano::wayland::WaylandPanelWindowSystem;
using mirano::wayland::WlrWindows;

namespace {
const QColor kPanelColour(255, 0, 255);

/// Waits until the screen shows `colour` exactly within `expected` (empty: nowhere); says where
/// it was seen when it does not.
::testing::AssertionResult waitForColourAt(const QColor& colour, const QRect& expected) {
    QRect seen;  // the bounding box of the pixels of exactly `colour`
    const auto shown = [&] {
        const QImage shot = gWayland->screenshot().convertToFormat(QImage::Format_RGB32);
        seen = QRegion(QBitmap::fromImage(shot.createMaskFromColor(colour.rgb(), Qt::MaskOutColor)))
                   .boundingRect();
        return seen == expected;
    };
    if (waitUntil(shown, 10000)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "seen at " << describe(seen);
}

/// A rounded, translucent panel of one colour that starts a window-system move on a press, or a
/// resize on a press at its bottom-right corner, as the PiP panel does.
class TestPanel : public QWidget {
public:
    explicit TestPanel(WaylandPanelWindowSystem& ws)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
          ws_(ws) {
        setAttribute(Qt::WA_TranslucentBackground);
    }
    int presses = 0;
    QPoint lastPress;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);  // on a backing store Qt clears, the window being translucent
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 12, 12);
        p.fillPath(path, kPanelColour);
    }
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        lastPress = event->position().toPoint();
        const QPoint fromCorner = QPoint(width(), height()) - lastPress;
        if (fromCorner.x() <= 6 && fromCorner.y() <= 6)
            ws_.beginResize(*windowHandle(), Qt::BottomEdge | Qt::RightEdge);
        else
            ws_.beginMove(*windowHandle());
    }

private:
    WaylandPanelWindowSystem& ws_;
};
}  // namespace

TEST(WaylandPanelTest, FloatingPanelSitsInItsCornerMovesResizesAndHides) {
    WaylandPanelWindowSystem ws(true);
    ASSERT_TRUE(ws.hasLayerShell());
    WlrWindows windows(std::make_unique<ToplevelList>(), &PanelSurface::anyHasKeys);
    ChildProcess* source = startTestWindow(*gWayland, kA, "darkcyan");
    VirtualPointer pointer(*gWayland);
    ASSERT_TRUE(pointer.isValid());

    // Where the X11 placement puts a 320 × 180 panel in the bottom-right corner.
    const QRect placed(944, 524, 320, 180);
    TestPanel panel(ws);
    panel.setGeometry(placed);
    panel.winId();
    ws.configureFloatingPanel(*panel.windowHandle());
    panel.show();
    EXPECT_TRUE(waitForColourAt(kPanelColour, placed));
    // Translucent rounded corners: the window below shows through the corner pixel.
    const QImage corner = gWayland->screenshot(QRect(placed.topLeft(), QSize(2, 2)));
    EXPECT_EQ(corner.pixelColor(0, 0).rgb(), QColor("darkcyan").rgb());

    // Shown, it left the keyboard focus where it was; a click reaches it and gives it the keys
    // (sway shows a layer surface's focus as no view focused), while the focused window is still
    // the one the user was in.
    EXPECT_EQ(gWayland->focusedAppId(), kA);
    pointer.click(placed.center());
    EXPECT_TRUE(waitUntil([&] { return panel.presses == 1; }));
    EXPECT_TRUE(waitUntil([] { return gWayland->focusedAppId().isEmpty(); }));
    EXPECT_EQ(focusedAppId(windows), kA);

    // A drag of its content moves it, and its margins with it.
    pointer.moveTo(placed.center());
    pointer.press();
    EXPECT_TRUE(waitUntil([&] { return panel.presses == 2; }));
    const QRect moved = placed.translated(-100, -60);
    pointer.moveTo(moved.center());
    EXPECT_TRUE(waitUntil([&] { return panel.geometry() == moved; }));
    pointer.release();
    EXPECT_TRUE(waitForColourAt(kPanelColour, moved));

    // (Alpha 0 takes it out of sight and back: the PiP's hide request, MiranoWayland.)
    // Click-through: the press passes to the window below (presses arrive in order, so the
    // second click's press comes after any the first one made).
    ws.setInputPassThrough(*panel.windowHandle(), true);
    pointer.click(moved.center());
    ws.setInputPassThrough(*panel.windowHandle(), false);
    pointer.click(moved.center() + QPoint(5, 5));
    EXPECT_TRUE(waitUntil(
        [&] { return panel.lastPress == moved.center() + QPoint(5, 5) - moved.topLeft(); }));
    EXPECT_EQ(panel.presses, 3);

    // A drag of its bottom-right corner resizes it at the aspect it was given; the surface and
    // its margins follow.
    ws.setSizeConstraints(*panel.windowHandle(), QSizeF(100, 56.25), QSizeF(16, 9));
    const QPoint grip = moved.topLeft() + QPoint(moved.width() - 2, moved.height() - 2);
    pointer.moveTo(grip);
    pointer.press();
    EXPECT_TRUE(waitUntil([&] { return panel.presses == 4; }));
    pointer.moveTo(grip + QPoint(80, 10));
    EXPECT_TRUE(waitUntil([&] { return panel.width() == 400; }));
    pointer.release();
    const QRect resized(moved.topLeft(), QSize(400, 225));
    EXPECT_TRUE(waitForColourAt(kPanelColour, resized));

    // Hidden, it gives the keys back; shown again, Qt makes a new surface: it becomes a layer
    // surface again, in place, and takes no focus.
    panel.hide();
    EXPECT_TRUE(waitForColourAt(kPanelColour, QRect()));
    EXPECT_TRUE(waitUntil([] { return gWayland->focusedAppId() == kA; }));
    panel.show();
    EXPECT_TRUE(waitForColourAt(kPanelColour, resized));
    EXPECT_FALSE(waitUntil([] { return gWayland->focusedAppId() != kA; }, 1000));

    // (An overlay panel takes the keys while shown and gives them back: the region picker in
    // MiranoWayland's walk, which Escape typed there takes away, the focus back in the source.)
    source->stop();
}
