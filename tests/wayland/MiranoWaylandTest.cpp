// The real `mirano` with MIRANO_BACKEND=wayland on a headless sway: a private bus, PipeWire and
// WirePlumber, our stand-in ScreenCast portal handing out a test producer's node, Qt test windows
// to mirror, and `mirano --toggle` and friends as the keys a user binds in the compositor.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "tests/support/VirtualPointer.h"
#include "tests/support/WaylandSession.h"
#include "tests/support/X11Session.h"

using namespace mirano::testing;

namespace {

const QString kSource = QStringLiteral("mirano.test.a");
const QString kOther = QStringLiteral("mirano.test.b");
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
        portal_ = session_.spawn(built("tests/wayland/mirano_test_screencast_portal"), {});
        ASSERT_EQ(portal_->readLine(), "ready");
        producer_ = startProducer("window");
        ASSERT_TRUE(tellPortal(QStringLiteral("node %1 %2 %3")
                                   .arg(nodeOf(producer_))
                                   .arg(kProduced.width())
                                   .arg(kProduced.height())));
        startWindow(kSource, "darkred");
        startWindow(kOther, "darkblue");

        // Mirano runs as the test runner, as the test windows do, with folders of its own.
        env_ = session_.clientEnvironment();
        QDir(home_.path()).mkpath("runtime");
        QFile::setPermissions(home_.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env_.insert("XDG_RUNTIME_DIR", home_.filePath("runtime"));
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
            env_.insert(name, home_.filePath(QString::fromLatin1(name).toLower()));
        env_.insert("MIRANO_BACKEND", "wayland");
    }

    static QString built(const QString& path) { return X11Session::builtProgram(path); }

    ChildProcess* startProducer(const QString& name) {
        return session_.spawn(
            built("tests/wayland/mirano_test_frame_producer"),
            {name, QString::number(kProduced.width()), QString::number(kProduced.height())});
    }
    static QString nodeOf(ChildProcess* producer) { return producer->readLine().section(' ', 1); }
    bool tellPortal(const QString& command) {
        portal_->write(command.toUtf8() + '\n');
        return portalSays() == "ok";
    }
    /// The portal's next line but "closed", which comes whenever a session ends.
    QString portalSays() {
        QString line;
        while ((line = portal_->readLine()) == QLatin1String("closed")) {
        }
        return line;
    }

    void startWindow(const QString& appId, const char* colour) {
        session_.startClient(built("tests/wayland/mirano_wayland_test_window"), {appId, colour});
        ASSERT_TRUE(waitUntil([&] { return session_.focusedAppId() == appId; }, 15000))
            << "sway never focused " << appId.toStdString();
    }
    bool focus(const QString& appId) {
        return session_.command(QStringLiteral("[app_id=\"%1\"] focus").arg(appId)) &&
               waitUntil([&] { return session_.focusedAppId() == appId; });
    }

