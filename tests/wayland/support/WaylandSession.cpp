#include "tests/wayland/support/WaylandSession.h"

#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstdlib>

namespace mirano::testing {

namespace {

/// Polls `condition` until it holds or `timeoutMs` passes.
template <typename Condition>
bool waitFor(int timeoutMs, Condition condition) {
    for (QDeadlineTimer deadline(timeoutMs); !condition(); QThread::msleep(10))
        if (deadline.hasExpired()) return false;
    return true;
}

/// A session bus of the session's user that also admits `alsoAdmitted` (the test).
QByteArray busConfig(const QString& socket, const QString& user, const QString& alsoAdmitted) {
    QByteArray config =
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
        "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig>\n  <type>session</type>\n  <listen>unix:path=" +
        socket.toUtf8() + "</listen>\n  <auth>EXTERNAL</auth>\n  <policy context=\"default\">\n";
    for (const QString& name : {user, alsoAdmitted})
        config += "    <allow user=\"" + name.toUtf8() + "\"/>\n";
    config +=
        "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
        "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
    return config;
}

}  // namespace

QString builtTestProgram(const QString& relativePath) {
    QByteArray dir = qgetenv("MIRANO_BUILD_DIR");
    if (dir.isEmpty()) dir = QCoreApplication::applicationDirPath().toLocal8Bit() + "/../..";
    return QString::fromLocal8Bit(dir) + "/" + relativePath;
}

WaylandSession::WaylandSession() : WaylandSession(Options{}) {}

WaylandSession::WaylandSession(Options options) : options_(options) { start(); }

WaylandSession::~WaylandSession() {
    while (!spawned_.empty()) spawned_.pop_back();  // the last started stops first
    wireplumber_.reset();
    pipewire_.reset();
    bus_.reset();
}

void WaylandSession::start() {
    if (!user_.error().isEmpty()) {
        error_ = user_.error();
        return;
    }
    if (!startBus()) return;
    if (options_.pipewire) startPipeWire();
}

QProcessEnvironment WaylandSession::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), user_.home());
    env.insert(QStringLiteral("USER"), user_.name());
    env.insert(QStringLiteral("LOGNAME"), user_.name());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        env.insert(QLatin1String(name), runtimeDir() + "/" + QString::fromLatin1(name).toLower());
    if (!busAddress_.isEmpty()) env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SYSTEM_BUS_ADDRESS"})
        env.remove(QLatin1String(name));
    // Quiet: the services warn about the missing rtkit, system bus and permission store.
    env.insert(QStringLiteral("PIPEWIRE_DEBUG"), QStringLiteral("0"));
    env.insert(QStringLiteral("WIREPLUMBER_DEBUG"), QStringLiteral("0"));
    return env;
}

std::unique_ptr<ChildProcess> WaylandSession::launch(const QString& program,
                                                     const QStringList& args,
                                                     bool discardOutput) const {
    return user_.start(program, args, environment(), discardOutput);
}

bool WaylandSession::startBus() {
    const QString config = runtimeDir() + "/bus.conf";
    QFile file(config);
    const QString me = QString::fromLocal8Bit(getpwuid(geteuid())->pw_name);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(busConfig(runtimeDir() + "/bus", user_.name(), me)) < 0) {
        error_ = QStringLiteral("cannot write %1").arg(config);
        return false;
    }
    file.close();
    bus_ = launch(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--nofork"), QStringLiteral("--config-file=") + config,
                   QStringLiteral("--print-address=1")},
                  false);
    if (!bus_->waitForReadLine(10000)) {
        error_ = QStringLiteral("dbus-daemon did not start");
        return false;
    }
    busAddress_ = QString::fromUtf8(bus_->readLine()).trimmed();
    return true;
}

bool WaylandSession::startPipeWire() {
    pipewire_ = launch(QStringLiteral("pipewire"), {}, true);
    const QString socket = runtimeDir() + "/pipewire-0";
    if (!waitFor(10000, [&] { return QFileInfo::exists(socket) || !pipewire_->running(); }) ||
        !pipewire_->running()) {
        error_ = QStringLiteral("pipewire did not start (is the pipewire package installed?)");
        return false;
    }
    wireplumber_ = launch(QStringLiteral("wireplumber"), {}, true);
    // The session manager is up once it is a client of the daemon.
    const bool up = waitFor(15000, [&] {
        return !wireplumber_->running() ||
               run(QStringLiteral("pw-cli"), {QStringLiteral("ls"), QStringLiteral("Client")})
                   .contains(QLatin1String("\"WirePlumber\""));
    });
    if (!up || !wireplumber_->running()) {
        error_ = QStringLiteral("wireplumber did not start");
        return false;
    }
    return true;
}

ChildProcess* WaylandSession::spawn(const QString& program, const QStringList& args,
                                    bool discardOutput) {
    spawned_.push_back(launch(program, args, discardOutput));
    return spawned_.back().get();
}

QString WaylandSession::run(const QString& program, const QStringList& args, int timeoutMs,
                            int* exitCode) {
    auto child = launch(program, args, false);
    const bool finished = child->waitForFinished(timeoutMs);
    const QString output = QString::fromLocal8Bit(child->readAllStandardOutput());
    if (exitCode) *exitCode = finished ? child->exitCode() : -1;
    return output;
}

}  // namespace mirano::testing
