// A process that owns a hotkey tap on $DISPLAY, for tests that stop it: prints "ready" once its
// grabs are in place, then the name of each gesture. It acts as if the pointer rested on a visible
// PiP, so that the panel keys are grabbed too.
#include <QCoreApplication>
#include <QTest>

#include "hotkeys/HotkeyManager.h"
#include "platform/Log.h"
#include "platform/qt/QtScheduler.h"
#include "platform/x11/X11EventTap.h"
#include "platform/x11/XkbKeyboardLayout.h"
#include "tests/fakes/FakeNotifications.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "tests/hotkeys/GestureLog.h"

using namespace mirano;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    fakes::MemorySettings memory;
    QtScheduler scheduler;
    fakes::FakeNotifications notifications;
    x11::XkbKeyboardLayout layout;
    auto tap = std::make_unique<x11::X11EventTap>();
    x11::X11EventTap* tapPtr = tap.get();
    HotkeyManager manager(std::move(tap), layout, memory.settings, scheduler, notifications);
    testing::connectGestures(
        manager, [](const char* name) { logLine(QString::fromLatin1(name)); }, [] { return true; });
    manager.start();
    if (!manager.isListening() || !QTest::qWaitFor([&] { return tapPtr->grabsSettled(); }, 10000))
        return 1;
    logLine(QStringLiteral("ready"));
    return QCoreApplication::exec();
}
