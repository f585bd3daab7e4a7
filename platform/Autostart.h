// Starting Mirano when the user logs in to the desktop.
#pragma once

#include <QString>

namespace mirano {

/// Main thread only.
class Autostart {
public:
    virtual ~Autostart() = default;
    /// Whether the desktop starts Mirano at the next login, as it stands now.
    virtual bool isEnabled() const = 0;
    /// Turns starting at login on or off. Empty when done (or nothing was to do), else why
    /// nothing was changed.
    virtual QString setEnabled(bool enabled) = 0;
};

}  // namespace mirano
