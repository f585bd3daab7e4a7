// The update checker: its two settings, scheduled checks, and the check the user asks for.
#pragma once

#include <QDateTime>
#include <functional>
#include <memory>

#include "app/UpdateCheck.h"
#include "settings/UpdateCheckInterval.h"
#include "settings/Updater.h"

namespace mirano {

class DefaultsStore;
class Notifications;
class Scheduler;
class Timer;

/// Keeps its settings in the defaults store under the update framework's usual keys. While
/// automatic checks are on, checks the feed once per interval (also across restarts, through
/// the time of the last check) and posts a notification when a newer version exists. A check
/// the user asks for shows its result through the presenter. Main thread only.
class UpdaterManager final : public Updater {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    UpdaterManager(DefaultsStore& defaults, Scheduler& scheduler, Notifications& notifications,
                   UpdateSource& source, UpdatePresenter& presenter, Clock clock = {});
    ~UpdaterManager() override;

    /// Created on first use, on the real services and the feed fixed at build time.
    static UpdaterManager& shared();

    /// Starts a check whose result the user sees.
    void checkForUpdates() override;

    bool automaticallyChecksForUpdates() const override;
    void setAutomaticallyChecksForUpdates(bool enabled) override;
    /// The interval in seconds as stored (scheduled checks follow checkInterval()).
    double updateCheckInterval() const;
    void setUpdateCheckInterval(double seconds);
    /// The stored interval as one of the offered choices (unknown values read as weekly).
    UpdateCheckInterval checkInterval() const override;
    void setCheckInterval(UpdateCheckInterval interval) override;

    /// The last completed check, if any.
    std::optional<QDateTime> lastCheckTime() const;
    bool isChecking() const { return checking_; }
    /// Whether a scheduled check is pending.
    bool hasScheduledCheck() const;

    static inline const QString kAutomaticChecksKey = QStringLiteral("SUEnableAutomaticChecks");
    static inline const QString kIntervalKey = QStringLiteral("SUScheduledCheckInterval");
    static inline const QString kLastCheckKey = QStringLiteral("SULastCheckTime");
    static constexpr double kDefaultInterval = 86400;
    /// The first scheduled check after start, when none was ever made.
    static constexpr double kFirstCheckDelay = 60;
    /// Timers wake up at least this often, so that a suspended machine catches up.
    static constexpr double kMaximumTimerDelay = 6 * 3600;

private:
    void reschedule();
    void scheduledTick();
    void runCheck(bool userInitiated);
    void finishCheck(const UpdateCheckResult& result);
    /// Seconds between scheduled checks: those of checkInterval().
    double effectiveInterval() const;

    DefaultsStore& defaults_;
    Scheduler& scheduler_;
    Notifications& notifications_;
    UpdateSource& source_;
    UpdatePresenter& presenter_;
    Clock clock_;
    std::unique_ptr<Timer> checkTimer_;
    bool checking_ = false;
    bool userWaiting_ = false;
};

}  // namespace mirano
