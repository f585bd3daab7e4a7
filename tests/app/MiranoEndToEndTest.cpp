// The real `mirano` program on a private X display with a window manager, a tray and a session
// bus, driven through XTEST (xdotool) the way a user drives it.
#include "platform/x11/XConnection.h"
#include "tests/support/X11Session.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>
#include <vector>

using namespace mirano;
using mirano::testing::waitUntil;
using mirano::testing::X11Session;

namespace {

const QColor kBackground(0x3b, 0x4b, 0x5c);
// The eight bars of the test client's "bars" pattern, left to right.
const QColor kBars[8] = {Qt::white, Qt::yellow, Qt::cyan, Qt::green,
                         Qt::magenta, Qt::red, Qt::blue, Qt::black};

bool near(const QColor& a, const QColor& b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

std::string describe(const QColor& c) { return c.name().toStdString(); }

/// One of the test's own client windows.
struct Client {
    QProcess* process = nullptr;
    quint32 window = 0;
    QString output;  // everything it printed so far
    QString readAll() {
        output += QString::fromUtf8(process->readAllStandardOutput());
        return output;
    }
    bool sawKey(const QString& keysym) { return readAll().contains("key " + keysym + " "); }
    void send(const QByteArray& command) { process->write(command + "\n"); }
};

class MiranoSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        session_ = std::make_unique<X11Session>();
        ASSERT_TRUE(session_->error().isEmpty()) << session_->error().toStdString();
        conn_ = std::make_unique<x11::XConnection>(session_->display().toLatin1().constData());
        ASSERT_TRUE(conn_->isValid());
        run("xsetroot", {"-solid", kBackground.name()});

        env_ = QProcessEnvironment::systemEnvironment();
        env_.remove("QT_QPA_PLATFORM");  // the test itself runs offscreen; Mirano must not
        env_.insert("DISPLAY", session_->display());
        QDir(home_.path()).mkpath("config");
        QDir(home_.path()).mkpath("runtime");
        QFile::setPermissions(home_.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env_.insert("XDG_CONFIG_HOME", home_.filePath("config"));
        env_.insert("XDG_RUNTIME_DIR", home_.filePath("runtime"));
        env_.insert("HOME", home_.path());

        QProcess* bus = start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(waitUntil([&] { return bus->canReadLine(); }, 10000)) << "dbus-daemon did not start";
        env_.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(bus->readLine()).trimmed());

        start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
        ASSERT_TRUE(waitUntil([&] { return selectionOwned("_NET_SYSTEM_TRAY_S0"); }, 10000))
            << "no tray host";
    }

    void TearDown() override {
        // For diagnosis: MIRANO_TEST_ARTIFACTS=<dir> keeps a picture of the screen of failed tests.
        const QString artifacts = qEnvironmentVariable("MIRANO_TEST_ARTIFACTS");
        if (HasFailure() && !artifacts.isEmpty() && session_) {
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            run("import", {"-window", "root", artifacts + "/" + info->name() + ".png"});
            if (mirano_) {
                miranoOutput_ += QString::fromUtf8(mirano_->readAllStandardOutput());
                QFile log(artifacts + "/" + info->name() + ".log");
                if (log.open(QIODevice::WriteOnly))
                    log.write(miranoOutput_.toUtf8() + mirano_->readAllStandardError());
            }
        }
        for (auto it = processes_.rbegin(); it != processes_.rend(); ++it) stop(it->get());
        processes_.clear();
        conn_.reset();
        session_.reset();
    }

