// The region panel on a real X display with Openbox (and, in the composited run, xcompmgr):
// it covers the rectangle, darkens what is below and takes the keys. (Dragging a region with the
// real pointer is checked end to end, on displays of 96 and 192 dots per inch.)
#include <gtest/gtest.h>

#include "platform/x11/X11PanelWindowSystem.h"
#include "region/RegionSelectionPanel.h"
#include "tests/support/Pixels.h"
#include "tests/support/ScreenInspector.h"
#include "tests/support/TestClientWindow.h"
#include "tests/support/XTestInput.h"

namespace mirano {
namespace {

using namespace testing;

TEST(RegionSelectionX11Test, CoversTheRectangleDarkensWhatIsBelowAndTakesEscape) {
    ASSERT_NE(gSession, nullptr);
    ScreenInspector inspector;
    XTestInput input;
    ASSERT_TRUE(inspector.isValid() && input.isValid());
    TestClientWindow client(*gSession,
                            {"--pos", "40,40", "--size", "700x500", "--pattern", "solid:ff0000"});
    ASSERT_NE(client.id(), 0u);
    ASSERT_TRUE(waitUntil([&] { return inspector.inputFocus() == client.id(); }));

    X11PanelWindowSystem windowSystem;
    const QRect area(100, 100, 400, 300);  // root coordinates
    RegionSelectionPanel panel(QRectF(area), windowSystem);
    int cancelled = 0;
    QObject::connect(&panel, &RegionSelectionPanel::cancelled, [&] { ++cancelled; });
    panel.showAndActivate();
    const auto xid = static_cast<xcb_window_t>(panel.winId());
    ASSERT_TRUE(waitUntil([&] { return inspector.rootGeometry(xid) == area; }));
    ASSERT_TRUE(waitUntil([&] { return inspector.inputFocus() == xid; }));

    // The red window shows through, darkened by black at 0.3.
    EXPECT_TRUE(waitUntil([&] {
        return near(inspector.pixel({110, 110}), QColor(178, 0, 0));
    })) << describe(inspector.pixel({110, 110}));
    EXPECT_TRUE(near(inspector.pixel({60, 60}), QColor(255, 0, 0)));  // outside the panel

    input.tap(keys::Escape);
    EXPECT_TRUE(waitUntil([&] { return cancelled == 1; }));
    panel.hide();
}

}  // namespace
}  // namespace mirano
