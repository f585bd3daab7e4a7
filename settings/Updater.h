// The update checker as the settings form sees it: its two settings and a check on request.
#pragma once

#include <QObject>

#include "settings/UpdateCheckInterval.h"

namespace mirano {

/// Main thread only.
class Updater : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Starts a check whose result the user sees.
    virtual void checkForUpdates() = 0;
    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool enabled) = 0;
    /// The stored interval as one of the offered choices.
    virtual UpdateCheckInterval checkInterval() const = 0;
    virtual void setCheckInterval(UpdateCheckInterval interval) = 0;

signals:
    /// The automatic-check flag or the interval changed (here or elsewhere).
    void settingsChanged();
};

}  // namespace mirano
