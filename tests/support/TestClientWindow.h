// A window of our test client (tests/support/TestClient.cpp) and what the client printed.
#pragma once

#include <QStringList>
#include <algorithm>
#include <cstdint>

#include "tests/support/X11Session.h"

namespace mirano::testing {

class TestClientWindow {
public:
    /// Starts the client and waits (bounded) until it reports its window; id() stays 0 if not.
    TestClientWindow(X11Session& session, const QStringList& args)
        : process_(session.spawn(X11Session::builtProgram("tests/mirano_test_client"), args)) {
        // A map request that reaches Openbox while it is still starting up can go unanswered;
        // asking again is harmless once the window is mapped.
        for (int attempt = 0; attempt < 5 && !id(); ++attempt) {
            if (attempt > 0) send("map");
            waitUntil([&] { return id() != 0; }, 2000);
        }
        if (!id()) qWarning("test client reported no window");
    }
    /// Tells the client to quit (the session stops it if it does not).
    ~TestClientWindow() {
        if (!process_->running()) return;
        send("quit");
        process_->waitForFinished(2000);
    }
    TestClientWindow(const TestClientWindow&) = delete;
    TestClientWindow& operator=(const TestClientWindow&) = delete;

    /// The client's window (0 until it is mapped).
    std::uint32_t id() { return announced("ready 0x"); }
    /// The second window of a client started with --twin, once mapped (0 before).
    std::uint32_t twin() { return announced("twin 0x"); }
    /// The client's process.
    qint64 pid() const { return process_->processId(); }
    void send(const QByteArray& command) { process_->write(command + "\n"); }
    /// Has the window manager activate the window and waits until the window has the focus.
    bool focus() {
        return id() && activate(id()) && waitUntil([&] { return printed("focus in"); });
    }

    /// Everything the client printed so far, a line per entry.
    const QStringList& lines() {
        for (QString line; !(line = process_->readLine(0)).isEmpty();) lines_.append(line);
        return lines_;
    }
    /// Forgets, for sinceMark(), printed() and keysSinceMark(), what was printed so far.
    void mark() { mark_ = lines().size(); }
    QStringList sinceMark() { return lines().mid(mark_); }
    /// Whether a line starting with `p` was printed since the last mark.
    bool printed(const QString& p) {
        return std::ranges::any_of(sinceMark(), [&](const QString& l) { return l.startsWith(p); });
    }
    /// Keysyms ("0x70") of the key presses (--keys) since the last mark, modifier keys (Shift to
    /// Hyper, ISO_Level3_Shift, Num_Lock) aside; "<keysym> <state>" withState.
    QStringList keysSinceMark(bool withState = false) {
        QStringList out;
        for (const QString& line : sinceMark()) {
            const uint sym = line.section(' ', 1, 1).toUInt(nullptr, 16);
            if (line.startsWith("key ") && (sym < 0xffe1 || sym > 0xffee) && sym != 0xfe03 &&
                sym != 0xff7f)
                out.append(withState ? line.mid(4) : line.section(' ', 1, 1));
        }
        return out;
    }

private:
    std::uint32_t announced(const QString& prefix) {
        for (const QString& l : lines())
            if (l.startsWith(prefix)) return l.mid(prefix.size()).toUInt(nullptr, 16);
        return 0;
    }
    ChildProcess* process_;
    QStringList lines_;
    qsizetype mark_ = 0;
};

}  // namespace mirano::testing
