// Shared helpers of the window and region tests: rectangles, pixels, mouse
// events.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <functional>
#include <vector>

#include "platform/Frame.h"
#include "settings/AppSettings.h"
#include "tests/fakes/MemoryDefaultsStore.h"

namespace mirano::testing {

inline void expectRect(const QRectF& r, double x, double y, double w, double h,
                       double tolerance = 1e-9) {
    EXPECT_NEAR(r.x(), x, tolerance);
    EXPECT_NEAR(r.y(), y, tolerance);
    EXPECT_NEAR(r.width(), w, tolerance);
    EXPECT_NEAR(r.height(), h, tolerance);
}

/// The colour at widget point (x, y) of a grabbed image, whatever its device pixel ratio.
inline QColor colourAt(const QImage& shot, int x, int y) {
    const double dpr = shot.devicePixelRatio();
    return shot.pixelColor(int(x * dpr), int(y * dpr));
}

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

}  // namespace mirano::testing
