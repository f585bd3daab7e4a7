// A window of our test client (tests/support/TestClient.cpp) and what the client printed.
#pragma once

#include <QStringList>
#include <cstdint>

#include "tests/support/X11Session.h"

namespace mirano::testing {

class TestClientWindow {
public:
    /// Starts the client and waits (bounded) until it reports its window; id() stays 0 if not.
    TestClientWindow(X11Session& session, const QStringList& args);
    /// Tells the client to quit, then the session stops it if it has not.
    ~TestClientWindow();
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
    bool focus();

    /// Everything the client printed so far, a line per entry.
    const QStringList& lines();
    /// Forgets, for sinceMark(), printed() and keysSinceMark(), what was printed so far.
    void mark() { mark_ = lines().size(); }
    QStringList sinceMark() { return lines().mid(mark_); }
    /// Whether a line starting with `prefix` was printed since the last mark.
    bool printed(const QString& prefix);
    /// Keysyms ("0x70") of the key presses (--keys) since the last mark, modifier keys aside;
    /// "<keysym> <state>" withState.
    QStringList keysSinceMark(bool withState = false);

private:
    std::uint32_t announced(const QString& prefix);
    ChildProcess* process_;
    QString buffer_;
    QStringList lines_;
    qsizetype mark_ = 0;
};

}  // namespace mirano::testing
