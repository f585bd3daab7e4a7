// How the Wayland capture tests drive our stand-in ScreenCast portal and the test producers.
#pragma once

#include <gtest/gtest.h>

#include <QSize>

#include "tests/support/WaylandSession.h"
#include "tests/support/X11Session.h"

namespace mirano::testing {

/// The stand-in portal (ScreenCastPortalStandIn.cpp) on a session's bus, started by start(),
/// and producers (TestFrameProducer.cpp) whose nodes it hands out.
class PortalStandIn {
public:
    explicit PortalStandIn(WaylandSession& session) : session_(session) {}

    /// Starts the portal with `options` (see ScreenCastPortalStandIn.cpp); true once it owns
    /// its name.
    bool start(const QStringList& options = {}) {
        process_ = session_.spawn(
            X11Session::builtProgram("tests/wayland/mirano_test_screencast_portal"), options);
        return process_->readLine() == "ready";
    }
    /// Starts a producer (NAME WIDTH HEIGHT [options]); `node` receives its node's id.
    ChildProcess* startProducer(const QStringList& args, std::uint32_t* node = nullptr) {
        ChildProcess* producer = session_.spawn(
            X11Session::builtProgram("tests/wayland/mirano_test_frame_producer"), args);
        const QString line = producer->readLine();
        EXPECT_TRUE(line.startsWith("node ")) << line.toStdString();
        if (node) *node = line.section(' ', 1).toUInt();
        return producer;
    }
    /// Starts a producer whose node the portal hands out from now on, for a window of
    /// `logicalSize`.
    ChildProcess* handOut(const QStringList& args, QSize logicalSize) {
        std::uint32_t node = 0;
        ChildProcess* producer = startProducer(args, &node);
        EXPECT_TRUE(tell(
            QString::asprintf("node %u %d %d", node, logicalSize.width(), logicalSize.height())));
        return producer;
    }
    /// Sends a command; true when the portal took it.
    bool tell(const QString& command) {
        process_->write(command.toUtf8() + '\n');
        return says() == "ok";
    }
    /// The portal's next line but "closed", which comes whenever a session ends.
    QString says() {
        QString line = process_->readLine();
        while (line == QLatin1String("closed")) line = process_->readLine();
        return line;
    }
    /// Reads the portal's lines up to `line`; false when it does not come.
    bool saw(const QString& line) {
        for (QString next; !(next = process_->readLine()).isEmpty();)
            if (next == line) return true;
        return false;
    }
    ChildProcess* process() const { return process_; }

private:
    WaylandSession& session_;
    ChildProcess* process_ = nullptr;
};

}  // namespace mirano::testing
