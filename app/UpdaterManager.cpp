#include "app/UpdaterManager.h"

#include <QPointer>
#include <algorithm>
#include <cmath>

#include "app/AppVersion.h"
#include "app/AppcastChecker.h"
#include "app/UpdateDialog.h"
#include "platform/DefaultsStore.h"
#include "platform/Notifications.h"
#include "platform/Platform.h"
#include "platform/Scheduler.h"

namespace mirano {

UpdaterManager::UpdaterManager(DefaultsStore& defaults, Scheduler& scheduler,
                               Notifications& notifications, UpdateSource& source,
                               UpdatePresenter& presenter, Clock clock)
    : defaults_(defaults),
      scheduler_(scheduler),
      notifications_(notifications),
      source_(source),
      presenter_(presenter),
      clock_(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTimeUtc(); })) {
    connect(&defaults_, &DefaultsStore::changed, this, [this](const QString& key) {
        if (key != kAutomaticChecksKey && key != kIntervalKey) return;
        reschedule();
        emit settingsChanged();
    });
    reschedule();
}

UpdaterManager::~UpdaterManager() = default;

UpdaterManager& UpdaterManager::shared() {
    static auto* checker =
        new AppcastChecker(QUrl(QStringLiteral(MIRANO_UPDATE_FEED_URL)), appVersion());
    static auto* dialog = new UpdateDialog();
    static auto* manager =
        new UpdaterManager(Platform::real().defaults(), Platform::real().scheduler(),
                           Platform::real().notifications(), *checker, *dialog);
    return *manager;
}

bool UpdaterManager::automaticallyChecksForUpdates() const {
    const auto v = defaults_.value(kAutomaticChecksKey);
    // Off until the user turns it on: no network traffic nobody asked for.
    return v && v->isBool() ? v->toBool() : false;
}

void UpdaterManager::setAutomaticallyChecksForUpdates(bool enabled) {
    defaults_.setValue(kAutomaticChecksKey, enabled);
}

double UpdaterManager::updateCheckInterval() const {
    const auto v = defaults_.value(kIntervalKey);
    if (!v || !v->isDouble() || !std::isfinite(v->toDouble())) return kDefaultInterval;
    return v->toDouble();
}

void UpdaterManager::setUpdateCheckInterval(double seconds) {
    defaults_.setValue(kIntervalKey, seconds);
}

UpdateCheckInterval UpdaterManager::checkInterval() const {
    return UpdateCheckIntervals::fromSeconds(updateCheckInterval());
}

void UpdaterManager::setCheckInterval(UpdateCheckInterval interval) {
    setUpdateCheckInterval(static_cast<double>(UpdateCheckIntervals::rawValue(interval)));
}

std::optional<QDateTime> UpdaterManager::lastCheckTime() const {
    const auto v = defaults_.value(kLastCheckKey);
    if (!v || !v->isString()) return std::nullopt;
    const QDateTime t = QDateTime::fromString(v->toString(), Qt::ISODate);
    return t.isValid() ? std::optional(t) : std::nullopt;
}

bool UpdaterManager::hasScheduledCheck() const { return checkTimer_ && checkTimer_->isValid(); }

double UpdaterManager::effectiveInterval() const {
    // What the settings form shows: a stored value that names no choice is shown, and so
    // followed, as the choice it reads as.
    return static_cast<double>(UpdateCheckIntervals::rawValue(checkInterval()));
}

void UpdaterManager::reschedule() {
    if (checkTimer_) checkTimer_->invalidate();
    checkTimer_.reset();
    if (!automaticallyChecksForUpdates() || !source_.isConfigured()) return;
    double delay = kFirstCheckDelay;
    if (const auto last = lastCheckTime()) {
        const double elapsed = static_cast<double>(last->secsTo(clock_()));
        // A last check in the future (clock set back) counts as a check just made.
        delay = effectiveInterval() - std::max(0.0, elapsed);
    }
    delay = std::clamp(delay, 1.0, kMaximumTimerDelay);
    QPointer<UpdaterManager> self(this);
    checkTimer_ = scheduler_.schedule(delay, false, [self] {
        if (self) self->scheduledTick();
    });
}

void UpdaterManager::scheduledTick() {
    const auto last = lastCheckTime();
    const bool due = !last || static_cast<double>(last->secsTo(clock_())) >= effectiveInterval() ||
                     last->secsTo(clock_()) < 0;
    if (due && !checking_)
        runCheck(false);
    else
        reschedule();
}

void UpdaterManager::checkForUpdates() {
    userWaiting_ = true;
    if (!checking_) runCheck(true);
}

void UpdaterManager::runCheck(bool userInitiated) {
    checking_ = true;
    userWaiting_ = userWaiting_ || userInitiated;
    QPointer<UpdaterManager> self(this);
    source_.check([self](UpdateCheckResult result) {
        if (self) self->finishCheck(result);
    });
}

void UpdaterManager::finishCheck(const UpdateCheckResult& result) {
    checking_ = false;
    const bool userWaiting = std::exchange(userWaiting_, false);
    if (source_.isConfigured())
        defaults_.setValue(kLastCheckKey, clock_().toUTC().toString(Qt::ISODate));
    if (userWaiting) {
        presenter_.present(result);
    } else if (result.status == UpdateCheckResult::Status::updateAvailable) {
        notifications_.post(QStringLiteral("Update Available"),
                            QStringLiteral("Mirano %1 is available (you have %2).")
                                .arg(result.latestVersion, result.currentVersion));
    }
    reschedule();
}

}  // namespace mirano
