// The PiP's content: paints the latest frame, hosts the overlays and turns pointer gestures
// (hover, Command-drag, double-clicks, the frame-rate menu) into the panel's signals.
#include "window/CaptureView.h"

#include <QChildEvent>
#include <QCursor>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "platform/AspectFit.h"
#include "settings/AppSettings.h"
#include "settings/ModifierKey.h"
#include "window/FrameRateMenu.h"
#include "window/OverlayView.h"
#include "window/PausedOverlayView.h"
#include "window/PiPPanel.h"
#include "window/SelectionBand.h"

namespace mirano {

namespace {

// Hides a child at once and deletes it once the current event is done with it.
void dispose(QWidget* widget) {
    if (!widget) return;
    widget->hide();
    widget->deleteLater();
}

}  // namespace

CaptureView::CaptureView(const QRectF& frame, AppSettings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
    resize(frame.size().toSize());
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAttribute(Qt::WA_NoSystemBackground);
}

CaptureView::~CaptureView() = default;

bool CaptureView::isCommandModifier(Qt::KeyboardModifiers modifiers) {
    return modifiers.testFlag(Qt::MetaModifier);
}

void CaptureView::setContents(const Frame& frame) {
    contents_ = frame;
    update();
}

void CaptureView::setPictureSurface(std::shared_ptr<PictureSurface> surface) {
    surface_ = std::move(surface);
    overlayImage_ = QImage();
    if (!surface_) {
        update();
        return;
    }
    placeSurface();
    surface_->setVisible(true);
    for (QObject* child : children()) watchOverlay(child);
    scheduleOverlayUpload();
}

void CaptureView::placeSurface() {
    if (surface_) surface_->setGeometry(QRect(mapTo(window(), QPoint(0, 0)), size()));
}

void CaptureView::watchOverlay(QObject* object) {
    if (!object->isWidgetType()) return;
    object->removeEventFilter(this);
    object->installEventFilter(this);
    for (QObject* child : object->children()) watchOverlay(child);
}

void CaptureView::childEvent(QChildEvent* event) {
    QWidget::childEvent(event);
    if (!surface_) return;
    if (event->added()) watchOverlay(event->child());
    scheduleOverlayUpload();
}

bool CaptureView::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::ChildAdded:
            watchOverlay(static_cast<QChildEvent*>(event)->child());
            [[fallthrough]];
        case QEvent::ChildRemoved:
        case QEvent::Paint:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Move:
        case QEvent::Resize:
            if (surface_ && !renderingOverlay_) scheduleOverlayUpload();
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void CaptureView::scheduleOverlayUpload() {
    if (overlayUploadPending_ || surface_->liesBelowHost()) return;
    overlayUploadPending_ = true;
    // Coalesced: one render after everything the current event changed.
    QMetaObject::invokeMethod(
        this, [this] { uploadOverlay(); }, Qt::QueuedConnection);
}

void CaptureView::uploadOverlay() {
    overlayUploadPending_ = false;
    if (!surface_) return;
    bool anyShown = false;
    for (QObject* child : children())
        if (auto* w = qobject_cast<QWidget*>(child); w && w->isVisibleTo(this)) anyShown = true;
    QImage image;
    if (anyShown && width() > 0 && height() > 0) {
        const qreal ratio = devicePixelRatioF();
        image = QImage(QSize(qRound(width() * ratio), qRound(height() * ratio)),
                       QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        // Rendering paints the overlays again: those paints are not changes.
        renderingOverlay_ = true;
        render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        renderingOverlay_ = false;
    }
    if (image == overlayImage_ && image.isNull() == overlayImage_.isNull()) return;
    overlayImage_ = image;
    surface_->setOverlay(image);
}

QRectF CaptureView::bounds() const { return QRectF(0, 0, width(), height()); }

QPointF CaptureView::clampToBounds(const QPointF& p) const {
    return QPointF(std::clamp(p.x(), 0.0, double(width())),
                   std::clamp(p.y(), 0.0, double(height())));
}

// --- Overlays ---------------------------------------------------------------------------

void CaptureView::showOverlay() {
    if (suppressOverlay_) return;
    if (overlayHostingView_) {
        updateOverlay();
        return;
    }
    OverlayView::Content content;
    content.isZoomed = isZoomed_;
    content.modifierName = ModifierKeys::displayName(settings_.modifier());
    content.frameRate = settings_.frameRate();
    // The overlay is a child of this view: its callbacks cannot outlive it.
    content.onClose = [this] {
        if (panel) emit panel->closeRequested();
    };
    content.onFrameRateMenu = [this] { showFrameRateMenu(); };
    auto* overlay = new OverlayView(std::move(content), this);
    overlay->setCornerRadius(kCornerRadius);
    overlay->setGeometry(rect());
    overlay->show();
    overlay->raise();
    if (selectionLayer_) selectionLayer_->raise();
    overlayHostingView_ = overlay;
}

void CaptureView::updateOverlay() {
    auto* old = qobject_cast<OverlayView*>(overlayHostingView_.data());
    if (!old) return;
    // Rebuild from the current values in place of the old one, keeping its stacking place.
    QWidget* above = nullptr;
    const auto siblings = children();
    const int index = siblings.indexOf(old);
    for (int i = index + 1; i < siblings.size() && !above; ++i)
        if (auto* w = qobject_cast<QWidget*>(siblings[i]); w && !w->isHidden()) above = w;
    overlayHostingView_ = nullptr;
    dispose(old);
    showOverlay();
    if (above && overlayHostingView_) overlayHostingView_->stackUnder(above);
}

void CaptureView::removeOverlay() {
    dispose(overlayHostingView_);
    overlayHostingView_ = nullptr;
}

void CaptureView::setPausedOverlayView(QWidget* view) {
    pausedOverlayView_ = view;
    if (!view) return;
    view->setParent(this);
    if (auto* paused = qobject_cast<PausedOverlayView*>(view))
        paused->setCornerRadius(kCornerRadius);
    view->setGeometry(rect());
    view->show();
    view->raise();
    if (selectionLayer_) selectionLayer_->raise();
}

void CaptureView::fitChildren() {
    for (QWidget* w :
         {overlayHostingView_.data(), pausedOverlayView_.data(), selectionLayer_.data()})
        if (w) w->setGeometry(rect());
}

// --- Hover and Command ------------------------------------------------------------------

void CaptureView::setPointerInside(bool inside) {
    if (inside == pointerInside_) return;
    pointerInside_ = inside;
    if (inside)
        mouseEnteredView();
    else
        mouseExitedView();
}

void CaptureView::mouseEnteredView() {
    if (!isHovering_ && !isCommandHeld_) {
        isHovering_ = true;
        suppressOverlay_ = false;
        showOverlay();
    }
    if (panel) emit panel->mouseEntered();
}

void CaptureView::mouseExitedView() {
    isHovering_ = false;
    suppressOverlay_ = false;
    removeOverlay();
    if (panel) emit panel->mouseExited();
}

void CaptureView::setCommandHeld(bool held) {
    if (held == isCommandHeld_) return;
    isCommandHeld_ = held;
    if (!isHovering_) return;
    if (held)
        removeOverlay();
    else if (!isDraggingZoom_ && !suppressOverlay_)
        showOverlay();
}

// --- Clicks and the zoom drag -------------------------------------------------------------

void CaptureView::mouseDownAt(QPointF point, int clickCount, bool command) {
    if (clickCount == 2) {
        if (command) {
            suppressOverlay_ = true;
            if (panel) emit panel->zoomResetRequested();
        } else if (panel) {
            emit panel->doubleClicked();
        }
        return;
    }
    // A zoomed view cannot start a new selection; without Command a drag moves the panel.
    if (isZoomed_ || !command) return;
    isDraggingZoom_ = true;
    dragStart_ = clampToBounds(point);
    removeOverlay();
}

void CaptureView::mouseDraggedTo(QPointF point) {
    if (!isDraggingZoom_) return;
    const QPointF p = clampToBounds(point);
    if (!selectionLayer_) {
        auto* band = new SelectionBand(this);
        band->show();
        band->raise();
        selectionLayer_ = band;
    }
    selectionRect_ = QRectF(std::min(dragStart_.x(), p.x()), std::min(dragStart_.y(), p.y()),
                            std::abs(p.x() - dragStart_.x()), std::abs(p.y() - dragStart_.y()));
    static_cast<SelectionBand*>(selectionLayer_.data())->setBand(selectionRect_);
}

void CaptureView::mouseUpAt(QPointF point) {
    if (!isDraggingZoom_) return;
    isDraggingZoom_ = false;
    const QPointF end = clampToBounds(point);
    dispose(selectionLayer_);
    selectionLayer_ = nullptr;
    selectionRect_ = QRectF();
    const double minX = std::min(dragStart_.x(), end.x()), maxX = std::max(dragStart_.x(), end.x());
    const double minY = std::min(dragStart_.y(), end.y()), maxY = std::max(dragStart_.y(), end.y());
    const double w = maxX - minX, h = maxY - minY;
    if (!(w > 10) || !(h > 10)) return;
    const double W = width(), H = height();
    if (!(W > 0) || !(H > 0)) return;
    suppressOverlay_ = true;
    if (panel) emit panel->zoomRequested(QRectF(minX / W, minY / H, w / W, h / H));
}

// --- Frame-rate menu ----------------------------------------------------------------------

QMenu* CaptureView::buildFrameRateMenu() {
    // The menu is a child of this view: its callback cannot outlive it.
    return FrameRateMenu::build(
        settings_.frameRate(), [this](int rate) { selectFrameRate(rate); }, this);
}

void CaptureView::showFrameRateMenu() {
    if (frameRateMenu_) frameRateMenu_->close();
    QMenu* menu = buildFrameRateMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPointF local = mapFromGlobal(QCursor::pos());
    const QPointF clamped(std::clamp(local.x(), 0.0, double(width())),
                          std::clamp(local.y(), 0.0, double(height())));
    if (panel) panel->preparePopup(*menu);
    frameRateMenu_ = menu;
    // Where the pointer went while the menu was open was not told to the view, and the overlay
    // shows the rate of its making: both are caught up with once the menu has gone.
    connect(menu, &QMenu::aboutToHide, this, &CaptureView::catchUpAfterMenu, Qt::QueuedConnection);
    menu->popup(mapToGlobal(clamped.toPoint()));
}

void CaptureView::catchUpAfterMenu() {
    if (rect().contains(mapFromGlobal(QCursor::pos()))) return updateOverlay();
    if (!pointerInside_ && !isHovering_) return;
    pointerInside_ = false;
    mouseExitedView();
}

void CaptureView::selectFrameRate(int rate) {
    if (panel) emit panel->frameRateChosen(rate);
}

// --- Qt events ----------------------------------------------------------------------------

void CaptureView::paintEvent(QPaintEvent*) {
    // The surface shows the picture; rendering the overlays must leave their background clear.
    if (surface_) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    p.fillPath(clip, Qt::black);
    if (!contents_ || contents_->width() <= 0 || contents_->height() <= 0) return;
    // Wraps the frame's memory; contents_ keeps it alive and unchanged while we paint.
    const QImage image = imageOf(*contents_);
    const AspectPlacement placed =
        placeAspect(QRectF(image.rect()), QSizeF(size()), AspectMode::fill);
    p.setClipPath(clip);
    p.drawImage(placed.target, image, placed.source);
}

void CaptureView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const bool command = isCommandModifier(event->modifiers());
    QPointer<CaptureView> self(this);
    if (!command && panel) {
        const Qt::Edges edges = PiPPanel::resizeEdges(event->position(), QSizeF(size()));
        if (edges) {
            panel->startWindowResize(edges);
            return;
        }
    }
    mouseDownAt(event->position(), 1, command);
    if (!self) return;
    // A plain drag of the content moves the panel through the window manager.
    if (!isDraggingZoom_ && !command && panel && panel->isMovableByWindowBackground())
        panel->startWindowMove();
}

void CaptureView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    mouseDownAt(event->position(), 2, isCommandModifier(event->modifiers()));
}

void CaptureView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) mouseDraggedTo(event->position());
}

void CaptureView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    mouseUpAt(event->position());
}

void CaptureView::resizeEvent(QResizeEvent*) {
    fitChildren();
    placeSurface();
    if (surface_) scheduleOverlayUpload();
}

void CaptureView::moveEvent(QMoveEvent*) { placeSurface(); }

}  // namespace mirano
