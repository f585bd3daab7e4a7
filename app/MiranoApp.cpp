#include "app/MiranoApp.h"

#include "app/AppVersion.h"
#include "app/HotkeyManagerService.h"
#include "app/OpenSettingsHandler.h"
#include "app/SettingsWindow.h"
#include "app/UpdaterManager.h"
#include "hotkeys/HotkeyManager.h"
#include "platform/Application.h"
#include "platform/Platform.h"
#include "settings/AppSettings.h"
#include "settings/SettingsView.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

// Resources live in the static library; they must be registered from the global namespace.
static void initMiranoResources() { Q_INIT_RESOURCE(mirano); }

namespace mirano {

namespace {

int gSignalPipe[2] = {-1, -1};

void onQuitSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(gSignalPipe[1], &c, 1);
}

/// SIGTERM, SIGINT and SIGHUP end Mirano through the normal termination path, so a running
/// PiP and the hotkey grabs are released.
void quitOnSignals(QObject* context) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [] {
        char c;
        [[maybe_unused]] const auto n = ::read(gSignalPipe[0], &c, 1);
        Platform::real().application().terminate();
    });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &action, nullptr);
}

}  // namespace

int MiranoApp::run(int argc, char** argv) {
    // The whole program works on X11 windows; under Wayland it runs through XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    initMiranoResources();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mirano"));
    QApplication::setApplicationVersion(appVersion());
    QApplication::setDesktopFileName(QStringLiteral("mirano"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/mirano/mirano.svg")));
    // Mirano lives in the tray: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnSignals(&app);

    MiranoApp shell;
    shell.launch();
    return QApplication::exec();
}

MiranoApp::MiranoApp()
    : delegate_(AppDelegateServices{Platform::real().application(), Platform::real().notifications(),
                                    Platform::real().permissions(), Platform::real().scheduler(),
                                    pip_, &makeHotkeyManagerService}),
      menu_(pip_, appVersion()),
      tray_(*menu_.menu(), Platform::real().scheduler()) {
    menu_.onCheckForUpdates = [] { UpdaterManager::shared().checkForUpdates(); };
    menu_.onOpenSettings = [this] { openSettings(); };
    menu_.onQuit = [] { Platform::real().application().terminate(); };
    tray_.onNoTray = [this] { openSettings(); };
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (settingsWindow_) settingsWindow_->close();
        delegate_.applicationWillTerminate();
        openSettingsHandler() = nullptr;
    });
}

MiranoApp::~MiranoApp() {
    if (settingsWindow_) delete settingsWindow_.data();
}

void MiranoApp::launch() {
    delegate_.applicationDidFinishLaunching();
    QPointer<MiranoApp> self(this);
    openSettingsHandler() = [self] {
        if (self) self->openSettings();
    };
    tray_.start();
}

void MiranoApp::openSettings() {
    if (settingsWindow_) {
        settingsWindow_->show();
        settingsWindow_->raise();
        settingsWindow_->activateWindow();
        return;
    }
    auto* view = new SettingsView(AppSettings::shared(), UpdaterManager::shared(),
                                  [](const QString& c) { return HotkeyManager::keyCode(c).has_value(); });
    view->onFrameRateChanged = [this] { pip_.scheduleStreamRestart(); };
    settingsWindow_ = new SettingsWindow(view);
    // Ctrl+, and Ctrl+Q work in the settings window as in the menu.
    settingsWindow_->addAction(menu_.settingsAction());
    settingsWindow_->addAction(menu_.quitAction());
    settingsWindow_->show();
}

}  // namespace mirano
