// The X11 workspace, accessibility, window list and window server behind the window helpers,
// on a private Xvfb + Openbox with real client windows.
#include "pip/WindowHelpers.h"
#include "platform/qt/QtScreens.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11WindowList.h"
#include "platform/x11/X11WindowServer.h"
#include "platform/x11/X11Workspace.h"
#include "tests/support/X11Session.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <deque>

namespace mirano {
namespace {

using testing::gSession;
using testing::waitUntil;

/// One mirano_test_client window.
struct Client {
    QProcess* process = nullptr;
    xcb_window_t window = XCB_NONE;
    QByteArray output;
    ProcessID pid() const { return static_cast<ProcessID>(process->processId()); }
    bool saw(const QByteArray& line) {
        output += process->readAllStandardOutput();
        return output.contains(line);
    }
};

Client startClient(const QStringList& args) {
    Client c;
    c.process = gSession->spawn(
        testing::X11Session::builtProgram(QStringLiteral("tests/mirano_test_client")), args);
    const QRegularExpression ready(QStringLiteral("ready 0x([0-9a-f]+)"));
    waitUntil([&] {
        c.output += c.process->readAllStandardOutput();
        const auto m = ready.match(QString::fromLatin1(c.output));
        if (m.hasMatch()) c.window = m.captured(1).toUInt(nullptr, 16);
        return c.window != XCB_NONE;
    }, 10000);
    return c;
}

class X11WindowServicesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(desktop.isValid()); }
    void TearDown() override {
        for (auto& c : clients) {
            c.process->write("quit\n");
            c.process->waitForFinished(3000);
        }
    }
    Client& add(const QStringList& args) {
        clients.push_back(startClient(args));
        EXPECT_NE(clients.back().window, XCB_NONE) << "client did not start";
        return clients.back();
    }
    bool waitActive(xcb_window_t w) {
        return waitUntil([&] { return desktop.activeWindow() == w; }, 5000);
    }
    xcb_window_t inputFocus() {
        auto& c = desktop.connection();
        auto r = x11::reply(xcb_get_input_focus_reply(c.get(), xcb_get_input_focus(c.get()), nullptr));
        return r ? r->focus : XCB_NONE;
    }

    x11::X11Desktop desktop;
    x11::X11Workspace workspace{desktop};
    x11::X11Accessibility accessibility{desktop};
    x11::X11WindowList windowList{desktop};
    QtScreens screens;
    x11::X11WindowServer windowServer{desktop};
    WindowHelpers helpers{workspace, accessibility, windowList, screens, windowServer};
    std::deque<Client> clients;  // stable references
};

TEST_F(X11WindowServicesTest, FocusedWindowIsTheActiveClientWithItsPid) {
    Client& a = add({"--title", "A", "--class", "org.mirano.a"});
    ASSERT_TRUE(waitActive(a.window));
    Client& b = add({"--title", "B", "--class", "org.mirano.b", "--pos", "300,200"});
    ASSERT_TRUE(waitActive(b.window));

    const auto focused = helpers.focusedWindow();
    ASSERT_TRUE(focused.has_value());
    EXPECT_EQ(focused->windowID, b.window);
    EXPECT_EQ(focused->element, WindowElement{b.window});
    EXPECT_EQ(focused->pid, b.pid());
    EXPECT_FALSE(helpers.isFocusedWindowFullScreen());

    // The running application's bundle identifier is its WM_CLASS class.
    const auto app = workspace.runningApplication(a.pid());
    ASSERT_TRUE(app.has_value());
    EXPECT_EQ(app->bundleIdentifier, QStringLiteral("org.mirano.a"));
    EXPECT_EQ(workspace.runningApplication(0x7ffffff0), std::nullopt);

    ProcessSerialNumber psn;
    EXPECT_EQ(windowServer.getProcessForPID(a.pid(), psn), kNoErr);
    EXPECT_EQ(psn, (ProcessSerialNumber{0, static_cast<std::uint32_t>(a.pid())}));
    EXPECT_EQ(windowServer.getProcessForPID(0x7ffffff0, psn), kProcNotFound);
}

