// The PiP's floating window: frameless, never focused, above normal windows on every desktop,
// rounded, with opacity and click-through, reporting every size change.
#include "window/PiPPanel.h"

#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QTimer>
#include <QVariantAnimation>
#include <QWindow>

#include "platform/PanelWindowSystem.h"
#include "platform/PictureSurface.h"
#include "window/CaptureView.h"

namespace mirano {

namespace {
constexpr int kHoverPollMs = 50;
constexpr int kFadeMs = 150;

// Qt's native scan code on X11 and Wayland is the xkb key code: the evdev code plus 8.
constexpr quint32 kXkbKeycodeOffset = 8;

QRect roundedRect(const QRectF& r) {
    return QRect(qRound(r.x()), qRound(r.y()), qRound(r.width()), qRound(r.height()));
}

/// The key as the tap reports one (Qt tells no side of a modifier: the left one stands for it).
KeyEvent tapEventOf(const QKeyEvent& event) {
    const quint32 code = event.nativeScanCode();
    const auto key =
        static_cast<std::uint16_t>(code > kXkbKeycodeOffset ? code - kXkbKeycodeOffset : 0);
    const Qt::KeyboardModifiers qt = event.modifiers();
    Modifiers mods;
    mods.setFlag(Modifier::Shift, qt.testFlag(Qt::ShiftModifier));
    mods.setFlag(Modifier::LeftCtrl, qt.testFlag(Qt::ControlModifier));
    mods.setFlag(Modifier::LeftAlt, qt.testFlag(Qt::AltModifier));
    mods.setFlag(Modifier::LeftSuper, qt.testFlag(Qt::MetaModifier));
    return KeyEvent{KeyEventKind::KeyDown, key, mods, event.timestamp() / 1000.0, false};
}
}  // namespace

class PiPPanel::Private {
public:
    explicit Private(PanelWindowSystem& ws) : windowSystem(ws) {}
    PanelWindowSystem& windowSystem;
    bool translucent = false;
    // The opacity on screen right now (differs from the target while fading).
    double shownOpacity = 1.0;
    QSizeF lastReportedSize;
    // Set on show: the window manager's frame appears with the first exposure.
    bool opacityPending = false;
    QTimer hoverPoll;
    QVariantAnimation fade;
};

PiPPanel::PiPPanel(const QRectF& contentRect, PanelWindowSystem& windowSystem,
                   AppSettings& settings)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      d_(std::make_unique<Private>(windowSystem)) {
    captureView_ = new CaptureView(QRectF(QPointF(0, 0), contentRect.size()), settings, this);
    d_->translucent = windowSystem.hasCompositor();
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground, d_->translucent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(roundedRect(contentRect));
    captureView_->setGeometry(rect());
    captureView_->panel = this;
    d_->lastReportedSize = QSizeF(size());

    winId();  // the native window must exist before the window system configures it
    windowSystem.configureFloatingPanel(*windowHandle());
    windowHandle()->installEventFilter(this);
    applyShape();

    d_->hoverPoll.setInterval(kHoverPollMs);
    connect(&d_->hoverPoll, &QTimer::timeout, this, &PiPPanel::pollPointer);
    d_->fade.setDuration(kFadeMs);
    connect(&d_->fade, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { applyOpacity(v.toDouble()); });
    connect(&d_->fade, &QVariantAnimation::finished, this, [this] { applyOpacity(opacity_); });
}

PiPPanel::~PiPPanel() {
    d_->fade.stop();
    d_->hoverPoll.stop();
}

bool PiPPanel::isTranslucent() const { return d_->translucent; }

void PiPPanel::attachPictureSurface(std::shared_ptr<PictureSurface> surface) {
    if (surface) {
        // Translucent: the surface cuts its own corners; otherwise the panel's shape does.
        surface->setCornerRadius(d_->translucent ? CaptureView::kCornerRadius : 0.0);
        surface->setOpacity(d_->windowSystem.showsWindowOpacity() ? 1.0 : d_->shownOpacity);
        if (!d_->translucent) captureView_->setGraphicsEffect(nullptr);
    }
    captureView_->setPictureSurface(std::move(surface));
}

// --- Showing ------------------------------------------------------------------------------

void PiPPanel::showWithoutActivating() {
    if (!isVisible()) show();
    raise();
    // Showing rewrites the size hints: put ours back.
    applySizeConstraints();
}

void PiPPanel::showAndActivate() {
    showWithoutActivating();
    d_->windowSystem.activate(*windowHandle());
}

void PiPPanel::preparePopup(QWidget& popup) {
    popup.winId();
    d_->windowSystem.configurePopup(*popup.windowHandle(), *windowHandle());
}

// --- Opacity and click-through ------------------------------------------------------------

void PiPPanel::setOpacity(double opacity) {
    d_->fade.stop();
    opacity_ = std::clamp(opacity, 0.0, 1.0);
    applyOpacity(opacity_);
}

void PiPPanel::animateOpacity(double opacity) {
    const double target = std::clamp(opacity, 0.0, 1.0);
    if (!isVisible() || qFuzzyCompare(target + 1, d_->shownOpacity + 1)) {
        setOpacity(target);
        return;
    }
    d_->fade.stop();
    opacity_ = target;
    d_->fade.setStartValue(d_->shownOpacity);
    d_->fade.setEndValue(target);
    d_->fade.start();
}

void PiPPanel::applyOpacity(double opacity) {
    const bool wasShown = d_->shownOpacity > 0;
    d_->shownOpacity = opacity;
    if (d_->translucent) d_->windowSystem.setOpacity(*windowHandle(), opacity);
    if (d_->windowSystem.showsWindowOpacity()) return;
    // The window cannot be see-through (no compositing manager), or the window system shows no
    // window opacity (Wayland): Mirano dims its own pixels. Without a compositor it paints over
    // black and, at 0.0, gives the window an empty shape so that nothing of it is drawn.
    const auto& surface = captureView_->pictureSurface();
    if (surface) surface->setOpacity(opacity);
    // Without a compositor a picture surface shows the overlays itself.
    if (!surface || d_->translucent) dimView(opacity);
    if (wasShown != (opacity > 0)) applyShape();
}

void PiPPanel::dimView(double opacity) {
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(captureView_->graphicsEffect());
    if (opacity >= 1.0) {
        if (effect) captureView_->setGraphicsEffect(nullptr);
        return;
    }
    if (!effect) {
        effect = new QGraphicsOpacityEffect;
        captureView_->setGraphicsEffect(effect);
    }
    effect->setOpacity(opacity);
}

void PiPPanel::applyShape() {
    if (d_->translucent) return;  // the rounded corners are painted with transparency
    if (!(d_->shownOpacity > 0)) {
        d_->windowSystem.setVisibleShape(*windowHandle(), QRegion());
        return;
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), CaptureView::kCornerRadius, CaptureView::kCornerRadius);
    d_->windowSystem.setVisibleShape(*windowHandle(), QRegion(path.toFillPolygon().toPolygon()));
}