    QProcess* start(const QString& program, const QStringList& args) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env_);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(program, args);
        p->waitForStarted(5000);
        processes_.push_back(std::move(p));
        return processes_.back().get();
    }

    static void stop(QProcess* p) {
        if (p->state() == QProcess::NotRunning) return;
        p->terminate();
        if (!p->waitForFinished(5000)) {
            p->kill();
            p->waitForFinished(2000);
        }
    }

    QString run(const QString& program, const QStringList& args) {
        return session_->run(program, args, 10000);
    }

    void xdotool(const QStringList& args) { run("xdotool", args); }

    bool selectionOwned(const char* name) {
        auto r = x11::reply(xcb_get_selection_owner_reply(
            conn_->get(), xcb_get_selection_owner(conn_->get(), conn_->atom(name)), nullptr));
        return r && r->owner != XCB_NONE;
    }

    Client client(const QStringList& args) {
        Client c;
        c.process = start(X11Session::builtProgram("tests/mirano_test_client"), args);
        waitUntil([&] { return c.readAll().contains("ready"); }, 10000);
        const auto m = QRegularExpression("ready 0x([0-9a-f]+)").match(c.output);
        c.window = m.hasMatch() ? m.captured(1).toUInt(nullptr, 16) : 0;
        return c;
    }

    /// Starts the real program and waits until its hotkeys listen.
    void startMirano() {
        mirano_ = start(X11Session::builtProgram("mirano"), {});
        const bool listening = waitUntil([&] {
            miranoOutput_ += QString::fromUtf8(mirano_->readAllStandardOutput());
            return miranoOutput_.contains("event tap started");
        }, 20000);
        ASSERT_TRUE(listening) << "Mirano did not start its hotkeys: " << miranoOutput_.toStdString()
                               << QString::fromUtf8(mirano_->readAllStandardError()).toStdString();
    }

    /// Geometry of a window relative to the root.
    QRect geometry(quint32 window) {
        auto g = x11::reply(xcb_get_geometry_reply(conn_->get(), xcb_get_geometry(conn_->get(), window), nullptr));
        auto t = x11::reply(xcb_translate_coordinates_reply(
            conn_->get(), xcb_translate_coordinates(conn_->get(), window, conn_->root(), 0, 0), nullptr));
        if (!g || !t) return {};
        return QRect(t->dst_x, t->dst_y, g->width, g->height);
    }

    bool isViewable(quint32 window) {
        auto a = x11::reply(xcb_get_window_attributes_reply(
            conn_->get(), xcb_get_window_attributes(conn_->get(), window), nullptr));
        return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    /// Mirano's visible always-on-top windows of at least 100 pixels (the PiP, the region panel).
    std::vector<quint32> miranoPanels() {
        std::vector<quint32> found;
        const QStringList ids =
            run("xdotool", {"search", "--onlyvisible", "--classname", "^mirano$"}).split('\n', Qt::SkipEmptyParts);
        for (const QString& id : ids) {
            const quint32 w = id.toUInt();
            if (!isViewable(w)) continue;
            if (!run("xprop", {"-id", id, "_NET_WM_STATE"}).contains("_NET_WM_STATE_ABOVE")) continue;
            if (geometry(w).width() < 100) continue;
            found.push_back(w);
        }
        return found;
    }

    /// The PiP panel: Mirano's floating window that is not over `exclude`'s area.
    std::optional<QRect> pipRect() {
        const auto panels = miranoPanels();
        if (panels.size() != 1) return std::nullopt;
        return geometry(panels.front());
    }

    QColor pixel(int x, int y) {
        auto img = x11::reply(xcb_get_image_reply(
            conn_->get(),
            xcb_get_image(conn_->get(), XCB_IMAGE_FORMAT_Z_PIXMAP, conn_->root(), static_cast<int16_t>(x),
                          static_cast<int16_t>(y), 1, 1, 0xffffffff),
            nullptr));
        if (!img || xcb_get_image_data_length(img.get()) < 4) return {};
        const uint8_t* d = xcb_get_image_data(img.get());
        return QColor(d[2], d[1], d[0]);
    }

    /// The colour at the centre of each eighth of `r`, at half height.
    std::vector<QColor> barsIn(const QRect& r) {
        std::vector<QColor> colours;
        for (int i = 0; i < 8; ++i)
            colours.push_back(pixel(r.x() + (2 * i + 1) * r.width() / 16, r.y() + r.height() / 2));
        return colours;
    }

    bool showsBars(const QRect& r) {
        const auto c = barsIn(r);
        for (int i = 0; i < 8; ++i)
            if (!near(c[static_cast<std::size_t>(i)], kBars[i])) return false;
        return true;
    }

    /// Moves the pointer onto the PiP and waits (bounded) for the panel to react to it: its
    /// hover overlay changes some of its pixels.
    void hoverOver(const QRect& pip) {
        auto samples = [&] {
            std::vector<QColor> v;
            for (int i = 1; i < 4; ++i)
                for (int j = 1; j < 4; ++j) v.push_back(pixel(pip.x() + i * pip.width() / 4, pip.y() + j * pip.height() / 8));
            return v;
        };
        const auto before = samples();
        pointAt(pip.center().x(), pip.center().y());
        waitUntil([&] { return samples() != before; }, 2000);
    }

    void focus(const Client& c) { xdotool({"windowactivate", "--sync", QString::number(c.window)}); }
    /// Moves the pointer and waits until the server reports it there ("--sync" would wait
    /// forever when the pointer is already in place).
    void pointAt(int x, int y) {
        xdotool({"mousemove", QString::number(x), QString::number(y)});
        waitUntil([&] {
            auto r = x11::reply(xcb_query_pointer_reply(conn_->get(), xcb_query_pointer(conn_->get(), conn_->root()), nullptr));
            return r && r->root_x == x && r->root_y == y;
        }, 5000);
    }
    void hotkey(const QString& key = "p") { xdotool({"keydown", "Menu", "key", key, "keyup", "Menu"}); }
    void shiftHotkey() { xdotool({"keydown", "Menu", "keydown", "shift", "key", "p", "keyup", "shift", "keyup", "Menu"}); }

    bool noPiP(int timeoutMs = 5000) {
        return waitUntil([&] { return miranoPanels().empty(); }, timeoutMs);
    }
    std::optional<QRect> waitForPiP(int timeoutMs = 10000) {
        std::optional<QRect> r;
        waitUntil([&] { return (r = pipRect()).has_value(); }, timeoutMs);
        return r;
    }

    /// The tray icon's window (XEmbed client of the tray host).
    quint32 trayIcon() {
        const QStringList ids =
            run("xdotool", {"search", "--classname", "^mirano$"}).split('\n', Qt::SkipEmptyParts);
        for (const QString& id : ids) {
            const QRect g = geometry(id.toUInt());
            if (isViewable(id.toUInt()) && g.width() > 0 && g.width() <= 64 && g.y() < 64) return id.toUInt();
        }
        return 0;
    }

    /// Opens the tray menu and chooses an item with the keyboard ("Down", "Up Up", ...).
    void chooseFromTrayMenu(const QStringList& keys) {
        quint32 icon = 0;
        ASSERT_TRUE(waitUntil([&] { return (icon = trayIcon()) != 0; }, 10000)) << "no tray icon";
        const QRect g = geometry(icon);
        pointAt(g.center().x(), g.center().y());
        xdotool({"click", "1"});
        ASSERT_TRUE(waitUntil([&] { return menuOpen(); }, 5000))
            << "the tray menu did not open";
        for (const QString& k : keys) xdotool({"key", k});
        xdotool({"key", "Return"});
        ASSERT_TRUE(waitUntil([&] { return !menuOpen(); }, 5000)) << "the tray menu did not close";
    }

    bool menuOpen() {
        // A popup menu is an override-redirect window of ours.
        const QStringList ids =
            run("xdotool", {"search", "--onlyvisible", "--classname", "^mirano$"}).split('\n', Qt::SkipEmptyParts);
        for (const QString& id : ids) {
            auto a = x11::reply(xcb_get_window_attributes_reply(
                conn_->get(), xcb_get_window_attributes(conn_->get(), id.toUInt()), nullptr));
            if (a && a->override_redirect && a->map_state == XCB_MAP_STATE_VIEWABLE && geometry(id.toUInt()).height() > 60)
                return true;
        }
        return false;
    }

    /// Shared-memory segments created by a process.
    int shmSegmentsOf(qint64 pid) {
        QFile f("/proc/sysvipc/shm");
        if (!f.open(QIODevice::ReadOnly)) return -1;
        const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
        int n = 0;
        for (int i = 1; i < lines.size(); ++i) {
            const QStringList cols = lines[i].simplified().split(' ');
            if (cols.size() > 4 && cols[4].toLongLong() == pid) ++n;  // cpid column
        }
        return n;
    }

    QTemporaryDir home_;
    std::unique_ptr<X11Session> session_;
    std::unique_ptr<x11::XConnection> conn_;
    QProcessEnvironment env_;
    std::vector<std::unique_ptr<QProcess>> processes_;
    QProcess* mirano_ = nullptr;
    QString miranoOutput_;
};

}  // namespace

