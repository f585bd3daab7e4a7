#include "tests/support/XdoTool.h"

#include "tests/support/ChildProcess.h"

namespace mirano::testing {

std::optional<QString> xdotool(const QStringList& args) {
    ChildProcess p("xdotool", args);
    if (!p.waitForFinished(10000) || p.exitCode() != 0) return std::nullopt;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

unsigned activeWindow() { return xdotool({"getactivewindow"}).value_or("0").trimmed().toUInt(); }

bool activate(unsigned window) {
    const QString w = QString::number(window);
    return xdotool({"windowactivate", "--sync", w}) && xdotool({"windowfocus", "--sync", w});
}

}  // namespace mirano::testing
