// Screens and the pointer from Qt.
#pragma once

#include "platform/Screens.h"

namespace mirano {

/// QScreen geometry, available geometry and device pixel ratio; the main screen is Qt's primary
/// screen.
class QtScreens final : public Screens {
public:
    std::vector<ScreenInfo> screens() const override;
    std::optional<ScreenInfo> mainScreen() const override;
    QPointF pointerPosition() const override;
};

}  // namespace mirano
