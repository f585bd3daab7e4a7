// Scripted screens and pointer position.
#pragma once

#include "platform/Screens.h"

namespace mirano::fakes {

/// Tests emit changed() themselves after changing `all`.
struct FakeScreens final : Screens {
    std::vector<ScreenInfo> all;
    QPointF pointer;

    void setSingle(const QRectF& frame, const QRectF& visibleFrame, double ratio) {
        all = {ScreenInfo{frame, visibleFrame, ratio}};
    }
    std::vector<ScreenInfo> screens() const override { return all; }
    QPointF pointerPosition() const override { return pointer; }
};

}  // namespace mirano::fakes
