// The Wayland test session: a bus of the test user's own, PipeWire and WirePlumber as that user.
#include "tests/support/WaylandSession.h"

#include <pwd.h>
#include <unistd.h>

#include <QFile>

#include "tests/support/X11Session.h"

namespace mirano::testing {

namespace {

/// A session bus of `user` that also admits `alsoAdmitted` (the test).
QByteArray busConfig(const QString& socket, const QString& user, const QString& alsoAdmitted) {
    QByteArray config =
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
        "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig>\n  <type>session</type>\n  <listen>unix:path=" +
        socket.toUtf8() + "</listen>\n  <auth>EXTERNAL</auth>\n  <policy context=\"default\">\n";
    for (const QString& name : {user, alsoAdmitted})
        config += "    <allow user=\"" + name.toUtf8() + "\"/>\n";
    return config +
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
}

}  // namespace

QString builtTestProgram(const QString& relativePath) {
    return X11Session::builtProgram(relativePath);
}

WaylandSession::WaylandSession(Options options) {
    if (!(error_ = user_.error()).isEmpty() || !startBus()) return;
    if (options.pipewire) startPipeWire();
}

WaylandSession::~WaylandSession() {
    while (!programs_.empty()) programs_.pop_back();  // the last started stops first
}

QProcessEnvironment WaylandSession::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SYSTEM_BUS_ADDRESS"})
        env.remove(name);
    env.insert(user_.environment());
    for (const QString name :
         {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        env.insert(name, runtimeDir() + "/" + name.toLower());
    if (!busAddress_.isEmpty()) env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress_);
    // Quiet: the services warn about the missing rtkit, system bus and permission store.
    env.insert("PIPEWIRE_DEBUG", "0");
    env.insert("WIREPLUMBER_DEBUG", "0");
    return env;
}

ChildProcess* WaylandSession::keep(std::unique_ptr<ChildProcess> program) {
    return programs_.emplace_back(std::move(program)).get();
}

ChildProcess* WaylandSession::spawn(const QString& program, const QStringList& args,
                                    bool discardOutput) {
    return keep(user_.start(program, args, environment(), discardOutput));
}

QString WaylandSession::run(const QString& program, const QStringList& args, int timeoutMs,
                            int* exitCode) {
    auto child = user_.start(program, args, environment(), false);
    const bool finished = child->waitForFinished(timeoutMs);
    if (exitCode) *exitCode = finished ? child->exitCode() : -1;
    return QString::fromLocal8Bit(child->readAllStandardOutput());
}

bool WaylandSession::startBus() {
    const QString config = runtimeDir() + "/bus.conf";
    const QString me = QString::fromLocal8Bit(getpwuid(geteuid())->pw_name);
    if (!user_.writeFile(config, busConfig(runtimeDir() + "/bus", user_.name(), me))) {
        error_ = "cannot write " + config;
        return false;
    }
    ChildProcess* bus =
        spawn("dbus-daemon", {"--nofork", "--config-file=" + config, "--print-address=1"});
    if (!bus->waitForReadLine(10000)) {
        error_ = "dbus-daemon did not start";
        return false;
    }
    busAddress_ = QString::fromUtf8(bus->readLine()).trimmed();
    return true;
}

bool WaylandSession::startPipeWire() {
    ChildProcess* pipewire = spawn("pipewire", {}, true);
    const QString socket = runtimeDir() + "/pipewire-0";
    if (!waitUntil([&] { return QFile::exists(socket) || !pipewire->running(); }, 10000) ||
        !pipewire->running()) {
        error_ = "pipewire did not start (is the pipewire package installed?)";
        return false;
    }
    ChildProcess* wireplumber = spawn("wireplumber", {}, true);
    // The session manager is up once it is a client of the daemon.
    if (!waitUntil(
            [&] {
                return !wireplumber->running() ||
                       run("pw-cli", {"ls", "Client"}).contains("\"WirePlumber\"");
            },
            15000) ||
        !wireplumber->running()) {
        error_ = "wireplumber did not start";
        return false;
    }
    return true;
}

}  // namespace mirano::testing
