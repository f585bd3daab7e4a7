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

/// `got` holds as many rectangles as `want`, each equal within a rounding error.
inline void expectRects(const QList<QRectF>& got, const QList<QRectF>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        EXPECT_LT((got[i].topLeft() - want[i].topLeft()).manhattanLength() +
                      (got[i].bottomRight() - want[i].bottomRight()).manhattanLength(),
                  1e-9)
            << i;
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
