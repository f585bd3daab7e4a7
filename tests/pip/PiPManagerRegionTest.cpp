// Starting a region selection over the focused window.
#include <QTest>

#include "region/RegionSelectionPanel.h"
#include "region/RegionSelectionView.h"
#include "tests/pip/PiPManagerTestSupport.h"

namespace mirano::testing {
namespace {

class Region : public PiPManagerFixture {
protected:
    Region() { windows.focused = kWindowID; }
};

TEST_F(Region, EscapeLeavesNothingAndSelectingTheRightHalfStartsAPiPOfIt) {
    manager->beginRegionSelection();
    QPointer<RegionSelectionPanel> escaped = manager->regionSelectionPanel();
    ASSERT_FALSE(escaped.isNull());
    QTest::keyClick(static_cast<QWidget*>(&escaped->view()), Qt::Key_Escape);
    flushDeletes();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    EXPECT_TRUE(escaped.isNull());
    EXPECT_EQ(manager->pipPanel(), nullptr);

    manager->beginRegionSelection();
    RegionSelectionPanel* selection = manager->regionSelectionPanel();
    ASSERT_NE(selection, nullptr);
    EXPECT_EQ(selection->frame(), QRectF(100, 50, 1000, 800)) << "exactly over the window";
    selection->onRegionSelected(QRectF(0.5, 0, 0.5, 1));
    scheduler.drain();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    ASSERT_NE(manager->pipPanel(), nullptr);
    EXPECT_EQ(manager->capturedWindowID(), kWindowID);
    EXPECT_EQ(stream()->initialConfiguration.sourceRect, QRectF(500, 0, 500, 800));
}

TEST_F(Region, OverAnotherWindowItClosesThePiPAndSelectsOverTheMirroredOneItOnlyCloses) {
    capture.addWindow(kOtherWindowID, 640, 480);
    manager->startPiP(*windows.focusedWindowFor(kOtherWindowID), std::nullopt);
    scheduler.drain();
    manager->beginRegionSelection();
    EXPECT_EQ(manager->pipPanel(), nullptr);
    ASSERT_NE(manager->regionSelectionPanel(), nullptr);

    // Stopping while selecting orders the selection out.
    QPointer<RegionSelectionPanel> selection = manager->regionSelectionPanel();
    manager->stopPiP();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    EXPECT_FALSE(selection->isVisible());

    start();
    manager->beginRegionSelection();
    EXPECT_EQ(manager->pipPanel(), nullptr);
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
}

TEST_F(Region, NothingToSelectOnWithoutPermissionAFocusedWindowOrItsFrame) {
    permissions.captureAllowed = false;
    manager->beginRegionSelection();
    EXPECT_EQ(permissions.captureRequests, 1);
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    permissions.captureAllowed = true;
    windows.focused = 0;
    manager->beginRegionSelection();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    windows.focused = kWindowID;
    windows.windows.erase(kWindowID);
    manager->beginRegionSelection();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
}

}  // namespace
}  // namespace mirano::testing
