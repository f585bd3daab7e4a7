// Process entry: the tray application with its menu, settings window and delegate.
#pragma once

#include <QObject>
#include <QPointer>

#include "app/AppDelegate.h"
#include "app/SharedPiPControl.h"
#include "app/SingleInstance.h"
#include "app/StatusMenu.h"
#include "app/TrayIcon.h"

namespace mirano {

class SettingsWindow;

/// Owns the shell for the life of the process. Main thread only.
class MiranoApp : public QObject {
    Q_OBJECT
public:
    /// Runs the application until it quits; returns the exit code.
    static int run(int argc, char** argv);

    MiranoApp();
    ~MiranoApp() override;

    /// Opens the settings window, or brings the open one forward.
    void openSettings();
    /// Does what a later launch asked for (`mirano --toggle` and the like).
    void handleRequest(InstanceRequest request);

private:
    void launch();

    SharedPiPControl pip_;
    AppDelegate delegate_;
    StatusMenu menu_;
    TrayIcon tray_;
    QPointer<SettingsWindow> settingsWindow_;
};

}  // namespace mirano
