// The tray icon with the status menu, on whatever tray the desktop offers, if any.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace mirano {

class Scheduler;
class Timer;

/// Shows the icon when a tray (StatusNotifierItem host or XEmbed tray) is available. When
/// none is, says so once and calls `onNoTray` (the program opens its settings window), then
/// keeps looking and installs the icon as soon as a tray appears. Main thread only.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    using Availability = std::function<bool()>;
    /// `available` defaults to QSystemTrayIcon::isSystemTrayAvailable.
    TrayIcon(QMenu& menu, Scheduler& scheduler, Availability available = {},
             QObject* parent = nullptr);
    ~TrayIcon() override;

    std::function<void()> onNoTray;

    /// Looks for a tray now and, when there is none, every kPollSeconds.
    void start();
    bool isInstalled() const { return installed_; }
    bool isWaitingForTray() const { return pollTimer_ != nullptr; }

    static constexpr double kPollSeconds = 2.0;

private:
    void poll();
    void install();

    QMenu& menu_;
    Scheduler& scheduler_;
    Availability available_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::unique_ptr<Timer> pollTimer_;
    bool installed_ = false;
};

}  // namespace mirano