void PiPPanel::setIgnoresMouseEvents(bool ignore) {
    // Where the pointer is known only over Mirano's own windows, a panel that let clicks pass
    // could never tell that the pointer left it: it keeps the mouse, and its crossings the hover.
    if (!d_->windowSystem.seesPointerEverywhere()) return;
    ignoresMouse_ = ignore;
    d_->windowSystem.setInputPassThrough(*windowHandle(), ignore);
    updateHoverPolling();
    // Qt's enter and leave events were ignored meanwhile: catch up at once.
    if (!ignore && isVisible()) pollPointer();
}

void PiPPanel::updateHoverPolling() {
    if (ignoresMouse_ && isVisible()) {
        if (!d_->hoverPoll.isActive()) d_->hoverPoll.start();
    } else {
        d_->hoverPoll.stop();
    }
}

void PiPPanel::pollPointer() {
    const bool inside = frameGeometry().contains(d_->windowSystem.pointerPosition());
    captureView_->setPointerInside(inside);
}

void PiPPanel::setMovableByWindowBackground(bool movable) { movable_ = movable; }

// --- Geometry -----------------------------------------------------------------------------

QRectF PiPPanel::frame() const { return QRectF(geometry()); }

void PiPPanel::setFrame(const QRectF& frame, bool display, bool animate) {
    Q_UNUSED(animate);  // frame changes are immediate
    setGeometry(roundedRect(frame));
    // A hidden widget gets its resize event only when shown: lay out and report now.
    captureView_->setGeometry(rect());
    applyShape();
    applySizeConstraints();
    reportSizeIfChanged();
    if (display) update();
}