TEST_F(MiranoSession, HotkeyOpensClosesAndReplacesThePiPAndBackspaceClosesItOnlyOverThePanel) {
    Client bars = client({"--title", "Bars", "--pattern", "bars", "--size", "640x400", "--pos", "60,60", "--keys"});
    Client squares = client({"--title", "Squares", "--pattern", "quadrants", "--size", "300x300", "--pos", "720,60", "--keys"});
    ASSERT_TRUE(bars.window && squares.window);
    startMirano();

    // Over the bars window: a PiP in the bottom-right corner, 320 wide, the window's aspect.
    focus(bars);
    pointAt(300, 300);
    hotkey();
    auto pip = waitForPiP();
    ASSERT_TRUE(pip) << "no PiP appeared";
    EXPECT_EQ(pip->width(), 320);
    EXPECT_NEAR(pip->height(), 200, 1);
    EXPECT_GE(pip->right(), 1280 - 64);
    EXPECT_LE(pip->right(), 1279);
    EXPECT_GE(pip->bottom(), 800 - 64);
    EXPECT_LE(pip->bottom(), 799);
    ASSERT_TRUE(waitUntil([&] { return showsBars(*pip); }, 10000)) << "the PiP does not show the window's pixels";
    EXPECT_FALSE(bars.sawKey("0x70")) << "the hotkey's P reached the window";

    // The same hotkey over the same window closes it.
    hotkey();
    EXPECT_TRUE(noPiP()) << "the second press did not close the PiP";

    // Open again, then the hotkey over another window replaces it.
    hotkey();
    ASSERT_TRUE(waitForPiP());
    focus(squares);
    hotkey();
    ASSERT_TRUE(waitUntil([&] {
        auto r = pipRect();
        return r && std::abs(r->height() - 320) <= 1 && near(pixel(r->x() + r->width() / 4, r->y() + r->height() / 4), Qt::red);
    }, 10000)) << "the PiP did not switch to the second window";
    pip = pipRect();
    ASSERT_TRUE(pip);
    EXPECT_TRUE(near(pixel(pip->x() + 3 * pip->width() / 4, pip->y() + 3 * pip->height() / 4), Qt::blue));

    // Backspace with the pointer elsewhere reaches the focused window and leaves the PiP.
    squares.readAll();
    pointAt(850, 200);
    xdotool({"key", "BackSpace"});
    EXPECT_TRUE(waitUntil([&] { return squares.sawKey("0xff08"); }, 5000)) << "Backspace did not reach the window";
    EXPECT_TRUE(pipRect().has_value());

    // Backspace over the PiP closes it and the window never sees it.
    squares.output.clear();
    squares.readAll();
    squares.output.clear();
    hoverOver(*pip);
    xdotool({"key", "BackSpace"});
    EXPECT_TRUE(noPiP()) << "Backspace over the PiP did not close it";
    EXPECT_FALSE(squares.sawKey("0xff08")) << "Backspace over the PiP reached the window";
}

