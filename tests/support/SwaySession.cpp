// Headless sway for tests: started as a throw-away user, asked through swaymsg and grim.
#include "tests/support/SwaySession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include "tests/support/X11Session.h"

namespace mirano::testing {

namespace {
constexpr int kStartMs = 20000;
constexpr int kToolMs = 10000;

QByteArray runTool(const QString& program, const QStringList& args,
                   const QProcessEnvironment& env) {
    ChildProcess p(program, args, ChildProcess::Options{env, false});
    QByteArray out;
    // Read while waiting: a large tree or picture must not fill the pipe.
    const bool finished = p.started() && waitUntil(
                                             [&] {
                                                 out += p.readAllStandardOutput();
                                                 return !p.running();
                                             },
                                             kToolMs);
    out += p.readAllStandardOutput();
    return finished && p.exitCode() == 0 ? out : QByteArray();
}

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

SwaySession::SwaySession() : user_(std::make_unique<TestUser>()) { start(); }

SwaySession::~SwaySession() {
    while (!clients_.empty()) clients_.pop_back();  // the last started stops first
    sway_.reset();
    bus_.reset();
}

void SwaySession::start() {
    if (!user_->error().isEmpty()) {
        error_ = user_->error();
        return;
    }
    if (!startBus()) {
        error_ = "the session bus did not start (is dbus installed?)";
        return;
    }
    if (!startSway()) error_ = "sway did not start (are sway and its packages installed?)";
}

bool SwaySession::startBus() {
    const QString socket = user_->runtimeDir() + "/bus";
    bus_ = user_->start("dbus-daemon",
                        {"--session", "--nofork", "--nosyslog", "--address=unix:path=" + socket},
                        user_->environment());
    busAddress_ = "unix:path=" + socket;
    return bus_->started() && waitUntil([&] { return QFile::exists(socket); }, kStartMs);
}

bool SwaySession::startSway() {
    const QString config = user_->runtimeDir() + "/sway.conf";
    // No bar, no borders, no gaps: views fill the output exactly, which tests rely on.
    const QByteArray text = QStringLiteral(
                                "output HEADLESS-1 resolution %1x%2 position 0 0\n"
                                "default_border none\n"
                                "default_floating_border none\n"
                                "focus_follows_mouse no\n")
                                .arg(kWidth)
                                .arg(kHeight)
                                .toUtf8();
    if (!user_->writeFile(config, text)) return false;
    QProcessEnvironment env = user_->environment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress_);
    env.insert("WLR_BACKENDS", "headless");
    env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    env.insert("WLR_RENDERER", "pixman");
    sway_ = user_->start("sway", {"-c", config}, env);
    if (!sway_->started()) return false;
    // sway is ready once both its Wayland socket and its IPC socket are there.
    const QDir dir(user_->runtimeDir());
    return waitUntil(
        [&] {
            const QStringList wl = dir.entryList({"wayland-*"}, QDir::System);
            const QStringList ipc = dir.entryList({"sway-ipc.*.sock"}, QDir::System);
            if (wl.isEmpty() || ipc.isEmpty() || !sway_->running()) return false;
            waylandDisplay_ = dir.filePath(wl.first());
            swaySocket_ = dir.filePath(ipc.first());
            return !swaymsg({"-t", "get_outputs"}).isEmpty();
        },
        kStartMs);
}

QProcessEnvironment SwaySession::toolEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("WAYLAND_DISPLAY", waylandDisplay_);
    env.insert("SWAYSOCK", swaySocket_);
    return env;
}

QProcessEnvironment SwaySession::clientEnvironment() const {
    QProcessEnvironment env = user_->environment();
    env.insert("WAYLAND_DISPLAY", waylandDisplay_);
    env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress_);
    env.insert("QT_QPA_PLATFORM", "wayland");
    // Sanitizer options reach our own client programs.
    const QProcessEnvironment mine = QProcessEnvironment::systemEnvironment();
    for (const char* key : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"})
        if (mine.contains(key)) env.insert(key, mine.value(key));
    return env;
}

ChildProcess* SwaySession::startClient(const QString& program, const QStringList& args) {
    return clients_
        .emplace_back(std::make_unique<ChildProcess>(
            program, args, ChildProcess::Options{clientEnvironment(), true}))
        .get();
}

QByteArray SwaySession::swaymsg(const QStringList& args) const {
    return runTool("swaymsg", args, toolEnvironment());
}

bool SwaySession::command(const QString& command) const {
    const QJsonArray results = QJsonDocument::fromJson(swaymsg({command})).array();
    if (results.isEmpty()) return false;
    for (const QJsonValue& r : results)
        if (!r.toObject().value("success").toBool()) return false;
    return true;
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
    QStringList args;
    if (!area.isEmpty())
        args << "-g"
             << QStringLiteral("%1,%2 %3x%4")
                    .arg(area.x())
                    .arg(area.y())
                    .arg(area.width())
                    .arg(area.height());
    args << "-t"
         << "png"
         << "-";
    return QImage::fromData(runTool("grim", args, toolEnvironment()), "PNG");
}

}  // namespace mirano::testing
