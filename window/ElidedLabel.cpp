// Used for the gesture hint, which must stay on one line however narrow the PiP gets.
#include "window/ElidedLabel.h"

#include <QFontMetrics>
#include <QPainter>

namespace mirano {

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent)
    : QWidget(parent), text_(text), color_(Qt::white) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QString ElidedLabel::elidedText() const {
    return fontMetrics().elidedText(text_, Qt::ElideRight, width());
}

void ElidedLabel::setColor(const QColor& color) {
    color_ = color;
    update();
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics fm = fontMetrics();
    return {fm.horizontalAdvance(text_), fm.height()};
}

QSize ElidedLabel::minimumSizeHint() const { return {0, fontMetrics().height()}; }

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(color_);
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, elidedText());
}

}  // namespace mirano
