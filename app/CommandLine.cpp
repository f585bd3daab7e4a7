#include "app/CommandLine.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "app/AppVersion.h"

namespace mirano {

namespace {
/// The options that are requests to the running Mirano.
const std::pair<const char*, InstanceRequest> kRemoteOptions[] = {
    {"--toggle", InstanceRequest::toggle}, {"--region", InstanceRequest::region},
    {"--hide", InstanceRequest::hide},     {"--settings", InstanceRequest::openSettings},
    {"--quit", InstanceRequest::quit},
};
}  // namespace

QString CommandLine::usageLine() {
    return QStringLiteral(
        "Usage: mirano [--help] [--version] [--toggle | --region | --hide | --settings | --quit]");
}

void CommandLine::usageError(const QString& message) {
    action_ = Action::print;
    toStandardError_ = true;
    exitCode_ = 2;
    text_ = QStringLiteral("mirano: %1\n%2\n").arg(message, usageLine());
}

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
                    "Requests to the running Mirano (exit status 0 once it has taken them, 1 when\n"
                    "no Mirano runs or it does not answer; none of them starts Mirano):\n"
                    "  --toggle        mirror the focused window, or close its PiP (the hotkey)\n"
                    "  --region        mirror a part of the focused window (the hotkey with "
                    "Shift)\n"
                    "  --hide          hide or show the PiP\n"
                    "  --settings      open the settings window\n"
                    "  --quit          quit Mirano\n"
                    "Bind them to keys where Mirano's hotkeys cannot listen (Wayland).\n\n"
                    "Starting Mirano while it runs opens the running one's settings window.\n"
                    "Settings are kept in $XDG_CONFIG_HOME/mirano/defaults.json.\n");
            return result;
        }
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            result.action_ = Action::print;
            result.text_ = QStringLiteral("Mirano %1\n").arg(appVersion());
            return result;
        }
        const auto* remote = std::find_if(std::begin(kRemoteOptions), std::end(kRemoteOptions),
                                          [&](const auto& o) { return argument == o.first; });
        if (remote == std::end(kRemoteOptions)) {
            result.usageError(QStringLiteral("unknown argument '%1'").arg(argument));
            return result;
        }
        // One request at a time: what would the order of two mean?
        if (result.action_ == Action::remote) {
            result.usageError(QStringLiteral("one request at a time, not '%1'").arg(argument));
            return result;
        }
        result.action_ = Action::remote;
        result.request_ = remote->second;
    }
    return result;
}

}  // namespace mirano
