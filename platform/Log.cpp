// Plain lines on standard output.
#include "platform/Log.h"

#include <cstdio>

namespace mirano {

void logLine(const QString& line) {
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void LogOnce::operator()(const QString& line) {
    if (logged_) return;
    logged_ = true;
    logLine(line);
}

}  // namespace mirano
