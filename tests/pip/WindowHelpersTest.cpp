// The window helpers' call sequences against fakes of the platform services.
#include "pip/WindowHelpers.h"
#include "tests/fakes/FakeAccessibility.h"
#include "tests/fakes/FakeScreens.h"
#include "tests/fakes/FakeWindowList.h"
#include "tests/fakes/FakeWindowServer.h"
#include "tests/fakes/FakeWorkspace.h"

#include <gtest/gtest.h>

#include <map>

namespace mirano {
namespace {

using fakes::FakeAccessibility;

constexpr ProcessID kPid = 321;
const WindowElement kWindow{0x4400001};
constexpr WindowNumber kNumber = 0x4400001;

class WindowHelpersTest : public ::testing::Test {
protected:
    WindowHelpersTest() {
        workspace.log = &log;
        accessibility.log = &log;
        windowList.log = &log;
        windowServer.log = &log;
    }
    fakes::CallLog log;
    fakes::FakeWorkspace workspace;
    FakeAccessibility accessibility;
    fakes::FakeWindowList windowList;
    fakes::FakeScreens screens;
    fakes::FakeWindowServer windowServer;
    WindowHelpers helpers{workspace, accessibility, windowList, screens, windowServer};
    const QString app = QString::number(FakeAccessibility::appElement(kPid).handle, 16);
    const QString win = QString::number(kWindow.handle, 16);
};

TEST_F(WindowHelpersTest, FocusedWindowFollowsTheFrontmostApplicationsFocusedElement) {
    // No frontmost application.
    EXPECT_EQ(helpers.focusedWindow(), std::nullopt);
    EXPECT_FALSE(helpers.isFocusedWindowFullScreen());

    // An application without a focused window.
    workspace.frontmostPID = kPid;
    EXPECT_EQ(helpers.focusedWindow(), std::nullopt);

    // A focused window whose number resolves to 0.
    accessibility.setFocusedWindow(kPid, kWindow, 0);
    EXPECT_EQ(helpers.focusedWindow(), std::nullopt);
    // ... or whose number cannot be had.
    accessibility.windowNumbers[kWindow.handle] = {kAXErrorFailure, kNumber};
    EXPECT_EQ(helpers.focusedWindow(), std::nullopt);

    // The focused attribute holds something that is not an element.
    accessibility.setAttribute(FakeAccessibility::appElement(kPid), kAXFocusedWindowAttribute,
                               QStringLiteral("text"));
    accessibility.windowNumbers[kWindow.handle] = {kAXErrorSuccess, kNumber};
    EXPECT_EQ(helpers.focusedWindow(), std::nullopt);

    accessibility.setFocusedWindow(kPid, kWindow, kNumber);
    log.calls.clear();
    EXPECT_EQ(helpers.focusedWindow(), (FocusedWindow{kWindow, kNumber, kPid}));
    EXPECT_EQ(log.calls, (QStringList{"frontmostApplication", "applicationElement 321",
                                      "copy " + app + " AXFocusedWindow", "windowNumber " + win}));
}

TEST_F(WindowHelpersTest, FullScreenIsTheFocusedWindowsNumberAttribute) {
    workspace.frontmostPID = kPid;
    accessibility.setFocusedWindow(kPid, kWindow, kNumber);
    EXPECT_FALSE(helpers.isFocusedWindowFullScreen()) << "missing attribute";

    accessibility.setAttribute(kWindow, kAXFullScreenAttribute, QStringLiteral("yes"));
    EXPECT_FALSE(helpers.isFocusedWindowFullScreen()) << "not a number";

    accessibility.attributes[{kWindow.handle, kAXFullScreenAttribute}] =
        AXAttributeResult{kAXErrorFailure, AXValue{AXBoolean{true}}};
    EXPECT_FALSE(helpers.isFocusedWindowFullScreen()) << "failed call";

    accessibility.setAttribute(kWindow, kAXFullScreenAttribute, AXBoolean{true});
    EXPECT_TRUE(helpers.isFocusedWindowFullScreen());
    accessibility.setAttribute(kWindow, kAXFullScreenAttribute, AXNumber{0});
    EXPECT_FALSE(helpers.isFocusedWindowFullScreen());
    accessibility.setAttribute(kWindow, kAXFullScreenAttribute, AXNumber{1});
    EXPECT_TRUE(helpers.isFocusedWindowFullScreen());
    // The window number plays no part here.
    accessibility.windowNumbers.clear();
    EXPECT_TRUE(helpers.isFocusedWindowFullScreen());
}

TEST_F(WindowHelpersTest, WindowFrameFlipsAgainstThePrimaryScreen) {
    screens.setSingle(QRectF(0, 0, 1920, 1080), QRectF(0, 0, 1920, 1050), 2.0);
    windowList.setBounds(7, 100, 50, 800, 600);
    EXPECT_EQ(helpers.windowFrame(7), QRectF(100, 430, 800, 600));
    ASSERT_EQ(windowList.requests.size(), 1u);
    EXPECT_EQ(windowList.requests[0], std::make_pair(8u, WindowNumber{7}));

    // The first screen at the origin wins over the main screen.
    screens.all = {ScreenInfo{QRectF(-1280, 0, 1280, 1024), {}, 1},
                   ScreenInfo{QRectF(0, 0, 1920, 1200), {}, 1}};
    screens.main = screens.all[0];
    EXPECT_EQ(helpers.windowFrame(7), QRectF(100, 550, 800, 600));

    // No screen at the origin: the main screen's height is used.
    screens.all = {ScreenInfo{QRectF(10, 0, 1000, 900), {}, 1},
                   ScreenInfo{QRectF(0, 5, 1000, 700), {}, 1}};
    screens.main = ScreenInfo{QRectF(0, 5, 1000, 700), {}, 1};
    EXPECT_EQ(helpers.windowFrame(7), QRectF(100, 50, 800, 600));

    // ... and with no main screen either, nothing.
    screens.main.reset();
    EXPECT_EQ(helpers.windowFrame(7), std::nullopt);
}

TEST_F(WindowHelpersTest, WindowFrameNeedsCompleteBounds) {
    screens.setSingle(QRectF(0, 0, 1920, 1080), QRectF(0, 0, 1920, 1080), 1.0);
    EXPECT_EQ(helpers.windowFrame(9), std::nullopt) << "empty list";
    windowList.windows[9] = std::nullopt;
    EXPECT_EQ(helpers.windowFrame(9), std::nullopt) << "no list";
    windowList.windows[9] = std::vector<WindowDescription>{WindowDescription{}};
    EXPECT_EQ(helpers.windowFrame(9), std::nullopt) << "no bounds dictionary";
    for (int missing = 0; missing < 4; ++missing) {
        WindowBounds b{100, 50, 800, 600};
        std::optional<double>* fields[] = {&b.x, &b.y, &b.width, &b.height};
        fields[missing]->reset();
        windowList.windows[9] = std::vector<WindowDescription>{WindowDescription{b}};
        EXPECT_EQ(helpers.windowFrame(9), std::nullopt) << "missing field " << missing;
    }
    // Only the first entry counts.
    windowList.windows[9] = std::vector<WindowDescription>{
        WindowDescription{WindowBounds{1, 2, 3, 4}}, WindowDescription{WindowBounds{}}};
    EXPECT_EQ(helpers.windowFrame(9), QRectF(1, 1074, 3, 4));
}

TEST_F(WindowHelpersTest, UnminimizeWritesOnlyWhenMinimised) {
    helpers.unminimizeWindow(kWindow);
    accessibility.setAttribute(kWindow, kAXMinimizedAttribute, AXBoolean{false});
    helpers.unminimizeWindow(kWindow);
    accessibility.setAttribute(kWindow, kAXMinimizedAttribute, QStringLiteral("1"));
    helpers.unminimizeWindow(kWindow);
    accessibility.attributes[{kWindow.handle, kAXMinimizedAttribute}] =
        AXAttributeResult{kAXErrorFailure, AXValue{AXBoolean{true}}};
    helpers.unminimizeWindow(kWindow);
    EXPECT_TRUE(accessibility.sets.empty());

    accessibility.setAttribute(kWindow, kAXMinimizedAttribute, AXBoolean{true});
    helpers.unminimizeWindow(kWindow);
    ASSERT_EQ(accessibility.sets.size(), 1u);
    EXPECT_EQ(accessibility.sets[0].element, kWindow);
    EXPECT_EQ(accessibility.sets[0].attribute, kAXMinimizedAttribute);
    EXPECT_EQ(accessibility.sets[0].value, AXValue{AXBoolean{false}});
}

TEST_F(WindowHelpersTest, EventRecordMatchesTheLayoutByteForByte) {
    const WindowEventRecord record = WindowHelpers::windowEventRecord(0x12345678);
    ASSERT_EQ(record.size(), 248u);
    const std::map<std::size_t, std::uint8_t> nonZero{
        {4, 0xF8}, {8, 0x01}, {58, 0x10}, {60, 0x12}, {61, 0x34}, {62, 0x56}, {63, 0x78}};
    for (std::size_t i = 0; i < record.size(); ++i)
        EXPECT_EQ(record[i], nonZero.contains(i) ? nonZero.at(i) : 0) << "byte " << i;
    const ProcessSerialNumber psn{0, 77};
    helpers.postWindowEventRecord(psn, 0x12345678);
    ASSERT_EQ(windowServer.records.size(), 1u);
    EXPECT_EQ(windowServer.records[0].first, psn);
    EXPECT_EQ(windowServer.records[0].second, record);
}

TEST_F(WindowHelpersTest, BringToFrontWithACachedNumberRunsTheWholeSequence) {
    workspace.addApplication(kPid, "org.example.app");
    accessibility.setAttribute(kWindow, kAXMinimizedAttribute, AXBoolean{true});
    const auto resolved = helpers.bringWindowToFront(kPid, kWindow, kNumber);
    EXPECT_EQ(resolved, std::nullopt);
    EXPECT_EQ(accessibility.windowNumberCalls, 0);
    EXPECT_EQ(log.calls,
              (QStringList{"copy " + win + " AXMinimized", "set " + win + " AXMinimized",
                           "getProcessForPID 321", QStringLiteral("setFront %1 0x200").arg(kNumber),
                           "postEventRecord", "action " + win + " AXRaise",
                           "runningApplication 321", "activate 321 1"}));
    ASSERT_EQ(windowServer.serialsBeforeLookup.size(), 1u);
    EXPECT_EQ(windowServer.serialsBeforeLookup[0], (ProcessSerialNumber{0, 0}));
    ASSERT_EQ(windowServer.setFronts.size(), 1u);
    EXPECT_EQ(std::get<0>(windowServer.setFronts[0]), windowServer.processSerial);
    ASSERT_EQ(windowServer.records.size(), 1u);
    EXPECT_EQ(windowServer.records[0].first, windowServer.processSerial);
    EXPECT_EQ(windowServer.records[0].second, WindowHelpers::windowEventRecord(kNumber));
}

TEST_F(WindowHelpersTest, BringToFrontResolvesAMissingOrZeroNumber) {
    workspace.addApplication(kPid);
    accessibility.windowNumbers[kWindow.handle] = {kAXErrorSuccess, kNumber};
    EXPECT_EQ(helpers.bringWindowToFront(kPid, kWindow, std::nullopt), kNumber);
    EXPECT_EQ(helpers.bringWindowToFront(kPid, kWindow, WindowNumber{0}), kNumber);
    EXPECT_EQ(accessibility.windowNumberCalls, 2);
    ASSERT_EQ(windowServer.setFronts.size(), 2u);
    EXPECT_EQ(std::get<1>(windowServer.setFronts[1]), kNumber);
    // Not minimised: no write.
    EXPECT_TRUE(accessibility.sets.empty());
}

TEST_F(WindowHelpersTest, BringToFrontFallsBackToActivatingTheApplication) {
    workspace.addApplication(kPid);
    accessibility.windowNumbers[kWindow.handle] = {kAXErrorSuccess, 0};
    EXPECT_EQ(helpers.bringWindowToFront(kPid, kWindow, std::nullopt), std::nullopt);
    EXPECT_EQ(log.calls, (QStringList{"windowNumber " + win, "runningApplication 321",
                                      "activate 321 1"}));

    // A failed serial-number lookup skips only the window-server calls.
    log.calls.clear();
    windowServer.processStatus = kProcNotFound;
    helpers.bringWindowToFront(kPid, kWindow, kNumber);
    EXPECT_TRUE(windowServer.setFronts.empty());
    EXPECT_TRUE(windowServer.records.empty());
    EXPECT_EQ(log.count("action " + win + " AXRaise"), 1);
    EXPECT_EQ(log.count("activate 321 1"), 1);

    // No running application with that id: no activation, no error.
    workspace.applications.clear();
    workspace.activations.clear();
    helpers.bringWindowToFront(kPid, kWindow, kNumber);
    EXPECT_TRUE(workspace.activations.empty());
    EXPECT_EQ(accessibility.actions.size(), 2u);
}

}  // namespace
}  // namespace mirano
