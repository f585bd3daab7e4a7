// Whole files as the tests read and write them.
#pragma once

#include <QFile>

namespace mirano::testing {

/// The file's bytes; `unreadable` when it cannot be read.
inline QByteArray readFile(const QString& path, const QByteArray& unreadable = {}) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : unreadable;
}

/// Makes `bytes` the file's contents (in place when it exists); false when that failed.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

}  // namespace mirano::testing
