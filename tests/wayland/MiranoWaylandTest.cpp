// The real `mirano` with MIRANO_BACKEND=wayland on a headless sway: a private bus, PipeWire and
// WirePlumber, our stand-in ScreenCast portal handing out a test producer's node, Qt test windows
// to mirror, and `mirano --toggle` and friends as the keys a user binds in the compositor.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>

#include "tests/support/VirtualPointer.h"
#include "tests/wayland/PortalStandIn.h"
#include "tests/wayland/WaylandTestSupport.h"

using namespace mirano::testing;

namespace {

// The test window kA is the one mirrored (its stream is the producer's), kB another one.
/// The producer's window: 640 × 360, shown in a 320 × 180 PiP in the top-left corner (Wayland
/// tells no window's size: the PiP opens at 4:3 and takes the shape the portal's stream tells).
const QSize kProduced(640, 360);
const QRect kPiP(16, 16, 320, 180);
/// The region picker: the window's still, at its size in the middle of the 1280 × 720 output.
const QRect kPicker(320, 180, 640, 360);

class MiranoWayland : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(session_.error(), QString());
        ASSERT_TRUE(home_.isValid() && pointer_.isValid());
        pointer_.moveTo({WaylandSession::kWidth - 1, WaylandSession::kHeight - 1});
        ASSERT_TRUE(portal_.start(portalOptions()));
        producer_ =
            portal_.handOut(QStringList{"window", "640", "360"} + producerFaults(), kProduced);
        startTestWindow(session_, kA, "darkred");
        startTestWindow(session_, kB, "darkblue");

