// Mirano's three gestures as shortcuts the desktop binds, where no client may read the keyboard.
#pragma once

#include <QObject>
#include <QString>

#include "platform/Modifiers.h"
#include "platform/Types.h"

namespace mirano {

/// Mirror the focused window, mirror a region of it, hide or show the PiP. The desktop owns the
/// keys: Mirano's combination is only the preferred one, the desktop may ask the user to confirm
/// it, and the user changes the keys in the desktop's settings. Main thread only.
class GlobalShortcuts : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Offers `modifier` + `triggerKey` for mirroring the window, with Shift for a region.
    /// Completes once, later than the call; a failure has been logged already.
    virtual void bind(Modifier modifier, const QString& triggerKey, Completion done) = 0;

signals:
    void mirrorWindowActivated();
    void mirrorRegionActivated();
    void hideOrShowActivated();
};

}  // namespace mirano
