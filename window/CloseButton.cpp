// Drawn with QPainter so that it looks the same on every install, with no icon theme needed.
#include "window/CloseButton.h"

#include <QPainter>
#include <QPainterPath>

namespace mirano {

namespace {
// The symbol is sized like a 22-point title glyph.
constexpr int kDiameter = 22;
}  // namespace

CloseButton::CloseButton(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(tr("Close"));
    setFixedSize(sizeHint());
}

QSize CloseButton::sizeHint() const { return {kDiameter, kDiameter}; }

void CloseButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    const QColor red = isDown() ? QColor(0xd7, 0x2a, 0x20) : QColor(0xff, 0x3b, 0x30);
    // The cross is cut out of the disc, as in the filled symbol.
    QPainterPath disc;
    disc.addEllipse(r);
    const QPointF c = r.center();
    const double arm = r.width() * 0.2;
    QPainterPathStroker stroker;
    stroker.setWidth(r.width() * 0.11);
    stroker.setCapStyle(Qt::RoundCap);
    QPainterPath cross;
    cross.moveTo(c + QPointF(-arm, -arm));
    cross.lineTo(c + QPointF(arm, arm));
    cross.moveTo(c + QPointF(arm, -arm));
    cross.lineTo(c + QPointF(-arm, arm));
    p.fillPath(disc, red);
    p.fillPath(stroker.createStroke(cross), Qt::white);
}

}  // namespace mirano