        // Mirano runs as the test runner, as the test windows do, with folders of its own.
        env_ = session_.clientEnvironment();
        QDir(home_.path()).mkpath("runtime");
        QFile::setPermissions(home_.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env_.insert("XDG_RUNTIME_DIR", home_.filePath("runtime"));
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
            env_.insert(name, home_.filePath(QString::fromLatin1(name).toLower()));
        env_.insert("MIRANO_BACKEND", "wayland");
        // The minute a person may take at the dialog, shortened for the test of a portal that
        // never answers.
        env_.insert("MIRANO_PORTAL_DIALOG_TIMEOUT_MS", "5000");

        // It starts with these settings stored; once it listens, its settings window (opened
        // without a tray, and taking the focus) is closed.
        const QByteArray settings = storedSettings();
        QDir(home_.path()).mkpath("xdg_config_home/mirano");
        QFile file(home_.filePath("xdg_config_home/mirano/defaults.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
        file.close();
        mirano_ = session_.startClient(X11Session::builtProgram("mirano"), {}, env_);
        if (!capturing()) return;
        ASSERT_TRUE(waitUntil([&] { return output().contains("event tap started"); }, 20000))
            << output().toStdString();
        ASSERT_TRUE(waitUntil([&] { return session_.view("mirano").has_value(); }, 15000));
        // sway's criteria are regular expressions.
        ASSERT_TRUE(session_.command("[app_id=\"^mirano$\"] kill"));
        ASSERT_TRUE(waitUntil([&] { return !session_.view("mirano"); }));
    }

    virtual QStringList portalOptions() const { return {}; }
    virtual QStringList producerFaults() const { return {}; }
    /// Whether Mirano can capture with that portal (else it starts no hotkeys).
    virtual bool capturing() const { return true; }
    virtual QByteArray storedSettings() const {
        return R"({"pipPosition": "topLeft", "focusBehavior": "pauseRecording"})";
    }

    bool focus(const QString& appId) {
        return session_.command(QStringLiteral("[app_id=\"%1\"] focus").arg(appId)) &&
               waitUntil([&] { return session_.focusedAppId() == appId; });
    }

    /// Everything Mirano printed so far.
    QString output() { return out_ += QString::fromUtf8(mirano_->readAllStandardOutput()); }
    /// `mirano --<request>` to completion: its exit code.
    int request(const QString& option) {
        ChildProcess p(X11Session::builtProgram("mirano"), {"--" + option},
                       ChildProcess::Options{env_, true});
        return p.waitForFinished(15000) ? p.exitCode() : -1;
    }

    /// Points of the PiP away from the pattern's wrap-arounds, the rounded corners and the
    /// pointer (which rests on the centre after a click).
    static constexpr QPoint kSamples[] = {{40, 40}, {100, 40}, {40, 100}, {100, 100}};
    /// Whether `area` shows the producer's pattern (blue = x, green = y, red 0xa0 in the buffer)
    /// from `origin` of the buffer, `scale` buffer pixels a point, with the colours times `light`.
    /// Over `under` at `light` when it is given.
    bool showsPattern(const QRect& area, QPointF origin, double scale, double light = 1,
                      QColor under = Qt::black) {
        const QImage shot = session_.screenshot(area);
        const auto near = [light](int seen, double buffer, int below) {
            return std::abs(seen - light * buffer - (1 - light) * below) <= 8;
        };
        return !shot.isNull() && std::ranges::all_of(kSamples, [&](QPoint p) {
            const QColor c = shot.pixelColor(p);
            return near(c.red(), 0xa0, under.red()) &&
                   near(c.blue(), origin.x() + scale * p.x(), under.blue()) &&
                   near(c.green(), origin.y() + scale * p.y(), under.green());
        });
    }
    /// Whether the PiP shows the producer's frames at half their size.
    bool showsFrames() { return showsPattern(kPiP, {}, 2); }
    /// Whether the region picker shows the window's still, dimmed.
    bool showsPicker() { return showsPattern(kPicker, {}, 1, 0.7); }
    /// Whether `area` (the PiP's place) shows the window below it (no PiP, or a hidden one).
    bool showsWindowBelow(const QRect& area = kPiP) {
        const QImage shot = session_.screenshot(area);
        return !shot.isNull() && std::ranges::all_of(kSamples, [&](QPoint p) {
            return shot.pixelColor(p) == QColor("darkred");
        });
    }

    /// Mirano's lines since `before` characters of its output.
    QStringList linesSince(qsizetype before) {
        return output().mid(before).split('\n', Qt::SkipEmptyParts);
    }
    /// Whether no stream node of Mirano's is left in the session's PipeWire.
    bool noStreamOfOurs() {
        const QString nodes = session_.run("pw-dump", {});
        return !nodes.isEmpty() && !nodes.contains("Mirano window capture");
    }
    /// A toggle over the healthy portal mirrors kA, and the next one closes it, leaving no stream.
    void mirrorsAndCloses() {
        ASSERT_TRUE(portal_.tell("fault none"));
        ASSERT_EQ(request("toggle"), 0);
        EXPECT_TRUE(QStringList({"dialog", "restored"}).contains(portal_.says()));
        EXPECT_TRUE(waitUntil([&] { return showsFrames(); }, 10000)) << "no PiP of the frames";
        ASSERT_EQ(request("toggle"), 0);
        EXPECT_TRUE(waitUntil([&] { return showsWindowBelow(); })) << "the PiP did not close";
        EXPECT_TRUE(waitUntil([&] { return noStreamOfOurs(); })) << "a stream was left";
    }

    WaylandSession session_{{.sway = true, .pipewire = true}};
    QTemporaryDir home_;
    QProcessEnvironment env_;
    PortalStandIn portal_{session_};
    ChildProcess* producer_ = nullptr;
    ChildProcess* mirano_ = nullptr;
    QString out_;
    VirtualPointer pointer_{session_};
};

/// A portal that shares monitors only (as xdg-desktop-portal-wlr before 0.8 does).
class MiranoWaylandMonitorsOnly : public MiranoWayland {
protected:
    QStringList portalOptions() const override { return {"--source-types", "1"}; }
    bool capturing() const override { return false; }
};

/// A window that does not change: the compositor sends one picture of it, and no other.
class MiranoWaylandStillWindow : public MiranoWayland {
protected:
    QStringList producerFaults() const override { return {"--fault", "once"}; }
};

}  // namespace

// The PiP opens at the first picture and shows that very one, in the shape it then takes.
TEST_F(MiranoWaylandStillWindow, APictureSentOnceShowsInThePiP) {
    ASSERT_TRUE(focus(kA));
    ASSERT_EQ(request("toggle"), 0);
    EXPECT_TRUE(waitUntil([&] { return showsFrames(); }, 10000)) << output().toStdString();
}

TEST_F(MiranoWaylandMonitorsOnly, APortalSharingMonitorsOnlyIsNotAskedAndTheLinesSayWhy) {
    // Said at start, as the portal's own version, with what would share windows.
    EXPECT_TRUE(waitUntil(
        [&] {
            return output().contains(
                "Mirano cannot capture windows: The desktop's screen-cast "
                "portal (version 4) shares monitors only");
        },
        20000))
        << output().toStdString();
    EXPECT_TRUE(output().contains("the screen-cast portal (version 4) shares monitors only"));
    // A toggle asks for no session, so no dialog, and the whole output never shows in a PiP.
    ASSERT_TRUE(focus(kA));
    request("toggle");
    EXPECT_EQ(portal_.process()->readLine(1000), "");
    EXPECT_TRUE(showsWindowBelow());
}

TEST_F(MiranoWayland,
       ThePortalIsAskedOnceAPiPShowsPausesZoomsEndsARegionIsPickedAndLinesSayErrors) {
    EXPECT_TRUE(output().contains("capture through the screen-cast portal"))
        << output().toStdString();

    // The first PiP of the application asks the user (the portal's dialog); the PiP shows the
    // stream's frames in the configured corner, scaled to the panel.
    ASSERT_TRUE(focus(kA));
    ASSERT_EQ(request("toggle"), 0);
    EXPECT_EQ(portal_.says(), "dialog");
    EXPECT_TRUE(waitUntil([&] { return showsFrames(); }, 10000)) << "no PiP of the frames";
    // Shown by the compositor from a buffer on a subsurface: no frame reaches the panel.
    EXPECT_TRUE(output().contains("the PiP's picture goes on a subsurface"))
        << output().toStdString();
    // Hidden and shown again from the command line, wherever the pointer is (Qt makes the panel
    // a new surface, which the picture's subsurface follows).
    ASSERT_EQ(request("hide"), 0);
    EXPECT_TRUE(waitUntil([&] { return showsWindowBelow(); })) << "the PiP did not hide";
    ASSERT_EQ(request("hide"), 0);
    EXPECT_TRUE(waitUntil([&] { return showsFrames(); })) << "the PiP did not come back";
    // Over the same window the request closes it; the next one restores the consent.
    ASSERT_EQ(request("toggle"), 0);
    EXPECT_TRUE(waitUntil([&] { return showsWindowBelow(); })) << "the PiP did not close";
    ASSERT_EQ(request("toggle"), 0);
    EXPECT_EQ(portal_.says(), "restored");
    EXPECT_TRUE(waitUntil([&] { return showsFrames(); }, 10000));
    // The PiP has the window's 16:9 shape: below its 180 points the window shows.
    EXPECT_TRUE(showsWindowBelow(kPiP.translated(0, kPiP.height() + 8))) << "not 16:9";

    // A click gives the PiP the keys. `=` zooms in around the pointer: the window's point under
    // it stays there, 0.85 of the window fills the PiP (1.7 buffer pixels a point); `-` shows the
    // whole window again. The hover overlay dims the picture to 0.55, and its hint in the middle
    // is kept out of the samples by starting them lower.
    const QRect hovered = kPiP.adjusted(0, 15, 0, 0);
    pointer_.click(kPiP.topLeft() + QPoint(240, 150));
    ASSERT_TRUE(waitUntil([&] { return session_.focusedAppId().isEmpty(); }));
    ASSERT_TRUE(session_.pressKey("equal"));
    EXPECT_TRUE(waitUntil([&] { return showsPattern(hovered, {72, 45 + 15 * 1.7}, 1.7, 0.55); }));
    ASSERT_TRUE(session_.pressKey("minus"));
    EXPECT_TRUE(waitUntil([&] { return showsPattern(hovered, {0, 15 * 2}, 2, 0.55); }));

    // `f` after a click and a press on the overlay's rate open the frame-rate menu at the
    // pointer, a popup of the PiP (beyond it, over kA's dark red) and no window of sway's. A pick
    // with the keys closes it and keeps the rate for the application, Escape closes it; the hover
    // overlay goes once the pointer leaves, and comes back with it (`f` needs it). A keyboard
    // stays meanwhile, as a real one does: Qt closes its menus when the seat's last keyboard
    // goes, as each pressKey()'s does.
    ChildProcess* keyboard = session_.startClient("wtype", {"-s", "600000"});
    pointer_.moveTo({WaylandSession::kWidth - 1, WaylandSession::kHeight - 1});
    ASSERT_TRUE(focus(kB));
    const auto savedRate = [&] {
        QFile file(home_.filePath("xdg_config_home/mirano/defaults.json"));
        const QJsonValue all = file.open(QIODevice::ReadOnly)
                                   ? QJsonDocument::fromJson(file.readAll())["perAppFrameRates"]
                                   : QJsonValue();
        return all[kA].toInt();
    };
    const QPoint rateButton = kPiP.topLeft() + QPoint(kPiP.width() - 24, 18);
    const struct {
        QPoint at;
        QStringList keys;
        int saved;
    } menus[] = {{kPiP.topLeft() + QPoint(240, 150), {"Down", "Down", "Return"}, 5},
                 {rateButton, {"Down", "Down", "Down", "Return"}, 10},
                 {kPiP.topLeft() + QPoint(240, 150), {"Escape"}, 10}};
    for (const auto& [at, keys, saved] : menus) {
        SCOPED_TRACE(keys.join(' ').toStdString());
        pointer_.click(at);
        ASSERT_TRUE(waitUntil([&] { return session_.focusedAppId().isEmpty(); }));
        ASSERT_TRUE(at == rateButton || session_.pressKey("f"));
        const auto menuShown = [&] {
            const QImage shot = session_.screenshot(QRect(at + QPoint(30, 40), QSize(1, 1)));
            return !shot.isNull() && shot.pixelColor(0, 0) != QColor("darkred");
        };
        EXPECT_TRUE(waitUntil(menuShown)) << "no menu at the pointer";
        EXPECT_FALSE(session_.view("mirano")) << "the menu is a window of its own";
        for (const QString& key : keys) ASSERT_TRUE(session_.pressKey(key));
        EXPECT_TRUE(waitUntil([&] { return !menuShown(); })) << "the menu stayed";
        EXPECT_TRUE(waitUntil([&] { return savedRate() == saved; })) << savedRate();
        pointer_.moveTo({WaylandSession::kWidth - 1, WaylandSession::kHeight - 1});
        EXPECT_TRUE(waitUntil([&] { return showsFrames(); })) << "the overlay stayed";
    }
    keyboard->stop();

    // Focusing the mirrored application pauses the PiP; leaving it resumes.
    ASSERT_TRUE(focus(kB));
    ASSERT_TRUE(focus(kA));
    // Paused, the picture is much darker than its frames.
    EXPECT_TRUE(waitUntil([&] {
        const QImage shot = session_.screenshot(kPiP);
        return !shot.isNull() && shot.pixelColor(40, 40).red() < 0xa0 / 2;
    })) << "the PiP did not pause";
    ASSERT_TRUE(focus(kB));
    EXPECT_TRUE(waitUntil([&] { return showsFrames(); })) << "the PiP did not resume";

    // A double-click brings the source window to the front and ends the PiP.
    pointer_.click(kPiP.center(), 2);
    EXPECT_TRUE(waitUntil([&] { return session_.focusedAppId() == kA; }))
        << "the source window did not come to the front";
    EXPECT_TRUE(waitUntil([&] { return showsWindowBelow(); })) << "the PiP did not end";

    // The region picker shows the window's frame, dimmed; Escape takes it away and opens no PiP.
    pointer_.moveTo({WaylandSession::kWidth - 1, WaylandSession::kHeight - 1});
    ASSERT_EQ(request("region"), 0);
    EXPECT_EQ(portal_.says(), "restored");
    ASSERT_TRUE(waitUntil([&] { return showsPicker(); }, 10000)) << "no picker over the still";
    ASSERT_TRUE(session_.pressKey("Escape"));
    EXPECT_TRUE(waitUntil([&] { return !showsPicker(); })) << "Escape left the picker";
    EXPECT_FALSE(waitUntil([&] { return !showsWindowBelow(); }, 1000)) << "a PiP after Escape";

    // A drag of 320 × 240 points from (100, 100) of the window is what the PiP shows, one to one,
    // from the picker's own stream; the PiP takes no focus (and pauses while its source has it).
    ASSERT_TRUE(focus(kA));
    ASSERT_EQ(request("region"), 0);
    EXPECT_EQ(portal_.says(), "restored");
    ASSERT_TRUE(waitUntil([&] { return showsPicker(); }, 10000));
    pointer_.moveTo(kPicker.topLeft() + QPoint(100, 100));
    pointer_.press();
    pointer_.moveTo(kPicker.topLeft() + QPoint(300, 250));
    pointer_.moveTo(kPicker.topLeft() + QPoint(420, 340));
    pointer_.release();
    EXPECT_TRUE(waitUntil([&] { return session_.focusedAppId() == kA; }));
    ASSERT_TRUE(focus(kB));
    EXPECT_TRUE(waitUntil([&] { return showsPattern(kPiP, {100, 100}, 1); }, 10000));
    EXPECT_FALSE(showsPicker());
    // Hiding, pausing and the picker's PiP only paused or reused a stream: no more questions.
    const QByteArray rest = portal_.process()->readAllStandardOutput();
    EXPECT_FALSE(rest.contains("dialog") || rest.contains("restored")) << rest.toStdString();
    // A click gives the PiP the keys, and Backspace typed there closes it.
    pointer_.click(kPiP.center());
    ASSERT_TRUE(waitUntil([&] { return session_.focusedAppId().isEmpty(); }));
    ASSERT_TRUE(session_.pressKey("BackSpace"));
    EXPECT_TRUE(waitUntil([&] { return showsWindowBelow(); })) << "Backspace left the PiP";

    // The stream vanishes: one line, the PiP ends, and the stream is linked to no other source
    // a session manager could pick (the bystander says "streaming" when anything links to it).
    pointer_.moveTo({WaylandSession::kWidth - 1, WaylandSession::kHeight - 1});
    ASSERT_TRUE(focus(kA));
    ASSERT_EQ(request("toggle"), 0);
    EXPECT_EQ(portal_.says(), "restored");
    ASSERT_TRUE(focus(kB));
    ASSERT_TRUE(waitUntil([&] { return showsFrames(); }, 10000));
    ChildProcess* bystander = portal_.startProducer({"bystander", "640", "360"});
    const qsizetype before = output().size();
    producer_->stop();
    // One line within 10 s, and no second one within 1 s.
    const auto lines = [&] { return output().mid(before).split('\n', Qt::SkipEmptyParts); };
    EXPECT_TRUE(waitUntil([&] { return !lines().isEmpty(); }, 10000));
    EXPECT_FALSE(waitUntil([&] { return lines().size() > 1; }, 1000)) << output().toStdString();
    EXPECT_TRUE(lines().value(0).startsWith("Wayland capture ended")) << output().toStdString();
    EXPECT_TRUE(waitUntil([&] { return showsWindowBelow(); })) << "the PiP did not end";
    EXPECT_EQ(bystander->readLine(2000), "");

    EXPECT_EQ(request("quit"), 0);
    ASSERT_TRUE(mirano_->waitForFinished(15000)) << "Mirano did not quit";
    EXPECT_EQ(mirano_->exitCode(), 0);
    // With no Mirano running, a request starts none.
    EXPECT_EQ(request("toggle"), 1);
}

// Each answer a faulty portal may give ends the request with one line (the PiP never shows, or
// ends), the portal's session is closed, no stream of Mirano's is left, and a healthy toggle
// mirrors again.
TEST_F(MiranoWayland, EveryFaultyPortalAnswerEndsItsRequestWithOneLineAndMiranoMirrorsOn) {
    const std::pair<const char*, const char*> faults[] = {
        {"streams-au", "the portal's streams have the wrong type (au)"},
        {"streams-auas", "the portal's streams have the wrong type (a(uas))"},
        {"size-asv", "the portal's stream size has the wrong type"},
        {"size-iii", "the portal's stream size has the wrong type"},
        {"size-si", "the portal's stream size has the wrong type"},
        {"response-s", "the portal's answer has the wrong type (sa{sv})"},
        {"node-any", "the portal gave no valid node (id 4294967295)"},
        // Withdrawn after the time a person may take to choose.
        {"hold", "the portal did not answer within 5 s"},
        // The portal ends the session while the PiP streams.
        {"end", "Wayland capture ended: the desktop closed the screen-cast session."},
    };
    ASSERT_TRUE(focus(kA));
    mirrorsAndCloses();  // and the lines said once per run are out of the way
    for (const auto& [fault, line] : faults) {
        SCOPED_TRACE(fault);
        const bool streaming = QLatin1String(fault) == "end";
        ASSERT_TRUE(portal_.tell(streaming ? "fault none" : QStringLiteral("fault ") + fault));
        const qsizetype before = output().size();
        ASSERT_EQ(request("toggle"), 0);
        EXPECT_TRUE(QStringList({"dialog", "restored"}).contains(portal_.says()));
        if (streaming) {
            ASSERT_TRUE(waitUntil([&] { return showsFrames(); }, 10000));
            ASSERT_TRUE(portal_.tell("end"));
        }
        EXPECT_TRUE(waitUntil([&] { return !linesSince(before).isEmpty(); }, 20000));
        EXPECT_FALSE(waitUntil([&] { return linesSince(before).size() > 1; }, 1000))
            << output().toStdString();
        EXPECT_TRUE(linesSince(before).value(0).contains(line)) << output().toStdString();
        EXPECT_TRUE(QLatin1String(fault) != "hold" || portal_.saw("withdrawn"));
        // The portal ended it itself; else Mirano closes it.
        EXPECT_TRUE(streaming || portal_.saw("closed"));
        EXPECT_TRUE(waitUntil([&] { return showsWindowBelow(); })) << "a PiP is left";
        EXPECT_TRUE(waitUntil([&] { return noStreamOfOurs(); })) << "a stream was left";
        mirrorsAndCloses();
    }
}

// One request at a time: a second toggle while the desktop's dialog is open withdraws the
// request and closes the session, opens no second dialog; the portal's late answer starts
// nothing, says nothing and leaves no consent behind.
TEST_F(MiranoWayland, ASecondToggleWithdrawsTheOpenDialogAndItsLateAnswerStartsNothing) {
    ASSERT_TRUE(focus(kA));
    ASSERT_TRUE(portal_.tell("fault hold"));
    ASSERT_EQ(request("toggle"), 0);
    EXPECT_EQ(portal_.says(), "dialog");
    // While it opens, the PiP is not shown (nor listed in the dialog).
    EXPECT_FALSE(waitUntil([&] { return !showsWindowBelow(); }, 1000)) << "an empty PiP shows";
    const qsizetype before = output().size();
    ASSERT_EQ(request("toggle"), 0);
    EXPECT_TRUE(portal_.saw("withdrawn"));
    EXPECT_TRUE(portal_.saw("closed"));
    ASSERT_TRUE(portal_.tell("release"));
    EXPECT_FALSE(waitUntil([&] { return !showsWindowBelow(); }, 2000)) << "the late answer showed";
    EXPECT_EQ(linesSince(before), QStringList()) << output().toStdString();
    EXPECT_EQ(portal_.process()->readLine(1000), "") << "a second request";
    // No second dialog came, and the withdrawn grant's consent was not kept: the next asks.
    ASSERT_TRUE(portal_.tell("fault none"));
    ASSERT_EQ(request("toggle"), 0);
    EXPECT_EQ(portal_.says(), "dialog");
    EXPECT_TRUE(waitUntil([&] { return showsFrames(); }, 10000));
    ASSERT_EQ(request("toggle"), 0);
    EXPECT_TRUE(waitUntil([&] { return noStreamOfOurs(); })) << "a stream was left";
}

// The everyday workflow: after each way of closing, the next toggle gives a PiP with frames, and
// no stream of Mirano's is left in between.
TEST_F(MiranoWayland, EveryWayOfClosingLeavesTheNextPiPWithFrames) {
    // The hover overlay's close button, 8 points in, 22 across, red left of its cross.
    const QPoint button = kPiP.topLeft() + QPoint(19, 19);
    const auto buttonShown = [&] {
        const QImage shot = session_.screenshot(QRect(button - QPoint(7, 0), QSize(1, 1)));
        const QColor c = shot.pixelColor(0, 0);
        return c.red() > 200 && c.green() < 100;
    };
    const std::pair<const char*, std::function<bool()>> closes[] = {
        {"toggle", [&] { return focus(kA) && request("toggle") == 0; }},
        {"Backspace",
         [&] {
             pointer_.click(kPiP.center());
             return waitUntil([&] { return session_.focusedAppId().isEmpty(); }) &&
                    session_.pressKey("BackSpace");
         }},
        {"the red button",
         [&] {
             pointer_.moveTo(button);
             if (!waitUntil(buttonShown)) return false;
             pointer_.click(button);
             return true;
         }},
        {"a double-click", [&] { return pointer_.click(kPiP.center(), 2), true; }},
    };
    for (int round = 1; round <= 10; ++round)
        for (const auto& [how, close] : closes) {
            SCOPED_TRACE(std::string(how) + ", round " + std::to_string(round));
            pointer_.moveTo({WaylandSession::kWidth - 1, WaylandSession::kHeight - 1});
            ASSERT_TRUE(focus(kA));
            ASSERT_EQ(request("toggle"), 0);
            EXPECT_TRUE(QStringList({"dialog", "restored"}).contains(portal_.says()));
            ASSERT_TRUE(waitUntil([&] { return showsFrames(); }, 10000)) << "no frames";
            ASSERT_TRUE(close());
            EXPECT_TRUE(waitUntil([&] { return showsWindowBelow(); })) << "the PiP stayed";
            EXPECT_TRUE(waitUntil([&] { return noStreamOfOurs(); })) << "a stream was left";
        }
}

namespace {
class MiranoWaylandAutoHide : public MiranoWayland {
    QByteArray storedSettings() const override {
        return R"({"pipPosition": "topLeft", "autoHideOnHover": true})";
    }
};
}  // namespace

// Wayland has no window opacity: Mirano dims its own pixels, the picture's too.
TEST_F(MiranoWaylandAutoHide, OverThePiPItFadesToATenthOverTheWindowBelowAndBackAfterwards) {
    ASSERT_TRUE(focus(kA));
    ASSERT_EQ(request("toggle"), 0);
    ASSERT_TRUE(waitUntil([&] { return showsFrames(); }, 10000)) << "no PiP of the frames";
    ASSERT_TRUE(focus(kB));
    pointer_.moveTo(kPiP.topLeft() + QPoint(240, 150));
    // Below the hover overlay's hint, as in the zoom above; its veil takes a little more light.
    EXPECT_TRUE(waitUntil([&] {
        return showsPattern(kPiP.adjusted(0, 15, 0, 0), {0, 30}, 2, 0.1, QColor("darkred"));
    })) << "the PiP did not fade";
    pointer_.moveTo({WaylandSession::kWidth - 1, WaylandSession::kHeight - 1});
    EXPECT_TRUE(waitUntil([&] { return showsFrames(); })) << "the PiP did not come back";
}
