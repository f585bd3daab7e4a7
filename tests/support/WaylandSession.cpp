// A private Wayland desktop for tests, started as a throw-away user and asked through swaymsg and
// grim.
#include "tests/support/WaylandSession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include "tests/support/X11Session.h"

namespace mirano::testing {

namespace {
/// The first view (a node with an app_id) in the tree below `node` that `match` accepts.
std::optional<QJsonObject> findView(const QJsonObject& node,
                                    const std::function<bool(const QJsonObject&)>& match) {
    if (node["app_id"].isString() && match(node)) return node;
    for (const char* key : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(key).toArray())
            if (auto view = findView(child.toObject(), match)) return view;
    return std::nullopt;
}

/// A session bus that admits anyone who can reach its socket: the session's user and the test,
/// the runtime directory being closed to everyone else.
QByteArray busConfig(const QString& socket) {
    return "<busconfig>\n  <type>session</type>\n  <listen>unix:path=" + socket.toUtf8() +
           "</listen>\n  <auth>EXTERNAL</auth>\n  <policy context=\"default\">\n"
           "    <allow user=\"*\"/>\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
}
}  // namespace

WaylandSession::WaylandSession(Options options) : user_(std::make_unique<TestUser>()) {
    if (!user_->error().isEmpty())
        error_ = user_->error();
    else if (!startBus())
        error_ = "the session bus did not start (is dbus installed?)";
    else if (options.pipewire && !startPipeWire())
        error_ = "pipewire or wireplumber did not start (are they installed?)";
    else if (options.sway && !startSway(options.outputs))
        error_ = "sway did not start (are sway and its packages installed?)";
}

ChildProcess* WaylandSession::keep(std::unique_ptr<ChildProcess> child) {
    return children_.emplace_front(std::move(child)).get();
}

QProcessEnvironment WaylandSession::environment() const {
    QProcessEnvironment env = user_->environment();
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        env.insert(name, runtimeDir() + "/" + QString::fromLatin1(name).toLower());
    if (!busAddress_.isEmpty()) env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress_);
    if (!swaySocket_.isEmpty()) env.insert("SWAYSOCK", swaySocket_);
    // Quiet: the services warn about the missing rtkit, system bus and permission store.
    env.insert("PIPEWIRE_DEBUG", "0");
    env.insert("WIREPLUMBER_DEBUG", "0");
    // Sanitizer options reach our own programs.
    const QProcessEnvironment mine = QProcessEnvironment::systemEnvironment();
    for (const char* key : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"})
        if (mine.contains(key)) env.insert(key, mine.value(key));
    return env;
}

QProcessEnvironment WaylandSession::clientEnvironment() const {
    QProcessEnvironment env = environment();
    env.insert("WAYLAND_DISPLAY", waylandDisplay_);
    env.insert("QT_QPA_PLATFORM", "wayland");
    return env;
}

bool WaylandSession::startedWhen(ChildProcess* process, const std::function<bool()>& ready,
                                 int timeoutMs) {
    return waitUntil([&] { return !process->running() || ready(); }, timeoutMs) &&
           process->running();
}

bool WaylandSession::startBus() {
    const QString socket = runtimeDir() + "/bus", config = runtimeDir() + "/bus.conf";
    if (!user_->writeFile(config, busConfig(socket))) return false;
    busAddress_ = "unix:path=" + socket;
    return startedWhen(
        spawn("dbus-daemon", {"--nofork", "--nosyslog", "--config-file=" + config}, true),
        [&] { return QFile::exists(socket); });
}

bool WaylandSession::startPipeWire() {
    const QString socket = runtimeDir() + "/pipewire-0";
    // The session manager is up once it is a client of the daemon.
    return startedWhen(spawn("pipewire", {}, true), [&] { return QFile::exists(socket); }) &&
           startedWhen(sessionManager_ = spawn("wireplumber", {}, true), [&] {
               return run("pw-cli", {"ls", "Client"}).contains("\"WirePlumber\"");
           });
}

bool WaylandSession::startSway(const QStringList& outputs) {
    QString lines;
    for (const QString& output : outputs) lines += "output " + output + "\n";
    if (outputs.isEmpty())
        lines =
            QString::asprintf("output HEADLESS-1 resolution %dx%d position 0 0\n", kWidth, kHeight);
    QProcessEnvironment env = environment();
    env.insert("WLR_BACKENDS", "headless");
    if (!outputs.isEmpty()) env.insert("WLR_HEADLESS_OUTPUTS", QString::number(outputs.size()));
    // wlroots 0.15 cannot take a headless output away; a window of the parent's can go.
    if (outputs.value(0).startsWith("WL-")) {
        // Its windows keep their own size, centred on its output: all drawn, so all get frames.
        const QString parent = launchSway("parent",
                                          "output HEADLESS-1 resolution 640x480\n"
                                          "floating_maximum_size -1 x -1\n"
                                          "for_window [title=\".*\"] floating enable\n",
                                          env);
        if (parent.isEmpty()) return false;
        parentSocket_ = runtimeDir() + "/parent.sock";
        env.insert("WAYLAND_DISPLAY", parent);
        env.insert("WLR_BACKENDS", "wayland");
        env.insert("WLR_WL_OUTPUTS", QString::number(outputs.size()));
    }
    // No bar, no borders, no gaps: views fill the output exactly, which tests rely on.
    lines += "default_border none\ndefault_floating_border none\nfocus_follows_mouse no\n";
    waylandDisplay_ = launchSway("sway", lines, env);
    if (waylandDisplay_.isEmpty()) return false;
    swaySocket_ = runtimeDir() + "/sway.sock";
    return true;
}

QString WaylandSession::launchSway(const QString& name, const QString& config,
                                   QProcessEnvironment env) {
    const QString file = runtimeDir() + "/" + name + ".conf";
    const QString ipc = runtimeDir() + "/" + name + ".sock";
    if (!user_->writeFile(file, config.toUtf8())) return {};
    env.insert("SWAYSOCK", ipc);
    env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    env.insert("WLR_RENDERER", "pixman");
    // Ready once its Wayland socket (the new one) is there and its IPC socket answers.
    const QDir dir(runtimeDir());
    const QStringList before = dir.entryList({"wayland-*"}, QDir::System);
    QString display;
    const auto ready = [&] {
        for (const QString& socket : dir.entryList({"wayland-*"}, QDir::System))
            if (!before.contains(socket)) display = dir.filePath(socket);
        return !display.isEmpty() &&
               ChildProcess::run("swaymsg", {"-s", ipc, "-t", "get_outputs"}, {environment()});
    };
    return startedWhen(keep(user_->start("sway", {"-c", file}, env)), ready) ? display : QString();
}

ChildProcess* WaylandSession::spawn(const QString& program, const QStringList& args, bool discard) {
    return keep(user_->start(program, args, environment(), discard));
}

QString WaylandSession::run(const QString& program, const QStringList& args) const {
    const auto child = user_->start(program, args, environment(), false);
    child->waitForFinished(10000);
    return QString::fromLocal8Bit(child->readAllStandardOutput());
}

ChildProcess* WaylandSession::startClient(const QString& program, const QStringList& args,
                                          const std::optional<QProcessEnvironment>& environment) {
    return keep(std::make_unique<ChildProcess>(
        program, args, ChildProcess::Options{environment.value_or(clientEnvironment()), false}));
}

std::optional<QByteArray> WaylandSession::swaymsg(const QStringList& args) const {
    return ChildProcess::run("swaymsg", args, {clientEnvironment()});
}

bool WaylandSession::command(const QString& command) const {
    return swaymsg({command}).has_value();  // swaymsg fails when any command does
}

bool WaylandSession::unplug(const QString& output) const {
    // wlroots' Wayland backend titles each output's window so, and drops the output with it.
    const QString kill = QStringLiteral("[title=\"wlroots - %1\"] kill").arg(output);
    return !parentSocket_.isEmpty() &&
           ChildProcess::run("swaymsg", {"-s", parentSocket_, kill}, {environment()}) &&
           waitUntil([&] {
               const auto outputs = swaymsg({"-t", "get_outputs"});
               return outputs && !outputs->contains("\"" + output.toUtf8() + "\"");
           });
}

std::optional<QJsonObject> WaylandSession::view(const QString& appId) const {
    return findView(tree(), [&](const QJsonObject& v) { return v["app_id"] == appId; });
}

QString WaylandSession::focusedAppId() const {
    const auto view = findView(tree(), [](const QJsonObject& v) { return v["focused"].toBool(); });
    return view ? view->value("app_id").toString() : QString();
}

QJsonObject WaylandSession::tree() const {
    return QJsonDocument::fromJson(swaymsg({"-t", "get_tree"}).value_or(QByteArray())).object();
}

QImage WaylandSession::screenshot(const QRect& area, const QString& output) const {
    QStringList args{"-t", "png", "-"};
    if (!output.isEmpty()) args = QStringList{"-o", output} + args;
    const QString geometry =
        QString::asprintf("%d,%d %dx%d", area.x(), area.y(), area.width(), area.height());
    if (!area.isEmpty()) args = QStringList{"-g", geometry} + args;
    return QImage::fromData(
        ChildProcess::run("grim", args, {clientEnvironment()}).value_or(QByteArray()), "PNG");
}

bool WaylandSession::pressKey(const QString& key) const {
    const QStringList args{"-M", "shift", "-m", "shift", "-s", "300", "-k", key};
    return ChildProcess::run("wtype", args, {clientEnvironment()}).has_value();
}

}  // namespace mirano::testing
