// Programs started as the test user: through unshare and setpriv when the tests run as root.
#include "tests/support/TestUser.h"

#include <pwd.h>
#include <unistd.h>

#include <QFile>

namespace mirano::testing {

namespace {
constexpr const char* kNobody = "65534";
}  // namespace

QString TestUser::error() const {
    return runtimeDir_.isValid() ? QString() : QStringLiteral("cannot make the runtime directory");
}

QProcessEnvironment TestUser::environment() const {
    const passwd* pw = getpwuid(getuid());
    const QString name = geteuid() == 0 || !pw ? "nobody" : QString::fromLocal8Bit(pw->pw_name);
    QProcessEnvironment env;
    env.insert("HOME", runtimeDir());
    env.insert("USER", name);
    env.insert("LOGNAME", name);
    env.insert("PATH", "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin");
    env.insert("LANG", "C.UTF-8");
    env.insert("XDG_RUNTIME_DIR", runtimeDir());
    return env;
}

std::unique_ptr<ChildProcess> TestUser::start(const QString& program, const QStringList& args,
                                              const QProcessEnvironment& environment,
                                              bool discardOutput) const {
    const ChildProcess::Options options{environment, discardOutput};
    if (geteuid() != 0) return std::make_unique<ChildProcess>(program, args, options);
    // unshare and setpriv exec the program in turn, so the process we hold is the program and
    // stops when told; and it is told if the test dies without stopping it.
    return std::make_unique<ChildProcess>(
        "unshare",
        QStringList{QStringLiteral("--map-user=%1").arg(kNobody),
                    QStringLiteral("--map-group=%1").arg(kNobody), "setpriv", "--pdeathsig=TERM",
                    "--", program} +
            args,
        options);
}

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

}  // namespace mirano::testing
