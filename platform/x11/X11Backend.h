// The X11 backend: builds every window-system service on the display of $DISPLAY.
#pragma once

#include <QMetaObject>
#include <memory>

#include "platform/Backend.h"

namespace mirano::x11 {

class X11Desktop;

/// The windows and permissions services share the main thread's desktop connection, which the
/// backend owns; the other services open connections of their own.
class X11Backend final : public Backend {
public:
    X11Backend();
    ~X11Backend() override;

    QString name() const override { return QStringLiteral("x11"); }
    /// Where $DISPLAY names a display (XWayland's included).
    bool canRun() const override;
    /// Qt runs on X11 too, unless QT_QPA_PLATFORM says otherwise.
    void prepareApplication() override;
    /// The display of $DISPLAY (see sessionOfDisplay()).
    QString sessionName() const override;
    /// A display name without its screen number, and ":N" for "unix:N": one session per display.
    static QString sessionOfDisplay(const QString& display);

    std::unique_ptr<Windows> makeWindows() override;
    std::unique_ptr<KeyboardLayout> makeKeyboardLayout() override;
    std::unique_ptr<EventTap> makeEventTap() override;
    /// Its capture thread stops with the main event loop.
    std::unique_ptr<CaptureService> makeCaptureService(Scheduler& scheduler) override;
    std::unique_ptr<Permissions> makePermissions(Notifications& notifications) override;
    std::unique_ptr<PanelWindowSystem> makePanelWindowSystem() override;
    std::unique_ptr<Taskbar> makeTaskbar() override;

private:
    X11Desktop& desktop();

    std::unique_ptr<X11Desktop> desktop_;
    QMetaObject::Connection captureShutdown_;
};

}  // namespace mirano::x11
