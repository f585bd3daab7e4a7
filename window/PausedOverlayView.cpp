// Paints black at 0.9 and the centred "Paused" text; it takes no mouse events so that the
// PiP's gestures keep working through it.
#include "window/PausedOverlayView.h"

#include <QPainter>
#include <QPainterPath>

#include "window/OverlayBackdrop.h"
#include "window/OverlayView.h"

namespace mirano {

PausedOverlayView::PausedOverlayView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFont(overlayFont(16, QFont::Medium));
    if (parent) setGeometry(parent->rect());
}

QString PausedOverlayView::text() { return QStringLiteral("\u23F8\uFE0E Paused"); }

void PausedOverlayView::setCornerRadius(double radius) {
    cornerRadius_ = radius;
    update();
}

void PausedOverlayView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintOverlayBackdrop(p, rect(), cornerRadius_, 0.9);
    p.setPen(Qt::white);
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
}

}  // namespace mirano
