// Shared helpers of the window and region tests: mouse events, a record of what a panel
// reported. (Rectangles compare within a rounding error with QRectF's own ==.)
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <functional>
#include <vector>

#include "settings/AppSettings.h"
#include "tests/fakes/MemoryDefaultsStore.h"
#include "window/PiPPanel.h"

namespace mirano::testing {

/// Sends one mouse event at a widget position (Qt coordinates).
inline void sendMouse(QWidget* widget, QEvent::Type type, QPointF pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

inline void press(QWidget* w, QPointF p, Qt::KeyboardModifiers m = Qt::NoModifier) {
    sendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton, m);
}
inline void drag(QWidget* w, QPointF p, Qt::KeyboardModifiers m = Qt::NoModifier) {
    sendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton, m);
}
inline void release(QWidget* w, QPointF p, Qt::KeyboardModifiers m = Qt::NoModifier) {
    sendMouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton, m);
}
inline void doubleClick(QWidget* w, QPointF p, Qt::KeyboardModifiers m = Qt::NoModifier) {
    sendMouse(w, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton, m);
}

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
