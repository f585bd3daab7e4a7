// Scripted screens and pointer location.
#pragma once

#include "platform/Screens.h"

namespace mirano::fakes {

class FakeScreens final : public Screens {
public:
    std::vector<ScreenInfo> all;
    std::optional<ScreenInfo> main;
    QPointF mouse;

    /// One screen at the origin, which is also the main screen.
    void setSingle(const QRectF& frame, const QRectF& visibleFrame, double scale) {
        all = {ScreenInfo{frame, visibleFrame, scale}};
        main = all.front();
    }

    std::vector<ScreenInfo> screens() const override { return all; }
    std::optional<ScreenInfo> mainScreen() const override { return main; }
    QPointF mouseLocation() const override { return mouse; }
};

}  // namespace mirano::fakes
