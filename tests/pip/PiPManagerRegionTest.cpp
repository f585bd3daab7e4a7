// Starting a region selection over the focused window.
#include "region/RegionSelectionPanel.h"
#include "region/RegionSelectionView.h"
#include "tests/pip/PiPManagerTestSupport.h"

#include <QTest>

namespace mirano::testing {
namespace {

class Region : public PiPManagerFixture {
protected:
    Region() {
        workspace.frontmostPID = kPid;
        accessibility.setFocusedWindow(kPid, kElement, kWindowID);
        windowList.setBounds(kWindowID, 100, 50, 1000, 800);
    }
};

TEST_F(Region, NeedsCapturePermission) {
    permissions.captureAllowed = false;
    manager->beginRegionSelection();
    EXPECT_EQ(permissions.captureRequests, 1);
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
}

TEST_F(Region, SelectingTheRightHalfStartsAPiPOfIt) {
    manager->beginRegionSelection();
    RegionSelectionPanel* selection = manager->regionSelectionPanel();
    ASSERT_NE(selection, nullptr);
    // Laid exactly over the window (1080 points of flip height on this screen: 900).
    EXPECT_EQ(selection->frame(), QRectF(100, 900 - 50 - 800, 1000, 800));
    EXPECT_TRUE(selection->isVisible());

    selection->onRegionSelected(QRectF(0.5, 0, 0.5, 1));
    scheduler.drain();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    ASSERT_NE(manager->pipPanel(), nullptr);
    EXPECT_EQ(manager->currentSourceRect(), QRectF(500, 0, 500, 800));
    EXPECT_EQ(manager->capturedWindowID(), kWindowID);
    EXPECT_EQ(stream()->initialConfiguration.sourceRect, QRectF(500, 0, 500, 800));
}

TEST_F(Region, EscapeLeavesNothing) {
    manager->beginRegionSelection();
    QPointer<RegionSelectionPanel> selection = manager->regionSelectionPanel();
    ASSERT_FALSE(selection.isNull());
    QTest::keyClick(static_cast<QWidget*>(&selection->view()), Qt::Key_Escape);
    flushDeletes();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    EXPECT_TRUE(selection.isNull());
    EXPECT_EQ(manager->pipPanel(), nullptr);
}

TEST_F(Region, OnTheMirroredWindowItOnlyClosesThePiP) {
    start();
    manager->beginRegionSelection();
    EXPECT_EQ(manager->pipPanel(), nullptr);
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
}

TEST_F(Region, OnAnotherWindowItClosesThePiPAndOpensTheSelection) {
    constexpr WindowNumber kOtherID = 0x3300001;
    setWindow(640, 480, kOtherID);
    manager->startPiP(WindowElement{kOtherID}, kOtherID, kOtherPid, std::nullopt);
    scheduler.drain();
    manager->beginRegionSelection();
    EXPECT_EQ(manager->pipPanel(), nullptr);
    ASSERT_NE(manager->regionSelectionPanel(), nullptr);

    // Stopping while selecting orders the selection out.
    QPointer<RegionSelectionPanel> selection = manager->regionSelectionPanel();
    manager->stopPiP();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    EXPECT_FALSE(selection->isVisible());
}

TEST_F(Region, NoFocusedWindowOrNoFrameDoesNothing) {
    workspace.frontmostPID.reset();
    manager->beginRegionSelection();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
    workspace.frontmostPID = kPid;
    windowList.windows[kWindowID] = std::vector<WindowDescription>{};
    manager->beginRegionSelection();
    EXPECT_EQ(manager->regionSelectionPanel(), nullptr);
}

}  // namespace
}  // namespace mirano::testing
