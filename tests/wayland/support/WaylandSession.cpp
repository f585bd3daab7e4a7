#include "tests/wayland/support/WaylandSession.h"

#include <pwd.h>
#include <sys/stat.h>
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

/// Runs a system tool as ourselves to completion; true when it exited with 0.
bool runTool(const QString& program, const QStringList& args) {
    ChildProcess tool(program, args, ChildProcess::Options{{}, true});
    return tool.waitForFinished(30000) && tool.exitCode() == 0;
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
    if (!runtimeDir_.isEmpty()) QDir(runtimeDir_).removeRecursively();
    if (!user_.isEmpty()) runTool(QStringLiteral("userdel"), {QStringLiteral("-r"), user_});
}

void WaylandSession::start() {
    if (!makeUser()) return;
    QByteArray dir = QFile::encodeName(QDir::tempPath() + "/mirano-wayland-XXXXXX");
    if (!mkdtemp(dir.data()) || chown(dir.constData(), uid_, gid_) != 0 ||
        chmod(dir.constData(), 0700) != 0) {
        error_ = QStringLiteral("no runtime directory");
        return;
    }
    runtimeDir_ = QFile::decodeName(dir);
    if (!startBus()) return;
    if (options_.pipewire) startPipeWire();
}

bool WaylandSession::makeUser() {
    if (geteuid() != 0) {
        const passwd* me = getpwuid(geteuid());
        uid_ = geteuid();
        gid_ = getegid();
        home_ = me ? QString::fromLocal8Bit(me->pw_dir) : QDir::homePath();
        return true;
    }
    // Compositors refuse to run as root, and a user's session should not be root's anyway.
    const QString name = QStringLiteral("mirano-wl%1").arg(getpid());
    if (!runTool(QStringLiteral("useradd"),
                 {QStringLiteral("-m"), QStringLiteral("-s"), QStringLiteral("/bin/sh"), name})) {
        error_ = QStringLiteral("useradd %1 failed").arg(name);
        return false;
    }
    user_ = name;
    const passwd* entry = getpwnam(name.toLocal8Bit().constData());
    if (!entry) {
        error_ = QStringLiteral("user %1 not found after useradd").arg(name);
        return false;
    }
    uid_ = entry->pw_uid;
    gid_ = entry->pw_gid;
    home_ = QString::fromLocal8Bit(entry->pw_dir);
    return true;
}

QProcessEnvironment WaylandSession::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home_);
    if (!user_.isEmpty()) {
        env.insert(QStringLiteral("USER"), user_);
        env.insert(QStringLiteral("LOGNAME"), user_);
    }
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir_);
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        env.insert(QLatin1String(name), runtimeDir_ + "/" + QString::fromLatin1(name).toLower());
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
    ChildProcess::Options options{environment(), discardOutput};
    if (user_.isEmpty()) return std::make_unique<ChildProcess>(program, args, options);
    // setpriv execs the program itself, so the process we stop is the program.
    const QStringList asUser{QStringLiteral("--reuid=%1").arg(uid_),
                             QStringLiteral("--regid=%1").arg(gid_),
                             QStringLiteral("--init-groups"), QStringLiteral("--"), program};
    return std::make_unique<ChildProcess>(QStringLiteral("setpriv"), asUser + args, options);
}

bool WaylandSession::startBus() {
    const QString config = runtimeDir_ + "/bus.conf";
    QFile file(config);
    const QString me = QString::fromLocal8Bit(getpwuid(geteuid())->pw_name);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(busConfig(runtimeDir_ + "/bus", user_.isEmpty() ? me : user_, me)) < 0) {
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
    const QString socket = runtimeDir_ + "/pipewire-0";
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
