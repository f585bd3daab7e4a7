// Shared helpers of the window and region tests: a record of what a panel reported, and how much
// of a grabbed area is light. (Rectangles compare within a rounding error with QRectF's own ==.)
#pragma once

#include "settings/AppSettings.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "tests/support/Pixels.h"
#include "window/PiPPanel.h"

namespace mirano::testing {

/// Everything a panel reported through its signals.
struct PanelCalls {
    int close = 0, doubleClick = 0, entered = 0, exited = 0, resetZoom = 0;
    QList<QRectF> zooms;
    QList<int> rates;
    QList<QSizeF> resizes;
    /// Connects every signal of `panel` to this record.
    void attach(PiPPanel& panel) {
        QObject::connect(&panel, &PiPPanel::closeRequested, [this] { ++close; });
        QObject::connect(&panel, &PiPPanel::doubleClicked, [this] { ++doubleClick; });
        QObject::connect(&panel, &PiPPanel::mouseEntered, [this] { ++entered; });
        QObject::connect(&panel, &PiPPanel::mouseExited, [this] { ++exited; });
        QObject::connect(&panel, &PiPPanel::zoomResetRequested, [this] { ++resetZoom; });
        QObject::connect(&panel, &PiPPanel::zoomRequested, [this](QRectF r) { zooms << r; });
        QObject::connect(&panel, &PiPPanel::frameRateChosen, [this](int rate) { rates << rate; });
        QObject::connect(&panel, &PiPPanel::resized, [this](QSizeF s) { resizes << s; });
    }
    /// How many reports there were, resizes aside.
    int total() const {
        return close + doubleClick + entered + exited + resetZoom + zooms.size() + rates.size();
    }
};

/// A drag from `from` to `to` through a view's own gesture calls, the press with `press` (a
/// click count and whether Command is held, for the capture view).
template <typename View, typename... Press>
void dragThrough(View& view, QPointF from, QPointF to, Press... press) {
    view.mouseDownAt(from, press...);
    view.mouseDraggedTo(to);
    view.mouseUpAt(to);
}

/// How many pixels of `area` in a grabbed image are lighter than `lightness` (text drawn there).
inline int lightPixels(const QImage& shot, const QRect& area, int lightness) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += pixelOf(shot, x, y).lightness() > lightness;
    return n;
}

}  // namespace mirano::testing