TEST_F(MiranoSession, ShiftHotkeyMirrorsOnlyTheDraggedRegion) {
    Client bars = client({"--title", "Bars", "--pattern", "bars", "--size", "640x400", "--pos", "60,60"});
    startMirano();
    focus(bars);
    const QRect w = geometry(bars.window);
    pointAt(w.x() + 300, w.y() + 200);
    shiftHotkey();
    // The region panel lies exactly over the window.
    ASSERT_TRUE(waitUntil([&] {
        for (quint32 p : miranoPanels())
            if (geometry(p) == w) return true;
        return false;
    }, 10000)) << "no region panel over the window";

    // Drag over the cyan and green bars only (x 170...310 of 640).
    xdotool({"mousemove", "--sync", QString::number(w.x() + 170), QString::number(w.y() + 60), "mousedown", "1"});
    for (int x = 190; x < 310; x += 40)
        xdotool({"mousemove", "--sync", QString::number(w.x() + x), QString::number(w.y() + 60 + (x - 170) * 2)});
    xdotool({"mousemove", "--sync", QString::number(w.x() + 310), QString::number(w.y() + 340), "mouseup", "1"});

    std::optional<QRect> pip;
    ASSERT_TRUE(waitUntil([&] {
        pip = pipRect();
        return pip && pip->width() == 320 && pip->height() > pip->width();
    }, 10000)) << "no PiP of the region";
    EXPECT_NEAR(static_cast<double>(pip->height()) / pip->width(), 280.0 / 140.0, 0.05);
    ASSERT_TRUE(waitUntil([&] {
        return near(pixel(pip->x() + pip->width() / 5, pip->center().y()), Qt::cyan) &&
               near(pixel(pip->x() + 4 * pip->width() / 5, pip->center().y()), Qt::green);
    }, 10000)) << "left " << describe(pixel(pip->x() + pip->width() / 5, pip->center().y()))
               << " right " << describe(pixel(pip->x() + 4 * pip->width() / 5, pip->center().y()));
    for (int x = pip->x() + 10; x < pip->right() - 10; x += 20) {
        const QColor c = pixel(x, pip->center().y());
        EXPECT_FALSE(near(c, Qt::yellow) || near(c, Qt::white) || near(c, Qt::magenta))
            << "a colour from outside the region at x=" << x << ": " << describe(c);
    }
}

