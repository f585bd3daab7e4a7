#include "tests/support/TestClientWindow.h"

#include <algorithm>

#include "tests/support/XdoTool.h"

namespace mirano::testing {

TestClientWindow::TestClientWindow(X11Session& session, const QStringList& args)
    : process_(session.spawn(X11Session::builtProgram("tests/mirano_test_client"), args)) {
    // A map request that reaches Openbox while it is still starting up can go unanswered;
    // asking again is harmless once the window is mapped.
    for (int attempt = 0; attempt < 5 && !id(); ++attempt) {
        if (attempt > 0) send("map");
        waitUntil([&] { return id() != 0; }, 2000);
    }
    if (!id()) qWarning("test client reported no window");
}

TestClientWindow::~TestClientWindow() {
    if (!process_->running()) return;
    send("quit");
    process_->waitForFinished(2000);
}

bool TestClientWindow::focus() {
    return id() && activate(id()) && waitUntil([&] { return printed("focus in"); }, 5000);
}

const QStringList& TestClientWindow::lines() {
    buffer_ += QString::fromLocal8Bit(process_->readAllStandardOutput());
    for (int nl; (nl = buffer_.indexOf('\n')) >= 0; buffer_.remove(0, nl + 1))
        lines_.append(buffer_.left(nl));
    return lines_;
}

bool TestClientWindow::printed(const QString& prefix) {
    const QStringList recent = sinceMark();
    return std::any_of(recent.begin(), recent.end(),
                       [&](const QString& l) { return l.startsWith(prefix); });
}

QStringList TestClientWindow::keysSinceMark(bool withState) {
    QStringList out;
    for (const QString& line : sinceMark()) {
        if (!line.startsWith("key ")) continue;
        // Shift to Hyper, ISO_Level3_Shift and Num_Lock are modifier keys.
        const uint sym = line.section(' ', 1, 1).toUInt(nullptr, 16);
        if ((sym < 0xffe1 || sym > 0xffee) && sym != 0xfe03 && sym != 0xff7f)
            out.append(withState ? line.mid(4) : line.section(' ', 1, 1));
    }
    return out;
}

std::uint32_t TestClientWindow::announced(const QString& prefix) {
    for (const QString& l : lines())
        if (l.startsWith(prefix)) return l.mid(prefix.size()).toUInt(nullptr, 16);
    return 0;
}

}  // namespace mirano::testing
