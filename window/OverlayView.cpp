// The hint overlay's layout: a row with the close button and the frame-rate menu, the show/hide
// hint in the middle and the gesture hint at the bottom, over a dark veil.
#include "window/OverlayView.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

#include "window/CloseButton.h"
#include "window/ElidedLabel.h"
#include "window/FrameRateMenu.h"
#include "window/OverlayBackdrop.h"

namespace mirano {

QFont overlayFont(double points, QFont::Weight weight, bool monospaced) {
    QFont font = monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont();
    font.setPixelSize(qRound(points));
    font.setWeight(weight);
    return font;
}

QString OverlayView::showHideText(const QString& modifierName) {
    return QStringLiteral("Tap ") + modifierName + QStringLiteral(" to show/hide");
}

QString OverlayView::gestureText(bool isZoomed) {
    return isZoomed ? QStringLiteral("⌘ Double-click reset · ⌫ Close")
                    : QStringLiteral("⌘ Drag to zoom · ⌫ Close");
}

OverlayView::OverlayView(Content content, QWidget* parent)
    : QWidget(parent), content_(std::move(content)) {
    setAttribute(Qt::WA_NoSystemBackground);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);

    // Row 1: close button (8 points of padding all round), spacer, frame-rate menu.
    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    closeButton_ = new CloseButton(this);
    auto* closePad = new QVBoxLayout;
    closePad->setContentsMargins(8, 8, 8, 8);
    closePad->addWidget(closeButton_);
    top->addLayout(closePad);
    top->addStretch(1);

    frameRateButton_ = new QToolButton(this);
    frameRateButton_->setText(FrameRateMenu::title(content_.frameRate));
    frameRateButton_->setFont(overlayFont(11, QFont::Medium, true));
    frameRateButton_->setAutoRaise(true);
    frameRateButton_->setFocusPolicy(Qt::NoFocus);
    frameRateButton_->setStyleSheet(QStringLiteral(
        "QToolButton { color: white; border: none; background: transparent; padding: 0px; }"
        "QToolButton::menu-indicator { image: none; width: 0px; }"));
    frameRateButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // The host's menu, the one the frame-rate key opens: a popup of the panel on every
    // window system, which a menu of the button's own is not on Wayland.
    connect(frameRateButton_, &QToolButton::pressed, this, [onMenu = content_.onFrameRateMenu] {
        if (onMenu) onMenu();
    });
    auto* ratePad = new QHBoxLayout;
    ratePad->setContentsMargins(0, 0, 8, 0);
    ratePad->addWidget(frameRateButton_);
    top->addLayout(ratePad);
    column->addLayout(top);

    column->addStretch(1);

    showHideLabel_ = new QLabel(showHideText(content_.modifierName), this);
    showHideLabel_->setFont(overlayFont(13, QFont::Medium));
    showHideLabel_->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    showHideLabel_->setAlignment(Qt::AlignCenter);
    showHideLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    column->addWidget(showHideLabel_);

    column->addStretch(1);

    gestureLabel_ = new ElidedLabel(gestureText(content_.isZoomed), this);
    gestureLabel_->setFont(overlayFont(11, QFont::Normal));
    gestureLabel_->setColor(QColor::fromRgbF(1, 1, 1, 0.8));
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(0, 0, 0, 8);
    bottom->addWidget(gestureLabel_);
    column->addLayout(bottom);

    connect(closeButton_, &QAbstractButton::clicked, this, [onClose = content_.onClose] {
        if (onClose) onClose();
    });
}

void OverlayView::setCornerRadius(double radius) {
    cornerRadius_ = radius;
    update();
}

void OverlayView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintOverlayBackdrop(p, rect(), cornerRadius_, 0.45);
}

}  // namespace mirano
