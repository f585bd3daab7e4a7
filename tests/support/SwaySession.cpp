// Headless sway for tests: started as the session's user, asked through swaymsg and grim.
#include "tests/support/SwaySession.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

#include "tests/support/X11Session.h"

namespace mirano::testing {

namespace {
void collectViews(const QJsonObject& node, QList<QJsonObject>& out) {
    if (node.contains("app_id") && !node.value("app_id").isNull()) out.append(node);
    for (const char* key : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(key).toArray())
            collectViews(child.toObject(), out);
}
}  // namespace

QList<QJsonObject> swayViews(const QJsonObject& tree) {
    QList<QJsonObject> views;
    collectViews(tree, views);
    return views;
}

SwaySession::SwaySession() : WaylandSession(Options{.pipewire = false}) {
    if (error_.isEmpty() && !startSway())
        error_ = "sway did not start (are sway and its packages installed?)";
}

bool SwaySession::startSway() {
    const QString config = runtimeDir() + "/sway.conf";
    // No bar, no borders, no gaps: views fill the output exactly, which tests rely on.
    const QString text = QStringLiteral(
                             "output HEADLESS-1 resolution %1x%2 position 0 0\n"
                             "default_border none\ndefault_floating_border none\n"
                             "focus_follows_mouse no\n")
                             .arg(kWidth)
                             .arg(kHeight);
    if (!user().writeFile(config, text.toUtf8())) return false;
    QProcessEnvironment env = environment();
    env.insert("WLR_BACKENDS", "headless");
    env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    env.insert("WLR_RENDERER", "pixman");
    ChildProcess* sway = keep(user().start("sway", {"-c", config}, env));
    // sway is ready once both its Wayland socket and its IPC socket are there.
    const QDir dir(runtimeDir());
    return waitUntil(
        [&] {
            const QStringList wl = dir.entryList({"wayland-*"}, QDir::System);
            const QStringList ipc = dir.entryList({"sway-ipc.*.sock"}, QDir::System);
            if (wl.isEmpty() || ipc.isEmpty() || !sway->running()) return false;
            waylandDisplay_ = dir.filePath(wl.first());
            swaySocket_ = dir.filePath(ipc.first());
            return !swaymsg({"-t", "get_outputs"}).isEmpty();
        },
        20000);
}

QByteArray SwaySession::tool(const QString& program, const QStringList& args) const {
    QProcessEnvironment env = clientEnvironment();
    env.insert("SWAYSOCK", swaySocket_);
    ChildProcess p(program, args, ChildProcess::Options{env, false});
    // Qt's events are handled meanwhile (the panels under test keep talking to sway), and the
    // output is read meanwhile (the pipe never fills).
    const bool finished = waitUntil([&] { return p.waitForFinished(0); }, 10000);
    const QByteArray out = p.readAllStandardOutput();
    return finished && p.exitCode() == 0 ? out : QByteArray();
}

QProcessEnvironment SwaySession::clientEnvironment() const {
    QProcessEnvironment env = environment();
    env.insert("WAYLAND_DISPLAY", waylandDisplay_);
    env.insert("QT_QPA_PLATFORM", "wayland");
    return env;
}

ChildProcess* SwaySession::startClient(const QString& program, const QStringList& args) {
    return keep(std::make_unique<ChildProcess>(program, args,
                                               ChildProcess::Options{clientEnvironment(), true}));
}

QByteArray SwaySession::swaymsg(const QStringList& args) const { return tool("swaymsg", args); }

bool SwaySession::command(const QString& command) const {
    const QJsonArray results = QJsonDocument::fromJson(swaymsg({command})).array();
    for (const QJsonValue& r : results)
        if (!r.toObject().value("success").toBool()) return false;
    return !results.isEmpty();
}

QJsonObject SwaySession::tree() const {
    return QJsonDocument::fromJson(swaymsg({"-t", "get_tree"})).object();
}

std::optional<QJsonObject> SwaySession::view(const QString& appId) const {
    for (const QJsonObject& v : swayViews(tree()))
        if (v.value("app_id").toString() == appId) return v;
    return std::nullopt;
}

QString SwaySession::focusedAppId() const {
    for (const QJsonObject& v : swayViews(tree()))
        if (v.value("focused").toBool()) return v.value("app_id").toString();
    return {};
}

QImage SwaySession::screenshot(const QRect& area) const {
    QStringList args{"-t", "png", "-"};
    if (!area.isEmpty())
        args = QStringList{"-g", QStringLiteral("%1,%2 %3x%4")
                                     .arg(area.x())
                                     .arg(area.y())
                                     .arg(area.width())
                                     .arg(area.height())} +
               args;
    return QImage::fromData(tool("grim", args), "PNG");
}

}  // namespace mirano::testing