TEST_F(MiranoSession, ModifierTapWhileHoveringHidesAndASecondTapShows) {
    Client bars = client({"--title", "Bars", "--pattern", "bars", "--size", "640x400", "--pos", "60,60"});
    startMirano();
    focus(bars);
    hotkey();
    auto pip = waitForPiP();
    ASSERT_TRUE(pip);
    ASSERT_TRUE(waitUntil([&] { return showsBars(*pip); }, 10000));

    hoverOver(*pip);
    xdotool({"key", "Menu"});
    EXPECT_TRUE(waitUntil([&] { return near(pixel(pip->center().x(), pip->center().y()), kBackground, 12); }, 5000))
        << "the PiP did not hide: " << describe(pixel(pip->center().x(), pip->center().y()));
    xdotool({"key", "Menu"});
    EXPECT_TRUE(waitUntil([&] { return !near(pixel(pip->center().x(), pip->center().y()), kBackground, 12); }, 5000))
        << "the PiP did not come back";
    // Its hint overlay darkens the picture while the pointer is on it: look once it has left.
    pointAt(pip->x() - 40, pip->y() - 40);
    EXPECT_TRUE(waitUntil([&] { return showsBars(*pip); }, 5000)) << "the PiP does not show the window";
}

TEST_F(MiranoSession, DoubleClickBringsTheSourceToTheFrontAndEndsThePiP) {
    Client bars = client({"--title", "Bars", "--pattern", "bars", "--size", "640x400", "--pos", "60,60"});
    Client cover = client({"--title", "Cover", "--pattern", "solid:404040", "--size", "700x500", "--pos", "30,30"});
    startMirano();
    focus(bars);
    hotkey();
    auto pip = waitForPiP();
    ASSERT_TRUE(pip);

    // Another window over the source, then a double-click on the PiP.
    focus(cover);
    ASSERT_TRUE(pipRect()) << "focusing another window must not end the PiP";
    pointAt(pip->center().x(), pip->center().y());
    xdotool({"click", "--repeat", "2", "--delay", "60", "1"});
    EXPECT_TRUE(noPiP()) << "the double-click did not end the PiP";
    EXPECT_TRUE(waitUntil([&] {
        return run("xdotool", {"getactivewindow"}).trimmed().toUInt() == bars.window;
    }, 5000)) << "the source window did not come to the front";
}

