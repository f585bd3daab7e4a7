// An ordered record of calls made on several fakes, for tests that check call order.
#pragma once

#include <QString>
#include <QStringList>

namespace mirano::fakes {

struct CallLog {
    QStringList calls;
    void add(const QString& call) { calls << call; }
    /// Index of the first entry equal to `call`, or -1.
    int indexOf(const QString& call) const { return calls.indexOf(call); }
    int count(const QString& call) const { return calls.count(call); }
};

/// Adds to the log when one is attached.
inline void logCall(CallLog* log, const QString& call) {
    if (log) log->add(call);
}

}  // namespace mirano::fakes
