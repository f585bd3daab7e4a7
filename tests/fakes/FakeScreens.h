// Scripted screens and pointer position.
#pragma once

#include "platform/Screens.h"

namespace mirano::fakes {

class FakeScreens final : public Screens {
public:
    std::vector<ScreenInfo> all;
    std::optional<ScreenInfo> main;
    QPointF pointer;

    /// One screen, which is also the main screen.
    void setSingle(const QRectF& frame, const QRectF& visibleFrame, double ratio) {
        all = {ScreenInfo{frame, visibleFrame, ratio}};
        main = all.front();
    }
    std::vector<ScreenInfo> screens() const override { return all; }
    std::optional<ScreenInfo> mainScreen() const override { return main; }
    QPointF pointerPosition() const override { return pointer; }
};

}  // namespace mirano::fakes