TEST_F(MiranoSession, TrayMenuClosesThePiPAndSettingsChangesApplyToTheNextPiP) {
    Client bars = client({"--title", "Bars", "--pattern", "bars", "--size", "640x400", "--pos", "60,60", "--keys"});
    startMirano();
    focus(bars);
    hotkey();
    ASSERT_TRUE(waitForPiP());

    // With a PiP running, the first item that can be chosen is "Close PiP".
    chooseFromTrayMenu({"Down"});
    EXPECT_TRUE(noPiP()) << "\"Close PiP\" did not close the PiP";

    // "Settings…" is the second item from the bottom.
    chooseFromTrayMenu({"Up", "Up"});
    QString settingsId;
    ASSERT_TRUE(waitUntil([&] {
        settingsId = run("xdotool", {"search", "--onlyvisible", "--name", "^Mirano Settings$"}).trimmed();
        return !settingsId.isEmpty();
    }, 10000)) << "the settings window did not open";
    const QRect sw = geometry(settingsId.section('\n', 0, 0).toUInt());
    EXPECT_EQ(sw.size(), QSize(600, 400));

    // The trigger-key field follows the modifier picker: make K the trigger key.
    xdotool({"windowactivate", "--sync", settingsId.section('\n', 0, 0)});
    xdotool({"key", "Tab"});
    xdotool({"key", "k"});
    const QString defaults = env_.value("XDG_CONFIG_HOME") + "/mirano/defaults.json";
    ASSERT_TRUE(waitUntil([&] {
        QFile f(defaults);
        return f.open(QIODevice::ReadOnly) && f.readAll().contains("\"triggerKey\": \"K\"");
    }, 5000)) << "the trigger key was not stored";

    // The next PiP answers to Menu+K, and Menu+P is an ordinary key again. Click the window to
    // focus it, as a user would.
    const QRect bw = geometry(bars.window);
    const QRect covered = geometry(settingsId.section('\n', 0, 0).toUInt()).adjusted(-40, -40, 40, 40);
    QPoint target = bw.center();
    for (int y = bw.top() + 20; y < bw.bottom(); y += 40)
        for (int x = bw.left() + 20; x < bw.right(); x += 40)
            if (!covered.contains(x, y)) target = QPoint(x, y);
    pointAt(target.x(), target.y());
    // The settings window takes the focus a second time 0.1 s after it was activated; a user
    // whose click lands before that simply clicks again.
    QElapsedTimer sinceClick;
    ASSERT_TRUE(waitUntil([&] {
        if (run("xdotool", {"getactivewindow"}).trimmed().toUInt() == bars.window) return true;
        if (!sinceClick.isValid() || sinceClick.elapsed() > 400) {
            xdotool({"click", "1"});
            sinceClick.start();
        }
        return false;
    }, 5000)) << "the window did not take the focus back from the settings window";
    bars.readAll();
    hotkey("p");
    EXPECT_TRUE(waitUntil([&] { return bars.sawKey("0x70"); }, 5000)) << "P did not reach the window";
    EXPECT_FALSE(pipRect().has_value());
    hotkey("k");
    EXPECT_TRUE(waitForPiP().has_value()) << "Menu+K did not open a PiP";
}

TEST_F(MiranoSession, QuittingWithAPiPOnScreenLeavesNoPanelAndNoSharedMemory) {
    Client bars = client({"--title", "Bars", "--pattern", "bars", "--size", "640x400", "--pos", "60,60"});
    startMirano();
    focus(bars);
    hotkey();
    auto pip = waitForPiP();
    ASSERT_TRUE(pip);
    ASSERT_TRUE(waitUntil([&] { return showsBars(*pip); }, 10000));
    const qint64 pid = mirano_->processId();

    chooseFromTrayMenu({"Up"});  // "Quit Mirano", the last item
    ASSERT_TRUE(mirano_->waitForFinished(10000)) << "Mirano did not quit";
    EXPECT_EQ(mirano_->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(mirano_->exitCode(), 0);
    EXPECT_TRUE(miranoPanels().empty());
    EXPECT_TRUE(waitUntil([&] { return !near(pixel(pip->center().x(), pip->center().y()), kBars[4]); }, 3000));
    EXPECT_EQ(shmSegmentsOf(pid), 0) << "shared memory outlived Mirano";
}
