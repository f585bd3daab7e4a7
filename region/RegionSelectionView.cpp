// Dims the window under the panel, says what to do, draws the rubber band and reports the
// dragged rectangle normalised to the panel, or a cancellation.
#include "region/RegionSelectionView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "region/RegionSelectionPanel.h"
#include "window/OverlayView.h"
#include "window/SelectionBand.h"

namespace mirano {

RegionSelectionView::RegionSelectionView(const QRectF& frame, QWidget* parent) : QWidget(parent) {
    setGeometry(frame.toRect());
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_NoSystemBackground);
    setCursor(Qt::CrossCursor);
    setFont(overlayFont(16, QFont::Medium));
}

QString RegionSelectionView::instructionText() {
    return QStringLiteral("Drag to select region · ESC to cancel");
}

void RegionSelectionView::setBackdrop(const QPixmap& backdrop) {
    backdrop_ = backdrop;
    update();
}

QPointF RegionSelectionView::clampToBounds(const QPointF& p) const {
    return QPointF(std::clamp(p.x(), 0.0, double(width())),
                   std::clamp(p.y(), 0.0, double(height())));
}

void RegionSelectionView::cancel() {
    if (panel) emit panel->cancelled();
}

bool RegionSelectionView::keyDown(int keyCode) {
    if (keyCode != kEscapeKeyCode) return false;
    cancel();
    return true;
}

void RegionSelectionView::mouseDownAt(QPointF point) {
    isDragging_ = true;
    dragStart_ = clampToBounds(point);
    update();  // the instruction text goes away
}

void RegionSelectionView::mouseDraggedTo(QPointF point) {
    if (!isDragging_) return;
    const QPointF p = clampToBounds(point);
    hasSelectionLayer_ = true;
    selectionRect_ = QRectF(std::min(dragStart_.x(), p.x()), std::min(dragStart_.y(), p.y()),
                            std::abs(p.x() - dragStart_.x()), std::abs(p.y() - dragStart_.y()));
    update();
}

void RegionSelectionView::mouseUpAt(QPointF point) {
    if (!isDragging_) return;
    isDragging_ = false;
    const QPointF end = clampToBounds(point);
    hasSelectionLayer_ = false;
    selectionRect_ = QRectF();
    update();
    const double minX = std::min(dragStart_.x(), end.x()), maxX = std::max(dragStart_.x(), end.x());
    const double minY = std::min(dragStart_.y(), end.y()), maxY = std::max(dragStart_.y(), end.y());
    const double w = maxX - minX, h = maxY - minY;
    if (w > 10 && h > 10) {
        const double W = width(), H = height();
        if (!(W > 0) || !(H > 0)) return;
        if (panel) emit panel->regionSelected(QRectF(minX / W, minY / H, w / W, h / H));
    } else {
        cancel();
    }
}

void RegionSelectionView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    if (!backdrop_.isNull())
        p.drawPixmap(rect(), backdrop_);
    else
        p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.3));
    if (!isDragging_) {
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, instructionText());
    }
    if (hasSelectionLayer_) paintSelectionBand(p, selectionRect_);
}

void RegionSelectionView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && keyDown(kEscapeKeyCode)) return;
    QWidget::keyPressEvent(event);
}

void RegionSelectionView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    mouseDownAt(event->position());
}

void RegionSelectionView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) mouseDraggedTo(event->position());
}

void RegionSelectionView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    mouseUpAt(event->position());
}

}  // namespace mirano
