// A PiP controller on fakes: a manual scheduler, scripted windows and screens, real panels on
// the offscreen platform.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QSignalSpy>
#include <memory>

#include "capture/StreamManager.h"
#include "pip/PiPManager.h"
#include "pip/PiPServices.h"
#include "settings/AppSettings.h"
#include "tests/fakes/FakeApplication.h"
#include "tests/fakes/FakeCaptureService.h"
#include "tests/fakes/FakePanelWindowSystem.h"
#include "tests/fakes/FakePermissions.h"
#include "tests/fakes/FakeScreens.h"
#include "tests/fakes/FakeWindows.h"
#include "tests/fakes/ManualScheduler.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "window/CaptureView.h"
#include "window/PiPPanel.h"

namespace mirano::testing {

constexpr ProcessID kPid = 500;
constexpr WindowNumber kWindowID = 0x3200007;
constexpr ProcessID kOtherPid = 600;
constexpr WindowNumber kOtherWindowID = 0x5400001;

/// A controller on fakes, with the mirrored window (kWindowID of kPid, 1000 x 800 at
/// (100, 50)), a window of another application (kOtherWindowID of kOtherPid) and one
/// 1440 x 900 screen of ratio 2 whose visible frame is (0, 25, 1440, 875).
class PiPManagerFixture : public ::testing::Test {
protected:
    PiPManagerFixture() {
        screens.setSingle(QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875), 2.0);
        windows.addWindow(kWindowID, {}, kPid, QStringLiteral("org.example.source"));
        setWindow(1000, 800);
        windows.addWindow(kOtherWindowID, QRectF(0, 0, 640, 480), kOtherPid,
                          QStringLiteral("org.example.other"));
    }
    ~PiPManagerFixture() override {
        manager.reset();
        flushDeletes();
    }

    /// The scripted window's size, as measured and among the shareable windows.
    void setWindow(double width, double height, WindowNumber id = kWindowID) {
        if (!windows.windows.count(id)) windows.addWindow(id, {}, kPid);
        windows.windows[id].frame = QRectF(100, 50, width, height);
        std::erase_if(capture.windows,
                      [id](const CapturableWindow& w) { return w.windowID == id; });
        capture.addWindow(id, width, height);
    }
    /// Starts a session on the scripted window and lets the stream start.
    void start(std::optional<QRectF> region = std::nullopt) {
        manager->startPiP(*windows.focusedWindowFor(kWindowID), region);
        scheduler.drain();
    }
    PiPPanel& panel() { return *manager->pipPanel(); }
    fakes::FakeCaptureStream* stream() { return capture.lastStream(); }
    /// Whether the session's stream runs.
    bool streaming() const { return manager->streamManager()->isStreamActive(); }
    /// Streams made so far (each start or restart makes one).
    int streamsMade() const { return int(capture.streams.size()); }
    static void flushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    /// A window of another application (or the source window) gets the focus.
    void activate(WindowNumber window) {
        windows.focusFromOutside(window);
        scheduler.drain();
    }
    void tap() {
        manager->handleModifierTap();
        scheduler.drain();
    }
    /// The panel's opacity, whether clicks pass through it and whether the stream runs.
    void expectPanel(double opacity, bool passThrough, bool running) {
        EXPECT_EQ(std::tuple(panel().opacity(), panel().ignoresMouseEvents(), streaming()),
                  std::tuple(opacity, passThrough, running));
    }
    /// Moves the pointer over the panel and reports the hover.
    void hover() {
        screens.pointer = panel().frame().center();
        emit panel().mouseEntered();
    }
    void leave() { emit panel().mouseExited(); }

    fakes::MemoryDefaultsStore store;
    AppSettings settings{store};
    fakes::ManualScheduler scheduler;
    fakes::FakeCaptureService capture{scheduler};
    fakes::FakePanelWindowSystem panelSystem;
    fakes::FakeWindows windows;
    fakes::FakeScreens screens;
    fakes::FakePermissions permissions;
    fakes::FakeApplication application;
    std::unique_ptr<PiPManager> manager = std::make_unique<PiPManager>(PiPServices{
        scheduler, settings, capture, panelSystem, windows, screens, permissions, application});
};

}  // namespace mirano::testing
