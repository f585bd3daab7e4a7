// Screens from Qt, in bottom-left-origin screen points.
#pragma once

#include "platform/Screens.h"

namespace mirano {

/// QScreen geometry, available geometry and device pixel ratio, flipped against the primary
/// screen's height. The main screen is Qt's primary screen.
class QtScreens final : public Screens {
public:
    std::vector<ScreenInfo> screens() const override;
    std::optional<ScreenInfo> mainScreen() const override;
    QPointF mouseLocation() const override;
};

}  // namespace mirano
