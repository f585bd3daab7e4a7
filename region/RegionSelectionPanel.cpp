// A frameless, focusable top-level over the chosen window, holding the selection view.
#include "region/RegionSelectionPanel.h"

#include <QWindow>

#include "platform/PanelWindowSystem.h"
#include "region/RegionSelectionView.h"

namespace mirano {

RegionSelectionPanel::RegionSelectionPanel(const QRectF& contentRect,
                                           PanelWindowSystem& windowSystem)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      windowSystem_(windowSystem) {
    translucent_ = windowSystem.hasCompositor();
    setAttribute(Qt::WA_TranslucentBackground, translucent_);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(QRect(qRound(contentRect.x()), qRound(contentRect.y()), qRound(contentRect.width()),
                      qRound(contentRect.height())));
    view_ = new RegionSelectionView(QRectF(0, 0, width(), height()), this);
    view_->panel = this;
    setFocusProxy(view_);
    winId();
    windowSystem.configureOverlayPanel(*windowHandle());
}

RegionSelectionPanel::~RegionSelectionPanel() = default;

void RegionSelectionPanel::showAndActivate() {
    // Without compositing nothing shows through: keep a picture of what lies below instead.
    if (!translucent_ && !isVisible()) view_->setBackdrop(windowSystem_.grabScreen(geometry()));
    show();
    raise();
    activateWindow();
    windowSystem_.activate(*windowHandle());
    view_->setFocus(Qt::ActiveWindowFocusReason);
}

void RegionSelectionPanel::cancel() { emit cancelled(); }

QRectF RegionSelectionPanel::frame() const { return QRectF(geometry()); }

void RegionSelectionPanel::resizeEvent(QResizeEvent*) { view_->setGeometry(rect()); }

}  // namespace mirano
