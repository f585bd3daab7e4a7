// One update check and its result, as the update manager sees it.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace mirano {

struct UpdateCheckResult {
    enum class Status { upToDate, updateAvailable, failed };
    Status status = Status::failed;
    /// The running version.
    QString currentVersion;
    /// The newest version the feed offers (empty on failure).
    QString latestVersion;
    /// Release notes of the newest version (http or https only; may be empty).
    QUrl releaseNotes;
    /// Why the check failed, for the user.
    QString error;
};

/// Where updates are looked up (the program: an appcast feed).
class UpdateSource {
public:
    virtual ~UpdateSource() = default;
    /// False when no feed address was set at build time: nothing can be checked.
    virtual bool isConfigured() const = 0;
    /// Starts one check; `done` runs once on the main thread (never inside this call).
    virtual void check(std::function<void(UpdateCheckResult)> done) = 0;
};

/// Shows the outcome of a check the user asked for.
class UpdatePresenter {
public:
    virtual ~UpdatePresenter() = default;
    virtual void present(const UpdateCheckResult& result) = 0;
};

}  // namespace mirano