    /// Starts the real program (with these settings already stored) and waits until it listens.
    /// Without a tray it opens its settings window, which takes the focus: that is closed.
    void startMirano(const QByteArray& settings) {
        QDir(home_.path()).mkpath("xdg_config_home/mirano");
        QFile file(home_.filePath("xdg_config_home/mirano/defaults.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
        file.close();
        mirano_ = session_.startClient(built("mirano"), {}, env_);
        ASSERT_TRUE(waitUntil([&] { return output().contains("event tap started"); }, 20000))
            << output().toStdString();
        ASSERT_TRUE(waitUntil([&] { return session_.view("mirano").has_value(); }, 15000));
        // sway's criteria are regular expressions.
        ASSERT_TRUE(session_.command("[app_id=\"^mirano$\"] kill"));
        ASSERT_TRUE(waitUntil([&] { return !session_.view("mirano"); }));
    }
    /// Everything Mirano printed so far.
    QString output() { return out_ += QString::fromUtf8(mirano_->readAllStandardOutput()); }
    /// The lines Mirano printed after `since` characters of its output.
    QStringList linesSince(qsizetype since) {
        return output().mid(since).split('\n', Qt::SkipEmptyParts);
    }
    /// `mirano --<request>` to completion: its exit code.
    int request(const QString& option) {
        ChildProcess p(built("mirano"), {"--" + option}, ChildProcess::Options{env_, true});
        return p.waitForFinished(15000) ? p.exitCode() : -1;
    }

    /// Points of the PiP away from the pattern's wrap-arounds, the rounded corners and the
    /// pointer (which rests on the centre after a click).
    static constexpr QPoint kSamples[] = {{40, 40}, {100, 40}, {40, 100}, {100, 100}};
    /// Whether `area` shows the producer's pattern (blue = x, green = y, red 0xa0 in the buffer)
    /// from `origin` of the buffer, `scale` buffer pixels a point, with the colours times `light`.
    bool showsPattern(const QRect& area, QPointF origin, double scale, double light = 1) {
        const QImage shot = session_.screenshot(area);
        if (shot.isNull()) return false;
        const auto near = [light](int seen, double buffer) {
            return std::abs(seen - light * buffer) <= 8;
        };
        for (const QPoint p : kSamples) {
            const QColor c = shot.pixelColor(p);
            if (!near(c.red(), 0xa0) || !near(c.blue(), origin.x() + scale * p.x()) ||
                !near(c.green(), origin.y() + scale * p.y()))
                return false;
        }
        return true;
    }
    /// Whether the PiP shows the producer's frames at half their size.
    bool showsFrames() { return showsPattern(kPiP, {}, 2); }
    /// Whether the region picker shows the window's still, dimmed.
    bool showsPicker() { return showsPattern(kPicker, {}, 1, 0.7); }
    /// Whether `area` (the PiP's place) shows the window below it (no PiP, or a hidden one).
    bool showsWindowBelow(const QRect& area = kPiP) {
        const QImage shot = session_.screenshot(area);
        if (shot.isNull()) return false;
        for (const QPoint p : kSamples)
            if (shot.pixelColor(p) != QColor("darkred")) return false;
        return true;
    }
    /// Whether the PiP shows its paused overlay: the picture much darker than its frames.
    bool showsPaused() {
        const QImage shot = session_.screenshot(kPiP);
        return !shot.isNull() && shot.pixelColor(40, 40).red() < 0xa0 / 2;
    }

    WaylandSession session_{{.sway = true, .pipewire = true}};
    QTemporaryDir home_;
    QProcessEnvironment env_;
    ChildProcess* portal_ = nullptr;
    ChildProcess* producer_ = nullptr;
    ChildProcess* mirano_ = nullptr;
    QString out_;
    VirtualPointer pointer_{session_.waylandDisplay(), WaylandSession::kWidth,
                            WaylandSession::kHeight};
};

}  // namespace

TEST_F(MiranoWayland, ToggleAsksThePortalOnceShowsTheFramesPausesAndADoubleClickGoesToTheSource) {
    startMirano(R"({"pipPosition": "topLeft", "focusBehavior": "pauseRecording"})");
    EXPECT_TRUE(output().contains("capture through the screen-cast portal"))
        << output().toStdString();

    // The first PiP of the application asks the user (the portal's dialog); the PiP shows the
    // stream's frames in the configured corner, scaled to the panel.
    ASSERT_TRUE(focus(kSource));
    ASSERT_EQ(request("toggle"), 0);
    EXPECT_EQ(portalSays(), "dialog");
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
    EXPECT_EQ(portalSays(), "restored");
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
    EXPECT_TRUE(waitUntil([&] {
        return showsPattern(hovered, {72, 45 + 15 * 1.7}, 1.7, 0.55);
    })) << "= did not zoom in around the pointer";
    ASSERT_TRUE(session_.pressKey("minus"));
    EXPECT_TRUE(waitUntil([&] {
        return showsPattern(hovered, {0, 15 * 2}, 2, 0.55);
    })) << "- did not show the whole window";
    pointer_.moveTo({WaylandSession::kWidth - 1, WaylandSession::kHeight - 1});

    // Focusing the mirrored application pauses the PiP; leaving it resumes.
    ASSERT_TRUE(focus(kOther));
    ASSERT_TRUE(focus(kSource));
    EXPECT_TRUE(waitUntil([&] { return showsPaused(); })) << "the PiP did not pause";
    ASSERT_TRUE(focus(kOther));
    EXPECT_TRUE(waitUntil([&] { return showsFrames(); })) << "the PiP did not resume";

    // A double-click brings the source window to the front and ends the PiP.
    pointer_.click(kPiP.center(), 2);
    EXPECT_TRUE(waitUntil([&] { return session_.focusedAppId() == kSource; }))
        << "the source window did not come to the front";
    EXPECT_TRUE(waitUntil([&] { return showsWindowBelow(); })) << "the PiP did not end";
    // Hiding and pausing only paused the stream: the portal was not asked again.
    const QByteArray rest = portal_->readAllStandardOutput();
    EXPECT_FALSE(rest.contains("dialog") || rest.contains("restored")) << rest.toStdString();

    EXPECT_EQ(request("quit"), 0);
    ASSERT_TRUE(mirano_->waitForFinished(15000)) << "Mirano did not quit";
    EXPECT_EQ(mirano_->exitCode(), 0);
    // With no Mirano running, a request starts none.
    EXPECT_EQ(request("toggle"), 1);
}

TEST_F(MiranoWayland, AVanishedStreamOrARefusedConsentEndsThePiPWithOneLine) {
    startMirano(R"({"pipPosition": "topLeft"})");
    ASSERT_TRUE(focus(kSource));
    ASSERT_EQ(request("toggle"), 0);
    EXPECT_EQ(portalSays(), "dialog");
    ASSERT_TRUE(waitUntil([&] { return showsFrames(); }, 10000));

    // Another source that a session manager could link the stream to instead.
    ChildProcess* bystander = startProducer("bystander");
    ASSERT_FALSE(nodeOf(bystander).isEmpty());
    qsizetype before = output().size();
    producer_->stop();
    ASSERT_TRUE(waitUntil([&] { return !linesSince(before).isEmpty(); }, 10000));
    EXPECT_FALSE(waitUntil([&] { return linesSince(before).size() > 1; }, 1000))
        << linesSince(before).join('\n').toStdString();
    EXPECT_TRUE(linesSince(before).value(0).startsWith("Wayland capture ended"));
    EXPECT_TRUE(waitUntil([&] { return showsWindowBelow(); })) << "the PiP did not end";
    // The bystander says "streaming" within a moment when anything links to it.
    EXPECT_EQ(bystander->readLine(2000), "");

    // Refused: one line, and the PiP does not stay.
    ASSERT_TRUE(tellPortal("answer 2"));
    before = output().size();
    ASSERT_EQ(request("toggle"), 0);
    EXPECT_EQ(portalSays(), "restored");
    ASSERT_TRUE(waitUntil([&] { return !linesSince(before).isEmpty(); }, 10000));
    EXPECT_FALSE(waitUntil([&] { return linesSince(before).size() > 1; }, 1000))
        << linesSince(before).join('\n').toStdString();
    EXPECT_TRUE(linesSince(before).value(0).contains("did not share the window"));
    EXPECT_TRUE(waitUntil([&] { return showsWindowBelow(); }));
}

TEST_F(MiranoWayland, ARegionIsDraggedOnAStillEscapeCancelsItAndBackspaceOnThePiPClosesIt) {
    startMirano(R"({"pipPosition": "topLeft"})");
    // The picker shows the window's frame, dimmed; Escape takes it away and opens no PiP.
    ASSERT_TRUE(focus(kSource));
    ASSERT_EQ(request("region"), 0);
    EXPECT_EQ(portalSays(), "dialog");
    ASSERT_TRUE(waitUntil([&] { return showsPicker(); }, 10000)) << "no picker over the still";
    ASSERT_TRUE(session_.pressKey("Escape"));
    EXPECT_TRUE(waitUntil([&] { return !showsPicker(); })) << "Escape left the picker";
    EXPECT_FALSE(waitUntil([&] { return !showsWindowBelow(); }, 1000)) << "a PiP after Escape";

    // The consent is restored; a drag of 320 × 240 points from (100, 100) of the window is what
    // the PiP shows, one to one, from the picker's own stream.
    ASSERT_TRUE(focus(kSource));
    ASSERT_EQ(request("region"), 0);
    EXPECT_EQ(portalSays(), "restored");
    ASSERT_TRUE(waitUntil([&] { return showsPicker(); }, 10000));
    pointer_.moveTo(kPicker.topLeft() + QPoint(100, 100));
    pointer_.press();
    pointer_.moveTo(kPicker.topLeft() + QPoint(300, 250));
    pointer_.moveTo(kPicker.topLeft() + QPoint(420, 340));
    pointer_.release();
    EXPECT_TRUE(waitUntil(
        [&] {
            return showsPattern(kPiP, {100, 100}, 1);
        },
        10000))
        << "the PiP does not show the region";
    EXPECT_FALSE(showsPicker());
    const QByteArray rest = portal_->readAllStandardOutput();
    EXPECT_FALSE(rest.contains("dialog") || rest.contains("restored")) << rest.toStdString();

    // The PiP took no focus; a click gives it the keys, and Backspace typed there closes it.
    EXPECT_TRUE(waitUntil([&] { return session_.focusedAppId() == kSource; }));
    pointer_.click(kPiP.center());
    ASSERT_TRUE(waitUntil([&] { return session_.focusedAppId().isEmpty(); }));
    ASSERT_TRUE(session_.pressKey("BackSpace"));
    EXPECT_TRUE(waitUntil([&] { return showsWindowBelow(); })) << "Backspace left the PiP";
}
