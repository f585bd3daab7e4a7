// Pointer drags that move or resize a panel by setting its geometry.
#include "platform/wayland/panel/PanelDrag.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace mirano::wayland {

QRect draggedFrame(const QRect& start, Qt::Edges edges, QPoint delta, const QSize& minSize,
                   const QSizeF& aspect) {
    if (!edges) return start.translated(delta);
    int left = start.left(), top = start.top();
    int right = start.x() + start.width(), bottom = start.y() + start.height();
    if (edges & Qt::LeftEdge) left += delta.x();
    if (edges & Qt::RightEdge) right += delta.x();
    if (edges & Qt::TopEdge) top += delta.y();
    if (edges & Qt::BottomEdge) bottom += delta.y();
    int w = std::max({right - left, minSize.width(), 1});
    int h = std::max({bottom - top, minSize.height(), 1});
    if (aspect.width() > 0 && aspect.height() > 0) {
        // A drag of a side edge sets the width, of a top or bottom edge the height, and of a
        // corner whichever grew more.
        const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
        const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
        const double ratio = aspect.width() / aspect.height();
        const bool byWidth = horizontal && (!vertical || w >= std::lround(h * ratio));
        if (byWidth)
            h = std::max(static_cast<int>(std::lround(w / ratio)), minSize.height());
        else
            w = std::max(static_cast<int>(std::lround(h * ratio)), minSize.width());
    }
    // The edges not dragged stay where they were.
    const int x = edges & Qt::LeftEdge ? start.x() + start.width() - w : start.x();
    const int y = edges & Qt::TopEdge ? start.y() + start.height() - h : start.y();
    return QRect(x, y, w, h);
}

PanelDrag::PanelDrag(QWindow& window, Qt::Edges edges, const QSize& minSize, const QSizeF& aspect,
                     std::unique_ptr<RelativeMotion> motion)
    : QObject(&window),
      window_(window),
      edges_(edges),
      minSize_(minSize),
      aspect_(aspect),
      start_(window.geometry()),
      pressGlobal_(QCursor::pos()),
      motion_(std::move(motion)) {
    window.installEventFilter(this);
}

bool PanelDrag::begin(QWindow& window, Qt::Edges edges, const QSize& minSize, const QSizeF& aspect,
                      std::unique_ptr<RelativeMotion> motion) {
    // A press handled after its release would leave the panel following a pointer with no
    // button down.
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) return false;
    new PanelDrag(window, edges, minSize, aspect, std::move(motion));
    return true;
}

bool PanelDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_) return false;
    if (event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        const QPoint delta =
            motion_ ? motion_->total().toPoint() : move->globalPosition().toPoint() - pressGlobal_;
        window_.setGeometry(draggedFrame(start_, edges_, delta, minSize_, aspect_));
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        window_.removeEventFilter(this);
        deleteLater();
    }
    return false;
}

}  // namespace mirano::wayland
