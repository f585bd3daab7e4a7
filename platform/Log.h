// The program's one log channel: plain lines on standard output.
#pragma once

#include <QString>

namespace mirano {

/// Writes `line` and a newline to standard output and flushes at once, so the lines keep
/// their order with the output of other processes (tests and scripts read them).
void logLine(const QString& line);

/// A failure that may repeat (every frame, every retry) is logged once until it clears.
class LogOnce {
public:
    /// Logs `line` unless a line was logged since the last reset().
    void operator()(const QString& line);
    /// The condition cleared: the next failure is logged again.
    void reset() { logged_ = false; }

private:
    bool logged_ = false;
};

}  // namespace mirano
