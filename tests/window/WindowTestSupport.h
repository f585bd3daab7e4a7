// Shared helper of the window tests: a record of what a panel reported. (Rectangles compare
// within a rounding error with QRectF's own ==.)
#pragma once

#include "settings/AppSettings.h"
#include "tests/fakes/MemoryDefaultsStore.h"
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

}  // namespace mirano::testing