void PiPPanel::setContentAspectRatio(const QSizeF& ratio) {
    aspectRatio_ = ratio;
    applySizeConstraints();
}

void PiPPanel::setContentMinSize(const QSizeF& size) {
    minSize_ = size;
    applySizeConstraints();
}

void PiPPanel::applySizeConstraints() {
    d_->windowSystem.setSizeConstraints(*windowHandle(), minSize_, aspectRatio_);
}

void PiPPanel::reportSizeIfChanged() {
    const QSizeF now(size());
    if (now == d_->lastReportedSize) return;
    d_->lastReportedSize = now;
    emit resized(now);
}

// --- Dragging -----------------------------------------------------------------------------

void PiPPanel::startWindowMove() { d_->windowSystem.beginMove(*windowHandle()); }

void PiPPanel::startWindowResize(Qt::Edges edges) {
    d_->windowSystem.beginResize(*windowHandle(), edges);
}

Qt::Edges PiPPanel::resizeEdges(const QPointF& p, const QSizeF& size) {
    const double b = kResizeBorder, c = CaptureView::kCornerRadius;
    bool left = p.x() < b, right = p.x() >= size.width() - b;
    bool top = p.y() < b, bottom = p.y() >= size.height() - b;
    // Near a corner the band widens along the rounding, so a corner drag resizes diagonally.
    if (left || right) {
        if (p.y() < c)
            top = true;
        else if (p.y() >= size.height() - c)
            bottom = true;
    }
    if (top || bottom) {
        if (p.x() < c)
            left = true;
        else if (p.x() >= size.width() - c)
            right = true;
    }
    Qt::Edges edges;
    if (left) edges |= Qt::LeftEdge;
    if (right) edges |= Qt::RightEdge;
    if (top) edges |= Qt::TopEdge;
    if (bottom) edges |= Qt::BottomEdge;
    return edges;
}

// --- Qt events ----------------------------------------------------------------------------

void PiPPanel::resizeEvent(QResizeEvent*) {
    captureView_->setGeometry(rect());
    applyShape();
    reportSizeIfChanged();
}

void PiPPanel::showEvent(QShowEvent*) {
    d_->opacityPending = d_->translucent;
    applyShape();
    d_->windowSystem.setInputPassThrough(*windowHandle(), ignoresMouse_);
    updateHoverPolling();
    // The native show that follows this event rewrites the size hints; restore ours after it.
    QTimer::singleShot(0, this, [this] { applySizeConstraints(); });
}

void PiPPanel::hideEvent(QHideEvent*) { updateHoverPolling(); }

bool PiPPanel::eventFilter(QObject* watched, QEvent* event) {
    // The hover is the window's own crossings (the view covers the window), or, while the mouse
    // passes through, the pointer polling: after a popup Qt may tell its widgets of no
    // crossing, its record of the widget under the mouse having gone to the popup.
    const bool crossing = event->type() == QEvent::Enter || event->type() == QEvent::Leave;
    if (watched == windowHandle() && crossing && !ignoresMouse_)
        captureView_->setPointerInside(event->type() == QEvent::Enter);
    return QWidget::eventFilter(watched, event);
}

void PiPPanel::keyPressEvent(QKeyEvent* event) {
    emit keyPressed(tapEventOf(*event), event->text());
    QWidget::keyPressEvent(event);
}

void PiPPanel::paintEvent(QPaintEvent*) {
    if (d_->opacityPending) {
        d_->opacityPending = false;
        d_->windowSystem.setOpacity(*windowHandle(), d_->shownOpacity);
    }
    if (d_->translucent) return;
    // Behind a dimmed capture view: black, so that low opacities read as a faint picture.
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
}

}  // namespace mirano
