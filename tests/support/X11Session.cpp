#include "tests/support/X11Session.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRect>
#include <QThread>

#include "platform/x11/CompositingManager.h"
#include "platform/x11/XConnection.h"
#include "tests/support/Files.h"

namespace mirano::testing {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

X11Session::X11Session(Options options) : options_(options), previousDisplay_(qgetenv("DISPLAY")) {
    start();
}

X11Session::~X11Session() {
    // The members stop after this in reverse order: the spawned programs, then compositor to
    // server.
    previousDisplay_.isNull() ? qunsetenv("DISPLAY") : qputenv("DISPLAY", previousDisplay_);
}

static QRect monitorRect(const QString& geometry) {
    const QStringList f = QString(geometry).replace('+', 'x').split('x');
    return f.size() == 4 ? QRect(f[2].toInt(), f[3].toInt(), f[0].toInt(), f[1].toInt()) : QRect();
}

bool setMonitor(const QString& name, const QString& geometry, bool primary) {
    const QRect r = monitorRect(geometry);
    // The sizes in millimetres (at 96 dpi) only keep xrandr's parser content.
    const QString spec = QString::asprintf("%d/%dx%d/%d+%d+%d", r.width(), r.width() * 254 / 960,
                                           r.height(), r.height() * 254 / 960, r.x(), r.y());
    // RandR redefines no monitor in place.
    xrandr({"--delmonitor", name});
    return xrandr({"--setmonitor", (primary ? "*" : "") + name, spec, "none"});
}

void X11Session::start() {
    QRect root;
    for (const QString& m : options_.monitors) root |= monitorRect(m.section(' ', 1));
    if (!root.isEmpty()) options_.width = root.right() + 1, options_.height = root.bottom() + 1;
    // Xvfb picks a free display number and writes it to its standard output.
    const QString screen = QStringLiteral("%1x%2x24").arg(options_.width).arg(options_.height);
    QStringList args{"-displayfd", "1", "-nolisten", "tcp", "-noreset"};
    for (int i = 0; i < options_.screens; ++i) args << "-screen" << QString::number(i) << screen;
    for (const char* extension : {"Composite", "DAMAGE", "RENDER", "XInputExtension"})
        args << "+extension" << extension;
    if (options_.withoutRender) args << QStringList{"-extension", "RENDER"};
    if (options_.separateIpc)
        args = QStringList{"--user", "--map-root-user", "--ipc", "Xvfb"} + args;
    xvfb_ = std::make_unique<ChildProcess>(options_.separateIpc ? "unshare" : "Xvfb", args);
    const QString number = xvfb_->readLine();
    if (number.isEmpty()) {
        error_ = "Xvfb did not report a display (is the xvfb package installed?)";
        return;
    }
    display_ = ":" + number;
    if (options_.screens > 1) display_ += "." + QString::number(options_.screens - 1);
    qputenv("DISPLAY", display_.toLatin1());
    for (const QString& m : options_.monitors)
        if (!setMonitor(m.section(' ', 0, 0), m.section(' ', 1), &m == &options_.monitors.front()))
            error_ = "xrandr could not set monitor " + m;
    // Xvfb's own output cannot be turned off (xrandr fails) but its monitor goes.
    if (!options_.monitors.isEmpty()) xrandr({"--output", "screen", "--off"});

    if (options_.windowManager) {
        wm_ = std::make_unique<ChildProcess>("openbox", QStringList{"--sm-disable"},
                                             ChildProcess::Options{{}, true});
        // Openbox announces itself before it manages windows; it is really up once a probe
        // window of ours has been reparented into a frame.
        if (!waitUntil([this] { return windowManagerManages(); }, 15000)) {
            error_ = "openbox did not start";
            return;
        }
    }
    if (options_.compositor && !startCompositor()) error_ = "xcompmgr did not start";
}

bool X11Session::windowManagerManages() {
    x11::XConnection conn(display_.toLatin1().constData());
    if (!conn.isValid()) return false;
    xcb_connection_t* c = conn.get();
    const xcb_window_t probe = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, conn.root(), 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(c, probe);
    xcb_flush(c);
    // The probe goes with our connection.
    return waitUntil(
        [&] {
            auto r = x11::reply(xcb_query_tree_reply(c, xcb_query_tree(c, probe), nullptr));
            return r && r->parent != conn.root();
        },
        1500);
}

bool X11Session::startCompositor() {
    if (compositor_) return true;
    compositor_ =
        std::make_unique<ChildProcess>("xcompmgr", QStringList{}, ChildProcess::Options{{}, true});
    x11::XConnection conn(display_.toLatin1().constData());
    const auto running = [&] {
        return x11::compositingManagerRuns(conn.get(), conn.atoms(), conn.screenNumber());
    };
    return conn.isValid() && waitUntil(running, 10000);
}

void X11Session::stopCompositor() { compositor_.reset(); }

ChildProcess* X11Session::spawn(const QString& program, const QStringList& args,
                                const std::optional<QProcessEnvironment>& environment) {
    return &spawned_.emplace_front(program, args, ChildProcess::Options{environment});
}

QString X11Session::builtProgram(const QString& relativePath) {
    QByteArray dir = qgetenv("MIRANO_BUILD_DIR");
    if (dir.isEmpty()) dir = QCoreApplication::applicationDirPath().toLocal8Bit() + "/../..";
    return QString::fromLocal8Bit(dir) + "/" + relativePath;
}

std::vector<int> shmSegmentsOf(qint64 pid) {
    std::vector<int> perms;
    // After the header, a line per segment; the fifth column is the creator's pid.
    for (const QByteArray& line : readFile("/proc/sysvipc/shm").split('\n').mid(1)) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 4 && f[4].toLongLong() == pid) perms.push_back(f[2].toInt(nullptr, 8));
    }
    return perms;
}

}  // namespace mirano::testing
