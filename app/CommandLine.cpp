#include "app/CommandLine.h"

#include "app/AppVersion.h"

namespace mirano {

QString CommandLine::usageLine() { return QStringLiteral("Usage: mirano [--help] [--version]"); }

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine result;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            result.action_ = Action::print;
            result.text_ =
                usageLine() +
                QStringLiteral(
                    "\n\nMirano mirrors another window in a small floating panel. It lives in the "
                    "tray;\nwithout a tray it opens its settings window. The hotkey (by default "
                    "Menu+P)\nmirrors the focused window; with Shift, a part of it.\n\n"
                    "Options:\n"
                    "  -h, --help      show this help and exit\n"
                    "  -v, --version   show the version and exit\n\n"
                    "Starting Mirano while it runs opens the running one's settings window.\n"
                    "Settings are kept in $XDG_CONFIG_HOME/mirano/defaults.json.\n");
            return result;
        }
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            result.action_ = Action::print;
            result.text_ = QStringLiteral("Mirano %1\n").arg(appVersion());
            return result;
        }
        result.action_ = Action::print;
        result.toStandardError_ = true;
        result.exitCode_ = 2;
        result.text_ =
            QStringLiteral("mirano: unknown argument '%1'\n%2\n").arg(argument, usageLine());
        return result;
    }
    return result;
}

}  // namespace mirano
