// The X11 workspace, accessibility, window list and window server behind the window helpers,
// on a private Xvfb + Openbox with real client windows.
#include "pip/WindowHelpers.h"
#include "platform/qt/QtScreens.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11WindowList.h"
#include "platform/x11/X11WindowServer.h"
#include "platform/x11/X11Workspace.h"
#include "tests/window/PanelX11Support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <deque>

namespace mirano {
namespace {

using testing::gSession;
using testing::waitUntil;

class X11WindowServicesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(desktop.isValid()); }
    testing::ClientWindow& add(const QStringList& args) {
        testing::ClientWindow& c = clients.emplace_back(*gSession, args);
        EXPECT_NE(c.id, 0u) << c.problem.toStdString();
        return c;
    }
    static ProcessID pid(const testing::ClientWindow& c) { return static_cast<ProcessID>(c.pid()); }
    bool waitActive(xcb_window_t w) {
        return waitUntil([&] { return desktop.activeWindow() == w; }, 5000);
    }

    x11::X11Desktop desktop;
    x11::X11Workspace workspace{desktop};
    x11::X11Accessibility accessibility{desktop};
    x11::X11WindowList windowList{desktop};
    QtScreens screens;
    x11::X11WindowServer windowServer{desktop};
    WindowHelpers helpers{workspace, accessibility, windowList, screens, windowServer};
    testing::Inspector inspector;
    std::deque<testing::ClientWindow> clients;  // stable references
};

TEST_F(X11WindowServicesTest, FocusedWindowIsTheActiveClientWithItsPid) {
    testing::ClientWindow& a = add({"--title", "A", "--class", "org.mirano.a"});
    ASSERT_TRUE(waitActive(a.id));
    testing::ClientWindow& b = add({"--title", "B", "--class", "org.mirano.b", "--pos", "300,200"});
    ASSERT_TRUE(waitActive(b.id));

    const auto focused = helpers.focusedWindow();
    ASSERT_TRUE(focused.has_value());
    EXPECT_EQ(focused->windowID, b.id);
    EXPECT_EQ(focused->element, WindowElement{b.id});
    EXPECT_EQ(focused->pid, pid(b));
    EXPECT_FALSE(helpers.isFocusedWindowFullScreen());

    // The running application's bundle identifier is its WM_CLASS class.
    const auto app = workspace.runningApplication(pid(a));
    ASSERT_TRUE(app.has_value());
    EXPECT_EQ(app->bundleIdentifier, QStringLiteral("org.mirano.a"));
    EXPECT_EQ(workspace.runningApplication(0x7ffffff0), std::nullopt);

    ProcessSerialNumber psn;
    EXPECT_EQ(windowServer.getProcessForPID(pid(a), psn), kNoErr);
    EXPECT_EQ(psn, (ProcessSerialNumber{0, static_cast<std::uint32_t>(pid(a))}));
    EXPECT_EQ(windowServer.getProcessForPID(0x7ffffff0, psn), kProcNotFound);
}

TEST_F(X11WindowServicesTest, FullScreenClientIsDetected) {
    testing::ClientWindow& normal = add({"--title", "normal"});
    ASSERT_TRUE(waitActive(normal.id));
    EXPECT_FALSE(helpers.isFocusedWindowFullScreen());
    testing::ClientWindow& full = add({"--title", "full", "--fullscreen"});
    ASSERT_TRUE(waitActive(full.id));
    EXPECT_TRUE(waitUntil([&] { return helpers.isFocusedWindowFullScreen(); }, 5000));
}

TEST_F(X11WindowServicesTest, WindowFrameMatchesTheRealPosition) {
    testing::ClientWindow& c = add({"--pos", "200,150", "--size", "400x300"});
    ASSERT_TRUE(waitActive(c.id));
    const QString info = gSession->run(
        QStringLiteral("xwininfo"), {"-id", QStringLiteral("0x%1").arg(c.id, 0, 16)});
    const auto field = [&](const char* name) {
        const QRegularExpression re(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(name)));
        return re.match(info).captured(1).toInt();
    };
    const int x = field("Absolute upper-left X"), y = field("Absolute upper-left Y");
    const int w = field("Width"), h = field("Height");
    ASSERT_EQ(w, 400);
    ASSERT_EQ(h, 300);
    const auto frame = helpers.windowFrame(c.id);
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(*frame, testing::toScreenPoints(QRect(x, y, w, h)));
    EXPECT_EQ(helpers.windowFrame(0x7fffff), std::nullopt);
}

TEST_F(X11WindowServicesTest, BringToFrontRestoresAMinimisedWindowAndFocusesIt) {
    testing::ClientWindow& a = add({"--title", "source"});
    ASSERT_TRUE(waitActive(a.id));
    testing::ClientWindow& b = add({"--title", "other", "--pos", "400,300"});
    ASSERT_TRUE(waitActive(b.id));

    accessibility.setAttributeValue(WindowElement{a.id}, kAXMinimizedAttribute, AXBoolean{true});
    ASSERT_TRUE(waitUntil([&] { return !desktop.isViewable(a.id); }, 5000));
    EXPECT_EQ(axBooleanValue(accessibility.copyAttributeValue(WindowElement{a.id}, kAXMinimizedAttribute).value), true);

    a.readLines();
    a.lines.clear();
    EXPECT_EQ(helpers.bringWindowToFront(pid(a), WindowElement{a.id}, std::nullopt), a.id);
    EXPECT_TRUE(waitUntil([&] { return desktop.isViewable(a.id); }, 5000));
    EXPECT_TRUE(waitActive(a.id));
    EXPECT_TRUE(waitUntil([&] { return inspector.inputFocus() == a.id; }, 5000));
    EXPECT_TRUE(waitUntil([&] { return a.printed("focus in"); }, 5000));
    EXPECT_EQ(axBooleanValue(accessibility.copyAttributeValue(WindowElement{a.id}, kAXMinimizedAttribute).value),
              false);
}

TEST_F(X11WindowServicesTest, ActivatingAnotherClientNotifiesOnceWithItsPid) {
    testing::ClientWindow& a = add({"--title", "first"});
    ASSERT_TRUE(waitActive(a.id));
    testing::ClientWindow& b = add({"--title", "second", "--pos", "500,300"});
    ASSERT_TRUE(waitActive(b.id));
    // Let the workspace see b as frontmost before counting.
    ASSERT_TRUE(waitUntil([&] { return workspace.frontmostApplicationPID() == pid(b); }));
    desktop.processEvents();

    std::vector<std::optional<ProcessID>> notified;
    QObject::connect(&workspace, &Workspace::didActivateApplication,
                     [&](const ActivationNotification& n) { notified.push_back(n.applicationPID); });
    const auto app = workspace.runningApplication(pid(a));
    ASSERT_TRUE(app.has_value());
    workspace.activate(*app, kActivateAllWindows);
    ASSERT_TRUE(waitUntil([&] { return !notified.empty(); }, 5000));
    EXPECT_TRUE(waitActive(a.id));
    // A round trip after the activation makes sure every event of it has been handled.
    desktop.processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(notified.size(), 1u);
    EXPECT_EQ(notified[0], pid(a));
}

}  // namespace
}  // namespace mirano
