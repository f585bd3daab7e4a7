// Screens and the pointer from Qt.
#pragma once

#include "platform/Screens.h"

class QScreen;

namespace mirano {

/// QScreen geometry, available geometry, device pixel ratio and name; tells of screens that
/// come, go or change.
class QtScreens final : public Screens {
    Q_OBJECT
public:
    explicit QtScreens(QObject* parent = nullptr);
    std::vector<ScreenInfo> screens() const override;
    QPointF pointerPosition() const override;

private:
    void follow(QScreen* screen);
};

}  // namespace mirano
