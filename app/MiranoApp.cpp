#include "app/MiranoApp.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "app/AppVersion.h"
#include "app/CommandLine.h"
#include "app/HotkeyManagerService.h"
#include "app/OpenSettingsHandler.h"
#include "app/QuitSignals.h"
#include "app/SettingsWindow.h"
#include "app/SingleInstance.h"
#include "app/UpdaterManager.h"
#include "hotkeys/HotkeyManager.h"
#include "platform/Application.h"
#include "platform/Backend.h"
#include "platform/GlobalShortcuts.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "settings/AppSettings.h"
#include "settings/SettingsView.h"

// Resources live in the static library; they must be registered from the global namespace.
static void initMiranoResources() { Q_INIT_RESOURCE(mirano); }

namespace mirano {

namespace {

/// Runs the work that is already queued (a stream's stop posted by the termination sequence)
/// after the event loop has ended. Bounded: it never waits for new work.
void finishQueuedWork() {
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

/// Hands a command-line request to the running Mirano; never starts one.
int sendRequest(const SingleInstance& instance, const CommandLine& command) {
    if (!instance.isHeld()) {
        std::fputs("mirano: Mirano is not running.\n", stderr);
        return 1;
    }
    if (instance.ask(command.request())) return 0;
    std::fputs("mirano: another Mirano holds this display but does not answer.\n", stderr);
    return 1;
}

}  // namespace

int MiranoApp::run(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = CommandLine::parse(arguments);
    if (command.action() == CommandLine::Action::print) {
        const QByteArray text = command.text().toLocal8Bit();
        std::fputs(text.constData(), command.toStandardError() ? stderr : stdout);
        return command.exitCode();
    }

    // One Mirano per user and window-system session: a second launch hands its request to the
    // first.
    Backend& backend = Platform::real().backend();
    SingleInstance instance(SingleInstance::defaultDirectory(), backend.sessionName());
    if (command.action() == CommandLine::Action::remote) return sendRequest(instance, command);
    if (!instance.claim()) {
        if (instance.ask(InstanceRequest::openSettings)) {
            logLine(QStringLiteral("Mirano is already running; its settings window is now open."));
            return 0;
        }
        std::fputs("mirano: another Mirano holds this display but does not answer.\n", stderr);
        return 1;
    }

    backend.prepareApplication();
    initMiranoResources();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Mirano"));
    QApplication::setApplicationVersion(appVersion());
    QApplication::setDesktopFileName(QStringLiteral("mirano"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/mirano/mirano.svg")));
    // Mirano lives in the tray: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnSignals(&app, [] { Platform::real().application().terminate(); });

    int code = 0;
    {
        MiranoApp shell;
        instance.onRequest = [&shell](InstanceRequest request) { shell.handleRequest(request); };
        instance.listen();
        shell.launch();
        code = QApplication::exec();
        // The termination sequence ran at aboutToQuit; what it queued (the stream's stop) runs
        // now, and the shell with its hotkey thread goes, all before the application object.
        instance.onRequest = nullptr;
        instance.stopListening();
        finishQueuedWork();
    }
    finishQueuedWork();
    return code;
}

MiranoApp::MiranoApp()
    : delegate_(
          AppDelegateServices{Platform::real().application(), Platform::real().notifications(),
                              Platform::real().permissions(), Platform::real().scheduler(),
                              AppSettings::shared(), pip_, &makeHotkeyManagerService,
                              [] { return Platform::real().backend().makeGlobalShortcuts(); }}),
      menu_(pip_, appVersion()),
      tray_(*menu_.menu(), Platform::real().scheduler()) {
    menu_.onCheckForUpdates = [] { UpdaterManager::shared().checkForUpdates(); };
    menu_.onOpenSettings = [this] { openSettings(); };
    menu_.onQuit = [] { Platform::real().application().terminate(); };
    tray_.onNoTray = [this] { openSettings(); };
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (settingsWindow_) settingsWindow_->close();
        delegate_.stop();
        openSettingsHandler() = nullptr;
    });
}

MiranoApp::~MiranoApp() {
    if (settingsWindow_) delete settingsWindow_.data();
}

void MiranoApp::launch() {
    delegate_.start();
    QPointer<MiranoApp> self(this);
    openSettingsHandler() = [self] {
        if (self) self->openSettings();
    };
    tray_.start();
}

void MiranoApp::handleRequest(InstanceRequest request) {
    switch (request) {
        case InstanceRequest::openSettings:
            return openSettings();
        case InstanceRequest::toggle:
            return delegate_.hotkeyActions().captureToggle();
        case InstanceRequest::region:
            return pip_.beginRegionSelection();
        case InstanceRequest::hide:
            return pip_.toggleHidden();
        case InstanceRequest::quit:
            return Platform::real().application().terminate();
    }
}

void MiranoApp::openSettings() {
    if (settingsWindow_) {
        settingsWindow_->show();
        settingsWindow_->raise();
        settingsWindow_->activateWindow();
        return;
    }
    auto* view = new SettingsView(
        AppSettings::shared(), UpdaterManager::shared(), Platform::real().autostart(), appVersion(),
        [](const QString& c) { return HotkeyManager::keyCode(c).has_value(); });
    view->onFrameRateChanged = [this] { pip_.scheduleStreamRestart(); };
    settingsWindow_ = new SettingsWindow(view);
    // Ctrl+, and Ctrl+Q work in the settings window as in the menu.
    settingsWindow_->addAction(menu_.settingsAction());
    settingsWindow_->addAction(menu_.quitAction());
    settingsWindow_->show();
}

}  // namespace mirano
