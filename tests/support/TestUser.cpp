// Throw-away test accounts (useradd / userdel) and programs started as them (setpriv).
#include "tests/support/TestUser.h"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "tests/support/Files.h"

namespace mirano::testing {

namespace {
constexpr const char* kPrefix = "mirano-t";

void removeUser(const QString& name, const QString& home) {
    // The home directory by hand: userdel -r complains about the mail spool we never made.
    ChildProcess::run("userdel", {name}, {.discardOutput = true});
    QDir(home).removeRecursively();
}

/// Accounts left by test runs that were killed before they could clean up (their name holds
/// the pid of the run that made them).
void removeStaleUsers() {
    QList<QPair<QString, QString>> stale;
    setpwent();
    while (const passwd* pw = getpwent()) {
        const QString name = QString::fromLocal8Bit(pw->pw_name);
        bool number = false;
        const pid_t owner = name.mid(int(std::strlen(kPrefix))).toInt(&number);
        if (name.startsWith(kPrefix) && number && kill(owner, 0) != 0 && errno == ESRCH)
            stale.append({name, QString::fromLocal8Bit(pw->pw_dir)});
    }
    endpwent();
    for (const auto& [name, home] : stale) removeUser(name, home);
}
}  // namespace

TestUser::TestUser() {
    if (geteuid() == 0) {
        removeStaleUsers();
        name_ = QStringLiteral("%1%2").arg(kPrefix).arg(getpid());
        if (!ChildProcess::run("useradd", {"-m", "-s", "/bin/sh", name_},
                               {.discardOutput = true})) {
            error_ = "useradd failed for " + name_;
            return;
        }
        created_ = true;
    }
    const passwd* pw = created_ ? getpwnam(name_.toLocal8Bit().constData()) : getpwuid(getuid());
    if (!pw) {
        error_ = "no passwd entry for the test user";
        return;
    }
    name_ = QString::fromLocal8Bit(pw->pw_name);
    uid_ = pw->pw_uid;
    gid_ = pw->pw_gid;
    home_ = QString::fromLocal8Bit(pw->pw_dir);
    // QTemporaryDir makes it with mode 700 and removes it with all the session left there.
    if (!runtimeDir_.isValid() || chown(QFile::encodeName(runtimeDir_.path()), uid_, gid_) != 0)
        error_ = "cannot make the runtime directory";
}

TestUser::~TestUser() {
    if (created_) removeUser(name_, home_);
}

QProcessEnvironment TestUser::environment() const {
    QProcessEnvironment env;
    env.insert("HOME", home_);
    env.insert("USER", name_);
    env.insert("LOGNAME", name_);
    env.insert("PATH", "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin");
    env.insert("LANG", "C.UTF-8");
    env.insert("XDG_RUNTIME_DIR", runtimeDir());
    return env;
}

std::unique_ptr<ChildProcess> TestUser::start(const QString& program, const QStringList& args,
                                              const QProcessEnvironment& environment,
                                              bool discardOutput) const {
    ChildProcess::Options options{environment, discardOutput};
    if (!created_) return std::make_unique<ChildProcess>(program, args, options);
    // setpriv execs the program itself (runuser would stay as its parent and not pass our
    // SIGTERM on), so the process we hold is the program and stops when told; and it is told
    // if the test dies without stopping it.
    const QString setpriv =
        QString::asprintf("--reuid=%u --regid=%u --init-groups --pdeathsig=TERM --", uid_, gid_);
    return std::make_unique<ChildProcess>("setpriv", (setpriv.split(' ') << program) + args,
                                          options);
}

bool TestUser::writeFile(const QString& path, const QByteArray& content) const {
    return testing::writeFile(path, content) &&
           (!created_ || chown(path.toLocal8Bit().constData(), uid_, gid_) == 0);
}

}  // namespace mirano::testing