TEST_F(X11WindowServicesTest, FullScreenClientIsDetected) {
    Client& normal = add({"--title", "normal"});
    ASSERT_TRUE(waitActive(normal.window));
    EXPECT_FALSE(helpers.isFocusedWindowFullScreen());
    Client& full = add({"--title", "full", "--fullscreen"});
    ASSERT_TRUE(waitActive(full.window));
    EXPECT_TRUE(waitUntil([&] { return helpers.isFocusedWindowFullScreen(); }, 5000));
}

TEST_F(X11WindowServicesTest, WindowFrameMatchesTheRealPosition) {
    Client& c = add({"--pos", "200,150", "--size", "400x300"});
    ASSERT_TRUE(waitActive(c.window));
    const QString info = gSession->run(
        QStringLiteral("xwininfo"), {"-id", QStringLiteral("0x%1").arg(c.window, 0, 16)});
    const auto field = [&](const char* name) {
        const QRegularExpression re(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(name)));
        return re.match(info).captured(1).toInt();
    };
    const int x = field("Absolute upper-left X"), y = field("Absolute upper-left Y");
    const int w = field("Width"), h = field("Height");
    ASSERT_EQ(w, 400);
    ASSERT_EQ(h, 300);
    const auto frame = helpers.windowFrame(c.window);
    ASSERT_TRUE(frame.has_value());
    // The Xvfb screen is 800 points high; the frame has a bottom-left origin.
    EXPECT_EQ(*frame, QRectF(x, 800 - y - h, w, h));
    EXPECT_EQ(helpers.windowFrame(0x7fffff), std::nullopt);
}

TEST_F(X11WindowServicesTest, BringToFrontRestoresAMinimisedWindowAndFocusesIt) {
    Client& a = add({"--title", "source"});
    ASSERT_TRUE(waitActive(a.window));
    Client& b = add({"--title", "other", "--pos", "400,300"});
    ASSERT_TRUE(waitActive(b.window));

    accessibility.setAttributeValue(WindowElement{a.window}, kAXMinimizedAttribute,
                                    AXBoolean{true});
    ASSERT_TRUE(waitUntil([&] { return !desktop.isViewable(a.window); }, 5000));
    const auto minimized =
        accessibility.copyAttributeValue(WindowElement{a.window}, kAXMinimizedAttribute);
    EXPECT_EQ(axBooleanValue(minimized.value), true);

    a.output.clear();
    const auto resolved = helpers.bringWindowToFront(a.pid(), WindowElement{a.window},
                                                     std::nullopt);
    EXPECT_EQ(resolved, a.window);
    EXPECT_TRUE(waitUntil([&] { return desktop.isViewable(a.window); }, 5000));
    EXPECT_TRUE(waitActive(a.window));
    EXPECT_TRUE(waitUntil([&] { return inputFocus() == a.window; }, 5000));
    EXPECT_TRUE(waitUntil([&] { return a.saw("focus in"); }, 5000));
    EXPECT_EQ(axBooleanValue(accessibility
                                 .copyAttributeValue(WindowElement{a.window},
                                                     kAXMinimizedAttribute)
                                 .value),
              false);
}

TEST_F(X11WindowServicesTest, ActivatingAnotherClientNotifiesOnceWithItsPid) {
    Client& a = add({"--title", "first"});
    ASSERT_TRUE(waitActive(a.window));
    Client& b = add({"--title", "second", "--pos", "500,300"});
    ASSERT_TRUE(waitActive(b.window));
    // Let the workspace see b as frontmost before counting.
    ASSERT_TRUE(waitUntil([&] { return workspace.frontmostApplicationPID() == b.pid(); }));
    desktop.processEvents();

    std::vector<std::optional<ProcessID>> notified;
    QObject::connect(&workspace, &Workspace::didActivateApplication,
                     [&](const ActivationNotification& n) { notified.push_back(n.applicationPID); });
    const auto app = workspace.runningApplication(a.pid());
    ASSERT_TRUE(app.has_value());
    workspace.activate(*app, kActivateAllWindows);
    ASSERT_TRUE(waitUntil([&] { return !notified.empty(); }, 5000));
    EXPECT_TRUE(waitActive(a.window));
    // A round trip after the activation makes sure every event of it has been handled.
    desktop.processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(notified.size(), 1u);
    EXPECT_EQ(notified[0], a.pid());
}

}  // namespace
}  // namespace mirano
