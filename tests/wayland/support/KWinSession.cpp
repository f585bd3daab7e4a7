// Headless KWin for tests: started in a private session, asked through KWin scripts.
#include "tests/wayland/support/KWinSession.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

#include "platform/wayland/kwin/KWinScript.h"
#include "tests/support/X11Session.h"

namespace mirano::testing {

constexpr int kStartMs = 30000;
const QString kSocket = QStringLiteral("wayland-kwin");

KWinSession::KWinSession() : WaylandSession({.sway = false}) {
    if (!error_.isEmpty()) return;
    if (!startKWin())
        error_ = "kwin_wayland did not start (is kwin-wayland installed?)";
    else if (!startPortals())
        error_ =
            "the desktop portal did not start (are xdg-desktop-portal, "
            "xdg-desktop-portal-kde and qtwayland5 installed?)";
}

ChildProcess* KWinSession::spawnWith(const QStringList& variables, const QString& program,
                                     const QStringList& args) {
    // env execs the program, so the process the session stops is the program itself.
    return spawn(QStringLiteral("env"), variables + QStringList{program} + args, true);
}

bool KWinSession::startKWin() {
    // The packaged binary carries a file capability that a container may refuse to exec; a
    // copy has none. It must keep its name: KWin's Qt platform plugin loads only into a
    // program called kwin_wayland.
    const QString dir = runtimeDir() + "/kwin", kwin = dir + "/kwin_wayland";
    if (!QDir().mkpath(dir) || !QFile::copy("/usr/bin/kwin_wayland", kwin)) return false;
    // No window decorations: Breeze is not installed, and windows then are their client area.
    run("sh", {"-c",
               "mkdir -p \"$XDG_CONFIG_HOME\" && printf "
               "'[org.kde.kdecoration2]\\nNoPlugin=true\\n' > \"$XDG_CONFIG_HOME/kwinrc\""});
    ChildProcess* process = spawnWith(
        {"KWIN_COMPOSE=Q", "KWIN_WAYLAND_NO_PERMISSION_CHECKS=1", "XDG_CURRENT_DESKTOP=KDE"}, kwin,
        {"--virtual", "--width", QString::number(kWidth), "--height", QString::number(kHeight),
         "--socket", kSocket, "--no-lockscreen"});
    waylandDisplay_ = runtimeDir() + "/" + kSocket;
    return startedWhen(
               process, [&] { return QFile::exists(waylandDisplay_); }, kStartMs) &&
           waitForNames({"org.kde.KWin", "org.kde.kglobalaccel"});
}

bool KWinSession::startPortals() {
    spawnWith({"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=" + kSocket, "XDG_CURRENT_DESKTOP=KDE"},
              "/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde", {});
    if (!waitForNames({"org.freedesktop.impl.portal.desktop.kde"})) return false;
    // The portal reads /proc/PID/root of each caller, and the test may run as root: it runs as
    // the test's user, with the session's environment.
    QProcessEnvironment env = clientEnvironment();
    env.insert("XDG_CURRENT_DESKTOP", "KDE");
    keep(std::make_unique<ChildProcess>("/usr/libexec/xdg-desktop-portal", QStringList{},
                                        ChildProcess::Options{env, true}));
    return waitForNames({"org.freedesktop.portal.Desktop"});
}

bool KWinSession::waitForNames(const QStringList& names) {
    return waitUntil(
        [&] {
            const QString listed =
                run("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                  "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"});
            return std::ranges::all_of(
                names, [&](const QString& name) { return listed.contains('"' + name + '"'); });
        },
        kStartMs);
}

/// Receives what an oracle script says.
class ScriptAnswer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mirano.TestOracle")
public:
    std::optional<QString> text;
public slots:
    Q_SCRIPTABLE void answer(const QString& json) { text = json; }
};

QJsonValue kwinEvaluate(const QString& expression) {
    using mirano::wayland::KWinScript;
    QDBusConnection bus = QDBusConnection::sessionBus();
    static int counter = 0;
    const QString path = QStringLiteral("/org/mirano/TestOracle%1").arg(++counter);
    ScriptAnswer answer;
    if (!bus.registerObject(path, &answer, QDBusConnection::ExportScriptableSlots)) return {};
    const QString source = "callDBus(" + KWinScript::quoted(bus.baseService()) + ", " +
                           KWinScript::quoted(path) + ", \"org.mirano.TestOracle\", \"answer\", " +
                           "JSON.stringify([(function() { return " + expression + "; })()]));";
    QJsonValue value = QJsonValue::Undefined;
    {
        KWinScript script(bus, KWinScript::newName(), source, [](auto, auto) {});
        if (waitUntil([&] { return answer.text.has_value(); }, 10000))
            value = QJsonDocument::fromJson(answer.text->toUtf8()).array().at(0);
    }
    bus.unregisterObject(path);
    return value;
}

}  // namespace mirano::testing

#include "KWinSession.moc"
