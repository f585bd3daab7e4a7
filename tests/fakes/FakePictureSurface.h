// A picture surface that records what the view and the panel hand to it.
#pragma once

#include <QList>

#include "platform/PictureSurface.h"

namespace mirano::fakes {

/// Of `Base`, a PictureSurface or a kind of one.
template <typename Base = PictureSurface>
struct RecordingSurface : Base {
    void setGeometry(const QRect& area) override { geometry = area; }
    void setOverlay(const QImage& overlay) override { overlays << overlay; }
    void setOpacity(double value) override { opacity = value; }
    void setCornerRadius(double radius) override { cornerRadius = radius; }
    void setVisible(bool value) override { visible = value; }

    QRect geometry;
    /// Every overlay handed over, in order (null = removed).
    QList<QImage> overlays;
    double opacity = 1.0, cornerRadius = -1;
    bool visible = false;
};
using FakePictureSurface = RecordingSurface<>;

}  // namespace mirano::fakes
