#include "platform/wayland/present/WaylandPictureSurface.h"

#include <qpa/qplatformwindow.h>

#include <QWindow>

#include "platform/Log.h"
#include "platform/wayland/client/QtWaylandNative.h"
#include "platform/wayland/present/SubsurfacePresenter.h"

namespace mirano::wayland {

std::shared_ptr<WaylandPictureSurface> WaylandPictureSurface::make(QWindow& host) {
    static LogOnce saidFallback, saidPath;
    QString missing = QStringLiteral("Qt's Wayland window");
    auto presenter = qtPlatformWindowObject(host) ? SubsurfacePresenter::create(&missing) : nullptr;
    if (!presenter) {
        saidFallback(
            QStringLiteral("Wayland: the compositor cannot scale the PiP's picture (no %1); "
                           "the panel paints the frames itself")
                .arg(missing));
        return nullptr;
    }
    std::shared_ptr<WaylandPictureSurface> surface(
        new WaylandPictureSurface(host, std::move(presenter)));
    followQtSurfaces(host, *surface);
    surface->surfaceCreated();
    saidPath(
        QStringLiteral("Wayland: the PiP's picture goes on a subsurface that the compositor "
                       "scales"));
    return surface;
}

WaylandPictureSurface::WaylandPictureSurface(QWindow& host,
                                             std::shared_ptr<SubsurfacePresenter> presenter)
    : host_(&host), presenter_(std::move(presenter)) {}

WaylandPictureSurface::~WaylandPictureSurface() { presenter_->close(); }

std::shared_ptr<FrameSink> WaylandPictureSurface::sink() const { return presenter_; }

void WaylandPictureSurface::surfaceCreated() {
    presenter_->setParent(host_ ? qtSurface(*host_) : nullptr);
}

void WaylandPictureSurface::surfaceDestroyed() { presenter_->setParent(nullptr); }

double WaylandPictureSurface::surfaceScale() const {
    // Qt's points are surface units times its own scale factor; the output's scale is in both.
    const QPlatformWindow* platform = host_ ? host_->handle() : nullptr;
    return platform && platform->devicePixelRatio() > 0
               ? host_->devicePixelRatio() / platform->devicePixelRatio()
               : 1.0;
}

double WaylandPictureSurface::outputScale() const {
    // On Wayland the platform window's ratio is its output's scale, without Qt's own factor.
    const QPlatformWindow* platform = host_ ? host_->handle() : nullptr;
    return platform && platform->devicePixelRatio() > 0 ? platform->devicePixelRatio() : 1.0;
}

void WaylandPictureSurface::setGeometry(const QRect& area) {
    const double scale = surfaceScale();
    presenter_->setPlacement(QPoint(qRound(area.x() * scale), qRound(area.y() * scale)),
                             QSizeF(area.size()), scale, outputScale());
    // The subsurface's position is the parent's state: it moves with Qt's next commit.
    if (host_) host_->requestUpdate();
}

void WaylandPictureSurface::setOverlay(const QImage&) {}

void WaylandPictureSurface::setOpacity(double opacity) { presenter_->setOpacity(opacity); }

void WaylandPictureSurface::setCornerRadius(double radius) { presenter_->setCornerRadius(radius); }

void WaylandPictureSurface::setVisible(bool visible) { presenter_->setVisible(visible); }

}  // namespace mirano::wayland
