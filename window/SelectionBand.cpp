// The rubber band of zoom and region selections.
#include "window/SelectionBand.h"

#include <QPainter>
#include <QPen>

namespace mirano {

void paintSelectionBand(QPainter& painter, const QRectF& rect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.7), 1.5));
    painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.15));
    painter.drawRect(rect);
    painter.restore();
}

SelectionBand::SelectionBand(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    if (parent) setGeometry(parent->rect());
}

void SelectionBand::setBand(const QRectF& rect) {
    band_ = rect;
    update();
}

void SelectionBand::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintSelectionBand(painter, band_);
}

}  // namespace mirano
