// Desktop notifications.
#pragma once

#include <QString>

namespace mirano {

class Notifications {
public:
    virtual ~Notifications() = default;
    /// Asks for permission to notify; the answer is not needed by anyone.
    virtual void requestAuthorization() = 0;
    /// Posts one notification now with the default sound. Title and body are plain text, shown
    /// as given even where the server reads markup. Failures are dropped quietly.
    virtual void post(const QString& title, const QString& body) = 0;
};

}  // namespace mirano
