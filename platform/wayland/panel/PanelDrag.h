// Moving and resizing a panel with the pointer where no window manager can do it for us.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QSizeF>
#include <Qt>
#include <memory>

#include "platform/wayland/panel/RelativeMotion.h"

class QWindow;

namespace mirano::wayland {

/// The frame after the pointer moved by `delta` since a drag began on a window with frame
/// `start`: moved when `edges` is empty, else resized from those edges (the opposite ones stay),
/// kept at least `minSize` and, when `aspect` is not empty, at that width : height.
QRect draggedFrame(const QRect& start, Qt::Edges edges, QPoint delta, const QSize& minSize,
                   const QSizeF& aspect);

/// Follows the pointer from the press that began a drag until the left button is released,
/// setting the window's geometry; the pointer moves meanwhile do not reach the window's widgets.
/// The distance moved is the pointer's relative motion where the compositor reports it, else
/// Qt's global positions (right where the compositor keeps the surface-local positions of a
/// moving surface current). Deletes itself at the release.
class PanelDrag : public QObject {
    Q_OBJECT
public:
    /// Starts a drag if the left button is down; returns whether it did.
    static bool begin(QWindow& window, Qt::Edges edges, const QSize& minSize, const QSizeF& aspect,
                      std::unique_ptr<RelativeMotion> motion);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PanelDrag(QWindow& window, Qt::Edges edges, const QSize& minSize, const QSizeF& aspect,
              std::unique_ptr<RelativeMotion> motion);

    QWindow& window_;
    Qt::Edges edges_;
    QSize minSize_;
    QSizeF aspect_;
    QRect start_;
    QPoint pressGlobal_;
    std::unique_ptr<RelativeMotion> motion_;
};

}  // namespace mirano::wayland
